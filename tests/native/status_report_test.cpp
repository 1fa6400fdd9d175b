// The status report's template and placeholders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/status_report.h"
#include "tests/native/fake_system.h"

static std::string Fill(const char* tmpl, const ReportValues& values, int32_t size = 16384)
{
    static char buffer[16384];
    std::strncpy(buffer, tmpl, sizeof(buffer) - 1);
    buffer[sizeof(buffer) - 1] = 0;
    FillReportPlaceholders(buffer, size, &values);
    return buffer;
}

TEST(StatusReport, CompletedUninstallFillsTheBuiltInTemplate)
{
    ReportValues v = {
        {"Maker", "Prod", "1.0", "SN1", "Uninstall", "07/03/02 15:14", "Success", ""}};
    std::string text = Fill(BuiltInReportTemplate, v);
    EXPECT_EQ(1510u, std::strlen(BuiltInReportTemplate));
    EXPECT_NE(std::string::npos, text.find("NAME = \"UninstallStatus\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("NAME = \"Uninstall\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("VALUE = \"07/03/02 15:14\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("VALUE = \"Success\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("VALUE = \"\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("VALUE = \"Maker\""));
    EXPECT_EQ(std::string::npos, text.find('%'));
    EXPECT_EQ("END COMPONENT\r\n", text.substr(text.size() - 15));
}

TEST(StatusReport, OnlyExactPlaceholdersAreReplacedAndValuesAreNotRescanned)
{
    ReportValues v = {{"%2%", "P", "", "", "", "", "", ""}};
    EXPECT_EQ("%2% P %9% %0% %12% %1", Fill("%1% %2% %9% %0% %12% %1", v));
    // Growing values are cut at the buffer, never past it.
    ReportValues big = {{"0123456789", "", "", "", "", "", "", ""}};
    EXPECT_EQ("012345678", Fill("%1%%1%", big, 10));
}

TEST(StatusReport, SettingsTemplateLineBreaks)
{
    char text[64] = "START COMPONENT^END COMPONENT";
    ExpandReportLineBreaks(text, sizeof(text));
    EXPECT_STREQ("START COMPONENT\r\nEND COMPONENT", text);
    char tight[6] = "a^b^c";
    ExpandReportLineBreaks(tight, sizeof(tight));
    EXPECT_STREQ("a\r\nb\r", tight);
}

TEST(StatusReport, DateFormat)
{
    char date[32];
    FormatReportDate(date, sizeof(date), 7, 3, 2002, 15, 14);
    EXPECT_STREQ("07/03/02 15:14", date);
    FormatReportDate(date, sizeof(date), 12, 31, 2026, 0, 5);
    EXPECT_STREQ("12/31/26 0:05", date);
}

TEST(StatusReport, ReportNameKeepsOnlyTheFileNamePart)
{
    EXPECT_STREQ("P.MIF", ReportFileName("P.MIF"));
    EXPECT_STREQ("x", ReportFileName("..\\..\\x"));
    EXPECT_STREQ("BOOT.INI", ReportFileName("C:\\BOOT.INI"));
    EXPECT_STREQ("x.mif", ReportFileName("../../x.mif"));
    EXPECT_STREQ("AUTOEXEC.BAT", ReportFileName("C:AUTOEXEC.BAT"));
    EXPECT_STREQ("y", ReportFileName("\\\\server\\share/dir\\y"));
    // Names that leave the Windows folder itself: no report.
    EXPECT_EQ(nullptr, ReportFileName(""));
    EXPECT_EQ(nullptr, ReportFileName("..\\"));
    EXPECT_EQ(nullptr, ReportFileName(".."));
    EXPECT_EQ(nullptr, ReportFileName("sub\\. ."));
    EXPECT_STREQ("..x", ReportFileName("..x"));
}

TEST(StatusReport, ReportNameStepsWholeDoubleByteCharacters)
{
    // 0x95 0x5C is one character in code page 936: its second byte is no backslash.
    UseDoubleByteRule();
    EXPECT_STREQ("\x95\x5C.MIF", ReportFileName("dir\\\x95\x5C.MIF"));
    ResetFakeSystem();
}
