// What the file rules (engine/ownership_files.h) need from the running
// system, asked before a file is removed or replaced.
#pragma once
#include <cstdint>

// Why the file at path may not be removed or replaced (an OwnReason: a
// registry hive, a file of the system's, a place that cannot be told), or
// OwnedByLog. Costs no call to the system for a file outside the system
// folders whose folder was the last one asked; the system's file
// protection and the loaded modules are asked for files of its folders only.
int32_t SystemFileReason(const char* path);

// The system's folders are read once and the last folder's real location
// is kept; a test that changes them drops what was read.
void ForgetSystemFileFacts();
