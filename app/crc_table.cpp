#include "app/crc_table.h"

#include <cstdlib>

uint32_t* CrcTable;

void FillCrcTable(uint32_t* table)
{
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t value = n;
        for (int step = 0; step < 8; step++)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[n] = value;
    }
}

int32_t MakeCrcTable()
{
    if (!CrcTable)
        CrcTable = (uint32_t*)std::malloc(256 * sizeof(uint32_t));
    if (!CrcTable)
        return 1;
    FillCrcTable(CrcTable);
    return 0;
}

void FreeCrcTable()
{
    std::free(CrcTable);
    CrcTable = nullptr;
}
