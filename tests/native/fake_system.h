// A file system and a double-byte text rule answered from tables, for the
// path and command-line tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FakeEntry {
    std::string longPath;  // full long path, e.g. "C:\\Program Files\\App"
    std::string shortName; // short name of the last component, "" when none
    int32_t attributes;    // 0x10 for a folder, 0x20 for a file
};

// Installs the table as the path system, with the given current directory.
void UseFakeSystem(const std::vector<FakeEntry>& entries, const std::string& currentDirectory);
// Installs the code page 936 rule: bytes 0x81..0xFE lead a two-byte character.
void UseDoubleByteRule();
// Back to single-byte text and no path system.
void ResetFakeSystem();
