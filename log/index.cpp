// The search tree threaded through the records of the indexed lists.
//
// A log lists files folder by folder, so keys arrive nearly sorted; a plain
// leaf-inserted tree would then grow into a chain and every insertion would
// walk it. The tree is kept as a treap instead: each record's priority is a
// hash of its address, and a new leaf is rotated up while its priority beats
// its parent's. Depth stays logarithmic in expectation whatever the order of
// the keys, and records need no field beyond their two links.
#include "log/items.h"

#include <cstring>

#include "log/pool.h"

// Deeper paths than this do not occur in a treap of any size a list can
// reach; if one did, the new record simply stays a leaf.
enum { MaxIndexDepth = 256 };

static uint32_t RecordPriority(const void* record)
{
    uint64_t x = (uint64_t)(uintptr_t)record;
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return (uint32_t)x;
}

static const char* KeyAt(const void* record, int32_t offset)
{
    return (const char*)record + offset;
}

static int32_t CompareRecord(const void* record, const char* first, const char* second,
                             const char* third, const IndexLayout* layout)
{
    int32_t r = CompareFromEnd(KeyAt(record, layout->First), first);
    if (r == 0 && second && layout->Second >= 0)
        r = CompareNoCase(KeyAt(record, layout->Second), second);
    if (r == 0 && third && layout->Third >= 0)
        r = CompareNoCase(KeyAt(record, layout->Third), third);
    return r;
}

static void* NewIndexedRecord(int32_t recordSize)
{
    if (recordSize < (int32_t)sizeof(IndexLinks))
        recordSize = (int32_t)sizeof(IndexLinks);
    IndexLinks* links = (IndexLinks*)PoolAlloc(recordSize);
    links->Greater = nullptr;
    links->Lesser = nullptr;
    return links;
}

void* IndexFindOrInsert(void** slot, void** root, int32_t recordSize, int32_t count,
                        const char* first, const char* second, const char* third,
                        const IndexLayout* layout)
{
    void* found = nullptr;
    void** path[MaxIndexDepth];
    int32_t depth = 0;
    int32_t pathComplete = 1;
    void** link = root;

    if (count <= 0)
        *root = nullptr;
    while (*link) {
        IndexLinks* node = (IndexLinks*)*link;
        int32_t r = CompareRecord(node, first, second, third, layout);
        if (r == 0) {
            found = node;
            break;
        }
        if (depth < MaxIndexDepth)
            path[depth++] = link;
        else
            pathComplete = 0;
        link = r < 0 ? &node->Greater : &node->Lesser;
    }

    if (!found && slot) {
        IndexLinks* added = (IndexLinks*)NewIndexedRecord(recordSize);
        *slot = added;
        *link = added;
        uint32_t priority = RecordPriority(added);
        while (pathComplete && depth > 0) {
            void** parentLink = path[depth - 1];
            IndexLinks* parent = (IndexLinks*)*parentLink;
            if (priority <= RecordPriority(parent))
                break;
            if (parent->Greater == added) {
                parent->Greater = added->Lesser;
                added->Lesser = parent;
            } else {
                parent->Lesser = added->Greater;
                added->Greater = parent;
            }
            *parentLink = added;
            depth--;
        }
    }
    return found;
}
