// Stand-in for the system's restore-point and file-protection library:
// records every restore point as "event|type|sequence|description" in the
// file named by KETRA_SFC_LOG and hands out sequence number 42; protects the
// files whose names KETRA_SFC_PROTECTED lists (separated by ';') and records
// every file asked about, one path a line, in the file named by
// KETRA_SFC_ASKED.
#include <windows.h>
#include <cstdio>
#include <cstring>

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

extern "C" BOOL WINAPI SfcIsFileProtected(HANDLE, LPCWSTR path)
{
    char name[MAX_PATH * 2];
    if (!WideCharToMultiByte(CP_ACP, 0, path, -1, name, sizeof(name), nullptr, nullptr))
        return FALSE;
    char logPath[MAX_PATH];
    if (GetEnvironmentVariableA("KETRA_SFC_ASKED", logPath, sizeof(logPath))) {
        FILE* f = fopen(logPath, "ab");
        if (f) {
            fprintf(f, "%s\r\n", name);
            fclose(f);
        }
    }
    const char* base = strrchr(name, '\\');
    base = base ? base + 1 : name;
    char list[4096];
    DWORD n = GetEnvironmentVariableA("KETRA_SFC_PROTECTED", list, sizeof(list));
    if (n == 0 || n >= sizeof(list))
        return FALSE;
    for (char* item = strtok(list, ";"); item; item = strtok(nullptr, ";")) {
        if (lstrcmpiA(item, base) == 0)
            return TRUE;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
