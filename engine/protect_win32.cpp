#include "engine/files.h"

#include <windows.h>
#include <cstring>

#include "app/run_state.h"
#include "engine/engine_env.h"
#include "log/path_helpers.h"
#include "log/reader.h"

// Compares a folder with a candidate that may end in a backslash.
static bool SameFolder(const char* dir, const char* candidate)
{
    char clean[MAX_PATH];
    if (!candidate || !candidate[0] || candidate[0] == '*')
        return false;
    lstrcpynA(clean, candidate, sizeof(clean));
    size_t len = strlen(clean);
    if (len > 3 && clean[len - 1] == '\\')
        clean[len - 1] = 0;
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

// The folders the shell keeps for the user and for all users: Desktop,
// Documents, Start Menu, Programs, Startup and the like. A damaged or hostile
// log must not make the uninstall remove one of them wholesale.
static bool IsShellFolder(HKEY root, const char* dir)
{
    HKEY key;
    bool found = false;
    if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0; !found; i++) {
        char name[256];
        char value[MAX_PATH];
        DWORD nameSize = sizeof(name);
        DWORD valueSize = sizeof(value) - 1;
        DWORD type = 0;
        LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)value, &valueSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        value[valueSize < sizeof(value) ? valueSize : sizeof(value) - 1] = 0;
        found = SameFolder(dir, value);
    }
    RegCloseKey(key);
    return found;
}

bool IsProtectedDirectory(const char* dir, bool forWildcardFiles)
{
    char windows[MAX_PATH];
    char system[MAX_PATH];
    if (strlen(dir) < 4 || IsShareRoot(dir))
        return true;
    UINT n = GetWindowsDirectoryA(windows, 256);
    if (n > 0 && n < 256 && SameFolder(dir, windows))
        return true;
    n = GetSystemDirectoryA(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH && SameFolder(dir, system))
        return true;
    if (SameFolder(dir, SystemFolder))
        return true;
    if (!forWildcardFiles && SameFolder(dir, ProgramFilesDir))
        return true;
    if (SameFolder(dir, ProfilesFolder) || SameFolder(dir, CommonProfileFolder))
        return true;
    return IsShellFolder(HKEY_CURRENT_USER, dir) || IsShellFolder(HKEY_LOCAL_MACHINE, dir);
}
