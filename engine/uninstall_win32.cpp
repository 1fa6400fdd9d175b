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
#include "app/run_state.h"
#include "engine/deferred.h"
#include "engine/files.h"
#include "engine/progman.h"
#include "engine/registration.h"
#include "engine/shared.h"
#include "engine/registry.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/reader.h"
#include "ui/progress.h"
#include "ui/resources/resource.h"

enum { HeadingSize = 64 };

// Driver state for one run.
struct UninstallState {
    uint16_t threshold;
    int32_t wholeProduct; // the condition W: the whole product goes
    char repairKey[400];  // the repair key's name; empty when it cannot be named
    char file[HeadingSize], systemFile[HeadingSize], folder[HeadingSize],
        emptyFolder[HeadingSize], iniFile[HeadingSize], iniEntry[HeadingSize],
        regKey[HeadingSize], regValue[HeadingSize], icon[HeadingSize], unregister[HeadingSize],
        subsystem[HeadingSize], regTree[HeadingSize], program[HeadingSize], service[HeadingSize];
};

static bool Automatic()
{
    return UninstallMode == ModeAutomatic;
}

static bool Chosen(int32_t selected)
{
    return Automatic() || selected;
}

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
    snprintf(ProgressText, sizeof(ProgressText), "%s%s", heading, item);
    ShowProgress(ProgressText);
}

// heading + path, shortened to the wizard's progress line.
static void ReportFitted(const char* heading, const char* path)
{
    snprintf(ProgressText, sizeof(ProgressText), "%s%s", heading, path);
    FitPathToControl(IDC_PROGRESS_TEXT, ProgressText);
    ShowProgress(ProgressText);
}

// heading + key, a key of more than 48 characters cut to 45 and "...".
static void ReportRegistry(const char* heading, const char* key)
{
    if (strlen(key) > 48)
        snprintf(ProgressText, sizeof(ProgressText), "%s%.45s...", heading, key);
    else
        snprintf(ProgressText, sizeof(ProgressText), "%s%s", heading, key);
    ShowProgress(ProgressText);
}

static bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Phase 0: the command is split where its longest existing prefix ends.
static void RunExternalPrograms(UninstallState* s)
{
    for (int32_t i = 0; i < ExecuteList.Count && !Cancelled; i++) {
        ExecuteItem* item = (ExecuteItem*)ExecuteList.Items[i];
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        if (FindCharMb(item->Command, '\\'))
            ConvertPathNames(item->Command, ToShort);
        ReportPlain(s->program, item->Name[0] ? item->Name : item->Command);
        char program[sizeof(item->Command)];
        char arguments[sizeof(item->Command)];
        CopyText(program, item->Command, sizeof(program));
        CopyText(arguments, Automatic() ? "Automatic" : "Custom", sizeof(arguments));
        size_t len = strlen(program);
        for (size_t p = len; p > 0; p--) {
            char held = program[p];
            if (held != ' ' && held != 0)
                continue;
            program[p] = 0;
            if (Exists(program)) {
                if (held == ' ')
                    CopyText(arguments, program + p + 1, sizeof(arguments));
                break;
            }
            program[p] = held;
        }
        RunAndWait(program, arguments);
    }
}

static void RestoreDeletedFiles(UninstallState* s)
{
    for (int32_t i = 0; i < DeletedFileList.Count && !Cancelled; i++) {
        DeletedFile* item = (DeletedFile*)DeletedFileList.Items[i];
        if (item->Installation >= s->threshold && Exists(item->BackupPath))
            RemoveOrRestoreFile(item->Path, item->BackupPath, 1);
    }
}

static void StopServices(UninstallState* s)
{
    for (int32_t i = 0; i < ServiceList.Count && !Cancelled; i++) {
        ServiceItem* item = (ServiceItem*)ServiceList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        ReportPlain(s->service, item->Name);
        StopAndDeleteService(item->Name);
        PumpMessages(3500);
    }
}

static void DeleteIniFiles(UninstallState* s)
{
    for (int32_t i = 0; i < IniFileList.Count && !Cancelled; i++) {
        IniFileItem* item = (IniFileItem*)IniFileList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        ReportPlain(s->iniFile, item->Path);
        ClearAndDeleteOrDefer(item->Path);
    }
}

static void RestoreIniEntries(UninstallState* s)
{
    for (int32_t i = 0; i < IniEntryList.Count && !Cancelled; i++) {
        IniEntry* item = (IniEntry*)IniEntryList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold || !Exists(item->File))
            continue;
        ReportPlain(s->iniEntry, item->File);
        const char* value = RollbackMode ? item->LatestOldValue : item->OldValue;
        WritePrivateProfileStringA(item->Section, item->Key, value[0] ? value : nullptr,
                                   item->File);
    }
}

static void RestoreEditedFiles(UninstallState* s)
{
    for (int32_t i = 0; i < EditedFileList.Count; i++) {
        EditedFile* item = (EditedFile*)EditedFileList.Items[i];
        if (item->Installation >= s->threshold && Exists(item->BackupPath))
            RemoveOrRestoreFile(item->Path, item->BackupPath, 1);
    }
}

// A file whose counter stays above zero is kept: its path is cleared so that
// the file phases pass it over, unless a roll-back still restores its backup.
static void KeepFile(UninstallState* s, FileRecord* f)
{
    if (RollbackMode && f->BackupInstallation == s->threshold && f->BackupPath[0])
        return;
    f->Path[0] = 0;
}

static void UnregisterAndRemoveDevice(UninstallState* s, FileRecord* f)
{
    if (f->RegisterInstallation >= s->threshold)
        SelfRegister(s->unregister, f->Path, 0);
    if (f->DeviceInstallation >= s->threshold)
        RemoveDeviceLine(f->Path);
}

static void ReleaseFileCounters(UninstallState* s)
{
    for (int32_t i = FileList.Count - 1; i >= 0; i--) {
        FileRecord* f = (FileRecord*)FileList.Items[i];
        bool takesPart = (Automatic() && (f->NewFile || RollbackMode)) || f->Selected;
        if (!takesPart || f->LastInstallation < s->threshold)
            continue;
        int32_t r = f->CountedInstallation >= s->threshold
                        ? ReleaseSharedFile(f->Path, f->CountedCopies)
                        : 0;
        if (r == 1) {
            KeepFile(s, f);
        } else if ((f->BackupInstallation == f->LastInstallation && !f->BackupPath[0]) ||
                   !RollbackMode) {
            UnregisterAndRemoveDevice(s, f);
        }
    }
}

static void ReleaseSystemFileCounters(UninstallState* s)
{
    for (int32_t i = SystemFileList.Count - 1; i >= 0; i--) {
        FileRecord* f = (FileRecord*)SystemFileList.Items[i];
        if (f->LastInstallation < s->threshold)
            continue;
        if (f->Selected || NewShell) {
            int32_t r = f->CountedInstallation >= s->threshold
                            ? ReleaseSharedFile(f->Path, f->CountedCopies)
                            : 0;
            if (r == 1)
                KeepFile(s, f);
            else if (r == 2)
                f->Selected = 1;
        }
        if (f->Selected && f->Path[0] &&
            ((f->BackupInstallation == f->LastInstallation && !f->BackupPath[0]) ||
             !RollbackMode))
            UnregisterAndRemoveDevice(s, f);
    }
}

// path begins with folder, compared without regard to case over the
// folder's length ("*" stands for a folder that could not be read).
static bool StartsWithFolder(const char* path, const char* folder)
{
    size_t n = strlen(folder);
    if (n == 0 || folder[0] == '*' || strlen(path) < n || n >= MAX_PATH)
        return false;
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
    if (!IsProtectedDirectory(parent, false))
        RemoveDirectoryAfterShell(parent);
}

// A roll-back puts the backup in place of the file. Without the backup the
// installed file stays: deleting it first would leave nothing at all.
static bool BackupMissing(const FileRecord* f, int32_t restore)
{
    return restore && f->BackupPath[0] && !Exists(f->BackupPath);
}

static void DeleteFiles(UninstallState* s)
{
    for (int32_t i = 0; i < FileList.Count && !Cancelled; i++) {
        FileRecord* f = (FileRecord*)FileList.Items[i];
        ProgressDone++;
        bool restoreChoice =
            RollbackMode && f->BackupPath[0] && f->BackupInstallation == s->threshold;
        bool chosen = (Automatic() && (f->NewFile || restoreChoice)) || f->Selected;
        if (!f->Path[0] || !chosen || f->LastInstallation < s->threshold)
            continue;
        int32_t restore = f->BackupInstallation == s->threshold && RollbackMode ? 1 : 0;
        if (BackupMissing(f, restore))
            continue;
        if (RemoveOrRestoreFile(f->Path, f->BackupPath, restore)) {
            ReportFitted(s->file, f->Path);
            RemoveEmptiedShortcutFolder(f->Path);
        }
    }
}

static void DeleteSystemFiles(UninstallState* s)
{
    for (int32_t i = 0; i < SystemFileList.Count && !Cancelled; i++) {
        FileRecord* f = (FileRecord*)SystemFileList.Items[i];
        ProgressDone++;
        bool restoreChoice =
            RollbackMode && f->BackupPath[0] && f->BackupInstallation == s->threshold;
        if (!f->Path[0] || !(f->Selected || restoreChoice) || f->LastInstallation < s->threshold)
            continue;
        int32_t restore = f->BackupInstallation == s->threshold && RollbackMode ? 1 : 0;
        if (BackupMissing(f, restore))
            continue;
        if (RemoveOrRestoreFile(f->Path, f->BackupPath, restore))
            ReportFitted(s->systemFile, f->Path);
    }
}

static void RegisterRestoredFiles(UninstallState* s)
{
    for (int32_t i = 0; i < FileList.Count && !Cancelled; i++) {
        FileRecord* f = (FileRecord*)FileList.Items[i];
        bool chosen = (Automatic() && (f->NewFile || f->BackupPath[0])) || f->Selected;
        if (f->Path[0] && chosen && f->LastInstallation >= s->threshold && f->BackupPath[0] &&
            f->BackupInstallation == s->threshold && f->RegisterInstallation >= s->threshold)
            SelfRegister(s->unregister, f->Path, 1);
    }
    for (int32_t i = 0; i < SystemFileList.Count && !Cancelled; i++) {
        FileRecord* f = (FileRecord*)SystemFileList.Items[i];
        if (f->Path[0] && (f->Selected || f->BackupPath[0]) &&
            f->LastInstallation >= s->threshold && f->BackupPath[0] &&
            f->BackupInstallation == s->threshold && f->RegisterInstallation >= s->threshold)
            SelfRegister(s->unregister, f->Path, 1);
    }
}

static void RemoveFolders(UninstallState* s)
{
    for (int32_t i = 0; i < FolderList.Count && !Cancelled; i++) {
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        int32_t whole = UninstallMode == ModeCustom || item->TreeInstallation >= s->threshold;
        if (EndsWithBackslash(item->Path))
            item->Path[strlen(item->Path) - 1] = 0;
        ReportFitted(whole ? s->folder : s->emptyFolder, item->Path);
        RemoveDirectoryTree(item->Path, whole);
    }
    // A folder listed before a tree inside it stayed because the tree's files
    // were still there when its turn came; now that they are gone, take the
    // folders that have become empty (nothing that holds a file goes).
    for (int32_t i = 0; i < FolderList.Count && !Cancelled; i++) {
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        if (Chosen(item->Selected) && item->Installation >= s->threshold)
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
    HANDLE log = CreateFileA(logPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    if (SetFilePointer(log, LatestInstallationOffset, nullptr, FILE_BEGIN) !=
        INVALID_SET_FILE_POINTER)
        SetEndOfFile(log);
    CloseHandle(log);
}

static void RestoreRegistryValues(UninstallState* s)
{
    for (int32_t i = 0; i < RegRestoreList.Count && !Cancelled; i++) {
        RegRestoreItem* item = (RegRestoreItem*)RegRestoreList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        ReportRegistry(s->regValue, item->Key);
        // A working copy: the conversion happens in place, and the record's
        // single latest string must become a one-string list.
        char data[RegDataSize + 2];
        memset(data, 0, sizeof(data));
        if (RollbackMode)
            CopyText(data, item->LatestOldData, RegDataSize);
        else
            memcpy(data, item->OldData, RegDataSize);
        RestoreRegistryValue(item->Root, item->Type, item->Key, item->Name, data, sizeof(data), 0);
    }
}

static void DeleteRegistryValues(UninstallState* s)
{
    for (int32_t i = RegValueList.Count - 1; i >= 0 && !Cancelled; i--) {
        RegValueItem* item = (RegValueItem*)RegValueList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        ReportRegistry(s->regKey, item->Key);
        DeleteCreatedValue(item->Root, item->Key, item->Name);
    }
}

static void DeleteRegistryTrees(UninstallState* s)
{
    for (int32_t i = RegTreeList.Count - 1; i >= 0 && !Cancelled; i--) {
        RegTreeItem* item = (RegTreeItem*)RegTreeList.Items[i];
        ProgressDone++;
        if (!Chosen(item->Selected) || item->Installation < s->threshold)
            continue;
        ReportRegistry(s->regTree, item->Key);
        DeleteRegistryTree(item->Key, item->Root);
    }
}

static void DeleteIcons(UninstallState* s)
{
    bool opened = false;
    for (int32_t i = 0; i < IconList.Count && !Cancelled; i++) {
        IconItem* item = (IconItem*)IconList.Items[i];
        ProgressDone++;
        if (!IconEntryTakesPart(item, s->threshold))
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
        if (n > 0 && n < (int)sizeof(command))
            WinExec(command, SW_SHOW);
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
    int n = snprintf(key, size,
                     "Software\\Ketra Solutions\\Ketra Installation System\\Repair\\%s", longPath);
    if (n <= 0 || n >= (int)size)
        key[0] = 0;
}

void RunUninstall(const char* logPath)
{
    UninstallState s;
    if (UninstallMode == ModeCustom)
        RollbackMode = 0;
    s.threshold = RollbackMode ? LatestInstallation : 1;
    s.wholeProduct = (Automatic() && !RollbackMode) || (RollbackMode && LatestInstallationOffset == 0);
    NameRepairKey(logPath, s.repairKey, sizeof(s.repairKey));
    ReadHeadings(&s);
    ProgressDone = 0;
    ProgressTotal = IconList.Count + ServiceList.Count + RegRestoreList.Count + RegTreeList.Count +
                    RegValueList.Count + IniEntryList.Count + IniFileList.Count +
                    FolderList.Count + SystemFileList.Count + FileList.Count;
    if (ProgressTotal == 0)
        ProgressTotal = 1;

    if (!WorkStarted) {
        BeginWorkView(IDS_WORKING_UNINSTALL);
        RunExternalPrograms(&s);
    }
    if (RollbackMode)
        RestoreDeletedFiles(&s);
    StopServices(&s);
    // The engine's use count is lowered only for a product that goes: after
    // a cancel it stays installed.
    if (SubsystemName && (Automatic() || SubsystemSelected) && !Cancelled) {
        ReportPlain(s.subsystem, SubsystemName);
        if (ReleaseBde() != 0)
            return;
    }
    DeleteIniFiles(&s);
    RestoreIniEntries(&s);
    // Once the user has cancelled, nothing more is changed: lowering shared
    // counters or restoring backups for files that the cancel keeps would
    // leave the machine inconsistent.
    if (!Cancelled) {
        if (RollbackMode)
            RestoreEditedFiles(&s);
        ReleaseFileCounters(&s);
        ReleaseSystemFileCounters(&s);
    }
    DeleteFiles(&s);
    DeleteSystemFiles(&s);
    if (RollbackMode)
        RegisterRestoredFiles(&s);
    if (Automatic() && !Cancelled && !RollbackMode)
        DeleteFileOrDefer(logPath);
    RemoveFolders(&s);
    if (RollbackMode && !Cancelled)
        CutLogAfterRollback(logPath);
    RestoreRegistryValues(&s);
    DeleteRegistryValues(&s);
    DeleteRegistryTrees(&s);
    bool cancelledBeforeIcons = Cancelled != 0;
    DeleteIcons(&s);
    if (PerUserId && s.wholeProduct && !cancelledBeforeIcons)
        StartPerUserCleanup();
    // The repair key of a product that a cancel leaves installed must stay.
    if (s.wholeProduct && !Cancelled && s.repairKey[0])
        DeleteRegistryTree(s.repairKey, 2);
}
