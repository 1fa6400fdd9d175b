#include "log/line_reader.h"

LineBufferState LineBuffer;

void ResetLineBuffer()
{
    LineBuffer.Position = 0;
    LineBuffer.Fill = 0;
    LineBuffer.BytesBefore = 0;
    LineBuffer.LastLength = 0;
    LineBuffer.LineOffset = 0;
    LineBuffer.ReadFailed = 0;
}

int32_t ReadLine(char* out, int32_t n, int32_t file, int32_t keepEmpty)
{
    int32_t room = n - 1;
    int32_t written = 0;
    int32_t result = 1;
    int32_t started = 0;

    if (!out || n <= 0)
        return 0;
    for (;;) {
        if (LineBuffer.Position >= LineBuffer.Fill) {
            LineBuffer.BytesBefore += LineBuffer.Position;
            LineBuffer.Position = 0;
            int32_t got =
                LineBuffer.Read ? LineBuffer.Read(file, LineBuffer.Data, LineBlockSize) : 0;
            if (got > LineBlockSize)
                got = LineBlockSize;
            LineBuffer.Fill = got > 0 ? got : 0;
            if (got < 0)
                LineBuffer.ReadFailed = 1;
            if (got <= 0) {
                result = 0;
                break;
            }
        }
        char c = LineBuffer.Data[LineBuffer.Position];
        if (c == '\r') {
            LineBuffer.Position++;
            if (written == 0 && !keepEmpty && !started)
                continue;
            break;
        }
        if (c != '\n') {
            if (!started) {
                started = 1;
                LineBuffer.LineOffset = LineBuffer.BytesBefore + LineBuffer.Position;
            }
            if (room > 0) {
                out[written++] = c;
                room--;
            }
        }
        LineBuffer.Position++;
    }
    out[written] = 0;
    LineBuffer.LastLength = written;
    return result;
}
