// Filling a message with one text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/text_format.h"

TEST(TextFormat, OnlyTheFirstPercentSIsReplaced)
{
    char out[64];
    EXPECT_EQ(11, FormatWithText(out, sizeof(out), "a %s b %s %d", "X"));
    EXPECT_STREQ("a X b %s %d", out);
    FormatWithText(out, sizeof(out), "100%% %s%n", "ok");
    EXPECT_STREQ("100% ok%n", out);
    FormatWithText(out, sizeof(out), "no field", "X");
    EXPECT_STREQ("no field", out);
    FormatWithText(out, sizeof(out), "ends in %", "X");
    EXPECT_STREQ("ends in %", out);
}

TEST(TextFormat, LongResultsAreCutAtSizeMinusOne)
{
    char out[8];
    std::string text(100, 'p');
    memset(out, '#', sizeof(out));
    EXPECT_EQ(7, FormatWithText(out, sizeof(out), "[%s]", text.c_str()));
    EXPECT_STREQ("[pppppp", out);
    EXPECT_EQ(0, FormatWithText(out, 1, "abc", "X"));
    EXPECT_STREQ("", out);
}
