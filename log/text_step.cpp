#include "log/text_step.h"

CharNextFunc CharNextRule;

const char* NextChar(const char* at)
{
    if (*at == 0)
        return at;
    // A byte below 0x80 is a character of its own in every ANSI code page:
    // only the others ask the system's rule (a call into the system for
    // every byte of a path otherwise).
    if ((unsigned char)*at < 0x80 || !CharNextRule)
        return at + 1;
    return CharNextRule(at);
}

// A byte below 0x80 is a character of its own in every ANSI code page: only
// the others need the system's rule.
static const char* StepChar(const char* at)
{
    if ((unsigned char)*at < 0x80)
        return at + 1;
    const char* next = NextChar(at);
    return next > at ? next : at + 1;
}

int32_t FoldedByte(FoldCursor* cursor, const char* at)
{
    while (cursor->Next < at)
        cursor->Next = StepChar(cursor->Next);
    // Only a byte that starts a character can be a single-byte letter.
    char byte = cursor->Next == at ? FoldAscii(*at) : *at;
    return (signed char)byte;
}

int32_t CompareNoCaseN(const char* a, const char* b, int32_t n)
{
    FoldCursor ca;
    FoldCursor cb;
    StartFold(&ca, a);
    StartFold(&cb, b);
    for (int32_t i = 0; i < n; i++) {
        int32_t fa = FoldedByte(&ca, a + i);
        int32_t fb = FoldedByte(&cb, b + i);
        if (fa != fb || fa == 0)
            return fa - fb;
    }
    return 0;
}

int32_t CompareNoCase(const char* a, const char* b)
{
    return CompareNoCaseN(a, b, 0x7FFFFFFF);
}
