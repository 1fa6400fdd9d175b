#include "ui/page_rows.h"

#include <cstdio>

#include "log/items.h"
#include "log/reader.h"

static ItemList* PageList(int32_t page)
{
    switch (page) {
    case 1:
        return &FileList;
    case 2:
        return &SystemFileList;
    case 3:
        return &FolderList;
    case 4:
        return &IniFileList;
    case 5:
        return &IniEntryList;
    case 6:
        return &RegValueList;
    case 7:
        return &RegTreeList;
    case 8:
        return &RegRestoreList;
    case 9:
        return &IconList;
    }
    return nullptr;
}

static int32_t HasSubsystem()
{
    return SubsystemName && SubsystemName[0] ? 1 : 0;
}

int32_t PageRowCount(int32_t page)
{
    if (page == LastSelectionPage)
        return HasSubsystem() + ExecuteList.Count + ServiceList.Count;
    ItemList* list = PageList(page);
    return list ? list->Count : 0;
}

// Where row of page 10 comes from: 0 the subsystem, 1 an execute item, 2 a
// service item; *index is the item's index in its list.
static int32_t SubsystemRowSource(int32_t row, int32_t* index)
{
    int32_t at = row - HasSubsystem();
    *index = at;
    if (at < 0)
        return 0;
    if (at < ExecuteList.Count)
        return 1;
    *index = at - ExecuteList.Count;
    return 2;
}

static int32_t Finish(int32_t written, int32_t size)
{
    if (written < 0)
        return 0;
    return written < size ? written : size - 1;
}

int32_t FormatPageRow(int32_t page, int32_t row, char* out, int32_t size)
{
    if (!out || size <= 0)
        return -1;
    out[0] = 0;
    if (row < 0 || row >= PageRowCount(page))
        return -1;
    size_t n = (size_t)size;
    if (page == LastSelectionPage) {
        int32_t index = 0;
        int32_t source = SubsystemRowSource(row, &index);
        if (source == 0)
            return Finish(snprintf(out, n, "%s", SubsystemName), size);
        if (source == 1) {
            ExecuteItem* item = (ExecuteItem*)ExecuteList.Items[index];
            return Finish(snprintf(out, n, "%s", item->Name[0] ? item->Name : item->Command), size);
        }
        ServiceItem* item = (ServiceItem*)ServiceList.Items[index];
        return Finish(snprintf(out, n, "%s", item->Name), size);
    }
    void* record = PageList(page)->Items[row];
    int written = 0;
    switch (page) {
    case 1:
    case 2:
        written = snprintf(out, n, "%s", ((FileRecord*)record)->Path);
        break;
    case 3: {
        // A folder path ends in its backslash; the row leaves it off.
        const char* path = ((FolderItem*)record)->Path;
        int length = 0;
        while (path[length])
            length++;
        written = snprintf(out, n, "%.*s", length > 0 ? length - 1 : 0, path);
        break;
    }
    case 4:
        written = snprintf(out, n, "%s", ((IniFileItem*)record)->Path);
        break;
    case 5: {
        IniEntry* entry = (IniEntry*)record;
        written = snprintf(out, n, "%s: [%s] %s=%s", entry->File, entry->Section, entry->Key,
                           entry->OldValue);
        break;
    }
    case 6: {
        RegValueItem* item = (RegValueItem*)record;
        if (item->Name[0])
            written = snprintf(out, n, "%s Value Name: %s", item->Key, item->Name);
        else
            written = snprintf(out, n, "%s", item->Key);
        break;
    }
    case 7:
        written = snprintf(out, n, "%s", ((RegTreeItem*)record)->Key);
        break;
    case 8: {
        // The old data is a list of strings; its first one shows.
        RegRestoreItem* item = (RegRestoreItem*)record;
        if (item->Name[0])
            written =
                snprintf(out, n, "%s Value Name: %s=%.255s", item->Key, item->Name, item->OldData);
        else
            written = snprintf(out, n, "%s=%s", item->Key, item->OldData);
        break;
    }
    case 9:
        written = snprintf(out, n, "%s", ((IconItem*)record)->Name);
        break;
    }
    return Finish(written, size);
}

int32_t* PageRowFlag(int32_t page, int32_t row)
{
    if (row < 0 || row >= PageRowCount(page))
        return nullptr;
    if (page == LastSelectionPage) {
        int32_t index = 0;
        int32_t source = SubsystemRowSource(row, &index);
        if (source == 0)
            return &SubsystemSelected;
        if (source == 1)
            return &((ExecuteItem*)ExecuteList.Items[index])->Selected;
        return &((ServiceItem*)ServiceList.Items[index])->Selected;
    }
    void* record = PageList(page)->Items[row];
    switch (page) {
    case 1:
    case 2:
        return &((FileRecord*)record)->Selected;
    case 3:
        return &((FolderItem*)record)->Selected;
    case 4:
        return &((IniFileItem*)record)->Selected;
    case 5:
        return &((IniEntry*)record)->Selected;
    case 6:
        return &((RegValueItem*)record)->Selected;
    case 7:
        return &((RegTreeItem*)record)->Selected;
    case 8:
        return &((RegRestoreItem*)record)->Selected;
    case 9:
        return &((IconItem*)record)->Selected;
    }
    return nullptr;
}

// Pages 1 to 9 show message n as heading and n + 1 as text.
static const int32_t HeadingMessages[LastSelectionPage + 1] = {0,  5,  8,  11, 14, 17,
                                                               20, 54, 23, 26, 42};

int32_t PageHeadingMessage(int32_t page)
{
    if (page < FirstSelectionPage || page > LastSelectionPage)
        return 0;
    return HeadingMessages[page];
}

int32_t PageTextMessage(int32_t page)
{
    if (page < FirstSelectionPage || page > LastSelectionPage)
        return 0;
    return page == LastSelectionPage ? 41 : HeadingMessages[page] + 1;
}
