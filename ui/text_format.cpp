#include "ui/text_format.h"

// The one loop behind both forms: each "%s" takes the next text; past the
// given texts a "%s" is copied as it stands (literal) or left out (empty).
static int32_t FillMessage(char* out, int32_t size, const char* message, const char* const* texts,
                           int32_t count, bool extraStaysLiteral)
{
    int32_t n = 0;
    int32_t next = 0;
    if (size <= 0)
        return 0;
    for (const char* m = message; *m && n < size - 1; m++) {
        if (m[0] == '%' && m[1] == 's' && (next < count || !extraStaysLiteral)) {
            const char* t = next < count && texts[next] ? texts[next] : "";
            next++;
            while (*t && n < size - 1)
                out[n++] = *t++;
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

int32_t FormatWithText(char* out, int32_t size, const char* message, const char* text)
{
    return FillMessage(out, size, message, &text, 1, true);
}

int32_t FormatWithTexts(char* out, int32_t size, const char* message, const char* const* texts,
                        int32_t count)
{
    return FillMessage(out, size, message, texts, count, false);
}
