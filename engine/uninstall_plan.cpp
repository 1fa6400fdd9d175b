#include "engine/uninstall_plan.h"

#include <cstring>

#include "engine/uninstall.h"
#include "log/path_helpers.h"

// How each phase walks its list.
struct PhaseWalk {
    bool reverse;
    bool stopsOnCancel;
    bool counted;
};

// Counter phases carry no cancel test: they run whole or, after a cancel, not
// at all (see PlanPhaseRuns). Values and trees are taken from the last entry
// back, so that a key recorded after its parent goes first.
static const PhaseWalk Walks[PhaseCount] = {
    {false, true, false},  // programs
    {false, true, false},  // restore deleted files
    {false, true, true},   // services
    {false, false, false}, // subsystem (no list)
    {false, true, true},   // INI files
    {false, true, true},   // INI entries
    {false, false, false}, // restore edited files
    {true, false, false},  // file counters
    {true, false, false},  // system file counters
    {false, true, true},   // files
    {false, true, true},   // system files
    {false, true, false},  // re-register
    {false, false, false}, // the log (no list)
    {false, true, true},   // folders
    {false, false, false}, // cut log (no list)
    {false, true, true},   // registry values restored
    {true, true, true},    // registry values created
    {true, true, true},    // registry trees
    {false, true, true},   // icons
    {false, false, false}, // per-user (no list)
    {false, false, false}, // repair key (no list)
};

void MakeUninstallPlan(UninstallPlan* plan, const PlanInputs* in)
{
    plan->automatic = in->mode == ModeAutomatic;
    plan->custom = in->mode == ModeCustom;
    plan->rollback = in->mode == ModeCustom ? 0 : in->rollback;
    plan->threshold = plan->rollback ? in->latestInstallation : 1;
    plan->wholeProduct = (plan->automatic && !plan->rollback) ||
                         (plan->rollback && in->latestInstallationOffset == 0);
    plan->newShell = in->newShell;
    plan->hasSubsystem = in->hasSubsystem;
    plan->subsystemSelected = in->subsystemSelected;
    plan->hasPerUserId = in->hasPerUserId;
}

bool PlanPhaseRuns(const UninstallPlan* plan, PlanPhase phase, int32_t cancelled)
{
    switch (phase) {
    case PhaseRestoreDeleted:
    case PhaseReregister:
        return plan->rollback != 0;
    // The engine's use count is lowered only for a product that goes: after
    // a cancel it stays installed.
    case PhaseSubsystem:
        return plan->hasSubsystem && (plan->automatic || plan->subsystemSelected) && !cancelled;
    // Once the user has cancelled, nothing more is changed: lowering shared
    // counters or restoring backups for files that the cancel keeps would
    // leave the machine inconsistent.
    case PhaseRestoreEdited:
        return plan->rollback && !cancelled;
    case PhaseFileCounters:
    case PhaseSystemFileCounters:
        return !cancelled;
    case PhaseLog:
        return plan->automatic && !plan->rollback && !cancelled;
    case PhaseCutLog:
        return plan->rollback && !cancelled;
    case PhasePerUser:
        return plan->hasPerUserId && plan->wholeProduct && !cancelled;
    // The repair key of a product that a cancel leaves installed must stay.
    case PhaseRepairKey:
        return plan->wholeProduct && !cancelled;
    default:
        return true;
    }
}

int32_t PlanEntryAt(PlanPhase phase, int32_t count, int32_t step, int32_t cancelled)
{
    if (phase < 0 || phase >= PhaseCount || step < 0 || step >= count)
        return -1;
    const PhaseWalk* walk = &Walks[phase];
    if (walk->stopsOnCancel && cancelled)
        return -1;
    return walk->reverse ? count - 1 - step : step;
}

bool PlanPhaseCounted(PlanPhase phase)
{
    return phase >= 0 && phase < PhaseCount && Walks[phase].counted;
}

int32_t PlanProgressTotal()
{
    int32_t total = IconList.Count + ServiceList.Count + RegRestoreList.Count + RegTreeList.Count +
                    RegValueList.Count + IniEntryList.Count + IniFileList.Count + FolderList.Count +
                    SystemFileList.Count + FileList.Count;
    return total == 0 ? 1 : total;
}

bool PlanTakesEntry(const UninstallPlan* plan, int32_t selected, uint16_t installation)
{
    return (plan->automatic || selected) && installation >= plan->threshold;
}

bool PlanRestoresBackup(const UninstallPlan* plan, uint16_t installation)
{
    return installation >= plan->threshold;
}

const char* PlanDefaultArguments(const UninstallPlan* plan)
{
    return plan->automatic ? "Automatic" : "Custom";
}

void PlanSplitCommand(const UninstallPlan* plan, const char* command,
                      bool (*exists)(const char* path, void* context), void* context, char* program,
                      char* arguments, size_t size)
{
    CopyText(program, command, (int32_t)size);
    CopyText(arguments, PlanDefaultArguments(plan), (int32_t)size);
    // The first character is never tried: an empty prefix names nothing.
    for (size_t p = strlen(program); p > 0; p--) {
        char held = program[p];
        if (held != ' ' && held != 0)
            continue;
        program[p] = 0;
        if (exists(program, context)) {
            if (held == ' ')
                CopyText(arguments, program + p + 1, (int32_t)size);
            return;
        }
        program[p] = held;
    }
}

bool PlanUsesLatestOldValue(const UninstallPlan* plan)
{
    return plan->rollback != 0;
}

CounterStep PlanCounterStep(const UninstallPlan* plan, const FileRecord* f, bool system)
{
    if (f->LastInstallation < plan->threshold)
        return CounterSkip;
    bool takesPart = system ? (f->Selected || plan->newShell)
                            : (plan->automatic && (f->NewFile || plan->rollback)) || f->Selected;
    if (!takesPart)
        return system ? CounterNoRelease : CounterSkip;
    return f->CountedInstallation >= plan->threshold ? CounterRelease : CounterNoRelease;
}

// Nothing of an older installation's backup is undone by a roll-back.
static bool UndoesRegistration(const UninstallPlan* plan, const FileRecord* f)
{
    return (f->BackupInstallation == f->LastInstallation && !f->BackupPath[0]) || !plan->rollback;
}

bool PlanAfterCounter(const UninstallPlan* plan, FileRecord* f, bool system, int32_t r)
{
    if (r == 1) {
        // Kept: the file phases pass it over, unless a roll-back still
        // restores its backup.
        if (!(plan->rollback && f->BackupInstallation == plan->threshold && f->BackupPath[0]))
            f->Path[0] = 0;
    } else if (r == 2 && system) {
        f->Selected = 1;
    }
    if (system)
        return f->Selected && f->Path[0] && UndoesRegistration(plan, f);
    return r != 1 && UndoesRegistration(plan, f);
}

bool PlanUnregisters(const UninstallPlan* plan, const FileRecord* f)
{
    return f->RegisterInstallation >= plan->threshold;
}

bool PlanRemovesDevice(const UninstallPlan* plan, const FileRecord* f)
{
    return f->DeviceInstallation >= plan->threshold;
}

// The backup of this very installation, which a roll-back puts back.
static bool RestoresOwnBackup(const UninstallPlan* plan, const FileRecord* f)
{
    return plan->rollback && f->BackupPath[0] && f->BackupInstallation == plan->threshold;
}

FileAction PlanFileAction(const UninstallPlan* plan, const FileRecord* f, bool system)
{
    bool chosen =
        system ? f->Selected || RestoresOwnBackup(plan, f)
               : (plan->automatic && (f->NewFile || RestoresOwnBackup(plan, f))) || f->Selected;
    if (!f->Path[0] || !chosen || f->LastInstallation < plan->threshold)
        return FileSkip;
    return plan->rollback && f->BackupInstallation == plan->threshold ? FileRestore : FileRemove;
}

bool PlanReregisters(const UninstallPlan* plan, const FileRecord* f, bool system)
{
    bool chosen = system ? f->Selected || f->BackupPath[0]
                         : (plan->automatic && (f->NewFile || f->BackupPath[0])) || f->Selected;
    return plan->rollback && f->Path[0] && chosen && f->LastInstallation >= plan->threshold &&
           f->BackupPath[0] && f->BackupInstallation == plan->threshold &&
           f->RegisterInstallation >= plan->threshold;
}

bool PlanRemovesWholeFolder(const UninstallPlan* plan, const FolderItem* item)
{
    return plan->custom || item->TreeInstallation >= plan->threshold;
}

bool PlanTakesIcon(const UninstallPlan* plan, const IconItem* item)
{
    bool chosen = plan->automatic || item->Selected;
    return chosen && (!plan->rollback || item->Installation == plan->threshold);
}
