// CRC-32 of long blocks by carry-less multiplication, where the processor has it.
#pragma once
#include <cstddef>
#include <cstdint>

// True when Crc32Fold may be called (checked once).
bool Crc32FoldAvailable();

// Adds length bytes to the running register value (not inverted) and returns
// the new register. length must be at least 64 and a multiple of 16.
uint32_t Crc32Fold(uint32_t value, const unsigned char* p, size_t length);
