// KGUI: a small driver for the GUI scenarios. It takes one command per
// argument, or, without arguments, one command per line of standard input
// (so that a scenario keeps one driver process for all its steps), and
// answers each with one line "OK ..." or "ERR ...". The commands that return
// several lines answer "OK n", then n lines that each begin with "| ", then
// "END". Such a reply is taken from one snapshot (the windows or rows counted
// are the ones listed) and written in one piece, so that the reader can check
// its framing. Texts are the system's ANSI code page; CR, LF, tab and
// backslash in them are written as \r \n \t \\.
//
//   find CLASS TITLE [MS]       wait for a visible top-level window; CLASS and
//                               TITLE may be * (any); TITLE matches a part
//   owned OWNER CLASS [MS]      wait for a visible window owned by OWNER
//   gone HWND [MS]              wait until the window is gone or hidden
//   text HWND ID                text of control ID (0: the window itself)
//   state HWND ID               visible, enabled, checked of control ID
//   click HWND ID               posts BM_CLICK to control ID
//   settext HWND ID TEXT        sets the text of control ID (a file name box)
//   key HWND ID VK              posts a key press (VK: RETURN, ESCAPE or a number)
//   list HWND ID                list box rows: "OK n", n lines "| sel text", END
//   setsel HWND ID ROW 0|1      selects or unselects a row (-1: every row)
//   controls HWND               "OK n", n lines "| id visible class text", END
//   rect HWND                   window rectangle: left top right bottom
//   windows                     "OK n", n lines "| hwnd class title", END
//   sleep MS
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

enum { TextSize = 4096, DefaultWaitMs = 10000, MessageWaitMs = 5000 };

static void Escape(const char* text, char* out, int size)
{
    int n = 0;
    for (const char* p = text; *p && n < size - 3; p++) {
        const char* two = *p == '\r'   ? "\\r"
                          : *p == '\n' ? "\\n"
                          : *p == '\t' ? "\\t"
                          : *p == '\\' ? "\\\\"
                                       : nullptr;
        if (two) {
            out[n++] = two[0];
            out[n++] = two[1];
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

static void Reply(const char* format, ...)
{
    char line[TextSize * 2 + 64];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

// A reply of several lines, gathered before any of it is written.
struct Rows {
    std::string text;
    int count;
};

static void AddRow(Rows* rows, const char* format, ...)
{
    char line[TextSize * 2 + 64];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    rows->text += "| ";
    rows->text += line;
    rows->text += '\n';
    rows->count++;
}

static void ReplyRows(const Rows& rows)
{
    printf("OK %d\n%sEND\n", rows.count, rows.text.c_str());
    fflush(stdout);
}

static HWND ParseWindow(const char* text)
{
    return (HWND)(INT_PTR)strtoull(text ? text : "0", nullptr, 16);
}

static HWND Control(HWND window, const char* id)
{
    int n = atoi(id ? id : "0");
    return n == 0 ? window : GetDlgItem(window, n);
}

static bool Matches(const char* pattern, const char* text, bool part)
{
    if (!pattern || strcmp(pattern, "*") == 0)
        return true;
    return part ? strstr(text, pattern) != nullptr : lstrcmpiA(pattern, text) == 0;
}

struct Search {
    const char* className;
    const char* title;
    HWND owner;
    HWND found;
};

static BOOL CALLBACK Look(HWND window, LPARAM lParam)
{
    Search* s = (Search*)lParam;
    if (!IsWindowVisible(window))
        return TRUE;
    if (s->owner && GetWindow(window, GW_OWNER) != s->owner)
        return TRUE;
    char className[256], title[512];
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (Matches(s->className, className, false) && Matches(s->title, title, true)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND WaitFor(Search* s, int ms)
{
    DWORD end = GetTickCount() + (DWORD)ms;
    for (;;) {
        s->found = nullptr;
        EnumWindows(Look, (LPARAM)s);
        if (s->found || (int)(end - GetTickCount()) <= 0)
            return s->found;
        Sleep(50);
    }
}

static bool GetText(HWND control, char* text, int size)
{
    DWORD_PTR length = 0;
    text[0] = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, (WPARAM)size, (LPARAM)text, SMTO_NORMAL,
                             MessageWaitMs, &length))
        return false;
    text[size - 1] = 0;
    return true;
}

static int VirtualKey(const char* name)
{
    if (!name)
        return 0;
    if (lstrcmpiA(name, "RETURN") == 0)
        return VK_RETURN;
    if (lstrcmpiA(name, "ESCAPE") == 0)
        return VK_ESCAPE;
    return atoi(name);
}

static void ListRows(HWND list)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, MessageWaitMs, &count) ||
        (LONG_PTR)count < 0) {
        Reply("ERR no list");
        return;
    }
    Rows rows = {std::string(), 0};
    static char text[TextSize], escaped[TextSize * 2];
    for (int i = 0; i < (int)count; i++) {
        DWORD_PTR length = 0, selected = 0;
        text[0] = 0;
        // Wide text across processes: Wine hands an ANSI request the wide
        // characters, so the row is asked for in Unicode and converted here.
        static WCHAR wide[TextSize];
        wide[0] = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, MessageWaitMs, &length);
        if ((LONG_PTR)length >= 0 && length < TextSize &&
            SendMessageTimeoutW(list, LB_GETTEXT, i, (LPARAM)wide, SMTO_NORMAL, MessageWaitMs,
                                &length) &&
            (LONG_PTR)length >= 0) {
            wide[length < TextSize ? length : TextSize - 1] = 0;
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, TextSize, nullptr, nullptr);
            text[TextSize - 1] = 0;
        }
        SendMessageTimeoutA(list, LB_GETSEL, i, 0, SMTO_NORMAL, MessageWaitMs, &selected);
        Escape(text, escaped, sizeof escaped);
        AddRow(&rows, "%d %s", (int)(LONG_PTR)selected > 0 ? 1 : 0, escaped);
    }
    ReplyRows(rows);
}

enum { MaxWindows = 1024 };

// The windows of one enumeration; with visibleOnly, those visible then.
struct WindowList {
    HWND items[MaxWindows];
    int count;
    bool visibleOnly;
};

static BOOL CALLBACK Collect(HWND window, LPARAM lParam)
{
    WindowList* list = (WindowList*)lParam;
    if (list->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (list->count < MaxWindows)
        list->items[list->count++] = window;
    return TRUE;
}

static void Controls(HWND window)
{
    static WindowList list;
    list.count = 0;
    list.visibleOnly = false;
    EnumChildWindows(window, Collect, (LPARAM)&list);
    Rows rows = {std::string(), 0};
    static char text[TextSize], escaped[TextSize * 2];
    for (int i = 0; i < list.count; i++) {
        char className[128] = "";
        GetClassNameA(list.items[i], className, sizeof className);
        GetText(list.items[i], text, sizeof text);
        Escape(text, escaped, sizeof escaped);
        AddRow(&rows, "%d %d %s %s", GetDlgCtrlID(list.items[i]),
               IsWindowVisible(list.items[i]) ? 1 : 0, className[0] ? className : "?", escaped);
    }
    ReplyRows(rows);
}

// The visible top-level windows of one enumeration. A window that closes
// while its line is made still gets its line, with an empty class ("?").
static void Windows()
{
    static WindowList list;
    list.count = 0;
    list.visibleOnly = true;
    EnumWindows(Collect, (LPARAM)&list);
    Rows rows = {std::string(), 0};
    for (int i = 0; i < list.count; i++) {
        char className[256] = "", title[512] = "", escaped[1024];
        GetClassNameA(list.items[i], className, sizeof className);
        GetWindowTextA(list.items[i], title, sizeof title);
        Escape(title, escaped, sizeof escaped);
        AddRow(&rows, "%llx %s %s", (unsigned long long)(INT_PTR)list.items[i],
               className[0] ? className : "?", escaped);
    }
    ReplyRows(rows);
}

// Splits line into at most max words at blanks; the last word takes the rest.
static int Split(char* line, char** words, int max)
{
    int n = 0;
    char* p = line;
    while (*p && n < max) {
        while (*p == ' ')
            p++;
        if (!*p)
            break;
        words[n++] = p;
        if (n == max)
            break;
        while (*p && *p != ' ')
            p++;
        if (*p)
            *p++ = 0;
    }
    return n;
}

static void Run(char* line)
{
    char* w[6] = {};
    size_t length = strlen(line);
    while (length && (line[length - 1] == '\n' || line[length - 1] == '\r'))
        line[--length] = 0;
    // Titles may hold blanks: "find" and "owned" take the rest as the title.
    int n = Split(line, w, 6);
    if (n == 0) {
        Reply("ERR empty");
        return;
    }
    const char* c = w[0];
    if (strcmp(c, "find") == 0 && n >= 3) {
        // find CLASS TITLE... [MS]: a trailing number is the wait.
        char title[512];
        // Re-join the title words split off above.
        char rest[512];
        snprintf(rest, sizeof rest, "%s", w[2]);
        for (int i = 3; i < n; i++) {
            strncat(rest, " ", sizeof rest - strlen(rest) - 1);
            strncat(rest, w[i], sizeof rest - strlen(rest) - 1);
        }
        int ms = DefaultWaitMs;
        char* last = strrchr(rest, ' ');
        if (last && last[1] >= '0' && last[1] <= '9' &&
            strspn(last + 1, "0123456789") == strlen(last + 1)) {
            ms = atoi(last + 1);
            *last = 0;
        }
        lstrcpynA(title, rest, sizeof title);
        Search s = {w[1], title, nullptr, nullptr};
        HWND found = WaitFor(&s, ms);
        if (found)
            Reply("OK %llx", (unsigned long long)(INT_PTR)found);
        else
            Reply("ERR not found");
    } else if (strcmp(c, "owned") == 0 && n >= 3) {
        Search s = {w[2], "*", ParseWindow(w[1]), nullptr};
        HWND found = WaitFor(&s, n >= 4 ? atoi(w[3]) : DefaultWaitMs);
        if (found)
            Reply("OK %llx", (unsigned long long)(INT_PTR)found);
        else
            Reply("ERR not found");
    } else if (strcmp(c, "gone") == 0 && n >= 2) {
        HWND window = ParseWindow(w[1]);
        DWORD end = GetTickCount() + (DWORD)(n >= 3 ? atoi(w[2]) : DefaultWaitMs);
        while (IsWindow(window) && IsWindowVisible(window) && (int)(end - GetTickCount()) > 0)
            Sleep(50);
        if (IsWindow(window) && IsWindowVisible(window))
            Reply("ERR still there");
        else
            Reply("OK");
    } else if (strcmp(c, "text") == 0 && n >= 3) {
        HWND control = Control(ParseWindow(w[1]), w[2]);
        static char text[TextSize], escaped[TextSize * 2];
        if (!control || !GetText(control, text, sizeof text)) {
            Reply("ERR no control");
            return;
        }
        Escape(text, escaped, sizeof escaped);
        Reply("OK %s", escaped);
    } else if (strcmp(c, "state") == 0 && n >= 3) {
        HWND control = Control(ParseWindow(w[1]), w[2]);
        DWORD_PTR checked = 0;
        if (!control) {
            Reply("ERR no control");
            return;
        }
        SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, MessageWaitMs, &checked);
        Reply("OK visible=%d enabled=%d checked=%d", IsWindowVisible(control) ? 1 : 0,
              IsWindowEnabled(control) ? 1 : 0, (int)checked == BST_CHECKED ? 1 : 0);
    } else if (strcmp(c, "click") == 0 && n >= 3) {
        HWND control = Control(ParseWindow(w[1]), w[2]);
        if (control && PostMessageA(control, BM_CLICK, 0, 0))
            Reply("OK");
        else
            Reply("ERR no control");
    } else if (strcmp(c, "settext") == 0 && n >= 4) {
        HWND control = Control(ParseWindow(w[1]), w[2]);
        char text[512];
        snprintf(text, sizeof text, "%s", w[3]);
        for (int i = 4; i < n; i++) {
            strncat(text, " ", sizeof text - strlen(text) - 1);
            strncat(text, w[i], sizeof text - strlen(text) - 1);
        }
        DWORD_PTR done = 0;
        if (control && SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)text, SMTO_NORMAL,
                                           MessageWaitMs, &done))
            Reply("OK");
        else
            Reply("ERR no control");
    } else if (strcmp(c, "key") == 0 && n >= 4) {
        HWND control = Control(ParseWindow(w[1]), w[2]);
        int vk = VirtualKey(w[3]);
        if (control && vk && PostMessageA(control, WM_KEYDOWN, vk, 1)) {
            // A dialog may act on the key and close before its release is
            // posted: the key was delivered all the same.
            PostMessageA(control, WM_KEYUP, vk, 0xC0000001);
            Reply("OK");
        } else {
            Reply("ERR no control");
        }
    } else if (strcmp(c, "list") == 0 && n >= 3) {
        HWND list = Control(ParseWindow(w[1]), w[2]);
        if (!list)
            Reply("ERR no control");
        else
            ListRows(list);
    } else if (strcmp(c, "setsel") == 0 && n >= 5) {
        HWND list = Control(ParseWindow(w[1]), w[2]);
        DWORD_PTR result = 0;
        if (list &&
            SendMessageTimeoutA(list, LB_SETSEL, atoi(w[4]), atoi(w[3]), SMTO_NORMAL, MessageWaitMs,
                                &result) &&
            (LONG_PTR)result != LB_ERR)
            Reply("OK");
        else
            Reply("ERR setsel");
    } else if (strcmp(c, "controls") == 0 && n >= 2) {
        Controls(ParseWindow(w[1]));
    } else if (strcmp(c, "rect") == 0 && n >= 2) {
        RECT r;
        if (GetWindowRect(ParseWindow(w[1]), &r))
            Reply("OK %ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
        else
            Reply("ERR no window");
    } else if (strcmp(c, "windows") == 0) {
        Windows();
    } else if (strcmp(c, "sleep") == 0 && n >= 2) {
        Sleep((DWORD)atoi(w[1]));
        Reply("OK");
    } else {
        Reply("ERR unknown command");
    }
}

int main(int argc, char** argv)
{
    static char line[TextSize];
    if (argc > 1) {
        for (int i = 1; i < argc; i++) {
            lstrcpynA(line, argv[i], sizeof line);
            Run(line);
        }
        return 0;
    }
    while (fgets(line, sizeof line, stdin)) {
        // A line longer than the buffer is one command: refused once, whole.
        if (!strchr(line, '\n') && strlen(line) == sizeof line - 1) {
            int c;
            while ((c = getchar()) != EOF && c != '\n') {
            }
            Reply("ERR line too long");
            continue;
        }
        Run(line);
    }
    return 0;
}
