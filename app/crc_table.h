// The CRC-32 table (reflected polynomial 0xEDB88320) shared by the file
// checks of the repair.
#pragma once
#include <cstdint>

// Made at start-up, freed in the closing steps; null outside.
extern uint32_t* CrcTable;

// Fills table (256 entries): entry n is n put through eight shift-and-XOR steps.
void FillCrcTable(uint32_t* table);
// Allocates and fills CrcTable; returns 0, or 1 when there is no memory.
int32_t MakeCrcTable();
void FreeCrcTable();
