// The exit code a run ends with, from the outcome the run sequence collects.
#include <gtest/gtest.h>

#include "app/run_outcome.h"

// An outcome with one field set.
static RunOutcome With(int32_t RunOutcome::*field, int32_t value = 1)
{
    RunOutcome outcome = {};
    outcome.*field = value;
    return outcome;
}

TEST(ExitCode, EachWayARunEndsHasItsCode)
{
    EXPECT_EQ(0, ExitCodeOf(RunOutcome{}));
    EXPECT_EQ(1602, ExitCodeOf(With(&RunOutcome::cancelled)));
    EXPECT_EQ(1602, ExitCodeOf(With(&RunOutcome::stoppedByUser)));
    EXPECT_EQ(1603, ExitCodeOf(With(&RunOutcome::failed)));
    EXPECT_EQ(1603, ExitCodeOf(With(&RunOutcome::logUnusable)));
    EXPECT_EQ(1603, ExitCodeOf(With(&RunOutcome::operationsFailed, 3)));
    EXPECT_EQ(3010, ExitCodeOf(With(&RunOutcome::restartLeft)));
}

TEST(ExitCode, WhatTheRunDidWithoutFaultStaysDone)
{
    // A restart the user agreed to is under way: nothing is left to the caller.
    EXPECT_EQ(0, ExitCodeOf(With(&RunOutcome::restartNeeded)));
    EXPECT_EQ(0, ExitCodeOf(With(&RunOutcome::selfRemovalPending)));
    EXPECT_EQ(0, ExitCodeOf(With(&RunOutcome::rolledBack)));
}

TEST(ExitCode, AStopByTheUserWinsOverAFailureAndAFailureOverARestart)
{
    RunOutcome outcome = {};
    outcome.restartLeft = 1;
    outcome.operationsFailed = 1;
    EXPECT_EQ(1603, ExitCodeOf(outcome));
    outcome.cancelled = 1;
    EXPECT_EQ(1602, ExitCodeOf(outcome));
    // The open dialog closed without a log: the user's stop, not a failure.
    RunOutcome unread = {};
    unread.logUnusable = 1;
    unread.stoppedByUser = 1;
    EXPECT_EQ(1602, ExitCodeOf(unread));
}

TEST(ExitCode, TheCollectedOutcomeCarriesWhatThePartsHandBack)
{
    DeferredWork deferred = {};
    deferred.restartNeeded = 1;
    RunOutcome outcome = CollectRunOutcome(1, deferred, 0, 0);
    EXPECT_EQ(1, outcome.cancelled);
    EXPECT_EQ(1, outcome.restartNeeded);
    EXPECT_EQ(0, outcome.restartLeft);
    EXPECT_EQ(1602, ExitCodeOf(outcome));
    EXPECT_EQ(0, ExitCodeOf(CollectRunOutcome(0, DeferredWork{}, 0, 0)));
    // The restart an earlier stage asked for (the command line's marker)
    // is still needed when this stage deferred nothing.
    EXPECT_EQ(1, CollectRunOutcome(0, DeferredWork{}, 0, 1).restartNeeded);
    deferred = DeferredWork{};
    deferred.selfRemovalPending = 1;
    RunOutcome own = CollectRunOutcome(0, deferred, 1, 0);
    EXPECT_EQ(1, own.selfRemovalPending);
    EXPECT_EQ(0, own.restartNeeded) << "the program's own file waits for no restart";
    EXPECT_EQ(1, own.rolledBack);
}
