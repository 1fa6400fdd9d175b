// Registry restore and removal on the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "engine/journal.h"
#include "engine/ownership.h"
#include "engine/ownership_system.h"
#include "engine/registry.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "tests/win32/test_support.h"

static const char* Base = "Software\\KetraTest\\Engine";

static bool KeyExists(const std::string& key, HKEY root = HKEY_CURRENT_USER)
{
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

static void SetString(const std::string& key, const char* name, const char* value,
                      HKEY root = HKEY_CURRENT_USER)
{
    HKEY h;
    RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    RegSetValueExA(h, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(h);
}

static std::string ValueBytes(const std::string& key, const char* name, DWORD* type,
                              HKEY root = HKEY_CURRENT_USER)
{
    HKEY h;
    std::string data;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "<no key>";
    DWORD size = 0;
    if (RegQueryValueExA(h, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
        RegCloseKey(h);
        return "<no value>";
    }
    data.resize(size);
    RegQueryValueExA(h, name, nullptr, type, (BYTE*)&data[0], &size);
    RegCloseKey(h);
    data.resize(size);
    return data;
}

class EngineRegistry : public ::testing::Test
{
  protected:
    void SetUp() override { DeleteRegistryTree("Software\\KetraTest", 1); }
    void TearDown() override { DeleteRegistryTree("Software\\KetraTest", 1); }
};

TEST_F(EngineRegistry, RestoresEveryTypeFromItsText)
{
    SetString(Base, "keep", "x");
    DWORD type = 0;
    char dword[2048] = "1234";
    RestoreRegistryValue(1, 3, Base, "Dword", dword, sizeof(dword), 0);
    EXPECT_EQ(std::string("\xD2\x04\x00\x00", 4), ValueBytes(Base, "Dword", &type));
    EXPECT_EQ((DWORD)REG_DWORD, type);

    char binary[2048] = "0a ff,3";
    RestoreRegistryValue(1, 4, Base, "Binary", binary, sizeof(binary), 0);
    EXPECT_EQ(std::string("\x0A\xFF", 2), ValueBytes(Base, "Binary", &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);

    char multi[2048] = {'a', 0, 'b', 'c', 0, 0};
    RestoreRegistryValue(1, 2, Base, "Multi", multi, sizeof(multi), 0);
    EXPECT_EQ(std::string("a\0bc\0\0", 6), ValueBytes(Base, "Multi", &type));
    EXPECT_EQ((DWORD)REG_MULTI_SZ, type);

    char expand[2048] = "%WINDIR%\\x";
    RestoreRegistryValue(1, 1, Base, "", expand, sizeof(expand), 0);
    EXPECT_EQ(std::string("%WINDIR%\\x\0", 11), ValueBytes(Base, "", &type));
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
}

TEST_F(EngineRegistry, UninstallDoesNotBringBackADeletedKeyRepairDoes)
{
    std::string key = std::string(Base) + "\\Gone";
    char data[2048] = "value";
    RestoreRegistryValue(1, 0, key.c_str(), "v", data, sizeof(data), 0);
    EXPECT_FALSE(KeyExists(key));
    RestoreRegistryValue(1, 0, key.c_str(), "v", data, sizeof(data), 1);
    DWORD type;
    EXPECT_EQ(std::string("value\0", 6), ValueBytes(key, "v", &type));
}

TEST_F(EngineRegistry, TreeGoesDeepestFirst)
{
    std::string root = std::string(Base) + "\\Tree";
    SetString(root + "\\A\\B\\C", "v", "1");
    SetString(root + "\\A\\B2", "v", "1");
    SetString(root + "\\D", "v", "1");
    SetString(Base, "sibling", "stays");
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(root.c_str(), 1));
    EXPECT_FALSE(KeyExists(root));
    EXPECT_TRUE(KeyExists(Base));
    EXPECT_NE(ERROR_SUCCESS, DeleteRegistryTree(root.c_str(), 1)) << "a missing key fails quietly";
    EXPECT_NE(ERROR_SUCCESS, DeleteRegistryTree(root.c_str(), 9)) << "no such root";
}

TEST_F(EngineRegistry, CreatedValuePrunesEmptiedKeysUpToTheFirstInUse)
{
    std::string holder = std::string(Base) + "\\Holder";
    std::string deep = holder + "\\New\\Deeper";
    SetString(holder, "other", "stays");
    SetString(deep, "created", "1");
    char key[260];
    strcpy(key, deep.c_str());
    DeleteCreatedValue(1, key, "created");
    EXPECT_FALSE(KeyExists(holder + "\\New"));
    EXPECT_TRUE(KeyExists(holder)) << "the first parent that holds a value stays";
    DWORD type;
    EXPECT_EQ(std::string("stays\0", 6), ValueBytes(holder, "other", &type));

    // A value beside others: only the value goes.
    SetString(holder, "created", "1");
    strcpy(key, holder.c_str());
    DeleteCreatedValue(1, key, "created");
    EXPECT_EQ("<no value>", ValueBytes(holder, "created", &type));
    EXPECT_TRUE(KeyExists(holder));
}

// Removes a key with everything below it through handles relative to each
// parent, whatever the length of the whole path (test clean-up only).
static void DeleteByHandles(HKEY parent, const std::string& name)
{
    HKEY h;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS)
        return;
    char sub[256];
    DWORD size = sizeof(sub);
    while (RegEnumKeyExA(h, 0, sub, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteByHandles(h, sub);
        size = sizeof(sub);
    }
    RegCloseKey(h);
    RegDeleteKeyA(parent, name.c_str());
}

// A key below key whose path, two levels down, is too long to be named
// whole: the removal cannot reach its deepest key, so the key resists.
static void MakeResistingKey(const std::string& key)
{
    HKEY h = nullptr, deep = nullptr, deeper = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                    nullptr);
    RegCreateKeyExA(h, std::string(200, 'L').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deep,
                    nullptr);
    RegCreateKeyExA(deep, std::string(200, 'M').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &deeper, nullptr);
    RegCloseKey(deeper);
    RegCloseKey(deep);
    RegCloseKey(h);
}

TEST_F(EngineRegistry, ResistingKeysDoNotHoldUpTheRestOfTheTree)
{
    std::string tree = std::string(Base) + "\\Resists";
    MakeResistingKey(tree + "\\A");
    MakeResistingKey(tree + "\\C\\Deep");
    SetString(tree + "\\B", "v", "1");
    SetString(tree + "\\C\\Plain", "v", "1");
    SetString(tree + "\\D", "v", "1");
    ASSERT_TRUE(KeyExists(tree + "\\C\\Deep\\" + std::string(200, 'L')));

    EXPECT_NE(ERROR_SUCCESS, DeleteRegistryTree(tree.c_str(), 1));
    EXPECT_TRUE(KeyExists(tree + "\\A")) << "the resisting key stays";
    EXPECT_TRUE(KeyExists(tree + "\\C\\Deep"));
    EXPECT_FALSE(KeyExists(tree + "\\B")) << "keys after a resisting one still go";
    EXPECT_FALSE(KeyExists(tree + "\\C\\Plain"));
    EXPECT_FALSE(KeyExists(tree + "\\D"));
    DeleteByHandles(HKEY_CURRENT_USER, tree);
}

class RegistryOwnership : public ::testing::Test
{
  protected:
    std::string journal;
    void SetUp() override
    {
        JournalReset();
        journal = ScratchFolder("regowned") + "\\J.TXT";
        DeleteRegistryTree(Config, 2);
        DeleteRegistryTree("Software\\KetraTest", 1);
    }
    void TearDown() override
    {
        JournalReset();
        DeleteRegistryTree(Config, 2);
        DeleteRegistryTree("Software\\KetraTest", 1);
    }
    static constexpr const char* Config = "SYSTEM\\CurrentControlSet\\Control\\KetraTestConfig";
    static constexpr const char* Run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string Line(const char* outcome, const std::string& name, int32_t reason)
    {
        return std::string(" | ") + outcome + " | " + name + " | " + OwnReasonText(reason) + "\r\n";
    }
};

TEST_F(RegistryOwnership, SharedTreesStayAndTheJournalSaysWhyInARunAndADryRun)
{
    DWORD type;
    SetString("Environment", "KetraTestKeep", "env");
    SetString(Run, "KetraTestKeep", "run");
    for (int32_t dry = 1; dry >= 0; dry--) {
        JournalBegin(journal.c_str(), "", dry);
        JournalPhase("registry trees");
        EXPECT_EQ(OpKeptNotOwned, RemoveRegistryTree("Environment", 1).outcome);
        OpResult run = RemoveRegistryTree((std::string(Run) + "\\\\").c_str(), 1);
        EXPECT_EQ(OpKeptNotOwned, run.outcome);
        EXPECT_EQ((uint32_t)ReasonSharedKey, run.error);
        EXPECT_EQ(0, JournalFailedOperations()) << "a refusal is no failure";
        JournalEnd(0);
    }
    EXPECT_EQ(std::string("env\0", 4), ValueBytes("Environment", "KetraTestKeep", &type));
    EXPECT_EQ(std::string("run\0", 4), ValueBytes(Run, "KetraTestKeep", &type));
    std::string text = ReadFileText(journal);
    const char* dry = "would be kept (not the product's)";
    const char* real = "kept (not the product's)";
    EXPECT_NE(std::string::npos, text.find(Line(dry, "HKCU\\Environment", ReasonTopLevelKey)))
        << text;
    EXPECT_NE(std::string::npos, text.find(Line(real, "HKCU\\Environment", ReasonTopLevelKey)));
    EXPECT_NE(std::string::npos,
              text.find(Line(real, "HKCU\\" + std::string(Run) + "\\\\", ReasonSharedKey)));

    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Environment", 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        RegDeleteValueA(h, "KetraTestKeep");
        RegCloseKey(h);
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Run, 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        RegDeleteValueA(h, "KetraTestKeep");
        RegCloseKey(h);
    }
}

TEST_F(RegistryOwnership, ACreatedValueInTheSystemsConfigurationIsNeitherDeletedNorWritten)
{
    DWORD type;
    SetString(Config, "created", "system", HKEY_LOCAL_MACHINE);
    char key[260];
    strcpy(key, Config);
    JournalBegin(journal.c_str(), "", 0);
    JournalPhase("registry values");
    DeleteCreatedValue(2, key, "created");
    EXPECT_EQ(std::string("system\0", 7), ValueBytes(Config, "created", &type, HKEY_LOCAL_MACHINE));

    // The repair writes a created value again, but not there.
    std::string fresh = std::string(Config) + "\\Fresh";
    char data[2048] = "new";
    EXPECT_EQ(OpKeptNotOwned,
              RestoreCreatedValue(2, 0, fresh.c_str(), "v", data, sizeof(data)).outcome);
    EXPECT_FALSE(KeyExists(fresh, HKEY_LOCAL_MACHINE));
    std::string own = std::string(Base) + "\\Repaired";
    strcpy(data, "mine");
    EXPECT_EQ(OpRestored, RestoreCreatedValue(1, 0, own.c_str(), "v", data, sizeof(data)).outcome);
    EXPECT_EQ(std::string("mine\0", 5), ValueBytes(own, "v", &type));
    JournalEnd(0);
    EXPECT_NE(std::string::npos,
              ReadFileText(journal).find(Line("kept (not the product's)",
                                              "HKLM\\" + std::string(Config) + "\\created",
                                              ReasonSystemValue)));
}

TEST_F(RegistryOwnership, AnEmptiedKeyGoesOnlyWhereATreeOfItCould)
{
    // The product's own entries in shared keys go; the shared keys stay,
    // even when nothing else is left in them.
    const char* appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    std::string own = std::string(appPaths) + "\\KETRATEST.EXE";
    SetString(own, "Path", "C:\\KetraTest");
    SetString(Run, "KetraTestRun", "x");
    char key[260];
    strcpy(key, own.c_str());
    DeleteCreatedValue(1, key, "Path");
    EXPECT_FALSE(KeyExists(own));
    EXPECT_TRUE(KeyExists(appPaths));
    strcpy(key, Run);
    DeleteCreatedValue(1, key, "KetraTestRun");
    DWORD type;
    EXPECT_EQ("<no value>", ValueBytes(Run, "KetraTestRun", &type));
    EXPECT_TRUE(KeyExists(Run));

    // A vendor's key of two names still goes once empty.
    std::string vendor = "Software\\KetraTest\\Vendor\\Product";
    SetString(vendor, "v", "1");
    strcpy(key, vendor.c_str());
    DeleteCreatedValue(1, key, "v");
    EXPECT_FALSE(KeyExists("Software\\KetraTest"));
    EXPECT_TRUE(KeyExists("Software"));
}

// A service key is the product's only when the service is: "Create
// Service: RpcSs" beside a tree of its key is no evidence.
TEST_F(RegistryOwnership, AServiceKeyGoesOnlyWithAServiceOfTheProducts)
{
    StartSilentAutomaticRun();
    ServiceItem rpc = {};
    CopyText(rpc.Name, "RpcSs", sizeof rpc.Name);
    ItemListAppend(&ServiceList, &rpc);
    ServiceItem own = {};
    CopyText(own.Name, "KetraTestOwnSvc", sizeof own.Name);
    ItemListAppend(&ServiceList, &own);
    const char* services = "SYSTEM\\CurrentControlSet\\Services\\";
    std::string rpcKey = std::string(services) + "RpcSs";
    ASSERT_TRUE(KeyExists(rpcKey, HKEY_LOCAL_MACHINE)) << "the prefix runs RpcSs";
    OpResult kept = RemoveRegistryTree(rpcKey.c_str(), 2);
    EXPECT_EQ(OpKeptNotOwned, kept.outcome);
    EXPECT_TRUE(KeyExists(rpcKey, HKEY_LOCAL_MACHINE));
    // A service of the log's whose program lies in the product's folder.
    std::string left = std::string(services) + "KetraTestOwnSvc\\Parameters";
    SetString(left.c_str(), "x", "y", HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(KeyExists(left, HKEY_LOCAL_MACHINE));
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(services) + "KetraTestOwnSvc").c_str(),
                            0, KEY_ALL_ACCESS, &h));
    RegSetValueExA(h, "ImagePath", 0, REG_SZ, (const BYTE*)"C:\\ktrtest\\svc.exe", 19);
    RegCloseKey(h);
    LearnProductFolders("C:\\ktrtest\\INSTALL.LOG");
    EXPECT_EQ(OpRemoved,
              RemoveRegistryTree((std::string(services) + "KetraTestOwnSvc").c_str(), 2).outcome);
    EXPECT_FALSE(KeyExists(std::string(services) + "KetraTestOwnSvc", HKEY_LOCAL_MACHINE));
    ResetRun();
}
