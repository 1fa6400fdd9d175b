#include "log/path_helpers.h"
#include "tests/native/fake_system.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace
{

const std::vector<FakeEntry> Tree = {
    {"C:", "", 0x10},
    {"C:\\Program Files", "PROGRA~1", 0x10},
    {"C:\\Program Files\\Sample", "", 0x10},
    {"C:\\Program Files\\Sample\\Install Log.txt", "INSTAL~1.TXT", 0x20},
    {"C:\\APP", "", 0x10},
    {"C:\\APP\\INSTALL.LOG", "", 0x20},
    {"\\\\server\\share", "", 0x10},
    {"\\\\server\\share\\Long Folder", "LONGFO~1", 0x10},
    {"C:\\Work Dir", "WORKDI~1", 0x10},
    {"C:\\Work Dir\\INSTALL.LOG", "", 0x20},
};

class PathHelpers : public ::testing::Test
{
  protected:
    void SetUp() override { UseFakeSystem(Tree, "C:\\Work Dir"); }
    void TearDown() override { ResetFakeSystem(); }
    std::string Convert(const char* in, int32_t mode)
    {
        char buffer[PathBufferSize];
        CopyText(buffer, in, sizeof buffer);
        ConvertPathNames(buffer, mode);
        return buffer;
    }
};

TEST_F(PathHelpers, LongAndShortFormsOfExistingFolders)
{
    EXPECT_EQ("C:\\Program Files\\Sample", Convert("C:\\Program Files\\Sample", ToLong));
    EXPECT_EQ("C:\\Program Files\\Sample\\", Convert("C:\\PROGRA~1\\SAMPLE\\", ToLong));
    EXPECT_EQ("C:\\PROGRA~1\\Sample\\INSTAL~1.TXT",
              Convert("C:\\Program Files\\Sample\\Install Log.txt", ToShort));
    EXPECT_EQ("C:\\Program Files\\Sample\\Install Log.txt",
              Convert("c:\\progra~1\\sample\\instal~1.txt", ToLong));
}

TEST_F(PathHelpers, MissingComponentsStayAndLaterOnesAreStillTried)
{
    EXPECT_EQ("C:\\new\\sub", Convert("c:\\new\\sub", ToShort));
    // "none" is missing, so the components after it cannot be found either.
    EXPECT_EQ("C:\\PROGRA~1\\none\\Sample", Convert("C:\\Program Files\\none\\Sample", ToShort));
}

TEST_F(PathHelpers, BareNameGetsTheCurrentDirectory)
{
    EXPECT_EQ("C:\\WORKDI~1\\INSTALL.LOG", Convert("INSTALL.LOG", ToShort));
    UseFakeSystem(Tree, "C:\\");
    EXPECT_EQ("C:\\APP", Convert("app", ToShort));
}

TEST_F(PathHelpers, NetworkPathConvertsOnlyBelowTheShare)
{
    EXPECT_EQ("\\\\server\\share\\LONGFO~1", Convert("\\\\server\\share\\Long Folder", ToShort));
    EXPECT_EQ("\\\\server\\share\\Long Folder\\", Convert("\\\\server\\share\\LONGFO~1\\", ToLong));
}

TEST_F(PathHelpers, WildcardTakesTheFirstMatch)
{
    EXPECT_EQ("C:\\APP\\INSTALL.LOG", Convert("C:\\APP\\*.LOG", ToShort));
}

TEST_F(PathHelpers, LongFormThatWouldOverflowKeepsTheShortComponent)
{
    std::string deep = "C:\\PROGRA~1\\" + std::string(240, 'x');
    char buffer[PathBufferSize];
    CopyText(buffer, deep.c_str(), sizeof buffer);
    ConvertPathNamesBounded(buffer, 250, ToLong);
    EXPECT_LT(std::strlen(buffer), 250u);
    EXPECT_EQ(0, std::strncmp(buffer, "C:\\PROGRA~1\\xxx", 15)) << buffer;
}

TEST_F(PathHelpers, FileNamePartAndMissing)
{
    char a[] = "C:\\A\\B.TXT", b[] = "B.TXT", c[] = "C:\\A\\";
    EXPECT_STREQ("B.TXT", FileNamePart(a));
    EXPECT_EQ(b, FileNamePart(b));
    EXPECT_STREQ("", FileNamePart(c));
    EXPECT_EQ(c + 5, FileNamePart(c));
    EXPECT_EQ(0, PathMissing("C:\\APP"));
    EXPECT_EQ(0, PathMissing("C:\\APP\\INSTALL.LOG"));
    EXPECT_EQ(-1, PathMissing("C:\\NOPE"));
}

TEST_F(PathHelpers, BoundedCopyCutsTakesNullAndOverlaps)
{
    char out[6];
    CopyText(out, "ABCDEFGH", sizeof out);
    EXPECT_STREQ("ABCDE", out);
    CopyText(out, nullptr, sizeof out);
    EXPECT_STREQ("", out);
    char shift[] = "C:\\APP\\X";
    CopyText(shift, shift + 3, sizeof shift);
    EXPECT_STREQ("APP\\X", shift);
    out[0] = 'Z';
    CopyText(out, "A", 0);
    EXPECT_EQ('Z', out[0]);
    char none[] = "NAME.TXT";
    EXPECT_EQ(nullptr, LastBackslash(none));
    char root[] = "C:\\";
    EXPECT_EQ(root + 2, LastBackslash(root));
}

TEST_F(PathHelpers, FindCharSkipsSecondBytesOfDoubleByteCharacters)
{
    UseDoubleByteRule();
    // 0x81 0x5C is one character whose second byte is '\'; 0x95 0x7C ends in '|'.
    const char text[] = "\x81\x5C"
                        "a\x95\x7C"
                        "b\\c|";
    EXPECT_EQ(text + 6, FindCharMb(text, '\\'));
    EXPECT_EQ(text + 8, FindCharMb(text, '|'));
    EXPECT_EQ(nullptr, FindCharMb("\x81\x5C", '\\'));
    // A lead byte at the very end does not step past the terminator.
    EXPECT_EQ(nullptr, FindCharMb("ab\x81", '\\'));
}

} // namespace

TEST(PathExtension, LastBytesTellTheExtensionEvenAfterDoubleByteNames)
{
    EXPECT_TRUE(HasExtension("C:\\APP\\HELP.HLP", ".HLP"));
    EXPECT_TRUE(HasExtension("C:\\APP\\help.hlp", ".HLP"));
    EXPECT_TRUE(HasExtension("C:\\\xD6\xD0\xCE\xC4.lnk", ".LNK"));
    EXPECT_FALSE(HasExtension("C:\\APP\\HELPHLP", ".HLP"));
    EXPECT_FALSE(HasExtension("C:\\APP\\HELP.HLPX", ".HLP"));
    EXPECT_FALSE(HasExtension(".HLP", ".HLP")) << "a name is needed before the extension";
    EXPECT_FALSE(HasExtension("", ".HLP"));
}
