// Registry restore and removal on the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "engine/registry.h"

static const char* Base = "Software\\KetraTest\\Engine";

static bool KeyExists(const std::string& key)
{
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

static void SetString(const std::string& key, const char* name, const char* value)
{
    HKEY h;
    RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                    nullptr);
    RegSetValueExA(h, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(h);
}

static std::string ValueBytes(const std::string& key, const char* name, DWORD* type)
{
    HKEY h;
    std::string data;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
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
