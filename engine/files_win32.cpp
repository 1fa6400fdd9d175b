#include "engine/files.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "engine/deferred.h"
#include "engine/engine_env.h"
#include "engine/journal.h"
#include "engine/ownership.h"
#include "engine/ownership_files_system.h"
#include "engine/ownership_system.h"
#include "log/path_helpers.h"
#include "log/reader.h"

// One directory search; one of these lives on the stack per recursion level.
struct FindState {
    char name[256];
    DWORD attributes;
    HANDLE handle;
    WIN32_FIND_DATAA data;
};

static int32_t FindFirstEntry(const char* pattern, FindState* state)
{
    state->handle = FindFirstFileA(pattern, &state->data);
    if (state->handle == INVALID_HANDLE_VALUE)
        return 1;
    lstrcpynA(state->name, state->data.cFileName, sizeof(state->name));
    state->attributes = state->data.dwFileAttributes;
    return 0;
}

static int32_t FindNextEntry(FindState* state)
{
    if (!FindNextFileA(state->handle, &state->data))
        return 1;
    lstrcpynA(state->name, state->data.cFileName, sizeof(state->name));
    state->attributes = state->data.dwFileAttributes;
    return 0;
}

static void FindEnd(FindState* state)
{
    if (state->handle != INVALID_HANDLE_VALUE)
        FindClose(state->handle);
    state->handle = INVALID_HANDLE_VALUE;
}

// A reparse point whose tag says it stands for a name elsewhere (symbolic
// links and junctions). The system keeps the tag of a reparse point in the
// search data; other systems, and other kinds of reparse point, never match.
static bool IsNameSurrogate(const WIN32_FIND_DATAA& data)
{
    const DWORD NameSurrogateBit = 0x20000000;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (data.dwReserved0 & NameSurrogateBit);
}

bool IsReparsePoint(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes a linked folder met in a tree: the link goes, what it points to
// stays. Only a link the system names as one is removed, because removing
// the folder of any other reparse point (or a link on a system that does
// not tell links apart) may remove the folder behind it instead.
static OpResult RemoveLinkedFolder(const char* path, const WIN32_FIND_DATAA& data)
{
    if (!IsNameSurrogate(data))
        return JournalRecord(WhatLink, path, Outcome(OpKeptProtected));
    if (JournalDryRun())
        return JournalRecord(WhatLink, path, Outcome(OpRemoved));
    SetFileAttributesA(path, data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (!RemoveDirectoryA(path))
        return JournalRecord(WhatLink, path, Outcome(OpFailed, GetLastError()));
    NotifyShellPath(SHCNE_RMDIR, path);
    return JournalRecord(WhatLink, path, Outcome(OpRemoved));
}

// Joins dir, a backslash and name into out (MAX_PATH); false when it would
// not fit, so that no cut path is ever deleted.
static bool JoinPath(char* out, const char* dir, const char* name)
{
    int n = snprintf(out, MAX_PATH, "%s\\%s", dir, name);
    return n > 0 && n < MAX_PATH;
}

// The help system's own files beside a help file, when there are any.
static void DeleteHelpIndex(const char* path, const char* ext)
{
    size_t len = strlen(path);
    char index[MAX_PATH];
    if (len < 5 || len >= sizeof(index) || !HasExtension(path, ".HLP"))
        return;
    lstrcpyA(index, path);
    lstrcpyA(index + len - 4, ext);
    if (GetFileAttributesA(index) != INVALID_FILE_ATTRIBUTES)
        DeleteFileOrDefer(index);
}

OpResult DeleteFileAndHelpIndex(const char* path)
{
    OpResult result = ClearAndDeleteOrDefer(path);
    DeleteHelpIndex(path, ".GID");
    DeleteHelpIndex(path, ".FTS");
    return result;
}

// The backup has done its work: it goes when it lies in the product's
// folders; anywhere else it may be anyone's file (a damaged log can name a
// user's document as a backup) and stays where it is.
static void ConsumeBackup(const char* backup)
{
    if (InProductFolders(backup))
        DeleteFileAndHelpIndex(backup);
    else
        JournalRecord(WhatFile, backup, NotOwned(ReasonOutsideProduct));
}

// A dry run's answer for a restore: the backup must be readable, and the
// target is replaced now unless it is in use.
static OpResult ForeseeRestore(const char* backup, const char* target)
{
    HANDLE file = CreateFileA(backup, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Outcome(OpFailed, GetLastError());
    CloseHandle(file);
    return Outcome(ForeseeDelete(target).outcome == OpDeferred ? OpDeferred : OpRestored);
}

OpResult RestoreFileOrDefer(const char* backup, const char* target)
{
    int32_t reason = SystemFileReason(target);
    if (reason != OwnedByLog)
        return JournalRecord(WhatFile, target, NotOwned(reason));
    if (JournalDryRun()) {
        OpResult foreseen = ForeseeRestore(backup, target);
        if (foreseen.outcome != OpFailed)
            ConsumeBackup(backup);
        return JournalRecord(WhatFile, target, foreseen);
    }
    // The backup is copied beside the target before the target goes: a
    // backup that cannot be read leaves the installed file as it is.
    char temp[MAX_PATH];
    MakeTempName(target, temp);
    if (!CopyFileA(backup, temp, TRUE)) {
        DWORD error = GetLastError();
        // A copy cut short leaves a part of the file under the new name.
        if (error != ERROR_FILE_EXISTS)
            DeleteFileA(temp);
        return JournalRecord(WhatFile, target, Outcome(OpFailed, error));
    }
    OpResult result = ReplaceOrDefer(temp, target);
    if (result.outcome == OpFailed)
        DeleteFileA(temp);
    else
        ConsumeBackup(backup);
    return JournalRecord(WhatFile, target, result);
}

OpResult RemoveOrRestoreFile(const char* path, const char* backup, int32_t restore)
{
    if (!HasWildcards(path)) {
        if (restore != 1 || !backup || !backup[0])
            return DeleteFileAndHelpIndex(path);
        // The backup takes the file's place in one step: the file is never
        // deleted first, so a restore that fails leaves it as it was.
        OpResult restored = RestoreFileOrDefer(backup, path);
        if (restored.outcome == OpRestored || restored.outcome == OpDeferred) {
            DeleteHelpIndex(path, ".GID");
            DeleteHelpIndex(path, ".FTS");
        }
        return restored;
    }
    char dir[MAX_PATH];
    lstrcpynA(dir, path, sizeof(dir));
    char* cut = LastBackslash(dir);
    if (!cut)
        return JournalRecord(WhatFile, path, Outcome(OpKeptProtected));
    *cut = 0;
    // Every wildcard is checked, not only "*.*": C:\WINDOWS\*.DLL would
    // otherwise empty the Windows folder of its libraries. The files go only
    // from the product's own folders. A linked folder is not searched: its
    // files live elsewhere.
    int32_t reason = FolderOwnership(dir, true);
    if (reason != OwnedByLog)
        return JournalRecord(WhatFile, path, NotOwned(reason));
    if (IsReparsePoint(dir))
        return JournalRecord(WhatFile, path, Outcome(OpKeptProtected));
    FindState state;
    if (FindFirstEntry(path, &state) == 0) {
        do {
            char file[MAX_PATH];
            if (state.attributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            if (JoinPath(file, dir, state.name))
                DeleteFileAndHelpIndex(file);
        } while (FindNextEntry(&state) == 0);
    }
    FindEnd(&state);
    return Outcome(OpRemoved);
}

enum { ShellReadPollMs = 50, ShellReadLimitMs = 3000 };

// RemoveDirectoryA for a folder the shell may be reading just then: while the
// shell hears of a file or folder it reads the folder that holds it, and the
// system refuses to remove a folder being read (a sharing violation). Only
// such a folder is tried again, when the shell has been told everything so
// far; any other refusal is the answer.
static int RemoveDirectoryAfterShell(const char* path)
{
    if (RemoveDirectoryA(path))
        return TRUE;
    if (GetLastError() != ERROR_SHARING_VIOLATION)
        return FALSE;
    FlushShellNotifications();
    // The shell reads a folder a little after it hears of it, and holds it
    // open while it does; a busy machine stretches that to a good part of a
    // second. Only a refusal for that reason is waited out, and not for ever.
    for (DWORD waited = 0;; waited += ShellReadPollMs) {
        if (RemoveDirectoryA(path))
            return TRUE;
        if (GetLastError() != ERROR_SHARING_VIOLATION || waited >= ShellReadLimitMs)
            return FALSE;
        Sleep(ShellReadPollMs);
    }
}

bool IsEmptyFolder(const char* path)
{
    char search[MAX_PATH];
    FindState state;
    if (!JoinPath(search, path, "*.*") || FindFirstEntry(search, &state) != 0)
        return false;
    bool empty = true;
    do {
        if (strcmp(state.name, ".") != 0 && strcmp(state.name, "..") != 0)
            empty = false;
    } while (empty && FindNextEntry(&state) == 0);
    FindEnd(&state);
    return empty;
}

// A dry run's answer for a folder: gone if it holds nothing now, else gone
// only if the run empties it.
static OpResult ForeseeRemoveFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Outcome(OpMissing);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Outcome(OpKeptProtected);
    return Outcome(IsEmptyFolder(path) ? OpRemoved : OpRemovedIfEmpty);
}

OpResult RemoveEmptyDirectory(const char* path)
{
    if (JournalDryRun())
        return JournalRecord(WhatFolder, path, ForeseeRemoveFolder(path));
    // Some systems remove the folder behind a link in place of the link.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return JournalRecord(WhatFolder, path, Outcome(OpMissing));
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return JournalRecord(WhatFolder, path, Outcome(OpKeptProtected));
    // A read-only folder refuses to go; one that stays keeps its attributes.
    DWORD settable = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) {
        DWORD cleared = settable & ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesA(path, cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
    }
    if (!RemoveDirectoryAfterShell(path)) {
        DWORD error = GetLastError();
        if (readOnly)
            SetFileAttributesA(path, settable);
        if (error == ERROR_DIR_NOT_EMPTY)
            return JournalRecord(WhatFolder, path, Outcome(OpKeptUserData));
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return JournalRecord(WhatFolder, path, Outcome(OpMissing));
        return JournalRecord(WhatFolder, path, Outcome(OpFailed, error));
    }
    NotifyShellPath(SHCNE_RMDIR, path);
    return JournalRecord(WhatFolder, path, Outcome(OpRemoved));
}

// A tree whose parts resist is given up after this many failures: a damaged
// log (or a tree held open by another program) must not keep the run going
// over it for minutes.
enum { TreeFailureLimit = 16 };

struct TreeBudget {
    int32_t failures;
    uint32_t lastError;
};

static bool BudgetSpent(const TreeBudget* budget)
{
    return budget->failures >= TreeFailureLimit;
}

static void CountFailure(TreeBudget* budget, OpResult result)
{
    if (result.outcome != OpFailed)
        return;
    budget->failures++;
    budget->lastError = result.error;
}

// One folder of a tree: its subfolders first, then (whole) its files that
// match the pattern, then the folder itself when that left it empty.
static OpResult RemoveTreeFolder(const char* path, const char* pattern, int32_t whole,
                                 TreeBudget* budget)
{
    char search[MAX_PATH];
    FindState state;
    state.handle = INVALID_HANDLE_VALUE;
    // A link goes when the whole tree goes; a pattern leaves it, as it leaves
    // every folder that still holds something.
    bool everything = whole == 1 && strcmp(pattern, "\\*.*") == 0;
    if (JoinPath(search, path, "*.*") && FindFirstEntry(search, &state) == 0) {
        do {
            char sub[MAX_PATH];
            if (!(state.attributes & FILE_ATTRIBUTE_DIRECTORY) || state.name[0] == '.')
                continue;
            if (state.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (everything && JoinPath(sub, path, state.name))
                    CountFailure(budget, RemoveLinkedFolder(sub, state.data));
                continue;
            }
            if (JoinPath(sub, path, state.name))
                CountFailure(budget, RemoveTreeFolder(sub, pattern, whole, budget));
        } while (!BudgetSpent(budget) && FindNextEntry(&state) == 0);
        FindEnd(&state);
    }

    if (whole == 1 && !BudgetSpent(budget)) {
        int n = snprintf(search, sizeof(search), "%s%s", path, pattern);
        if (n > 0 && n < (int)sizeof(search) && FindFirstEntry(search, &state) == 0) {
            do {
                char file[MAX_PATH];
                if (state.attributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                if (JoinPath(file, path, state.name))
                    CountFailure(budget, ClearAndDeleteOrDefer(file));
            } while (!BudgetSpent(budget) && FindNextEntry(&state) == 0);
            FindEnd(&state);
        }
    }
    if (BudgetSpent(budget))
        return Outcome(OpKeptUserData);
    return RemoveEmptyDirectory(path);
}

// Where a link itself stands (its folder's real location and its own name):
// removing the link takes only that name, never what it leads to.
static int32_t LinkOwnership(const char* path)
{
    char parent[MAX_PATH];
    CopyText(parent, path, sizeof parent);
    char* name = FileNamePart(parent);
    if (name == parent)
        return ReasonUnresolved;
    name[-1] = 0;
    char place[MAX_PATH];
    if (!RealLocation(parent, place))
        return ReasonUnresolved;
    if (!EndsWithBackslash(place))
        AppendText(place, "\\", sizeof place);
    AppendText(place, name, sizeof place);
    return FolderOwnership(place, true);
}

OpResult RemoveDirectoryTree(const char* given, int32_t whole)
{
    char path[MAX_PATH];
    char pattern[MAX_PATH] = "\\*.*";
    lstrcpynA(path, given, sizeof(path));
    if (HasWildcards(path)) {
        char* cut = LastBackslash(path);
        if (!cut)
            return JournalRecord(WhatFolder, path, Outcome(OpKeptProtected));
        lstrcpynA(pattern, cut, sizeof(pattern));
        *cut = 0;
    }
    bool link = IsReparsePoint(path);
    // Only the product's own folders go whole; an empty folder goes unless
    // it is, or holds, one the system or a user keeps.
    int32_t reason = link ? LinkOwnership(path) : FolderOwnership(path, whole == 1);
    if (reason != OwnedByLog)
        return JournalRecord(WhatFolder, path, NotOwned(reason));
    // A tree that is itself a link is not entered: the folder it points to
    // stays as it is.
    if (link) {
        FindState state;
        OpResult result = Outcome(OpKeptProtected);
        if (whole == 1 && strcmp(pattern, "\\*.*") == 0 && FindFirstEntry(path, &state) == 0) {
            result = RemoveLinkedFolder(path, state.data);
            FindEnd(&state);
        }
        return result;
    }
    TreeBudget budget = {};
    OpResult result = RemoveTreeFolder(path, pattern, whole, &budget);
    if (BudgetSpent(&budget))
        return JournalRecord(WhatFolder, path, Outcome(OpFailed, budget.lastError));
    return result;
}
