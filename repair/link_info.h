// The "Link Info: " text of a shell link: seven fields separated by '|'.
#pragma once
#include <cstdint>

enum { LinkTextSize = 260, LinkArgumentsSize = 1024 };

struct LinkFields {
    char Target[LinkTextSize];
    char WorkingDirectory[LinkTextSize];
    char IconFile[LinkTextSize];
    int32_t IconIndex;
    int32_t ShowCommand; // already cut to the low three bits
    int32_t Hotkey;      // 0 when its low byte (the key) is 0: not to be set
    char Arguments[LinkArgumentsSize];
};

// Copies the next field of text into out (size bytes): leading spaces are
// skipped, the characters up to the next '|' (or the end) are taken, one
// trailing space is dropped. Returns the position after the field's '|', or
// the end of text.
const char* ParseLinkField(char* out, int32_t size, const char* text);

// Takes all seven fields; missing ones are empty, numbers 0.
void ParseLinkInfo(const char* text, LinkFields* out);
