#include "app/run_sequence.h"

#include <windows.h>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/run_state.h"
#include "app/startup.h"
#include "app/status_report.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/reader.h"
#include "repair/repair.h"
#include "ui/wizard.h"
#include "ui/windows_win32.h"

// The wizard's mode and page for an automatic or final-page run.
static void ApplyPresets(const RunOptions& options)
{
    if (options.automatic) {
        UninstallMode = ModeAutomatic;
        WizardPage = PageFinal;
    }
    if (options.finalPageOnly) {
        WizardPage = PageFinal;
        UninstallMode = options.shortcutNumber ? ModeRepair : ModeAutomatic;
    }
}

// Polls without blocking until the user confirms or cancels; the dialog
// gets the first look at every message so that its keys work.
static void WaitForWizard()
{
    while (!WizardDone) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!WizardWindow || !IsDialogMessageA(WizardWindow, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        if (Cancelled)
            break;
        // An empty queue: let the rest of the system run.
        WaitMessage();
    }
}

static void DoTheWork(const RunOptions& options, const char* logPath)
{
    SetCurrentDirectoryA("\\");
    BeginRestorePoint();
    if (UninstallMode == ModeRepair || (options.shortcutNumber && RepairSourceKnown))
        RunRepair();
    else
        RunUninstall(logPath);
    PostMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    EndRestorePoint();
}

int RunSequence(const RunOptions& options, const RunFiles& files)
{
    ApplyPresets(options);
    if (!options.silent) {
        DestroyStartupWindow();
        EnableWindow(MainWindow, FALSE);
        CreateWizardWindow(MainWindow && IsWindowVisible(MainWindow) ? MainWindow : nullptr);
        if (!options.automatic && !Cancelled)
            WaitForWizard();
    }
    if (!Cancelled)
        DoTheWork(options, files.logPath);
    if (RestartNeeded && !options.silent) {
        if (MessageBoxA(WizardWindow, RestartText, CaptionText, MB_OKCANCEL) == IDCANCEL)
            RestartNeeded = 0;
    }
    if (!options.silent && WizardWindow) {
        DestroyWindow(WizardWindow);
        WizardWindow = nullptr;
    }
    WriteStatusReport();
    return CloseRun(options, files);
}

int ReadLogAndRun(const RunOptions& options, const RunFiles& files)
{
    CreateItemLists();
    if (!files.logPath[0])
        return CloseRun(options, files);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    int failed = ReadInstallLog(files.logPath, ApplicationFolder);
    SetCursor(previous);
    if (failed)
        return CloseRun(options, files);
    return RunSequence(options, files);
}
