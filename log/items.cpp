#include "log/items.h"

#include <cstddef>
#include <cstring>

#include "log/pool.h"

ItemList FileList;
ItemList SystemFileList;
ItemList MissingFileList;
ItemList EditedFileList;
ItemList DeletedFileList;
ItemList FolderList;
ItemList IniFileList;
ItemList IniEntryList;
ItemList RegValueList;
ItemList RegRestoreList;
ItemList RegLogList;
ItemList RegTreeList;
ItemList IconList;
ItemList ExecuteList;
ItemList ServiceList;
ItemList MadeFolderList;
ItemList InstallationSources;

const IndexLayout FileIndexLayout = {(int32_t)offsetof(FileRecord, Path), -1, -1};
const IndexLayout IniEntryIndexLayout = {(int32_t)offsetof(IniEntry, File),
                                         (int32_t)offsetof(IniEntry, Section),
                                         (int32_t)offsetof(IniEntry, Key)};
const IndexLayout RegValueIndexLayout = {(int32_t)offsetof(RegValueItem, Key),
                                         (int32_t)offsetof(RegValueItem, Name),
                                         (int32_t)offsetof(RegValueItem, RootText)};
const IndexLayout RegRestoreIndexLayout = {(int32_t)offsetof(RegRestoreItem, Key),
                                           (int32_t)offsetof(RegRestoreItem, Name),
                                           (int32_t)offsetof(RegRestoreItem, RootText)};

static void CreateList(ItemList* list, int32_t capacity)
{
    // Slots past Count are never read, so only the sources, which are
    // indexed by installation number, need clearing.
    list->Items = (void**)PoolAlloc(capacity * (int32_t)sizeof(void*));
    if (list == &InstallationSources)
        std::memset(list->Items, 0, (size_t)capacity * sizeof(void*));
    list->Count = 0;
    list->Capacity = capacity;
    list->IndexRoot = nullptr;
}

void CreateItemLists()
{
    CreateList(&FileList, FileListCapacity);
    CreateList(&SystemFileList, SystemFileListCapacity);
    CreateList(&MissingFileList, MissingFileListCapacity);
    CreateList(&EditedFileList, EditedFileListCapacity);
    CreateList(&DeletedFileList, DeletedFileListCapacity);
    CreateList(&FolderList, FolderListCapacity);
    CreateList(&IniFileList, IniFileListCapacity);
    CreateList(&IniEntryList, IniEntryListCapacity);
    CreateList(&RegValueList, RegValueListCapacity);
    CreateList(&RegRestoreList, RegRestoreListCapacity);
    CreateList(&RegLogList, RegLogListCapacity);
    CreateList(&RegTreeList, RegTreeListCapacity);
    CreateList(&IconList, IconListCapacity);
    CreateList(&ExecuteList, ExecuteListCapacity);
    CreateList(&ServiceList, ServiceListCapacity);
    CreateList(&MadeFolderList, MadeFolderListCapacity);
    CreateList(&InstallationSources, InstallationSourcesCapacity);
}

// Doubles the array; the old one stays in the pool unused, which costs less
// than a log that is silently cut short.
static void GrowList(ItemList* list, int32_t needed)
{
    int32_t capacity = list->Capacity > 0 ? list->Capacity : 16;
    while (capacity < needed)
        capacity *= 2;
    void** items = (void**)PoolAlloc(capacity * (int32_t)sizeof(void*));
    if (list == &InstallationSources)
        std::memset(items, 0, (size_t)capacity * sizeof(void*));
    if (list->Count > 0 && list->Items)
        std::memcpy(items, list->Items, (size_t)list->Count * sizeof(void*));
    list->Items = items;
    list->Capacity = capacity;
}

int32_t ItemListReserve(ItemList* list)
{
    if (list->Count >= list->Capacity)
        GrowList(list, list->Count + 1);
    return 0;
}

int32_t ItemListAppend(ItemList* list, void* record)
{
    ItemListReserve(list);
    list->Items[list->Count] = record;
    list->Count++;
    return 0;
}

char* InstallationSource(int32_t n)
{
    if (n < 0 || n >= InstallationSources.Count || !InstallationSources.Items)
        return nullptr;
    return (char*)InstallationSources.Items[n];
}

int32_t SetInstallationSource(int32_t n, char* text)
{
    if (n < 0)
        return 0;
    if (n >= InstallationSources.Capacity) {
        // Keep Count within the old array while copying.
        GrowList(&InstallationSources, n + 1);
    }
    // Slots between the old count and n are already cleared by the growth
    // or by the list creation.
    InstallationSources.Items[n] = text;
    if (n >= InstallationSources.Count)
        InstallationSources.Count = n + 1;
    return 0;
}

// Length of a text, and whether it holds a byte of 0x80 or more (which may
// lead a double-byte character).
static size_t MeasureText(const char* text, int32_t* wide)
{
    const char* at = text;
    unsigned char any = 0;
    while (*at)
        any |= (unsigned char)*at++;
    *wide = (any & 0x80) != 0;
    return (size_t)(at - text);
}

// The ordering of CompareFromEnd for texts that may hold double-byte
// characters. Which bytes are second bytes is only known from the start of a
// text, so both are walked forward over the stretch where their ends line
// up; the last difference found is the first one from the end.
static int32_t CompareFromEndWide(const char* a, size_t la, const char* b, size_t lb)
{
    size_t common = la < lb ? la : lb;
    const char* pa = a + (la - common);
    const char* pb = b + (lb - common);
    FoldCursor ca;
    FoldCursor cb;
    StartFold(&ca, a);
    StartFold(&cb, b);
    int32_t last = 0;
    for (size_t i = 0; i < common; i++) {
        int32_t fa = FoldedByte(&ca, pa + i);
        int32_t fb = FoldedByte(&cb, pb + i);
        if (fa != fb)
            last = fa - fb;
    }
    if (last != 0)
        return last;
    if (la > lb)
        return -1; // b ran out first
    return la == lb ? 0 : 1;
}

int32_t CompareFromEnd(const char* a, const char* b)
{
    int32_t wideA = 0;
    int32_t wideB = 0;
    size_t la = MeasureText(a, &wideA);
    size_t lb = MeasureText(b, &wideB);
    if (la == 0)
        return lb == 0 ? 0 : 1;
    if ((wideA || wideB) && CharNextRule)
        return CompareFromEndWide(a, la, b, lb);
    while (la > 0 && lb > 0) {
        la--;
        lb--;
        int32_t ca = (signed char)FoldAscii(a[la]);
        int32_t cb = (signed char)FoldAscii(b[lb]);
        if (ca != cb)
            return ca - cb;
    }
    if (la > 0)
        return -1; // b ran out first
    return lb == 0 ? 0 : 1;
}
