// The uninstall plan: which entries each phase takes, in which order, under
// the mode, roll-back, threshold and cancel rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/uninstall.h"
#include "engine/uninstall_plan.h"
#include "log/items.h"
#include "log/pool.h"

// mode, roll-back, latest installation, offset of the latest part.
static UninstallPlan Plan(int32_t mode, int32_t rollback = 0, uint16_t latest = 1,
                          int32_t offset = 0)
{
    PlanInputs in = {mode, rollback, latest, offset, 0, 0, 0, 0};
    UninstallPlan plan;
    MakeUninstallPlan(&plan, &in);
    return plan;
}

static FileRecord File(uint16_t last, const char* backup = "", uint16_t backupInstallation = 0)
{
    FileRecord f;
    std::memset(&f, 0, sizeof(f));
    std::strcpy(f.Path, "C:\\APP\\TOOL.DLL");
    std::strcpy(f.BackupPath, backup);
    f.LastInstallation = last;
    f.BackupInstallation = backupInstallation;
    return f;
}

static std::vector<int32_t> Walk(PlanPhase phase, int32_t count, int32_t cancelAtStep = -1)
{
    std::vector<int32_t> seen;
    for (int32_t step = 0;; step++) {
        int32_t cancelled = cancelAtStep >= 0 && step >= cancelAtStep;
        int32_t i = PlanEntryAt(phase, count, step, cancelled);
        if (i < 0)
            break;
        seen.push_back(i);
    }
    return seen;
}

TEST(UninstallPlan, SetUpFromModeAndRollback)
{
    UninstallPlan custom = Plan(ModeCustom, 1, 3, 100);
    EXPECT_EQ(0, custom.rollback) << "a custom run is never a roll-back";
    EXPECT_EQ(1, custom.threshold);
    EXPECT_EQ(0, custom.wholeProduct) << "custom leaves log, repair key and per-user tool";

    UninstallPlan automatic = Plan(ModeAutomatic, 0, 3, 100);
    EXPECT_EQ(1, automatic.threshold) << "a plain uninstall takes every installation";
    EXPECT_EQ(1, automatic.wholeProduct);

    UninstallPlan rollback = Plan(ModeAutomatic, 1, 3, 100);
    EXPECT_EQ(3, rollback.threshold);
    EXPECT_EQ(0, rollback.wholeProduct) << "earlier installations stay";
    EXPECT_EQ(1, Plan(ModeAutomatic, 1, 1, 0).wholeProduct) << "roll-back of the only one";
}

TEST(UninstallPlan, WalkDirections)
{
    const std::vector<int32_t> forward = {0, 1, 2};
    const std::vector<int32_t> reverse = {2, 1, 0};
    for (PlanPhase p : {PhaseFileCounters, PhaseSystemFileCounters, PhaseRegValues, PhaseRegTrees})
        EXPECT_EQ(reverse, Walk(p, 3)) << "phase " << p;
    for (PlanPhase p : {PhasePrograms, PhaseRestoreDeleted, PhaseServices, PhaseIniFiles,
                        PhaseIniEntries, PhaseRestoreEdited, PhaseFiles, PhaseSystemFiles,
                        PhaseReregister, PhaseFolders, PhaseRegRestore, PhaseIcons})
        EXPECT_EQ(forward, Walk(p, 3)) << "phase " << p;
    EXPECT_TRUE(Walk(PhaseFiles, 0).empty());
    EXPECT_TRUE(Walk(PhaseRegTrees, 0).empty());
}

TEST(UninstallPlan, CancelEndsTheWalksThatTestIt)
{
    // A cancel seen at step 1 ends the phase after one entry.
    for (PlanPhase p :
         {PhasePrograms, PhaseRestoreDeleted, PhaseServices, PhaseIniFiles, PhaseIniEntries,
          PhaseFiles, PhaseSystemFiles, PhaseReregister, PhaseFolders, PhaseRegRestore, PhaseIcons})
        EXPECT_EQ(std::vector<int32_t>({0}), Walk(p, 3, 1)) << "phase " << p;
    EXPECT_EQ(std::vector<int32_t>({2}), Walk(PhaseRegValues, 3, 1));
    EXPECT_EQ(std::vector<int32_t>({2}), Walk(PhaseRegTrees, 3, 1));
    // The counter phases and the restore of edited files have no cancel test:
    // they run whole, or not at all.
    EXPECT_EQ(std::vector<int32_t>({2, 1, 0}), Walk(PhaseFileCounters, 3, 0));
    EXPECT_EQ(std::vector<int32_t>({2, 1, 0}), Walk(PhaseSystemFileCounters, 3, 0));
    EXPECT_EQ(std::vector<int32_t>({0, 1, 2}), Walk(PhaseRestoreEdited, 3, 0));
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 50);
    for (PlanPhase p : {PhaseRestoreEdited, PhaseFileCounters, PhaseSystemFileCounters})
        EXPECT_FALSE(PlanPhaseRuns(&rollback, p, 1)) << "phase " << p;
}

TEST(UninstallPlan, CountedPhases)
{
    for (PlanPhase p : {PhaseServices, PhaseIniFiles, PhaseIniEntries, PhaseFiles, PhaseSystemFiles,
                        PhaseFolders, PhaseRegRestore, PhaseRegValues, PhaseRegTrees, PhaseIcons})
        EXPECT_TRUE(PlanPhaseCounted(p)) << "phase " << p;
    for (PlanPhase p : {PhasePrograms, PhaseRestoreDeleted, PhaseRestoreEdited, PhaseFileCounters,
                        PhaseSystemFileCounters, PhaseReregister})
        EXPECT_FALSE(PlanPhaseCounted(p)) << "phase " << p;

    PoolFreeAll();
    CreateItemLists();
    EXPECT_EQ(1, PlanProgressTotal()) << "empty lists: 1, so the bar stays empty";
    static IconItem icon;
    static ServiceItem service;
    static ExecuteItem program;
    ItemListAppend(&IconList, &icon);
    ItemListAppend(&ServiceList, &service);
    ItemListAppend(&ExecuteList, &program);
    EXPECT_EQ(2, PlanProgressTotal()) << "programs are not counted";
    PoolFreeAll();
    CreateItemLists();
}

TEST(UninstallPlan, PhasesThatRunOnlyInARollBackOrAWholeUninstall)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom, 1, 2, 40);
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 40);
    for (PlanPhase p : {PhaseRestoreDeleted, PhaseRestoreEdited, PhaseReregister, PhaseCutLog}) {
        EXPECT_FALSE(PlanPhaseRuns(&automatic, p, 0)) << "phase " << p;
        EXPECT_FALSE(PlanPhaseRuns(&custom, p, 0)) << "phase " << p;
        EXPECT_TRUE(PlanPhaseRuns(&rollback, p, 0)) << "phase " << p;
    }
    EXPECT_FALSE(PlanPhaseRuns(&rollback, PhaseCutLog, 1));
    EXPECT_TRUE(PlanPhaseRuns(&automatic, PhaseLog, 0));
    EXPECT_FALSE(PlanPhaseRuns(&automatic, PhaseLog, 1)) << "a cancel keeps the log";
    EXPECT_FALSE(PlanPhaseRuns(&custom, PhaseLog, 0));
    EXPECT_FALSE(PlanPhaseRuns(&rollback, PhaseLog, 0)) << "a roll-back cuts it instead";

    EXPECT_TRUE(PlanPhaseRuns(&automatic, PhaseRepairKey, 0));
    EXPECT_FALSE(PlanPhaseRuns(&automatic, PhaseRepairKey, 1));
    EXPECT_FALSE(PlanPhaseRuns(&custom, PhaseRepairKey, 0));
    EXPECT_FALSE(PlanPhaseRuns(&rollback, PhaseRepairKey, 0));
    EXPECT_TRUE(PlanPhaseRuns(&automatic, PhaseServices, 1)) << "a list phase ends by its walk";
}

TEST(UninstallPlan, SubsystemAndPerUserCleanup)
{
    PlanInputs in = {ModeCustom, 0, 1, 0, 0, 1, 0, 1};
    UninstallPlan plan;
    MakeUninstallPlan(&plan, &in);
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhaseSubsystem, 0)) << "custom, not selected";
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhasePerUser, 0)) << "custom: not the whole product";
    in.subsystemSelected = 1;
    MakeUninstallPlan(&plan, &in);
    EXPECT_TRUE(PlanPhaseRuns(&plan, PhaseSubsystem, 0));
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhaseSubsystem, 1)) << "a cancelled product stays";

    in = {ModeAutomatic, 0, 1, 0, 0, 1, 0, 1};
    MakeUninstallPlan(&plan, &in);
    EXPECT_TRUE(PlanPhaseRuns(&plan, PhaseSubsystem, 0)) << "automatic takes it unselected";
    EXPECT_TRUE(PlanPhaseRuns(&plan, PhasePerUser, 0));
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhasePerUser, 1)) << "cancel seen before the icons";
    in.hasSubsystem = 0;
    in.hasPerUserId = 0;
    MakeUninstallPlan(&plan, &in);
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhaseSubsystem, 0));
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhasePerUser, 0));

    in = {ModeAutomatic, 1, 2, 80, 0, 0, 0, 1};
    MakeUninstallPlan(&plan, &in);
    EXPECT_FALSE(PlanPhaseRuns(&plan, PhasePerUser, 0)) << "roll-back with earlier parts";
}

TEST(UninstallPlan, ChosenEntriesFromTheThreshold)
{
    // Programs, services, INI files and entries, folders, registry phases.
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom);
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 3, 60);
    EXPECT_TRUE(PlanTakesEntry(&automatic, 0, 1)) << "automatic chooses every entry";
    EXPECT_FALSE(PlanTakesEntry(&custom, 0, 1));
    EXPECT_TRUE(PlanTakesEntry(&custom, 1, 1));
    EXPECT_FALSE(PlanTakesEntry(&rollback, 1, 2)) << "older installation";
    EXPECT_TRUE(PlanTakesEntry(&rollback, 0, 3));
    EXPECT_TRUE(PlanTakesEntry(&rollback, 0, LogFolderInstallation)) << "the log's folder";

    EXPECT_FALSE(PlanRestoresBackup(&rollback, 2));
    EXPECT_TRUE(PlanRestoresBackup(&rollback, 3));
    EXPECT_TRUE(PlanUsesLatestOldValue(&rollback));
    EXPECT_FALSE(PlanUsesLatestOldValue(&automatic));
    EXPECT_FALSE(PlanUsesLatestOldValue(&custom));
}

static std::vector<std::string> Existing;

static bool InExisting(const char* path, void*)
{
    for (const std::string& e : Existing)
        if (e == path)
            return true;
    return false;
}

static std::pair<std::string, std::string> Split(const UninstallPlan* plan, const char* command)
{
    char program[PathSize];
    char arguments[PathSize];
    PlanSplitCommand(plan, command, InExisting, nullptr, program, arguments, sizeof(program));
    return {program, arguments};
}

TEST(UninstallPlan, ProgramCommandsAndDefaultArguments)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom);
    EXPECT_STREQ("Automatic", PlanDefaultArguments(&automatic));
    EXPECT_STREQ("Custom", PlanDefaultArguments(&custom));

    Existing = {"C:\\App Dir\\Tool.exe"};
    auto split = Split(&automatic, "C:\\App Dir\\Tool.exe /x");
    EXPECT_EQ("C:\\App Dir\\Tool.exe", split.first);
    EXPECT_EQ("/x", split.second);
    split = Split(&custom, "C:\\App Dir\\Tool.exe");
    EXPECT_EQ("C:\\App Dir\\Tool.exe", split.first) << "whole command exists";
    EXPECT_EQ("Custom", split.second);

    Existing = {};
    split = Split(&automatic, "C:\\None Here\\X.exe -q");
    EXPECT_EQ("C:\\None Here\\X.exe -q", split.first) << "no prefix exists: run whole";
    EXPECT_EQ("Automatic", split.second);

    // The longest existing prefix wins; a folder counts as existing.
    Existing = {"C:\\A", "C:\\A B\\T.exe"};
    split = Split(&automatic, "C:\\A B\\T.exe one two");
    EXPECT_EQ("C:\\A B\\T.exe", split.first);
    EXPECT_EQ("one two", split.second);
    Existing = {"C:\\A"};
    split = Split(&automatic, "C:\\A B\\T.exe one");
    EXPECT_EQ("C:\\A", split.first);
    EXPECT_EQ("B\\T.exe one", split.second);

    // A command longer than the buffers is cut, never overrun.
    char program[8];
    char arguments[8];
    Existing = {"P"};
    PlanSplitCommand(&automatic, "P 0123456789", InExisting, nullptr, program, arguments,
                     sizeof(program));
    EXPECT_STREQ("P", program);
    EXPECT_STREQ("01234", arguments);
}

TEST(UninstallPlan, FileCounters)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom);
    FileRecord f = File(1);
    EXPECT_EQ(CounterSkip, PlanCounterStep(&automatic, &f, false)) << "not new, not selected";
    EXPECT_EQ(CounterSkip, PlanCounterStep(&custom, &f, false));
    f.NewFile = 1;
    EXPECT_EQ(CounterNoRelease, PlanCounterStep(&automatic, &f, false)) << "never counted";
    EXPECT_EQ(CounterSkip, PlanCounterStep(&custom, &f, false)) << "custom needs the choice";
    f.CountedInstallation = 1;
    EXPECT_EQ(CounterRelease, PlanCounterStep(&automatic, &f, false));

    // Kept by its counter: the path is cleared, nothing is unregistered.
    f.RegisterInstallation = 1;
    EXPECT_FALSE(PlanAfterCounter(&automatic, &f, false, 1));
    EXPECT_EQ(0, f.Path[0]);
    // Released: registration and device line are undone from the threshold.
    f = File(1);
    f.RegisterInstallation = 1;
    EXPECT_TRUE(PlanAfterCounter(&automatic, &f, false, 0));
    EXPECT_STREQ("C:\\APP\\TOOL.DLL", f.Path);
    EXPECT_TRUE(PlanUnregisters(&automatic, &f));
    EXPECT_FALSE(PlanRemovesDevice(&automatic, &f));

    // A roll-back: every file of the installation takes part; the kept file
    // whose backup is this installation's keeps its path for the restore.
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 70);
    FileRecord r = File(2, "C:\\APP\\TOOL.BAK", 2);
    EXPECT_EQ(CounterNoRelease, PlanCounterStep(&rollback, &r, false));
    EXPECT_FALSE(PlanAfterCounter(&rollback, &r, false, 1));
    EXPECT_STREQ("C:\\APP\\TOOL.DLL", r.Path);
    EXPECT_FALSE(PlanAfterCounter(&rollback, &r, false, 0))
        << "a restored server keeps its registration";
    FileRecord plain = File(2, "", 2);
    EXPECT_TRUE(PlanAfterCounter(&rollback, &plain, false, 0)) << "no backup to restore";
    FileRecord old = File(1);
    old.NewFile = 1;
    EXPECT_EQ(CounterSkip, PlanCounterStep(&rollback, &old, false)) << "older installation";
}

TEST(UninstallPlan, SystemFileCounters)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    FileRecord f = File(1);
    f.CountedInstallation = 1;
    EXPECT_EQ(CounterNoRelease, PlanCounterStep(&automatic, &f, true))
        << "unselected without the new shell: visited, not released";
    EXPECT_FALSE(PlanAfterCounter(&automatic, &f, true, 0)) << "and not unregistered";

    PlanInputs in = {ModeAutomatic, 0, 1, 0, 1, 0, 0, 0};
    UninstallPlan shell;
    MakeUninstallPlan(&shell, &in);
    EXPECT_EQ(CounterRelease, PlanCounterStep(&shell, &f, true));
    EXPECT_TRUE(PlanAfterCounter(&shell, &f, true, 2)) << "the user let it go";
    EXPECT_EQ(1, f.Selected) << "phase 10 now removes it";

    FileRecord kept = File(1);
    kept.Selected = 1;
    kept.CountedInstallation = 1;
    EXPECT_EQ(CounterRelease, PlanCounterStep(&automatic, &kept, true));
    EXPECT_FALSE(PlanAfterCounter(&automatic, &kept, true, 1));
    EXPECT_EQ(0, kept.Path[0]);
    FileRecord old = File(1);
    old.Selected = 1;
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 70);
    EXPECT_EQ(CounterSkip, PlanCounterStep(&rollback, &old, true));
}

TEST(UninstallPlan, FilesRemovedOrRestored)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom);
    FileRecord f = File(1);
    EXPECT_EQ(FileSkip, PlanFileAction(&automatic, &f, false)) << "not new";
    f.NewFile = 1;
    EXPECT_EQ(FileRemove, PlanFileAction(&automatic, &f, false));
    EXPECT_EQ(FileSkip, PlanFileAction(&custom, &f, false));
    EXPECT_EQ(FileSkip, PlanFileAction(&automatic, &f, true))
        << "a system file goes only when selected";
    f.Selected = 1;
    EXPECT_EQ(FileRemove, PlanFileAction(&custom, &f, true));
    f.Path[0] = 0;
    EXPECT_EQ(FileSkip, PlanFileAction(&automatic, &f, false)) << "kept by its counter";

    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 70);
    FileRecord r = File(2, "C:\\APP\\TOOL.BAK", 2);
    EXPECT_EQ(FileRestore, PlanFileAction(&rollback, &r, false));
    EXPECT_EQ(FileRestore, PlanFileAction(&rollback, &r, true));
    FileRecord older = File(2, "C:\\APP\\TOOL.BAK", 1);
    EXPECT_EQ(FileSkip, PlanFileAction(&rollback, &older, false)) << "backup of another run";
    older.NewFile = 1;
    EXPECT_EQ(FileRemove, PlanFileAction(&rollback, &older, false));
    FileRecord past = File(1, "C:\\APP\\TOOL.BAK", 2);
    past.Selected = 1;
    EXPECT_EQ(FileSkip, PlanFileAction(&rollback, &past, false)) << "older installation";
}

TEST(UninstallPlan, ReregisterAfterRollback)
{
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 70);
    FileRecord f = File(2, "C:\\APP\\TOOL.BAK", 2);
    f.RegisterInstallation = 2;
    EXPECT_TRUE(PlanReregisters(&rollback, &f, false));
    EXPECT_TRUE(PlanReregisters(&rollback, &f, true));
    f.RegisterInstallation = 1;
    EXPECT_FALSE(PlanReregisters(&rollback, &f, false)) << "registered before this run";
    f.RegisterInstallation = 2;
    f.BackupInstallation = 1;
    EXPECT_FALSE(PlanReregisters(&rollback, &f, false)) << "not this run's backup";
    FileRecord none = File(2, "", 2);
    none.RegisterInstallation = 2;
    none.Selected = 1;
    EXPECT_FALSE(PlanReregisters(&rollback, &none, false)) << "nothing was restored";
    FileRecord kept = File(2, "C:\\APP\\TOOL.BAK", 2);
    kept.RegisterInstallation = 2;
    kept.Path[0] = 0;
    EXPECT_FALSE(PlanReregisters(&rollback, &kept, true));
    FileRecord again = File(2, "C:\\APP\\TOOL.BAK", 2);
    again.RegisterInstallation = 2;
    UninstallPlan automatic = Plan(ModeAutomatic, 0, 2);
    EXPECT_FALSE(PlanReregisters(&automatic, &again, false)) << "only after a roll-back";
}

TEST(UninstallPlan, FoldersAndIcons)
{
    UninstallPlan automatic = Plan(ModeAutomatic);
    UninstallPlan custom = Plan(ModeCustom);
    FolderItem folder;
    std::memset(&folder, 0, sizeof(folder));
    folder.Installation = 1;
    EXPECT_TRUE(PlanRemovesWholeFolder(&custom, &folder)) << "custom: with its contents";
    EXPECT_FALSE(PlanRemovesWholeFolder(&automatic, &folder)) << "automatic: empty ones only";
    folder.TreeInstallation = 1;
    EXPECT_TRUE(PlanRemovesWholeFolder(&automatic, &folder)) << "raised by a tree line";
    UninstallPlan rollback = Plan(ModeAutomatic, 1, 2, 70);
    EXPECT_FALSE(PlanRemovesWholeFolder(&rollback, &folder)) << "tree of an older installation";

    IconItem icon;
    std::memset(&icon, 0, sizeof(icon));
    icon.Installation = 3;
    EXPECT_TRUE(PlanTakesIcon(&automatic, &icon));
    EXPECT_FALSE(PlanTakesIcon(&custom, &icon));
    EXPECT_FALSE(PlanTakesIcon(&rollback, &icon)) << "equality with the threshold, not at least";
    icon.Installation = 2;
    EXPECT_TRUE(PlanTakesIcon(&rollback, &icon));
}
