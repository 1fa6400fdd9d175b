#include "engine/registry.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "engine/regdata.h"
#include "log/path_helpers.h"

static const HKEY RootKeyTable[5] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                     HKEY_USERS, HKEY_CURRENT_CONFIG};
static const DWORD ValueTypeTable[5] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY};

// A damaged log can carry any number here; such an entry addresses no key.
uintptr_t RootKeyForIndex(int32_t rootIndex)
{
    if (rootIndex < 0 || rootIndex > 4)
        return 0;
    return (uintptr_t)RootKeyTable[rootIndex];
}

uint32_t ValueTypeForIndex(int32_t typeIndex)
{
    if (typeIndex < 0 || typeIndex > 4)
        return REG_SZ;
    return ValueTypeTable[typeIndex];
}

void RestoreRegistryValue(int32_t root, int32_t type, const char* key, const char* name, char* data,
                          int32_t size, int32_t create)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    HKEY handle = nullptr;
    LONG status;
    if (!rootKey)
        return;
    if (create) {
        DWORD disposition = 0;
        status = RegCreateKeyExA(rootKey, key, 0, nullptr, 0, EngineKeyCreateAccess, nullptr,
                                 &handle, &disposition);
    } else {
        status = RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle);
    }
    if (status != ERROR_SUCCESS)
        return;
    int32_t count = RegistryDataBytes(type, data, size);
    RegSetValueExA(handle, name, 0, ValueTypeForIndex(type), (const BYTE*)data, (DWORD)count);
    RegCloseKey(handle);
}

long DeleteRegistryTree(const char* key, int32_t root)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    if (!rootKey)
        return ERROR_INVALID_PARAMETER;
    // A subkey that resists deletion is found again at index 0 on every pass;
    // the bound ends the loop.
    for (int pass = 0; pass < 2048; pass++) {
        HKEY handle = nullptr;
        char name[256];
        char subkey[400];
        DWORD nameSize = sizeof(name);
        if (RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle) != ERROR_SUCCESS)
            break;
        LONG status = RegEnumKeyExA(handle, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(handle);
        if (status != ERROR_SUCCESS)
            break;
        // A path too long for the buffer cannot be opened correctly either;
        // stop rather than delete a wrongly cut key.
        int written = snprintf(subkey, sizeof(subkey), "%s\\%s", key, name);
        if (written < 0 || written >= (int)sizeof(subkey))
            break;
        DeleteRegistryTree(subkey, root);
    }
    return RegDeleteKeyA(rootKey, key);
}

void DeleteCreatedValue(int32_t root, char* key, const char* name)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    bool firstPass = true;
    if (!rootKey)
        return;
    while (key[0]) {
        HKEY handle = nullptr;
        char probe[256];
        DWORD probeSize = sizeof(probe);
        if (RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle) != ERROR_SUCCESS)
            return;
        if (firstPass)
            RegDeleteValueA(handle, name);
        firstPass = false;
        LONG hasValue =
            RegEnumValueA(handle, 0, probe, &probeSize, nullptr, nullptr, nullptr, nullptr);
        if (hasValue == ERROR_SUCCESS || hasValue == ERROR_MORE_DATA) {
            RegCloseKey(handle);
            return;
        }
        probeSize = sizeof(probe);
        LONG hasKey =
            RegEnumKeyExA(handle, 0, probe, &probeSize, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(handle);
        if (hasKey == ERROR_SUCCESS || hasKey == ERROR_MORE_DATA)
            return;
        RegDeleteKeyA(rootKey, key);
        char* cut = LastBackslash(key);
        if (cut)
            *cut = 0;
        else
            key[0] = 0;
    }
}
