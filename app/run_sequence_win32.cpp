#include "app/run_sequence.h"

#include <windows.h>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/run_outcome.h"
#include "app/startup.h"
#include "app/status_report.h"
#include "engine/deferred.h"
#include "engine/journal.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/reader.h"
#include "repair/repair.h"
#include "ui/page_rows.h"
#include "ui/wizard.h"
#include "ui/windows_win32.h"

// What the wizard is given; an automatic or final-page run also presets its
// mode and page.
static WizardRun PresetWizardRun(const RunOptions& options)
{
    WizardRun run = {};
    run.automatic = options.automatic;
    run.finalPageOnly = options.finalPageOnly;
    run.shortcutNumber = options.shortcutNumber;
    run.repairSourceKnown = RepairSourceKnown;
    run.rollback = options.rollback;
    if (options.automatic) {
        run.mode = ModeAutomatic;
        run.page = PageFinal;
    }
    if (options.finalPageOnly) {
        run.page = PageFinal;
        run.mode = options.shortcutNumber ? ModeRepair : ModeAutomatic;
    }
    return run;
}

// Polls without blocking until the user confirms or cancels; the dialog
// gets the first look at every message so that its keys work.
static void WaitForWizard(const WizardRun& run)
{
    while (!run.done) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!WizardWindow || !IsDialogMessageA(WizardWindow, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        if (run.cancelled)
            break;
        // An empty queue: let the rest of the system run.
        WaitMessage();
    }
}

// The uninstall or the repair; returns how it ended.
// A dry run makes no restore point and tells no one of changes it did not
// make; the repair, which rewrites files as it checks them, is not run.
static RunOutcome DoTheWork(const RunOptions& options, const char* logPath, const WizardRun& run)
{
    SetCurrentDirectoryA("\\");
    bool repair = run.mode == ModeRepair || (options.shortcutNumber && run.repairSourceKnown);
    UninstallRequest request = {run.mode, run.rollback, options.silent};
    if (options.dryRun) {
        UninstallResult foreseenWork = {};
        foreseenWork.rolledBack = run.rollback;
        if (repair)
            JournalNote("repair | not run: a dry run foresees uninstalls only");
        else
            foreseenWork = RunUninstall(logPath, request);
        // A foreseen failure ends the dry run as the real run would end.
        RunOutcome foreseen = CollectRunOutcome(run.cancelled, DeferredSoFar(),
                                                foreseenWork.rolledBack, options.restartMarker);
        foreseen.operationsFailed = JournalFailedOperations();
        return foreseen;
    }
    BeginRestorePoint();
    int32_t installerRefused = 0;
    // A repair reports the roll-back asked for, as an uninstall that did not run.
    UninstallResult uninstall = {};
    uninstall.rolledBack = run.rollback;
    if (repair)
        installerRefused = RunRepair(options.silent);
    else
        uninstall = RunUninstall(logPath, request);
    PostMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    RunOutcome outcome = CollectRunOutcome(run.cancelled, DeferredSoFar(), uninstall.rolledBack,
                                           options.restartMarker);
    // A silent repair cannot ask for an installer it does not find: the
    // damaged files stay, which no user chose.
    if (installerRefused && options.silent)
        outcome.failed = 1;
    else if (installerRefused)
        outcome.stoppedByUser = 1;
    outcome.stoppedByUser |= uninstall.aborted;
    // The engine's count of operations that had to succeed and did not.
    outcome.operationsFailed = JournalFailedOperations();
    EndRestorePoint(outcome.cancelled);
    return outcome;
}

// A dry run in the wizard ends with what it would have done.
static void ShowDryRunSummary()
{
    char text[320];
    FormatJournalTally(text, sizeof(text), JournalCounts(), 1);
    MessageBoxA(WizardWindow, text, CaptionText, MB_OK | MB_ICONINFORMATION);
}

// Asks whether to restart now. A silent run restarts without asking; its
// caller still learns that the work waits for that restart.
static void AskRestart(const RunOptions& options, RunOutcome* outcome)
{
    if (!outcome->restartNeeded)
        return;
    if (options.silent) {
        outcome->restartLeft = 1;
        return;
    }
    if (MessageBoxA(WizardWindow, RestartText, CaptionText, MB_OKCANCEL) == IDCANCEL) {
        outcome->restartNeeded = 0;
        outcome->restartLeft = 1;
    }
}

int RunSequence(const RunOptions& options, const RunFiles& files)
{
    // The wizard keeps its address in its window: the run outlives it.
    WizardRun run = PresetWizardRun(options);
    if (!options.silent) {
        DestroyStartupWindow();
        EnableWindow(MainWindow, FALSE);
        CreateWizardWindow(MainWindow && IsWindowVisible(MainWindow) ? MainWindow : nullptr, &run);
        if (!options.automatic && !files.startupCancelled)
            WaitForWizard(run);
    }
    // Cancelled in the start-up window or the wizard: no work, and the
    // outcome says so.
    RunOutcome outcome =
        run.cancelled || files.startupCancelled
            ? CollectRunOutcome(1, DeferredSoFar(), run.rollback, options.restartMarker)
            : DoTheWork(options, files.logPath, run);
    if (options.dryRun && !options.silent && !outcome.cancelled)
        ShowDryRunSummary();
    AskRestart(options, &outcome);
    if (!options.silent && WizardWindow) {
        DestroyWindow(WizardWindow);
        WizardWindow = nullptr;
    }
    if (!options.dryRun)
        WriteStatusReport(outcome);
    return CloseRun(options, files, outcome);
}

// No log, or one the reader refused (it has said why): nothing was done.
static int CloseUnreadRun(const RunOptions& options, const RunFiles& files)
{
    RunOutcome outcome = CollectRunOutcome(files.startupCancelled, DeferredSoFar(),
                                           options.rollback, options.restartMarker);
    outcome.logUnusable = 1;
    outcome.stoppedByUser = files.logChoiceCancelled;
    return CloseRun(options, files, outcome);
}

int ReadLogAndRun(const RunOptions& options, const RunFiles& files)
{
    CreateItemLists();
    if (!files.logPath[0])
        return CloseUnreadRun(options, files);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    int failed =
        ReadInstallLog(files.logPath, ApplicationFolder, options.silent, options.log.hasTitle);
    SetCursor(previous);
    if (failed)
        return CloseUnreadRun(options, files);
    JournalLogRead(files.logPath, LatestInstallation);
    return RunSequence(options, files);
}
