// Link information fields and the repair key's name and check references.
#include <gtest/gtest.h>

#include <string>

#include "app/shortcut_check.h"
#include "repair/link_info.h"
#include "tests/native/fake_system.h"

TEST(LinkInfo, FieldsTrimmedAndApplied)
{
    LinkFields f;
    ParseLinkInfo("C:\\App\\app.exe | C:\\App | C:\\App\\app.ico | 2 | 11 | 1604 | /x \"a b\"", &f);
    EXPECT_STREQ("C:\\App\\app.exe", f.Target);
    EXPECT_STREQ("C:\\App", f.WorkingDirectory);
    EXPECT_STREQ("C:\\App\\app.ico", f.IconFile);
    EXPECT_EQ(2, f.IconIndex);
    EXPECT_EQ(3, f.ShowCommand); // 11 AND 7
    EXPECT_EQ(1604, f.Hotkey);   // 0x644: Alt + D
    EXPECT_STREQ("/x \"a b\"", f.Arguments);
}

TEST(LinkInfo, OnlyATargetAndAModifierWithoutKey)
{
    LinkFields f;
    ParseLinkInfo("C:\\App\\app.exe", &f);
    EXPECT_STREQ("C:\\App\\app.exe", f.Target);
    EXPECT_STREQ("", f.WorkingDirectory);
    EXPECT_STREQ("", f.IconFile);
    EXPECT_EQ(0, f.IconIndex);
    EXPECT_EQ(0, f.ShowCommand);
    EXPECT_EQ(0, f.Hotkey);
    EXPECT_STREQ("", f.Arguments);
    ParseLinkInfo("t|w|i|0|1|512|", &f);
    EXPECT_EQ(0, f.Hotkey); // 0x0200: a modifier alone is not set
    EXPECT_EQ(1, f.ShowCommand);
}

TEST(LinkInfo, FieldRulesOneTrailingSpaceAndBoundedCopy)
{
    char out[8];
    const char* rest = ParseLinkField(out, sizeof out, "   a  |b");
    EXPECT_STREQ("a ", out); // only one trailing space goes
    EXPECT_STREQ("b", rest);
    rest = ParseLinkField(out, sizeof out, "0123456789|z");
    EXPECT_STREQ("0123456", out);
    EXPECT_STREQ("z", rest);
    rest = ParseLinkField(out, sizeof out, "");
    EXPECT_STREQ("", out);
    EXPECT_STREQ("", rest);
    UseDoubleByteRule();
    char wide[16];
    rest = ParseLinkField(wide, sizeof wide, "\x81|x|y");
    EXPECT_STREQ("\x81|x", wide);
    EXPECT_STREQ("y", rest);
    ResetFakeSystem();
}

TEST(RepairKey, NameTakesTheLogPathAsOneKey)
{
    char name[RepairKeyNameSize];
    ASSERT_EQ(0, FormatRepairKeyName(name, sizeof name, "C:\\Program Files\\App\\INSTALL.LOG"));
    EXPECT_STREQ("Software\\Ketra Solutions\\Ketra Installation System\\Repair\\"
                 "C:/Program Files/App/INSTALL.LOG",
                 name);
    std::string longPath = "C:\\" + std::string(380, 'x');
    EXPECT_EQ(1, FormatRepairKeyName(name, sizeof name, longPath.c_str()));
    EXPECT_STREQ("", name);
}

TEST(RepairKey, RegistryReferences)
{
    RegistryReference r;
    ASSERT_EQ(1, ParseRegistryReference("2\\Software\\App\\\\", &r));
    EXPECT_EQ(2, r.Root);
    EXPECT_STREQ("Software\\App", r.Subkey);
    EXPECT_STREQ("", r.ValueName);
    ASSERT_EQ(1, ParseRegistryReference("1\\Software\\App\\Sub\\\\Path Value", &r));
    EXPECT_EQ(1, r.Root);
    EXPECT_STREQ("Software\\App\\Sub", r.Subkey);
    EXPECT_STREQ("Path Value", r.ValueName);
    // Only one backslash after the root is skipped.
    EXPECT_EQ(0, ParseRegistryReference("17\\\\v", &r));
    ASSERT_EQ(1, ParseRegistryReference("17\\\\\\v", &r));
    EXPECT_EQ(17, r.Root);
    EXPECT_STREQ("", r.Subkey);
    // No double backslash: nothing to check.
    EXPECT_EQ(0, ParseRegistryReference("2\\Software\\App", &r));
    EXPECT_EQ(0, ParseRegistryReference("", &r));
    UseDoubleByteRule();
    // A trail byte equal to '\\' followed by a backslash is not a split.
    ASSERT_EQ(1, ParseRegistryReference("0\\A\x81\\\\B\\\\v", &r));
    EXPECT_STREQ("A\x81\\\\B", r.Subkey);
    EXPECT_STREQ("v", r.ValueName);
    ResetFakeSystem();
}
