#include "engine/deferred.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "app/system_facts.h"
#include "engine/engine_env.h"
#include "engine/journal.h"
#include "log/path_helpers.h"
#include "log/reader.h"

uint16_t TempNameCounter;

static DeferredWork Deferred;

DeferredWork DeferredSoFar()
{
    return Deferred;
}

void ResetDeferredWork()
{
    Deferred = DeferredWork{};
}

// path names the running program's file (in either name form).
static bool IsOwnModule(const char* path)
{
    char longForm[MAX_PATH];
    CopyText(longForm, path, MAX_PATH);
    ConvertPathNames(longForm, ToLong);
    return lstrcmpiA(longForm, ModulePath) == 0;
}

// A shortcut is journalled as a link, every other file as a file.
static JournalWhat FileKind(const char* path)
{
    size_t length = strlen(path);
    if (length > 4 &&
        (lstrcmpiA(path + length - 4, ".LNK") == 0 || lstrcmpiA(path + length - 4, ".PIF") == 0))
        return WhatLink;
    return WhatFile;
}

// A file entry that names a folder (a damaged log) has no file to remove;
// the folder is not the entry's to take, now or at the restart, nor are its
// attributes the entry's to clear.
static bool NamesNoFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

OpResult ForeseeDelete(const char* path)
{
    if (NamesNoFile(path))
        return Outcome(OpMissing);
    if (IsOwnModule(path))
        return Outcome(OpDeferred);
    // Opened by no one else: the delete would go through now.
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return Outcome(OpRemoved);
    }
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return DeleteInUseFiles ? Outcome(OpDeferred) : Outcome(OpFailed, error);
    return Outcome(OpFailed, error);
}

OpResult ClearAndDeleteOrDefer(const char* path)
{
    if (JournalDryRun() || NamesNoFile(path))
        return DeleteFileOrDefer(path);
    if (IsOwnModule(path))
        Deferred.selfRemovalPending = 1;
    else if (DeleteFileA(path)) {
        NotifyShellPath(SHCNE_DELETE, path);
        return JournalRecord(FileKind(path), path, Outcome(OpRemoved));
    }
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileOrDefer(path);
}

// The 95 family has no pending-rename list: the lines of WININIT.INI's
// "[rename]" section are carried out when the system starts.
static bool WininitPath(char* out)
{
    UINT n = GetWindowsDirectoryA(out, 256);
    if (n == 0 || n >= 256)
        return false;
    if (!EndsWithBackslash(out))
        lstrcatA(out, "\\");
    lstrcatA(out, "WININIT.INI");
    return true;
}

void AppendWininitDeletion(const char* path)
{
    char wininit[MAX_PATH];
    char line[MAX_PATH + 8];
    if (!WininitPath(wininit))
        return;
    HFILE file = _lopen(wininit, OF_WRITE);
    if (file == HFILE_ERROR) {
        file = _lcreat(wininit, 0);
        if (file == HFILE_ERROR)
            return;
        _lwrite(file, "[rename]\r\n", 10);
    } else {
        _llseek(file, 0, 2);
    }
    int len = snprintf(line, sizeof(line), "NUL=%s\r\n", path);
    if (len > 0 && len < (int)sizeof(line))
        _lwrite(file, line, (UINT)len);
    _lclose(file);
}

void AppendWininitRename(const char* target, const char* source)
{
    WritePrivateProfileStringA("rename", target, source, "WININIT.INI");
}

void DeleteAtRestart(const char* path)
{
    if (PlatformKind == Platform95)
        AppendWininitDeletion(path);
    else
        MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// out (MAX_PATH bytes) gets path's 8.3 form: WININIT.INI is read before long
// names are known.
static void ShortForm(char* out, const char* path)
{
    CopyText(out, path, MAX_PATH);
    ConvertPathNames(out, ToShort);
}

OpResult DeleteFileOrDefer(const char* path)
{
    if (JournalDryRun())
        return JournalRecord(FileKind(path), path, ForeseeDelete(path));
    if (NamesNoFile(path))
        return JournalRecord(FileKind(path), path, Outcome(OpMissing));
    bool own = IsOwnModule(path);
    if (own)
        Deferred.selfRemovalPending = 1;
    if (DeleteFileA(path)) {
        NotifyShellPath(SHCNE_DELETE, path);
        return JournalRecord(FileKind(path), path, Outcome(OpRemoved));
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return JournalRecord(FileKind(path), path, Outcome(OpMissing));
    // The program's own file is removed by the temporary copy after the run.
    if (own)
        return JournalRecord(FileKind(path), path, Outcome(OpDeferred));
    if (!DeleteInUseFiles)
        return JournalRecord(FileKind(path), path, Outcome(OpFailed, error));
    Deferred.restartNeeded = 1;
    if (PlatformKind != Platform95) {
        DeleteAtRestart(path);
        return JournalRecord(FileKind(path), path, Outcome(OpDeferred));
    }
    char shortPath[MAX_PATH];
    ShortForm(shortPath, path);
    DeleteAtRestart(shortPath);
    return JournalRecord(FileKind(path), path, Outcome(OpDeferred));
}

void MakeTempName(const char* target, char* out)
{
    char name[16];
    CopyText(out, target, MAX_PATH);
    char* tail = FileNamePart(out);
    size_t room = MAX_PATH - (size_t)(tail - out);
    do {
        snprintf(name, sizeof(name), "~KTU%04x.TMP", (unsigned)TempNameCounter);
        TempNameCounter++;
        lstrcpynA(tail, name, (int)room);
    } while (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES);
}

void ReplaceAtRestart(const char* target, const char* temp)
{
    Deferred.restartNeeded = 1;
    char temp8[MAX_PATH];
    char target8[MAX_PATH];
    ShortForm(temp8, temp);
    ShortForm(target8, target);
    if (PlatformKind == Platform95) {
        AppendWininitRename(target8, temp8);
    } else {
        MoveFileExA(target, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(temp8, target, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

void ExchangeAtRestart(const char* target, const char* temp)
{
    Deferred.restartNeeded = 1;
    if (PlatformKind == Platform95) {
        char target8[MAX_PATH];
        char temp8[MAX_PATH];
        ShortForm(target8, target);
        ShortForm(temp8, temp);
        AppendWininitRename(target8, temp8);
    } else {
        MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}
