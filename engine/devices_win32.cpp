#include "engine/registration.h"

#include <windows.h>
#include <cstdio>

#include "engine/deferred.h"
#include "engine/journal.h"
#include "engine/device_lines.h"
#include "engine/engine_env.h"
#include "log/path_helpers.h"

// SYSTEM.INI is a few kilobytes; anything past this is not a settings file
// this program should rewrite.
enum { LargestSystemIni = 16 * 1024 * 1024 };

static bool BuildPaths(char* systemIni, char* temp)
{
    UINT n = GetWindowsDirectoryA(systemIni, MAX_PATH);
    if (n == 0 || n + 11 >= MAX_PATH)
        return false;
    lstrcatA(systemIni, "\\SYSTEM.INI");
    // The temporary file sits beside it: <Windows>\~KTRS383.TMP.
    lstrcpyA(temp, systemIni);
    lstrcpyA(temp + lstrlenA(temp) - 10, "~KTRS383.TMP");
    return true;
}

// The relative name a device line may use: path without the System folder.
static const char* RelativeToSystem(const char* path, char* systemDir)
{
    UINT n = GetSystemDirectoryA(systemDir, MAX_PATH);
    if (n == 0 || n + 1 >= MAX_PATH)
        return path;
    if (!EndsWithBackslash(systemDir))
        lstrcatA(systemDir, "\\");
    int len = lstrlenA(systemDir);
    if (lstrlenA(path) < len)
        return path;
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, len, systemDir, len) !=
        CSTR_EQUAL)
        return path;
    return path + len;
}

static bool ReadWhole(const char* path, char** text, DWORD* length)
{
    bool ok = false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size <= LargestSystemIni) {
        *text = (char*)HeapAlloc(GetProcessHeap(), 0, size + 1);
        DWORD got = 0;
        if (*text && ReadFile(file, *text, size, &got, nullptr) && got == size) {
            *length = size;
            ok = true;
        }
    }
    CloseHandle(file);
    return ok;
}

static bool WriteWhole(const char* path, const char* text, DWORD length)
{
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = WriteFile(file, text, length, &put, nullptr) && put == length;
    if (!CloseHandle(file))
        ok = false;
    return ok;
}

// Puts the complete new text (in temp) in the place of SYSTEM.INI. The old
// file keeps its place until the new one can take it: it is renamed aside,
// and renamed back when the new one cannot follow. A read-only file is made
// writable for the exchange and gets its attributes back. A file held open
// is exchanged at the next restart.
static void ReplaceSystemIni(const char* systemIni, const char* temp)
{
    char aside[MAX_PATH];
    DWORD attributes = GetFileAttributesA(systemIni);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        attributes = 0;
    DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (!kept)
        kept = FILE_ATTRIBUTE_NORMAL;
    SetFileAttributesA(systemIni, FILE_ATTRIBUTE_NORMAL);
    MakeTempName(systemIni, aside);
    bool exchanged = false;
    if (MoveFileA(systemIni, aside)) {
        if (MoveFileA(temp, systemIni))
            exchanged = true;
        else
            MoveFileA(aside, systemIni);
    }
    SetFileAttributesA(systemIni, kept);
    if (exchanged)
        DeleteFileOrDefer(aside);
    else
        ExchangeAtRestart(systemIni, temp);
}

void RemoveDeviceLine(const char* path)
{
    char systemIni[MAX_PATH];
    char temp[MAX_PATH];
    char systemDir[MAX_PATH];
    char* text = nullptr;
    char* edited = nullptr;
    DWORD length = 0;
    if (!BuildPaths(systemIni, temp))
        return;
    if (!ReadWhole(systemIni, &text, &length))
        goto done;
    {
        const char* relative = RelativeToSystem(path, systemDir);
        edited = (char*)HeapAlloc(GetProcessHeap(), 0, DeviceEditCapacity(length));
        if (!edited)
            goto done;
        uint32_t changed = 0;
        uint32_t editedLength =
            CommentOutDeviceLines(text, length, relative, path, edited, &changed);
        // Nothing to change: SYSTEM.INI is not touched at all.
        if (!changed)
            goto done;
        char said[MAX_PATH + 40];
        snprintf(said, sizeof(said), "%s [386Enh] device=%s", systemIni, path);
        if (JournalDryRun()) {
            JournalRecord(WhatIniEntry, said, Outcome(OpRemoved));
            goto done;
        }
        // The new text is complete on disk before SYSTEM.INI is replaced; a
        // short write leaves SYSTEM.INI as it was.
        if (!WriteWhole(temp, edited, editedLength)) {
            JournalRecord(WhatIniEntry, said, Outcome(OpFailed, GetLastError()));
            DeleteFileOrDefer(temp);
            goto done;
        }
        ReplaceSystemIni(systemIni, temp);
        JournalRecord(WhatIniEntry, said, Outcome(OpRemoved));
    }
done:
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
    if (edited)
        HeapFree(GetProcessHeap(), 0, edited);
}
