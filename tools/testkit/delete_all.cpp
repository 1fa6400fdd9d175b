// KDELALL LISTFILE [/PACED]: DeleteFileA on every path of the list (one a
// line) and prints how many went and the milliseconds the deletions took.
// /PACED waits for one tick of a 1 ms timer after every deletion, as the
// uninstaller's progress reports do, and counts only the deletion calls; it
// also prints the milliseconds spent waiting.
#include <windows.h>
#include <cstdio>
#include <cstring>

static void WaitOneTick()
{
    UINT_PTR timer = SetTimer(nullptr, 0, 1, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER)
            break;
        DispatchMessageA(&msg);
    }
    KillTimer(nullptr, timer);
}

int main(int argc, char** argv)
{
    bool paced = argc == 3 && lstrcmpiA(argv[2], "/PACED") == 0;
    if (argc != 2 && !paced) {
        fprintf(stderr, "usage: KDELALL LISTFILE [/PACED]\n");
        return 2;
    }
    FILE* list = fopen(argv[1], "rb");
    if (!list)
        return 1;
    static char paths[200000][128];
    int count = 0;
    while (count < 200000 && fgets(paths[count], sizeof paths[count], list)) {
        paths[count][strcspn(paths[count], "\r\n")] = 0;
        if (paths[count][0])
            count++;
    }
    fclose(list);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    LONGLONG deleting = 0, waiting = 0;
    int deleted = 0;
    for (int i = 0; i < count; i++) {
        QueryPerformanceCounter(&start);
        deleted += DeleteFileA(paths[i]) ? 1 : 0;
        QueryPerformanceCounter(&end);
        deleting += end.QuadPart - start.QuadPart;
        if (paced) {
            WaitOneTick();
            QueryPerformanceCounter(&start);
            waiting += start.QuadPart - end.QuadPart;
        }
    }
    printf("%d %lld %lld\n", deleted, (long long)(deleting * 1000 / frequency.QuadPart),
           (long long)(waiting * 1000 / frequency.QuadPart));
    return 0;
}
