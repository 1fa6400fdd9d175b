// The engine's reporter: its steps and ticks go to the progress display, its
// questions to the question dialogs.
#include "engine/reporter.h"

#include "log/path_helpers.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"
#include "ui/wizard.h"

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
static void ShowStep(const char* text, int32_t paced)
{
    if (text && text != ProgressText)
        CopyText(ProgressText, text, sizeof(ProgressText));
    ShowProgress(text ? ProgressText : nullptr, paced);
}

static void Step(const char* text)
{
    ShowStep(text, 1);
}

static void BeginWork(int32_t messageNumber)
{
    BeginWorkView(messageNumber, 1);
}

enum { SilentServePeriodMs = 50, SilentServeSteps = 32 };

// A silent run's steps serve the windows and go on at once. Its window is
// never shown: the queue is served every SilentServePeriodMs or every
// SilentServeSteps entries, whichever comes first, not after every entry,
// since each look at it is a call into the system; a fast run still
// answers a message sent to it while it works.
static void SilentStep(const char* text)
{
    static DWORD lastServed;
    static int32_t skipped = SilentServeSteps;
    DWORD now = GetTickCount();
    if (skipped < SilentServeSteps && now - lastServed < SilentServePeriodMs) {
        skipped++;
        return;
    }
    skipped = 0;
    lastServed = now;
    ShowStep(text, 0);
}

static void SilentBeginWork(int32_t messageNumber)
{
    BeginWorkView(messageNumber, 0);
}

static void FitPath(char* text)
{
    FitPathToControl(IDC_PROGRESS_TEXT, text);
}

// The wizard's Cancel, kept in the wizard's run. A silent run has no wizard
// and nothing to cancel with; a Cancel in the start-up window ends the run
// before any work starts.
static bool CancelPressed()
{
    WizardRun* run = WizardRunOf(WizardWindow);
    return run && run->cancelled;
}

static const EngineReporter WindowsReporter = {
    BeginWork,    Working,       StartTicks,       Tick,          Step, FitPath,
    PumpMessages, AskSharedFile, AskServerRunning, CancelPressed,
};

static const EngineReporter SilentReporter = {
    SilentBeginWork, Working,       StartTicks,       Tick,          SilentStep, FitPath,
    PumpMessages,    AskSharedFile, AskServerRunning, CancelPressed,
};

const EngineReporter* WindowsReporterFor(int32_t silent)
{
    return silent ? &SilentReporter : &WindowsReporter;
}

const EngineReporter* Reporter = &WindowsReporter;
