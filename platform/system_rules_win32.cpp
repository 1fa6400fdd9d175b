#include "platform/system_rules.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

#include <windows.h>

static const char* SystemCharNext(const char* at)
{
    return CharNextA(at);
}

static int32_t SystemFindFirstEntry(const char* pattern, char* longName, char* shortName)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    CopyText(longName, found.cFileName, 256);
    CopyText(shortName, found.cAlternateFileName, 14);
    FindClose(search);
    return 1;
}

static int32_t SystemCurrentDirectory(char* buffer, int32_t size)
{
    return (int32_t)GetCurrentDirectoryA((DWORD)size, buffer);
}

static int32_t SystemFileAttributes(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? -1 : (int32_t)attributes;
}

static const PathSystem Win32PathSystem = {SystemFindFirstEntry, SystemCurrentDirectory,
                                           SystemFileAttributes};

void UseSystemRules()
{
    CharNextRule = SystemCharNext;
    PathSystemInUse = &Win32PathSystem;
}
