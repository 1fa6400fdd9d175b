#include "log/path_helpers.h"
#include "platform/system_rules.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

namespace
{

// Real folders with long and short names, made under the temporary directory.
class PathNames : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        UseSystemRules();
        char directory[MAX_PATH];
        GetTempPathA(sizeof directory, directory);
        base = std::string(directory) + "ktr path test";
        CreateDirectoryA(base.c_str(), nullptr);
        CreateDirectoryA((base + "\\Long Folder Name").c_str(), nullptr);
        HANDLE f = CreateFileA((base + "\\Long Folder Name\\Install Log File.txt").c_str(),
                               GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
        char shortBase[MAX_PATH];
        GetShortPathNameA(base.c_str(), shortBase, sizeof shortBase);
        shortForm = shortBase;
    }
    void TearDown() override
    {
        DeleteFileA((base + "\\Long Folder Name\\Install Log File.txt").c_str());
        RemoveDirectoryA((base + "\\Long Folder Name").c_str());
        RemoveDirectoryA(base.c_str());
    }
    std::string Convert(const std::string& in, int mode)
    {
        char buffer[PathBufferSize];
        CopyText(buffer, in.c_str(), sizeof buffer);
        ConvertPathNames(buffer, mode);
        return buffer;
    }
    std::string base, shortForm;
};

TEST_F(PathNames, ShortAndBackAgree)
{
    std::string file = base + "\\Long Folder Name\\Install Log File.txt";
    char expected[MAX_PATH];
    GetShortPathNameA(file.c_str(), expected, sizeof expected);
    std::string shortPath = Convert(file, ToShort);
    EXPECT_STREQ(expected, shortPath.c_str());
    EXPECT_EQ(std::string::npos, shortPath.find(' ')) << shortPath;
    EXPECT_EQ(0, lstrcmpiA(file.c_str(), Convert(shortPath, ToLong).c_str()));
    // No '~' means long already, even when the case differs.
    std::string upper = file;
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    upper[0] = 'c';
    EXPECT_EQ(upper, Convert(upper, ToLong));
}

TEST_F(PathNames, TrailingBackslashAndMissingPartsStay)
{
    std::string folder = base + "\\Long Folder Name\\";
    std::string shortFolder = Convert(folder, ToShort);
    EXPECT_EQ('\\', shortFolder.back());
    std::string missing = folder + "not here\\deeper";
    std::string converted = Convert(missing, ToShort);
    EXPECT_EQ(shortFolder + "not here\\deeper", converted);
    EXPECT_EQ("C:\\new\\sub", Convert("c:\\new\\sub", ToShort));
}

TEST_F(PathNames, BareNameTakesTheCurrentDirectory)
{
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA((base + "\\Long Folder Name").c_str());
    std::string converted = Convert("Install Log File.txt", ToShort);
    SetCurrentDirectoryA(saved);
    char expected[MAX_PATH];
    GetShortPathNameA((base + "\\Long Folder Name\\Install Log File.txt").c_str(), expected,
                      sizeof expected);
    EXPECT_STREQ(expected, converted.c_str());
}

TEST_F(PathNames, NetworkPathKeepsServerAndShare)
{
    // No such server: only the components below the share are tried, and stay.
    EXPECT_EQ("\\\\nosuchserver\\share\\Long Dir",
              Convert("\\\\nosuchserver\\share\\Long Dir", ToShort));
}

TEST_F(PathNames, MissingAndNamePart)
{
    EXPECT_EQ(0, PathMissing(base.c_str()));
    EXPECT_EQ(0, PathMissing((base + "\\Long Folder Name\\Install Log File.txt").c_str()));
    EXPECT_EQ(-1, PathMissing((base + "\\nothing").c_str()));
    std::string file = base + "\\Long Folder Name\\Install Log File.txt";
    EXPECT_STREQ("Install Log File.txt", FileNamePart(file.c_str()));
}

TEST_F(PathNames, DoubleByteSecondBytesAreNotBackslashes)
{
    // Only meaningful in a double-byte ANSI code page: the tests run in 936,
    // and a run in any other page tests nothing here.
    ASSERT_EQ(936u, GetACP()) << "the Wine tests run with LC_ALL=zh_CN.UTF-8";
    // 0x81 0x5C: one character whose second byte is a backslash.
    const char text[] = "\x81\x5C"
                        "a\\b";
    EXPECT_EQ(text + 3, FindCharMb(text, '\\'));
}

} // namespace
