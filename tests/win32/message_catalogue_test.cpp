#include "app/message_catalogue.h"
#include "app/system_facts.h"
#include "log/path_helpers.h"
#include "platform/system_rules.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

// Each test writes its own settings file in the temporary directory.
class Catalogue : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        UseSystemRules();
        char directory[MAX_PATH];
        GetTempPathA(sizeof directory, directory);
        path = std::string(directory) + "ktr_catalogue_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".INI";
        DeleteFileA(path.c_str());
        CopyText(SettingsIniPath, path.c_str(), sizeof SettingsIniPath);
    }
    void TearDown() override
    {
        DeleteFileA(path.c_str());
        SettingsIniPath[0] = 0;
    }
    void Write(const char* section, const char* key, const std::string& value)
    {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, value.c_str(), path.c_str()));
    }
    std::string Message(int number, int size = 256)
    {
        std::string buffer((size_t)size + 16, '#');
        GetMessageText(GetModuleHandleA(nullptr), number, &buffer[0], size);
        for (size_t i = (size_t)size; i < buffer.size(); i++)
            EXPECT_EQ('#', buffer[i]) << "message " << number << " wrote past its buffer";
        return buffer.c_str();
    }
    std::string path;
};

TEST_F(Catalogue, SettingsTextsOverrideWithTheirEscapes)
{
    Write("Language", "Msg25", "Remove|Program~One");
    Write("Language", "Msg48", "~~Stop~~");
    EXPECT_EQ("Remove\r\nProgram One", Message(25));
    EXPECT_EQ("  Stop  ", Message(48));
}

TEST_F(Catalogue, EmptyValueStaysEmptyAndSingleDelIsMissing)
{
    char stringTable[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), 25, stringTable, sizeof stringTable);
    Write("Language", "Msg25", "");
    EXPECT_EQ("", Message(25));
    Write("Language", "Msg25", "\x7F");
    EXPECT_EQ(stringTable, Message(25));
    Write("Language", "Msg25", "\x7F\x7F");
    EXPECT_EQ("\x7F\x7F", Message(25));
}

TEST_F(Catalogue, UnknownNumberGivesEmptyText)
{
    EXPECT_EQ("", Message(9999));
}

TEST_F(Catalogue, OversizedValuesAreCutAtTheBuffer)
{
    Write("Language", "Msg30", std::string(3000, 'v'));
    EXPECT_EQ(std::string(63, 'v'), Message(30, 64));
    EXPECT_EQ(std::string(1023, 'v'), Message(30, 1024));
    Write("Language", "Msg31", std::string(2000, '|'));
    std::string out = Message(31, 512);
    EXPECT_EQ(510u, out.size());
    EXPECT_EQ("\r\n", out.substr(508));
}

TEST_F(Catalogue, FontSettings)
{
    Write("Settings", "Font Character Size", "300");
    Write("Settings", "Font Character Set", "390");
    Write("Settings", "Text Font", "SimSun");
    TextFontFace = nullptr;
    ReadFontSettings();
    EXPECT_EQ(44, FontPointSize);
    EXPECT_EQ(134, FontCharSet);
    ASSERT_NE(nullptr, TextFontFace);
    EXPECT_STREQ("SimSun", TextFontFace);
    EXPECT_GT(ScreenWidth, 0);
    EXPECT_GT(ScreenHeight, 0);

    Write("Settings", "Text Font", std::string(600, 'f'));
    ReadFontSettings();
    EXPECT_EQ(255u, strlen(TextFontFace));
}

TEST_F(Catalogue, FontDefaultsWithoutSettingsFile)
{
    TextFontFace = nullptr;
    ReadFontSettings();
    EXPECT_EQ(8, FontPointSize);
    EXPECT_EQ(0, FontCharSet);
    EXPECT_EQ(nullptr, TextFontFace);
}

} // namespace
