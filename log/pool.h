// The memory pool: every record, list array and copied text of the run is
// carved from large blocks and released together at the end of the run.
#pragma once
#include <cstdint>

enum { PoolBlockSize = 64512 };

// Returns size bytes (not cleared). Never fails short of heap exhaustion.
void* PoolAlloc(int32_t size);
// Releases every block; no pool pointer may be used afterwards.
void PoolFreeAll();
// Number of blocks taken from the heap so far (for tests and benchmarks).
int32_t PoolBlockCount();
