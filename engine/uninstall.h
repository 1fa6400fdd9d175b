// The uninstall driver: undoes what the install log records, in fixed phases.
#pragma once
#include <cstdint>

// How the driver's work ended, beyond the run flags it sets.
struct UninstallResult {
    int32_t aborted;   // the user chose Abort in the database-engine question
    int32_t filesLeft; // files to remove that stayed, not even left to the restart
};

UninstallResult RunUninstall(const char* logPath);
