// Helpers shared by the Windows tests: scratch folders, files and keys.
#pragma once
#include <windows.h>

#include <string>

// A fresh, empty folder C:\ktrtest\<name> (removed first if it exists).
std::string ScratchFolder(const char* name);
// Writes text to path (creating it); returns false on failure.
bool WriteFileText(const std::string& path, const std::string& text);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadFileText(const std::string& path);
bool PathExists(const std::string& path);
// Removes a folder with everything in it (test clean-up only).
void RemoveTree(const std::string& path);
// The values of PendingFileRenameOperations, in order (empty when none).
std::string PendingRenames();
// Clears PendingFileRenameOperations so a test sees only its own entries.
void ClearPendingRenames();
// Short (8.3) form of an existing path.
std::string ShortPath(const std::string& path);
