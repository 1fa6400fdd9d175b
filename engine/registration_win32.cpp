#include "engine/registration.h"

#include <windows.h>
#include <cstdio>

#include "engine/engine_env.h"
#include "engine/journal.h"
#include "engine/ownership_services.h"
#include "engine/reporter.h"
#include "log/path_helpers.h"
#include "platform/libraries.h"
#include "platform/procedure.h"

enum { CommandSize = 512 };

// Starts a command line and waits for the program to end. No messages are
// served meanwhile: the program (an installer's helper, a server that
// registers itself) may show its own windows, and the run goes on only after
// it is done.
// 0 when the program ran to its end, else the system's error.
static DWORD StartAndWait(char* commandLine)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

static bool EndsWithExe(const char* path)
{
    int len = lstrlenA(path);
    if (len < 3)
        return false;
    // The tail must start a character: the second byte of a double-byte
    // character can look like a letter.
    const char* tail = path + len - 3;
    const char* at = path;
    while (at < tail)
        at = CharNextA(at);
    return at == tail && lstrcmpiA(tail, "EXE") == 0;
}

// The machine this process runs as: a module built for another one cannot be
// loaded here.
#if defined(_WIN64)
static const WORD ProcessMachine = IMAGE_FILE_MACHINE_AMD64;
#else
static const WORD ProcessMachine = IMAGE_FILE_MACHINE_I386;
#endif

int32_t IsWin32Module(const char* path)
{
    int32_t result = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BYTE mz[2];
    BYTE offset[4];
    BYTE pe[6];
    DWORD got = 0;
    if (ReadFile(file, mz, 2, &got, nullptr) && got == 2 && mz[0] == 'M' && mz[1] == 'Z' &&
        SetFilePointer(file, 0x3C, nullptr, FILE_BEGIN) == 0x3C &&
        ReadFile(file, offset, 4, &got, nullptr) && got == 4) {
        DWORD at = offset[0] | (offset[1] << 8) | (offset[2] << 16) | ((DWORD)offset[3] << 24);
        // "PE\0\0" and the machine field of the file header behind it.
        if (SetFilePointer(file, (LONG)at, nullptr, FILE_BEGIN) == at && at < 0x10000000 &&
            ReadFile(file, pe, 6, &got, nullptr) && got == 6 && pe[0] == 'P' && pe[1] == 'E' &&
            pe[2] == 0 && pe[3] == 0 && (WORD)(pe[4] | (pe[5] << 8)) == ProcessMachine)
            result = 1;
    }
    CloseHandle(file);
    return result;
}

typedef HRESULT(WINAPI* OleInitializeProc)(LPVOID);
typedef void(WINAPI* OleUninitializeProc)(void);
typedef HRESULT(WINAPI* ServerEntryProc)(void);

// Loads the module and calls its registration entry between OLE's set-up and
// tear-down, as a server expects.
static void CallServerEntry(const char* path, int32_t register_)
{
    HMODULE ole = LoadSystemLibrary("OLE32.DLL");
    if (!ole)
        return;
    OleInitializeProc initialize = SystemProcedure<OleInitializeProc>(ole, "OleInitialize");
    OleUninitializeProc uninitialize = SystemProcedure<OleUninitializeProc>(ole, "OleUninitialize");
    // S_FALSE means OLE was already set up on this thread (a shell link
    // made earlier): the server can still be called, and the call must be
    // balanced all the same.
    HRESULT status = initialize ? initialize(nullptr) : E_FAIL;
    if (SUCCEEDED(status)) {
        HMODULE server = LoadLibraryA(path);
        if (server) {
            ServerEntryProc entry = SystemProcedure<ServerEntryProc>(
                server, register_ ? "DllRegisterServer" : "DllUnregisterServer");
            if (entry)
                entry();
            FreeLibrary(server);
        }
        if (uninitialize)
            uninitialize();
    }
    FreeLibrary(ole);
}

void SelfRegister(const char* heading, const char* path, int32_t register_)
{
    // A server's own code changes the machine: a dry run never calls it.
    if (JournalDryRun())
        return;
    char savedDirectory[MAX_PATH];
    char folder[MAX_PATH];
    char shortPath[MAX_PATH];
    char command[CommandSize];
    DWORD saved = GetCurrentDirectoryA(sizeof(savedDirectory), savedDirectory);

    char text[ReportTextSize];
    lstrcpynA(text, heading, sizeof(text));
    int used = lstrlenA(text);
    lstrcpynA(text + used, path, (int)sizeof(text) - used);
    Reporter->fitPath(text);
    Reporter->step(text);

    // A server may look for files beside itself: its folder is made current.
    lstrcpynA(folder, path, sizeof(folder));
    char* lastBackslash = LastBackslash(folder);
    if (lastBackslash) {
        // "C:\X.EXE" keeps its backslash: "C:" alone names the drive's
        // current folder, not its root.
        if (lastBackslash == folder + 2 && folder[1] == ':')
            lastBackslash++;
        *lastBackslash = 0;
        ConvertPathNames(folder, ToShort);
        SetCurrentDirectoryA(folder);
    }

    if (EndsWithExe(path)) {
        lstrcpynA(shortPath, path, sizeof(shortPath));
        ConvertPathNames(shortPath, ToShort);
        // The short form has no blanks; a path that has no short form keeps
        // its blanks and is quoted so that it still names the program.
        bool quote = false;
        for (const char* p = shortPath; *p; p++)
            if (*p == ' ')
                quote = true;
        int n = snprintf(command, sizeof(command), quote ? "\"%s\" %s" : "%s %s", shortPath,
                         register_ ? "/REGSERVER" : "/UNREGSERVER");
        if (n > 0 && n < (int)sizeof(command))
            StartAndWait(command);
    } else if (IsWin32Module(path)) {
        CallServerEntry(path, register_);
    }

    if (saved > 0 && saved < sizeof(savedDirectory))
        SetCurrentDirectoryA(savedDirectory);
}

typedef BOOL(WINAPI* QueryConfigFunc)(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size,
                                      LPDWORD needed);

// Why the open service is not the product's, or OwnedByLog; program
// (MAX_PATH) gets the program judged. Looked up, not imported: the 95
// family may not export it, and the service's key says the same.
static int32_t ServiceProgramOwnership(SC_HANDLE service, const char* name, char* program)
{
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    QueryConfigFunc query =
        advapi ? SystemProcedure<QueryConfigFunc>(advapi, "QueryServiceConfigA") : nullptr;
    // The system's answer is at most 8 KB.
    union {
        QUERY_SERVICE_CONFIGA config;
        char bytes[8192];
    } answer;
    DWORD needed = 0;
    if (query && query(service, &answer.config, sizeof answer, &needed) &&
        answer.config.lpBinaryPathName)
        return ServiceOwnership(name, answer.config.lpBinaryPathName, answer.config.dwServiceType,
                                program);
    return ServiceOwnership(name, nullptr, 0, program);
}

OpResult StopAndDeleteService(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return JournalRecord(WhatService, name, Outcome(OpFailed, GetLastError()));
    OpResult result;
    // Its configuration first: a service that is not the product's is never
    // asked to stop, whatever rights this user has over it.
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    char program[MAX_PATH] = "";
    int32_t reason = OwnedByLog;
    if (!service) {
        DWORD error = GetLastError();
        result = JournalRecord(WhatService, name,
                               error == ERROR_SERVICE_DOES_NOT_EXIST ? Outcome(OpMissing)
                                                                     : Outcome(OpFailed, error));
    } else {
        reason = ServiceProgramOwnership(service, name, program);
        CloseServiceHandle(service);
        service = nullptr;
        if (reason != OwnedByLog) {
            char named[MAX_PATH + 300];
            snprintf(named, sizeof named, "%s (%s)", name, program[0] ? program : "no program");
            result = JournalRecord(WhatService, named, NotOwned(reason));
        } else if (JournalDryRun()) {
            result = JournalRecord(WhatService, name, Outcome(OpRemoved));
        } else if ((service = OpenServiceA(manager, name, SERVICE_STOP | DELETE)) == nullptr) {
            result = JournalRecord(WhatService, name, Outcome(OpFailed, GetLastError()));
        } else {
            // The stop is asked for, not awaited: the caller waits a while
            // before the service's files are removed.
            SERVICE_STATUS status;
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            if (DeleteService(service))
                result = JournalRecord(WhatService, name, Outcome(OpRemoved));
            else
                result = JournalRecord(WhatService, name, Outcome(OpFailed, GetLastError()));
            CloseServiceHandle(service);
        }
    }
    CloseServiceHandle(manager);
    return result;
}

void RunAndWait(const char* program, const char* arguments)
{
    char command[CommandSize];
    int n = snprintf(command, sizeof(command), "\"%s\" %s", program, arguments);
    // A cut command line would run something else than the log says.
    if (n <= 0 || n >= (int)sizeof(command)) {
        JournalRecord(WhatProgram, program, Outcome(OpFailed, ERROR_FILENAME_EXCED_RANGE));
        return;
    }
    if (JournalDryRun()) {
        JournalRecord(WhatProgram, command, Outcome(OpStarted));
        return;
    }
    DWORD error = StartAndWait(command);
    JournalRecord(WhatProgram, command, error ? Outcome(OpFailed, error) : Outcome(OpStarted));
}
