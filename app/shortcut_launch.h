// The Win32 side of the shortcut launch check and the start of the
// shortcut's program.
#pragma once
#include <windows.h>
#include <cstdint>

// Open from a check that asked for a repair until the end of the run.
extern HKEY RepairKey;

// Runs the check for logPath (the command line's path). Returns 1 when the
// process is to end now (exit code 0): no repair key, nothing damaged, or
// the user chose not to repair. Returns 0 with AutoMode and FinalPageOnly set
// and RepairKey open when the user asked for a repair.
int32_t CheckShortcut(const char* logPath);
// Starts the program of shortcut ShortcutNumber from the "Icons\<n>" subkey
// of key; shows the system's error text when it cannot be started.
void LaunchShortcutTarget(HKEY key);
// The last step of a /W<n> run: start the program, close the key.
void LaunchAndCloseRepairKey();
