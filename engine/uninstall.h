// The uninstall driver: undoes what the install log records, in fixed phases.
#pragma once
#include <cstdint>

// The wizard's modes (their numbers are the mode buttons' ids).
enum { ModeAutomatic = 1000, ModeCustom = 1001, ModeRepair = 1009 };

// What the run asks of the driver: the wizard's choices and the command
// line's, passed by hand to every step that needs them.
struct UninstallRequest {
    int32_t mode;     // ModeAutomatic or ModeCustom
    int32_t rollback; // roll back the latest installation only (Automatic mode only)
    int32_t silent;   // no question may be shown: each takes its silent answer
};

// How the driver's work ended.
struct UninstallResult {
    int32_t aborted;    // the user chose Abort in the database-engine question
    int32_t rolledBack; // the latest installation was rolled back, not removed
};

UninstallResult RunUninstall(const char* logPath, const UninstallRequest& request);
