#include "tests/support/reader_host_table.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "app/system_facts.h"
#include "engine/ownership.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "log/reader.h"

TableHostState TableHost;

static FILE* DiskFile;
static size_t MemoryPosition;

void ResetTableHost()
{
    TableHost = TableHostState();
    TableHost.ExistsMode = ExistsAll;
    TableHost.WindowsFolder = "C:\\WINDOWS";
    TableHost.SystemFolder = "C:\\WINDOWS\\SYSTEM";
    TableHost.ServicesAllowed = 1;
}

void ResetForNewLog()
{
    PoolFreeAll();
    ResetSystemFacts();
    ResetLogValues();
    CreateItemLists();
    ResetLineBuffer();
}

static int32_t TableOpen(const char* path)
{
    if (TableHost.OpenFails)
        return -1;
    if (TableHost.LogInMemory) {
        MemoryPosition = 0;
        TableHost.OpenFiles++;
        return 1;
    }
    DiskFile = std::fopen(path, "rb");
    if (!DiskFile)
        return -1;
    TableHost.OpenFiles++;
    return 2;
}

static int32_t TableRead(int32_t file, char* buffer, int32_t size)
{
    if (TableHost.ReadBlockLimit > 0 && size > TableHost.ReadBlockLimit)
        size = TableHost.ReadBlockLimit;
    if (file == 1) {
        if (TableHost.ReadFailsAt > 0 && MemoryPosition >= (size_t)TableHost.ReadFailsAt)
            return -1;
        if (TableHost.ReadFailsAt > 0 &&
            MemoryPosition + (size_t)size > (size_t)TableHost.ReadFailsAt)
            size = TableHost.ReadFailsAt - (int32_t)MemoryPosition;
        size_t left = TableHost.LogData.size() - MemoryPosition;
        size_t count = left < (size_t)size ? left : (size_t)size;
        std::memcpy(buffer, TableHost.LogData.data() + MemoryPosition, count);
        MemoryPosition += count;
        return (int32_t)count;
    }
    if (file == 2 && DiskFile) {
        size_t got = std::fread(buffer, 1, (size_t)size, DiskFile);
        return std::ferror(DiskFile) ? -1 : (int32_t)got;
    }
    return -1;
}

static int32_t TableSize(int32_t file)
{
    if (file == 1)
        return (int32_t)TableHost.LogData.size();
    if (file == 2 && DiskFile) {
        std::fseek(DiskFile, 0, SEEK_END);
        long size = std::ftell(DiskFile);
        std::fseek(DiskFile, 0, SEEK_SET);
        return (int32_t)size;
    }
    return 0;
}

static void TableClose(int32_t file)
{
    if (file == 2 && DiskFile) {
        std::fclose(DiskFile);
        DiskFile = nullptr;
    }
    TableHost.OpenFiles--;
}

static bool SameNoCase(const std::string& a, const char* b)
{
    return CompareNoCase(a.c_str(), b) == 0;
}

static int32_t TablePathMissing(const char* path)
{
    switch (TableHost.ExistsMode) {
    case ExistsAll:
        return 0;
    case ExistsNone:
        return 1;
    case ExistsFromDisk: {
        if (!path[0] || path[1] != ':')
            return 1;
        std::string local = TableHost.DiskRoot + "/" + (char)(path[0] & ~0x20);
        for (const char* p = path + 2; *p; p++)
            local += *p == '\\' ? '/' : *p;
        struct stat info;
        return stat(local.c_str(), &info) == 0 ? 0 : 1;
    }
    default:
        for (const std::string& known : TableHost.Existing) {
            if (SameNoCase(known, path))
                return 0;
        }
        return 1;
    }
}

static int32_t TableRemovable(char letter)
{
    return letter == 'A' ? TableHost.FloppyA : letter == 'B' ? TableHost.FloppyB : 0;
}

static int32_t TableShared(const char* path)
{
    for (const std::string& known : TableHost.SharedDlls) {
        if (SameNoCase(known, path))
            return 1;
    }
    return 0;
}

static void TableOemToAnsi(char* text)
{
    if (!TableHost.OemMapping)
        return;
    for (unsigned char* p = (unsigned char*)text; *p; p++) {
        switch (*p) {
        case 0x81:
            *p = 0xFC;
            break; // u umlaut
        case 0x84:
            *p = 0xE4;
            break; // a umlaut
        case 0x94:
            *p = 0xF6;
            break; // o umlaut
        case 0x8E:
            *p = 0xC4;
            break; // A umlaut
        default:
            break;
        }
    }
}

static void CopyOut(const std::string& text, char* out, int32_t size)
{
    CopyText(out, text.c_str(), size);
}

static int32_t TableShellFolder(int32_t common, char* out, int32_t size)
{
    const std::string& value = common ? TableHost.CommonStartMenu : TableHost.StartMenu;
    if (value.empty())
        return 1;
    CopyOut(value, out, size);
    return 0;
}

static void TableWindows(char* out, int32_t size)
{
    CopyOut(TableHost.WindowsFolder, out, size);
}

static void TableSystem(char* out, int32_t size)
{
    CopyOut(TableHost.SystemFolder, out, size);
}

static int32_t TableServices()
{
    return TableHost.ServicesAllowed;
}

static const char* TableCharNext(const char* text)
{
    if (!*text)
        return text;
    unsigned char c = (unsigned char)*text;
    if (TableHost.DoubleByte && c >= 0x81 && c <= 0xFE && text[1])
        return text + 2;
    return text + 1;
}

// Replaces the longest known prefix (ending at a component boundary) of one
// form with the other form.
static void TableConvert(char* path, int32_t size, int32_t mode)
{
    if (mode == HostToLong && !std::strchr(path, '~'))
        return;
    size_t best = 0;
    const std::string* replacement = nullptr;
    for (const auto& pair : TableHost.ShortNames) {
        const std::string& from = mode == HostToShort ? pair.first : pair.second;
        const std::string& to = mode == HostToShort ? pair.second : pair.first;
        size_t n = from.size();
        if (n == 0 || n <= best || std::strlen(path) < n)
            continue;
        if (CompareNoCase(std::string(path, n).c_str(), from.c_str()) != 0)
            continue;
        if (path[n] != 0 && path[n] != '\\')
            continue;
        best = n;
        replacement = &to;
    }
    if (!replacement)
        return;
    std::string result = *replacement + (path + best);
    CopyOut(result, path, size);
}

static void TableMessage(int32_t n, char* out, int32_t size)
{
    char text[32];
    std::snprintf(text, sizeof(text), "Msg%d", (int)n);
    CopyOut(text, out, size);
}

static void TableRefusal(const char* text, const char* caption)
{
    TableHost.Refusals++;
    TableHost.RefusalText = text;
    TableHost.RefusalCaption = caption;
}

static void TableCaption(const char* title)
{
    TableHost.MainCaption = title;
}

static void TableProgress(int32_t bytesRead)
{
    TableHost.ProgressReports++;
    TableHost.LastProgress = bytesRead;
}

// A folder is kept when it is, or holds, one of the table's kept folders.
static int32_t TableKeptFolder(const char* folder)
{
    char normal[PathBufferSize];
    if (!NormalizePathText(folder, normal, sizeof normal))
        return 1;
    for (const std::string& kept : TableHost.KeptFolders) {
        if (PathWithin(kept.c_str(), normal))
            return 1;
    }
    return 0;
}

const ReaderHost TableReaderHost = {
    TableOpen,      TableRead,     TableSize,      TableClose,       TablePathMissing,
    TableRemovable, TableShared,   TableOemToAnsi, TableShellFolder, TableWindows,
    TableSystem,    TableServices, TableCharNext,  TableConvert,     TableMessage,
    TableRefusal,   TableCaption,  TableProgress,  TableKeptFolder,
};
