// File lines of the log: copies, links and overwrites, edited and deleted
// files, and the device and self-registration marks.
#include <cstring>

#include "app/system_facts.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "log/reader_internal.h"

enum { FileCopyKind = 0, ShellLinkKind = 1, FileOverwriteKind = 2 };

// All three file lists are indexed by path. The program's own lists of
// files in the system folders and of missing files can grow as large as the
// main list (a log whose files are already gone puts every file among the
// missing ones), so a scan per line would make reading quadratic.
static FileRecord* FindFile(ItemList* list, const char* path)
{
    if (list->Count == 0)
        return nullptr;
    return (FileRecord*)IndexFindOrInsert(nullptr, &list->IndexRoot, sizeof(FileRecord),
                                          list->Count, path, nullptr, nullptr, &FileIndexLayout);
}

static FileRecord* FindInFileList(const char* path)
{
    return FindFile(&FileList, path);
}

// Finds the record of path or makes a new one with empty fields (apart
// from its links and path); *created tells which. The caller fills a new
// record before the next lookup.
static FileRecord* FindOrAddFile(ItemList* list, const char* path, int32_t* created)
{
    ItemListReserve(list);
    void** slot = &list->Items[list->Count];
    FileRecord* found =
        (FileRecord*)IndexFindOrInsert(slot, &list->IndexRoot, sizeof(FileRecord), list->Count,
                                       path, nullptr, nullptr, &FileIndexLayout);
    *created = found == nullptr;
    if (found)
        return found;
    FileRecord* record = (FileRecord*)*slot;
    void* greater = record->Greater;
    void* lesser = record->Lesser;
    std::memset(record, 0, sizeof(*record));
    record->Greater = greater;
    record->Lesser = lesser;
    CopyText(record->Path, path, PathSize);
    list->Count++;
    return record;
}

static void RefreshRepairData(FileRecord* record, const char* repairData, const char* linkInfo)
{
    CopyText(record->RepairData, repairData, RepairDataSize);
    if (linkInfo[0])
        record->LinkInfo = PoolText(linkInfo);
}

// A missing file, or one not recorded for removal that is in neither file
// list: kept only for the repair. A file logged again refreshes its record.
// Path is already converted and cut to its field.
static void RecordMissing(const char* path, const char* repairData, const char* linkInfo)
{
    int32_t created = 0;
    FileRecord* record = FindOrAddFile(&MissingFileList, path, &created);
    record->LastInstallation = LatestInstallation;
    RefreshRepairData(record, repairData, linkInfo);
}

static void FillNewFile(const ReaderState* reader, FileRecord* record, const char*,
                        const char* backup, const char* repairData, const char* linkInfo,
                        int32_t overwrite, int32_t selected)
{
    uint16_t n = LatestInstallation;
    CopyText(record->BackupPath, backup, PathSize);
    CopyText(record->RepairData, repairData, RepairDataSize);
    record->LinkInfo = linkInfo[0] ? PoolText(linkInfo) : nullptr;
    record->Selected = selected;
    record->NewFile = (!overwrite && backup[0] == 0) ? 1 : 0;
    record->LastInstallation = n;
    record->BackupInstallation = n;
    if (!reader->NoCountMark) {
        record->CountedInstallation = n;
        record->CountedCopies = 1;
    }
}

static void MergeFile(const ReaderState* reader, FileRecord* record, const char* backup,
                      const char* repairData, const char* linkInfo)
{
    uint16_t n = LatestInstallation;
    record->LastInstallation = n;
    if (!reader->NoCountMark) {
        record->CountedCopies++;
        record->CountedInstallation = n;
    }
    if (backup[0]) {
        CopyText(record->BackupPath, backup, PathSize);
        record->BackupInstallation = n;
    }
    RefreshRepairData(record, repairData, linkInfo);
}

static void RecordFile(ReaderState* reader, const char* path, const char* backup,
                       const char* repairData, const char* linkInfo, int32_t overwrite)
{
    int32_t system = InSystemFolder(reader, path);
    int32_t created = 0;
    FileRecord* record = FindOrAddFile(system ? &SystemFileList : &FileList, path, &created);
    if (!created) {
        MergeFile(reader, record, backup, repairData, linkInfo);
        return;
    }
    FillNewFile(reader, record, path, backup, repairData, linkInfo, overwrite,
                system ? reader->NonSystemMark : 0);
    if (FindCharMb(record->Path, '~'))
        ItemListAppend(&reader->TildeFiles, record);
}

// A file line that is not recorded for removal still refreshes the repair
// data of the record an earlier line made.
static void RecordRepairOnly(const ReaderState* reader, const char* path, const char* repairData,
                             const char* linkInfo)
{
    if (repairData[0] == 0 && linkInfo[0] == 0)
        return;
    FileRecord* found =
        InSystemFolder(reader, path) ? FindFile(&SystemFileList, path) : FindInFileList(path);
    if (found) {
        found->RepairOnlyInstallation = LatestInstallation;
        RefreshRepairData(found, repairData, linkInfo);
        return;
    }
    RecordMissing(path, repairData, linkInfo);
}

// text is the rest of the line after the keyword of kind.
static int32_t HandleFileLine(ReaderState* reader, char* text, int32_t kind)
{
    char repairData[RepairDataSize];
    char path[PathSize];
    char backup[PathSize];
    char linkInfo[LogLineSize];
    int32_t overwrite = 0;
    int32_t next = NextLine;

    repairData[0] = backup[0] = linkInfo[0] = 0;
    char* bar = (char*)FindCharMb(text, '|');
    if (bar) {
        CopyText(repairData, bar + 1, RepairDataSize);
        if (bar > text && bar[-1] == ' ')
            bar--;
        *bar = 0;
    }

    if (kind == ShellLinkKind) {
        CopyConverted(reader, path, PathSize, text);
        if (PerUserId && BeginsWithNoCase(path, ProfilesFolder) &&
            !BeginsWithNoCase(path, CommonProfileFolder))
            path[0] = 0;
    } else if (kind == FileCopyKind) {
        CopyConverted(reader, path, PathSize, text);
    } else {
        CopyConverted(reader, path, PathSize, text);
        overwrite = 1;
        // An overwritten shared component counts as a copy.
        if (NewShell && path[0] && reader->Host->SharedDllHasValue &&
            reader->Host->SharedDllHasValue(path))
            overwrite = 0;
    }

    ReadNextLine(reader);
    const char* field = EntryText(reader, "Link Info: ");
    if (field) {
        CopyText(linkInfo, field, LogLineSize);
        ReadNextLine(reader);
    }
    if ((field = EntryText(reader, "Backup Copy: ")) != nullptr) {
        CopyConverted(reader, backup, PathSize, field);
        BackupsPresent = 1;
    } else {
        next = HandleCurrent;
    }

    if (OnRemovableFloppy(reader, path) || (overwrite && backup[0] == 0) || path[0] == 0)
        RecordRepairOnly(reader, path, repairData, linkInfo);
    else if (reader->Host->PathMissing && reader->Host->PathMissing(path))
        RecordMissing(path, repairData, linkInfo);
    else
        RecordFile(reader, path, backup, repairData, linkInfo, overwrite);
    return next;
}

int32_t HandleFileCopy(ReaderState* reader, char* text)
{
    return HandleFileLine(reader, text, FileCopyKind);
}

int32_t HandleShellLink(ReaderState* reader, char* text)
{
    return HandleFileLine(reader, text, ShellLinkKind);
}

int32_t HandleFileOverwrite(ReaderState* reader, char* text)
{
    return HandleFileLine(reader, text, FileOverwriteKind);
}

int32_t HandleFileEdit(ReaderState* reader, char* text)
{
    char path[PathSize];
    char backup[PathSize];
    int32_t next = NextLine;

    CopyConverted(reader, path, PathSize, text);
    backup[0] = 0;
    ReadNextLine(reader);
    const char* backupText = EntryText(reader, "Backup Copy: ");
    if (backupText)
        CopyConverted(reader, backup, PathSize, backupText);
    else
        next = HandleCurrent;

    if (OnRemovableFloppy(reader, path) || backup[0] == 0 || path[0] == 0)
        return next;
    if (reader->Host->PathMissing && reader->Host->PathMissing(path))
        return next;
    for (int32_t i = 0; i < EditedFileList.Count; i++) {
        EditedFile* record = (EditedFile*)EditedFileList.Items[i];
        if (EqualsNoCase(record->Path, path)) {
            record->Installation = LatestInstallation;
            CopyText(record->BackupPath, backup, PathSize);
            return next;
        }
    }
    EditedFile* record = (EditedFile*)PoolAlloc(sizeof(EditedFile));
    std::memset(record, 0, sizeof(*record));
    CopyText(record->Path, path, PathSize);
    CopyText(record->BackupPath, backup, PathSize);
    record->Installation = LatestInstallation;
    ItemListAppend(&EditedFileList, record);
    return next;
}

int32_t HandleFileDelete(ReaderState* reader, char* text)
{
    char path[PathSize];
    char backup[PathSize];

    CopyConverted(reader, path, PathSize, text);
    ReadNextLine(reader);
    const char* backupText = EntryText(reader, "Backup Copy: ");
    if (!backupText)
        return HandleCurrent;
    CopyConverted(reader, backup, PathSize, backupText);
    BackupsPresent = 1;
    for (int32_t i = 0; i < DeletedFileList.Count; i++) {
        DeletedFile* record = (DeletedFile*)DeletedFileList.Items[i];
        if (EqualsNoCase(record->Path, path)) {
            CopyText(record->BackupPath, backup, PathSize);
            record->Installation = LatestInstallation;
            return NextLine;
        }
    }
    DeletedFile* record = (DeletedFile*)PoolAlloc(sizeof(DeletedFile));
    std::memset(record, 0, sizeof(*record));
    CopyText(record->Path, path, PathSize);
    CopyText(record->BackupPath, backup, PathSize);
    record->Installation = LatestInstallation;
    ItemListAppend(&DeletedFileList, record);
    return NextLine;
}

int32_t HandleAddDevice(ReaderState* reader, char* text)
{
    char path[PathSize];
    CopyConverted(reader, path, PathSize, text);
    // Each list holds one record per path, so the index finds the only match.
    FileRecord* record = FindInFileList(path);
    if (record)
        record->DeviceInstallation = LatestInstallation;
    record = FindFile(&SystemFileList, path);
    if (record)
        record->DeviceInstallation = LatestInstallation;
    return NextLine;
}

static int32_t SameLongPath(const ReaderState* reader, const char* stored, const char* longPath)
{
    char converted[PathSize];
    CopyText(converted, stored, PathSize);
    if (reader->Host->ConvertPath)
        reader->Host->ConvertPath(converted, PathSize, HostToLong);
    return EqualsNoCase(converted, longPath);
}

int32_t HandleSelfRegister(ReaderState* reader, char* text)
{
    char path[PathSize];
    CopyConverted(reader, path, PathSize, text);
    if (reader->Host->ConvertPath)
        reader->Host->ConvertPath(path, PathSize, HostToLong);
    // A stored path without a short-name mark is its own long form, so the
    // index finds it; only stored short forms need converting.
    FileRecord* record = FindInFileList(path);
    if (record)
        record->RegisterInstallation = LatestInstallation;
    record = FindFile(&SystemFileList, path);
    if (record)
        record->RegisterInstallation = LatestInstallation;
    for (int32_t i = 0; i < reader->TildeFiles.Count; i++) {
        record = (FileRecord*)reader->TildeFiles.Items[i];
        if (SameLongPath(reader, record->Path, path))
            record->RegisterInstallation = LatestInstallation;
    }
    return NextLine;
}
