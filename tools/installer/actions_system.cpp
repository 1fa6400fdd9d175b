// Program Manager items over DDE, services, SYSTEM.INI devices and
// self-registration.
#include "install.h"

#include <ddeml.h>
#include <ole2.h>
#include <cstdio>

static DWORD DdeInstance;
static HCONV ProgmanConversation;
static int ProgmanTried;

static HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

// Connects once; a machine without a Program Manager gets no items.
static int OpenProgramManager()
{
    if (ProgmanTried)
        return ProgmanConversation ? 0 : 1;
    ProgmanTried = 1;
    if (DdeInitializeA(&DdeInstance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 1;
    HSZ name = DdeCreateStringHandleA(DdeInstance, "PROGMAN", CP_WINANSI);
    ProgmanConversation = DdeConnect(DdeInstance, name, name, nullptr);
    DdeFreeStringHandle(DdeInstance, name);
    if (!ProgmanConversation) {
        printf("ksetup: no Program Manager answers over DDE; its items are left out\n");
        return 1;
    }
    return 0;
}

void CloseProgramManager()
{
    if (ProgmanConversation)
        DdeDisconnect(ProgmanConversation);
    if (DdeInstance)
        DdeUninitialize(DdeInstance);
    ProgmanConversation = nullptr;
    DdeInstance = 0;
}

static int SendProgman(const std::string& command)
{
    DWORD result = 0;
    HDDEDATA done =
        DdeClientTransaction((LPBYTE)command.c_str(), (DWORD)command.size() + 1,
                             ProgmanConversation, nullptr, 0, XTYP_EXECUTE, 10000, &result);
    return done ? 0 : 1;
}

int DoGroup(const Directive& d)
{
    if (OpenProgramManager())
        return 0;
    const std::string &group = d.args[0], &name = d.args[1], &command = d.args[2];
    if (SendProgman("[CreateGroup(" + group + ")]") ||
        SendProgman("[ShowGroup(" + group + ",1)]") ||
        SendProgman("[AddItem(" + command + "," + name + ")]"))
        return Complain(d, "Program Manager refused the item " + name + " of " + group);
    LogLine("Icon Group: " + group);
    LogLine("Icon Name: " + name);
    LogLine("Icon Cmd: " + command);
    return 0;
}

int DoService(const Directive& d)
{
    const std::string &name = d.args[0], &display = d.args[1];
    std::string binary = "\"" + d.args[2] + "\"";
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return Complain(d, "cannot open the service control manager");
    int result = 0;
    SC_HANDLE service =
        CreateServiceA(manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    // An upgrade meets the service of the earlier installation.
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS)
        service = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    if (!service) {
        result = Complain(d, "cannot create the service " + name + " (error " +
                                 std::to_string(GetLastError()) + ")");
    } else if (d.flags) {
        SERVICE_STATUS status = {};
        QueryServiceStatus(service, &status);
        if (status.dwCurrentState != SERVICE_RUNNING && !StartServiceA(service, 0, nullptr) &&
            GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            result = Complain(d, "cannot start the service " + name);
        for (int i = 0; !result && i < 100; i++) {
            if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING)
                break;
            Sleep(100);
        }
    }
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (!result)
        LogLine("Create Service: " + name);
    return result;
}

static int ReadFileText(const std::string& path, std::string& text)
{
    text.clear();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(h);
    return 0;
}

static int WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == text.size() ? 0 : 1;
}

// Adds "device=<path>" at the top of SYSTEM.INI's [386Enh] section. The new
// text is complete in a temporary file before it replaces SYSTEM.INI.
int DoDevice(const Directive& d)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string ini = std::string(windows) + "\\SYSTEM.INI";
    std::string temp = std::string(windows) + "\\~KSETUP.TMP";
    std::string text, out;
    ReadFileText(ini, text);
    std::string add = "device=" + d.args[0] + "\r\n";
    int placed = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, end - pos);
        out += line;
        size_t p = line.find_first_not_of(" \t");
        if (!placed && p != std::string::npos && line.size() >= p + 8 &&
            EqualNoCase(line.substr(p, 8), "[386Enh]")) {
            if (out.back() != '\n')
                out += "\r\n";
            out += add;
            placed = 1;
        }
        pos = end;
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n')
            out += "\r\n";
        out += "[386Enh]\r\n" + add;
    }
    if (WriteFileText(temp, out) ||
        !MoveFileExA(temp.c_str(), ini.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temp.c_str());
        return Complain(d, "cannot rewrite " + ini);
    }
    LogLine("Add Device: " + d.args[0]);
    return 0;
}

static int RegisterProgram(const std::string& path)
{
    std::string command = "\"" + path + "\" /REGSERVER";
    std::string folder = FolderOf(path);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &start, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code != 0;
}

typedef HRESULT(STDAPICALLTYPE* RegisterEntry)();

static int RegisterLibrary(const std::string& path)
{
    int result = 1;
    char saved[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(FolderOf(path).c_str());
    HRESULT ole = OleInitialize(nullptr);
    HMODULE server = LoadLibraryA(path.c_str());
    if (server) {
        RegisterEntry entry = (RegisterEntry)(void*)GetProcAddress(server, "DllRegisterServer");
        if (entry && SUCCEEDED(entry()))
            result = 0;
        FreeLibrary(server);
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    SetCurrentDirectoryA(saved);
    return result;
}

int DoRegister(const std::string& path, const Directive& d)
{
    size_t n = path.size();
    int program = n >= 4 && EqualNoCase(path.substr(n - 4), ".exe");
    if (program ? RegisterProgram(path) : RegisterLibrary(path))
        return Complain(d, "the self-registration of " + path + " failed");
    LogLine("Self-Register: " + path);
    return 0;
}

int DoRegister(const Directive& d)
{
    return DoRegister(d.args[0], d);
}
