// KDELALL LISTFILE: DeleteFileA on every path of the list (one a line) and
// prints how many went and the milliseconds it took.
#include <windows.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: KDELALL LISTFILE\n");
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
    QueryPerformanceCounter(&start);
    int deleted = 0;
    for (int i = 0; i < count; i++)
        deleted += DeleteFileA(paths[i]) ? 1 : 0;
    QueryPerformanceCounter(&end);
    printf("%d %lld\n", deleted, (long long)((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart));
    return 0;
}
