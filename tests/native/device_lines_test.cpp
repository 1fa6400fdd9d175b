// Commenting out device lines of SYSTEM.INI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device_lines.h"

static const char* Full = "C:\\WINDOWS\\SYSTEM\\VXD1.386";
static const char* Rel = "VXD1.386";

static std::string Edit(const std::string& in, uint32_t* changed)
{
    std::vector<char> out(DeviceEditCapacity((uint32_t)in.size()) + 1, '#');
    uint32_t n =
        CommentOutDeviceLines(in.data(), (uint32_t)in.size(), Rel, Full, out.data(), changed);
    EXPECT_LE(n, DeviceEditCapacity((uint32_t)in.size()));
    return std::string(out.data(), n);
}

TEST(DeviceLines, BothFormsAreCommentedOnlyInside386Enh)
{
    std::string in = "[boot]\r\ndevice=VXD1.386\r\n"
                     "[386enh]\r\n"
                     "device=VXD1.386\r\n"
                     "  DEVICE=c:\\windows\\system\\vxd1.386\r\n"
                     "device=VXD10.386\r\n"
                     "device=*vmm\r\n"
                     "[other]\r\ndevice=VXD1.386\r\n";
    uint32_t changed = 0;
    std::string out = Edit(in, &changed);
    EXPECT_EQ(2u, changed);
    EXPECT_EQ("[boot]\r\ndevice=VXD1.386\r\n"
              "[386enh]\r\n"
              ";device=VXD1.386\r\n"
              ";  DEVICE=c:\\windows\\system\\vxd1.386\r\n"
              "device=VXD10.386\r\n"
              "device=*vmm\r\n"
              "[other]\r\ndevice=VXD1.386\r\n",
              out);
}

TEST(DeviceLines, NoMatchGivesTheSameBytes)
{
    static const char raw[] = "[386Enh]\r\ndevice=other.386\n\xff\xfe\x00\x01zz\r\rlast";
    std::string in(raw, sizeof(raw) - 1);
    uint32_t changed = 7;
    EXPECT_EQ(in, Edit(in, &changed));
    EXPECT_EQ(0u, changed);
}

TEST(DeviceLines, LongLinesLineEndsAndALastLineWithoutEndSurvive)
{
    std::string longLine = "key=" + std::string(600, 'x');
    std::string in = "[386Enh]\n" + longLine + "\r\n" + std::string(300, ' ') +
                     "device=VXD1.386\r" + "tail=\xb0\xa1" + "\r\n" + "device=VXD1.386";
    uint32_t changed = 0;
    std::string out = Edit(in, &changed);
    EXPECT_EQ(2u, changed);
    EXPECT_EQ("[386Enh]\n" + longLine + "\r\n;" + std::string(300, ' ') + "device=VXD1.386\r" +
                  "tail=\xb0\xa1" + "\r\n;device=VXD1.386",
              out);
}

TEST(DeviceLines, SectionEndsAtAnyBracketLineAndOnlyWholeNamesMatch)
{
    std::string in = "[386Enh]\r\ndevice=VXD1.386 \r\ndevice=VXD1.38\r\n"
                     "  [x\r\ndevice=VXD1.386\r\n\t[386ENH] ; again\r\ndevice=vxd1.386\r\n";
    uint32_t changed = 0;
    std::string out = Edit(in, &changed);
    EXPECT_EQ(1u, changed);
    EXPECT_EQ("[386Enh]\r\ndevice=VXD1.386 \r\ndevice=VXD1.38\r\n"
              "  [x\r\ndevice=VXD1.386\r\n\t[386ENH] ; again\r\n;device=vxd1.386\r\n",
              out);
}

TEST(DeviceLines, EmptyInputAndEveryLineMatching)
{
    uint32_t changed = 3;
    EXPECT_EQ("", Edit("", &changed));
    EXPECT_EQ(0u, changed);
    std::string in = "[386Enh]\n";
    for (int i = 0; i < 50; i++)
        in += "device=VXD1.386\n";
    std::string out = Edit(in, &changed);
    EXPECT_EQ(50u, changed);
    EXPECT_EQ(in.size() + 50, out.size());
}
