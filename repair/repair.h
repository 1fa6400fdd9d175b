// The repair driver: checks every logged file, writes every logged registry
// value again, registers self-registering files again, and has the
// installer re-extract what is damaged. Returns 1 when the user cancelled
// the question for an installer's path (a silent run cannot ask: 1 when an
// installer is not where it was), else 0.
#pragma once
#include <cstdint>

int32_t RunRepair(int32_t silent);
