#include "engine/shared.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>

#include "app/system_facts.h"
#include "engine/counters.h"
#include "log/pool.h"
#include "engine/journal.h"
#include "engine/registry.h"
#include "engine/reporter.h"

static const char SharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
static const char BdeKey[] = "Software\\Borland\\Database Engine";
static const char BdeWindowsKey[] = "Software\\Borland\\BLW32";
static const char BorlandKey[] = "Software\\Borland";
enum { CounterDataSize = 256, RootLocalMachine = 2 };

// Reads a counter value in one of its accepted forms; 1 with *count set.
static int32_t QueryCounter(HKEY key, const char* name, int32_t* count)
{
    BYTE data[CounterDataSize];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return 0;
    return ParseCounterValue(type, data, size, count);
}

enum { CounterNameSize = 1024, KnownCountersLimit = 8192 };

// Reads every value name of the counters' key, unless there are more than
// half as many as the phase has files (looking each file up costs less
// then), or more than the pool's block holds, or a name longer than a path.
static void LearnCounterNames(SharedCounters* counters, int32_t lookups)
{
    int32_t limit = lookups / 2 < KnownCountersLimit ? lookups / 2 : KnownCountersLimit;
    if (limit <= 0)
        return;
    uint32_t* signatures = nullptr;
    int32_t count = 0;
    for (DWORD i = 0;; i++) {
        char name[CounterNameSize];
        DWORD size = sizeof(name);
        LONG status =
            RegEnumValueA((HKEY)counters->key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || count >= limit)
            return;
        if (!signatures)
            signatures = (uint32_t*)PoolAlloc(limit * (int32_t)sizeof(uint32_t));
        if (!signatures)
            return;
        signatures[count++] = CounterNameSignature(name);
    }
    std::sort(signatures, signatures + count);
    counters->signatures = signatures;
    counters->count = count;
    counters->known = 1;
}

SharedCounters OpenSharedCounters(int32_t lookups)
{
    SharedCounters counters = {0, 0, 0, nullptr};
    HKEY key = nullptr;
    if (NewShell && RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey, 0, EngineKeyAccess, &key) ==
                        ERROR_SUCCESS) {
        counters.key = (uintptr_t)key;
        LearnCounterNames(&counters, lookups);
    }
    return counters;
}

void CloseSharedCounters(SharedCounters* counters)
{
    if (counters->key)
        RegCloseKey((HKEY)counters->key);
    counters->key = 0;
}

int32_t ReleaseSharedFile(const char* path, int32_t copies, const UninstallRequest& request)
{
    SharedCounters counters = OpenSharedCounters(1);
    int32_t result = ReleaseSharedFileIn(counters, path, copies, request);
    CloseSharedCounters(&counters);
    return result;
}

int32_t ReleaseSharedFileIn(const SharedCounters& counters, const char* path, int32_t copies,
                            const UninstallRequest& request)
{
    HKEY key = (HKEY)counters.key;
    int32_t result = SharedNoCounter;
    int32_t count = 0;
    if (!key)
        return SharedNoCounter;
    // No value of the key can be the file's: nothing to look up.
    if (counters.known &&
        !std::binary_search(counters.signatures, counters.signatures + counters.count,
                            CounterNameSignature(path)))
        return SharedNoCounter;
    if (QueryCounter(key, path, &count) && count > 0) {
        int32_t n = LoweredCount(count, copies, request.rollback);
        bool dryRun = JournalDryRun() != 0;
        if (n >= 1) {
            // Written as REG_DWORD whatever form it had; a failed write
            // still keeps the file.
            DWORD value = (DWORD)n;
            LONG status = dryRun ? ERROR_SUCCESS
                                 : RegSetValueExA(key, path, 0, REG_DWORD, (const BYTE*)&value,
                                                  sizeof(value));
            JournalRecord(WhatCounter, path,
                          status == ERROR_SUCCESS ? Outcome(OpLowered)
                                                  : Outcome(OpFailed, (uint32_t)status));
            JournalRecord(WhatFile, path, Outcome(OpKeptShared));
            result = SharedKeep;
        } else {
            // A silent run cannot ask: the file stays.
            int32_t remove = request.silent ? 0 : Reporter->askSharedFile(path);
            result = remove ? SharedRemove : SharedKeep;
            // A kept file no longer has a counter either: nothing counts it.
            LONG status = dryRun ? ERROR_SUCCESS : RegDeleteValueA(key, path);
            JournalRecord(WhatCounter, path,
                          status == ERROR_SUCCESS ? Outcome(OpRemoved)
                                                  : Outcome(OpFailed, (uint32_t)status));
            if (result == SharedKeep)
                JournalRecord(WhatFile, path, Outcome(OpKeptChosen));
        }
    }
    return result;
}

// 1 when the user aborts, 0 to go on. A silent run cannot ask: it leaves the
// engine in place while its server runs (see ReleaseBde).
static int32_t WaitForServerClosed(int32_t silent, int32_t* serverRunning)
{
    *serverRunning = 0;
    while (FindWindowA("IB_Server", nullptr)) {
        if (silent) {
            *serverRunning = 1;
            return 0;
        }
        int32_t answer = Reporter->askServerRunning();
        if (answer == IDABORT)
            return 1;
        if (answer != IDRETRY)
            break;
    }
    return 0;
}

// Removes "Software\Borland" when the engine's keys were all it held.
static void RemoveEmptyBorlandKey()
{
    HKEY key = nullptr;
    char name[256];
    DWORD nameSize = sizeof(name);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BorlandKey, 0, EngineKeyAccess, &key) != ERROR_SUCCESS)
        return;
    bool hasValue =
        RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    nameSize = sizeof(name);
    bool hasSubkey = !hasValue && RegEnumKeyExA(key, 0, name, &nameSize, nullptr, nullptr, nullptr,
                                                nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!hasValue && !hasSubkey)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, BorlandKey);
}

int32_t ReleaseBde(int32_t silent)
{
    HKEY key = nullptr;
    int32_t count = 0;
    int32_t result = 0;
    bool removeKeys = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BdeKey, 0, EngineKeyAccess, &key) != ERROR_SUCCESS)
        return 0;
    if (QueryCounter(key, "UseCount", &count)) {
        if (count >= 2) {
            // The engine keeps its count as text, whatever form it was found in.
            char text[16];
            int len = snprintf(text, sizeof(text), "%d", (int)(count - 1));
            LONG status = JournalDryRun() ? ERROR_SUCCESS
                                          : RegSetValueExA(key, "UseCount", 0, REG_SZ,
                                                           (const BYTE*)text, (DWORD)len + 1);
            JournalRecord(WhatCounter, "HKLM\\Software\\Borland\\Database Engine UseCount",
                          status == ERROR_SUCCESS ? Outcome(OpLowered)
                                                  : Outcome(OpFailed, (uint32_t)status));
        } else if (count == 1) {
            int32_t serverRunning = 0;
            result = WaitForServerClosed(silent, &serverRunning);
            removeKeys = result == 0 && !serverRunning;
        }
    }
    RegCloseKey(key);
    if (removeKeys) {
        RemoveRegistryTree(BdeKey, RootLocalMachine);
        RemoveRegistryTree(BdeWindowsKey, RootLocalMachine);
        if (!JournalDryRun())
            RemoveEmptyBorlandKey();
    }
    return result;
}
