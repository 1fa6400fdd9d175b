#include "app/startup.h"
#include "app/command_line.h"
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/run_outcome.h"
#include "app/system_facts.h"
#include "log/reader.h"
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

// Starts a program whose path may hold spaces; 1 when it started.
static int32_t StartProgram(const char* path, const char* arguments)
{
    char command[PathBufferSize + CommandLineSize + 8];
    if (!QuoteCommand(command, sizeof command, path, arguments))
        return 0;
    return WinExec(command, SW_SHOW) > 31;
}

void StartRestartHelper(const char* path)
{
    if (path[0])
        StartProgram(path, "");
}

// The temporary copy finishes what this process cannot: removing its own
// file. When the copy takes over the restart, outcome no longer needs one.
static int32_t HandOver(const char* tempCopyPath, RunOutcome* outcome)
{
    const char* restartMarker = "";
    int32_t removal = outcome->selfRemovalPending && !outcome->cancelled;
    if (outcome->restartNeeded && (PlatformKind == Platform95 || removal))
        restartMarker = "1";
    if (!removal)
        return 0;
    char program[PathBufferSize];
    // A path cut to the buffer would name another file for the copy to delete.
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program)
        return 0;
    // Short names keep both paths free of spaces; the copy splits at the first.
    ConvertPathNames(program, ToShort);
    // The temporary folder may hold a space (a user name with one): the
    // copy's own path is quoted. A line the copy could not take whole is
    // not started at all; the program file then stays.
    char command[PathBufferSize + CommandLineSize + 8];
    if (!FormatRelaunchCommand(command, sizeof command, tempCopyPath, restartMarker, program,
                               ApplicationFolder))
        return 0;
    if (WinExec(command, SW_SHOW) <= 31)
        return 0;
    // The copy restarts after its clean-up; this process does not.
    if (restartMarker[0] && PlatformKind == PlatformNT)
        outcome->restartNeeded = 0;
    return 1;
}

int CloseRun(const RunOptions& options, const RunFiles& files, RunOutcome outcome)
{
    TraceStartupForTest(options, files, outcome);
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
    if (outcome.restartNeeded && PlatformKind == PlatformNT)
        WriteRestartHelper(helper);
    if (DialogFont)
        DeleteObject(DialogFont);
    DialogFont = nullptr;
    int32_t copyStarted = 0;
    if (files.tempCopyMade) {
        copyStarted = HandOver(files.tempCopyPath, &outcome);
    } else if (!outcome.cancelled && !options.dryRun) {
        // A run started with /Z leaves no settings file behind.
        OFSTRUCT unused;
        OpenFile(SettingsIniPath, &unused, OF_DELETE);
    }
    PoolFreeAll();
    ScratchBuffer = nullptr;
    if (outcome.restartNeeded) {
        if (PlatformKind == PlatformNT)
            StartRestartHelper(helper);
        else if (!copyStarted)
            ExitWindowsEx(EWX_REBOOT, 0);
    }
    // After a /W<n> run the shortcut's program starts, repaired or not.
    if (options.shortcutNumber && !options.dryRun)
        LaunchAndCloseRepairKey(options.shortcutNumber);
    return ExitCodeOf(outcome);
}
