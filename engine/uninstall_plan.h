// The uninstall plan: which entries each phase of the driver takes, in which
// direction, under which threshold, mode, roll-back and cancel rules. It
// answers from the item records and a few facts of the run alone; the driver
// (uninstall_win32.cpp) carries the answers out.
#pragma once
#include <cstddef>
#include <cstdint>

#include "log/items.h"

// The phases, in the order the driver runs them.
enum PlanPhase {
    PhasePrograms,           // 0: external programs
    PhaseRestoreDeleted,     // 1: roll-back: deleted files come back
    PhaseServices,           // 2
    PhaseSubsystem,          // 3: the database engine's use count
    PhaseIniFiles,           // 4
    PhaseIniEntries,         // 5
    PhaseRestoreEdited,      // 6: roll-back: edited files come back
    PhaseFileCounters,       // 7
    PhaseSystemFileCounters, // 8
    PhaseFiles,              // 9
    PhaseSystemFiles,        // 10
    PhaseReregister,         // 11: roll-back: restored servers registered again
    PhaseLog,                // 12: the log goes
    PhaseFolders,            // 13
    PhaseCutLog,             // 14: roll-back: the log loses its latest part
    PhaseRegRestore,         // 15
    PhaseRegValues,          // 16
    PhaseRegTrees,           // 17
    PhaseIcons,              // 18
    PhasePerUser,            // 19: the per-user clean-up tool
    PhaseRepairKey,          // 20
    PhaseCount
};

// What the plan is made from: the mode and the facts the log gave.
struct PlanInputs {
    int32_t mode; // ModeAutomatic or ModeCustom
    int32_t rollback;
    uint16_t latestInstallation;
    int32_t latestInstallationOffset;
    int32_t newShell;
    int32_t hasSubsystem;
    int32_t subsystemSelected;
    int32_t hasPerUserId;
};

struct UninstallPlan {
    int32_t automatic;
    int32_t custom;
    int32_t rollback;     // cleared in a Custom run: a roll-back is automatic only
    uint16_t threshold;   // an entry takes part from this installation on
    int32_t wholeProduct; // the whole product goes (log, per-user, repair key)
    int32_t newShell;
    int32_t hasSubsystem;
    int32_t subsystemSelected;
    int32_t hasPerUserId;
};

void MakeUninstallPlan(UninstallPlan* plan, const PlanInputs* in);

// Whether the phase runs at all. cancelled: the cancel as seen before the
// phase (for the per-user clean-up: as seen before the icons' phase).
bool PlanPhaseRuns(const UninstallPlan* plan, PlanPhase phase, int32_t cancelled);
// Walks: the list index visited at step (0, 1, ...) of a list of count
// entries, or -1 when the walk is over (end of list, or a cancel in a phase
// that stops on it).
int32_t PlanEntryAt(PlanPhase phase, int32_t count, int32_t step, int32_t cancelled);
// Every entry visited in this phase counts on the progress bar.
bool PlanPhaseCounted(PlanPhase phase);
// The sum of the counted lists (never 0).
int32_t PlanProgressTotal();

// Chosen (Automatic, or selected) and recorded from the threshold on: the rule
// of programs, services, INI files and entries, folders and registry phases.
bool PlanTakesEntry(const UninstallPlan* plan, int32_t selected, uint16_t installation);
// Phases 1 and 6: a backup of this installation is put back (when it exists).
bool PlanRestoresBackup(const UninstallPlan* plan, uint16_t installation);

// Phase 0: the arguments a program gets when its command names none.
const char* PlanDefaultArguments(const UninstallPlan* plan);
// Phase 0: splits command where its longest existing prefix ends (exists
// tells); the text after that prefix, if any, replaces the default arguments.
// A command none of whose prefixes exists is the program whole.
void PlanSplitCommand(const UninstallPlan* plan, const char* command,
                      bool (*exists)(const char* path, void* context), void* context, char* program,
                      char* arguments, size_t size);

// Phase 5 and 15: the roll-back puts back the value before the latest write.
bool PlanUsesLatestOldValue(const UninstallPlan* plan);

// Phases 7 and 8: what is done with the entry's shared counter.
enum CounterStep { CounterSkip, CounterRelease, CounterNoRelease };
CounterStep PlanCounterStep(const UninstallPlan* plan, const FileRecord* f, bool system);
// Applies the release's answer r (0 without a release) to the record: a file
// the counter keeps loses its path (unless a roll-back still restores its
// backup); a system file the user let go is marked selected. Returns true when
// its registration and device line are to be undone.
bool PlanAfterCounter(const UninstallPlan* plan, FileRecord* f, bool system, int32_t r);
bool PlanUnregisters(const UninstallPlan* plan, const FileRecord* f);
bool PlanRemovesDevice(const UninstallPlan* plan, const FileRecord* f);

// Phases 9 and 10.
enum FileAction { FileSkip, FileRemove, FileRestore };
FileAction PlanFileAction(const UninstallPlan* plan, const FileRecord* f, bool system);
// Phase 11.
bool PlanReregisters(const UninstallPlan* plan, const FileRecord* f, bool system);
// Phase 13: everything below the folder goes, not only its empty folders.
bool PlanRemovesWholeFolder(const UninstallPlan* plan, const FolderItem* item);
// Phase 18.
bool PlanTakesIcon(const UninstallPlan* plan, const IconItem* item);
