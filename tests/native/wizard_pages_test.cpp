// The wizard's pages: row texts and flags of the selection pages, the page
// order in each mode, and the working view's bar and animation arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/uninstall.h"
#include "log/items.h"
#include "log/pool.h"
#include "log/reader.h"
#include "ui/bar_layout.h"
#include "ui/page_rows.h"
#include "ui/wizard_pages.h"

namespace
{

template <typename T> T* Add(ItemList* list)
{
    T* record = (T*)PoolAlloc(sizeof(T));
    std::memset(record, 0, sizeof(T));
    record->Selected = 1;
    ItemListAppend(list, record);
    return record;
}

std::string Row(int page, int row)
{
    char text[RowTextSize];
    int length = FormatPageRow(page, row, text, sizeof(text));
    EXPECT_EQ((int)std::strlen(text), length < 0 ? 0 : length);
    return text;
}

class Pages : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        PoolFreeAll();
        CreateItemLists();
        ResetLogValues();
    }
    void TearDown() override { PoolFreeAll(); }
};

TEST_F(Pages, RowFormatsOfEachKind)
{
    std::strcpy(Add<FileRecord>(&FileList)->Path, "C:\\APP\\A.EXE");
    std::strcpy(Add<FolderItem>(&FolderList)->Path, "C:\\APP\\DATA\\");
    IniEntry* ini = Add<IniEntry>(&IniEntryList);
    std::strcpy(ini->File, "C:\\WINDOWS\\WIN.INI");
    std::strcpy(ini->Section, "Windows");
    std::strcpy(ini->Key, "load");
    std::strcpy(ini->OldValue, "old.exe");
    RegValueItem* named = Add<RegValueItem>(&RegValueList);
    std::strcpy(named->Key, "Software\\Ketra");
    std::strcpy(named->Name, "Path");
    std::strcpy(Add<RegValueItem>(&RegValueList)->Key, "Software\\Ketra\\Default");
    RegRestoreItem* restore = Add<RegRestoreItem>(&RegRestoreList);
    std::strcpy(restore->Key, "Software\\Ketra");
    std::strcpy(restore->Name, "Mode");
    // A list of strings: only the first shows.
    std::memcpy(restore->OldData, "fast\0slow\0", 11);
    RegRestoreItem* unnamed = Add<RegRestoreItem>(&RegRestoreList);
    std::strcpy(unnamed->Key, "Software\\Old");
    std::strcpy(unnamed->OldData, "before");
    IconItem* icon = Add<IconItem>(&IconList);
    std::strcpy(icon->Group, "Ketra");
    std::strcpy(icon->Name, "Read me");

    EXPECT_EQ("C:\\APP\\A.EXE", Row(1, 0));
    EXPECT_EQ("C:\\APP\\DATA", Row(3, 0)) << "the trailing backslash goes";
    EXPECT_EQ("C:\\WINDOWS\\WIN.INI: [Windows] load=old.exe", Row(5, 0));
    EXPECT_EQ("Software\\Ketra Value Name: Path", Row(6, 0));
    EXPECT_EQ("Software\\Ketra\\Default", Row(6, 1)) << "an unnamed value shows its key alone";
    EXPECT_EQ("Software\\Ketra Value Name: Mode=fast", Row(8, 0));
    EXPECT_EQ("Software\\Old=before", Row(8, 1));
    EXPECT_EQ("Read me", Row(9, 0)) << "the item's name, not its group";
    EXPECT_EQ(-1, FormatPageRow(1, 1, nullptr, 0));
    char text[8] = "x";
    EXPECT_EQ(-1, FormatPageRow(2, 0, text, sizeof(text))) << "page 2 has no rows";
    EXPECT_EQ(-1, FormatPageRow(0, 0, text, sizeof(text)));
    EXPECT_EQ(-1, FormatPageRow(11, 0, text, sizeof(text)));
}

TEST_F(Pages, LongRowsAreCutAndOldDataShowsAtMost255Characters)
{
    RegRestoreItem* item = Add<RegRestoreItem>(&RegRestoreList);
    std::memset(item->Key, 'K', NameSize - 1);
    std::memset(item->Name, 'N', NameSize - 1);
    std::memset(item->OldData, 'D', 600);
    std::string row = Row(8, 0);
    EXPECT_EQ(255u + 13 + 255 + 1 + 255, row.size());
    EXPECT_EQ(std::string(255, 'D'), row.substr(row.size() - 255));

    char small[16];
    EXPECT_EQ(15, FormatPageRow(8, 0, small, sizeof(small)));
    EXPECT_EQ(std::string(15, 'K'), small);
}

TEST_F(Pages, SubsystemPageJoinsThreeSources)
{
    char name[] = "BDE Engine";
    SubsystemName = name;
    SubsystemSelected = 1;
    ExecuteItem* named = Add<ExecuteItem>(&ExecuteList);
    std::strcpy(named->Command, "C:\\APP\\CLEAN.EXE /all");
    std::strcpy(named->Name, "Clean up");
    std::strcpy(Add<ExecuteItem>(&ExecuteList)->Command, "C:\\APP\\UNREG.EXE");
    std::strcpy(Add<ServiceItem>(&ServiceList)->Name, "KetraSvc");

    ASSERT_EQ(4, PageRowCount(10));
    EXPECT_EQ("BDE Engine", Row(10, 0));
    EXPECT_EQ("Clean up", Row(10, 1));
    EXPECT_EQ("C:\\APP\\UNREG.EXE", Row(10, 2)) << "no name: the command shows";
    EXPECT_EQ("KetraSvc", Row(10, 3));
    EXPECT_EQ(&SubsystemSelected, PageRowFlag(10, 0));
    *PageRowFlag(10, 0) = 0;
    EXPECT_EQ(0, SubsystemSelected);
    EXPECT_EQ(1, named->Selected);
    EXPECT_EQ(&((ServiceItem*)ServiceList.Items[0])->Selected, PageRowFlag(10, 3));
    EXPECT_EQ(nullptr, PageRowFlag(10, 4));

    // Without a subsystem the rows move up by one.
    SubsystemName = nullptr;
    ASSERT_EQ(3, PageRowCount(10));
    EXPECT_EQ("Clean up", Row(10, 0));
    EXPECT_EQ(&named->Selected, PageRowFlag(10, 0));
    name[0] = 0;
    SubsystemName = name;
    EXPECT_EQ(3, PageRowCount(10)) << "an empty name is no subsystem";
}

TEST_F(Pages, HeadingAndTextMessages)
{
    const int headings[] = {5, 8, 11, 14, 17, 20, 54, 23, 26, 42};
    for (int page = 1; page <= 10; page++) {
        EXPECT_EQ(headings[page - 1], PageHeadingMessage(page)) << page;
        EXPECT_EQ(page == 10 ? 41 : headings[page - 1] + 1, PageTextMessage(page)) << page;
    }
    EXPECT_EQ(0, PageHeadingMessage(0));
    EXPECT_EQ(0, PageTextMessage(11));
}

TEST_F(Pages, CustomModeSkipsEmptyPagesBothWays)
{
    int32_t mode = ModeCustom;
    Add<RegValueItem>(&RegValueList);
    Add<RegRestoreItem>(&RegRestoreList);
    uint8_t page = 0;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(6, page);
    page = NextPage(page, mode, 1);
    EXPECT_EQ(8, page);
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(8, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(6, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);
    // Back from page 0 wraps past 255 to the final page.
    page = NextPage(page, mode, 0);
    EXPECT_EQ(PageFinal, page);
}

TEST_F(Pages, CustomModeWithNothingLoggedGoesStraightToTheEnd)
{
    int32_t mode = ModeCustom;
    BackupsPresent = 1;
    uint8_t page = 0;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page) << "the roll-back page is never shown in the Custom mode";
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);
    // The subsystem alone opens page 10.
    char name[] = "BDE";
    SubsystemName = name;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(10, page);
}

TEST_F(Pages, AutomaticAndRepairModes)
{
    int32_t mode = ModeAutomatic;
    uint8_t page = 0;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page);
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);

    BackupsPresent = 1;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageRollback, page);
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(PageRollback, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);

    // Repair never shows the roll-back page, backups or not.
    mode = ModeRepair;
    page = NextPage(page, mode, 1);
    EXPECT_EQ(PageFinal, page);
    page = NextPage(page, mode, 0);
    EXPECT_EQ(0, page);
}

TEST(WorkBar, FillAndSegments)
{
    BarRect inner = {10, 20, 110, 32}; // 100 wide, 12 high
    EXPECT_EQ(8, BarSegmentLength(12));
    BarRect blocks[64];
    // Nothing done: no block, only the frame.
    EXPECT_EQ(0, BarFillWidth(100, 0, 7));
    EXPECT_EQ(0, BarBlocks(&inner, 0, blocks, 64));
    // All done: the whole inner width, in whole blocks (the last may pass f).
    int32_t f = BarFillWidth(100, 7, 7);
    EXPECT_EQ(100, f);
    int32_t count = BarBlocks(&inner, f, blocks, 64);
    EXPECT_EQ(13, count);
    EXPECT_EQ(10, blocks[0].Left);
    EXPECT_EQ(15, blocks[0].Right) << "a 3-pixel gap after each block";
    EXPECT_EQ(21, blocks[0].Top);
    EXPECT_EQ(31, blocks[0].Bottom);
    EXPECT_EQ(10 + 12 * 8, blocks[12].Left);
    // Half done.
    EXPECT_EQ(50, BarFillWidth(100, 1, 2));
    EXPECT_EQ(7, BarBlocks(&inner, 50, blocks, 64));
    EXPECT_EQ(1, BarBlocks(&inner, 1, blocks, 64)) << "one pixel of fill shows a whole block";
}

TEST(WorkBar, DonePastTotalIsLimitedToTheInnerWidth)
{
    EXPECT_EQ(100, BarFillWidth(100, 9, 7));
    // A zero total (never set by the drivers) does not divide by zero.
    EXPECT_EQ(0, BarFillWidth(100, 0, 0));
    EXPECT_EQ(100, BarFillWidth(100, 3, 0));
    EXPECT_EQ(0, BarFillWidth(100, -2, 5));
}

TEST(WorkBar, FlatBarDrawsNoBlocksAndEnds)
{
    BarRect inner = {0, 0, 100, 1};
    BarRect blocks[4];
    EXPECT_EQ(0, BarSegmentLength(1));
    EXPECT_EQ(0, BarBlocks(&inner, 100, blocks, 4));
    BarRect tall = {0, 0, 1000, 12};
    EXPECT_EQ(4, BarBlocks(&tall, 1000, blocks, 4)) << "never more blocks than room";
}

TEST(WorkBar, SunkenFrame)
{
    BarRect inner = {10, 20, 110, 32};
    int32_t x[MaxFramePoints], y[MaxFramePoints];
    BarFrame(&inner, x, y);
    // Shadow from the bottom-left corner up and along the top.
    EXPECT_EQ(9, x[0]);
    EXPECT_EQ(32, y[0]);
    EXPECT_EQ(9, x[1]);
    EXPECT_EQ(19, y[1]);
    EXPECT_EQ(110, x[2]);
    EXPECT_EQ(19, y[2]);
    // Light down the right side and back along the bottom to one past the left.
    EXPECT_EQ(110, x[3]);
    EXPECT_EQ(19, y[3]);
    EXPECT_EQ(110, x[4]);
    EXPECT_EQ(32, y[4]);
    EXPECT_EQ(8, x[5]);
    EXPECT_EQ(32, y[5]);
}

TEST(Animation, FramesAndOffsets)
{
    int32_t x = -1, y = -1;
    EXPECT_EQ(1, AnimationOffset(1, &x, &y));
    EXPECT_EQ(0, x);
    EXPECT_EQ(10, y);
    EXPECT_EQ(1, AnimationOffset(12, &x, &y));
    EXPECT_EQ(62, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(1, AnimationOffset(20, &x, &y));
    EXPECT_EQ(118, x);
    EXPECT_EQ(13, y);
    for (int frame = 21; frame <= 25; frame++)
        EXPECT_EQ(0, AnimationOffset(frame, &x, &y))
            << "frame " << frame << " is the still picture";
    EXPECT_EQ(0, AnimationOffset(0, &x, &y));
    EXPECT_EQ(2, NextAnimationFrame(1));
    EXPECT_EQ(25, NextAnimationFrame(24));
    EXPECT_EQ(1, NextAnimationFrame(25));
}

} // namespace
