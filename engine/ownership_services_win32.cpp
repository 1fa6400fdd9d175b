// The Win32 side of the service rule: the system's folders and environment
// for reading an image path, the service's key for what the configuration
// does not say, and the log's files and the product's folders compared by
// real location.
#include "engine/ownership_services.h"

#include <windows.h>
#include <cstring>

#include "engine/ownership_system.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "platform/procedure.h"

// A text value of an open key into out (size bytes), as stored.
static bool ReadText(HKEY key, const char* name, char* out, int32_t size)
{
    DWORD length = (DWORD)size - 1;
    DWORD kind = 0;
    if (RegQueryValueExA(key, name, nullptr, &kind, (BYTE*)out, &length) != ERROR_SUCCESS ||
        (kind != REG_SZ && kind != REG_EXPAND_SZ)) {
        out[0] = 0;
        return false;
    }
    out[length < (DWORD)size ? length : (DWORD)size - 1] = 0;
    return out[0] != 0;
}

static bool ReadKeyText(const char* keyName, REGSAM view, const char* name, char* out, int32_t size)
{
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | view, &key);
    // Systems without a second registry view refuse to be asked for one.
    if (status != ERROR_SUCCESS && view)
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return false;
    bool found = ReadText(key, name, out, size);
    RegCloseKey(key);
    return found;
}

// The variables of an image path as the service manager expands them: from
// the system's environment, not this process's. The program folders are
// the system's own (its 64-bit view on a 64-bit system).
static bool Variable(const char* name, char* out, int32_t size, void*)
{
    static const struct {
        const char* variable;
        const char* value;
    } folders[] = {{"ProgramFiles", "ProgramFilesDir"},
                   {"ProgramFiles(x86)", "ProgramFilesDir (x86)"},
                   {"ProgramW6432", "ProgramW6432Dir"},
                   {"CommonProgramFiles", "CommonFilesDir"},
                   {"CommonProgramFiles(x86)", "CommonFilesDir (x86)"},
                   {"CommonProgramW6432", "CommonW6432Dir"}};
    for (const auto& folder : folders) {
        if (lstrcmpiA(name, folder.variable) == 0)
            return ReadKeyText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", KEY_WOW64_64KEY,
                               folder.value, out, size);
    }
    return ReadKeyText("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0, name,
                       out, size);
}

static bool FileExists(const char* path, void*)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The record's file is the program itself: both real locations agree.
static bool SameFile(const char* recorded, const char* real)
{
    char other[MAX_PATH];
    return RealLocation(recorded, other) && lstrcmpiA(other, real) == 0;
}

// The lists keep each path as the log spells it: the program is looked up
// as read, as its real location, and in its long and short forms.
static bool IsLogFile(const char* program, void*)
{
    char real[MAX_PATH];
    if (!RealLocation(program, real))
        return false;
    enum { Spellings = 4 };
    char spelt[Spellings][MAX_PATH];
    CopyText(spelt[0], program, MAX_PATH);
    CopyText(spelt[1], real, MAX_PATH);
    CopyText(spelt[2], program, MAX_PATH);
    ConvertPathNamesBounded(spelt[2], MAX_PATH, ToLong);
    CopyText(spelt[3], program, MAX_PATH);
    ConvertPathNamesBounded(spelt[3], MAX_PATH, ToShort);
    for (int32_t i = 0; i < Spellings; i++) {
        const FileRecord* record = LogFileRecord(spelt[i]);
        if (record && SameFile(record->Path, real))
            return true;
    }
    return false;
}

static bool InProduct(const char* program, void*)
{
    return InProductFolders(program);
}

// A text value of HKLM\key into out (MAX_PATH), as stored (the reader of
// the image path expands it); empty when absent.
static void ReadServiceText(const char* key, const char* name, char* out)
{
    out[0] = 0;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return;
    DWORD size = MAX_PATH - 1;
    DWORD kind = 0;
    if (RegQueryValueExA(handle, name, nullptr, &kind, (BYTE*)out, &size) == ERROR_SUCCESS &&
        (kind == REG_SZ || kind == REG_EXPAND_SZ))
        out[size < MAX_PATH ? size : MAX_PATH - 1] = 0;
    else
        out[0] = 0;
    RegCloseKey(handle);
}

// The service's type as its key stores it; 0 when absent.
static DWORD ReadServiceType(const char* key)
{
    DWORD type = 0;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return 0;
    DWORD size = sizeof type;
    DWORD kind = 0;
    if (RegQueryValueExA(handle, "Type", nullptr, &kind, (BYTE*)&type, &size) != ERROR_SUCCESS ||
        kind != REG_DWORD)
        type = 0;
    RegCloseKey(handle);
    return type;
}

static void ServiceKey(const char* name, const char* below, char* key, int32_t size)
{
    CopyText(key, "SYSTEM\\CurrentControlSet\\Services\\", size);
    AppendText(key, name, size);
    AppendText(key, below, size);
}

typedef UINT(WINAPI* SystemWindowsDirectoryFunc)(LPSTR buffer, UINT size);

// The Windows folder the system's services see ("%SystemRoot%"): the
// shared one, where a user has a Windows folder of his own.
static void SystemWindowsFolder(char* out)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    SystemWindowsDirectoryFunc shared =
        kernel ? SystemProcedure<SystemWindowsDirectoryFunc>(kernel, "GetSystemWindowsDirectoryA")
               : nullptr;
    UINT n = shared ? shared(out, MAX_PATH) : 0;
    if (n == 0 || n >= MAX_PATH)
        n = GetWindowsDirectoryA(out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        out[0] = 0;
    if (EndsWithBackslash(out))
        out[strlen(out) - 1] = 0;
}

int32_t ServiceOwnership(const char* name, const char* imagePath, uint32_t serviceType,
                         char* program)
{
    char key[600];
    char image[MAX_PATH];
    DWORD type = serviceType;
    if (!imagePath) {
        // The configuration could not be asked: its key says the same.
        ServiceKey(name, "", key, sizeof key);
        ReadServiceText(key, "ImagePath", image);
        type = ReadServiceType(key);
        imagePath = image;
    }
    char library[MAX_PATH];
    ServiceKey(name, "\\Parameters", key, sizeof key);
    ReadServiceText(key, "ServiceDll", library);
    if (!library[0]) {
        ServiceKey(name, "", key, sizeof key);
        ReadServiceText(key, "ServiceDll", library);
    }
    char windows[MAX_PATH];
    char system[MAX_PATH];
    SystemWindowsFolder(windows);
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        system[0] = 0;
    ServiceQuestions questions = {
        {windows, system, Variable, FileExists, nullptr}, IsLogFile, InProduct};
    return ServiceOwnershipReason(imagePath, type, library, &questions, program, MAX_PATH);
}
