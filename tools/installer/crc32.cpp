#include "crc32.h"

static uint32_t CrcTableData[256];
static int CrcTableReady;

static void MakeCrcTable()
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        CrcTableData[n] = c;
    }
    CrcTableReady = 1;
}

uint32_t Crc32Buffer(uint32_t running, const void* data, size_t length)
{
    if (!CrcTableReady)
        MakeCrcTable();
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < length; i++)
        running = (running >> 8) ^ CrcTableData[(running ^ p[i]) & 0xFF];
    return running;
}
