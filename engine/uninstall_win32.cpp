// The uninstall driver. External programs run first, while everything they
// may need still exists; services stop before their files go; shared
// counters are settled before any file is deleted; files go before their
// folders; registry values are restored before keys are removed, keys before
// whole trees; Program Manager entries and the per-user clean-up come last,
// and the repair key goes at the very end.
#include "engine/uninstall.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "app/message_catalogue.h"
#include "app/message_ids.h"
#include "app/system_facts.h"
#include "engine/deferred.h"
#include "engine/files.h"
#include "engine/journal.h"
#include "engine/ownership_ini.h"
#include "engine/ownership_system.h"
#include "engine/progman.h"
#include "engine/registration.h"
#include "engine/shared.h"
#include "engine/registry.h"
#include "engine/reporter.h"
#include "engine/uninstall_plan.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/reader.h"
#include "log/text_step.h"

enum { HeadingSize = 64 };

// Driver state for one run.
struct UninstallState {
    UninstallRequest request;
    UninstallPlan plan;
    char repairKey[400]; // the repair key's name; empty when it cannot be named
    char file[HeadingSize], systemFile[HeadingSize], folder[HeadingSize], emptyFolder[HeadingSize],
        iniFile[HeadingSize], iniEntry[HeadingSize], regKey[HeadingSize], regValue[HeadingSize],
        icon[HeadingSize], unregister[HeadingSize], subsystem[HeadingSize], regTree[HeadingSize],
        program[HeadingSize], service[HeadingSize];
};

static void ReadHeadings(UninstallState* s)
{
    HINSTANCE self = GetModuleHandleA(nullptr);
    GetMessageText(self, IDS_PROGRESS_FILES, s->file, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_SYSTEM_FILES, s->systemFile, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_FOLDERS, s->folder, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_EMPTY_FOLDERS, s->emptyFolder, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_INI_FILES, s->iniFile, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_INI_ENTRIES, s->iniEntry, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_REG_VALUES, s->regKey, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_REG_RESTORE, s->regValue, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_ICONS, s->icon, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_UNREGISTER, s->unregister, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_SUBSYSTEMS, s->subsystem, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_REG_TREES, s->regTree, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_PROGRAMS, s->program, HeadingSize);
    GetMessageText(self, IDS_PROGRESS_SERVICES, s->service, HeadingSize);
}

// heading + item, shown as it is.
static void ReportPlain(const char* heading, const char* item)
{
    char text[ReportTextSize];
    snprintf(text, sizeof(text), "%s%s", heading, item);
    Reporter->step(text);
}

// heading + path, shortened to the wizard's progress line.
static void ReportFitted(const char* heading, const char* path)
{
    char text[ReportTextSize];
    snprintf(text, sizeof(text), "%s%s", heading, path);
    Reporter->fitPath(text);
    Reporter->step(text);
}

// heading + key, a key of more than 48 characters cut to 45 and "...".
static void ReportRegistry(const char* heading, const char* key)
{
    char text[ReportTextSize];
    if (strlen(key) > 48)
        snprintf(text, sizeof(text), "%s%.45s...", heading, key);
    else
        snprintf(text, sizeof(text), "%s%s", heading, key);
    Reporter->step(text);
}

// The user has asked to stop: each phase ends at its next entry.
static int32_t StopAsked()
{
    return Reporter->cancelled() ? 1 : 0;
}

static bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static bool ExistsFor(const char* path, void*)
{
    return Exists(path);
}

// Phase 0: the command is split where its longest existing prefix ends.
static void RunExternalPrograms(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhasePrograms, ExecuteList.Count, step, StopAsked());
        if (i < 0)
            break;
        ExecuteItem* item = (ExecuteItem*)ExecuteList.Items[i];
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        if (FindCharMb(item->Command, '\\'))
            ConvertPathNames(item->Command, ToShort);
        ReportPlain(s->program, item->Name[0] ? item->Name : item->Command);
        char program[sizeof(item->Command)];
        char arguments[sizeof(item->Command)];
        PlanSplitCommand(&s->plan, item->Command, ExistsFor, nullptr, program, arguments,
                         sizeof(program));
        RunAndWait(program, arguments);
    }
}

// Phases 1 and 6: a roll-back puts the backups of its installation back.
static void RestoreBackup(UninstallState* s, const char* path, const char* backup,
                          uint16_t installation)
{
    if (PlanRestoresBackup(&s->plan, installation) && Exists(backup))
        RemoveOrRestoreFile(path, backup, 1);
}

static void RestoreDeletedFiles(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseRestoreDeleted, DeletedFileList.Count, step, StopAsked());
        if (i < 0)
            break;
        DeletedFile* item = (DeletedFile*)DeletedFileList.Items[i];
        RestoreBackup(s, item->Path, item->BackupPath, item->Installation);
    }
}

static void RestoreEditedFiles(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseRestoreEdited, EditedFileList.Count, step, StopAsked());
        if (i < 0)
            break;
        EditedFile* item = (EditedFile*)EditedFileList.Items[i];
        RestoreBackup(s, item->Path, item->BackupPath, item->Installation);
    }
}

static void StopServices(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseServices, ServiceList.Count, step, StopAsked());
        if (i < 0)
            break;
        ServiceItem* item = (ServiceItem*)ServiceList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        ReportPlain(s->service, item->Name);
        // A service that is not the product's was never asked to stop.
        if (StopAndDeleteService(item->Name).outcome != OpKeptNotOwned)
            Reporter->wait(3500);
    }
}

static void DeleteIniFiles(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseIniFiles, IniFileList.Count, step, StopAsked());
        if (i < 0)
            break;
        IniFileItem* item = (IniFileItem*)IniFileList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        ReportPlain(s->iniFile, item->Path);
        int32_t reason = IniFileOwnership(item->Path);
        if (reason != OwnedByLog)
            JournalRecord(WhatFile, item->Path, NotOwned(reason));
        else
            ClearAndDeleteOrDefer(item->Path);
    }
}

// Puts an INI entry back to its value before the installation; an empty
// value removes the entry.
static void RestoreIniEntry(const char* file, const char* section, const char* key,
                            const char* value)
{
    char name[600];
    snprintf(name, sizeof(name), "%s [%s] %s", file, section, key);
    OpOutcome done = value[0] ? OpRestored : OpRemoved;
    if (JournalDryRun()) {
        JournalRecord(WhatIniEntry, name, Outcome(done));
        return;
    }
    if (WritePrivateProfileStringA(section, key, value[0] ? value : nullptr, file))
        JournalRecord(WhatIniEntry, name, Outcome(done));
    else
        JournalRecord(WhatIniEntry, name, Outcome(OpFailed, GetLastError()));
}

static void RestoreIniEntries(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseIniEntries, IniEntryList.Count, step, StopAsked());
        if (i < 0)
            break;
        IniEntry* item = (IniEntry*)IniEntryList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation) || !Exists(item->File))
            continue;
        ReportPlain(s->iniEntry, item->File);
        const char* value =
            PlanUsesLatestOldValue(&s->plan) ? item->LatestOldValue : item->OldValue;
        RestoreIniEntry(item->File, item->Section, item->Key, value);
    }
}

// Phases 7 and 8: shared counters are settled before any file goes.
static void ReleaseCounters(UninstallState* s, PlanPhase phase, ItemList* list, bool system)
{
    SharedCounters counters = OpenSharedCounters(list->Count);
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(phase, list->Count, step, StopAsked());
        if (i < 0)
            break;
        FileRecord* f = (FileRecord*)list->Items[i];
        CounterStep counter = PlanCounterStep(&s->plan, f, system);
        if (counter == CounterSkip)
            continue;
        int32_t r = counter == CounterRelease
                        ? ReleaseSharedFileIn(counters, f->Path, f->CountedCopies, s->request)
                        : 0;
        if (!PlanAfterCounter(&s->plan, f, system, r))
            continue;
        if (PlanUnregisters(&s->plan, f))
            SelfRegister(s->unregister, f->Path, 0);
        if (PlanRemovesDevice(&s->plan, f))
            RemoveDeviceLine(f->Path);
    }
    CloseSharedCounters(&counters);
}

// path begins with folder, compared without regard to case over the
// folder's length ("*" stands for a folder that could not be read).
static bool StartsWithFolder(const char* path, const char* folder)
{
    size_t n = strlen(folder);
    if (n == 0 || folder[0] == '*' || strlen(path) < n || n >= MAX_PATH)
        return false;
    // Most paths differ from the folder in a plain letter near the start:
    // they are told apart here, without a call into the system.
    for (size_t i = 0; i < n && (unsigned char)path[i] < 0x80 && (unsigned char)folder[i] < 0x80;
         i++) {
        if (FoldAscii(path[i]) != FoldAscii(folder[i]))
            return false;
    }
    char head[MAX_PATH];
    memcpy(head, path, n);
    head[n] = 0;
    return lstrcmpiA(head, folder) == 0;
}

// Removes the parent folder of a removed shortcut when it is left empty.
static void RemoveEmptiedShortcutFolder(const char* path)
{
    if (!StartsWithFolder(path, ProfilesFolder) && !StartsWithFolder(path, CommonProfileFolder))
        return;
    char parent[MAX_PATH];
    CopyText(parent, path, sizeof(parent));
    char* name = FileNamePart(parent);
    if (name > parent)
        name[-1] = 0;
    // The folder's other shortcuts may still be to come: it goes when it is empty.
    if (FolderOwnership(parent, false) == OwnedByLog && IsEmptyFolder(parent))
        RemoveEmptyDirectory(parent);
}

// A roll-back puts the backup in place of the file. Without the backup the
// installed file stays: deleting it first would leave nothing at all.
static bool BackupMissing(const FileRecord* f, FileAction action)
{
    return action == FileRestore && f->BackupPath[0] && !Exists(f->BackupPath);
}

// Phases 9 and 10.
static void DeleteFiles(UninstallState* s, PlanPhase phase, ItemList* list, bool system)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(phase, list->Count, step, StopAsked());
        if (i < 0)
            break;
        FileRecord* f = (FileRecord*)list->Items[i];
        Reporter->tick();
        FileAction action = PlanFileAction(&s->plan, f, system);
        if (action == FileSkip || BackupMissing(f, action))
            continue;
        OpResult r = RemoveOrRestoreFile(f->Path, f->BackupPath, action == FileRestore ? 1 : 0);
        if (r.outcome == OpKeptProtected || r.outcome == OpKeptNotOwned)
            continue;
        ReportFitted(system ? s->systemFile : s->file, f->Path);
        if (!system)
            RemoveEmptiedShortcutFolder(f->Path);
    }
}

static void RegisterRestoredFiles(UninstallState* s, ItemList* list, bool system)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseReregister, list->Count, step, StopAsked());
        if (i < 0)
            break;
        FileRecord* f = (FileRecord*)list->Items[i];
        if (PlanReregisters(&s->plan, f, system))
            SelfRegister(s->unregister, f->Path, 1);
    }
}

static void RemoveFolders(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseFolders, FolderList.Count, step, StopAsked());
        if (i < 0)
            break;
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        int32_t whole = PlanRemovesWholeFolder(&s->plan, item) ? 1 : 0;
        if (EndsWithBackslash(item->Path))
            item->Path[strlen(item->Path) - 1] = 0;
        ReportFitted(whole ? s->folder : s->emptyFolder, item->Path);
        if (item->KeptFolder)
            JournalRecord(WhatFolder, item->Path, NotOwned(ReasonKeptFolder));
        else
            RemoveDirectoryTree(item->Path, whole);
    }
    // A folder listed before a tree inside it stayed because the tree's files
    // were still there when its turn came; now that they are gone, take the
    // folders that have become empty (nothing that holds a file goes).
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseFolders, FolderList.Count, step, StopAsked());
        if (i < 0)
            break;
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        // Only where the first pass could go: a tree that is not the
        // product's keeps its empty folders too.
        if (PlanTakesEntry(&s->plan, item->Selected, item->Installation) && !item->KeptFolder &&
            Exists(item->Path) && !JournalDryRun() &&
            FolderOwnership(item->Path, PlanRemovesWholeFolder(&s->plan, item)) == OwnedByLog)
            RemoveDirectoryTree(item->Path, 0);
    }
}

// After a roll-back the log keeps the earlier installations only.
static void CutLogAfterRollback(const char* logPath)
{
    if (LatestInstallationOffset == 0) {
        DeleteFileOrDefer(logPath);
        return;
    }
    char name[MAX_PATH + 40];
    snprintf(name, sizeof(name), "%s (its latest installation)", logPath);
    if (JournalDryRun()) {
        JournalRecord(WhatFile, name, Outcome(Exists(logPath) ? OpRemoved : OpMissing));
        return;
    }
    HANDLE log = CreateFileA(logPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        JournalRecord(WhatFile, name, Outcome(OpFailed, GetLastError()));
        return;
    }
    if (SetFilePointer(log, LatestInstallationOffset, nullptr, FILE_BEGIN) !=
            INVALID_SET_FILE_POINTER &&
        SetEndOfFile(log))
        JournalRecord(WhatFile, name, Outcome(OpRemoved));
    else
        JournalRecord(WhatFile, name, Outcome(OpFailed, GetLastError()));
    CloseHandle(log);
}

static void RestoreRegistryValues(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseRegRestore, RegRestoreList.Count, step, StopAsked());
        if (i < 0)
            break;
        RegRestoreItem* item = (RegRestoreItem*)RegRestoreList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        ReportRegistry(s->regValue, item->Key);
        // A working copy: the conversion happens in place, and the record's
        // single latest string must become a one-string list.
        char data[RegDataSize + 2];
        memset(data, 0, sizeof(data));
        if (PlanUsesLatestOldValue(&s->plan))
            CopyText(data, item->LatestOldData, RegDataSize);
        else
            memcpy(data, item->OldData, RegDataSize);
        RestoreRegistryValue(item->Root, item->Type, item->Key, item->Name, data, sizeof(data), 0);
    }
}

static void DeleteRegistryValues(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseRegValues, RegValueList.Count, step, StopAsked());
        if (i < 0)
            break;
        RegValueItem* item = (RegValueItem*)RegValueList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        ReportRegistry(s->regKey, item->Key);
        DeleteCreatedValue(item->Root, item->Key, item->Name);
    }
}

static void DeleteRegistryTrees(UninstallState* s)
{
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseRegTrees, RegTreeList.Count, step, StopAsked());
        if (i < 0)
            break;
        RegTreeItem* item = (RegTreeItem*)RegTreeList.Items[i];
        Reporter->tick();
        if (!PlanTakesEntry(&s->plan, item->Selected, item->Installation))
            continue;
        ReportRegistry(s->regTree, item->Key);
        RemoveRegistryTree(item->Key, item->Root);
    }
}

static void DeleteIcons(UninstallState* s)
{
    bool opened = false;
    for (int32_t step = 0;; step++) {
        int32_t i = PlanEntryAt(PhaseIcons, IconList.Count, step, StopAsked());
        if (i < 0)
            break;
        IconItem* item = (IconItem*)IconList.Items[i];
        Reporter->tick();
        if (!PlanTakesIcon(&s->plan, item))
            continue;
        if (!opened) {
            OpenProgramManager();
            opened = true;
        }
        ReportPlain(s->icon, item->Name);
        DeleteIconEntry(i);
    }
    if (opened)
        CloseProgramManager();
}

static void StartPerUserCleanup()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Ketra Solutions\\KtmUser", 0, 0x1F, &key) !=
        ERROR_SUCCESS)
        return;
    char path[MAX_PATH] = {0};
    DWORD size = 256;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Path", nullptr, &type, (BYTE*)path, &size) == ERROR_SUCCESS) {
        path[size < sizeof(path) ? size : sizeof(path) - 1] = 0;
        ConvertPathNames(path, ToShort);
        char command[600];
        // Quoted: a path left with a space (no short name) is otherwise
        // tried cut at the space first.
        int n = snprintf(command, sizeof(command), "\"%s\" /U \"%s\"", path, PerUserId);
        if (n > 0 && n < (int)sizeof(command)) {
            if (JournalDryRun())
                JournalRecord(WhatProgram, command, Outcome(OpStarted));
            else if (WinExec(command, SW_SHOW) > 31)
                JournalRecord(WhatProgram, command, Outcome(OpStarted));
            else
                JournalRecord(WhatProgram, command, Outcome(OpFailed, GetLastError()));
        }
    }
    RegCloseKey(key);
}

// The key is named by the long form of the log's path, which can only be
// found while the path exists: before the log and its folder are removed.
static void NameRepairKey(const char* logPath, char* key, size_t size)
{
    char longPath[MAX_PATH];
    CopyText(longPath, logPath, sizeof(longPath));
    ConvertPathNames(longPath, ToLong);
    for (char* p = longPath; *p; p = CharNextA(p))
        if (*p == '\\')
            *p = '/';
    int n = snprintf(key, size, "Software\\Ketra Solutions\\Ketra Installation System\\Repair\\%s",
                     longPath);
    if (n <= 0 || n >= (int)size)
        key[0] = 0;
}

UninstallResult RunUninstall(const char* logPath, const UninstallRequest& request)
{
    UninstallResult result = {};
    UninstallState s;
    s.request = request;
    // A roll-back runs only in the automatic mode.
    if (request.mode == ModeCustom)
        s.request.rollback = 0;
    result.rolledBack = s.request.rollback;
    PlanInputs in = {
        s.request.mode, s.request.rollback,       LatestInstallation, LatestInstallationOffset,
        NewShell,       SubsystemName != nullptr, SubsystemSelected,  PerUserId != nullptr};
    MakeUninstallPlan(&s.plan, &in);
    LearnProductFolders(logPath);
    NameRepairKey(logPath, s.repairKey, sizeof(s.repairKey));
    ReadHeadings(&s);
    Reporter->startTicks(PlanProgressTotal());

    if (!Reporter->working()) {
        Reporter->beginWork(IDS_WORKING_UNINSTALL);
        JournalPhase("programs");
        RunExternalPrograms(&s);
    }
    JournalPhase("restore deleted files");
    if (PlanPhaseRuns(&s.plan, PhaseRestoreDeleted, StopAsked()))
        RestoreDeletedFiles(&s);
    JournalPhase("services");
    StopServices(&s);
    if (PlanPhaseRuns(&s.plan, PhaseSubsystem, StopAsked())) {
        JournalPhase("subsystem");
        ReportPlain(s.subsystem, SubsystemName);
        if (ReleaseBde(s.request.silent) != 0) {
            result.aborted = 1;
            return result;
        }
    }
    JournalPhase("INI files");
    DeleteIniFiles(&s);
    JournalPhase("INI entries");
    RestoreIniEntries(&s);
    JournalPhase("restore edited files");
    if (PlanPhaseRuns(&s.plan, PhaseRestoreEdited, StopAsked()))
        RestoreEditedFiles(&s);
    JournalPhase("counters");
    if (PlanPhaseRuns(&s.plan, PhaseFileCounters, StopAsked()))
        ReleaseCounters(&s, PhaseFileCounters, &FileList, false);
    JournalPhase("system counters");
    if (PlanPhaseRuns(&s.plan, PhaseSystemFileCounters, StopAsked()))
        ReleaseCounters(&s, PhaseSystemFileCounters, &SystemFileList, true);
    JournalPhase("files");
    DeleteFiles(&s, PhaseFiles, &FileList, false);
    JournalPhase("system files");
    DeleteFiles(&s, PhaseSystemFiles, &SystemFileList, true);
    if (PlanPhaseRuns(&s.plan, PhaseReregister, StopAsked())) {
        JournalPhase("register restored");
        RegisterRestoredFiles(&s, &FileList, false);
        RegisterRestoredFiles(&s, &SystemFileList, true);
    }
    JournalPhase("log");
    if (PlanPhaseRuns(&s.plan, PhaseLog, StopAsked()))
        DeleteFileOrDefer(logPath);
    JournalPhase("folders");
    RemoveFolders(&s);
    JournalPhase("log");
    if (PlanPhaseRuns(&s.plan, PhaseCutLog, StopAsked()))
        CutLogAfterRollback(logPath);
    JournalPhase("registry restore");
    RestoreRegistryValues(&s);
    JournalPhase("registry values");
    DeleteRegistryValues(&s);
    JournalPhase("registry trees");
    DeleteRegistryTrees(&s);
    int32_t cancelledBeforeIcons = StopAsked();
    JournalPhase("Program Manager");
    DeleteIcons(&s);
    JournalPhase("per-user");
    if (PlanPhaseRuns(&s.plan, PhasePerUser, cancelledBeforeIcons))
        StartPerUserCleanup();
    JournalPhase("repair key");
    if (PlanPhaseRuns(&s.plan, PhaseRepairKey, StopAsked()) && s.repairKey[0])
        RemoveRegistryTree(s.repairKey, 2);
    return result;
}
