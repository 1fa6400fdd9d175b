// Process-wide run state: the flags and values the wizard, the engine and
// the reader still read. The command-line flags among them are copied from
// the run's options in one place (PublishRunOptions); app/ itself passes
// the options and the outcome by hand.
#pragma once
#include <cstdint>

#include "engine/uninstall.h"

enum { PlatformNT = 1, Platform95 = 2 };
enum { PageFinal = 11 };

extern int32_t AutoMode;
extern int32_t RollbackMode;
extern int32_t FinalPageOnly;
extern int32_t ShortcutNumber;
extern int32_t Cancelled;
extern int32_t WizardDone;
extern int32_t UninstallMode;
extern uint8_t WizardPage;
extern int32_t PlatformKind;
extern int32_t NewShell;
extern int32_t NoBackground;
extern int32_t RepairSourceKnown;

// Paths (ANSI, NUL-terminated).
extern char ModulePath[256];
extern char SettingsIniPath[256];
extern char ProgramFilesDir[260];
extern char ApplicationFolder[260];

struct RunOptions;
// Sets the process-wide copies of the command-line flags (AutoMode,
// RollbackMode, FinalPageOnly, ShortcutNumber) from
// options, which must outlive the run.
void PublishRunOptions(const RunOptions& options);

// Resets every value to its start (0 or empty); tests use it between cases.
void ResetRunState();
