// Process-wide run state: the flags and values the engine and the reader
// still read. The command-line flags among them are copied from the run's
// options in one place (PublishRunOptions); app/ itself passes the options
// and the outcome by hand, and the wizard keeps its run in its window.
#pragma once
#include <cstdint>

#include "app/run_modes.h"

enum { PlatformNT = 1, Platform95 = 2 };

extern int32_t SilentMode;
extern int32_t RollbackMode;
extern int32_t RestartNeeded;
extern int32_t SelfRemovalPending;
extern int32_t Cancelled;
extern int32_t UninstallMode;
extern int32_t PlatformKind;
extern int32_t NewShell;
extern int32_t NoBackground;
extern int32_t SystemRestoreEnabled;
// UninstallMode, RollbackMode and Cancelled: the wizard's choices, copied
// from its run by the run sequence for the engine, which still reads them.

// Paths (ANSI, NUL-terminated).
extern char ModulePath[256];
extern char SettingsIniPath[256];
extern char ProgramFilesDir[260];
extern char ApplicationFolder[260];
extern const char* CommandLineTitle;

struct RunOptions;
// Sets the process-wide copies of the command-line flags (SilentMode,
// RollbackMode, RestartNeeded from the /z1 marker, CommandLineTitle) from
// options, which must outlive the run.
void PublishRunOptions(const RunOptions& options);

// Resets every value to its start (0 or empty); tests use it between cases.
void ResetRunState();
