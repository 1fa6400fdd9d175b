#include "platform/libraries.h"
#include "log/path_helpers.h"

// Loads folder (which ends in a backslash) plus name. Libraries the loaded
// one needs are looked for beside it first.
static HMODULE LoadFrom(char* folder, const char* name)
{
    if (!folder[0] || lstrlenA(folder) + lstrlenA(name) >= MAX_PATH)
        return nullptr;
    AppendText(folder, name, MAX_PATH);
    return LoadLibraryExA(folder, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

static void SystemFolder(char* folder)
{
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 1) {
        folder[0] = 0;
        return;
    }
    if (!EndsWithBackslash(folder))
        AppendText(folder, "\\", MAX_PATH);
}

HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH];
    SystemFolder(path);
    return LoadFrom(path, name);
}

HMODULE LoadLibraryBesideProgram(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        *FileNamePart(path) = 0;
        HMODULE library = LoadFrom(path, name);
        if (library)
            return library;
    }
    return LoadSystemLibrary(name);
}
