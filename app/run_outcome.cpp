#include "app/run_outcome.h"
#include "app/run_state.h"

RunOutcome CollectRunOutcome()
{
    RunOutcome outcome = {};
    outcome.cancelled = Cancelled;
    outcome.restartNeeded = RestartNeeded;
    outcome.selfRemovalPending = SelfRemovalPending;
    outcome.rolledBack = RollbackMode;
    return outcome;
}
