#include "engine/counters.h"

#include "log/text_step.h"

static int32_t ParseDecimal(const uint8_t* data, uint32_t size)
{
    uint32_t i = 0;
    int64_t value = 0;
    bool negative = false;
    while (i < size && (data[i] == ' ' || data[i] == '\t'))
        i++;
    if (i < size && (data[i] == '-' || data[i] == '+')) {
        negative = data[i] == '-';
        i++;
    }
    // Clamped rather than wrapped: a huge text is a large count, not a
    // negative one.
    for (; i < size && data[i] >= '0' && data[i] <= '9'; i++) {
        value = value * 10 + (data[i] - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return (int32_t)value;
}

int32_t ParseCounterValue(uint32_t type, const uint8_t* data, uint32_t size, int32_t* count)
{
    if (type == CounterTypeText) {
        *count = ParseDecimal(data, size);
        return 1;
    }
    if ((type == CounterTypeDword || type == CounterTypeBinary) && size == 4) {
        uint32_t v = (uint32_t)data[0] | ((uint32_t)data[1] << 8) | ((uint32_t)data[2] << 16) |
                     ((uint32_t)data[3] << 24);
        *count = (int32_t)v;
        return 1;
    }
    return 0;
}

int32_t LoweredCount(int32_t count, int32_t copies, int32_t rollback)
{
    int64_t n = rollback ? (int64_t)count - 1 : (int64_t)count - copies;
    if (n < 0)
        n = 0;
    if (n > 2147483647LL)
        n = 2147483647LL;
    return (int32_t)n;
}

uint32_t CounterNameSignature(const char* name)
{
    uint32_t hash = 2166136261u;
    const char* at = name;
    while (*at) {
        unsigned char c = (unsigned char)*at;
        // A character beyond ASCII is left out whole (both bytes of a
        // double-byte one).
        const char* next = NextChar(at);
        at = next > at ? next : at + 1;
        if (c >= 0x80)
            continue;
        if (c >= 'a' && c <= 'z')
            c = (unsigned char)(c - ('a' - 'A'));
        if (c == '?' || c == 'I' || c == 'S')
            continue;
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}
