#include "repair/repair_data.h"

#include <cstdio>
#include <cstring>

#include "log/path_helpers.h"

// A decimal number as atoi reads it (spaces, a sign, digits), held within
// 64 bits: a field of the log cannot make it overflow.
static int64_t ReadDecimal(const char* text)
{
    const char* p = text;
    int64_t value = 0;
    bool negative = false;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        p++;
    }
    while (*p >= '0' && *p <= '9') {
        if (value < 100000000000LL)
            value = value * 10 + (*p - '0');
        p++;
    }
    return negative ? -value : value;
}

// The number at offset of text; a place past the end reads as 0.
static int32_t NumberAt(const char* text, size_t length, size_t offset)
{
    return offset < length ? (int32_t)ReadDecimal(text + offset) : 0;
}

// The position after the n-th '|' of text, or null when there are fewer.
static const char* AfterBar(const char* text, int32_t n)
{
    const char* at = text;
    for (int32_t i = 0; i < n; i++) {
        const char* bar = FindCharMb(at, '|');
        if (!bar)
            return nullptr;
        at = bar + 1;
    }
    return at;
}

int32_t ParseRepairData(const char* text, RepairFields* out)
{
    std::memset(out, 0, sizeof *out);
    if (std::strlen(text) < RepairDataMinimum)
        return 1;
    const char* stamp = text;
    while (*stamp == ' ')
        stamp++;
    size_t length = std::strlen(stamp);
    // Unsigned arithmetic: any number may stand in the fields; the result
    // keeps the low 16 bits as the DOS form does.
    uint32_t month = (uint32_t)NumberAt(stamp, length, 0);
    uint32_t day = (uint32_t)NumberAt(stamp, length, 3);
    uint32_t year = (uint32_t)NumberAt(stamp, length, 6);
    uint32_t hour = (uint32_t)NumberAt(stamp, length, 13);
    uint32_t minute = (uint32_t)NumberAt(stamp, length, 16);
    int32_t second = NumberAt(stamp, length, 19);
    out->Date = (uint16_t)(day | month << 5 | (year - 1980u) << 9);
    out->Time = (uint16_t)(hour << 11 | (minute & 0x3Fu) << 5 | ((uint32_t)(second / 2) & 0x1Fu));
    const char* size = AfterBar(text, 3);
    if (size)
        out->Size = ReadDecimal(size);
    const char* crc = AfterBar(text, 4);
    if (crc) {
        while (*crc == ' ')
            crc++;
        // Lower-case hexadecimal as the installer writes it; the arithmetic
        // is the recorded one for any letter.
        uint32_t value = 0;
        for (; (*crc >= '0' && *crc <= '9') || (*crc >= 'a' && *crc <= 'z') ||
               (*crc >= 'A' && *crc <= 'Z');
             crc++)
            value = value * 16 + (uint32_t)(*crc <= '9' ? *crc - '0' : *crc - 0x57);
        out->Crc = value;
    }
    return 0;
}

const char* RepairDataTail(const char* text)
{
    const char* tail = AfterBar(text, 3);
    return tail ? tail : text + std::strlen(text);
}

int32_t FormatRestoreLine(char* out, int32_t size, const char* path, uint16_t date, uint16_t time,
                          const char* tail)
{
    int n = std::snprintf(out, (size_t)size, "%s|%u|%u|%s\r\n", path, (unsigned)date,
                          (unsigned)time, tail);
    // A cut line would name another file or other values.
    if (n < 0 || n >= size) {
        if (size > 0)
            out[0] = 0;
        return -1;
    }
    return n;
}

// Appends the characters of text from 'from' up to 'end' (or its NUL).
static void AppendPart(char* out, int32_t size, const char* from, const char* end)
{
    int32_t used = (int32_t)std::strlen(out);
    for (const char* p = from; *p && (!end || p < end) && used < size - 1; p++)
        out[used++] = *p;
    out[used] = 0;
}

void RecordedStampText(char* out, int32_t size, const char* repairData)
{
    if (size <= 0)
        return;
    out[0] = 0;
    const char* first = FindCharMb(repairData, '|');
    if (!first) {
        AppendPart(out, size, repairData, nullptr);
        return;
    }
    AppendPart(out, size, repairData, first);
    const char* second = FindCharMb(first + 1, '|');
    AppendPart(out, size, first + 1, second);
}

int32_t DosYear(uint16_t date)
{
    int32_t year = ((date >> 9) + 80) % 100;
    return year < 60 ? year + 2000 : year + 1900;
}

void CurrentStampText(char* out, int32_t size, uint16_t date, uint16_t time)
{
    std::snprintf(out, (size_t)size, " %02d-%02d-%04d  %02d:%02d:%02d ", (date >> 5) & 15,
                  date & 31, DosYear(date), time >> 11, (time >> 5) & 63, (time & 31) * 2);
}

void InstallerAttributesText(char* out, int32_t size, uint16_t date, uint16_t time, int64_t length)
{
    std::snprintf(out, (size_t)size, "%02d-%02d-%04d | %02d:%02d:%02d | %lld", (date >> 5) & 15,
                  date & 31, DosYear(date), time >> 11, (time >> 5) & 63, (time & 31) * 2,
                  (long long)length);
}

void SplitSourceText(const char* source, char* path, int32_t pathSize, char* attributes,
                     int32_t attributesSize)
{
    const char* bar = FindCharMb(source, '|');
    path[0] = 0;
    AppendPart(path, pathSize, source, bar);
    size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == ' ')
        path[length - 1] = 0;
    attributes[0] = 0;
    if (bar) {
        const char* a = bar + 1;
        while (*a == ' ')
            a++;
        AppendPart(attributes, attributesSize, a, nullptr);
    }
}

void PromptAttributesText(char* out, int32_t size, const char* attributes)
{
    CopyText(out, attributes, size);
    for (char* p = FindCharMb(out, '|'); p; p = FindCharMb(p + 1, '|'))
        *p = '/';
}
