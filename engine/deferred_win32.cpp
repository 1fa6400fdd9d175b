#include "engine/deferred.h"

#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "app/run_state.h"
#include "engine/engine_env.h"
#include "log/path_helpers.h"
#include "log/reader.h"

uint16_t TempNameCounter;

static void CopyPath(char* out, const char* in)
{
    lstrcpynA(out, in, MAX_PATH);
}

bool IsOwnModule(const char* path)
{
    char longForm[MAX_PATH];
    CopyPath(longForm, path);
    ConvertPathNames(longForm, ToLong);
    return lstrcmpiA(longForm, ModulePath) == 0;
}

int32_t ClearAndDeleteOrDefer(const char* path)
{
    if (IsOwnModule(path))
        SelfRemovalPending = 1;
    else if (DeleteFileA(path)) {
        NotifyShellPath(SHCNE_DELETE, path);
        return 0;
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

int32_t DeleteFileOrDefer(const char* path)
{
    bool wasMissing = GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
    bool own = IsOwnModule(path);
    if (own)
        SelfRemovalPending = 1;
    if (DeleteFileA(path)) {
        NotifyShellPath(SHCNE_DELETE, path);
        return 0;
    }
    if (!DeleteInUseFiles || wasMissing)
        return 1;
    // The program's own file is removed by the temporary copy after the run.
    if (own)
        return 1;
    RestartNeeded = 1;
    if (PlatformKind != Platform95) {
        DeleteAtRestart(path);
        return 1;
    }
    // WININIT.INI is read before long names are known: it takes 8.3 names.
    char shortPath[MAX_PATH];
    CopyPath(shortPath, path);
    ConvertPathNames(shortPath, ToShort);
    DeleteAtRestart(shortPath);
    return 1;
}

void MakeTempName(const char* target, char* out)
{
    char name[16];
    CopyPath(out, target);
    char* tail = out;
    for (char* p = out; *p; p = CharNextA(p))
        if (*p == '\\')
            tail = p + 1;
    size_t room = MAX_PATH - (size_t)(tail - out);
    do {
        snprintf(name, sizeof(name), "~KTU%04x.TMP", (unsigned)TempNameCounter);
        TempNameCounter++;
        lstrcpynA(tail, name, (int)room);
    } while (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES);
}

void ReplaceAtRestart(const char* target, const char* temp)
{
    RestartNeeded = 1;
    char temp8[MAX_PATH];
    char target8[MAX_PATH];
    CopyPath(temp8, temp);
    CopyPath(target8, target);
    ConvertPathNames(temp8, ToShort);
    ConvertPathNames(target8, ToShort);
    if (PlatformKind == Platform95) {
        AppendWininitRename(target8, temp8);
    } else {
        MoveFileExA(target, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(temp8, target, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}
