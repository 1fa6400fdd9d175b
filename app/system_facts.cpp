#include "app/run_state.h"
#include "app/command_line.h"

int32_t RollbackMode;
int32_t PlatformKind;
int32_t NewShell;
int32_t NoBackground;

char ModulePath[256];
char SettingsIniPath[256];
char ProgramFilesDir[260];
char ApplicationFolder[260];

void PublishRunOptions(const RunOptions& options)
{
    RollbackMode = options.rollback;
}

void ResetRunState()
{
    RollbackMode = 0;
    PlatformKind = NewShell = NoBackground = 0;
    ModulePath[0] = SettingsIniPath[0] = 0;
    ProgramFilesDir[0] = ApplicationFolder[0] = 0;
}
