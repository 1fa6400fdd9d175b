// Entry point: start-up, one call per step, then the end of the run. The
// run's options and files live here and are handed to the steps by hand.
#include "app/command_line.h"
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/run_outcome.h"
#include "app/run_sequence.h"
#include "app/shortcut_launch.h"
#include "app/startup.h"
#include "engine/deferred.h"
#include "engine/journal.h"
#include "engine/reporter.h"
#include "ui/progress.h"
#include "platform/system_rules.h"

static int Run(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine)
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
    // A run that cannot go on: nothing has been changed, and the code says
    // it failed.
    RunOutcome notRun = {};
    notRun.failed = 1;
    // A journal path that could not be kept whole: no run without the record
    // it asked for.
    if (options.journalRefused && !options.cleanupStage)
        return ExitCodeOf(notRun);
    JournalBegin(options.journalPath, commandLine, options.dryRun);
    // Nothing damaged, or no repair wanted: the shortcut's program started.
    if (options.shortcutNumber && CheckShortcut(&options))
        return ExitDone;
    Reporter = WindowsReporterFor(options.silent);
    ReadColourSettings();
    ReadFontSettings();
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    BarBackColour = GetSysColor(COLOR_BTNFACE);
    // Without its windows the run cannot go on.
    if (!previous && !RegisterMainWindowClass(instance))
        return ExitCodeOf(notRun);
    if (!CreateMainWindows(instance, options, &files.startupCancelled))
        return ExitCodeOf(notRun);
    MakeCrcTable();
    ReadStartupTexts(instance);
    ReadProgramFilesDir();
    if (options.cleanupStage && options.rest[0])
        return RunCleanupStage(options);
    files.logChoiceCancelled = FindLogPath(options, files.logPath);
    ReadRunTexts(instance);
    if (HoldForTest())
        return CloseRun(options, files,
                        CollectRunOutcome(files.startupCancelled, DeferredSoFar(), options.rollback,
                                          options.restartMarker));
    return ReadLogAndRun(options, files);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int)
{
    int exitCode = Run(instance, previous, commandLine);
    JournalEnd(exitCode);
    return exitCode;
}
