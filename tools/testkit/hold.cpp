// KHOLD [/X] STOPFILE PATH...: opens every PATH for reading without delete or
// write sharing (as a program using its files would; with /X without any
// sharing, so that no one else may even read them), writes STOPFILE.ready,
// then waits until STOPFILE exists (at most ten minutes) and lets go. Like a
// well-behaved program it also lets go when the session ends (a restart),
// through a hidden window that hears WM_QUERYENDSESSION.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static std::vector<HANDLE> Held;

static void LetGo()
{
    for (HANDLE h : Held)
        CloseHandle(h);
    Held.clear();
}

static LRESULT CALLBACK HoldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) {
        LetGo();
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    int first = 1;
    DWORD share = FILE_SHARE_READ;
    if (argc > 1 && strcmp(argv[1], "/X") == 0) {
        share = 0;
        first = 2;
    }
    if (argc < first + 2) {
        fprintf(stderr, "usage: KHOLD [/X] STOPFILE PATH...\n");
        return 2;
    }
    const char* stop = argv[first];
    for (int i = first + 1; i < argc; i++) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "KHOLD: cannot open %s\n", argv[i]);
            return 1;
        }
        Held.push_back(h);
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HoldWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KetraHold";
    RegisterClassA(&wc);
    CreateWindowA("KetraHold", "KHOLD", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                  nullptr);
    std::string ready = std::string(stop) + ".ready";
    FILE* f = fopen(ready.c_str(), "w");
    if (f)
        fclose(f);
    for (int waited = 0; waited < 600 * 10; waited++) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES)
            break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    LetGo();
    return 0;
}
