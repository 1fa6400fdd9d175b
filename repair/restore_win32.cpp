#include "repair/restore.h"

#include <windows.h>
#include <cstdio>

#include "app/message_catalogue.h"
#include "app/startup.h"
#include "engine/registration.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "log/reader.h"
#include "repair/crc32.h"
#include "repair/repair_data.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"

char** RestoreListFiles;
int32_t RestoreListCount;
int32_t RestoreQueued;

enum { ListPathSize = 256, ListLineSize = 512, MinimumListSlots = 1024 };

void CreateRestoreLists(int32_t latest)
{
    // One slot per installation; the table never ends before the log's last.
    int32_t count = latest + 1 > MinimumListSlots ? latest + 1 : MinimumListSlots;
    RestoreListFiles = (char**)PoolAlloc(count * (int32_t)sizeof(char*));
    for (int32_t i = 0; i < count; i++)
        RestoreListFiles[i] = nullptr;
    RestoreListCount = count;
    RestoreQueued = 0;
}

// Last-write date and time (local, DOS form) and length of an open file.
static void ReadStamp(HANDLE file, WORD* date, WORD* time, int64_t* length)
{
    FILETIME written = {}, local = {};
    *date = *time = 0;
    *length = 0;
    GetFileTime(file, nullptr, nullptr, &written);
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToDosDateTime(&local, date, time);
    // GetFileSize, not GetFileSizeEx: the 95 family and NT 4.0 have only this
    // one. All ones in the low word is also a valid size when no error is set.
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return;
    *length = (int64_t)(((uint64_t)high << 32) | low);
}

// The shared scratch buffer when start-up made it; the tests may not have.
static char* CrcBuffer()
{
    static char own[ScratchBufferSize];
    return ScratchBuffer ? ScratchBuffer : own;
}

static uint32_t FileCrc(HANDLE file)
{
    char* buffer = CrcBuffer();
    uint32_t crc = 0;
    DWORD got = 0;
    Crc32Update(nullptr, 0);
    while (ReadFile(file, buffer, ScratchBufferSize, &got, nullptr) && got > 0)
        crc = Crc32Update(buffer, (int32_t)got);
    return crc;
}

// The newer-file question; 1 when the user wants the recorded file back.
static int32_t AskReplaceNewer(const char* path, const char* repairData, WORD date, WORD time)
{
    char message[1024];
    char recorded[RepairDataSize];
    char current[64];
    RecordedStampText(recorded, sizeof recorded, repairData);
    CurrentStampText(current, sizeof current, date, time);
    GetMessageText(AppInstance, IDS_NEWER_FILE_QUESTION, message, sizeof message);
    const char* texts[3] = {path, recorded, current};
    char question[1024];
    FormatWithTexts(question, sizeof question, message, texts, 3);
    return AskSharedQuestion(question, IDS_NEWER_FILE_CAPTION);
}

int32_t CheckFile(const char* path, const char* repairData, uint16_t installation, int32_t silent)
{
    RepairFields expected;
    if (ParseRepairData(repairData, &expected) != 0)
        return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        QueueRestore(path, repairData, expected.Date, expected.Time, installation);
        return 0;
    }
    int32_t damaged = 0;
    int32_t newer = 0;
    WORD date = 0, time = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        damaged = 1;
    } else {
        int64_t length = 0;
        ReadStamp(file, &date, &time, &length);
        if (expected.Date != date) {
            newer = expected.Date < date;
            damaged = !newer;
        } else if (expected.Time != time) {
            newer = expected.Time < time;
            damaged = !newer;
        }
        // A different size is enough; the CRC is read only when it matches.
        if (!newer && !damaged)
            damaged = length != expected.Size || FileCrc(file) != expected.Crc;
        CloseHandle(file);
    }
    if (newer && !silent && AskReplaceNewer(path, repairData, date, time))
        damaged = 1;
    if (damaged)
        QueueRestore(path, repairData, expected.Date, expected.Time, installation);
    return 0;
}

// A new, empty list file in the temporary folder (KTCxxxx.TMP), or null.
static char* MakeListFile()
{
    char folder[256];
    char* path = (char*)PoolAlloc(ListPathSize);
    path[0] = 0;
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        return nullptr;
    char name[MAX_PATH];
    if (!GetTempFileNameA(folder, "KTC", 0, name) || lstrlenA(name) >= ListPathSize)
        return nullptr;
    lstrcpyA(path, name);
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR)
        return nullptr;
    _lclose(file);
    return path;
}

void QueueRestore(const char* path, const char* repairData, uint16_t date, uint16_t time,
                  uint16_t installation)
{
    int32_t n = installation;
    if (!RestoreListFiles || n >= RestoreListCount)
        return;
    if (!RestoreListFiles[n]) {
        // Installations made by the same installer share one list: it is
        // started once and puts back the files of both.
        const char* source = InstallationSource(n);
        for (int32_t i = 0; source && i <= LatestInstallation && i < RestoreListCount; i++) {
            const char* other = InstallationSource(i);
            if (other && RestoreListFiles[i] && lstrcmpiA(other, source) == 0) {
                RestoreListFiles[n] = RestoreListFiles[i];
                break;
            }
        }
        if (!RestoreListFiles[n])
            RestoreListFiles[n] = MakeListFile();
    }
    if (!RestoreListFiles[n])
        return;
    char line[ListLineSize];
    int32_t length =
        FormatRestoreLine(line, sizeof line, path, date, time, RepairDataTail(repairData));
    if (length < 0)
        return;
    HFILE file = _lopen(RestoreListFiles[n], OF_WRITE);
    if (file == HFILE_ERROR)
        return;
    _llseek(file, 0, FILE_END);
    UINT written = _lwrite(file, line, (UINT)length);
    _lclose(file);
    if (written == (UINT)length)
        RestoreQueued = 1;
}

// The installer is the one the log recorded: same date, time and size.
static int32_t InstallerMatches(const char* installer, const char* attributes)
{
    HANDLE file = CreateFileA(installer, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    WORD date = 0, time = 0;
    int64_t length = 0;
    ReadStamp(file, &date, &time, &length);
    CloseHandle(file);
    char found[64];
    InstallerAttributesText(found, sizeof found, date, time, length);
    return lstrcmpA(found, attributes) == 0;
}

// Forgets list (deleted) for every installation that shares it.
static void ForgetList(const char* list)
{
    for (int32_t i = 0; i < RestoreListCount; i++)
        if (RestoreListFiles[i] == list)
            RestoreListFiles[i] = nullptr;
}

static void DeleteListsFrom(int32_t n)
{
    for (int32_t i = n; i >= 0; i--) {
        char* list = i < RestoreListCount ? RestoreListFiles[i] : nullptr;
        if (!list)
            continue;
        DeleteFileA(list);
        ForgetList(list);
    }
}

int32_t RunRestores(int32_t silent)
{
    if (!RestoreListFiles)
        return 0;
    for (int32_t n = LatestInstallation; n >= 0; n--) {
        char* source = InstallationSource(n);
        if (!source || !source[0] || n >= RestoreListCount || !RestoreListFiles[n])
            continue;
        char installer[PathBufferSize];
        char attributes[256];
        char shown[256];
        SplitSourceText(source, installer, sizeof installer, attributes, sizeof attributes);
        int32_t cancelled = 0;
        while (!cancelled && !InstallerMatches(installer, attributes)) {
            if (silent) {
                cancelled = 1;
                break;
            }
            PromptAttributesText(shown, sizeof shown, attributes);
            cancelled = AskInstallerPath(installer, shown) == 2;
        }
        if (cancelled) {
            DeleteListsFrom(n);
            return 1;
        }
        char* list = RestoreListFiles[n];
        char argument[ListPathSize + 8];
        snprintf(argument, sizeof argument, "/X=%s", list);
        RunAndWait(installer, argument);
        DeleteFileA(list);
        source[0] = 0;
        // An installation that shared the list has been restored with it;
        // starting its installer again would hand it a deleted list.
        ForgetList(list);
    }
    return 0;
}
