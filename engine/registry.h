// Registry removal and restore, and the tables that turn the log's registry
// numbers into platform values.
#pragma once
#include <cstdint>

#include "engine/files.h"

// Access used to open keys throughout the uninstall, and to create them.
enum { EngineKeyAccess = 0x1F, EngineKeyCreateAccess = 0x6 };

// Predefined key for a log root index 0..4 (0 for an index outside the table).
uintptr_t RootKeyForIndex(int32_t rootIndex);
// Value type for a log type index 0..4 (REG_SZ for an index outside it).
uint32_t ValueTypeForIndex(int32_t typeIndex);

// Writes one value from its text form; data is converted in place (size is the
// buffer's size). create = 1 makes a missing key, 0 leaves it missing.
// Journalled (OpRestored, OpMissing for a missing key, OpFailed); in a dry
// run only foreseen.
OpResult RestoreRegistryValue(int32_t root, int32_t type, const char* key, const char* name,
                              char* data, int32_t size, int32_t create);
// A value the log says it created, written again with its key made if
// missing (the repair): never in the system's own configuration (kept, not
// the product's). Journalled as RestoreRegistryValue.
OpResult RestoreCreatedValue(int32_t root, int32_t type, const char* key, const char* name,
                             char* data, int32_t size);
// Deletes key with all its subkeys and values, deepest first; returns the
// status of the key's own deletion. A subkey that resists is passed over and
// the others still go; once a bounded number of keys have resisted, across
// all levels, the tree is left (the last failure is returned). Neither
// journalled nor held back by a dry run, nor asked whether the key is the
// product's: the uninstall uses RemoveRegistryTree.
long DeleteRegistryTree(const char* key, int32_t root);
// DeleteRegistryTree as an operation of the run: a key the log does not show
// to be the product's (engine/ownership_registry.h) is kept (OpKeptNotOwned
// with the reason); else journalled (OpRemoved, OpMissing, OpFailed), and in
// a dry run only foreseen.
OpResult RemoveRegistryTree(const char* key, int32_t root);
// Deletes a value created by the install, then its key and every parent key
// that has become empty, up to the first that still holds something or that
// a tree removal would keep (a shared key, a key of one name). key is
// consumed (cut back component by component). A value in the system's own
// configuration is kept (OpKeptNotOwned). Journalled; a dry run says what
// becomes of the value alone.
void DeleteCreatedValue(int32_t root, char* key, const char* name);
