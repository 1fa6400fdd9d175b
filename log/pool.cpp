#include "log/pool.h"

#include <cstdlib>

// Each block starts with the link to the next block; requests follow it in
// order. A request too large for a standard block gets a block of its own.
static char* FirstBlock;
static char* CurrentBlock;
static int32_t UsedInBlock;
static int32_t BlockCount;

static const int32_t LinkSize = (int32_t)sizeof(char*);

static char* NewBlock(int32_t size)
{
    int32_t bytes = size + LinkSize > PoolBlockSize ? size + LinkSize : PoolBlockSize;
    char* block = (char*)std::malloc((size_t)bytes);
    if (!block) {
        // Out of memory leaves nothing sensible to do for an uninstaller
        // half-way through reading its log.
        std::abort();
    }
    *(char**)block = nullptr;
    BlockCount++;
    return block;
}

void* PoolAlloc(int32_t size)
{
    if (size < 0)
        size = 0;
    // Keep every request aligned for the pointers inside the records.
    size = (size + LinkSize - 1) & ~(LinkSize - 1);
    if (!FirstBlock) {
        FirstBlock = CurrentBlock = NewBlock(size);
        UsedInBlock = LinkSize + size;
        return FirstBlock + LinkSize;
    }
    if (PoolBlockSize - UsedInBlock >= size) {
        char* at = CurrentBlock + UsedInBlock;
        UsedInBlock += size;
        return at;
    }
    char* block = NewBlock(size);
    *(char**)CurrentBlock = block;
    CurrentBlock = block;
    UsedInBlock = LinkSize + size;
    return block + LinkSize;
}

void PoolFreeAll()
{
    char* block = FirstBlock;
    while (block) {
        char* next = *(char**)block;
        std::free(block);
        block = next;
    }
    FirstBlock = CurrentBlock = nullptr;
    UsedInBlock = 0;
    BlockCount = 0;
}

int32_t PoolBlockCount()
{
    return BlockCount;
}
