// Usage counters of shared files and of the database engine, as the registry
// keeps them, and the arithmetic of lowering them.
#pragma once
#include <cstdint>

// Registry type numbers of the three forms a counter may be stored in.
enum { CounterTypeText = 1, CounterTypeBinary = 3, CounterTypeDword = 4 };

// Reads a counter from raw value data: decimal text (signed; leading blanks,
// an optional sign, digits up to the first other character, none giving 0),
// a 4-byte REG_DWORD, or a REG_BINARY of exactly 4 bytes (little-endian).
// 1 with *count set when the form is accepted, 0 for any other type or size.
int32_t ParseCounterValue(uint32_t type, const uint8_t* data, uint32_t size, int32_t* count);

// The counter after this uninstall: minus 1 in a roll-back (which undoes one
// installation), else minus the copies the log counted; never below 0.
int32_t LoweredCount(int32_t count, int32_t copies, int32_t rollback);

// What every value name the registry takes for the same as name (it
// compares them without regard to case, over their Unicode forms) has in
// common: a hash of the name's ASCII characters, letters folded, leaving
// out every other character (whole, as the code page steps them), '?' (an
// unmappable character as the system hands it back), and the letters I and
// S (which dotless i and long s turn into). Two names with different
// signatures are surely different; equal ones may still differ.
uint32_t CounterNameSignature(const char* name);
