// The run after the log has been read: wizard or not, the work, the restart
// question, the status report, then the closing steps.
#pragma once
#include <cstdint>

struct RunOptions;
struct RunFiles;

int RunSequence(const RunOptions& options, const RunFiles& files);
// Reads the log files.logPath (after the item lists are made) and goes on
// with the run sequence, or straight to the closing steps when there is no
// usable log.
int ReadLogAndRun(const RunOptions& options, const RunFiles& files);

void BeginRestorePoint();
// cancelled: the user cancelled the work the restore point was made for.
void EndRestorePoint(int32_t cancelled);
