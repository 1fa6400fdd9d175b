// Stand-in for the system's restore-point library: records every call as
// "event|type|sequence|description" in the file named by KETRA_SFC_LOG and
// hands out sequence number 42.
#include <windows.h>
#include <cstdio>

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

extern "C" BOOL WINAPI SRSetRestorePoint(RestorePointInfo* info, RestoreManagerStatus* status)
{
    char logPath[MAX_PATH];
    if (GetEnvironmentVariableA("KETRA_SFC_LOG", logPath, sizeof(logPath))) {
        FILE* f = fopen(logPath, "ab");
        if (f) {
            fprintf(f, "%lu|%lu|%lld|%.64s\r\n", (unsigned long)info->eventType,
                    (unsigned long)info->restorePointType, (long long)info->sequenceNumber,
                    info->description);
            fclose(f);
        }
    }
    status->status = 0;
    status->sequenceNumber = 42;
    return TRUE;
}
