#include "engine/files.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "app/run_state.h"
#include "engine/deferred.h"
#include "engine/engine_env.h"
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
static void RemoveLinkedFolder(const char* path, const WIN32_FIND_DATAA& data)
{
    if (!IsNameSurrogate(data))
        return;
    SetFileAttributesA(path, data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (RemoveDirectoryA(path))
        NotifyShellPath(SHCNE_RMDIR, path);
}

// Joins dir, a backslash and name into out (MAX_PATH); false when it would
// not fit, so that no cut path is ever deleted.
static bool JoinPath(char* out, const char* dir, const char* name)
{
    int n = snprintf(out, MAX_PATH, "%s\\%s", dir, name);
    return n > 0 && n < MAX_PATH;
}

int32_t ClearAttributes(const char* path)
{
    return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) ? 0 : 1;
}

void DeleteFileAndHelpIndex(const char* path)
{
    ClearAndDeleteOrDefer(path);
    size_t len = strlen(path);
    if (len > 4 && lstrcmpiA(path + len - 4, ".HLP") == 0) {
        char index[MAX_PATH];
        lstrcpynA(index, path, sizeof(index));
        if (len < sizeof(index)) {
            lstrcpyA(index + len - 4, ".GID");
            DeleteFileOrDefer(index);
            lstrcpyA(index + len - 4, ".FTS");
            DeleteFileOrDefer(index);
        }
    }
}

void RestoreFileOrDefer(const char* backup, const char* target)
{
    char temp[MAX_PATH];
    if (CopyFileA(backup, target, FALSE)) {
        DeleteFileAndHelpIndex(backup);
        return;
    }
    MakeTempName(target, temp);
    if (!CopyFileA(backup, temp, FALSE)) {
        DeleteFileAndHelpIndex(target);
        return;
    }
    DeleteFileAndHelpIndex(backup);
    ReplaceAtRestart(target, temp);
}

int32_t RemoveOrRestoreFile(const char* path, const char* backup, int32_t restore)
{
    if (!HasWildcards(path)) {
        DeleteFileAndHelpIndex(path);
        if (restore == 1 && backup && backup[0])
            RestoreFileOrDefer(backup, path);
        return 1;
    }
    char dir[MAX_PATH];
    lstrcpynA(dir, path, sizeof(dir));
    char* cut = LastBackslash(dir);
    if (!cut)
        return 0;
    *cut = 0;
    // Every wildcard is checked, not only "*.*": C:\WINDOWS\*.DLL would
    // otherwise empty the Windows folder of its libraries. A linked folder
    // is not searched: its files live elsewhere.
    if (IsProtectedDirectory(dir, true) || IsReparsePoint(dir))
        return 0;
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
    return 1;
}

enum { ShellReadPollMs = 50, ShellReadLimitMs = 3000 };

int RemoveDirectoryAfterShell(const char* path)
{
    // Some systems remove the folder behind a link in place of the link.
    if (IsReparsePoint(path))
        return FALSE;
    if (RemoveDirectoryA(path))
        return TRUE;
    DWORD error = GetLastError();
    if (error == ERROR_DIR_NOT_EMPTY || error == ERROR_FILE_NOT_FOUND ||
        error == ERROR_PATH_NOT_FOUND)
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

int32_t RemoveEmptyDirectory(const char* path)
{
    ClearAttributes(path);
    if (!RemoveDirectoryAfterShell(path))
        return 1;
    NotifyShellPath(SHCNE_RMDIR, path);
    return 0;
}

void RemoveDirectoryTree(const char* given, int32_t whole)
{
    char path[MAX_PATH];
    char pattern[MAX_PATH] = "\\*.*";
    char search[MAX_PATH];
    lstrcpynA(path, given, sizeof(path));
    if (HasWildcards(path)) {
        char* cut = LastBackslash(path);
        if (!cut)
            return;
        lstrcpynA(pattern, cut, sizeof(pattern));
        *cut = 0;
    }
    if (IsProtectedDirectory(path, false))
        return;
    FindState state;
    state.handle = INVALID_HANDLE_VALUE;
    // A link goes when the whole tree goes; a pattern leaves it, as it leaves
    // every folder that still holds something.
    bool everything = whole == 1 && strcmp(pattern, "\\*.*") == 0;
    // A tree that is itself a link is not entered: the folder it points to
    // stays as it is.
    if (IsReparsePoint(path)) {
        if (everything && FindFirstEntry(path, &state) == 0)
            RemoveLinkedFolder(path, state.data);
        FindEnd(&state);
        return;
    }

    if (JoinPath(search, path, "*.*") && FindFirstEntry(search, &state) == 0) {
        do {
            char sub[MAX_PATH];
            if (!(state.attributes & FILE_ATTRIBUTE_DIRECTORY) || state.name[0] == '.')
                continue;
            if (state.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (everything && JoinPath(sub, path, state.name))
                    RemoveLinkedFolder(sub, state.data);
                continue;
            }
            int n = snprintf(sub, sizeof(sub), "%s\\%s%s", path, state.name, pattern);
            if (n > 0 && n < (int)sizeof(sub))
                RemoveDirectoryTree(sub, whole);
        } while (FindNextEntry(&state) == 0);
        FindEnd(&state);
    }

    if (whole == 1) {
        int n = snprintf(search, sizeof(search), "%s%s", path, pattern);
        if (n > 0 && n < (int)sizeof(search) && FindFirstEntry(search, &state) == 0) {
            do {
                char file[MAX_PATH];
                if (state.attributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                if (JoinPath(file, path, state.name))
                    ClearAndDeleteOrDefer(file);
            } while (FindNextEntry(&state) == 0);
            FindEnd(&state);
        }
    }
    RemoveEmptyDirectory(path);
}
