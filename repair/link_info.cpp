#include "repair/link_info.h"

#include <cstring>

#include "log/path_helpers.h"

const char* ParseLinkField(char* out, int32_t size, const char* text)
{
    while (*text == ' ')
        text++;
    // Whole characters: a trail byte may look like a bar.
    const char* bar = FindCharMb(text, '|');
    const char* end = bar ? bar : text + std::strlen(text);
    int32_t length = (int32_t)(end - text);
    if (length > size - 1)
        length = size - 1;
    std::memcpy(out, text, (size_t)length);
    out[length] = 0;
    if (length > 0 && out[length - 1] == ' ')
        out[length - 1] = 0;
    return bar ? bar + 1 : end;
}

// A decimal number as atoi reads it, kept within 32 bits.
static int32_t ReadNumber(const char* text)
{
    int64_t value = 0;
    bool negative = false;
    while (*text == ' ')
        text++;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    while (*text >= '0' && *text <= '9') {
        if (value <= 0x7FFFFFFF)
            value = value * 10 + (*text - '0');
        text++;
    }
    if (value > 0x7FFFFFFF)
        value = 0x7FFFFFFF;
    return (int32_t)(negative ? -value : value);
}

void ParseLinkInfo(const char* text, LinkFields* out)
{
    char number[32];
    const char* at = text;
    at = ParseLinkField(out->Target, sizeof out->Target, at);
    at = ParseLinkField(out->WorkingDirectory, sizeof out->WorkingDirectory, at);
    at = ParseLinkField(out->IconFile, sizeof out->IconFile, at);
    // The index is read from the text that follows the icon file's bar.
    out->IconIndex = ReadNumber(at);
    at = ParseLinkField(number, sizeof number, at);
    at = ParseLinkField(number, sizeof number, at);
    out->ShowCommand = ReadNumber(number) & 7;
    at = ParseLinkField(number, sizeof number, at);
    int32_t hotkey = ReadNumber(number);
    out->Hotkey = (hotkey & 0xFF) ? hotkey : 0;
    ParseLinkField(out->Arguments, sizeof out->Arguments, at);
}
