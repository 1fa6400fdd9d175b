#include "app/message_text.h"
#include "tests/native/fake_system.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace
{

std::string Expand(const char* text, int32_t size)
{
    std::vector<char> buffer((size_t)size + 8, '#');
    std::strncpy(buffer.data(), text, (size_t)size);
    buffer[(size_t)size - 1] = 0;
    ExpandSettingsText(buffer.data(), size);
    // Nothing past the buffer may change.
    for (size_t i = (size_t)size; i < buffer.size(); i++)
        EXPECT_EQ('#', buffer[i]) << "byte " << i << " past the buffer was written";
    return buffer.data();
}

TEST(MessageText, BarsBecomeLineBreaksAndTildesSpaces)
{
    EXPECT_EQ("Remove\r\nProgram One", Expand("Remove|Program~One", 256));
    EXPECT_EQ("\r\n\r\n  x", Expand("||~~x", 256));
    EXPECT_EQ("", Expand("", 256));
}

TEST(MessageText, ExpansionIsCutAtTheBuffer)
{
    EXPECT_EQ("ab\r\ncd", Expand("ab|cdef", 7));
    EXPECT_EQ(6u, Expand("ab|cdef", 7).size());
    // CR LF that would not fit as a whole is left out.
    EXPECT_EQ("abcd", Expand("abcd|", 6));
    EXPECT_EQ("abc", Expand("abc|", 5));
    std::string bars(300, '|');
    std::string out = Expand(bars.c_str(), 64);
    std::string pairs;
    for (int i = 0; i < 31; i++)
        pairs += "\r\n";
    EXPECT_EQ(pairs, out);
}

TEST(MessageText, SecondBytesOfDoubleByteCharactersStay)
{
    UseDoubleByteRule();
    // 0x81 0x7C and 0x81 0x7E are single characters ending in '|' and '~'.
    EXPECT_EQ("\x81\x7C\r\n\x81\x7E ", Expand("\x81\x7C|\x81\x7E~", 64));
    ResetFakeSystem();
}

TEST(MessageText, OnlyASingleDelIsMissing)
{
    EXPECT_EQ(1, IsMissingSettingsText("\x7F", 1));
    EXPECT_EQ(0, IsMissingSettingsText("\x7F\x7F", 2));
    EXPECT_EQ(0, IsMissingSettingsText("", 0));
    EXPECT_EQ(0, IsMissingSettingsText("a", 1));
}

} // namespace
