// Whether an INI file the log says it created may be deleted. No installer
// creates the system's own INI files: "INI New: " before WIN.INI or
// SYSTEM.INI is a damaged or hand-made log, and deleting such a file takes
// every program's settings (or the system's start-up) with it. The product's
// own INI files, in its folder or in the Windows folder, still go.
#pragma once
#include <cstdint>

#include "engine/ownership.h"

// The folders the system keeps its INI files in, in canonical form: the
// Windows folder (and a user's own one) and every system folder.
struct IniFolders {
    const char* const* system;
    int32_t systemCount;
};

// Why the file at canonical (its real location, canonical) may not be
// deleted as an INI file the log created, or OwnedByLog. A system INI name
// (WIN.INI, SYSTEM.INI, ...) is refused in a system folder, at a drive's
// root and anywhere on a share (whose folder cannot be told apart from the
// Windows folder: \\host\ADMIN$ is one); a registry hive file and a profile's
// own INI file are refused anywhere.
int32_t IniFileRemovalReason(const char* canonical, const IniFolders* folders);

// ---- Answered by the running system (ownership_ini_win32.cpp) -------------

// Why the INI file at path may not be deleted, or OwnedByLog.
int32_t IniFileOwnership(const char* path);
