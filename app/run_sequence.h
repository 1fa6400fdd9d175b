// The run after the log has been read: wizard or not, the work, the restart
// question, the status report, then the closing steps.
#pragma once
#include <cstdint>

int RunSequence(int32_t tempCopyMade);
// Reads the log (after the item lists are made) and goes on with the run
// sequence, or straight to the closing steps when there is no usable log.
int ReadLogAndRun(int32_t tempCopyMade);

void BeginRestorePoint();
void EndRestorePoint();
