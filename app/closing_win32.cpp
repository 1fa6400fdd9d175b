#include "app/startup.h"
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/run_state.h"
#include "app/shortcut_launch.h"
#include "engine/engine_env.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "ui/resources/resource.h"

#include <shlobj.h>

static void WindowsDirectoryWithSlash(char* path)
{
    GetWindowsDirectoryA(path, 256);
    path[255] = 0;
    if (!EndsWithBackslash(path))
        lstrcatA(path, "\\");
}

void WriteRestartHelper(char* path)
{
    WindowsDirectoryWithSlash(path);
    lstrcatA(path, "_MSRSTRT.EXE");
    HRSRC found = FindResourceA(AppInstance, MAKEINTRESOURCEA(IDR_RESTART_NT),
                                MAKEINTRESOURCEA(RT_EMBEDDED_PROGRAM));
    HGLOBAL loaded = found ? LoadResource(AppInstance, found) : nullptr;
    void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return;
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR)
        return;
    _lwrite(file, (LPCCH)bytes, SizeofResource(AppInstance, found));
    _lclose(file);
}

// Destroying the MainWindow posts the quit message; everything queued
// before it is still served.
void DestroyWindowsAndDrain()
{
    DestroyStartupWindow();
    if (MainWindow)
        DestroyWindow(MainWindow);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    MainWindow = nullptr;
}

static void FreeSharedObjects(bool shellIdle)
{
    if (Shell32Module && shellIdle)
        FreeLibrary(Shell32Module);
    Shell32Module = nullptr;
    ShChangeNotifyProc = nullptr;
    if (BannerBitmap)
        DeleteObject(BannerBitmap);
    BannerBitmap = nullptr;
    if (HollowBrush)
        DeleteObject(HollowBrush);
    HollowBrush = nullptr;
    FreeCrcTable();
}

// The temporary copy finishes what this process cannot: removing its own file.
static int32_t HandOver(char* restartMarker)
{
    restartMarker[0] = 0;
    if (RestartNeeded && (PlatformKind == Platform95 ||
                          (SelfRemovalPending && !Cancelled))) {
        lstrcpyA(restartMarker, "1");
        if (PlatformKind == PlatformNT)
            RestartNeeded = 0; // the copy restarts after its clean-up
    }
    if (!SelfRemovalPending || Cancelled)
        return 0;
    char program[PathBufferSize];
    GetModuleFileNameA(nullptr, program, 256);
    program[255] = 0;
    // Short names keep both paths free of spaces; the copy splits at the first.
    ConvertPathNames(program, ToShort);
    char command[1024];
    wsprintfA(command, "%.259s /z%s %.259s %.259s", TempCopyPath, restartMarker, program,
              ApplicationFolder);
    return WinExec(command, SW_SHOW) > 31;
}

int CloseRun(int32_t tempCopyMade)
{
    TraceStartupForTest();
    DestroyWindowsAndDrain();
    bool shellIdle = FlushShellNotifications();
    if (ShChangeNotifyProc) {
        char windows[260];
        GetWindowsDirectoryA(windows, 256);
        windows[255] = 0;
        ShChangeNotifyProc(SHCNE_UPDATEDIR, 0x2001, windows, nullptr);
    }
    FreeSharedObjects(shellIdle);
    char helper[260] = "";
    if (RestartNeeded && PlatformKind == PlatformNT)
        WriteRestartHelper(helper);
    if (DialogFont)
        DeleteObject(DialogFont);
    DialogFont = nullptr;
    int32_t copyStarted = 0;
    if (tempCopyMade) {
        char marker[2];
        copyStarted = HandOver(marker);
    } else if (!Cancelled) {
        // A run started with /Z leaves no settings file behind.
        OFSTRUCT unused;
        OpenFile(SettingsIniPath, &unused, OF_DELETE);
    }
    PoolFreeAll();
    ScratchBuffer = nullptr;
    if (RestartNeeded) {
        if (PlatformKind == PlatformNT)
            WinExec(helper, SW_SHOW);
        else if (!copyStarted)
            ExitWindowsEx(EWX_REBOOT, 0);
    }
    // After a /W<n> run the shortcut's program starts, repaired or not.
    if (ShortcutNumber)
        LaunchAndCloseRepairKey();
    return 0;
}
