#include "app/run_outcome.h"

RunOutcome CollectRunOutcome(int32_t cancelled, const DeferredWork& deferred, int32_t rolledBack,
                             int32_t restartMarker)
{
    RunOutcome outcome = {};
    outcome.cancelled = cancelled;
    outcome.restartNeeded = deferred.restartNeeded || restartMarker ? 1 : 0;
    outcome.selfRemovalPending = deferred.selfRemovalPending;
    outcome.rolledBack = rolledBack;
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
