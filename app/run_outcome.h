// How a run ended: collected once after the work and handed to the closing
// steps, which read no run flag of their own.
#pragma once
#include <cstdint>

struct RunOutcome {
    int32_t cancelled;          // the user cancelled, before or during the work
    int32_t restartNeeded;      // a restart finishes the work
    int32_t selfRemovalPending; // the program's own file is among those to remove
    int32_t rolledBack;         // the run rolled back the latest installation only
};

// Reads the outcome from the flags the wizard and the engine set during the run.
RunOutcome CollectRunOutcome();
