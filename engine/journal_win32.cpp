// The journal's file: opened once for appending, one WriteFile per line. A
// journal that cannot be opened or written is given up without a word to
// the run: the run goes on as without /L.
#include "engine/journal.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "engine/ownership.h"
#include "log/path_helpers.h"
#include "program_version.h"

// The same number as the version resource: both come from the build.
static const char ProgramVersion[] = "UNKETRA32 " PROGRAM_VERSION_TEXT;

static HANDLE JournalFile = INVALID_HANDLE_VALUE;
static int32_t DryRunSwitch;
static int32_t Counts[OutcomeKinds];
static char CurrentPhase[64] = "start";

static JournalTime Now()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    JournalTime t = {local.wYear, local.wMonth,  local.wDay,
                     local.wHour, local.wMinute, local.wSecond};
    return t;
}

void AnsiToUtf8(const char* text, uint32_t codePage, char* out, int32_t size)
{
    if (size <= 0)
        return;
    out[0] = 0;
    // Each ANSI byte makes at most one UTF-16 unit; a longer text is cut.
    WCHAR wide[JournalTextSize];
    int length = lstrlenA(text);
    if (length > JournalTextSize - 1)
        length = JournalTextSize - 1;
    int n = MultiByteToWideChar(codePage ? codePage : CP_ACP, 0, text, length, wide,
                                JournalTextSize - 1);
    if (n <= 0)
        return;
    char whole[JournalTextSize * 3];
    int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, whole, sizeof(whole), nullptr, nullptr);
    if (m <= 0)
        return;
    int32_t keep = CutUtf8(whole, m, size - 1);
    std::memcpy(out, whole, (size_t)keep);
    out[keep] = 0;
}

// The system's text for error, on one line, in UTF-8.
static void ErrorText(uint32_t error, char* out, int32_t size)
{
    char ansi[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, ansi, sizeof(ansi), nullptr);
    while (n > 0 &&
           (ansi[n - 1] == '\r' || ansi[n - 1] == '\n' || ansi[n - 1] == ' ' || ansi[n - 1] == '.'))
        n--;
    ansi[n] = 0;
    char text[JournalTextSize];
    AnsiToUtf8(ansi, 0, text, sizeof(text));
    std::snprintf(out, (size_t)size, "error %lu%s%s", (unsigned long)error, text[0] ? ": " : "",
                  text);
}

static void WriteLine(const char* line, int32_t length)
{
    if (JournalFile == INVALID_HANDLE_VALUE || length <= 0)
        return;
    DWORD written = 0;
    if (!WriteFile(JournalFile, line, (DWORD)length, &written, nullptr) ||
        written != (DWORD)length) {
        // A full disk or a lost share: the run goes on without its journal.
        CloseHandle(JournalFile);
        JournalFile = INVALID_HANDLE_VALUE;
    }
}

static void WriteNote(const char* utf8)
{
    char line[JournalLineSize];
    WriteLine(line, FormatJournalNote(line, sizeof(line), Now(), utf8));
}

void JournalBegin(const char* journalPath, const char* commandLine, int32_t dryRun)
{
    DryRunSwitch = dryRun;
    for (int32_t i = 0; i < OutcomeKinds; i++)
        Counts[i] = 0;
    lstrcpynA(CurrentPhase, "start", sizeof(CurrentPhase));
    if (JournalFile != INVALID_HANDLE_VALUE)
        CloseHandle(JournalFile);
    JournalFile = INVALID_HANDLE_VALUE;
    if (!journalPath || !journalPath[0])
        return;
    JournalFile = CreateFileA(journalPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (JournalFile == INVALID_HANDLE_VALUE)
        return;
    if (SetFilePointer(JournalFile, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        CloseHandle(JournalFile);
        JournalFile = INVALID_HANDLE_VALUE;
        return;
    }
    char text[JournalTextSize];
    char converted[JournalTextSize];
    std::snprintf(text, sizeof(text), "%s%s", ProgramVersion,
                  dryRun ? ": dry run, nothing is changed" : "");
    WriteNote(text);
    AnsiToUtf8(commandLine ? commandLine : "", 0, converted, sizeof(converted));
    std::snprintf(text, sizeof(text), "command line: %s", converted);
    WriteNote(text);
    AnsiToUtf8(journalPath, 0, converted, sizeof(converted));
    std::snprintf(text, sizeof(text), "journal: %s", converted);
    WriteNote(text);
}

void JournalLogRead(const char* logPath, int32_t installations)
{
    if (JournalFile == INVALID_HANDLE_VALUE)
        return;
    WIN32_FIND_DATAA data;
    unsigned long size = 0;
    HANDLE found = FindFirstFileA(logPath, &data);
    if (found != INVALID_HANDLE_VALUE) {
        size = data.nFileSizeLow;
        FindClose(found);
    }
    char longPath[MAX_PATH];
    lstrcpynA(longPath, logPath, sizeof(longPath));
    ConvertPathNames(longPath, ToLong);
    char converted[JournalTextSize];
    char text[JournalTextSize + 96];
    AnsiToUtf8(longPath, 0, converted, sizeof(converted));
    std::snprintf(text, sizeof(text), "install log: %s | %lu bytes | %d installation%s", converted,
                  size, (int)installations, installations == 1 ? "" : "s");
    WriteNote(text);
}

void JournalPhase(const char* phase)
{
    lstrcpynA(CurrentPhase, phase, sizeof(CurrentPhase));
}

OpResult JournalRecord(JournalWhat what, const char* name, OpResult result)
{
    if ((int32_t)result.outcome >= 0 && (int32_t)result.outcome < (int32_t)OutcomeKinds)
        Counts[result.outcome]++;
    if (JournalFile == INVALID_HANDLE_VALUE)
        return result;
    char converted[JournalTextSize];
    char error[JournalTextSize] = "";
    AnsiToUtf8(name ? name : "", 0, converted, sizeof(converted));
    if (result.outcome == OpFailed)
        ErrorText(result.error, error, sizeof(error));
    else if (result.outcome == OpKeptNotOwned)
        CopyText(error, OwnReasonText((int32_t)result.error), sizeof(error));
    char line[JournalLineSize];
    WriteLine(line, FormatJournalLine(line, sizeof(line), Now(), CurrentPhase, what, result.outcome,
                                      DryRunSwitch, converted, error));
    return result;
}

void JournalNote(const char* text)
{
    if (JournalFile == INVALID_HANDLE_VALUE)
        return;
    char converted[JournalTextSize];
    AnsiToUtf8(text, 0, converted, sizeof(converted));
    WriteNote(converted);
}

void JournalEnd(int32_t exitCode)
{
    if (JournalFile == INVALID_HANDLE_VALUE)
        return;
    char tally[256];
    char text[320];
    FormatJournalTally(tally, sizeof(tally), Counts, DryRunSwitch);
    std::snprintf(text, sizeof(text), "end | %s | exit code %d", tally, (int)exitCode);
    WriteNote(text);
    CloseHandle(JournalFile);
    JournalFile = INVALID_HANDLE_VALUE;
}

int32_t JournalFailedOperations()
{
    return Counts[OpFailed];
}

const int32_t* JournalCounts()
{
    return Counts;
}

int32_t JournalDryRun()
{
    return DryRunSwitch;
}

void JournalReset()
{
    JournalBegin("", "", 0);
}
