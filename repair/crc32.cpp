#include "repair/crc32.h"

#include <cstring>

#include "app/crc_table.h"
#include "repair/crc32_fold.h"

static uint32_t RunningCrc = 0xFFFFFFFFu;

// Seven more tables derived from CrcTable let the loop take eight bytes a
// step (the same results as one byte a step, several times faster). Long
// blocks go through Crc32Fold where the processor can multiply without
// carries, so that checking a file costs little more than reading it.
static uint32_t SliceTables[7][256];
static const uint32_t* SlicesMadeFrom;

static void MakeSlices()
{
    for (int n = 0; n < 256; n++) {
        uint32_t value = CrcTable[n];
        for (int k = 0; k < 7; k++) {
            value = (value >> 8) ^ CrcTable[value & 0xFF];
            SliceTables[k][n] = value;
        }
    }
    SlicesMadeFrom = CrcTable;
}

static uint32_t Load32(const unsigned char* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t Crc32Update(const void* block, int32_t length)
{
    if (!block) {
        RunningCrc = 0xFFFFFFFFu;
        return 0;
    }
    if (!CrcTable && MakeCrcTable() != 0)
        return 0;
    if (SlicesMadeFrom != CrcTable)
        MakeSlices();
    const unsigned char* p = (const unsigned char*)block;
    uint32_t value = RunningCrc;
    int32_t left = length > 0 ? length : 0;
    if (left >= 64 && Crc32FoldAvailable()) {
        int32_t whole = left & ~15;
        value = Crc32Fold(value, p, (size_t)whole);
        p += whole;
        left -= whole;
    }
    while (left >= 8) {
        uint32_t low = value ^ Load32(p);
        uint32_t high = Load32(p + 4);
        value = SliceTables[6][low & 0xFF] ^ SliceTables[5][(low >> 8) & 0xFF] ^
                SliceTables[4][(low >> 16) & 0xFF] ^ SliceTables[3][low >> 24] ^
                SliceTables[2][high & 0xFF] ^ SliceTables[1][(high >> 8) & 0xFF] ^
                SliceTables[0][(high >> 16) & 0xFF] ^ CrcTable[high >> 24];
        p += 8;
        left -= 8;
    }
    while (left-- > 0)
        value = (value >> 8) ^ CrcTable[(value ^ *p++) & 0xFF];
    RunningCrc = value;
    return ~value;
}
