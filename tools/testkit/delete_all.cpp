// KDELALL LISTFILE [/PACED]: the floor of the uninstall benchmark. Deletes
// every item of the list (one a line): a file path with DeleteFileA, or a
// value of HKEY_CURRENT_USER written "HKCU\key<TAB>name" with RegOpenKeyExA,
// RegDeleteValueA and RegCloseKey. Prints how many files went, the
// milliseconds the file deletions took, the milliseconds spent waiting, how
// many values went and the milliseconds they took.
// /PACED waits for one tick of a 1 ms timer after every file, as the
// uninstaller's progress reports do in a visible run.
#include <windows.h>
#include <cstdio>
#include <cstring>

enum { MaxItems = 200000, ItemSize = 160 };

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

static bool DeleteValue(char* item)
{
    char* tab = strchr(item, '\t');
    if (!tab)
        return false;
    *tab = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, item + 5, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool gone = RegDeleteValueA(key, tab + 1) == ERROR_SUCCESS;
    RegCloseKey(key);
    return gone;
}

static LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
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
    static char items[MaxItems][ItemSize];
    int count = 0;
    while (count < MaxItems && fgets(items[count], sizeof items[count], list)) {
        items[count][strcspn(items[count], "\r\n")] = 0;
        if (items[count][0])
            count++;
    }
    fclose(list);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LONGLONG deleting = 0, waiting = 0, values = 0;
    int deleted = 0, valuesDeleted = 0;
    for (int i = 0; i < count; i++) {
        LONGLONG start = Now();
        if (strncmp(items[i], "HKCU\\", 5) == 0) {
            valuesDeleted += DeleteValue(items[i]) ? 1 : 0;
            values += Now() - start;
            continue;
        }
        deleted += DeleteFileA(items[i]) ? 1 : 0;
        LONGLONG end = Now();
        deleting += end - start;
        if (paced) {
            WaitOneTick();
            waiting += Now() - end;
        }
    }
    printf("%d %lld %lld %d %lld\n", deleted, (long long)(deleting * 1000 / frequency.QuadPart),
           (long long)(waiting * 1000 / frequency.QuadPart), valuesDeleted,
           (long long)(values * 1000 / frequency.QuadPart));
    return 0;
}
