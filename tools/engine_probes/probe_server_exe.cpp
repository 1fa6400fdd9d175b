// A self-registering program, also a program to run at uninstall time.
//   /REGSERVER, /UNREGSERVER: records the current folder and the command line.
//   /write <ms> <file>: waits ms milliseconds, then writes its command line
//   into file (so a caller can see that it waited for the end).
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
        HANDLE file = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 1;
        DWORD put = 0;
        WriteFile(file, line, (DWORD)lstrlenA(line), &put, nullptr);
        CloseHandle(file);
    } else {
        return 2;
    }
    return 0;
}
