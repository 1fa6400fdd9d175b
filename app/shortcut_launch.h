// The Win32 side of the shortcut launch check and the start of the
// shortcut's program.
#pragma once
#include <windows.h>
#include <cstdint>

// Open from a check that asked for a repair until the end of the run.
extern HKEY RepairKey;

struct RunOptions;

// Runs the check for the command line's log path (options->log.path).
// Returns 1 when the process is to end now (exit code 0): no repair key,
// nothing damaged, or the user chose not to repair. Returns 0 with
// options->automatic and options->finalPageOnly set and RepairKey open
// when the user asked for a repair.
int32_t CheckShortcut(RunOptions* options);
// Starts the program of shortcut number from the "Icons\<n>" subkey of
// key; shows the system's error text when it cannot be started.
void LaunchShortcutTarget(HKEY key, int32_t number);
// The last step of a /W<n> run: start shortcut number's program, close the key.
void LaunchAndCloseRepairKey(int32_t number);
