// Stepping through ANSI text one character at a time. In a double-byte code
// page the second byte of a character may equal '\\', '|' or ' ', or be a
// letter, so every search for a single character must step whole characters
// and every comparison without regard to case must leave second bytes alone.
// The Win32 build answers with CharNextA; the native tests install a rule
// from a table.
#pragma once
#include <cstdint>

typedef const char* (*CharNextFunc)(const char* at);

// The rule in use; null means single-byte text (one byte per character).
extern CharNextFunc CharNextRule;

// The position of the character after the one at 'at' (never past the NUL).
const char* NextChar(const char* at);
inline char* NextChar(char* at)
{
    return (char*)NextChar((const char*)at);
}

// An ASCII letter a..z as its upper case, every other byte as it is. Only
// for bytes known to start a character (FoldedByte below knows that).
inline char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - ('a' - 'A')) : c;
}

// Walks one text forward and gives the value that a comparison without
// regard to case uses for each byte: a single-byte letter a..z as its upper
// case, every other byte (both bytes of a double-byte character included)
// as it is, as a signed 8-bit value. Positions must be asked in increasing
// order; a byte is only read up to the position asked.
struct FoldCursor {
    const char* Next; // start of the first character not yet stepped over
};
inline void StartFold(FoldCursor* cursor, const char* text)
{
    cursor->Next = text;
}
int32_t FoldedByte(FoldCursor* cursor, const char* at);

// Compares two texts without regard to case, a double-byte character as one
// unit; negative, 0 or positive as a is ordered before, equal to or after b.
int32_t CompareNoCase(const char* a, const char* b);
// The same over at most the first n bytes of each text.
int32_t CompareNoCaseN(const char* a, const char* b, int32_t n);
