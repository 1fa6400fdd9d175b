// Repair data of file lines, restore list lines, installer attributes and
// the running CRC-32.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/crc_table.h"
#include "repair/crc32.h"
#include "repair/repair_data.h"
#include "tests/native/fake_system.h"

static const char* Sample = " 03-15-2003 | 12:16:00 | 1.2.0.0 | 123456 | 89abcdef";

TEST(RepairData, FieldsAtTheirOffsetsGiveDosDateTimeSizeAndCrc)
{
    RepairFields f;
    ASSERT_EQ(0, ParseRepairData(Sample, &f));
    EXPECT_EQ(11887, f.Date); // 15 | 3 << 5 | 23 << 9
    EXPECT_EQ(25088, f.Time); // 12 << 11 | 16 << 5
    EXPECT_EQ(123456, f.Size);
    EXPECT_EQ(0x89abcdefu, f.Crc);
    // Odd seconds fall to the two-second step of the DOS form.
    ASSERT_EQ(0, ParseRepairData("12-31-1999 | 23:59:59 | x | 0 | 0", &f));
    EXPECT_EQ(31 | 12 << 5 | 19 << 9, f.Date);
    EXPECT_EQ(23 << 11 | 59 << 5 | 29, f.Time);
}

TEST(RepairData, ShortTextsAndMissingFields)
{
    RepairFields f;
    f.Size = 99;
    EXPECT_EQ(1, ParseRepairData("03-15-2003 | 12:16:0", &f)); // 20 characters
    EXPECT_EQ(0, f.Date);
    EXPECT_EQ(0, f.Size);
    ASSERT_EQ(0, ParseRepairData("03-15-2003 | 12:16:00", &f));
    EXPECT_EQ(11887, f.Date);
    EXPECT_EQ(0, f.Size);
    EXPECT_EQ(0u, f.Crc);
    ASSERT_EQ(0, ParseRepairData(" 03-15-2003 | 12:16:00 | v | 77", &f));
    EXPECT_EQ(77, f.Size);
    EXPECT_EQ(0u, f.Crc);
    // Leading spaces move every offset; a time past the end reads as 0.
    ASSERT_EQ(0, ParseRepairData("          03-15-2003 |", &f));
    EXPECT_EQ(11887, f.Date);
    EXPECT_EQ(0, f.Time);
}

TEST(RepairData, CrcDigitsStopAtTheFirstOtherCharacter)
{
    RepairFields f;
    ASSERT_EQ(0, ParseRepairData(" 03-15-2003 | 12:16:00 | v | 1 |   00ff10 trailing", &f));
    EXPECT_EQ(0x00ff10u, f.Crc);
    ASSERT_EQ(0, ParseRepairData(" 03-15-2003 | 12:16:00 | v | 1 | 0", &f));
    EXPECT_EQ(0u, f.Crc);
}

TEST(RepairData, ListLineAndTail)
{
    char line[512];
    EXPECT_STREQ(" 123456 | 89abcdef", RepairDataTail(Sample));
    EXPECT_STREQ("", RepairDataTail(" 03-15-2003 | 12:16:00"));
    int32_t n = FormatRestoreLine(line, sizeof line, "C:\\APP\\X.DLL", 11887, 25088,
                                  RepairDataTail(Sample));
    EXPECT_STREQ("C:\\APP\\X.DLL|11887|25088| 123456 | 89abcdef\r\n", line);
    EXPECT_EQ((int32_t)std::strlen(line), n);
    // A line that does not fit is not written at all, never cut.
    EXPECT_EQ(-1, FormatRestoreLine(line, 20, "C:\\APP\\X.DLL", 11887, 25088, " 1 | 2"));
    EXPECT_STREQ("", line);
}

TEST(RepairData, NewerFileQuestionTexts)
{
    char text[128];
    RecordedStampText(text, sizeof text, Sample);
    EXPECT_STREQ(" 03-15-2003  12:16:00 ", text);
    RecordedStampText(text, sizeof text, "no bars at all in this");
    EXPECT_STREQ("no bars at all in this", text);
    CurrentStampText(text, sizeof text, 11887, 25088 | 7);
    EXPECT_STREQ(" 03-15-2003  12:16:14 ", text);
    // Two-digit rule: years below 60 are 20xx, the rest 19xx.
    EXPECT_EQ(2059, DosYear((uint16_t)(79 << 9 | 1 << 5 | 1)));
    EXPECT_EQ(1960, DosYear((uint16_t)(80 << 9 | 1 << 5 | 1)));
    EXPECT_EQ(1980, DosYear((uint16_t)(0 << 9 | 1 << 5 | 1)));
    const char* texts[3] = {"A", "B", "C"};
    FormatWithTexts(text, sizeof text, "%s-%s 100%% %s %s", texts, 3);
    EXPECT_STREQ("A-B 100% C ", text);
    FormatWithTexts(text, 6, "%s%s%s", texts, 3);
    EXPECT_STREQ("ABC", text);
    FormatWithTexts(text, 3, "%s%s%s", texts, 3);
    EXPECT_STREQ("AB", text);
}

TEST(RepairData, SourceTextAndInstallerAttributes)
{
    char path[260], attributes[256], shown[256], made[64];
    SplitSourceText("C:\\SRC\\SETUP.EXE | 03-15-2003 | 12:16:00 | 1234567", path, sizeof path,
                    attributes, sizeof attributes);
    EXPECT_STREQ("C:\\SRC\\SETUP.EXE", path);
    EXPECT_STREQ("03-15-2003 | 12:16:00 | 1234567", attributes);
    InstallerAttributesText(made, sizeof made, 11887, 25088, 1234567);
    EXPECT_STREQ(attributes, made);
    PromptAttributesText(shown, sizeof shown, attributes);
    EXPECT_STREQ("03-15-2003 / 12:16:00 / 1234567", shown);
    // Without a bar there are no attributes: the user is always asked.
    SplitSourceText("C:\\SRC\\SETUP.EXE ", path, sizeof path, attributes, sizeof attributes);
    EXPECT_STREQ("C:\\SRC\\SETUP.EXE", path);
    EXPECT_STREQ("", attributes);
}

TEST(RepairData, DoubleByteTrailBytesAreNotBars)
{
    UseDoubleByteRule();
    // 0x81 0x7C is one character whose second byte equals '|'.
    char path[260], attributes[256];
    SplitSourceText("C:\\\x81|SETUP.EXE|x", path, sizeof path, attributes, sizeof attributes);
    EXPECT_STREQ("C:\\\x81|SETUP.EXE", path);
    EXPECT_STREQ("x", attributes);
    ResetFakeSystem();
}

static uint32_t CrcOf(const std::string& bytes, size_t step)
{
    uint32_t crc = 0;
    Crc32Update(nullptr, 0);
    for (size_t at = 0; at < bytes.size(); at += step)
        crc = Crc32Update(bytes.data() + at, (int32_t)std::min(step, bytes.size() - at));
    return crc;
}

TEST(Crc32, StandardCheckValueAndAnyBlockSplit)
{
    ASSERT_EQ(0, MakeCrcTable());
    EXPECT_EQ(0xCBF43926u, CrcOf("123456789", 9));
    EXPECT_EQ(0u, Crc32Update(nullptr, 0));
    std::string bytes;
    for (int i = 0; i < 100003; i++)
        bytes.push_back((char)(i * 131 + (i >> 7)));
    uint32_t whole = CrcOf(bytes, bytes.size());
    // The eight-byte steps and the byte steps must agree whatever the split.
    for (size_t step : {1, 3, 7, 8, 9, 16384})
        EXPECT_EQ(whole, CrcOf(bytes, step)) << "block size " << step;
    uint32_t bytewise = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        bytewise = (bytewise >> 8) ^ CrcTable[(bytewise ^ b) & 0xFF];
    EXPECT_EQ(~bytewise, whole);
    FreeCrcTable();
}

// Long blocks take the carry-less path where the processor has it: every
// length around its 16- and 64-byte steps, from every alignment, must give
// what the byte-at-a-time table gives.
TEST(Crc32, EveryLengthAndAlignmentAgreesWithTheTable)
{
    ASSERT_EQ(0, MakeCrcTable());
    std::string bytes;
    uint32_t seed = 99;
    for (int i = 0; i < 700; i++) {
        seed = seed * 1103515245u + 12345u;
        bytes.push_back((char)(seed >> 24));
    }
    for (size_t start = 0; start < 16; start += 5)
        for (size_t length = 0; length + start <= bytes.size(); length += (length < 200 ? 1 : 37)) {
            uint32_t expected = 0xFFFFFFFFu;
            for (size_t i = start; i < start + length; i++)
                expected = (expected >> 8) ^ CrcTable[(expected ^ (unsigned char)bytes[i]) & 0xFF];
            ASSERT_EQ(~expected, CrcOf(bytes.substr(start, length), length ? length : 1))
                << "start " << start << " length " << length;
        }
    // A register carried from one long block into the next.
    std::string twice = bytes + bytes;
    EXPECT_EQ(CrcOf(twice, twice.size()), CrcOf(twice, 640));
    FreeCrcTable();
}
