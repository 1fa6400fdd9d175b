// The journal's file and the dry run's answers, on real files.
#include <gtest/gtest.h>

#include <string>

#include "engine/deferred.h"
#include "engine/files.h"
#include "engine/journal.h"
#include "engine/registry.h"
#include "log/reader.h"
#include "tests/win32/test_support.h"

class Journal : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetFileFlags();
        JournalReset();
    }
    void TearDown() override
    {
        JournalReset();
        ClearPendingRenames();
    }
};

TEST_F(Journal, CodePage936NamesBecomeUtf8)
{
    // "中文" in code page 936, then a long name of such characters.
    char out[JournalTextSize];
    AnsiToUtf8("C:\\\xD6\xD0\xCE\xC4\\A.TXT", 936, out, sizeof(out));
    EXPECT_STREQ("C:\\\xE4\xB8\xAD\xE6\x96\x87\\A.TXT", out);
    std::string longName = "C:\\";
    for (int i = 0; i < 120; i++)
        longName += "\xD6\xD0";
    AnsiToUtf8(longName.c_str(), 936, out, sizeof(out));
    EXPECT_EQ(3u + 120 * 3, std::string(out).size());
    // A buffer too small keeps whole characters only.
    char small[8];
    AnsiToUtf8("\xD6\xD0\xCE\xC4\xD6\xD0", 936, small, sizeof(small));
    EXPECT_STREQ("\xE4\xB8\xAD\xE6\x96\x87", small);
}

TEST_F(Journal, HeaderOperationsErrorTextAndEnd)
{
    std::string dir = ScratchFolder("journal");
    std::string path = dir + "\\run journal.txt";
    ASSERT_TRUE(WriteFileText(path, "earlier run\r\n"));
    JournalBegin(path.c_str(), "/S /L\"run journal.txt\" C:\\APP\\INSTALL.LOG", 0);
    JournalPhase("files");
    std::string gone = dir + "\\GONE.TXT";
    ASSERT_TRUE(WriteFileText(gone, "x"));
    EXPECT_EQ(OpRemoved, DeleteFileOrDefer(gone.c_str()).outcome);
    EXPECT_EQ(OpMissing, DeleteFileOrDefer(gone.c_str()).outcome);
    JournalPhase("registry trees");
    // A root index no key has: a failure with the system's text.
    EXPECT_EQ(OpFailed, RemoveRegistryTree("Software\\KetraJournal", 9).outcome);
    EXPECT_EQ(1, JournalFailedOperations());
    JournalEnd(1603);

    std::string text = ReadFileText(path);
    EXPECT_EQ(0u, text.find("earlier run\r\n")) << "the journal is appended to";
    EXPECT_NE(std::string::npos, text.find(" | UNKETRA32 "));
    EXPECT_NE(std::string::npos, text.find(" | command line: /S /L\"run journal.txt\" C:\\APP\\"));
    EXPECT_NE(std::string::npos, text.find(" | journal: " + path + "\r\n"));
    EXPECT_NE(std::string::npos, text.find(" | files | file | removed | " + gone + "\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find(" | files | file | missing | " + gone + "\r\n"));
    size_t failed =
        text.find(" | registry trees | key | failed | ?\\Software\\KetraJournal | error 87");
    EXPECT_NE(std::string::npos, failed) << text;
    EXPECT_NE(std::string::npos,
              text.find(" | end | 1 removed, 0 restored, 0 kept, 0 deferred to the restart, "
                        "0 started, 0 lowered, 1 missing, 1 failed | exit code 1603\r\n"))
        << text;
    // After the end nothing more is written.
    JournalRecord(WhatFile, "C:\\LATE.TXT", Outcome(OpRemoved));
    EXPECT_EQ(std::string::npos, ReadFileText(path).find("LATE"));
}

TEST_F(Journal, AJournalThatCannotBeOpenedStopsNothing)
{
    std::string dir = ScratchFolder("nojournal");
    std::string file = dir + "\\A.TXT";
    ASSERT_TRUE(WriteFileText(file, "x"));
    JournalBegin((dir + "\\NO SUCH FOLDER\\J.TXT").c_str(), "", 0);
    EXPECT_EQ(OpRemoved, DeleteFileOrDefer(file.c_str()).outcome);
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(OpFailed, RemoveRegistryTree("Software\\KetraJournal", 9).outcome);
    EXPECT_EQ(1, JournalFailedOperations()) << "failures are counted without a journal";
    JournalEnd(0);
    EXPECT_FALSE(PathExists(dir + "\\NO SUCH FOLDER"));
}

TEST_F(Journal, DryRunForeseesAndChangesNothing)
{
    std::string dir = ScratchFolder("dryrun");
    std::string journal = dir + "\\J.TXT";
    std::string plain = dir + "\\PLAIN.DLL";
    std::string busy = dir + "\\BUSY.DLL";
    std::string backup = dir + "\\PLAIN.BAK";
    ASSERT_TRUE(WriteFileText(plain, "new"));
    ASSERT_TRUE(WriteFileText(busy, "busy"));
    ASSERT_TRUE(WriteFileText(backup, "old"));
    CreateDirectoryA((dir + "\\EMPTY").c_str(), nullptr);
    CreateDirectoryA((dir + "\\FULL").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(dir + "\\FULL\\KEEP.TXT", "keep"));
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KetraDryRun", 0, nullptr,
                                             0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "v", 0, REG_SZ, (const BYTE*)"x", 2);
    RegCloseKey(key);

    JournalBegin(journal.c_str(), "/N", 1);
    EXPECT_EQ(OpRemoved, ClearAndDeleteOrDefer(plain.c_str()).outcome);
    EXPECT_EQ(OpDeferred, DeleteFileOrDefer(busy.c_str()).outcome);
    EXPECT_EQ(OpMissing, DeleteFileOrDefer((dir + "\\NONE.DLL").c_str()).outcome);
    EXPECT_EQ(OpRestored, RemoveOrRestoreFile(plain.c_str(), backup.c_str(), 1).outcome);
    EXPECT_EQ(OpRemoved, RemoveDirectoryTree((dir + "\\EMPTY").c_str(), 0).outcome);
    EXPECT_EQ(OpRemovedIfEmpty, RemoveDirectoryTree((dir + "\\FULL").c_str(), 1).outcome);
    EXPECT_EQ(OpRemoved, RemoveRegistryTree("Software\\KetraDryRun", 1).outcome);
    char name[] = "Software\\KetraDryRun";
    DeleteCreatedValue(1, name, "v");
    DeleteInUseFiles = 0;
    EXPECT_EQ(OpFailed, DeleteFileOrDefer(busy.c_str()).outcome)
        << "without leave to wait, an in-use file would fail";
    JournalEnd(0);
    CloseHandle(held);

    EXPECT_EQ("new", ReadFileText(plain));
    EXPECT_EQ("old", ReadFileText(backup));
    EXPECT_TRUE(PathExists(busy));
    EXPECT_TRUE(PathExists(dir + "\\EMPTY"));
    EXPECT_EQ("keep", ReadFileText(dir + "\\FULL\\KEEP.TXT"));
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KetraDryRun", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    EXPECT_EQ(0, DeferredSoFar().selfRemovalPending);
    EXPECT_EQ("", PendingRenames());

    std::string text = ReadFileText(journal);
    EXPECT_NE(std::string::npos, text.find(": dry run, nothing is changed\r\n"));
    EXPECT_NE(std::string::npos,
              text.find(" | file | would be in use: deferred to the restart | " + busy + "\r\n"))
        << text;
    EXPECT_NE(std::string::npos,
              text.find(" | value | would be removed | HKCU\\Software\\KetraDryRun\\v"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KetraDryRun");
}
