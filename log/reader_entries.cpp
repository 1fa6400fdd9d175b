// Registry, INI, folder, Program Manager, program, service and subsystem
// entries of the log.
#include <cstdio>
#include <cstring>

#include "log/items.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "log/reader_internal.h"

// Root numbers the engine knows (HKEY_CLASSES_ROOT .. HKEY_CURRENT_CONFIG).
static int32_t KnownRoot(int32_t root)
{
    return root >= 0 && root <= 4;
}

// Collects the texts of consecutive "RegDB Old: " lines as a list of strings
// closed by an empty one, within RegDataSize bytes: strings that do not fit
// are cut, and those after them dropped, but the list always stays closed.
static void CollectOldData(ReaderState* reader, char* out)
{
    int32_t used = 0;
    out[0] = 0;
    const char* text;
    while ((text = EntryText(reader, "RegDB Old: ")) != nullptr) {
        int32_t room = RegDataSize - 1 - used - 1; // this string's NUL, the list's end
        if (room > 0) {
            int32_t length = (int32_t)std::strlen(text);
            if (length > room)
                length = room;
            std::memcpy(out + used, text, (size_t)length);
            used += length;
            out[used++] = 0;
        }
        ReadNextLine(reader);
    }
    out[used] = 0;
}

int32_t HandleRegistryValue(ReaderState* reader, char* text)
{
    char key[PathSize];
    char name[NameSize];
    char rootText[RootTextSize];
    int32_t type = 0;
    int32_t root = 0;

    CopyText(key, text, PathSize);
    ReadNextLine(reader);
    const char* value = EntryText(reader, "RegDB Val: ");
    if (!value)
        return HandleCurrent;
    char* newData = PoolText(value);
    do
        ReadNextLine(reader);
    while (EntryText(reader, "RegDB Val: "));

    name[0] = 0;
    const char* field;
    if ((field = EntryText(reader, "RegDB Name: ")) != nullptr) {
        CopyText(name, field, NameSize);
        ReadNextLine(reader);
    }
    if ((field = EntryText(reader, "RegDB Type: ")) != nullptr) {
        type = ParseNumber(field);
        ReadNextLine(reader);
    }
    if ((field = EntryText(reader, "RegDB Root: ")) != nullptr) {
        root = ParseNumber(field);
        ReadNextLine(reader);
        // Values under the installing user's own key are that user's business.
        if (root == 1 && PerUserId)
            return HandleCurrent;
    }
    // A root the engine cannot open could only index past its root table.
    if (!KnownRoot(root))
        return HandleCurrent;
    std::snprintf(rootText, sizeof(rootText), "%d", (int)root);

    RegLogEntry* entry = (RegLogEntry*)PoolAlloc(sizeof(RegLogEntry));
    entry->HasOld = 0;
    entry->Type = 0;
    entry->Item = nullptr;
    entry->NewData = newData;
    ItemListAppend(&RegLogList, entry);

    if (EntryText(reader, "RegDB Old: ")) {
        char oldData[RegDataSize];
        CollectOldData(reader, oldData);
        entry->HasOld = 1;
        // The restore record's key field is narrower: look up what it holds.
        key[NameSize - 1] = 0;
        ItemListReserve(&RegRestoreList);
        void** slot = &RegRestoreList.Items[RegRestoreList.Count];
        RegRestoreItem* item = (RegRestoreItem*)IndexFindOrInsert(
            slot, &RegRestoreList.IndexRoot, sizeof(RegRestoreItem), RegRestoreList.Count, key,
            name, rootText, &RegRestoreIndexLayout);
        if (item) {
            CopyText(item->LatestOldData, oldData, RegDataSize);
        } else {
            item = (RegRestoreItem*)*slot;
            CopyText(item->Key, key, NameSize);
            CopyText(item->Name, name, NameSize);
            CopyText(item->RootText, rootText, RootTextSize);
            std::memcpy(item->OldData, oldData, RegDataSize);
            CopyText(item->LatestOldData, oldData, RegDataSize);
            item->Root = root;
            item->Type = type;
            item->Selected = 0;
            RegRestoreList.Count++;
        }
        item->Installation = LatestInstallation;
        entry->Item = item;
        return HandleCurrent;
    }

    entry->Type = type;
    ItemListReserve(&RegValueList);
    void** slot = &RegValueList.Items[RegValueList.Count];
    RegValueItem* item = (RegValueItem*)IndexFindOrInsert(
        slot, &RegValueList.IndexRoot, sizeof(RegValueItem), RegValueList.Count, key, name,
        rootText, &RegValueIndexLayout);
    if (!item) {
        item = (RegValueItem*)*slot;
        CopyText(item->Key, key, PathSize);
        CopyText(item->Name, name, NameSize);
        CopyText(item->RootText, rootText, RootTextSize);
        item->Root = root;
        item->Selected = 0;
        RegValueList.Count++;
    }
    item->Installation = LatestInstallation;
    entry->Item = item;
    return HandleCurrent;
}

int32_t HandleRegistryTree(ReaderState* reader, char* text)
{
    char key[NameSize];
    int32_t root = 0;

    CopyText(key, text, NameSize);
    ReadNextLine(reader);
    const char* rootText = EntryText(reader, "RegDB Root: ");
    if (rootText) {
        root = ParseNumber(rootText);
        ReadNextLine(reader);
    }
    if (!KnownRoot(root))
        return HandleCurrent;
    for (int32_t i = 0; i < RegTreeList.Count; i++) {
        RegTreeItem* item = (RegTreeItem*)RegTreeList.Items[i];
        if (item->Root == root && EqualsNoCase(item->Key, key)) {
            item->Installation = LatestInstallation;
            return HandleCurrent;
        }
    }
    RegTreeItem* item = (RegTreeItem*)PoolAlloc(sizeof(RegTreeItem));
    std::memset(item, 0, sizeof(*item));
    CopyText(item->Key, key, NameSize);
    item->Root = root;
    item->Installation = LatestInstallation;
    ItemListAppend(&RegTreeList, item);
    return HandleCurrent;
}

int32_t HandleIniNew(ReaderState* reader, char*)
{
    char path[PathSize];

    ReadNextLine(reader);
    const char* file = EntryText(reader, "INI File: ");
    if (!file)
        return HandleCurrent;
    CopyConverted(reader, path, PathSize, file);
    if (!OnRemovableFloppy(reader, path) &&
        !(reader->Host->PathMissing && reader->Host->PathMissing(path))) {
        IniFileItem* found = nullptr;
        for (int32_t i = 0; i < IniFileList.Count && !found; i++) {
            IniFileItem* item = (IniFileItem*)IniFileList.Items[i];
            if (EqualsNoCase(item->Path, path))
                found = item;
        }
        if (found) {
            found->Installation = LatestInstallation;
        } else {
            IniFileItem* item = (IniFileItem*)PoolAlloc(sizeof(IniFileItem));
            std::memset(item, 0, sizeof(*item));
            CopyText(item->Path, path, PathSize);
            item->Installation = LatestInstallation;
            ItemListAppend(&IniFileList, item);
        }
    }
    // The section, item, value and old-value lines of a created file.
    for (;;) {
        ReadNextLine(reader);
        if (!reader->HaveLine || !StartsWithKeyword(reader->Line, "INI "))
            break;
        char fifth = reader->Line[4];
        if (fifth == 'F' || fifth == 'f' || fifth == 'N' || fifth == 'n')
            break;
    }
    return HandleCurrent;
}

int32_t HandleIniFile(ReaderState* reader, char* text)
{
    char file[PathSize];
    char section[NameSize];
    char key[NameSize];
    char old[IniValueSize];
    int32_t next = NextLine;

    CopyConverted(reader, file, PathSize, text);
    ReadNextLine(reader);
    if (OnRemovableFloppy(reader, file)) {
        ReadNextLine(reader);
        return HandleCurrent;
    }
    const char* field = EntryText(reader, "INI Sect: ");
    if (!field)
        return HandleCurrent;
    CopyText(section, field, NameSize);
    ReadNextLine(reader);
    if ((field = EntryText(reader, "INI Item: ")) == nullptr)
        return HandleCurrent;
    CopyText(key, field, NameSize);
    ReadNextLine(reader);
    if (!EntryText(reader, "INI Val: "))
        return HandleCurrent;
    ReadNextLine(reader);
    old[0] = 0;
    if ((field = EntryText(reader, "INI Old: ")) != nullptr)
        CopyText(old, field, IniValueSize);
    else
        next = HandleCurrent;

    ItemListReserve(&IniEntryList);
    void** slot = &IniEntryList.Items[IniEntryList.Count];
    IniEntry* entry =
        (IniEntry*)IndexFindOrInsert(slot, &IniEntryList.IndexRoot, sizeof(IniEntry),
                                     IniEntryList.Count, file, section, key, &IniEntryIndexLayout);
    if (entry) {
        CopyText(entry->LatestOldValue, old, IniValueSize);
        return next;
    }
    entry = (IniEntry*)*slot;
    CopyText(entry->File, file, PathSize);
    CopyText(entry->Section, section, NameSize);
    CopyText(entry->Key, key, NameSize);
    CopyText(entry->OldValue, old, IniValueSize);
    CopyText(entry->LatestOldValue, old, IniValueSize);
    entry->Selected = 0;
    entry->Installation = LatestInstallation;
    IniEntryList.Count++;
    return next;
}

// Folder texts end with one backslash; a logged text that already has it
// does not get a second one.
static void AppendBackslash(char* folder)
{
    if (!EndsWithBackslash(folder))
        std::strcat(folder, "\\");
}

static FolderItem* AppendFolder(const char* path, uint16_t tree)
{
    FolderItem* item = (FolderItem*)PoolAlloc(sizeof(FolderItem));
    std::memset(item, 0, sizeof(*item));
    CopyText(item->Path, path, PathSize);
    item->TreeInstallation = tree;
    item->Installation = LatestInstallation;
    ItemListAppend(&FolderList, item);
    return item;
}

int32_t HandleMadeDir(ReaderState* reader, char* text)
{
    char folder[PathSize];
    CopyConverted(reader, folder, PathSize - 1, text);
    AppendBackslash(folder);
    int32_t length = (int32_t)std::strlen(folder);
    if (length <= 3 || !IsAbsolutePath(folder))
        return NextLine;
    // "Made Dir: C:\Users" is evidence of nothing: such an entry stands alone,
    // widens nothing, and takes nothing into it.
    if (reader->Host->KeptFolderWithin && reader->Host->KeptFolderWithin(folder)) {
        AppendFolder(folder, 0)->KeptFolder = 1;
        return NextLine;
    }
    ItemListAppend(&MadeFolderList, PoolText(folder));

    // The application folder widens to an outer folder the installer made,
    // so the clean-up after the run takes the whole tree it made.
    char shortForm[PathSize];
    CopyText(shortForm, folder, PathSize);
    if (reader->Host->ConvertPath)
        reader->Host->ConvertPath(shortForm, PathSize, HostToShort);
    char* app = reader->ApplicationFolderOut;
    int32_t shortLength = (int32_t)std::strlen(shortForm);
    if (shortLength > 0 && BeginsWithNoCase(app, shortForm) &&
        (int32_t)std::strlen(app) >= shortLength)
        app[shortLength] = 0;

    // One folder containing the other: keep the outer one. Wildcard tree
    // entries are patterns, not folders, and are never widened. Nor is a tree
    // entry inside the new folder: that would turn the removal of a sub-tree
    // into the removal of its parent with everything in it; the parent gets
    // its own entry and goes only when it is left empty.
    for (int32_t i = 0; i < FolderList.Count; i++) {
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        int32_t stored = (int32_t)std::strlen(item->Path);
        if (stored == 0 || HasWildcards(item->Path) || item->KeptFolder)
            continue;
        if (item->TreeInstallation != 0 && length < stored)
            continue;
        int32_t common = stored < length ? stored : length;
        if (CompareNoCaseN(item->Path, folder, common) == 0) {
            item->Path[common] = 0;
            item->Installation = LatestInstallation;
            return NextLine;
        }
    }
    AppendFolder(folder, 0);
    return NextLine;
}

int32_t HandleFileTree(ReaderState* reader, char* text)
{
    char folder[PathSize];
    CopyConverted(reader, folder, PathSize - 1, text);
    // The last backslash must be a character of its own, not a second byte.
    char* name = FileNamePart(folder);
    if (name > folder && std::strcmp(name, "*.*") == 0)
        name[-1] = 0;
    if (!HasWildcards(folder))
        AppendBackslash(folder);
    if (std::strlen(folder) <= 3 || !IsAbsolutePath(folder))
        return NextLine;
    for (int32_t i = 0; i < FolderList.Count; i++) {
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        if (EqualsNoCase(item->Path, folder)) {
            item->TreeInstallation = LatestInstallation;
            item->Installation = LatestInstallation;
            return NextLine;
        }
    }
    AppendFolder(folder, LatestInstallation);
    return NextLine;
}

int32_t HandleIconGroup(ReaderState* reader, char* text)
{
    char group[NameSize];
    char name[NameSize];

    CopyText(group, text, NameSize);
    ReadNextLine(reader);
    const char* field = EntryText(reader, "Icon Name: ");
    if (!field)
        return HandleCurrent;
    CopyText(name, field, NameSize);
    ReadNextLine(reader);
    const char* command = EntryText(reader, "Icon Cmd: ");
    if (!command)
        return HandleCurrent;
    for (int32_t i = 0; i < IconList.Count; i++) {
        IconItem* item = (IconItem*)IconList.Items[i];
        if (EqualsNoCase(item->Group, group) && EqualsNoCase(item->Name, name)) {
            CopyText(item->Command, command, NameSize);
            return NextLine;
        }
    }
    IconItem* item = (IconItem*)PoolAlloc(sizeof(IconItem));
    std::memset(item, 0, sizeof(*item));
    CopyText(item->Group, group, NameSize);
    CopyText(item->Name, name, NameSize);
    CopyText(item->Command, command, NameSize);
    item->Installation = LatestInstallation;
    ItemListAppend(&IconList, item);
    return NextLine;
}

static int32_t HandleExecute(ReaderState* reader, const char* text)
{
    char command[PathSize];
    CopyText(command, text, PathSize);
    for (int32_t i = 0; i < ExecuteList.Count; i++) {
        ExecuteItem* item = (ExecuteItem*)ExecuteList.Items[i];
        if (EqualsNoCase(item->Command, command)) {
            item->Installation = LatestInstallation;
            return NextLine;
        }
    }
    ExecuteItem* item = (ExecuteItem*)PoolAlloc(sizeof(ExecuteItem));
    std::memset(item, 0, sizeof(*item));
    CopyText(item->Command, command, PathSize);
    item->Installation = LatestInstallation;
    ItemListAppend(&ExecuteList, item);
    ReadNextLine(reader);
    const char* name = EntryText(reader, "Execute Name: ");
    if (name) {
        CopyText(item->Name, name, NameSize);
        return NextLine;
    }
    return HandleCurrent;
}

int32_t HandleExecutePath(ReaderState* reader, char* text)
{
    return HandleExecute(reader, text);
}

int32_t HandleExecuteProgram(ReaderState* reader, char* text)
{
    return HandleExecute(reader, text);
}

int32_t HandleCreateService(ReaderState*, char* text)
{
    char name[PathSize];
    CopyText(name, text, PathSize);
    for (int32_t i = 0; i < ServiceList.Count; i++) {
        ServiceItem* item = (ServiceItem*)ServiceList.Items[i];
        if (EqualsNoCase(item->Name, name)) {
            item->Installation = LatestInstallation;
            return NextLine;
        }
    }
    ServiceItem* item = (ServiceItem*)PoolAlloc(sizeof(ServiceItem));
    std::memset(item, 0, sizeof(*item));
    CopyText(item->Name, name, PathSize);
    item->Installation = LatestInstallation;
    ItemListAppend(&ServiceList, item);
    return NextLine;
}

// The keyword is "SubSystem: B" (either case): the name includes the B.
int32_t HandleSubsystem(ReaderState*, char* text)
{
    if (text[0] != 'B' && text[0] != 'b')
        return NextLine;
    SubsystemName = PoolText(text);
    SubsystemSelected = 0;
    return NextLine;
}
