// Reading and lowering usage counters.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/counters.h"
#include "tests/native/fake_system.h"

static int32_t ParseText(const char* text, int32_t* count)
{
    return ParseCounterValue(CounterTypeText, (const uint8_t*)text, (uint32_t)strlen(text) + 1,
                             count);
}

TEST(CounterValue, TextIsSignedDecimalUpToTheFirstOtherCharacter)
{
    struct {
        const char* text;
        int32_t expected;
    } cases[] = {{"3", 3},
                 {"  12", 12},
                 {"\t7x9", 7},
                 {"-4", -4},
                 {"+5", 5},
                 {"abc", 0},
                 {"", 0},
                 {"- 3", 0},
                 {"0012", 12},
                 {"99999999999", 2147483647},
                 {"-99999999999", -2147483647 - 1}};
    for (auto& c : cases) {
        int32_t count = 12345;
        EXPECT_EQ(1, ParseText(c.text, &count)) << c.text;
        EXPECT_EQ(c.expected, count) << "text \"" << c.text << "\"";
    }
}

TEST(CounterValue, TextWithoutTerminatorStaysInsideItsSize)
{
    // "12" followed by digits that lie outside the value's size.
    const char data[] = "1299";
    int32_t count = 0;
    EXPECT_EQ(1, ParseCounterValue(CounterTypeText, (const uint8_t*)data, 2, &count));
    EXPECT_EQ(12, count);
}

TEST(CounterValue, DwordAndFourByteBinaryAreLittleEndian)
{
    const uint8_t bytes[4] = {0x02, 0x01, 0x00, 0x00};
    int32_t count = 0;
    EXPECT_EQ(1, ParseCounterValue(CounterTypeDword, bytes, 4, &count));
    EXPECT_EQ(0x102, count);
    count = 0;
    EXPECT_EQ(1, ParseCounterValue(CounterTypeBinary, bytes, 4, &count));
    EXPECT_EQ(0x102, count);
    const uint8_t negative[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(1, ParseCounterValue(CounterTypeDword, negative, 4, &count));
    EXPECT_EQ(-1, count);
}

TEST(CounterValue, OtherTypesAndSizesAreNoCounter)
{
    const uint8_t bytes[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    int32_t count = 77;
    EXPECT_EQ(0, ParseCounterValue(CounterTypeBinary, bytes, 3, &count));
    EXPECT_EQ(0, ParseCounterValue(CounterTypeBinary, bytes, 8, &count));
    EXPECT_EQ(0, ParseCounterValue(CounterTypeDword, bytes, 2, &count));
    EXPECT_EQ(0, ParseCounterValue(2 /* REG_EXPAND_SZ */, bytes, 4, &count));
    EXPECT_EQ(0, ParseCounterValue(7 /* REG_MULTI_SZ */, bytes, 4, &count));
    EXPECT_EQ(77, count);
}

TEST(CounterValue, LoweringSubtractsCopiesOrOneInARollBackNeverBelowZero)
{
    EXPECT_EQ(2, LoweredCount(3, 1, 0));
    EXPECT_EQ(0, LoweredCount(3, 3, 0));
    EXPECT_EQ(0, LoweredCount(3, 5, 0));
    EXPECT_EQ(2, LoweredCount(3, 5, 1));
    EXPECT_EQ(0, LoweredCount(1, 5, 1));
    EXPECT_EQ(3, LoweredCount(3, 0, 0));
    // Damaged numbers from the log must not wrap around.
    EXPECT_EQ(2147483647, LoweredCount(2147483647, -5, 0));
    EXPECT_EQ(0, LoweredCount(-2147483647 - 1, 2147483647, 0));
}

TEST(CounterValue, NamesTheRegistryTakesForTheSameShareTheirSignature)
{
    const char* const same[][2] = {
        {"C:\\WINDOWS\\SYSTEM\\KSHARED.DLL", "c:\\windows\\system\\kshared.dll"},
        // A double-byte name in another case of its letters.
        {"C:\\\xA3\xC1PP\\X.DLL", "C:\\\xA3\xE1pp\\x.dll"},
        // A single-byte letter beyond ASCII in either case, then any byte.
        {"C:\\\xC9T\\X.DLL", "C:\\\xE9t\\X.DLL"},
        // A character the system could not map.
        {"C:\\?\\X.DLL", "C:\\\xD6\xD0\\X.DLL"},
    };
    // As a double-byte code page steps them, and as a single-byte one does.
    for (bool doubleByte : {true, false}) {
        if (doubleByte)
            UseDoubleByteRule();
        for (const auto& pair : same)
            EXPECT_EQ(CounterNameSignature(pair[0]), CounterNameSignature(pair[1]))
                << pair[0] << " / " << pair[1] << " double-byte " << doubleByte;
        ResetFakeSystem();
    }
    // Dotless i (code page 1254) is the registry's I.
    EXPECT_EQ(CounterNameSignature("C:\\F\xFDLE.DLL"), CounterNameSignature("C:\\FILE.DLL"));
    EXPECT_NE(CounterNameSignature("C:\\APP\\A.DLL"), CounterNameSignature("C:\\APP\\B.DLL"));
    EXPECT_NE(CounterNameSignature("C:\\APP\\A.DLL"), CounterNameSignature("C:\\APP\\A.DLX"));
    EXPECT_NE(CounterNameSignature("C:\\APP1\\A.DLL"), CounterNameSignature("C:\\APP2\\A.DLL"));
}
