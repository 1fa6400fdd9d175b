#include "app/message_text.h"
#include "log/text_step.h"

#include <cstring>

const char MissingMarker[2] = {0x7F, 0};

int32_t IsMissingSettingsText(const char* text, int32_t length)
{
    return length == 1 && text[0] == 0x7F;
}

void ExpandSettingsText(char* text, int32_t size)
{
    if (size <= 0)
        return;
    text[size - 1] = 0;
    // Whole characters only: in a double-byte code page '|' and '~' also
    // occur as second bytes, and those belong to their characters.
    for (char* at = text; *at; at = NextChar(at)) {
        if (*at == '~') {
            *at = ' ';
        } else if (*at == '|') {
            size_t offset = (size_t)(at - text);
            if (offset + 2 > (size_t)(size - 1)) {
                *at = 0; // CR LF would not fit: the text ends here
                break;
            }
            size_t tail = std::strlen(at + 1);
            size_t room = (size_t)(size - 1) - (offset + 2);
            if (tail > room)
                tail = room;
            std::memmove(at + 2, at + 1, tail);
            at[2 + tail] = 0;
            at[0] = '\r';
            at[1] = '\n';
            at++; // past CR; the loop steps past LF
        }
    }
}
