// Stepping through ANSI text one character at a time. In a double-byte code
// page the second byte of a character may equal '\\', '|' or ' ', so every
// search for a single character must step whole characters. The Win32 build
// answers with CharNextA; the native tests install a rule from a table.
#pragma once

typedef const char* (*CharNextFunc)(const char* at);

// The rule in use; null means single-byte text (one byte per character).
extern CharNextFunc CharNextRule;

// The position of the character after the one at 'at' (never past the NUL).
const char* NextChar(const char* at);
inline char* NextChar(char* at)
{
    return (char*)NextChar((const char*)at);
}
