// KHOLD STOPFILE PATH...: opens every PATH for reading without delete or
// write sharing (as a program using its files would), writes STOPFILE.ready,
// then waits until STOPFILE exists (at most ten minutes) and lets go.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: KHOLD STOPFILE PATH...\n");
        return 2;
    }
    std::vector<HANDLE> held;
    for (int i = 2; i < argc; i++) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "KHOLD: cannot open %s\n", argv[i]);
            return 1;
        }
        held.push_back(h);
    }
    std::string ready = std::string(argv[1]) + ".ready";
    FILE* f = fopen(ready.c_str(), "w");
    if (f)
        fclose(f);
    for (int waited = 0; waited < 600 * 10; waited++) {
        if (GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES)
            break;
        Sleep(100);
    }
    for (HANDLE h : held)
        CloseHandle(h);
    return 0;
}
