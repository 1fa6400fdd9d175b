// JSON output of the item lists and per-log values.
#pragma once
#include <cstdio>

void PrintLogAsJson(FILE* out, int result, const char* applicationFolder);
