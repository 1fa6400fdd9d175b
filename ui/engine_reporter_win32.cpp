// The engine's reporter: its steps and ticks go to the progress display, its
// questions to the question dialogs.
#include "engine/reporter.h"

#include "log/path_helpers.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"

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
}

static void FitPath(char* text)
{
    FitPathToControl(IDC_PROGRESS_TEXT, text);
}

static const EngineReporter WindowsReporter = {
    BeginWorkView, Working,       StartTicks,       Tick, Step, FitPath,
    PumpMessages,  AskSharedFile, AskServerRunning,
};

const EngineReporter* Reporter = &WindowsReporter;
