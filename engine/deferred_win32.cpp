#include "engine/deferred.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "app/system_facts.h"
#include "engine/engine_env.h"
#include "engine/journal.h"
#include "engine/ownership.h"
#include "engine/ownership_files_system.h"
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

// The running program's file name, long and short, as ModulePath gives it.
struct OwnNames {
    char module[256];
    char longName[MAX_PATH];
    char shortName[MAX_PATH];
};
static OwnNames Own;

// The last name of path as the system takes it: after the last separator,
// its trailing dots and spaces dropped (out: MAX_PATH bytes).
static void LastName(const char* path, char* out)
{
    const char* name = path;
    for (const char* at = path; *at; at = CharNextA(at)) {
        if (*at == '\\' || *at == '/')
            name = at + 1;
    }
    CopyText(out, name, MAX_PATH);
    size_t n = strlen(out);
    while (n > 0 && (out[n - 1] == '.' || out[n - 1] == ' '))
        out[--n] = 0;
}

// path may name the running program's file: its last name is the
// program's long or short name. Only such a path is worth converting whole
// (one directory search per component).
static bool MayBeOwnModule(const char* path)
{
    if (strcmp(Own.module, ModulePath) != 0) {
        CopyText(Own.module, ModulePath, sizeof Own.module);
        CopyText(Own.longName, FileNamePart(ModulePath), sizeof Own.longName);
        char shortForm[MAX_PATH];
        CopyText(shortForm, ModulePath, sizeof shortForm);
        ConvertPathNames(shortForm, ToShort);
        CopyText(Own.shortName, FileNamePart(shortForm), sizeof Own.shortName);
    }
    char name[MAX_PATH];
    LastName(path, name);
    // Names of other lengths differ at no cost.
    size_t length = strlen(name);
    return length && ((length == strlen(Own.longName) && lstrcmpiA(name, Own.longName) == 0) ||
                      (length == strlen(Own.shortName) && lstrcmpiA(name, Own.shortName) == 0));
}

// path names the running program's file (in either name form).
static bool IsOwnModule(const char* path)
{
    if (!ModulePath[0] || !MayBeOwnModule(path))
        return false;
    char longForm[MAX_PATH];
    CopyText(longForm, path, MAX_PATH);
    ConvertPathNames(longForm, ToLong);
    return lstrcmpiA(longForm, ModulePath) == 0;
}

// A shortcut is journalled as a link, every other file as a file.
static JournalWhat FileKind(const char* path)
{
    return HasExtension(path, ".LNK") || HasExtension(path, ".PIF") ? WhatLink : WhatFile;
}

// The file opens with access while others may do anything with it; else
// *error says why not.
static bool Opens(const char* path, DWORD access, DWORD* error)
{
    HANDLE file = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    CloseHandle(file);
    return true;
}

static bool SharingError(uint32_t error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// "Access denied" has two causes: the file is a running program's image
// (or a loaded library), or its security (or read-only state) keeps it.
// A running image may be opened for deletion (it may be renamed) but not
// for writing; a file its security keeps does not open for deletion.
static bool RunningImage(const char* path)
{
    DWORD error = 0;
    if (!Opens(path, DELETE, &error))
        return SharingError(error);
    return !Opens(path, GENERIC_WRITE, &error) && SharingError(error);
}

bool RefusedAsInUse(const char* path, uint32_t error)
{
    return SharingError(error) || (error == ERROR_ACCESS_DENIED && RunningImage(path));
}

// What the deletion of path would do, nothing changed. clears: a read-only
// file's attributes would be cleared first.
static OpResult ForeseeDeletion(const char* path, bool clears)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Outcome(OpMissing);
    if (IsOwnModule(path))
        return Outcome(OpDeferred);
    DWORD error = 0;
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // Clearing the attributes needs the right to write them.
    if (readOnly && clears) {
        if (!Opens(path, FILE_WRITE_ATTRIBUTES, &error))
            return Outcome(OpFailed, error);
        readOnly = false;
    }
    // Opened as a deletion opens it: a sharing violation is a file in use.
    if (!Opens(path, DELETE, &error)) {
        if (SharingError(error) && DeleteInUseFiles)
            return Outcome(OpDeferred);
        return Outcome(OpFailed, error);
    }
    // A running program's image is not foreseen as in use: the run may stop
    // it first (a service of the product's is stopped before its files go).
    if (readOnly)
        return Outcome(OpFailed, ERROR_ACCESS_DENIED);
    // A file that refuses even to be written is kept by its security (a
    // running image refuses it as shared instead).
    if (!Opens(path, GENERIC_WRITE, &error) && error == ERROR_ACCESS_DENIED)
        return Outcome(OpFailed, error);
    return Outcome(OpRemoved);
}

OpResult ForeseeDelete(const char* path)
{
    int32_t reason = SystemFileReason(path);
    if (reason != OwnedByLog)
        return NotOwned(reason);
    return ForeseeDeletion(path, false);
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

// The deletion is tried first, so that a file that goes costs one call to
// the system; the attributes, the folder test and the reason for a refusal
// are looked at only when it does not.
static OpResult DeleteOrDefer(const char* path, bool clearAttributes)
{
    JournalWhat kind = FileKind(path);
    // Never a hive, a file the system protects or runs, or one reached
    // through a link into a system folder, whatever the log says.
    int32_t reason = SystemFileReason(path);
    if (reason != OwnedByLog)
        return JournalRecord(kind, path, NotOwned(reason));
    if (JournalDryRun())
        return JournalRecord(kind, path, ForeseeDeletion(path, clearAttributes));
    bool own = IsOwnModule(path);
    if (own)
        Deferred.selfRemovalPending = 1;
    if (DeleteFileA(path)) {
        NotifyShellPath(SHCNE_DELETE, path);
        return JournalRecord(kind, path, Outcome(OpRemoved));
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return JournalRecord(kind, path, Outcome(OpMissing));
    // A file entry that names a folder (a damaged log) has no file to
    // remove; the folder is not the entry's to take, now or at the restart,
    // nor are its attributes the entry's to clear.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return JournalRecord(kind, path, Outcome(OpMissing));
    // The program's own file is removed by the temporary copy after the run.
    if (own)
        return JournalRecord(kind, path, Outcome(OpDeferred));
    if (clearAttributes && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileA(path)) {
            NotifyShellPath(SHCNE_DELETE, path);
            return JournalRecord(kind, path, Outcome(OpRemoved));
        }
        error = GetLastError();
    }
    // Only a file in use waits for the restart: one that its security keeps
    // would be deleted there with the system's rights.
    if (!DeleteInUseFiles || !RefusedAsInUse(path, error))
        return JournalRecord(kind, path, Outcome(OpFailed, error));
    Deferred.restartNeeded = 1;
    if (PlatformKind != Platform95) {
        DeleteAtRestart(path);
        return JournalRecord(kind, path, Outcome(OpDeferred));
    }
    char shortPath[MAX_PATH];
    ShortForm(shortPath, path);
    DeleteAtRestart(shortPath);
    return JournalRecord(kind, path, Outcome(OpDeferred));
}

OpResult DeleteFileOrDefer(const char* path)
{
    return DeleteOrDefer(path, false);
}

OpResult ClearAndDeleteOrDefer(const char* path)
{
    return DeleteOrDefer(path, true);
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

OpResult ReplaceOrDefer(const char* temp, const char* target)
{
    // The 95 family has no replacing move: the target steps aside first and
    // comes back if the copy cannot take its place.
    if (PlatformKind == Platform95) {
        char aside[MAX_PATH];
        MakeTempName(target, aside);
        bool present = GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES;
        if (present && !MoveFileA(target, aside)) {
            DWORD error = GetLastError();
            if (!RefusedAsInUse(target, error))
                return Outcome(OpFailed, error);
            ExchangeAtRestart(target, temp);
            return Outcome(OpDeferred);
        }
        if (!MoveFileA(temp, target)) {
            DWORD error = GetLastError();
            if (present)
                MoveFileA(aside, target);
            return Outcome(OpFailed, error);
        }
        if (present)
            DeleteFileOrDefer(aside);
        return Outcome(OpRestored);
    }
    if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING))
        return Outcome(OpRestored);
    DWORD error = GetLastError();
    // A read-only target refuses to be replaced: its attributes go first.
    DWORD attributes = GetFileAttributesA(target);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        if (MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING))
            return Outcome(OpRestored);
        error = GetLastError();
    }
    if (!RefusedAsInUse(target, error))
        return Outcome(OpFailed, error);
    ExchangeAtRestart(target, temp);
    return Outcome(OpDeferred);
}
