// Registry value data in the text form the install log keeps it, turned into
// the bytes a value is written with.
#pragma once
#include <cstdint>

enum {
    RegTypeSz = 0,
    RegTypeExpandSz = 1,
    RegTypeMultiSz = 2,
    RegTypeDword = 3,
    RegTypeBinary = 4
};

// Converts data in place for the dword and binary forms and returns the number
// of bytes to write. The buffer holds size bytes; for the multi-string form
// the strings must already stand as a list ended by an empty string within it.
int32_t RegistryDataBytes(int32_t typeIndex, char* data, int32_t size);
