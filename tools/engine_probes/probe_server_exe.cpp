// A self-registering program, also a program to run at uninstall time.
//   /REGSERVER, /UNREGSERVER: records the current folder and the command line.
//   /write <ms> <file>: waits ms milliseconds, then writes its command line
//   into file (so a caller can see that it waited for the end). The text goes
//   to file.part first and is renamed into place, so whoever sees the file
//   sees all of it.
#include <cstdlib>
#include <cstring>

#include "probe_record.h"

int main(int argc, char** argv)
{
    const char* line = GetCommandLineA();
    if (argc >= 2 && lstrcmpiA(argv[1], "/REGSERVER") == 0) {
        ProbeRecordDirectory(nullptr, "Registered");
        ProbeRecord(nullptr, "CommandLine", line);
    } else if (argc >= 2 && lstrcmpiA(argv[1], "/UNREGSERVER") == 0) {
        ProbeRecordDirectory(nullptr, "Unregistered");
        ProbeRecord(nullptr, "CommandLine", line);
    } else if (argc >= 4 && strcmp(argv[1], "/write") == 0) {
        Sleep((DWORD)atoi(argv[2]));
        char part[MAX_PATH + 8];
        if (lstrlenA(argv[3]) >= MAX_PATH)
            return 1;
        lstrcpyA(part, argv[3]);
        lstrcatA(part, ".part");
        HANDLE file = CreateFileA(part, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 1;
        DWORD put = 0;
        BOOL written = WriteFile(file, line, (DWORD)lstrlenA(line), &put, nullptr);
        CloseHandle(file);
        if (!written || !MoveFileExA(part, argv[3], MOVEFILE_REPLACE_EXISTING))
            return 1;
    } else {
        return 2;
    }
    return 0;
}
