#include "ui/fit_path.h"

#include <cstring>

static int32_t Measure(const char* text, MeasureTextFn measure, void* context)
{
    return measure(text, (int32_t)strlen(text), context);
}

void FitPathText(char* text, int32_t size, int32_t limit, MeasureTextFn measure, void* context,
                 NextCharFn next)
{
    // The path part: after the first line break and its CR/LF characters, or
    // the whole text when nothing follows them.
    char* part = text;
    while (*part && *part != '\r' && *part != '\n')
        part++;
    while (*part == '\r' || *part == '\n')
        part++;
    if (!*part)
        part = text;

    char work[260];
    strncpy(work, part, sizeof(work) - 1);
    work[sizeof(work) - 1] = 0;
    if (Measure(work, measure, context) < limit)
        return;

    char b[256];
    strncpy(b, work, sizeof(b) - 1);
    b[255] = 0;
    char* s = b;
    while (*s && *s != '\\')
        s = (char*)next(s);
    if (*s == '\\')
        s++;

    // Stops once only "x..." would be left: nothing shorter can say more.
    while (Measure(b, measure, context) >= limit && strlen(b) >= 4) {
        char* e = s;
        if (*e == '.') {
            while (*e && *e != '\\')
                e = (char*)next(e);
            if (*e == '\\')
                e++;
        }
        while (*e && *e != '\\')
            e = (char*)next(e);
        if (*e == '\\' && e - s > 3) {
            char rest[256];
            strncpy(rest, e, sizeof(rest) - 1);
            rest[255] = 0;
            size_t room = sizeof(b) - (size_t)(s - b);
            strncpy(s, "...", room - 1);
            strncpy(s + 3, rest, room - 4);
            b[255] = 0;
        } else {
            size_t len = strlen(b);
            if (len <= 4)
                break;
            strcpy(b + len - 4, "...");
        }
    }

    size_t room = (size_t)(size - (part - text));
    strncpy(part, b, room - 1);
    part[room - 1] = 0;
}
