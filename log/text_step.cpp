#include "log/text_step.h"

CharNextFunc CharNextRule;

const char* NextChar(const char* at)
{
    if (*at == 0)
        return at;
    if (CharNextRule)
        return CharNextRule(at);
    return at + 1;
}
