// Double-byte text (code page 936 rule: bytes 0x81..0xFE lead a two-byte
// character): second bytes are neither folded nor taken for a backslash, in
// the comparisons, the index, the path helpers and the log reader.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/device_lines.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "tests/native/fake_system.h"
#include "tests/native/reader_support.h"

namespace
{

// 丄 is 0x81 0x41 and 乤 is 0x81 0x61: they differ only in a second byte that
// is a letter of either case. 乗 is 0x81 0x5C: its second byte is '\'.
const char Shang[] = "\x81\x41";
const char Zha[] = "\x81\x61";
const char Cheng[] = "\x81\x5C";

std::string S(const char* a, const char* b = "", const char* c = "")
{
    return std::string(a) + b + c;
}

class DoubleByte : public ::testing::Test
{
  protected:
    void SetUp() override { UseDoubleByteRule(); }
    void TearDown() override { ResetFakeSystem(); }
};

int Sign(int32_t v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

} // namespace

TEST_F(DoubleByte, SecondBytesAreNeverFolded)
{
    std::string a = S("C:\\", Shang, ".TXT");
    std::string b = S("c:\\", Zha, ".txt");
    EXPECT_NE(0, CompareNoCase(a.c_str(), b.c_str()));
    EXPECT_NE(0, CompareFromEnd(a.c_str(), b.c_str()));
    // Single-byte letters still fold, around double-byte characters too.
    std::string c = S("c:\\", Shang, ".txt");
    EXPECT_EQ(0, CompareNoCase(a.c_str(), c.c_str()));
    EXPECT_EQ(0, CompareFromEnd(a.c_str(), c.c_str()));
    EXPECT_EQ(0, CompareNoCaseN(S("C:\\", Shang, "\\X").c_str(), S("c:\\", Shang).c_str(), 5));
    EXPECT_NE(0, CompareNoCaseN(S("C:\\", Shang, "\\X").c_str(), S("c:\\", Zha).c_str(), 5));
    // A second byte that is a letter is not the same as that letter alone.
    EXPECT_NE(0, CompareFromEnd(S(Shang).c_str(), "Za"));
    EXPECT_NE(0, CompareFromEnd(S("Y", Zha).c_str(), "YZA"));
}

TEST_F(DoubleByte, FromTheEndIsAConsistentOrder)
{
    // Mixed texts: the index needs a == b both ways and opposite signs.
    std::vector<std::string> texts = {
        "",
        "A",
        "a",
        S(Shang),
        S(Zha),
        S("x", Shang),
        S("X", Zha),
        "XA",
        "xa",
        S(Cheng, "a"),
        S("C:\\", Cheng, "\\B.DLL"),
        "C:\\\\B.DLL",
        S("c:\\", Cheng, "\\b.dll"),
        "\xE4",
        S(Zha, "A"),
    };
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            int ab = Sign(CompareFromEnd(a.c_str(), b.c_str()));
            int ba = Sign(CompareFromEnd(b.c_str(), a.c_str()));
            if (!a.empty() && !b.empty()) {
                EXPECT_EQ(ab, -ba) << a << " / " << b;
            }
            EXPECT_EQ(ab == 0, CompareNoCase(a.c_str(), b.c_str()) == 0) << a << " / " << b;
        }
    }
}

TEST_F(DoubleByte, PathPartsStepWholeCharacters)
{
    char system[] = "C:\\WINDOWS\\SYSTEM\\\x81\x5C.DLL";
    EXPECT_STREQ("\x81\x5C.DLL", FileNamePart(system));
    EXPECT_FALSE(EndsWithBackslash(S("C:\\", Cheng).c_str()));
    EXPECT_TRUE(EndsWithBackslash(S("C:\\", Cheng, "\\").c_str()));
    EXPECT_FALSE(EndsWithBackslash(""));
    // The engine cuts folders and keys at the last backslash: a name ending
    // in 乗 has none of its own.
    char key[] = "Software\\\x81\x5C\\\x81\x5C";
    EXPECT_EQ(key + 11, LastBackslash(key));
    char bare[] = "\x81\x5C";
    EXPECT_EQ(nullptr, LastBackslash(bare));
}

TEST_F(DoubleByte, WildcardTestStepsWholeCharacters)
{
    EXPECT_TRUE(HasWildcards(S("C:\\", Cheng, "\\*.DLL").c_str()));
    EXPECT_TRUE(HasWildcards("C:\\A?.TXT"));
    EXPECT_FALSE(HasWildcards(S("C:\\", Shang, Zha).c_str()));
    // A lead byte before the terminator never steps past it.
    const char tail[] = "A\x81\0*";
    EXPECT_FALSE(HasWildcards(tail));
}

TEST_F(DoubleByte, DeviceNamesDifferingInASecondByteAreDifferentDevices)
{
    std::string name = S(Shang, ".386");
    std::string text = "[386Enh]\r\ndevice=" + S(Zha, ".386") + "\r\ndevice=" + name + "\r\n";
    std::vector<char> out(DeviceEditCapacity((uint32_t)text.size()));
    uint32_t changed = 0;
    uint32_t n = CommentOutDeviceLines(text.data(), (uint32_t)text.size(), name.c_str(),
                                       "C:\\X.386", out.data(), &changed);
    EXPECT_EQ(1u, changed);
    EXPECT_EQ("[386Enh]\r\ndevice=" + S(Zha, ".386") + "\r\n;device=" + name + "\r\n",
              std::string(out.data(), n));
}

// ---- the log reader -------------------------------------------------------

namespace
{

void DoubleByteRun()
{
    FreshRun();
    TableHost.DoubleByte = 1;
}

} // namespace

TEST(DoubleByteLog, NamesDifferingInASecondByteKeepTheirOwnRecordsAndBackups)
{
    DoubleByteRun();
    std::string a = S("C:\\APP\\", Shang, ".TXT");
    std::string b = S("C:\\APP\\", Zha, ".TXT");
    std::string log = LogText({"***  ansi", "Title: T"});
    log += "File Overwrite: " + a + "\r\nBackup Copy: C:\\APP\\BACKUP\\1.TXT\r\n";
    log += "File Overwrite: " + b + "\r\nBackup Copy: C:\\APP\\BACKUP\\2.TXT\r\n";
    log += "File Delete: " + a + "\r\nBackup Copy: C:\\APP\\BACKUP\\3.TXT\r\n";
    log += "File Delete: " + b + "\r\nBackup Copy: C:\\APP\\BACKUP\\4.TXT\r\n";
    ASSERT_EQ(0, ReadText(log));
    ASSERT_EQ(2, FileList.Count);
    EXPECT_EQ(a, At<FileRecord>(FileList, 0)->Path);
    EXPECT_STREQ("C:\\APP\\BACKUP\\1.TXT", At<FileRecord>(FileList, 0)->BackupPath);
    EXPECT_EQ(b, At<FileRecord>(FileList, 1)->Path);
    EXPECT_STREQ("C:\\APP\\BACKUP\\2.TXT", At<FileRecord>(FileList, 1)->BackupPath);
    ASSERT_EQ(2, DeletedFileList.Count);
    EXPECT_STREQ("C:\\APP\\BACKUP\\3.TXT", At<DeletedFile>(DeletedFileList, 0)->BackupPath);
    EXPECT_EQ(b, At<DeletedFile>(DeletedFileList, 1)->Path);
    EXPECT_STREQ("C:\\APP\\BACKUP\\4.TXT", At<DeletedFile>(DeletedFileList, 1)->BackupPath);
}

TEST(DoubleByteLog, SecondByteBackslashNeverSplitsAFolder)
{
    DoubleByteRun();
    TableHost.StartMenu = S("C:\\WINNT\\Profiles\\", Cheng, "\\Start Menu");
    TableHost.CommonStartMenu = S("C:\\WINNT\\Profiles\\All ", Cheng, "\\Start Menu");
    NewShell = 1;
    PlatformKind = PlatformNT;
    std::string system = S("C:\\WINDOWS\\SYSTEM\\", Cheng, ".DLL");
    std::string log = LogText({"***  ansi", "Title: T"});
    log += "File Copy: " + system + "\r\n";
    log += "Made Dir: " + S("C:\\", Cheng) + "\r\n";
    TableHost.LogData = log;
    std::string logPath = S("C:\\LOGS\\", Cheng, ".LOG");
    char appFolder[260];
    ASSERT_EQ(0, ReadInstallLogWith(&TableReaderHost, logPath.c_str(), appFolder));

    ASSERT_EQ(1, SystemFileList.Count) << "a System-folder file is a system file";
    EXPECT_EQ(system, At<FileRecord>(SystemFileList, 0)->Path);
    EXPECT_EQ(0, FileList.Count);
    EXPECT_STREQ("C:\\WINNT\\Profiles\\", ProfilesFolder);
    EXPECT_EQ(S("C:\\WINNT\\Profiles\\All ", Cheng, "\\"), CommonProfileFolder);
    EXPECT_STREQ("C:\\LOGS\\", appFolder);
    ASSERT_EQ(2, FolderList.Count);
    EXPECT_STREQ("C:\\LOGS\\", At<FolderItem>(FolderList, 0)->Path);
    EXPECT_EQ(S("C:\\", Cheng, "\\"), At<FolderItem>(FolderList, 1)->Path);
}

TEST(DoubleByteLog, CreatedFoldersDifferingInASecondByteStayApart)
{
    DoubleByteRun();
    std::string log = LogText({"***  ansi", "Title: T"});
    log += "Made Dir: " + S("C:\\", Shang, "\\IN") + "\r\n";
    log += "Made Dir: " + S("C:\\", Zha) + "\r\n";
    log += "File Tree: " + S("C:\\", Cheng, "*.*") + "\r\n";
    ASSERT_EQ(0, ReadText(log));
    ASSERT_EQ(4, FolderList.Count);
    EXPECT_EQ(S("C:\\", Shang, "\\IN\\"), At<FolderItem>(FolderList, 1)->Path);
    EXPECT_EQ(S("C:\\", Zha, "\\"), At<FolderItem>(FolderList, 2)->Path);
    EXPECT_EQ(S("C:\\", Cheng, "*.*"), At<FolderItem>(FolderList, 3)->Path)
        << "a pattern whose last backslash is a second byte stays whole";
}

TEST(FolderLog, CreatedParentNeverWidensATree)
{
    FreshRun();
    ASSERT_EQ(0,
              ReadText(LogText({LOG_HEAD, "File Tree: C:\\APP\\DATA", "Made Dir: C:\\APP",
                                "*** second", "Made Dir: c:\\app\\data\\in", "Made Dir: C:\\"})));
    ASSERT_EQ(3, FolderList.Count);
    FolderItem* tree = At<FolderItem>(FolderList, 1);
    EXPECT_STREQ("C:\\APP\\DATA\\", tree->Path);
    EXPECT_EQ(1, tree->TreeInstallation);
    EXPECT_EQ(2, tree->Installation) << "a folder inside the tree merges into it";
    FolderItem* parent = At<FolderItem>(FolderList, 2);
    EXPECT_STREQ("C:\\APP\\", parent->Path);
    EXPECT_EQ(0, parent->TreeInstallation) << "the parent goes only when empty";

    // Folders made without a tree still merge into the outermost one.
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "Made Dir: C:\\A\\B", "Made Dir: C:\\A"})));
    ASSERT_EQ(2, FolderList.Count);
    EXPECT_STREQ("C:\\A\\", At<FolderItem>(FolderList, 1)->Path);
}

TEST(ReadError, IsNeverTheEndOfTheLog)
{
    std::string log = LogText({LOG_HEAD, "File Copy: C:\\APP\\A.DLL"});
    size_t failAt = log.size();
    log += LogText({"File Tree: C:\\APP\\DATA", "File Copy: C:\\APP\\B.DLL"});

    // Failing after a whole line, inside a line, and in the middle of a block.
    for (size_t at : {failAt, failAt + 15, failAt + 3}) {
        FreshRun();
        TableHost.ReadFailsAt = (int32_t)at;
        TableHost.ReadBlockLimit = 7;
        EXPECT_EQ(1, ReadText(log)) << at;
        EXPECT_EQ(1, TableHost.Refusals) << at;
        EXPECT_EQ("Msg4", TableHost.RefusalText) << at;
        EXPECT_EQ(0, TableHost.OpenFiles) << "the log is closed";
    }
    // The same log read whole is accepted.
    FreshRun();
    EXPECT_EQ(0, ReadText(log));
    EXPECT_EQ(2, FileList.Count);
}
