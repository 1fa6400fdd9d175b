// Stand-in for the distribution system's status library: records each call
// as one line "file|manufacturer|product|version|locale|serial|message|flag"
// in the file named by KETRA_MIF_LOG, and answers with KETRA_MIF_RESULT
// (default 1).
#include <windows.h>
#include <cstdio>
#include <cstdlib>

extern "C" BOOL WINAPI InstallStatusMIF(LPCSTR file, LPCSTR manufacturer, LPCSTR product,
                                        LPCSTR version, LPCSTR locale, LPCSTR serial,
                                        LPCSTR message, BOOL success)
{
    char logPath[MAX_PATH];
    if (GetEnvironmentVariableA("KETRA_MIF_LOG", logPath, sizeof(logPath))) {
        FILE* f = fopen(logPath, "ab");
        if (f) {
            fprintf(f, "%s|%s|%s|%s|%s|%s|%s|%d\r\n", file, manufacturer, product, version, locale,
                    serial, message, (int)success);
            fclose(f);
        }
    }
    char result[16];
    if (GetEnvironmentVariableA("KETRA_MIF_RESULT", result, sizeof(result)))
        return atoi(result);
    return TRUE;
}
