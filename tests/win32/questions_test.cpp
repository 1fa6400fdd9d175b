// The installer prompt.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/system_facts.h"
#include "tests/win32/test_support.h"
#include "ui/questions.h"
#include "ui/questions_env.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"

class InstallerPrompt : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        WizardWindow = nullptr;
        lstrcpyA(path, "C:\\SETUP\\SETUP.EXE");
        ASSERT_TRUE(FindResourceA(AppInstance, MAKEINTRESOURCEA(IDD_PROMPT), (LPCSTR)RT_DIALOG))
            << "dialog template 107 is not linked into this build";
    }
    char path[256];
    const char* attributes = "03-15-2003 / 12:16:00 / 1234567";
};

TEST_F(InstallerPrompt, OkReturnsTheTypedPath)
{
    std::string question, shown;
    int32_t result;
    {
        WindowAnswerer answerer("#32770", [&](HWND dialog) {
            char text[512];
            GetDlgItemTextA(dialog, IDC_PROMPT_TEXT, text, sizeof(text));
            question = text;
            GetDlgItemTextA(dialog, IDC_PROMPT_PATH, text, sizeof(text));
            shown = text;
            SetDlgItemTextA(dialog, IDC_PROMPT_PATH, "D:\\NEW\\SETUP.EXE");
            ClickButton(dialog, IDOK);
        });
        result = AskInstallerPath(path, attributes);
        char caption[256];
        GetMessageText(AppInstance, IDS_PROMPT_CAPTION, caption, sizeof(caption));
        EXPECT_EQ(std::string(caption), answerer.title());
    }
    EXPECT_EQ(1, result);
    EXPECT_EQ("C:\\SETUP\\SETUP.EXE", shown);
    EXPECT_STREQ("D:\\NEW\\SETUP.EXE", path);
    EXPECT_NE(std::string::npos, question.find("03-15-2003 / 12:16:00 / 1234567")) << question;
}

TEST_F(InstallerPrompt, CancelAndEscapeLeaveThePathAlone)
{
    for (int key = 0; key < 2; key++) {
        int32_t result;
        {
            WindowAnswerer answerer("#32770", [&](HWND dialog) {
                SetDlgItemTextA(dialog, IDC_PROMPT_PATH, "D:\\OTHER.EXE");
                if (key)
                    PressKey(dialog, VK_ESCAPE);
                else
                    ClickButton(dialog, IDCANCEL);
            });
            result = AskInstallerPath(path, attributes);
        }
        EXPECT_EQ(2, result);
        EXPECT_STREQ("C:\\SETUP\\SETUP.EXE", path);
    }
}

TEST_F(InstallerPrompt, LongAttributesAndPathsAreCutNotOverrun)
{
    std::string longAttributes(600, 'A');
    attributes = longAttributes.c_str();
    std::string question;
    std::string typed(400, 'p');
    {
        WindowAnswerer answerer("#32770", [&](HWND dialog) {
            char text[1024];
            GetDlgItemTextA(dialog, IDC_PROMPT_TEXT, text, sizeof(text));
            question = text;
            SetDlgItemTextA(dialog, IDC_PROMPT_PATH, typed.c_str());
            ClickButton(dialog, IDOK);
        });
        EXPECT_EQ(1, AskInstallerPath(path, attributes));
    }
    EXPECT_LE(question.size(), 255u);
    EXPECT_NE(std::string::npos, question.find("AAAA"));
    EXPECT_EQ(255u, strlen(path));
}
