// Running CRC-32 (IEEE 802.3: reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF), on the shared CrcTable.
#pragma once
#include <cstdint>

// A null block starts a new CRC and returns 0; any other block is added and
// the CRC of every byte since the start is returned.
uint32_t Crc32Update(const void* block, int32_t length);
