#include "engine/files.h"

#include <windows.h>
#include <cstring>

#include "app/system_facts.h"
#include "engine/engine_env.h"
#include "log/path_helpers.h"
#include "log/reader.h"
#include "platform/procedure.h"

// A folder is compared in one canonical spelling: full path (".", ".." and
// relative names resolved), backslashes only and never two in a row, the
// trailing dots and spaces of each name dropped (the file system drops them
// too), long names, no trailing backslash. C:\PROGRA~1, C:/Program Files/.
// and C:\Windows\..\Program Files all name the same folder and must all be
// recognised as it. Returns false when the text cannot be made into a path.
static bool CanonicalFolder(const char* dir, char* out)
{
    char slashes[MAX_PATH];
    CopyText(slashes, dir, sizeof slashes);
    for (char* p = slashes; *p; p = CharNextA(p))
        if (*p == '/')
            *p = '\\';
    // Device and raw names ("\\?\", "\\.\") are nothing a log may name.
    if (slashes[0] == '\\' && slashes[1] == '\\' && (slashes[2] == '?' || slashes[2] == '.'))
        return false;

    char full[MAX_PATH];
    char* namePart = nullptr;
    DWORD n = GetFullPathNameA(slashes, sizeof full, full, &namePart);
    if (n == 0 || n >= sizeof full)
        return false;

    // Copy name by name: separators collapsed (a share keeps its two leading
    // ones), trailing dots and spaces of every name dropped.
    int32_t at = 0;
    const char* p = full;
    if (p[0] == '\\' && p[1] == '\\') {
        out[at++] = '\\';
        out[at++] = '\\';
        p += 2;
    }
    // Dots and spaces are single-byte characters and never the second byte
    // of a double-byte one; a backslash may be, so separators are tracked
    // as they are written rather than read back.
    int32_t nameStart = at;
    bool separatorLast = at > 0;
    while (*p) {
        if (*p == '\\') {
            while (at > nameStart && (out[at - 1] == '.' || out[at - 1] == ' '))
                at--;
            if (at > 0 && !separatorLast)
                out[at++] = '\\';
            separatorLast = at > 0;
            nameStart = at;
            p++;
            continue;
        }
        const char* next = CharNextA(p);
        if (at + (next - p) >= MAX_PATH)
            return false;
        while (p < next)
            out[at++] = *p++;
        separatorLast = false;
    }
    while (at > nameStart && (out[at - 1] == '.' || out[at - 1] == ' '))
        at--;
    out[at] = 0;
    ConvertPathNamesBounded(out, MAX_PATH, ToLong);
    while (strlen(out) > 3 && EndsWithBackslash(out))
        out[strlen(out) - 1] = 0;
    return true;
}

// dir (already canonical) names the same folder as candidate.
static bool SameFolder(const char* dir, const char* candidate)
{
    char clean[MAX_PATH];
    if (!candidate || !candidate[0] || candidate[0] == '*')
        return false;
    if (!CanonicalFolder(candidate, clean))
        return false;
    return lstrcmpiA(dir, clean) == 0;
}

// "\\server\share" and "\\server" are roots of a network drive.
static bool IsShareRoot(const char* dir)
{
    if (dir[0] != '\\' || dir[1] != '\\')
        return false;
    // Count the components after the two leading backslashes.
    int components = 0;
    bool inName = false;
    for (const char* p = dir + 2; *p; p = CharNextA(p)) {
        if (*p == '\\') {
            inName = false;
        } else if (!inName) {
            inName = true;
            components++;
        }
    }
    return components <= 2;
}

// The folders the system and the shell keep, read once: they do not change
// while the program runs.
enum { MaxKeptFolders = 64 };
struct KeptFolders {
    bool read;
    int32_t count;
    char path[MaxKeptFolders][MAX_PATH];
    // The Program Files family (left to a wildcard entry as the log says it).
    bool programFiles[MaxKeptFolders];
};
static KeptFolders Kept;

static void KeepFolder(const char* path, bool programFiles)
{
    if (Kept.count >= MaxKeptFolders || !path[0])
        return;
    if (!CanonicalFolder(path, Kept.path[Kept.count]))
        return;
    Kept.programFiles[Kept.count] = programFiles;
    Kept.count++;
}

// REG_SZ value of an open key into value (MAX_PATH), empty when absent.
static void ReadTextValue(HKEY key, const char* name, char* value)
{
    DWORD size = MAX_PATH - 1;
    DWORD type = 0;
    value[0] = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)value, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        value[0] = 0;
        return;
    }
    value[size < MAX_PATH ? size : MAX_PATH - 1] = 0;
}

// The Program Files and Common Files folders in one registry view. A 32-bit
// program on a 64-bit system reads the (x86) folder as "ProgramFilesDir";
// the 64-bit programs' folder is "ProgramW6432Dir" there, and the other
// view holds the other spelling: every one of them is kept.
static void KeepProgramFolders(REGSAM view)
{
    static const char* const names[] = {"ProgramFilesDir",       "ProgramW6432Dir",
                                        "ProgramFilesDir (x86)", "CommonFilesDir",
                                        "CommonW6432Dir",        "CommonFilesDir (x86)"};
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    for (const char* name : names) {
        char value[MAX_PATH];
        ReadTextValue(key, name, value);
        KeepFolder(value, true);
    }
    RegCloseKey(key);
}

// The folders the shell keeps for the user and for all users: Desktop,
// Documents, Start Menu, Programs, Startup and the like. A damaged or hostile
// log must not make the uninstall remove one of them wholesale.
static void KeepShellFolders(HKEY root)
{
    HKEY key;
    if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; i++) {
        char name[256];
        char value[MAX_PATH];
        DWORD nameSize = sizeof(name);
        DWORD valueSize = sizeof(value) - 1;
        DWORD type = 0;
        LONG status =
            RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)value, &valueSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        value[valueSize < sizeof(value) ? valueSize : sizeof(value) - 1] = 0;
        KeepFolder(value, false);
    }
    RegCloseKey(key);
}

typedef UINT(WINAPI* SystemWow64DirectoryFunc)(LPSTR buffer, UINT size);

// The Windows folder and every name the system folder goes by: the 32-bit
// system folder of a 64-bit system (SysWOW64), and the 64-bit one as a
// 32-bit program must spell it (Sysnative), its own System32 being
// redirected.
static void KeepSystemFolders()
{
    char windows[MAX_PATH];
    char folder[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, 256);
    if (n == 0 || n >= 256)
        windows[0] = 0;
    KeepFolder(windows, false);
    n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        KeepFolder(folder, false);
    // Looked up, not imported: older systems do not have it.
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    SystemWow64DirectoryFunc wow64 =
        kernel ? SystemProcedure<SystemWow64DirectoryFunc>(kernel, "GetSystemWow64DirectoryA")
               : nullptr;
    if (wow64) {
        n = wow64(folder, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            KeepFolder(folder, false);
    }
    static const char* const systemNames[] = {"\\System32", "\\SysWOW64", "\\Sysnative",
                                              "\\System"};
    if (windows[0]) {
        for (const char* name : systemNames) {
            CopyText(folder, windows, sizeof folder);
            AppendText(folder, name, sizeof folder);
            KeepFolder(folder, false);
        }
    }
}

static void ReadKeptFolders()
{
    if (Kept.read)
        return;
    Kept.read = true;
    KeepSystemFolders();
    KeepProgramFolders(0);
    KeepProgramFolders(KEY_WOW64_64KEY);
    KeepProgramFolders(KEY_WOW64_32KEY);
    KeepShellFolders(HKEY_CURRENT_USER);
    KeepShellFolders(HKEY_LOCAL_MACHINE);
}

void ForgetKeptFolders()
{
    Kept.read = false;
    Kept.count = 0;
}

bool IsProtectedDirectory(const char* dir, bool forWildcardFiles)
{
    char canonical[MAX_PATH];
    if (strlen(dir) < 4 || IsShareRoot(dir))
        return true;
    // What cannot be spelled canonically cannot be checked: it is refused.
    if (!CanonicalFolder(dir, canonical))
        return true;
    if (strlen(canonical) < 4 || IsShareRoot(canonical))
        return true;
    ReadKeptFolders();
    for (int32_t i = 0; i < Kept.count; i++) {
        if (forWildcardFiles && Kept.programFiles[i])
            continue;
        if (lstrcmpiA(canonical, Kept.path[i]) == 0)
            return true;
    }
    if (SameFolder(canonical, SystemFolder))
        return true;
    if (!forWildcardFiles && SameFolder(canonical, ProgramFilesDir))
        return true;
    return SameFolder(canonical, ProfilesFolder) || SameFolder(canonical, CommonProfileFolder);
}
