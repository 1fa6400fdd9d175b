// Commenting out a virtual device's "device=" lines in the [386Enh] section
// of SYSTEM.INI. Works on the whole file text so that every byte the edit
// does not touch is carried over as it was: line ends of any kind, lines of
// any length, a last line without a line end, bytes of any value.
#pragma once
#include <cstdint>

// Copies text (length bytes) into out, which must hold at least
// DeviceEditCapacity(length) bytes, putting ';' before every line of the
// [386Enh] section whose text, after leading blanks, is "device=" followed by
// relName or by fullPath (case-insensitive, the whole rest of the line).
// Returns the number of bytes written; *changed is the number of lines
// commented out.
uint32_t CommentOutDeviceLines(const char* text, uint32_t length, const char* relName,
                               const char* fullPath, char* out, uint32_t* changed);

// Room the edit may need: every commented line gains one byte, and a device
// line is at least 8 bytes long.
uint32_t DeviceEditCapacity(uint32_t length);
