// The settings-file side of the message catalogue: the "missing" marker and
// the escapes that let a one-line profile value hold line breaks and
// leading or trailing spaces.
#pragma once
#include <cstdint>

// The default handed to the profile read: a value equal to it means the key is absent.
extern const char MissingMarker[2];

// 1 when a profile read of length characters returned only the marker.
int32_t IsMissingSettingsText(const char* text, int32_t length);

// In place, in a buffer of size bytes: every '|' becomes CR LF, then every
// '~' a space. What would not fit is cut off; the text stays terminated.
void ExpandSettingsText(char* text, int32_t size);
