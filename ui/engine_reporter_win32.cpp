// The engine's reporter: its steps and ticks go to the progress display, its
// questions to the question dialogs.
#include "engine/reporter.h"

#include "engine/engine_messages.h"
#include "log/path_helpers.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"

static_assert(MsgProgressFiles == IDS_PROGRESS_FILES, "message numbers differ");
static_assert(MsgProgressSystemFiles == IDS_PROGRESS_SYSTEM_FILES, "message numbers differ");
static_assert(MsgProgressFolders == IDS_PROGRESS_FOLDERS, "message numbers differ");
static_assert(MsgProgressEmptyFolders == IDS_PROGRESS_EMPTY_FOLDERS, "message numbers differ");
static_assert(MsgProgressIniFiles == IDS_PROGRESS_INI_FILES, "message numbers differ");
static_assert(MsgProgressIniEntries == IDS_PROGRESS_INI_ENTRIES, "message numbers differ");
static_assert(MsgProgressRegValues == IDS_PROGRESS_REG_VALUES, "message numbers differ");
static_assert(MsgProgressRegRestore == IDS_PROGRESS_REG_RESTORE, "message numbers differ");
static_assert(MsgProgressIcons == IDS_PROGRESS_ICONS, "message numbers differ");
static_assert(MsgProgressUnregister == IDS_PROGRESS_UNREGISTER, "message numbers differ");
static_assert(MsgProgressSubsystems == IDS_PROGRESS_SUBSYSTEMS, "message numbers differ");
static_assert(MsgWorkingUninstall == IDS_WORKING_UNINSTALL, "message numbers differ");
static_assert(MsgProgressRegTrees == IDS_PROGRESS_REG_TREES, "message numbers differ");
static_assert(MsgProgressPrograms == IDS_PROGRESS_PROGRAMS, "message numbers differ");
static_assert(MsgProgressServices == IDS_PROGRESS_SERVICES, "message numbers differ");

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
