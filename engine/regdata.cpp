#include "engine/regdata.h"

#include <cstring>

#include "log/text_step.h"

static int32_t DecimalToInt(const char* text)
{
    // atoi rules: leading blanks, an optional sign, digits up to the first
    // other character; wraps like a 32-bit machine would.
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' ||
           *text == '\f')
        text++;
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        text++;
    }
    uint32_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + (uint32_t)(*text - '0');
        text++;
    }
    return (int32_t)(negative ? 0u - value : value);
}

static int32_t HexDigit(char c)
{
    c = FoldAscii(c);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int32_t RegistryDataBytes(int32_t typeIndex, char* data, int32_t size)
{
    if (size <= 0)
        return 0;
    switch (typeIndex) {
    case RegTypeDword: {
        int32_t value = DecimalToInt(data);
        uint32_t u = (uint32_t)value;
        if (size < 4)
            return 0;
        data[0] = (char)(u & 0xFF);
        data[1] = (char)((u >> 8) & 0xFF);
        data[2] = (char)((u >> 16) & 0xFF);
        data[3] = (char)((u >> 24) & 0xFF);
        return 4;
    }
    case RegTypeBinary: {
        int32_t out = 0;
        int32_t first = -1;
        for (int32_t i = 0; i < size && data[i]; i++) {
            int32_t digit = HexDigit(data[i]);
            if (digit < 0)
                continue;
            if (first < 0) {
                first = digit;
            } else {
                // out never passes i, so the text still ahead is intact.
                data[out++] = (char)(first * 16 + digit);
                first = -1;
            }
        }
        return out;
    }
    case RegTypeMultiSz: {
        int32_t n = 0;
        while (n < size && data[n]) {
            int32_t len = (int32_t)strnlen(data + n, (size_t)(size - n));
            n += len + 1;
        }
        // The empty string that ends the list.
        return n < size ? n + 1 : size;
    }
    default: {
        int32_t len = (int32_t)strnlen(data, (size_t)size);
        return len < size ? len + 1 : size;
    }
    }
}
