// Registry data from its logged text form to the bytes that are written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/regdata.h"

static std::string Bytes(int32_t type, const char* text, int32_t size = 64)
{
    char buffer[64] = {0};
    std::memcpy(buffer, text, std::strlen(text) + 1);
    int32_t n = RegistryDataBytes(type, buffer, size);
    return std::string(buffer, (size_t)n);
}

TEST(RegistryData, DwordTextBecomesLittleEndianNumber)
{
    EXPECT_EQ(std::string("\xD2\x04\x00\x00", 4), Bytes(RegTypeDword, "1234"));
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), Bytes(RegTypeDword, "-1"));
    EXPECT_EQ(std::string("\x00\x00\x00\x00", 4), Bytes(RegTypeDword, "abc"));
    EXPECT_EQ(std::string("\x2A\x00\x00\x00", 4), Bytes(RegTypeDword, "  +42xyz"));
    // 4294967295 wraps to the same bits as -1, as a 32-bit conversion does.
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), Bytes(RegTypeDword, "4294967295"));
}

TEST(RegistryData, BinaryPairsHexDigitsAndSkipsTheRest)
{
    EXPECT_EQ(std::string("\x0A\xFF", 2), Bytes(RegTypeBinary, "0a ff,3"));
    EXPECT_EQ(std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8),
              Bytes(RegTypeBinary, "01 23 45 67 89 ab CD ef"));
    EXPECT_EQ(std::string(), Bytes(RegTypeBinary, "zz"));
    EXPECT_EQ(std::string(), Bytes(RegTypeBinary, ""));
}

TEST(RegistryData, StringsKeepTheirTerminators)
{
    EXPECT_EQ(std::string("abc\0", 4), Bytes(RegTypeSz, "abc"));
    EXPECT_EQ(std::string("%WINDIR%\0", 9), Bytes(RegTypeExpandSz, "%WINDIR%"));
    char list[16] = {'a', 0, 'b', 'c', 0, 0, 'x', 'x'};
    EXPECT_EQ(6, RegistryDataBytes(RegTypeMultiSz, list, sizeof(list)));
    char one[16] = {'s', 0, 0};
    EXPECT_EQ(3, RegistryDataBytes(RegTypeMultiSz, one, sizeof(one)));
}

TEST(RegistryData, NeverReadsPastTheBuffer)
{
    // No terminator anywhere in the buffer: the count stays within it.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(4, RegistryDataBytes(RegTypeSz, full, 4));
    EXPECT_EQ(4, RegistryDataBytes(RegTypeMultiSz, full, 4));
    char hex[4] = {'1', '2', '3', '4'};
    EXPECT_EQ(2, RegistryDataBytes(RegTypeBinary, hex, 4));
    char small[2] = {'1', 0};
    EXPECT_EQ(0, RegistryDataBytes(RegTypeDword, small, 2));
}
