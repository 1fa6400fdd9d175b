#include "app/command_line.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/system_facts.h"
#include "app/startup.h"
#include "log/path_helpers.h"
#include "platform/system_rules.h"
#include "tests/win32/test_support.h"
#include "ui/resources/resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace
{

// The windows as start-up makes them, from this test program's resources.
class StartupWindows : public ::testing::Test
{
  protected:
    int32_t startupCancelled = 0; // the value the start-up window's Cancel sets

    void SetUp() override
    {
        ResetSystemFacts();
        UseSystemRules();
        SettingsIniPath[0] = 0;
        ReadFontSettings();
        static bool registered = false;
        if (!registered)
            registered = RegisterMainWindowClass(GetModuleHandleA(nullptr));
        ASSERT_TRUE(registered);
    }
    void TearDown() override { CloseRunWindows(); }
    static std::string Text(HWND window)
    {
        char text[512] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
};

TEST_F(StartupWindows, StartupWindowTextsAndCancel)
{
    NoBackground = 1;
    RunOptions options = {};
    ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(nullptr), options, &startupCancelled));
    ASSERT_NE(nullptr, StartupWindow);
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    char before[256], after[256], caption[256];
    GetMessageText(AppInstance, IDS_STARTUP_BEFORE, before, sizeof before);
    GetMessageText(AppInstance, IDS_STARTUP_AFTER, after, sizeof after);
    GetMessageText(AppInstance, IDS_CAPTION, caption, sizeof caption);
    ASSERT_NE('\0', before[0]) << "the string table is missing";
    EXPECT_EQ(std::string(before) + "Ketra Uninstall" + after,
              Text(GetDlgItem(StartupWindow, IDC_STARTUP_TEXT)));
    EXPECT_EQ(caption, Text(StartupWindow));

    // Centred on the screen after widening.
    RECT rect;
    GetWindowRect(StartupWindow, &rect);
    EXPECT_NEAR((ScreenWidth - (rect.right - rect.left)) / 2, rect.left, 1);
    EXPECT_NEAR((ScreenHeight - (rect.bottom - rect.top)) / 2, rect.top, 1);
    EXPECT_NE(nullptr, DialogFont);
    EXPECT_EQ((WPARAM)DialogFont,
              (WPARAM)SendDlgItemMessageA(StartupWindow, IDCANCEL, WM_GETFONT, 0, 0));

    // Cancel asks nothing.
    EXPECT_EQ(0, startupCancelled);
    SendDlgItemMessageA(StartupWindow, IDCANCEL, BM_CLICK, 0, 0);
    EXPECT_EQ(1, startupCancelled);
}

TEST_F(StartupWindows, QuietRunsShowNoWindow)
{
    NoBackground = 0;
    RunOptions options = {};
    options.silent = options.automatic = 1;
    ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(nullptr), options, nullptr));
    EXPECT_EQ(nullptr, StartupWindow);
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    DestroyWindow(MainWindow);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    MainWindow = nullptr;

    ResetSystemFacts();
    NoBackground = 0;
    options = {};
    CopyText(options.log.title, "My App", sizeof options.log.title);
    options.log.hasTitle = 1;
    ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(nullptr), options, nullptr));
    EXPECT_TRUE(IsWindowVisible(MainWindow));
    EXPECT_TRUE(IsZoomed(MainWindow));
    EXPECT_EQ("My App", Text(MainWindow));
}

} // namespace
