#include "app/run_sequence.h"

#include <windows.h>

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

static void ApplyPresets()
{
    if (AutoMode) {
        UninstallMode = ModeAutomatic;
        WizardPage = PageFinal;
    }
    if (FinalPageOnly) {
        WizardPage = PageFinal;
        UninstallMode = ShortcutNumber ? ModeRepair : ModeAutomatic;
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

static void DoTheWork()
{
    SetCurrentDirectoryA("\\");
    BeginRestorePoint();
    if (UninstallMode == ModeRepair || (ShortcutNumber && RepairSourceKnown))
        RunRepair();
    else
        RunUninstall(LogPath);
    PostMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    EndRestorePoint();
}

int RunSequence(int32_t tempCopyMade)
{
    ApplyPresets();
    if (!SilentMode) {
        DestroyStartupWindow();
        EnableWindow(MainWindow, FALSE);
        CreateWizardWindow(MainWindow && IsWindowVisible(MainWindow) ? MainWindow : nullptr);
        if (!AutoMode && !Cancelled)
            WaitForWizard();
    }
    if (!Cancelled)
        DoTheWork();
    if (RestartNeeded && !SilentMode) {
        if (MessageBoxA(WizardWindow, RestartText, CaptionText, MB_OKCANCEL) == IDCANCEL)
            RestartNeeded = 0;
    }
    if (!SilentMode && WizardWindow) {
        DestroyWindow(WizardWindow);
        WizardWindow = nullptr;
    }
    WriteStatusReport();
    return CloseRun(tempCopyMade);
}

int ReadLogAndRun(int32_t tempCopyMade)
{
    CreateItemLists();
    if (!LogPath[0])
        return CloseRun(tempCopyMade);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    int failed = ReadInstallLog(LogPath, ApplicationFolder);
    SetCursor(previous);
    if (failed)
        return CloseRun(tempCopyMade);
    return RunSequence(tempCopyMade);
}
