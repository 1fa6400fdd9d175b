#include "ui/text_format.h"

int32_t FormatWithText(char* out, int32_t size, const char* message, const char* text)
{
    int32_t n = 0;
    bool used = false;
    if (size <= 0)
        return 0;
    for (const char* m = message; *m && n < size - 1; m++) {
        if (m[0] == '%' && m[1] == 's' && !used) {
            for (const char* t = text; *t && n < size - 1; t++)
                out[n++] = *t;
            used = true;
            m++;
        } else if (m[0] == '%' && m[1] == '%') {
            out[n++] = '%';
            m++;
        } else {
            out[n++] = *m;
        }
    }
    out[n] = 0;
    return n;
}
