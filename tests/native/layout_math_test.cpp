#include "app/crc_table.h"
#include "app/layout_math.h"

#include <gtest/gtest.h>
#include <climits>

namespace
{

TEST(Gradient, BandsRunFromStartToEndColour)
{
    // Black to white: band 1 is 255 / 95 = 2.
    EXPECT_EQ(0, GradientComponent(0, 255, 0));
    EXPECT_EQ(2, GradientComponent(0, 255, 1));
    EXPECT_EQ(255, GradientComponent(0, 255, 95));
    // Default blue to black: truncation toward zero of a negative step.
    EXPECT_EQ(255, GradientComponent(255, -255, 0));
    EXPECT_EQ(253, GradientComponent(255, -255, 1));
    EXPECT_EQ(0, GradientComponent(255, -255, 95));
}

TEST(Gradient, ValuesOutsideTheRangeAreLimitedPerBand)
{
    // Start red 300 fading to 0: 255 until the interpolation comes below 255.
    EXPECT_EQ(255, GradientComponent(300, -300, 0));
    EXPECT_EQ(255, GradientComponent(300, -300, 14));
    EXPECT_EQ(253, GradientComponent(300, -300, 15));
    EXPECT_EQ(0, GradientComponent(-50, 0, 40));
    // Extreme settings do not overflow.
    EXPECT_EQ(255, GradientComponent(INT_MAX, INT_MAX, 95));
    EXPECT_EQ(0, GradientComponent(INT_MIN, INT_MIN, 95));
}

TEST(Gradient, BandEdgesCoverTheClientArea)
{
    EXPECT_EQ(8, GradientBandBottom(0, 768));
    EXPECT_EQ(768, GradientBandBottom(95, 768));
    // Below 96 rows some bands have no height.
    EXPECT_EQ(0, GradientBandBottom(0, 50));
    EXPECT_EQ(GradientBandBottom(1, 50), GradientBandBottom(0, 50) + 1);
    EXPECT_EQ(50, GradientBandBottom(95, 50));
    int previous = -1;
    for (int i = 0; i < 96; i++) {
        int bottom = GradientBandBottom(i, 1000);
        EXPECT_LE(bottom - previous, 12);
        previous = bottom;
    }
}

TEST(Scaling, WideningRule)
{
    // A dialog at 60..360 becomes 70..420; a control at 10..110 becomes 11..128.
    EXPECT_EQ(70, WidenCoordinate(60));
    EXPECT_EQ(420, WidenCoordinate(360));
    EXPECT_EQ(11, WidenCoordinate(10));
    EXPECT_EQ(128, WidenCoordinate(110));
    EXPECT_EQ(-8, WidenCoordinate(-7));
    EXPECT_EQ(5, WidenCoordinate(5));
}

TEST(Scaling, FontHeightRoundsLikeMulDiv)
{
    EXPECT_EQ(-11, DialogFontHeight(8, 96));
    EXPECT_EQ(-8, DialogFontHeight(8, 72));
    EXPECT_EQ(-59, DialogFontHeight(44, 96));
    EXPECT_EQ(3, MulDivRound(5, 1, 2));
    EXPECT_EQ(-3, MulDivRound(-5, 1, 2));
    EXPECT_EQ(-3, MulDivRound(5, 1, -2));
    EXPECT_EQ(-1, MulDivRound(1, 1, 0));
}

TEST(StartupBar, FillFollowsTheBytesRead)
{
    EXPECT_EQ(0, StartupBarFill(200, 0, 1000));
    EXPECT_EQ(100, StartupBarFill(200, 500, 1000));
    EXPECT_EQ(200, StartupBarFill(200, 1000, 1000));
    EXPECT_EQ(0, StartupBarFill(200, 10, 0));
    EXPECT_EQ(0, StartupBarFill(200, 10, -5));
    // A log of 100 MB does not wrap the product around 32 bits.
    EXPECT_EQ(100, StartupBarFill(200, 50000000, 100000000));
    EXPECT_EQ(200, StartupBarFill(200, 2000, 1000));
}

TEST(Crc, TableIsTheStandardReflectedOne)
{
    uint32_t table[256];
    FillCrcTable(table);
    EXPECT_EQ(0u, table[0]);
    EXPECT_EQ(0x77073096u, table[1]);
    EXPECT_EQ(0xEDB88320u, table[128]);
    EXPECT_EQ(0x2D02EF8Du, table[255]);
    // CRC-32 of "123456789" is 0xCBF43926.
    uint32_t crc = 0xFFFFFFFFu;
    for (const char* p = "123456789"; *p; p++)
        crc = table[(crc ^ (uint8_t)*p) & 0xFF] ^ (crc >> 8);
    EXPECT_EQ(0xCBF43926u, crc ^ 0xFFFFFFFFu);
    EXPECT_EQ(0, MakeCrcTable());
    EXPECT_EQ(table[77], CrcTable[77]);
    FreeCrcTable();
    EXPECT_EQ(nullptr, CrcTable);
}

} // namespace
