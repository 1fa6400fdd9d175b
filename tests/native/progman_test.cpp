// Group descriptions, the item search and the commands it sends.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/progman.h"
#include "log/items.h"

static std::vector<std::string> Sent;

static void Record(const char* command)
{
    Sent.push_back(command);
}

static IconItem Icon(const char* group, const char* name, const char* command)
{
    IconItem item;
    std::memset(&item, 0, sizeof(item));
    std::strncpy(item.Group, group, sizeof(item.Group) - 1);
    std::strncpy(item.Name, name, sizeof(item.Name) - 1);
    std::strncpy(item.Command, command, sizeof(item.Command) - 1);
    return item;
}

static char* Group(const std::string& text)
{
    return CopyGroupDescription(text.c_str(), (uint32_t)text.size() + 1, (uint32_t)text.size() + 1);
}

class ProgmanText : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ClearGroupTexts();
        Sent.clear();
    }
    std::vector<std::string> Delete(const IconItem& item)
    {
        Sent.clear();
        DeleteMatchingItems(&item, Record);
        return Sent;
    }
};

TEST_F(ProgmanText, CommandLineMatchesInAnyGroupUnderAnyName)
{
    AddGroupText(Group("\"Tools\",C:\\T.GRP,2\r\n\"Editor\",\"C:\\APP\\ED.EXE\",,0\r\n"
                       "\"Other\",\"C:\\OTHER.EXE\",,0\r\n"));
    AddGroupText(Group("\"Elsewhere\",x\r\n\"Renamed\",\"c:\\app\\ed.exe\"\r\n"));
    std::vector<std::string> expected = {"[ShowGroup(Tools,2)]",     "[ShowGroup(Tools,1)]",
                                         "[DeleteItem(Editor)]",     "[ShowGroup(Elsewhere,2)]",
                                         "[ShowGroup(Elsewhere,1)]", "[DeleteItem(Renamed)]",
                                         "[DeleteGroup(Elsewhere)]"};
    EXPECT_EQ(expected, Delete(Icon("App", "Editor", "C:\\APP\\ED.EXE")));
    EXPECT_EQ('*', GroupTexts[1][0]) << "the emptied group is marked";
    EXPECT_EQ('"', GroupTexts[0][0]) << "a group with an item left is not";
}

TEST_F(ProgmanText, GroupAndNameMatchWhateverTheCommand)
{
    AddGroupText(Group("\"My App\"\r\n\"Readme\",\"NOTEPAD.EXE README.TXT\"\r\n"
                       "\"Readme\",\"x\"\r\n"));
    std::vector<std::string> expected = {"[ShowGroup(My App,2)]", "[ShowGroup(My App,1)]",
                                         "[DeleteItem(Readme)]",  "[ShowGroup(My App,2)]",
                                         "[ShowGroup(My App,1)]", "[DeleteItem(Readme)]",
                                         "[DeleteGroup(My App)]"};
    EXPECT_EQ(expected, Delete(Icon("MY APP", "readme", "C:\\NONE.EXE")));
    // Same name, other group: no match.
    AddGroupText(Group("\"Else\"\r\n\"Readme\",\"y\"\r\n"));
    EXPECT_TRUE(Delete(Icon("My App", "Readme", "C:\\NONE.EXE")).empty());
}

TEST_F(ProgmanText, SecondEntryForTheSameItemSendsNothing)
{
    AddGroupText(Group("\"G\"\r\n\"A\",\"A.EXE\"\r\n\"B\",\"B.EXE\"\r\n"));
    IconItem a = Icon("G", "A", "A.EXE");
    EXPECT_EQ(3u, Delete(a).size());
    EXPECT_TRUE(Delete(a).empty());
    // The group empties with the other item, and is then passed over.
    EXPECT_EQ(4u, Delete(Icon("G", "B", "B.EXE")).size());
    EXPECT_TRUE(Delete(Icon("G", "B", "B.EXE")).empty());
}

TEST_F(ProgmanText, StartupGroupIsNeverDeleted)
{
    AddGroupText(Group("\"StartUp\"\r\n\"Agent\",\"AGENT.EXE\"\r\n"));
    std::vector<std::string> sent = Delete(Icon("StartUp", "Agent", "AGENT.EXE"));
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ("[DeleteItem(Agent)]", sent[2]);
    EXPECT_EQ('*', GroupTexts[0][0]) << "marked even though kept";
}

TEST_F(ProgmanText, NamesWithSeparatorsAreQuoted)
{
    AddGroupText(Group("\"Tools, Extra (x86)\"\r\n\"Run [it]\",\"R.EXE\"\r\n"));
    std::vector<std::string> expected = {
        "[ShowGroup(\"Tools, Extra (x86)\",2)]", "[ShowGroup(\"Tools, Extra (x86)\",1)]",
        "[DeleteItem(\"Run [it]\")]", "[DeleteGroup(\"Tools, Extra (x86)\")]"};
    EXPECT_EQ(expected, Delete(Icon("", "", "R.EXE")));
    char command[ProgmanCommandSize];
    FormatProgmanCommand(command, "[DeleteGroup(%s)]", "Plain Name");
    EXPECT_STREQ("[DeleteGroup(Plain Name)]", command);
}

TEST_F(ProgmanText, MalformedLinesArePassedOver)
{
    AddGroupText(Group("\"G\"\r\n"
                       "Loose,\"X.EXE\"\r\n"        // no opening quote
                       "\"Open,\"X.EXE\"\r\n"       // name runs into the command
                       "\"NoCommand\"\r\n"          // no command field
                       "\"Spaced\", \"X.EXE\"\r\n"  // command not right after the comma
                       "\"Unclosed\",\"X.EXE\r\n"   // command quote not closed
                       "*\"Done\",\"X.EXE\"\r\n")); // marked earlier
    EXPECT_TRUE(Delete(Icon("Z", "Z", "X.EXE")).empty());
    // Lines with a quote are still items, so the group is not empty.
    EXPECT_EQ(0, MarkGroupIfEmpty(GroupTexts[0]));
    AddGroupText(Group("No quote\r\n\"A\",\"X.EXE\"\r\n"));
    EXPECT_TRUE(Delete(Icon("Z", "Z", "X.EXE")).empty()) << "unquoted group is not searched";
}

TEST_F(ProgmanText, EmptyLoggedCommandMatchesOnlyByName)
{
    AddGroupText(Group("\"G\"\r\n\"A\",\"\"\r\n\"B\",\"\"\r\n"));
    std::vector<std::string> sent = Delete(Icon("G", "B", ""));
    ASSERT_EQ(3u, sent.size());
    EXPECT_EQ("[DeleteItem(B)]", sent[2]);
}

TEST_F(ProgmanText, MarkGroupIfEmptyLooksOnlyAtItemLines)
{
    char empty[] = "\"G\",1\r\n\r\n*\"Gone\",\"X\"\r\nnot an item\r\n";
    EXPECT_EQ(1, MarkGroupIfEmpty(empty));
    EXPECT_EQ('*', empty[0]);
    char onlyName[] = "\"G\"";
    EXPECT_EQ(1, MarkGroupIfEmpty(onlyName));
    char full[] = "\"G\"\n\"Item\",\"X\"";
    EXPECT_EQ(0, MarkGroupIfEmpty(full));
    EXPECT_EQ('"', full[0]);
}

TEST_F(ProgmanText, GroupListNamesAndLineEnds)
{
    std::string list = "Main\r\n\r\nAccessories\n" + std::string(256, 'L') + "\r\n" +
                       std::string(255, 'k') + "\r\nLast";
    const char* cursor = list.c_str();
    char name[ProgmanNameSize];
    std::vector<std::string> names;
    int32_t r;
    int32_t skipped = 0;
    while ((r = NextGroupName(&cursor, name)) >= 0) {
        if (r)
            names.push_back(name);
        else
            skipped++;
    }
    std::vector<std::string> expected = {"Main", "Accessories", std::string(255, 'k'), "Last"};
    EXPECT_EQ(expected, names);
    EXPECT_EQ(1, skipped) << "a name too long to request is passed over";
}

TEST_F(ProgmanText, LongNamesAreNeverCut)
{
    std::string longName(300, 'N');
    AddGroupText(Group("\"G\"\r\n\"" + longName + "\",\"X.EXE\"\r\n\"Short\",\"X.EXE\"\r\n"));
    AddGroupText(Group("\"" + longName + "\"\r\n\"Short\",\"X.EXE\"\r\n"));
    // A cut name would delete some other item: only the line that fits goes.
    std::vector<std::string> expected = {"[ShowGroup(G,2)]", "[ShowGroup(G,1)]",
                                         "[DeleteItem(Short)]"};
    EXPECT_EQ(expected, Delete(Icon("x", "x", "X.EXE")));
    // 255 characters fit, quoted too.
    std::string name255(255, 'a');
    name255[0] = '(';
    char command[ProgmanCommandSize];
    FormatProgmanCommand(command, "[ShowGroup(%s,2)]", name255.c_str());
    EXPECT_EQ("[ShowGroup(\"" + name255 + "\",2)]", std::string(command));
}

TEST_F(ProgmanText, ReplyMustDescribeTheGroupAskedFor)
{
    EXPECT_EQ(1, DescribesGroup("\"My App\",C:\\X.GRP\r\n", "MY APP"));
    EXPECT_EQ(0, DescribesGroup("\"Other\"\r\n", "My App"));
    EXPECT_EQ(0, DescribesGroup("Accessories\r\nStartUp\r\n", "Accessories"));
    EXPECT_EQ(0, DescribesGroup("\"My App", "My App"));
}

TEST_F(ProgmanText, TableHoldsAtMost127Groups)
{
    for (int32_t k = 0; k < GroupTextsSize - 1; k++)
        EXPECT_EQ(0, AddGroupText(Group("\"G\"\r\n")));
    EXPECT_EQ(1, AddGroupText(Group("\"Dropped\"\r\n\"A\",\"X.EXE\"\r\n")));
    EXPECT_EQ(nullptr, GroupTexts[GroupTextsSize - 1]);
    EXPECT_TRUE(Delete(Icon("Dropped", "A", "X.EXE")).empty());
}

TEST(ProgmanReply, LongGroupListLosesItsPartialLastName)
{
    std::string list;
    while (list.size() < 20000)
        list += "Group number " + std::to_string(list.size()) + "\r\n";
    // DDE gave the first ProgmanReplySize bytes of a longer reply.
    char* copy = CopyGroupList(list.data(), ProgmanReplySize, (uint32_t)list.size() + 1);
    size_t n = std::strlen(copy);
    ASSERT_LT(n, (size_t)ProgmanReplySize);
    EXPECT_EQ(list.substr(0, n), std::string(copy));
    EXPECT_EQ('\n', copy[n - 1]) << "ends on a whole line";
    // A list of exactly the buffer's size without a terminator is cut too.
    std::string exact(ProgmanReplySize, 'x');
    EXPECT_STREQ("", CopyGroupList(exact.data(), ProgmanReplySize, ProgmanReplySize));
    // Unterminated but whole: kept.
    EXPECT_STREQ("A\r\nB", CopyGroupList("A\r\nB", 4, 4));
}

TEST(ProgmanReply, CutDescriptionNeverLooksEmpty)
{
    std::string text = "\"Big\"\r\n";
    int32_t items = 0;
    while (text.size() < 30000)
        text += "\"Item" + std::to_string(items++) + "\",\"C:\\APP\\PROGRAM.EXE /n\"\r\n";
    text += "\"Last\",\"C:\\LAST.EXE\"\r\n";
    char* copy = CopyGroupDescription(text.data(), ProgmanReplySize, (uint32_t)text.size() + 1);
    ASSERT_LT(std::strlen(copy), (size_t)ProgmanReplySize);
    ClearGroupTexts();
    AddGroupText(copy);
    // Every item that came through goes, but the group stays: the rest of
    // its items were beyond the cut.
    Sent.clear();
    IconItem item = Icon("", "", "C:\\APP\\PROGRAM.EXE /n");
    int32_t deleted = DeleteMatchingItems(&item, Record);
    EXPECT_GT(deleted, 300);
    EXPECT_LT(deleted, items);
    for (const std::string& s : Sent)
        EXPECT_EQ(std::string::npos, s.find("DeleteGroup")) << s;
    EXPECT_EQ(0, MarkGroupIfEmpty(copy));
    // A whole reply gets no such line.
    char* whole = CopyGroupDescription("\"G\"\r\n", 6, 6);
    EXPECT_EQ(1, MarkGroupIfEmpty(whole));
}

TEST(ProgmanSelection, RollbackTakesOnlyTheLatestInstallation)
{
    IconItem item = Icon("G", "N", "C");
    item.Installation = 2;
    UninstallRequest custom = {ModeCustom, 0, 0};
    item.Selected = 0;
    EXPECT_EQ(0, IconEntryTakesPart(&item, 1, custom)) << "not chosen";
    item.Selected = 1;
    EXPECT_EQ(1, IconEntryTakesPart(&item, 1, custom));
    UninstallRequest automatic = {ModeAutomatic, 0, 0};
    item.Selected = 0;
    EXPECT_EQ(1, IconEntryTakesPart(&item, 1, automatic)) << "automatic mode chooses every entry";
    UninstallRequest rollback = {ModeAutomatic, 1, 0};
    EXPECT_EQ(1, IconEntryTakesPart(&item, 2, rollback));
    EXPECT_EQ(0, IconEntryTakesPart(&item, 3, rollback)) << "older installation in a roll-back";
    EXPECT_EQ(0, IconEntryTakesPart(&item, 1, rollback)) << "equality, not at least";
}
