#include "ui/fit_path.h"

#include <cstring>

#include "log/path_helpers.h"

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
    CopyText(work, part, sizeof(work));
    if (Measure(work, measure, context) < limit)
        return;

    char b[256];
    CopyText(b, work, sizeof(b));
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
            CopyText(rest, e, sizeof(rest));
            int32_t room = (int32_t)sizeof(b) - (int32_t)(s - b);
            CopyText(s, "...", room);
            CopyText(s + 3, rest, room - 3);
        } else {
            size_t len = strlen(b);
            if (len <= 4)
                break;
            strcpy(b + len - 4, "...");
        }
    }

    CopyText(part, b, size - (int32_t)(part - text));
}
