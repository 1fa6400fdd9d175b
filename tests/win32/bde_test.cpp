// The database engine's usage counter and the removal of its keys.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/system_facts.h"
#include "engine/registry.h"
#include "engine/shared.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "tests/win32/test_support.h"
#include "ui/windows_win32.h"

static const char Engine[] = "Software\\Borland\\Database Engine";
static const char Windows32[] = "Software\\Borland\\BLW32";
static const char Borland[] = "Software\\Borland";

static bool KeyExists(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static void SetValue(const char* keyName, const char* name, DWORD type, const void* data,
                     DWORD size)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, (const BYTE*)data, size));
    RegCloseKey(key);
}

static void SetUseCountText(const char* text)
{
    SetValue(Engine, "UseCount", REG_SZ, text, (DWORD)lstrlenA(text) + 1);
}

static DWORD GetUseCount(std::string* text)
{
    HKEY key;
    char data[256] = "";
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Engine, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, "UseCount", nullptr, &type, (BYTE*)data, &size) != ERROR_SUCCESS)
        type = 0;
    RegCloseKey(key);
    *text = data;
    return type;
}

// A local database server: a window of class IB_Server on its own thread,
// closed when asked.
class DatabaseServer
{
  public:
    DatabaseServer()
    {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        close_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        closed_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this]() {
            WNDCLASSA wc;
            ZeroMemory(&wc, sizeof(wc));
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "IB_Server";
            RegisterClassA(&wc);
            HWND window = CreateWindowA("IB_Server", "server", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                        nullptr, wc.hInstance, nullptr);
            SetEvent(ready_);
            WaitForSingleObject(close_, 30000);
            DestroyWindow(window);
            SetEvent(closed_);
        });
        WaitForSingleObject(ready_, 10000);
    }
    void Close()
    {
        SetEvent(close_);
        WaitForSingleObject(closed_, 10000);
    }
    ~DatabaseServer()
    {
        Close();
        thread_.join();
        CloseHandle(ready_);
        CloseHandle(close_);
        CloseHandle(closed_);
    }

  private:
    std::thread thread_;
    HANDLE ready_, close_, closed_;
};

class DatabaseEngine : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        WizardWindow = nullptr;
        DeleteRegistryTree(Borland, 2);
        SetValue(Windows32, "Path", REG_SZ, "C:\\BDE", 7);
    }
    void TearDown() override { DeleteRegistryTree(Borland, 2); }
};

TEST_F(DatabaseEngine, CountAboveOneIsLoweredAndStoredAsText)
{
    std::string text;
    SetUseCountText("3");
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_EQ((DWORD)REG_SZ, GetUseCount(&text));
    EXPECT_EQ("2", text);
    DWORD two = 2;
    SetValue(Engine, "UseCount", REG_DWORD, &two, 4);
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_EQ((DWORD)REG_SZ, GetUseCount(&text));
    EXPECT_EQ("1", text);
    EXPECT_TRUE(KeyExists(Windows32));
}

TEST_F(DatabaseEngine, ZeroOrUnreadableCountChangesNothing)
{
    std::string text;
    SetUseCountText("0");
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_EQ("0", (GetUseCount(&text), text));
    SetUseCountText("-2");
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_EQ("-2", (GetUseCount(&text), text));
    const char multi[] = "1\0\0";
    SetValue(Engine, "UseCount", REG_MULTI_SZ, multi, sizeof(multi));
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_EQ((DWORD)REG_MULTI_SZ, GetUseCount(&text));
    EXPECT_TRUE(KeyExists(Windows32));
    // No engine key at all.
    DeleteRegistryTree(Engine, 2);
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_TRUE(KeyExists(Windows32));
}

TEST_F(DatabaseEngine, LastUseRemovesBothKeysAndAnEmptiedParent)
{
    SetUseCountText("1");
    SetValue("Software\\Borland\\Database Engine\\Settings", "X", REG_SZ, "1", 2);
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_FALSE(KeyExists(Engine));
    EXPECT_FALSE(KeyExists(Windows32));
    EXPECT_FALSE(KeyExists(Borland));
}

TEST_F(DatabaseEngine, ParentStaysWhileItHoldsSomethingElse)
{
    SetUseCountText("1");
    SetValue("Software\\Borland\\Delphi", "Version", REG_SZ, "3", 2);
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_FALSE(KeyExists(Engine));
    EXPECT_FALSE(KeyExists(Windows32));
    EXPECT_TRUE(KeyExists("Software\\Borland\\Delphi"));
    DeleteRegistryTree("Software\\Borland\\Delphi", 2);
    SetUseCountText("1");
    SetValue(Borland, "Owner", REG_SZ, "me", 3);
    EXPECT_EQ(0, ReleaseBde(0));
    EXPECT_FALSE(KeyExists(Engine));
    EXPECT_TRUE(KeyExists(Borland));
}

TEST_F(DatabaseEngine, RetryAfterTheServerClosedGoesOn)
{
    SetUseCountText("1");
    DatabaseServer server;
    int asked = 0;
    {
        WindowAnswerer answerer("#32770", [&](HWND box) {
            asked++;
            server.Close();
            ClickButton(box, IDRETRY);
        });
        EXPECT_EQ(0, ReleaseBde(0));
    }
    EXPECT_EQ(1, asked);
    EXPECT_FALSE(KeyExists(Engine));
    EXPECT_FALSE(KeyExists(Windows32));
}

TEST_F(DatabaseEngine, AbortStopsAndLeavesTheEngine)
{
    SetUseCountText("1");
    DatabaseServer server;
    {
        WindowAnswerer answerer("#32770", [&](HWND box) { ClickButton(box, IDABORT); });
        EXPECT_EQ(1, ReleaseBde(0));
        EXPECT_TRUE(answerer.found());
    }
    std::string text;
    EXPECT_EQ("1", (GetUseCount(&text), text));
    EXPECT_TRUE(KeyExists(Windows32));
}

// The driver stops at the engine's phase and tells its caller why, so that
// the run does not end as a completed uninstall.
TEST_F(DatabaseEngine, AbortStopsTheUninstallBeforeItsFiles)
{
    SetUseCountText("1");
    std::string root = ScratchFolder();
    std::string file = root + "\\APP.DAT";
    std::string log = root + "\\INSTALL.LOG";
    WriteFileBytes(file, "x");
    WriteFileBytes(log, "*** Installation log\r\nTitle: Abort\r\nSubSystem: BDE\r\nFile Copy: " +
                            file + "\r\n");
    PoolFreeAll();
    ResetLogValues();
    CreateItemLists();
    ResetLineBuffer();
    ASSERT_EQ(0, ReadInstallLog(log.c_str(), ApplicationFolder, 1, 0));
    UninstallResult result = {};
    {
        DatabaseServer server;
        WindowAnswerer answerer("#32770", [&](HWND box) { ClickButton(box, IDABORT); });
        result = RunUninstall(log.c_str(), {ModeAutomatic, 0, 0});
        EXPECT_TRUE(answerer.found());
    }
    EXPECT_EQ(1, result.aborted);
    EXPECT_TRUE(FileExists(file)) << "no file goes after Abort";
    EXPECT_TRUE(FileExists(log));
}

TEST_F(DatabaseEngine, IgnoreRemovesTheKeysWhileTheServerRuns)
{
    SetUseCountText("1");
    DatabaseServer server;
    {
        WindowAnswerer answerer("#32770", [&](HWND box) { ClickButton(box, IDIGNORE); });
        EXPECT_EQ(0, ReleaseBde(0));
        EXPECT_TRUE(answerer.found());
    }
    EXPECT_FALSE(KeyExists(Engine));
}

TEST_F(DatabaseEngine, SilentRunLeavesTheEngineWhileItsServerRuns)
{
    SetUseCountText("1");
    DatabaseServer server;
    EXPECT_EQ(0, ReleaseBde(1));
    std::string text;
    EXPECT_EQ("1", (GetUseCount(&text), text));
    EXPECT_TRUE(KeyExists(Windows32));
    server.Close();
    // Once the server is gone a silent run removes it as any other.
    EXPECT_EQ(0, ReleaseBde(1));
    EXPECT_FALSE(KeyExists(Engine));
}
