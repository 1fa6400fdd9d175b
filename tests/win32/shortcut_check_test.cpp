// The shortcut launch check on real repair keys: what counts as damage, the
// question and its three answers, and the start of the shortcut's program.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/message_catalogue.h"
#include "app/system_facts.h"
#include "app/shortcut_check.h"
#include "app/shortcut_launch.h"
#include "engine/registry.h"
#include "tests/win32/repair_support.h"
#include "tests/win32/test_support.h"
#include "ui/resources/resource.h"

class ShortcutCheck : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        options = {};
        options.shortcutNumber = 2;
        folder = ScratchFolder();
        log = folder + "\\INSTALL.LOG";
        WriteFileBytes(log, "");
        std::string longLog = log;
        char name[RepairKeyNameSize];
        ASSERT_EQ(0, FormatRepairKeyName(name, sizeof name, longLog.c_str()));
        keyName = name;
        started = folder + "\\started.txt";
        appKey = "Software\\KetraTest\\Check" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override
    {
        DeleteRegistryTree(keyName.c_str(), 2);
        DeleteRegistryTree(appKey.c_str(), 2);
    }
    HKEY Key(const std::string& sub = "")
    {
        HKEY key = nullptr;
        std::string name = sub.empty() ? keyName : keyName + "\\" + sub;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        return key;
    }
    void Entry(const std::string& name, DWORD type)
    {
        HKEY key = Key();
        DWORD zero = 0;
        RegSetValueExA(key, name.c_str(), 0, type, (const BYTE*)&zero,
                       type == REG_SZ ? 1 : sizeof zero);
        RegCloseKey(key);
    }
    // Icons\2: the probe program writes its command line into started.txt.
    void LaunchData(const std::string& path, const std::string& arguments)
    {
        HKEY key = Key("Icons\\2");
        auto put = [&](const char* name, const std::string& value) {
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(),
                           (DWORD)value.size() + 1);
        };
        put("Path", path);
        put("Arguments", arguments);
        put("WorkingDir", folder);
        put("ShowWindow", "1");
        RegCloseKey(key);
    }
    void ProbeLaunch() { LaunchData(ProbePath("probe_server.exe"), "/write 0 " + started); }
    bool Started()
    {
        return WaitFor([&] { return FileExists(started); });
    }
    static bool WaitFor(std::function<bool()> done)
    {
        for (int i = 0; i < 1200 && !done(); i++)
            Sleep(50);
        return done();
    }
    int ValueCount()
    {
        HKEY key = Key();
        DWORD count = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return (int)count;
    }
    // Runs the check, answering a question with button (0: expect none).
    int32_t Check(int button, std::string* question = nullptr)
    {
        int32_t result;
        {
            DialogSeries series(button ? 1 : 0, [&](HWND box, int) {
                char text[1024];
                if (question) {
                    GetWindowTextA(box, text, sizeof text);
                    *question = text;
                }
                ClickButton(box, button);
            });
            lstrcpynA(options.log.path, log.c_str(), sizeof options.log.path);
            result = CheckShortcut(&options);
        }
        return result;
    }
    std::string folder, log, keyName, started, appKey;
    RunOptions options;
};

TEST_F(ShortcutCheck, NoRepairKeyStartsNothing)
{
    ProbeLaunch();
    DeleteRegistryTree(keyName.c_str(), 2);
    EXPECT_EQ(1, Check(0));
    Sleep(500);
    EXPECT_FALSE(FileExists(started));
}

TEST_F(ShortcutCheck, IntactInstallationStartsTheProgramAtOnce)
{
    ProbeLaunch();
    Entry(log, REG_DWORD); // a file that is there
    Entry("2\\" + appKey + "\\\\", REG_SZ);
    Entry("2\\Software\\NoSuchKeyAtAll", REG_SZ);     // no double backslash: not checked
    Entry("7\\Software\\NoSuchKeyAtAll\\\\", REG_SZ); // an unknown root: not checked
    Entry(folder + "\\gone.dll", REG_BINARY);         // other types never count
    HKEY app;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, appKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &app, nullptr);
    RegCloseKey(app);
    EXPECT_EQ(1, Check(0));
    ASSERT_TRUE(Started());
    EXPECT_NE(std::string::npos, ReadFileBytes(started).find("/write 0")) << ReadFileBytes(started);
    EXPECT_EQ(5, ValueCount());
}

TEST_F(ShortcutCheck, MissingKeyOrValueAsksAndNoStartsWithoutRepair)
{
    ProbeLaunch();
    HKEY app;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, appKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &app, nullptr);
    RegCloseKey(app);
    Entry("2\\" + appKey + "\\\\MissingValue", REG_SZ);
    std::string caption;
    EXPECT_EQ(1, Check(IDNO, &caption));
    char expected[256];
    GetMessageText(GetModuleHandleA(nullptr), IDS_REPAIR_HEADING, expected, sizeof expected);
    EXPECT_EQ(expected, caption);
    ASSERT_TRUE(Started());
    EXPECT_EQ(1, ValueCount());
    EXPECT_EQ(0, options.automatic);
}

TEST_F(ShortcutCheck, CancelDeletesEveryCheckValueAndTheNextStartAsksNothing)
{
    ProbeLaunch();
    Entry(folder + "\\gone.dll", REG_DWORD);
    Entry("2\\Software\\KetraTest\\NoSuchKey\\\\", REG_SZ);
    Entry("other", REG_BINARY);
    EXPECT_EQ(1, Check(IDCANCEL));
    ASSERT_TRUE(Started());
    EXPECT_EQ(0, ValueCount());
    DeleteFileA(started.c_str());
    EXPECT_EQ(1, Check(0));
    EXPECT_TRUE(Started());
}

TEST_F(ShortcutCheck, YesAsksForARepairRunAndTheProgramStartsAtItsEnd)
{
    ProbeLaunch();
    Entry(folder + "\\gone.dll", REG_DWORD);
    EXPECT_EQ(0, Check(IDYES));
    EXPECT_EQ(1, options.automatic);
    EXPECT_EQ(1, options.finalPageOnly);
    ASSERT_NE(nullptr, RepairKey);
    Sleep(300);
    EXPECT_FALSE(FileExists(started));
    LaunchAndCloseRepairKey(options.shortcutNumber);
    EXPECT_TRUE(Started());
    EXPECT_EQ(nullptr, RepairKey);
}

TEST_F(ShortcutCheck, AProgramThatCannotStartShowsTheSystemText)
{
    std::string missing = folder + "\\no such program.exe";
    LaunchData(missing, "");
    std::string caption, text;
    {
        DialogSeries series(1, [&](HWND box, int) {
            char buffer[512];
            GetWindowTextA(box, buffer, sizeof buffer);
            caption = buffer;
            GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
            text = buffer;
            ClickButton(box, IDOK);
        });
        HKEY key = Key();
        LaunchShortcutTarget(key, options.shortcutNumber);
        RegCloseKey(key);
    }
    EXPECT_EQ(missing, caption);
    EXPECT_FALSE(text.empty());
}
