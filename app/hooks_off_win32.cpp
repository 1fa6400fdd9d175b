#include "app/startup.h"

// The shipped program has no test hooks: it never holds its windows and
// traces nothing. The test builds link tests/support/test_hooks_win32.cpp
// instead of this file.

int32_t HoldForTest()
{
    return 0;
}

void TraceStartupForTest(const RunOptions&, const RunFiles&, const RunOutcome&) {}
