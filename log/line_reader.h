// The buffered line reader shared by the log reader and the SYSTEM.INI copy.
#pragma once
#include <cstdint>

enum { LineBlockSize = 16384 };

// State of ReadLine, shared by every caller. A caller that reads another file
// sets Position and Fill to 0 first.
struct LineBufferState {
    char Data[LineBlockSize];
    int32_t Position;
    int32_t Fill;
    int32_t BytesBefore;
    // Bytes written to the output by the last call (NULs in a line count).
    int32_t LastLength;
    // File offset of the first byte of the last line delivered.
    int32_t LineOffset;
    // Set when a read failed (a negative count): the lines that would have
    // followed are unknown, which is not the end of the file.
    int32_t ReadFailed;
    // How a block of the file is read: 0 at the end, negative on a failure.
    int32_t (*Read)(int32_t file, char* buffer, int32_t size);
};
extern LineBufferState LineBuffer;

// Fills out with the next line (at most n - 1 bytes, NUL-terminated): a
// carriage return ends a line, line feeds are dropped, the rest of an
// over-long line is dropped. Returns 1, or 0 at the end of the file (a last
// line without a carriage return is still delivered with 0) and after a
// failed read (then ReadFailed is set). With keepEmpty 0 empty lines are
// skipped.
int32_t ReadLine(char* out, int32_t n, int32_t file, int32_t keepEmpty);

// Position 0, fill 0, bytes before 0, no failure: ready for another file.
void ResetLineBuffer();
