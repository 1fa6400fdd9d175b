// Where the probes record what was done to them: under
// HKEY_CURRENT_USER\Software\KetraProbes\<own file name>, so that every test
// copy of a probe, named after its test, has its own key.
#pragma once
#include <windows.h>

static void ProbeRecord(HMODULE module, const char* name, const char* text)
{
    char file[MAX_PATH];
    char key[MAX_PATH + 32];
    HKEY handle;
    DWORD n = GetModuleFileNameA(module, file, sizeof(file));
    if (n == 0 || n >= sizeof(file))
        return;
    const char* base = file;
    for (const char* p = file; *p; p++)
        if (*p == '\\')
            base = p + 1;
    lstrcpyA(key, "Software\\KetraProbes\\");
    lstrcatA(key, base);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE*)text, (DWORD)lstrlenA(text) + 1);
    RegCloseKey(handle);
}

static void ProbeRecordDirectory(HMODULE module, const char* name)
{
    char dir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof(dir), dir);
    if (n == 0 || n >= sizeof(dir))
        lstrcpyA(dir, "?");
    ProbeRecord(module, name, dir);
}
