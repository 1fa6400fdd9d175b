// What start-up finds out about this system and this program before any
// work: the platform, whether the shell wants change notices, the program's
// own paths and its background setting. Written by start-up alone, read
// afterwards; the run itself (its options, the wizard's choices, the
// engine's request and the outcome) is passed by hand.
#pragma once
#include <cstdint>

enum { PlatformNT = 1, Platform95 = 2 };

extern int32_t PlatformKind;
extern int32_t NewShell; // the shell takes change notices (a 4.0 or later system)
extern int32_t NoBackground;

// Paths (ANSI, NUL-terminated).
extern char ModulePath[256];
extern char SettingsIniPath[256];
extern char ProgramFilesDir[260];

// Back to the values before start-up (0 or empty); tests use it between cases.
void ResetSystemFacts();
