// Standard CRC-32 (reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF) for the repair data the installer writes.
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t Crc32Buffer(uint32_t running, const void* data, size_t length);
inline uint32_t Crc32Start()
{
    return 0xFFFFFFFFu;
}
inline uint32_t Crc32Finish(uint32_t running)
{
    return ~running;
}
