// Shortening progress paths to a control's width.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/fit_path.h"

// One unit per byte: a limit of n fits texts of fewer than n bytes.
static int32_t ByteWidth(const char*, int32_t len, void*)
{
    return len;
}

static const char* NextByte(const char* p)
{
    return p + 1;
}

static std::string Fit(const char* text, int32_t limit)
{
    char buffer[1024];
    std::strcpy(buffer, text);
    FitPathText(buffer, sizeof(buffer), limit, ByteWidth, nullptr, NextByte);
    return buffer;
}

TEST(FitPath, FoldsLeadingFoldersThenCutsTheEnd)
{
    const char* path = "C:\\Program Files\\Common\\X.DLL";
    EXPECT_EQ(path, Fit(path, 100));
    EXPECT_EQ("C:\\...\\Common\\X.DLL", Fit(path, 29));
    EXPECT_EQ("C:\\...\\X.DLL", Fit(path, 19));
    EXPECT_EQ("C:\\...\\X...", Fit(path, 12));
}

TEST(FitPath, ShortFirstFolderIsNotFoldedButCut)
{
    EXPECT_EQ("C:\\A\\BBBB\\file...", Fit("C:\\A\\BBBB\\file.txt", 18));
    EXPECT_EQ("C:\\A\\BBBB\\fil...", Fit("C:\\A\\BBBB\\file.txt", 17));
}

TEST(FitPath, OnlyThePathPartAfterTheHeadingChanges)
{
    EXPECT_EQ("Deleting:\r\nC:\\...\\X.DLL",
              Fit("Deleting:\r\nC:\\Program Files\\Common\\X.DLL", 19));
    // A width equal to the limit is too wide.
    EXPECT_EQ("ABCDEFGH...", Fit("ABCDEFGHIJKL", 12));
}

TEST(FitPath, StopsWhenNothingShorterCanBeMade)
{
    // Four characters are the floor: one and the ellipsis.
    std::string r = Fit("C:\\VERYLONGNAME.TXT", 2);
    EXPECT_EQ("C...", r);
    // A path part longer than the work buffers is cut safely.
    std::string longPath = "C:\\" + std::string(600, 'a');
    r = Fit(longPath.c_str(), 50);
    EXPECT_LT(r.size(), 50u);
}
