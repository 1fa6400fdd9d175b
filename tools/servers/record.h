// The test servers note every call in a text file: the file named by the
// environment variable KETRA_SERVER_LOG, else KTSERVERS.LOG in the temporary
// folder. One line per call: what, the module, the current folder, the
// command line.
#pragma once
#include <windows.h>
#include <cstdio>
#include <cstring>

static const char SelfRegKey[] = "Software\\KetraTest\\SelfReg";

static inline void RecordCall(const char* what)
{
    char logPath[MAX_PATH], module[MAX_PATH], folder[MAX_PATH], line[2048];
    if (!GetEnvironmentVariableA("KETRA_SERVER_LOG", logPath, MAX_PATH)) {
        GetTempPathA(MAX_PATH, logPath);
        lstrcatA(logPath, "KTSERVERS.LOG");
    }
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&RecordCall, &self);
    GetModuleFileNameA(self, module, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, folder);
    _snprintf(line, sizeof line - 1, "%s|%s|%s|%s\r\n", what, module, folder, GetCommandLineA());
    line[sizeof line - 1] = 0;
    HANDLE h = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, line, (DWORD)strlen(line), &written, nullptr);
        CloseHandle(h);
    }
}

// Registration is a value under HKCU\Software\KetraTest\SelfReg named by the
// server's own path, so that each installed copy has its own.
static inline long SetRegistered(int on)
{
    char module[MAX_PATH];
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&SetRegistered, &self);
    GetModuleFileNameA(self, module, MAX_PATH);
    HKEY key = nullptr;
    long result = RegCreateKeyExA(HKEY_CURRENT_USER, SelfRegKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    if (on)
        result = RegSetValueExA(key, module, 0, REG_SZ, (const BYTE*)"registered", 11);
    else
        result = RegDeleteValueA(key, module);
    RegCloseKey(key);
    return result;
}
