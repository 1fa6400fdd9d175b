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

int32_t ExitCodeOf(const RunOutcome& outcome)
{
    if (outcome.cancelled || outcome.stoppedByUser)
        return ExitCancelled;
    if (outcome.failed || outcome.logUnusable || outcome.operationsFailed > 0)
        return ExitFailed;
    if (outcome.restartLeft)
        return ExitRestartNeeded;
    return ExitDone;
}
