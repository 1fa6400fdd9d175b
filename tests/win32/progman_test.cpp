// Program Manager items through DDE, against the KPROGMAN stand-in: the
// stand-in holds groups from a file, records every request and command, and
// writes its final groups when told to quit.
#include <gtest/gtest.h>

#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/system_facts.h"
#include "engine/uninstall.h"
#include "engine/progman_win32.h"
#include "log/items.h"
#include "log/pool.h"
#include "tests/win32/progman_helpers.h"

static void AddIcon(const char* group, const char* name, const char* command,
                    uint16_t installation = 1, int32_t selected = 1)
{
    IconItem* item = (IconItem*)PoolAlloc(sizeof(IconItem));
    lstrcpynA(item->Group, group, sizeof(item->Group));
    lstrcpynA(item->Name, name, sizeof(item->Name));
    lstrcpynA(item->Command, command, sizeof(item->Command));
    item->Selected = selected;
    item->Installation = installation;
    ItemListAppend(&IconList, item);
}

// The driver's phase: open before the first entry that takes part, close
// after the last. An automatic uninstall unless the case asks otherwise.
static void RunPhase(uint16_t threshold, UninstallRequest request = {ModeAutomatic, 0, 0})
{
    int32_t opened = 0;
    for (int32_t i = 0; i < IconList.Count; i++) {
        if (!IconEntryTakesPart((IconItem*)IconList.Items[i], threshold, request))
            continue;
        if (!opened) {
            OpenProgramManager();
            opened = 1;
        }
        DeleteIconEntry(i);
    }
    if (opened)
        CloseProgramManager();
}

class Progman : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetProgramManager();
        ResetSystemFacts();
        PoolFreeAll();
        CreateItemLists();
        ASSERT_TRUE(IsolateFromShell());
        ASSERT_FALSE(ProgmanAnswers()) << "another \"PROGMAN\" server is running";
    }
    void TearDown() override
    {
        ResetProgramManager();
        server.Stop();
    }
    StandIn server;
};

TEST_F(Progman, MatchesByCommandOrByGroupAndName)
{
    ASSERT_TRUE(server.Start("G\tAccessories\n"
                             "I\tNotepad\tNOTEPAD.EXE\n"
                             "I\tTool Copy\tC:\\APP\\TOOL.EXE\n"
                             "G\tMy App\n"
                             "I\tTool\tC:\\APP\\TOOL.EXE\n"
                             "I\tReadme\tNOTEPAD.EXE C:\\APP\\README.TXT\n"
                             "G\tOther\n"
                             "I\tKeep\tC:\\OTHER\\KEEP.EXE\n"));
    AddIcon("My App", "Tool", "c:\\app\\tool.exe");
    AddIcon("MY APP", "README", "C:\\GONE.EXE");
    // Logged again under another group and name: the item is already gone.
    AddIcon("Old Group", "Old Name", "C:\\APP\\TOOL.EXE");
    RunPhase(1);
    ASSERT_TRUE(server.Stop());

    EXPECT_EQ("G\tAccessories\n"
              "I\tNotepad\tNOTEPAD.EXE\n"
              "G\tOther\n"
              "I\tKeep\tC:\\OTHER\\KEEP.EXE\n",
              server.Final());
    EXPECT_EQ("[ShowGroup(Accessories,2)] ok\n"
              "[ShowGroup(Accessories,1)] ok\n"
              "[DeleteItem(Tool Copy)] ok\n"
              "[ShowGroup(My App,2)] ok\n"
              "[ShowGroup(My App,1)] ok\n"
              "[DeleteItem(Tool)] ok\n"
              "[ShowGroup(My App,2)] ok\n"
              "[ShowGroup(My App,1)] ok\n"
              "[DeleteItem(Readme)] ok\n"
              "[DeleteGroup(My App)] ok\n",
              server.Executed())
        << "the third entry sends nothing";
    EXPECT_EQ("GROUPS Accessories My App Other", server.Requested());
}

TEST_F(Progman, StartupGroupStaysInAnyCase)
{
    ASSERT_TRUE(server.Start("G\tstartUP\nI\tAgent\tC:\\APP\\AGENT.EXE\n"
                             "G\tApp\nI\tAgent\tC:\\APP\\AGENT.EXE\n"));
    AddIcon("StartUp", "Agent", "C:\\APP\\AGENT.EXE");
    RunPhase(1);
    ASSERT_TRUE(server.Stop());
    EXPECT_EQ("G\tstartUP\n", server.Final());
    EXPECT_EQ(std::string::npos, server.Executed().find("DeleteGroup(startUP)"));
    EXPECT_NE(std::string::npos, server.Executed().find("[DeleteGroup(App)] ok"));
}

TEST_F(Progman, NamesWithCommasAndParenthesesReachTheRightGroup)
{
    ASSERT_TRUE(server.Start("G\tTools\nI\tReadme\tA.EXE\n"
                             "G\tTools, Extra (x86)\nI\tReadme\tB.EXE\n"
                             "G\tPlain\nI\tRun (debug)\tB.EXE\nI\tStay\tS.EXE\n"));
    AddIcon("x", "x", "B.EXE");
    OpenProgramManager();
    // Put in as they stand, such names split into further arguments or end
    // the command early, and the command fails.
    SendProgmanCommand("[ShowGroup(Tools, Extra (x86),1)]");
    DeleteIconEntry(0);
    CloseProgramManager();
    ASSERT_TRUE(server.Stop());

    EXPECT_EQ("G\tTools\nI\tReadme\tA.EXE\nG\tPlain\nI\tStay\tS.EXE\n", server.Final());
    EXPECT_EQ("[ShowGroup(Tools, Extra (x86),1)] fail\n"
              "[ShowGroup(\"Tools, Extra (x86)\",2)] ok\n"
              "[ShowGroup(\"Tools, Extra (x86)\",1)] ok\n"
              "[DeleteItem(Readme)] ok\n"
              "[DeleteGroup(\"Tools, Extra (x86)\")] ok\n"
              "[ShowGroup(Plain,2)] ok\n"
              "[ShowGroup(Plain,1)] ok\n"
              "[DeleteItem(\"Run (debug)\")] ok\n",
              server.Executed());
}

TEST_F(Progman, RollbackTakesOnlyTheLatestInstallation)
{
    ASSERT_TRUE(server.Start("G\tApp\nI\tFirst\tFIRST.EXE\nI\tSecond\tSECOND.EXE\n"
                             "I\tUnchosen\tUNCHOSEN.EXE\n"));
    AddIcon("App", "First", "FIRST.EXE", 1);
    AddIcon("App", "Second", "SECOND.EXE", 2);
    AddIcon("App", "Unchosen", "UNCHOSEN.EXE", 2, 0);
    RunPhase(2, {ModeCustom, 1, 0});
    ASSERT_TRUE(server.Stop());
    EXPECT_EQ("G\tApp\nI\tFirst\tFIRST.EXE\nI\tUnchosen\tUNCHOSEN.EXE\n", server.Final());
}

TEST_F(Progman, NoServerDeletesAndShowsNothing)
{
    AddIcon("App", "Tool", "TOOL.EXE");
    AddIcon("App", "Other", "OTHER.EXE");
    OpenProgramManager();
    EXPECT_NE(0u, DdeInstance);
    EXPECT_EQ(nullptr, ProgmanConversation);
    EXPECT_EQ(nullptr, GroupTexts[0]);
    DeleteIconEntry(0);
    DeleteIconEntry(1);
    SendProgmanCommand("[ShowGroup(App,1)]");
    EXPECT_EQ(0, ProgmanCommandsSent);
    CloseProgramManager();
    EXPECT_EQ(0u, DdeInstance);
}

static std::string ManyGroups()
{
    // A name too long to request, a group whose description does not fit a
    // reply buffer, then more groups than the table holds, each with an item
    // of the same program.
    std::string text = "G\t" + std::string(300, 'L') + "\nI\tShared\tC:\\SHARED.EXE\n";
    text += "G\tBig\n";
    for (int k = 0; k < 400; k++)
        text += "I\tBig item " + std::to_string(k) + "\tC:\\APP\\BIG.EXE /n\n";
    for (int k = 0; k < 130; k++) {
        char name[16];
        std::snprintf(name, sizeof(name), "G%03d", k);
        text += std::string("G\t") + name + "\nI\tShared\tC:\\SHARED.EXE\n";
    }
    return text;
}

TEST_F(Progman, OversizedRepliesAndTooManyGroupsAreBounded)
{
    ASSERT_TRUE(server.Start(ManyGroups()));
    AddIcon("x", "x", "C:\\SHARED.EXE");
    AddIcon("x", "x", "C:\\APP\\BIG.EXE /n");
    RunPhase(1);
    ASSERT_TRUE(server.Stop());

    // Big and G000 to G125 fill the 127 entries; G126 on is never asked for.
    std::string requested = server.Requested();
    EXPECT_EQ(std::string::npos, requested.find("LLLL"));
    EXPECT_NE(std::string::npos, requested.find(" G125"));
    EXPECT_EQ(std::string::npos, requested.find(" G126"));
    std::string final = server.Final();
    EXPECT_EQ(std::string::npos, final.find("G\tG125\n"));
    EXPECT_NE(std::string::npos, final.find("G\tG126\nI\tShared\tC:\\SHARED.EXE\n"));
    EXPECT_NE(std::string::npos, final.find("G\tG129\n"));
    EXPECT_NE(std::string::npos, final.find("G\t" + std::string(300, 'L') + "\nI\tShared"));
    // Big: the items within the reply buffer go, the group and the rest stay.
    EXPECT_NE(std::string::npos, final.find("G\tBig\n"));
    EXPECT_NE(std::string::npos, final.find("I\tBig item 399\t"));
    EXPECT_EQ(std::string::npos, final.find("I\tBig item 0\t"));
    EXPECT_EQ(std::string::npos, server.Executed().find("DeleteGroup(Big)"));
    EXPECT_EQ(std::string::npos, server.Executed().find(" fail\n"));
}
