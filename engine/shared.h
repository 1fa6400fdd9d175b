// Lowering the usage counters of shared files and of the database engine.
#pragma once
#include <cstdint>

enum { SharedNoCounter = 0, SharedKeep = 1, SharedRemove = 2 };

// Lowers the counter of path by copies (by 1 in a roll-back). 0: the file has
// no usable counter; 1: keep the file; 2: the counter reached zero and the
// user agreed to remove the file. At zero the counter value is deleted,
// whatever the answer.
int32_t ReleaseSharedFile(const char* path, int32_t copies);

// Lowers the database engine's "UseCount"; at its last use removes the
// engine's keys. 1 when the user chose to abort the uninstall, else 0.
int32_t ReleaseBde();
