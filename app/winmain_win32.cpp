// Entry point: start-up, one call per step, then the end of the run. The
// run's options and files live here and are handed to the steps by hand.
#include "app/command_line.h"
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/run_outcome.h"
#include "app/run_sequence.h"
#include "app/run_state.h"
#include "app/shortcut_launch.h"
#include "app/startup.h"
#include "platform/system_rules.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int)
{
    UseSystemRules();
    DetectPlatform();
    ReadProgramPaths();
    // The options and the log argument point into line.
    char line[CommandLineSize];
    int32_t lineCut = CopyCommandLine(commandLine, line);
    UseDefaultLogIfPresent(line);
    RunFiles files = {};
    MakeTempCopy(line, &files);
    LoadBanner(instance);
    RunOptions options = ReadCommandLine(line, lineCut);
    // Nothing damaged, or no repair wanted: the shortcut's program started.
    if (options.shortcutNumber && CheckShortcut(&options))
        return ExitDone;
    PublishRunOptions(options);
    ReadColourSettings();
    ReadFontSettings();
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    BarBackColour = GetSysColor(COLOR_BTNFACE);
    // Without its windows the run cannot go on; nothing has been changed.
    RunOutcome noWindows = {};
    noWindows.failed = 1;
    if (!previous && !RegisterMainWindowClass(instance))
        return ExitCodeOf(noWindows);
    if (!CreateMainWindows(instance, options))
        return ExitCodeOf(noWindows);
    MakeCrcTable();
    ReadStartupTexts(instance);
    ReadProgramFilesDir();
    if (options.cleanupStage && options.rest[0])
        return RunCleanupStage(options);
    files.logChoiceCancelled = FindLogPath(options, files.logPath);
    ReadRunTexts(instance);
    if (HoldForTest())
        return CloseRun(options, files, CollectRunOutcome());
    return ReadLogAndRun(options, files);
}
