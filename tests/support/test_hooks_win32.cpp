#include "app/startup.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/run_outcome.h"
#include "app/system_facts.h"
#include "engine/engine_env.h"
#include "ui/progress.h"

// Two hooks for the system tests, linked only into the test builds of the
// program (app/hooks_off_win32.cpp stands in for them in the shipped one).
// Both are off unless the environment names them: KETRA_HOLD_MS
// keeps the windows up (serving their messages) for a screenshot and then
// ends the run without reading the log, and KETRA_TRACE names a file where
// the run writes what start-up decided, which a test cannot otherwise see
// when there is no work to do.

int32_t HoldForTest()
{
    char value[32];
    if (!GetEnvironmentVariableA("KETRA_HOLD_MS", value, sizeof value))
        return 0;
    DWORD until = GetTickCount() + (DWORD)atoi(value);
    MSG message;
    while ((LONG)(until - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
    return 1;
}

static void Put(const char* file, const char* key, const char* value)
{
    WritePrivateProfileStringA("Startup", key, value, file);
}

static void PutNumber(const char* file, const char* key, int32_t value)
{
    char text[16];
    wsprintfA(text, "%d", (int)value);
    Put(file, key, text);
}

void TraceStartupForTest(const RunOptions& options, const RunFiles& files,
                         const RunOutcome& outcome)
{
    char file[260];
    DWORD length = GetEnvironmentVariableA("KETRA_TRACE", file, sizeof file);
    if (length == 0 || length >= sizeof file)
        return;
    Put(file, "LogPath", files.logPath);
    Put(file, "TempCopyPath", files.tempCopyPath);
    Put(file, "ModulePath", ModulePath);
    Put(file, "SettingsIniPath", SettingsIniPath);
    Put(file, "ProgramFilesDir", ProgramFilesDir);
    Put(file, "CommandLineTitle", options.log.hasTitle ? options.log.title : "(none)");
    PutNumber(file, "PlatformKind", PlatformKind);
    PutNumber(file, "SilentMode", options.silent);
    PutNumber(file, "AutoMode", options.automatic);
    PutNumber(file, "CleanupStage", options.cleanupStage);
    PutNumber(file, "RestartNeeded", outcome.restartNeeded);
    PutNumber(file, "SelfRemovalPending", outcome.selfRemovalPending);
    PutNumber(file, "WaitMilliseconds", (int32_t)(ProgressWaitSeconds() * 1000.0));
    PutNumber(file, "ShellNotices", (int32_t)ShellNoticesKept());
    PutNumber(file, "Cancelled", outcome.cancelled);
    PutNumber(file, "MainWindowVisible", MainWindow && IsWindowVisible(MainWindow));
    PutNumber(file, "StartupWindowMade", StartupWindow != nullptr);
    char title[256] = "";
    if (MainWindow)
        GetWindowTextA(MainWindow, title, sizeof title);
    Put(file, "MainWindowTitle", title);
}
