// The log reader's questions answered by the system: the log through the
// classic file calls, the registry, the drive types, the code pages, the
// service control manager, and the windows of the start-up.
#include <windows.h>

#include <cstring>

#include "log/reader.h"
#include "log/reader_host_win32.h"
#include "engine/ownership_system.h"

#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "log/path_helpers.h"

static int32_t Win32Open(const char* path)
{
    HFILE file = _lopen(path, OF_READ);
    return file == HFILE_ERROR ? -1 : (int32_t)file;
}

static int32_t Win32Read(int32_t file, char* buffer, int32_t size)
{
    UINT got = _lread((HFILE)file, buffer, (UINT)size);
    return got == (UINT)HFILE_ERROR ? -1 : (int32_t)got;
}

static int32_t Win32Size(int32_t file)
{
    LONG size = _llseek((HFILE)file, 0, FILE_END);
    _llseek((HFILE)file, 0, FILE_BEGIN);
    return size < 0 ? 0 : (int32_t)size;
}

static void Win32Close(int32_t file)
{
    _lclose((HFILE)file);
}

static int32_t Win32PathMissing(const char* path)
{
    return PathMissing(path) ? 1 : 0;
}

static int32_t Win32DriveRemovable(char letter)
{
    char root[4] = {letter, ':', '\\', 0};
    return GetDriveTypeA(root) == DRIVE_REMOVABLE ? 1 : 0;
}

// Read access is enough for every query here; asking for more would make
// the answers depend on whether the user may write to the machine's keys.
static int32_t Win32SharedDll(const char* path)
{
    HKEY key = nullptr;
    int32_t found = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        BYTE data[256];
        DWORD size = sizeof(data);
        LONG result = RegQueryValueExA(key, path, nullptr, nullptr, data, &size);
        found = (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) ? 1 : 0;
        RegCloseKey(key);
    }
    return found;
}

static void Win32OemToAnsi(char* text)
{
    OemToCharA(text, text);
}

static int32_t Win32ShellFolder(int32_t common, char* out, int32_t size)
{
    HKEY key = nullptr;
    int32_t result = 1;
    if (size <= 0)
        return 1;
    out[0] = 0;
    if (RegOpenKeyExA(common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD bytes = (DWORD)(size - 1);
        if (RegQueryValueExA(key, common ? "Common Start Menu" : "Start Menu", nullptr, &type,
                             (BYTE*)out, &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            out[bytes < (DWORD)size ? bytes : (DWORD)(size - 1)] = 0;
            result = 0;
        } else {
            out[0] = 0;
        }
        RegCloseKey(key);
    }
    return result;
}

static void Win32WindowsFolder(char* out, int32_t size)
{
    UINT n = GetWindowsDirectoryA(out, (UINT)size);
    if (n == 0 || n >= (UINT)size)
        out[0] = 0;
}

static void Win32SystemFolder(char* out, int32_t size)
{
    UINT n = GetSystemDirectoryA(out, (UINT)size);
    if (n == 0 || n >= (UINT)size)
        out[0] = 0;
}

static int32_t Win32MayChangeServices()
{
    SC_HANDLE manager =
        OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
    if (!manager)
        return 0;
    CloseServiceHandle(manager);
    return 1;
}

static const char* Win32CharNext(const char* text)
{
    return CharNextA(text);
}

static void Win32ConvertPath(char* path, int32_t size, int32_t mode)
{
    ConvertPathNamesBounded(path, size, mode == HostToShort ? ToShort : ToLong);
}

static void Win32MessageText(int32_t n, char* out, int32_t size)
{
    out[0] = 0;
    GetMessageText(AppInstance, n, out, size);
}

// A silent run is often one of many started by an administrator's script:
// a message box there would wait for a click that never comes.
static void Win32ShowRefusal(const char* text, const char* caption)
{
    DestroyStartupWindow();
    MessageBoxA(MainWindow, text, caption, MB_OK);
}

static void Win32QuietRefusal(const char*, const char*)
{
    DestroyStartupWindow();
}

static void Win32SetMainCaption(const char* title)
{
    if (MainWindow)
        SetWindowTextA(MainWindow, title);
}

// The bar is repainted at once: the reader does not pump messages.
static void Win32ReportProgress(int32_t)
{
    if (!StartupWindow)
        return;
    HWND bar = GetDlgItem(StartupWindow, 3830);
    if (bar) {
        RECT rect;
        GetWindowRect(bar, &rect);
        POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
        ScreenToClient(StartupWindow, &corners[0]);
        ScreenToClient(StartupWindow, &corners[1]);
        RECT client = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
        InvalidateRect(StartupWindow, &client, FALSE);
        UpdateWindow(StartupWindow);
    }
}

const ReaderHost Win32ReaderHost = {
    Win32Open,           Win32Read,           Win32Size,         Win32Close,
    Win32PathMissing,    Win32DriveRemovable, Win32SharedDll,    Win32OemToAnsi,
    Win32ShellFolder,    Win32WindowsFolder,  Win32SystemFolder, Win32MayChangeServices,
    Win32CharNext,       Win32ConvertPath,    Win32MessageText,  Win32ShowRefusal,
    Win32SetMainCaption, Win32ReportProgress, KeptFolderWithin,
};

int ReadInstallLog(const char* logPath, char* applicationFolder, int32_t silent, int32_t titleGiven)
{
    ReaderHost host = Win32ReaderHost;
    if (silent)
        host.ShowRefusal = Win32QuietRefusal;
    if (titleGiven)
        host.SetMainCaption = nullptr;
    return ReadInstallLogWith(&host, logPath, applicationFolder);
}
