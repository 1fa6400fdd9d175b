// Process-wide run state: the platform, the paths and the flags the reader
// still reads. The command-line flags among them are copied from the run's
// options in one place (PublishRunOptions); app/ itself passes the options
// and the outcome by hand, and the wizard keeps its run in its window.
#pragma once
#include <cstdint>

#include "engine/uninstall.h"

enum { PlatformNT = 1, Platform95 = 2 };

// The roll-back asked for on the command line, then the wizard's answer
// (copied from its run by the run sequence); no part of the run reads it.
extern int32_t RollbackMode;
extern int32_t PlatformKind;
extern int32_t NewShell;
extern int32_t NoBackground;

// Paths (ANSI, NUL-terminated).
extern char ModulePath[256];
extern char SettingsIniPath[256];
extern char ProgramFilesDir[260];
extern char ApplicationFolder[260];

struct RunOptions;
// Sets the process-wide copies of the command-line flags (RollbackMode) from
// options, which must outlive the run.
void PublishRunOptions(const RunOptions& options);

// Resets every value to its start (0 or empty); tests use it between cases.
void ResetRunState();
