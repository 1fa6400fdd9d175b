// A restore point around the work, when the log asks for one and the
// system offers it.
#include "app/run_sequence.h"

#include <windows.h>
#include <cstdio>

#include "log/reader.h"
#include "platform/libraries.h"
#include "platform/procedure.h"

// The system's own record layouts (ANSI form).
#pragma pack(push, 1)
struct RestorePointInfo {
    DWORD eventType;
    DWORD restorePointType;
    INT64 sequenceNumber;
    char description[64];
};
struct RestoreManagerStatus {
    DWORD status;
    INT64 sequenceNumber;
};
#pragma pack(pop)

typedef BOOL(WINAPI* SetRestorePointFn)(RestorePointInfo* info, RestoreManagerStatus* status);

static HMODULE RestoreLibrary;
static SetRestorePointFn SetRestorePoint;
static bool RestoreBegun;
static RestorePointInfo Info;
static RestoreManagerStatus Status;

void BeginRestorePoint()
{
    if (!SystemRestoreEnabled)
        return;
    RestoreLibrary = LoadSystemLibrary("SFC.DLL");
    if (!RestoreLibrary)
        return;
    SetRestorePoint = SystemProcedure<SetRestorePointFn>(RestoreLibrary, "SRSetRestorePoint");
    if (!SetRestorePoint)
        return;
    ZeroMemory(&Info, sizeof(Info));
    Info.eventType = 100; // BEGIN_SYSTEM_CHANGE
    Info.restorePointType = 0;
    Info.sequenceNumber = 0;
    snprintf(Info.description, sizeof(Info.description), "Uninstall %s", ProductTitle);
    RestoreBegun = SetRestorePoint(&Info, &Status) != FALSE;
}

void EndRestorePoint(int32_t cancelled)
{
    if (!RestoreLibrary)
        return;
    if (RestoreBegun && SetRestorePoint) {
        Info.eventType = 101;                       // END_SYSTEM_CHANGE
        Info.restorePointType = cancelled ? 13 : 0; // CANCELLED_OPERATION
        Info.sequenceNumber = Status.sequenceNumber;
        SetRestorePoint(&Info, &Status);
    }
    FreeLibrary(RestoreLibrary);
    RestoreLibrary = nullptr;
    SetRestorePoint = nullptr;
    RestoreBegun = false;
}
