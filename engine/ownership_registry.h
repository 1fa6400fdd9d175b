// Which registry keys and values the log may remove. A log names a key by a
// root number and a text; the same key has many spellings (case, stray
// backslashes, the 32-bit view's Wow6432Node, HKCR for the merged
// Software\Classes, a user's hive under HKU, HKCC inside the control set),
// so every rule compares a canonical form. The system's keys and the keys
// other programs share are tables of names: a key the system keeps whole, a
// container whose children may be a product's. Pure rules: the Win32 side
// (registry_win32.cpp) asks before it removes or writes.
#pragma once
#include <cstdint>

#include "log/items.h"

enum { RegistryKeyTextSize = 400 };

// The hive a canonical key lies in. HKCR is both Software\Classes at once:
// the machine's and the user's.
enum RegistryHive { HiveMachine = 1, HiveUser, HiveClasses };

struct CanonicalKey {
    int32_t hive;
    // The names the log's text adds below its root (below the hive's name
    // under HKU): 0 when it names the root, or a user's hive, itself.
    int32_t depth;
    // Below the hive: names joined by one backslash, none at either end,
    // empty for the hive itself; Wow6432Node dropped, a numbered control set
    // as CurrentControlSet; HKCR and HKU\<sid>_Classes begin Software\Classes,
    // HKCC begins SYSTEM\CurrentControlSet\Hardware Profiles\Current. Names
    // keep their case: compare without regard to it.
    char path[RegistryKeyTextSize];
};

// The canonical form of key under the log's root index (0..4). Returns 1, or
// 0 for a root index outside the table or a key too long for the form.
int32_t CanonicalRegistryKey(int32_t root, const char* key, CanonicalKey* out);

// What the log shows to be its own beside the keys themselves.
struct RegistryEvidence {
    // ServiceItem records: a service's key (and all below it) in the control
    // set is the product's when it is named here...
    const ItemList* services;
    // ...and, when this is given, the service itself is the product's (its
    // program is), or is already gone: asked only for a key below the
    // service of that name.
    bool (*serviceOwned)(const char* name);
};

// Why the tree at key (under the root index) may not be removed, or
// OwnedByLog: never a hive's root, a key of one name, a key of the system's
// or one other programs share, or a key that holds one.
int32_t RegistryTreeReason(int32_t root, const char* key, const RegistryEvidence* evidence);

// Why a value the log says it created in key may not be deleted (or written
// again by a repair), or OwnedByLog: the system's own configuration (the
// SYSTEM hive but the log's own services, Winlogon's key) is never something
// an installation created; a genuine log records a change there with the old
// data. The shared keys products add values to (Run, App Paths, SharedDLLs,
// Uninstall) are no obstacle.
int32_t CreatedValueReason(int32_t root, const char* key, const RegistryEvidence* evidence);
