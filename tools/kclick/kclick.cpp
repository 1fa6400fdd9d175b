// KCLICK step step ...: each step acts on the window found by the last
// "wait" step. Steps:
//   wait=<caption>      wait (up to 60 s) for a visible top-level window
//                        with that caption; fails when none comes
//   dump                print "id|class|enabled|visible|text" per control
//   set=<id>=<text>     set a control's text
//   click=<id>          click a button (BM_CLICK)
//   gone                wait (up to 60 s) until the window has closed
//   absent=<caption>=<ms>  fail if such a window shows up within ms
// Exit code: 0 when every step worked, 1 at the first that did not.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Generous: a busy machine may take long to show or close a window, and a
// wait ends as soon as the window is there or gone.
enum { WaitMs = 60000 };

struct Search {
    const char* caption;
    HWND found;
};

static BOOL CALLBACK MatchCaption(HWND window, LPARAM lParam)
{
    Search* s = (Search*)lParam;
    char text[512];
    if (IsWindowVisible(window) && GetWindowTextA(window, text, sizeof text) >= 0 &&
        strcmp(text, s->caption) == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND FindCaption(const char* caption, DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        Search s = {caption, nullptr};
        EnumWindows(MatchCaption, (LPARAM)&s);
        if (s.found)
            return s.found;
        Sleep(100);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

static BOOL CALLBACK DumpControl(HWND control, LPARAM)
{
    char name[64] = "", text[1024] = "";
    GetClassNameA(control, name, sizeof name);
    SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM)text);
    for (char* p = text; *p; p++)
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    printf("%d|%s|%d|%d|%s\n", (int)(short)GetDlgCtrlID(control), name,
           IsWindowEnabled(control) ? 1 : 0, IsWindowVisible(control) ? 1 : 0, text);
    return TRUE;
}

int main(int argc, char** argv)
{
    HWND window = nullptr;
    for (int i = 1; i < argc; i++) {
        const char* step = argv[i];
        if (strncmp(step, "wait=", 5) == 0) {
            window = FindCaption(step + 5, WaitMs);
            if (!window) {
                printf("no window '%s'\n", step + 5);
                return 1;
            }
            char caption[512];
            GetWindowTextA(window, caption, sizeof caption);
            printf("window|%s\n", caption);
        } else if (strncmp(step, "absent=", 7) == 0) {
            char caption[512];
            lstrcpynA(caption, step + 7, sizeof caption);
            char* ms = strrchr(caption, '=');
            if (!ms)
                return 1;
            *ms++ = 0;
            if (FindCaption(caption, (DWORD)atoi(ms))) {
                printf("unexpected window '%s'\n", caption);
                return 1;
            }
        } else if (!window) {
            printf("no window for '%s'\n", step);
            return 1;
        } else if (strcmp(step, "dump") == 0) {
            EnumChildWindows(window, DumpControl, 0);
        } else if (strncmp(step, "set=", 4) == 0) {
            int id = atoi(step + 4);
            const char* text = strchr(step + 4, '=');
            HWND control = GetDlgItem(window, id);
            if (!control || !text)
                return 1;
            SendMessageA(control, WM_SETTEXT, 0, (LPARAM)(text + 1));
        } else if (strncmp(step, "click=", 6) == 0) {
            HWND button = GetDlgItem(window, atoi(step + 6));
            if (!button) {
                printf("no control %s\n", step + 6);
                return 1;
            }
            // Posted: the click may open a modal loop in the other process.
            PostMessageA(button, BM_CLICK, 0, 0);
        } else if (strcmp(step, "gone") == 0) {
            DWORD start = GetTickCount();
            while (IsWindow(window) && IsWindowVisible(window) && GetTickCount() - start < WaitMs)
                Sleep(100);
            if (IsWindow(window) && IsWindowVisible(window)) {
                printf("window still there\n");
                return 1;
            }
        } else {
            printf("unknown step '%s'\n", step);
            return 1;
        }
        fflush(stdout);
    }
    return 0;
}
