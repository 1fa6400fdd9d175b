#include "app/run_state.h"
#include "app/command_line.h"

int32_t SilentMode;
int32_t RollbackMode;
int32_t RestartNeeded;
int32_t SelfRemovalPending;
int32_t Cancelled;
int32_t UninstallMode;
int32_t PlatformKind;
int32_t NewShell;
int32_t NoBackground;
int32_t SystemRestoreEnabled;

char ModulePath[256];
char SettingsIniPath[256];
char ProgramFilesDir[260];
char ApplicationFolder[260];
const char* CommandLineTitle;

void PublishRunOptions(const RunOptions& options)
{
    SilentMode = options.silent;
    RollbackMode = options.rollback;
    RestartNeeded = options.restartMarker;
    CommandLineTitle = options.log.hasTitle ? options.log.title : nullptr;
}

void ResetRunState()
{
    SilentMode = RollbackMode = 0;
    RestartNeeded = SelfRemovalPending = 0;
    Cancelled = UninstallMode = 0;
    PlatformKind = NewShell = NoBackground = 0;
    SystemRestoreEnabled = 0;
    ModulePath[0] = SettingsIniPath[0] = 0;
    ProgramFilesDir[0] = ApplicationFolder[0] = 0;
    CommandLineTitle = nullptr;
}
