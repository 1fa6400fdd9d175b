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
#include "engine/journal.h"
#include "platform/system_rules.h"

// A journal path that could not be kept whole: nothing is done, and the
// failure code says so instead of a run without the record it asked for.
enum { ExitJournalRefused = 1603 };

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
    if (options.journalRefused && !options.cleanupStage)
        return ExitJournalRefused;
    JournalBegin(options.journalPath, commandLine, options.dryRun);
    if (options.shortcutNumber && CheckShortcut(&options))
        return 0;
    PublishRunOptions(options);
    ReadColourSettings();
    ReadFontSettings();
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    BarBackColour = GetSysColor(COLOR_BTNFACE);
    if (!previous && !RegisterMainWindowClass(instance))
        return 0;
    if (!CreateMainWindows(instance, options))
        return 0;
    MakeCrcTable();
    ReadStartupTexts(instance);
    ReadProgramFilesDir();
    if (options.cleanupStage && options.rest[0])
        return RunCleanupStage(options);
    FindLogPath(options, files.logPath);
    ReadRunTexts(instance);
    if (HoldForTest())
        return CloseRun(options, files, CollectRunOutcome());
    return ReadLogAndRun(options, files);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int)
{
    int exitCode = Run(instance, previous, commandLine);
    JournalEnd(exitCode);
    return exitCode;
}
