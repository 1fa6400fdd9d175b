// The repair driver: checks every logged file, writes every logged registry
// value again, registers self-registering files again, and has the
// installer re-extract what is damaged. Returns 1 when the user cancelled
// the question for an installer's path, else 0.
#pragma once
#include <cstdint>

int32_t RunRepair();
