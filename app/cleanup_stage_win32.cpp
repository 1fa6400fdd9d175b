#include "app/startup.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/system_facts.h"
#include "engine/files.h"
#include "log/path_helpers.h"

// The first process may still be ending: give it a second, serving the queue.
static void WaitOneSecond()
{
    TimerWaiting = 1;
    SetTimer(MainWindow, WaitTimerId, 1000, nullptr);
    MSG message;
    while (TimerWaiting) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (TimerWaiting)
            Sleep(10);
    }
    KillTimer(MainWindow, WaitTimerId);
}

// Removes folder and its empty subfolders, never a protected folder.
static void RemoveFolderIfEmpty(char* folder)
{
    if (folder[0])
        RemoveDirectoryTree(folder, 0);
}

// The first process can take longer than a second to end (a slow system,
// or its windows still going away): a file it still runs from cannot be
// deleted yet, so keep trying for a while instead of leaving it behind.
static void DeleteProgramFile(const char* program)
{
    for (int attempt = 0; attempt < 15; attempt++) {
        if (DeleteFileA(program) || GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES)
            return;
        WaitOneSecond();
    }
}

// Deletes the program file that ran the uninstall and removes its folder and
// the application folder when they are empty.
static void RemoveProgramAndFolders(const char* paths)
{
    char program[256];
    CopyText(program, paths, sizeof program);
    char* applicationFolder = FindCharMb(program, ' ');
    if (applicationFolder)
        *applicationFolder++ = 0;
    if (program[0] && !EndsWithBackslash(program))
        DeleteProgramFile(program);
    char* name = FileNamePart(program);
    if (name > program) {
        name[-1] = 0;
        RemoveFolderIfEmpty(program);
    }
    if (applicationFolder && applicationFolder[0]) {
        if (EndsWithBackslash(applicationFolder))
            applicationFolder[lstrlenA(applicationFolder) - 1] = 0;
        RemoveFolderIfEmpty(applicationFolder);
    }
}

int RunCleanupStage(const RunOptions& options)
{
    WaitOneSecond();
    // A command line cut at its end names another file or folder than the
    // one handed over (C:\APP\OLD cut to C:\APP\O): remove nothing then.
    if (!options.lineCut)
        RemoveProgramAndFolders(options.rest);
    DestroyWindowsAndDrain();
    if (BannerBitmap)
        DeleteObject(BannerBitmap);
    BannerBitmap = nullptr;
    if (DialogFont)
        DeleteObject(DialogFont);
    DialogFont = nullptr;
    // The process that handed over asked for the restart (/z1).
    if (options.restartMarker) {
        if (PlatformKind == PlatformNT) {
            char helper[260];
            WriteRestartHelper(helper);
            StartRestartHelper(helper);
        } else {
            ExitWindowsEx(EWX_REBOOT, 0);
        }
    }
    return 0;
}
