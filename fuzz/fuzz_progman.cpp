// Program Manager replies: a group list and group descriptions as a server
// might send them, searched for an icon entry taken from the same input.
#include <cstdint>
#include <cstring>

#include "engine/progman.h"
#include "log/items.h"
#include "log/pool.h"

static int32_t SentCount;

static void Count(const char* command)
{
    // Every command must be a terminated text of bounded length.
    SentCount += (int32_t)std::strlen(command) < ProgmanCommandSize ? 1 : -1000000;
}

static void Field(char* out, const uint8_t** p, const uint8_t* end)
{
    int32_t n = 0;
    while (*p < end && **p != '\t' && n < ProgmanNameSize - 1)
        out[n++] = (char)*(*p)++;
    out[n] = 0;
    if (*p < end)
        (*p)++;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Input: group, name and command of the icon entry separated by tabs,
    // then the reply texts separated by NUL bytes; the first is the list.
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    IconItem item;
    std::memset(&item, 0, sizeof(item));
    Field(item.Group, &p, end);
    Field(item.Name, &p, end);
    Field(item.Command, &p, end);

    ClearGroupTexts();
    int32_t first = 1;
    while (p < end) {
        const uint8_t* stop = (const uint8_t*)std::memchr(p, 0, (size_t)(end - p));
        uint32_t got = (uint32_t)((stop ? stop + 1 : end) - p);
        // Claim a longer reply now and then, as a cut DDE reply would.
        uint32_t total = got + (got % 3 == 0 ? 100 : 0);
        if (got > ProgmanReplySize)
            got = ProgmanReplySize;
        if (first) {
            const char* cursor = CopyGroupList((const char*)p, got, total);
            char name[ProgmanNameSize];
            while (NextGroupName(&cursor, name) >= 0) {
            }
            first = 0;
        } else {
            AddGroupText(CopyGroupDescription((const char*)p, got, total));
        }
        p = stop ? stop + 1 : end;
    }
    SentCount = 0;
    DeleteMatchingItems(&item, Count);
    DeleteMatchingItems(&item, Count);
    for (int32_t k = 0; k < GroupTextsSize && GroupTexts[k]; k++)
        MarkGroupIfEmpty(GroupTexts[k]);
    if (SentCount < 0)
        __builtin_trap();
    ClearGroupTexts();
    PoolFreeAll();
    return 0;
}
