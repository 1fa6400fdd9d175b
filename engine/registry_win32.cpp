#include "engine/registry.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "engine/journal.h"
#include "engine/ownership.h"
#include "engine/ownership_registry.h"
#include "engine/ownership_services.h"
#include "engine/regdata.h"
#include "log/items.h"
#include "log/path_helpers.h"

static const HKEY RootKeyTable[5] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                     HKEY_USERS, HKEY_CURRENT_CONFIG};
static const DWORD ValueTypeTable[5] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY};

static const char* const RootNames[5] = {"HKCR", "HKCU", "HKLM", "HKU", "HKCC"};

// "HKLM\key" or "HKLM\key\name" for the journal ("(default)" for the unnamed value).
static void RegistryName(char* out, size_t size, int32_t root, const char* key, const char* name)
{
    const char* rootName = root >= 0 && root <= 4 ? RootNames[root] : "?";
    if (name)
        snprintf(out, size, "%s\\%s\\%s", rootName, key, name[0] ? name : "(default)");
    else
        snprintf(out, size, "%s\\%s", rootName, key);
}

// What the log shows beside its keys: the services it created.
// A service the log names is the product's by its program (a "Create
// Service: RpcSs" names the system's); one already gone (the services phase
// removed it) leaves only its key behind.
static bool ServiceOwned(const char* name)
{
    char program[MAX_PATH];
    char key[400];
    CopyText(key, "SYSTEM\\CurrentControlSet\\Services\\", sizeof key);
    AppendText(key, name, sizeof key);
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return true;
    RegCloseKey(handle);
    return ServiceOwnership(name, nullptr, 0, program) == OwnedByLog;
}

static RegistryEvidence LogEvidence()
{
    RegistryEvidence evidence = {&ServiceList, ServiceOwned};
    return evidence;
}

static bool KeyExists(HKEY rootKey, const char* key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(rootKey, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

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

OpResult RestoreRegistryValue(int32_t root, int32_t type, const char* key, const char* name,
                              char* data, int32_t size, int32_t create)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    HKEY handle = nullptr;
    LONG status;
    char said[700];
    RegistryName(said, sizeof(said), root, key, name);
    if (!rootKey)
        return JournalRecord(WhatValue, said, Outcome(OpFailed, ERROR_INVALID_PARAMETER));
    if (JournalDryRun())
        return JournalRecord(WhatValue, said,
                             Outcome(create || KeyExists(rootKey, key) ? OpRestored : OpMissing));
    if (create) {
        DWORD disposition = 0;
        status = RegCreateKeyExA(rootKey, key, 0, nullptr, 0, EngineKeyCreateAccess, nullptr,
                                 &handle, &disposition);
    } else {
        status = RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle);
    }
    if (status == ERROR_FILE_NOT_FOUND && !create)
        return JournalRecord(WhatValue, said, Outcome(OpMissing));
    if (status != ERROR_SUCCESS)
        return JournalRecord(WhatValue, said, Outcome(OpFailed, (uint32_t)status));
    int32_t count = RegistryDataBytes(type, data, size);
    status =
        RegSetValueExA(handle, name, 0, ValueTypeForIndex(type), (const BYTE*)data, (DWORD)count);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return JournalRecord(WhatValue, said, Outcome(OpFailed, (uint32_t)status));
    return JournalRecord(WhatValue, said, Outcome(OpRestored));
}

OpResult RemoveRegistryTree(const char* key, int32_t root)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    char said[700];
    RegistryName(said, sizeof(said), root, key, nullptr);
    if (!rootKey)
        return JournalRecord(WhatKey, said, Outcome(OpFailed, ERROR_INVALID_PARAMETER));
    RegistryEvidence evidence = LogEvidence();
    int32_t reason = RegistryTreeReason(root, key, &evidence);
    if (reason != OwnedByLog)
        return JournalRecord(WhatKey, said, NotOwned(reason));
    if (!KeyExists(rootKey, key))
        return JournalRecord(WhatKey, said, Outcome(OpMissing));
    if (JournalDryRun())
        return JournalRecord(WhatKey, said, Outcome(OpRemoved));
    long status = DeleteRegistryTree(key, root);
    if (status != ERROR_SUCCESS)
        return JournalRecord(WhatKey, said, Outcome(OpFailed, (uint32_t)status));
    return JournalRecord(WhatKey, said, Outcome(OpRemoved));
}

// The whole work of one tree, across all its levels: a key that resists
// (the system refuses it, or its name does not fit) is passed over and
// counted, and the tree is left once too many have resisted, so that a tree
// of resisting keys ends as soon as one of sound keys would.
enum { TreeFailureLimit = 64, TreeVisitLimit = 262144 };

struct TreeWork {
    int32_t failures;
    int32_t visits;
    LONG lastFailure;
};

static bool TreeWorkSpent(const TreeWork* work)
{
    return work->failures >= TreeFailureLimit || work->visits >= TreeVisitLimit;
}

static void CountFailure(TreeWork* work, LONG status)
{
    work->failures++;
    work->lastFailure = status;
}

// Deepest keys first, the key itself last. A subkey that stays is passed
// over: the next one is found at the index after it.
static LONG DeleteTreeBounded(HKEY rootKey, const char* key, TreeWork* work)
{
    DWORD index = 0;
    bool subkeyStays = false;
    while (!TreeWorkSpent(work)) {
        HKEY handle = nullptr;
        char name[256];
        char subkey[400];
        DWORD nameSize = sizeof(name);
        if (RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle) != ERROR_SUCCESS)
            break;
        LONG status =
            RegEnumKeyExA(handle, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(handle);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        work->visits++;
        if (status != ERROR_SUCCESS) {
            CountFailure(work, status);
            subkeyStays = true;
            index++;
            continue;
        }
        // A path too long for the buffer cannot be opened correctly either;
        // pass over it rather than delete a wrongly cut key.
        int written = snprintf(subkey, sizeof(subkey), "%s\\%s", key, name);
        if (written < 0 || written >= (int)sizeof(subkey)) {
            CountFailure(work, ERROR_FILENAME_EXCED_RANGE);
            subkeyStays = true;
            index++;
            continue;
        }
        if (DeleteTreeBounded(rootKey, subkey, work) != ERROR_SUCCESS) {
            subkeyStays = true;
            index++;
        }
    }
    if (TreeWorkSpent(work))
        return work->lastFailure ? work->lastFailure : ERROR_CANTWRITE;
    LONG status = RegDeleteKeyA(rootKey, key);
    // A key that stays because a subkey stays is no new failure.
    if (status != ERROR_SUCCESS && !subkeyStays && status != ERROR_FILE_NOT_FOUND)
        CountFailure(work, status);
    return status;
}

long DeleteRegistryTree(const char* key, int32_t root)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    if (!rootKey)
        return ERROR_INVALID_PARAMETER;
    TreeWork work = {0, 0, ERROR_SUCCESS};
    return DeleteTreeBounded(rootKey, key, &work);
}

void DeleteCreatedValue(int32_t root, char* key, const char* name)
{
    HKEY rootKey = (HKEY)RootKeyForIndex(root);
    bool firstPass = true;
    char said[700];
    RegistryName(said, sizeof(said), root, key, name);
    if (!rootKey) {
        JournalRecord(WhatValue, said, Outcome(OpFailed, ERROR_INVALID_PARAMETER));
        return;
    }
    RegistryEvidence evidence = LogEvidence();
    int32_t reason = CreatedValueReason(root, key, &evidence);
    if (reason != OwnedByLog) {
        JournalRecord(WhatValue, said, NotOwned(reason));
        return;
    }
    if (JournalDryRun()) {
        HKEY handle = nullptr;
        bool present =
            RegOpenKeyExA(rootKey, key, 0, KEY_READ, &handle) == ERROR_SUCCESS &&
            RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (handle)
            RegCloseKey(handle);
        JournalRecord(WhatValue, said, Outcome(present ? OpRemoved : OpMissing));
        return;
    }
    while (key[0]) {
        HKEY handle = nullptr;
        char probe[256];
        DWORD probeSize = sizeof(probe);
        if (RegOpenKeyExA(rootKey, key, 0, EngineKeyAccess, &handle) != ERROR_SUCCESS) {
            if (firstPass)
                JournalRecord(WhatValue, said, Outcome(OpMissing));
            return;
        }
        if (firstPass) {
            LONG status = RegDeleteValueA(handle, name);
            OpOutcome done = status == ERROR_SUCCESS          ? OpRemoved
                             : status == ERROR_FILE_NOT_FOUND ? OpMissing
                                                              : OpFailed;
            JournalRecord(WhatValue, said, Outcome(done, done == OpFailed ? (uint32_t)status : 0));
        }
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
        // An emptied key goes only where a tree of it could: the climb
        // stops below the shared keys (Run, Software) and the roots.
        if (RegistryTreeReason(root, key, &evidence) != OwnedByLog)
            return;
        if (RegDeleteKeyA(rootKey, key) == ERROR_SUCCESS) {
            RegistryName(said, sizeof(said), root, key, nullptr);
            JournalRecord(WhatKey, said, Outcome(OpRemoved));
        }
        char* cut = LastBackslash(key);
        if (cut)
            *cut = 0;
        else
            key[0] = 0;
    }
}

OpResult RestoreCreatedValue(int32_t root, int32_t type, const char* key, const char* name,
                             char* data, int32_t size)
{
    RegistryEvidence evidence = LogEvidence();
    int32_t reason = CreatedValueReason(root, key, &evidence);
    if (reason != OwnedByLog && RootKeyForIndex(root)) {
        char said[700];
        RegistryName(said, sizeof(said), root, key, name);
        return JournalRecord(WhatValue, said, NotOwned(reason));
    }
    return RestoreRegistryValue(root, type, key, name, data, size, 1);
}
