// Entry point: start-up, one call per step, then the end of the run.
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
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
    CopyCommandLine(commandLine);
    UseDefaultLogIfPresent();
    int32_t tempCopyMade = MakeTempCopy();
    LoadBanner(instance);
    ReadCommandLine();
    if (ShortcutNumber && CheckShortcut(CommandLineLogPath()))
        return 0;
    ReadColourSettings();
    ReadFontSettings();
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    BarBackColour = GetSysColor(COLOR_BTNFACE);
    if (!previous && !RegisterMainWindowClass(instance))
        return 0;
    if (!CreateMainWindows(instance))
        return 0;
    MakeCrcTable();
    ReadStartupTexts(instance);
    ReadProgramFilesDir();
    if (CleanupStage && CommandLineRest()[0])
        return RunCleanupStage();
    FindLogPath();
    ReadRunTexts(instance);
    if (HoldForTest())
        return CloseRun(tempCopyMade);
    return ReadLogAndRun(tempCopyMade);
}
