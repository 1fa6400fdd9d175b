#include "app/run_state.h"
#include "app/command_line.h"

int32_t AutoMode;
int32_t RollbackMode;
int32_t FinalPageOnly;
int32_t ShortcutNumber;
int32_t Cancelled;
int32_t WizardDone;
int32_t UninstallMode;
uint8_t WizardPage;
int32_t PlatformKind;
int32_t NewShell;
int32_t NoBackground;
int32_t RepairSourceKnown;

char ModulePath[256];
char SettingsIniPath[256];
char ProgramFilesDir[260];
char ApplicationFolder[260];

void PublishRunOptions(const RunOptions& options)
{
    AutoMode = options.automatic;
    RollbackMode = options.rollback;
    FinalPageOnly = options.finalPageOnly;
    ShortcutNumber = options.shortcutNumber;
}

void ResetRunState()
{
    AutoMode = RollbackMode = FinalPageOnly = 0;
    ShortcutNumber = 0;
    Cancelled = WizardDone = UninstallMode = 0;
    WizardPage = 0;
    PlatformKind = NewShell = NoBackground = 0;
    RepairSourceKnown = 0;
    ModulePath[0] = SettingsIniPath[0] = 0;
    ProgramFilesDir[0] = ApplicationFolder[0] = 0;
}
