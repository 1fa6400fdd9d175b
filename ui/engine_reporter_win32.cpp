// The engine's reporter: its steps and ticks go to the progress display, its
// questions to the question dialogs.
#include "engine/reporter.h"

#include "app/run_state.h"
#include "log/path_helpers.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"
#include "ui/wizard.h"

// The wizard's Cancel, kept in the wizard's run. A silent run has no wizard
// and nothing to cancel with; a Cancel in the start-up window ends the run
// before any work starts.
static bool WizardCancelled()
{
    WizardRun* run = WizardRunOf(WizardWindow);
    return run && run->cancelled;
}

// For the lead: the engine still reads Cancelled rather than asking
// cancelled(); a Cancel is dispatched only while the windows are served, so
// it is passed on there. Goes when the engine asks.
static void PassCancelOn()
{
    if (WizardCancelled())
        Cancelled = 1;
}

static void BeginWork(int32_t messageNumber)
{
    BeginWorkView(messageNumber);
    PassCancelOn();
}

static bool Working()
{
    return WorkStarted != 0;
}

static void StartTicks(int32_t total)
{
    ProgressDone = 0;
    ProgressTotal = total;
}

static void Tick()
{
    ProgressDone++;
}

// ProgressText keeps the text last shown.
static void Step(const char* text)
{
    if (text && text != ProgressText)
        CopyText(ProgressText, text, sizeof(ProgressText));
    ShowProgress(text ? ProgressText : nullptr);
    PassCancelOn();
}

static void FitPath(char* text)
{
    FitPathToControl(IDC_PROGRESS_TEXT, text);
}

static void Wait(uint32_t waitMs)
{
    PumpMessages(waitMs);
    PassCancelOn();
}

static const EngineReporter WindowsReporter = {
    BeginWork,     Working,          StartTicks,      Tick, Step, FitPath, Wait,
    AskSharedFile, AskServerRunning, WizardCancelled,
};

const EngineReporter* Reporter = &WindowsReporter;
