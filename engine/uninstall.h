// The uninstall driver: undoes what the install log records, in fixed phases.
#pragma once
#include <cstdint>

// How the driver's work ended, beyond the run flags it sets.
struct UninstallResult {
    int32_t aborted; // the user chose Abort in the database-engine question
};

UninstallResult RunUninstall(const char* logPath);
