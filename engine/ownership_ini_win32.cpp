// The Win32 side of the INI rule: the real location of the file and the
// folders the system keeps its own INI files in.
#include "engine/ownership_ini.h"

#include <windows.h>

#include "engine/ownership_system.h"
#include "log/path_helpers.h"
#include "platform/procedure.h"

enum { MaxIniFolders = 32 };
struct SystemIniFolders {
    bool read;
    int32_t count;
    char path[MaxIniFolders][MAX_PATH];
    const char* list[MaxIniFolders];
};
static SystemIniFolders Folders;

static void AddFolder(const char* path)
{
    if (Folders.count >= MaxIniFolders || !path[0])
        return;
    char* slot = Folders.path[Folders.count];
    if (!RealLocation(path, slot))
        return;
    for (int32_t i = 0; i < Folders.count; i++) {
        if (lstrcmpiA(Folders.path[i], slot) == 0)
            return;
    }
    Folders.list[Folders.count] = slot;
    Folders.count++;
}

// A Windows folder and the system folders below it, under every name they
// go by: the 95 family's System, the NT family's System32, the 32-bit
// programs' SysWOW64 and the 64-bit folder as a 32-bit program spells it.
static void AddWindowsFolder(const char* windows)
{
    static const char* const inside[] = {"", "\\System", "\\System32", "\\SysWOW64", "\\Sysnative"};
    for (const char* name : inside) {
        char folder[MAX_PATH];
        CopyText(folder, windows, sizeof folder);
        AppendText(folder, name, sizeof folder);
        AddFolder(folder);
    }
}

typedef UINT(WINAPI* FolderFunc)(LPSTR buffer, UINT size);

static void AddFolderFrom(FolderFunc get, bool windows)
{
    char folder[MAX_PATH];
    UINT n = get ? get(folder, MAX_PATH) : 0;
    if (n == 0 || n >= MAX_PATH)
        return;
    if (windows)
        AddWindowsFolder(folder);
    else
        AddFolder(folder);
}

// Read once: the system's folders do not move during a run. A user's own
// Windows folder (a terminal server gives each user one) is among them, as
// is the shared one the system itself uses.
static void ReadIniFolders()
{
    if (Folders.read)
        return;
    Folders.read = true;
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    AddFolderFrom(GetWindowsDirectoryA, true);
    AddFolderFrom(
        kernel ? SystemProcedure<FolderFunc>(kernel, "GetSystemWindowsDirectoryA") : nullptr, true);
    AddFolderFrom(GetSystemDirectoryA, false);
    AddFolderFrom(
        kernel ? SystemProcedure<FolderFunc>(kernel, "GetSystemWow64DirectoryA") : nullptr, false);
}

int32_t IniFileOwnership(const char* path)
{
    char canonical[MAX_PATH];
    if (!RealLocation(path, canonical))
        return ReasonUnresolved;
    ReadIniFolders();
    IniFolders folders = {Folders.list, Folders.count};
    return IniFileRemovalReason(canonical, &folders);
}
