// Shortening a progress text's path part until a measuring function says it
// fits: leading folders fold into "...", then the text loses characters from
// its end.
#pragma once
#include <cstdint>

// Returns the width of text (len bytes) in the caller's units.
typedef int32_t (*MeasureTextFn)(const char* text, int32_t len, void* context);
// Returns the position after the character at p (double-byte aware).
typedef const char* (*NextCharFn)(const char* p);

// Shortens the path part of text (after a first line and its CR/LF, or the
// whole text) in place until it measures less than limit. text holds size bytes.
void FitPathText(char* text, int32_t size, int32_t limit, MeasureTextFn measure, void* context,
                 NextCharFn next);
