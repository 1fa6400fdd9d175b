// How a run ended: collected once after the work and handed to the closing
// steps, which read no run flag of their own, and turned into the process's
// exit code in one place.
#pragma once
#include <cstdint>

#include "engine/deferred.h"

struct RunOutcome {
    int32_t cancelled;          // the user cancelled, before or during the work
    int32_t restartNeeded;      // a restart finishes the work
    int32_t selfRemovalPending; // the program's own file is among those to remove
    int32_t rolledBack;         // the run rolled back the latest installation only
    // Something the run needed could not be done: its journal path could not
    // be kept whole, its windows could not be made, or a silent repair found
    // no installer for its damaged files.
    int32_t failed;
    int32_t logUnusable; // no log was read (none given or chosen, or it was refused)
    // The user stopped the work at a question without the wizard's Cancel:
    // the open-file dialog, the installer-path question of a repair, Abort
    // in the database-engine question.
    int32_t stoppedByUser;
    // Operations the log asked for that neither happened nor were left to
    // the restart.
    int32_t operationsFailed;
    // Operations wait for a restart that no user agreed to: declined in the
    // restart question, or a silent run, whose caller owns the machine's
    // restart (the program still asks the system for it).
    int32_t restartLeft;
};

// The process's exit codes, as deployment tools know them.
enum {
    ExitDone = 0,
    ExitCancelled = 1602,
    ExitFailed = 1603,
    ExitRestartNeeded = 3010,
};

// The outcome as the run's parts hand it back: whether the user cancelled,
// what the engine left to the restart and to the temporary copy, whether
// the run rolled back, and the restart an earlier stage of this run asked
// for (the command line's marker).
RunOutcome CollectRunOutcome(int32_t cancelled, const DeferredWork& deferred, int32_t rolledBack,
                             int32_t restartMarker);

// The exit code of a run that ended with outcome: a stop by the user wins
// over a failure, a failure over a restart still needed.
int32_t ExitCodeOf(const RunOutcome& outcome);
