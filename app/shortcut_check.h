// The shortcut launch check (option /W<n>): the installation's repair key
// lists files and registry entries; when one is missing the user may repair
// before the shortcut's program starts.
#pragma once
#include <cstdint>

enum { RepairKeyNameSize = 400, CheckNameSize = 520 };

// The repair key's name under HKEY_LOCAL_MACHINE for a log path in its long
// form; the path's backslashes become '/' so that it forms one key name.
// Returns 0, or 1 when the name does not fit (out is then empty).
int32_t FormatRepairKeyName(char* out, int32_t size, const char* longLogPath);

// A registry reference of a check entry: "<root>\<subkey>\\<value name>".
struct RegistryReference {
    int32_t Root;
    char Subkey[CheckNameSize];
    const char* ValueName; // inside the parsed name; empty: only the key counts
};

// Takes name apart. Returns 1 when it names something to check, 0 when it
// has no double backslash (such an entry never counts as damage).
int32_t ParseRegistryReference(const char* name, RegistryReference* out);
