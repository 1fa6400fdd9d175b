// The item model: the records every later stage works on, the sixteen item
// lists that hold them, and the search index of the four large lists.
// Records, list arrays and copied texts all come from the pool and live until
// the program ends; nothing is ever removed from a list.
#pragma once
#include <cstdint>

#include "log/text_step.h"

// Installation numbers: 1 is the first installation of the log, 0 "never".
// The log's own folder entry carries LogFolderInstallation so that it passes
// every threshold of the engine.
enum { LogFolderInstallation = 32767 };

// Capacities of the lists when they are created. A list that fills up grows
// (see ItemListReserve), so a very large log is never cut short.
enum {
    FileListCapacity = 48000,
    SystemFileListCapacity = 16000,
    MissingFileListCapacity = 16000,
    EditedFileListCapacity = 16000,
    DeletedFileListCapacity = 16000,
    FolderListCapacity = 16000,
    IniFileListCapacity = 16000,
    IniEntryListCapacity = 16000,
    RegValueListCapacity = 48000,
    RegTreeListCapacity = 16000,
    RegRestoreListCapacity = 48000,
    IconListCapacity = 16000,
    ExecuteListCapacity = 16000,
    ServiceListCapacity = 16000,
    MadeFolderListCapacity = 1024,
    RegLogListCapacity = 48000,
    InstallationSourcesCapacity = 1024
};

// Field sizes (bytes, terminator included). A longer text is cut at the
// field size minus one.
enum {
    PathSize = 260,
    NameSize = 256,
    RepairDataSize = 80,
    RootTextSize = 12,
    IniValueSize = 512,
    RegDataSize = 2048,
    PerUserIdSize = 256
};

// An array of record pointers with its count. Records are appended in log
// order. IndexRoot is the top of the search tree of an indexed list (the tree
// is kept balanced, so its top is not necessarily record 0).
struct ItemList {
    void** Items;
    int32_t Count;
    int32_t Capacity;
    void* IndexRoot;
};

// The two links every record of an indexed list begins with: records whose
// key compares greater, and those whose key compares less.
struct IndexLinks {
    void* Greater;
    void* Lesser;
};

// FileList, SystemFileList and MissingFileList. The links are used only in
// FileList; in the other two lists they stay empty.
struct FileRecord {
    void* Greater;
    void* Lesser;
    char Path[PathSize];
    char BackupPath[PathSize];
    char RepairData[RepairDataSize];
    char* LinkInfo;
    int32_t Selected;
    int32_t NewFile;
    uint16_t RegisterInstallation;
    uint16_t DeviceInstallation;
    uint16_t LastInstallation;
    uint16_t BackupInstallation;
    uint16_t RepairOnlyInstallation;
    uint16_t CountedInstallation;
    int32_t CountedCopies;
};

struct EditedFile {
    char Path[PathSize];
    char BackupPath[PathSize];
    uint16_t Installation;
};

struct DeletedFile {
    char Path[PathSize];
    char BackupPath[PathSize];
    uint16_t Installation;
};

struct FolderItem {
    char Path[PathSize];
    int32_t Selected;
    uint16_t TreeInstallation;
    uint16_t Installation;
    // A "Made Dir: " of a folder that is, or holds, one the system or a user
    // keeps: the entry stands alone (nothing merges into it, the application
    // folder is not widened to it) and the folder phase leaves it.
    int32_t KeptFolder;
};

struct IniFileItem {
    char Path[PathSize];
    int32_t Selected;
    uint16_t Installation;
};

struct IniEntry {
    void* Greater;
    void* Lesser;
    char File[PathSize];
    char Section[NameSize];
    char Key[NameSize];
    char OldValue[IniValueSize];
    char LatestOldValue[IniValueSize];
    int32_t Selected;
    uint16_t Installation;
};

struct RegValueItem {
    void* Greater;
    void* Lesser;
    char Key[PathSize];
    char Name[NameSize];
    char RootText[RootTextSize];
    int32_t Root;
    int32_t Selected;
    uint16_t Installation;
};

// OldData is a list of strings, each NUL-terminated, closed by an empty one.
struct RegRestoreItem {
    void* Greater;
    void* Lesser;
    char Key[NameSize];
    char Name[NameSize];
    char RootText[RootTextSize];
    char OldData[RegDataSize];
    char LatestOldData[RegDataSize];
    int32_t Root;
    int32_t Type;
    int32_t Selected;
    uint16_t Installation;
};

// Item points at the RegValueItem (HasOld 0) or the RegRestoreItem (HasOld 1)
// that holds key, name and root; NewData is the group's first value text.
struct RegLogEntry {
    int32_t HasOld;
    int32_t Type;
    void* Item;
    char* NewData;
};

struct RegTreeItem {
    char Key[NameSize];
    int32_t Root;
    int32_t Selected;
    uint16_t Installation;
};

struct IconItem {
    char Group[NameSize];
    char Name[NameSize];
    char Command[NameSize];
    int32_t Selected;
    uint16_t Installation;
};

struct ExecuteItem {
    char Command[PathSize];
    char Name[NameSize];
    int32_t Selected;
    uint16_t Installation;
};

struct ServiceItem {
    char Name[PathSize];
    int32_t Selected;
    uint16_t Installation;
};

extern ItemList FileList;
extern ItemList SystemFileList;
extern ItemList MissingFileList;
extern ItemList EditedFileList;
extern ItemList DeletedFileList;
extern ItemList FolderList;
extern ItemList IniFileList;
extern ItemList IniEntryList;
extern ItemList RegValueList;
extern ItemList RegRestoreList;
extern ItemList RegLogList;
extern ItemList RegTreeList;
extern ItemList IconList;
extern ItemList ExecuteList;
extern ItemList ServiceList;
// The folders the log's "Made Dir: " lines name, as read (converted, with a
// trailing backslash), one pool text each: what the log shows to have made,
// whatever FolderList's merging makes of its records.
extern ItemList MadeFolderList;
// Text pointers indexed by installation number (Items[n], none = null);
// Count is one past the highest installation number that has a slot.
extern ItemList InstallationSources;

// Takes every list array from the pool, empty. Called once at start-up,
// before the log is read (tests call it again after PoolFreeAll).
void CreateItemLists();

// Makes room for one more record at Items[Count], growing the array when it
// is full (the old array stays in the pool). Returns 0.
int32_t ItemListReserve(ItemList* list);
// Reserves a slot and appends record; returns 0.
int32_t ItemListAppend(ItemList* list, void* record);

// Source text of installation n, or none.
char* InstallationSource(int32_t n);
// Stores text as the source of installation n (none clears it), growing the
// array when n is past its end. Returns 0.
int32_t SetInstallationSource(int32_t n, char* text);

// Where the three keys of an indexed record lie (byte offsets from the
// record's start; -1 = no such key).
struct IndexLayout {
    int32_t First;
    int32_t Second;
    int32_t Third;
};
extern const IndexLayout FileIndexLayout;
extern const IndexLayout IniEntryIndexLayout;
extern const IndexLayout RegValueIndexLayout;
extern const IndexLayout RegRestoreIndexLayout;

// Looks the key up in an indexed list. Returns the record with an equal key,
// or none. When none is found and slot is given, a new record of recordSize
// bytes has been taken from the pool with empty links, stored at *slot and
// linked into the tree; the caller fills its other fields and counts it.
// root is the list's IndexRoot; count its Count. second and third may be none
// and are then not compared. The first key is compared with CompareFromEnd,
// the others without regard to case.
void* IndexFindOrInsert(void** slot, void** root, int32_t recordSize, int32_t count,
                        const char* first, const char* second, const char* third,
                        const IndexLayout* layout);

// Orders two texts from their last character toward the first, single-byte
// letters folded to upper case, other bytes (both bytes of a double-byte
// character among them) as signed 8-bit values. A proper suffix of the other
// text compares greater. Negative: a < b, 0: equal.
int32_t CompareFromEnd(const char* a, const char* b);

// The second and third keys and the scans of the short lists compare with
// CompareNoCase (log/text_step.h).
