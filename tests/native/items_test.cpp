// The item model: the ordering from the end, the index's contract and its
// depth on sorted keys, the pool's block rule, list growth.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "log/items.h"
#include "log/pool.h"

TEST(CompareFromEnd, OrdersFromTheLastCharacter)
{
    EXPECT_EQ(0, CompareFromEnd("", ""));
    EXPECT_GT(CompareFromEnd("", "A"), 0);
    EXPECT_EQ(0, CompareFromEnd("C:\\App\\x.dll", "c:\\APP\\X.DLL"));
    EXPECT_GT(CompareFromEnd("X.DLL", "C:\\X.DLL"), 0) << "a proper suffix compares greater";
    EXPECT_LT(CompareFromEnd("C:\\X.DLL", "X.DLL"), 0);
    EXPECT_LT(CompareFromEnd("C:\\A1", "C:\\B2"), 0) << "the last character decides first";
    EXPECT_GT(CompareFromEnd("C:\\B1", "C:\\A1"), 0);
    // Bytes above 0x7F count as negative (signed 8-bit).
    EXPECT_LT(CompareFromEnd("\xE4", "a"), 0);
}

namespace
{

int Depth(void* node)
{
    if (!node)
        return 0;
    IndexLinks* links = (IndexLinks*)node;
    int a = Depth(links->Greater);
    int b = Depth(links->Lesser);
    return 1 + (a > b ? a : b);
}

FileRecord* Insert(const char* path, bool* created)
{
    ItemListReserve(&FileList);
    void** slot = &FileList.Items[FileList.Count];
    FileRecord* found =
        (FileRecord*)IndexFindOrInsert(slot, &FileList.IndexRoot, sizeof(FileRecord),
                                       FileList.Count, path, nullptr, nullptr, &FileIndexLayout);
    *created = found == nullptr;
    if (found)
        return found;
    FileRecord* record = (FileRecord*)*slot;
    std::strcpy(record->Path, path);
    FileList.Count++;
    return record;
}

} // namespace

TEST(ItemIndex, FoundOrInsertedContract)
{
    PoolFreeAll();
    CreateItemLists();
    bool created = false;
    FileRecord* a = Insert("C:\\APP\\A.DLL", &created);
    EXPECT_TRUE(created);
    EXPECT_EQ((void*)a, FileList.Items[0]) << "the first record is the list's record 0";
    EXPECT_EQ(nullptr, a->Greater);
    EXPECT_EQ(nullptr, a->Lesser);
    FileRecord* b = Insert("C:\\APP\\B.DLL", &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(a, Insert("c:\\app\\a.dll", &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(2, FileList.Count);
    // A pure lookup inserts nothing.
    EXPECT_EQ(b, IndexFindOrInsert(nullptr, &FileList.IndexRoot, sizeof(FileRecord), FileList.Count,
                                   "C:\\APP\\B.DLL", nullptr, nullptr, &FileIndexLayout));
    EXPECT_EQ(nullptr,
              IndexFindOrInsert(nullptr, &FileList.IndexRoot, sizeof(FileRecord), FileList.Count,
                                "C:\\APP\\C.DLL", nullptr, nullptr, &FileIndexLayout));
    EXPECT_EQ(2, FileList.Count);

    // Three keys: the second and third are compared without regard to case.
    IniEntry* entry = nullptr;
    for (int pass = 0; pass < 2; pass++) {
        ItemListReserve(&IniEntryList);
        void** slot = &IniEntryList.Items[IniEntryList.Count];
        void* found = IndexFindOrInsert(slot, &IniEntryList.IndexRoot, sizeof(IniEntry),
                                        IniEntryList.Count, "C:\\W.INI", pass ? "SECT" : "sect",
                                        pass ? "KEY" : "key", &IniEntryIndexLayout);
        if (!found) {
            entry = (IniEntry*)*slot;
            std::strcpy(entry->File, "C:\\W.INI");
            std::strcpy(entry->Section, "sect");
            std::strcpy(entry->Key, "key");
            IniEntryList.Count++;
        } else {
            EXPECT_EQ((void*)entry, found);
        }
    }
    EXPECT_EQ(1, IniEntryList.Count);
    PoolFreeAll();
}

TEST(ItemIndex, SortedKeysKeepTheTreeShallow)
{
    // One INI file written key after key in sorted order: the first key is
    // the same for every entry and the third rises steadily, so a leaf-only
    // tree would turn into a chain as long as the list.
    PoolFreeAll();
    CreateItemLists();
    char key[NameSize];
    const int count = 50000;
    for (int i = 0; i < count; i++) {
        std::snprintf(key, sizeof(key), "Key%07d", i);
        ItemListReserve(&IniEntryList);
        void** slot = &IniEntryList.Items[IniEntryList.Count];
        ASSERT_EQ(nullptr, IndexFindOrInsert(slot, &IniEntryList.IndexRoot, sizeof(IniEntry),
                                             IniEntryList.Count, "C:\\WINDOWS\\PRODUCT.INI",
                                             "Section", key, &IniEntryIndexLayout));
        IniEntry* entry = (IniEntry*)*slot;
        std::strcpy(entry->File, "C:\\WINDOWS\\PRODUCT.INI");
        std::strcpy(entry->Section, "Section");
        std::strcpy(entry->Key, key);
        IniEntryList.Count++;
    }
    EXPECT_LT(Depth(IniEntryList.IndexRoot), 64) << "expected a logarithmic depth";
    // Every record is still found, whatever the case of the keys.
    for (int i = 0; i < count; i += 997) {
        std::snprintf(key, sizeof(key), "KEY%07d", i);
        EXPECT_EQ(IniEntryList.Items[i],
                  IndexFindOrInsert(nullptr, &IniEntryList.IndexRoot, sizeof(IniEntry),
                                    IniEntryList.Count, "c:\\windows\\product.ini", "SECTION", key,
                                    &IniEntryIndexLayout))
            << key;
    }
    PoolFreeAll();
}

TEST(Pool, OversizedRequestsGetTheirOwnBlock)
{
    PoolFreeAll();
    char* small = (char*)PoolAlloc(100);
    EXPECT_EQ(1, PoolBlockCount());
    char* big = (char*)PoolAlloc(PoolBlockSize);
    EXPECT_EQ(2, PoolBlockCount());
    std::memset(big, 0xAB, PoolBlockSize); // the whole request is usable
    char* next = (char*)PoolAlloc(16);
    EXPECT_EQ(3, PoolBlockCount()) << "a small request after an oversized one starts a new block";
    EXPECT_NE(small, next);
    // Requests carved from one block follow each other.
    char* after = (char*)PoolAlloc(16);
    EXPECT_EQ(next + 16, after);
    PoolFreeAll();
    EXPECT_EQ(0, PoolBlockCount());
}

TEST(ItemLists, GrowthKeepsRecordsAndSources)
{
    PoolFreeAll();
    CreateItemLists();
    int marker[3];
    for (int i = 0; i < ServiceListCapacity + 1; i++)
        ItemListAppend(&ServiceList, &marker[i % 3]);
    EXPECT_EQ(ServiceListCapacity + 1, ServiceList.Count);
    EXPECT_EQ(2 * ServiceListCapacity, ServiceList.Capacity) << "one doubling";
    for (int i = 0; i < ServiceList.Count; i++)
        ASSERT_EQ((void*)&marker[i % 3], ServiceList.Items[i]) << "record " << i;

    char text[] = "S";
    SetInstallationSource(2000, text);
    EXPECT_EQ(text, InstallationSource(2000));
    EXPECT_EQ(nullptr, InstallationSource(1999)) << "slots passed over stay empty";
    EXPECT_EQ(nullptr, InstallationSource(2001));
    EXPECT_EQ(nullptr, InstallationSource(-1));
    PoolFreeAll();
}
