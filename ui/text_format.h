// Filling a catalogue message with one text. Messages may come from the
// settings file, so they are never used as a printf format: only the first
// "%s" is replaced, "%%" becomes "%", everything else is copied as it stands.
#pragma once
#include <cstdint>

// Writes into out (size bytes, always terminated; a longer result is cut at
// size - 1). Returns the length written.
int32_t FormatWithText(char* out, int32_t size, const char* message, const char* text);
// The same with count texts for the successive "%s" (an empty text past the
// last one).
int32_t FormatWithTexts(char* out, int32_t size, const char* message, const char* const* texts,
                        int32_t count);
