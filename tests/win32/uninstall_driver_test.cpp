// The uninstall driver on real logs, files and keys: the repair key of a log
// named by its short form, a roll-back whose backup is gone, and a cancel
// before the database-engine phase.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/registry.h"
#include "engine/reporter.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "log/reader_host_win32.h"
#include "tests/win32/test_support.h"
#include "ui/progress.h"

namespace
{

const char RepairRoot[] = "Software\\Ketra Solutions\\Ketra Installation System\\Repair\\";

void NoRefusal(const char*, const char*) {}

bool KeyExists(HKEY root, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetText(HKEY root, const std::string& keyName, const char* name, const char* text)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)lstrlenA(text) + 1);
    RegCloseKey(key);
}

std::string GetText(HKEY root, const std::string& keyName, const char* name)
{
    HKEY key;
    char data[256] = "";
    DWORD size = sizeof(data) - 1;
    if (RegOpenKeyExA(root, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    if (RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)data, &size) != ERROR_SUCCESS)
        data[0] = 0;
    RegCloseKey(key);
    return data;
}

class UninstallDriver : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        StartSilentAutomaticRun();
        WorkStarted = 1; // no wizard: the driver skips its working view
    }

    // Writes the log and reads it as the program does.
    void ReadLog(const std::string& path, const std::string& body)
    {
        std::string text = "*** Installation log\r\nTitle: Driver Test\r\n" + body;
        ASSERT_TRUE(WriteFileText(path, text)) << path;
        ReaderHost host = Win32ReaderHost;
        host.ShowRefusal = NoRefusal;
        ASSERT_EQ(0, ReadInstallLogWith(&host, path.c_str(), ApplicationFolder)) << path;
    }
};

} // namespace

// The key is named by the log's long path; the folder phase has removed that
// path by the time the key goes, so the name must be taken before.
TEST_F(UninstallDriver, RepairKeyGoesWhetherTheLogIsNamedLongOrShort)
{
    for (int useShort = 0; useShort < 2; useShort++) {
        SetUp();
        std::string root = ScratchFolder("driverkey");
        std::string app = root + "\\Long Product Folder";
        ASSERT_TRUE(CreateDirectoryA(app.c_str(), nullptr));
        std::string log = app + "\\INSTALL.LOG";
        ASSERT_TRUE(WriteFileText(app + "\\A.TXT", "a"));
        std::string key =
            std::string(RepairRoot) + "C:/ktrtest/driverkey/Long Product Folder/" + "INSTALL.LOG";
        SetText(HKEY_LOCAL_MACHINE, key, "C:\\x", "");
        SetText(HKEY_LOCAL_MACHINE, key + "\\Icons\\1", "Path", "C:\\x.exe");
        std::string given = useShort ? ShortPath(app) + "\\INSTALL.LOG" : log;
        ASSERT_NE(useShort != 0, given == log) << "the file system gives no short names";

        ReadLog(log, "Made Dir: " + app + "\r\nFile Copy: " + app + "\\A.TXT\r\n");
        RunUninstall(given.c_str(), SilentAutomaticRequest());

        EXPECT_FALSE(PathExists(app)) << "the emptied folder goes first";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key))
            << "expected the repair key gone, log given as " << given;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (key + "\\Icons\\1").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (key + "\\Icons").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        RemoveTree(root);
    }
}

// A roll-back puts each backup in place of its file; a file whose backup has
// gone keeps its installed version rather than being deleted.
TEST_F(UninstallDriver, RollbackWithoutItsBackupKeepsTheInstalledFile)
{
    std::string app = ScratchFolder("driverroll");
    char systemDir[MAX_PATH];
    GetSystemDirectoryA(systemDir, sizeof(systemDir));
    std::string systemFile = std::string(systemDir) + "\\KTRDRV01.DLL";
    std::string log = app + "\\INSTALL.LOG";
    ASSERT_TRUE(CreateDirectoryA((app + "\\BACKUP").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(app + "\\KEPT.DLL", "installed"));
    ASSERT_TRUE(WriteFileText(app + "\\BACK.DLL", "installed"));
    ASSERT_TRUE(WriteFileText(app + "\\BACKUP\\BACK.DLL", "earlier"));
    ASSERT_TRUE(WriteFileText(systemFile, "installed"));
    std::string second =
        "*** second\r\nFile Overwrite: " + app + "\\KEPT.DLL\r\nBackup Copy: " + app +
        "\\BACKUP\\GONE1.DLL\r\nFile Overwrite: " + app + "\\BACK.DLL\r\nBackup Copy: " + app +
        "\\BACKUP\\BACK.DLL\r\nFile Overwrite: " + systemFile + "\r\nBackup Copy: " + app +
        "\\BACKUP\\GONE2.DLL\r\n";
    ReadLog(log, "File Copy: " + app + "\\KEPT.DLL\r\n" + second);
    ASSERT_EQ(2, LatestInstallation);
    ASSERT_EQ(1, SystemFileList.Count);
    UninstallRequest rollback = SilentAutomaticRequest();
    rollback.rollback = 1;
    RunUninstall(log.c_str(), rollback);

    EXPECT_EQ("installed", ReadFileText(app + "\\KEPT.DLL"));
    EXPECT_EQ("installed", ReadFileText(systemFile));
    EXPECT_EQ("earlier", ReadFileText(app + "\\BACK.DLL")) << "a present backup is restored";
    DeleteFileA(systemFile.c_str());
    RemoveTree(app);
}

// After a cancel the product stays installed, and so does its use of the
// database engine.
TEST_F(UninstallDriver, CancelStopsTheDatabaseEnginePhase)
{
    const char engine[] = "Software\\Borland\\Database Engine";
    DeleteRegistryTree("Software\\Borland", 2);
    SetText(HKEY_LOCAL_MACHINE, "Software\\Borland\\BLW32", "Path", "C:\\BDE");
    SetText(HKEY_LOCAL_MACHINE, engine, "UseCount", "2");
    SubsystemName = (char*)PoolAlloc(8);
    lstrcpyA(SubsystemName, "BDE");
    // The engine learns of a Cancel from its reporter.
    const EngineReporter* windows = Reporter;
    EngineReporter cancelling = *windows;
    cancelling.cancelled = [] { return true; };
    Reporter = &cancelling;
    RunUninstall("C:\\ktrtest\\none\\INSTALL.LOG", SilentAutomaticRequest());
    EXPECT_EQ("2", GetText(HKEY_LOCAL_MACHINE, engine, "UseCount"));

    // Without the cancel the phase runs and lowers the count.
    Reporter = windows;
    RunUninstall("C:\\ktrtest\\none\\INSTALL.LOG", SilentAutomaticRequest());
    EXPECT_EQ("1", GetText(HKEY_LOCAL_MACHINE, engine, "UseCount"));
    DeleteRegistryTree("Software\\Borland", 2);
}
