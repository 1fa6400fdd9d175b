#include "app/system_facts.h"

int32_t PlatformKind;
int32_t NewShell;
int32_t NoBackground;

char ModulePath[256];
char SettingsIniPath[256];
char ProgramFilesDir[260];

void ResetSystemFacts()
{
    PlatformKind = NewShell = NoBackground = 0;
    ModulePath[0] = SettingsIniPath[0] = ProgramFilesDir[0] = 0;
}
