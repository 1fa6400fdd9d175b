#include "engine/device_lines.h"

#include <cstring>

#include "log/text_step.h"

// Case-insensitive comparison of the first n bytes of a with the text b of
// exactly n bytes; a double-byte character of a path is one unit.
static bool SameFolded(const char* a, const char* b, uint32_t n)
{
    return CompareNoCaseN(a, b, (int32_t)n) == 0;
}

static bool LineEquals(const char* p, uint32_t n, const char* text)
{
    uint32_t len = (uint32_t)strlen(text);
    return len == n && SameFolded(p, text, n);
}

uint32_t DeviceEditCapacity(uint32_t length)
{
    return length + length / 8 + 1;
}

uint32_t CommentOutDeviceLines(const char* text, uint32_t length, const char* relName,
                               const char* fullPath, char* out, uint32_t* changed)
{
    uint32_t pos = 0;
    uint32_t written = 0;
    bool inSection = false;
    *changed = 0;
    while (pos < length) {
        // One line: its text up to CR or LF, then its line end as it stands
        // (CR LF, LF or a lone CR), or nothing at the end of the file.
        uint32_t start = pos;
        while (pos < length && text[pos] != '\r' && text[pos] != '\n')
            pos++;
        uint32_t textEnd = pos;
        if (pos < length && text[pos] == '\r')
            pos++;
        if (pos < length && text[pos] == '\n')
            pos++;
        uint32_t p = start;
        while (p < textEnd && (text[p] == ' ' || text[p] == '\t'))
            p++;
        uint32_t rest = textEnd - p;
        bool comment = false;
        if (!inSection) {
            if (rest >= 8 && SameFolded(text + p, "[386ENH]", 8))
                inSection = true;
        } else if (rest >= 1 && text[p] == '[') {
            inSection = false;
        } else if (rest >= 7 && SameFolded(text + p, "DEVICE=", 7)) {
            const char* value = text + p + 7;
            uint32_t n = rest - 7;
            comment = LineEquals(value, n, relName) || LineEquals(value, n, fullPath);
        }
        if (comment) {
            out[written++] = ';';
            (*changed)++;
        }
        memcpy(out + written, text + start, pos - start);
        written += pos - start;
    }
    return written;
}
