// The restart program. The uninstaller writes it into the Windows directory
// as _MSRSTRT.EXE and starts it when files in use are replaced at the next
// start on the NT family: a process there must hold the shutdown privilege
// to restart the machine. It schedules its own file for deletion, enables
// the privilege, asks for the restart and ends. No window, no message.
//
// It links no C runtime: the file is embedded in UNKETRA32.EXE and copied
// on every restart, so it stays a few kilobytes, and RestartEntry is the
// process entry point.
#include <windows.h>

static int RestartMachine()
{
    // Gone at the restart it asks for: nothing of the uninstaller is left.
    char self[260];
    if (GetModuleFileNameA(NULL, self, sizeof self) != 0)
        MoveFileExA(self, NULL, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);

    int enabled = 0;
    HANDLE token = NULL;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges;
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            // AdjustTokenPrivileges succeeds also when the privilege is not
            // held; only ERROR_SUCCESS means that it is now enabled.
            SetLastError(ERROR_SUCCESS);
            if (AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL) &&
                GetLastError() == ERROR_SUCCESS)
                enabled = 1;
        }
        CloseHandle(token);
    }
    if (enabled)
        ExitWindowsEx(EWX_REBOOT, 0);
    return 0;
}

extern "C" void RestartEntry()
{
    ExitProcess(RestartMachine());
}
