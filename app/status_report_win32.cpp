// Writes the status report when the log names one: through the distribution
// system's own library when it is there, else as a file of our own.
#include "app/status_report.h"
#include "log/path_helpers.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "app/run_outcome.h"
#include "app/system_facts.h"
#include "log/reader.h"
#include "platform/libraries.h"
#include "platform/procedure.h"

typedef BOOL(WINAPI* InstallStatusMifFn)(LPCSTR file, LPCSTR manufacturer, LPCSTR product,
                                         LPCSTR version, LPCSTR locale, LPCSTR serial,
                                         LPCSTR message, BOOL success);

static char ReportText[StatusReportSize];

static bool ReportThroughLibrary(const char* name, int32_t cancelled)
{
    HMODULE library = LoadLibraryBesideProgram("ismif32.dll");
    bool done = false;
    if (!library)
        return false;
    InstallStatusMifFn report = SystemProcedure<InstallStatusMifFn>(library, "InstallStatusMIF");
    if (report) {
        const char* message = cancelled ? "Uninstall canceled by user" : "Uninstall successful";
        done = report(name, Manufacturer, ProductName, VersionNumber, "ENU", SerialNumber, message,
                      cancelled ? 0 : 1) != 0;
    }
    FreeLibrary(library);
    return done;
}

void WriteStatusReport(const RunOutcome& outcome)
{
    char path[MAX_PATH + 128];
    char date[32];
    if (!UninstallMifName[0])
        return;
    // Folder parts in the logged name would put the report (and the
    // truncation of whatever file is there) anywhere on the disk.
    const char* name = ReportFileName(UninstallMifName);
    if (!name)
        return;
    int32_t cancelled = outcome.cancelled;
    if (ReportThroughLibrary(name, cancelled))
        return;
    UINT n = GetWindowsDirectoryA(path, 256);
    if (n == 0 || n >= 256)
        return;
    if (!EndsWithBackslash(path))
        lstrcatA(path, "\\");
    lstrcatA(path, name);
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR)
        return;

    DWORD got = GetPrivateProfileStringA("Language", "Msg1000", "\x7f", ReportText,
                                         sizeof(ReportText), SettingsIniPath);
    if (got == 1 && ReportText[0] == 0x7f)
        lstrcpynA(ReportText, BuiltInReportTemplate, sizeof(ReportText));
    else
        ExpandReportLineBreaks(ReportText, sizeof(ReportText));

    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatReportDate(date, sizeof(date), now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute);
    ReportValues values = {{Manufacturer, ProductName, VersionNumber, SerialNumber,
                            outcome.rolledBack ? "Rollback" : "Uninstall", date,
                            cancelled ? "Failed" : "Success", cancelled ? "Canceled by user" : ""}};
    FillReportPlaceholders(ReportText, sizeof(ReportText), &values);
    _lwrite(file, ReportText, (UINT)strlen(ReportText));
    _lclose(file);
}
