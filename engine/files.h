// File and directory removal: single files with their help index files,
// wildcard entries, restored backups and whole directory trees.
#pragma once
#include <cstdint>

int32_t ClearAttributes(const char* path);
void DeleteFileAndHelpIndex(const char* path);
// 1, or 0 when a wildcard removal was refused.
int32_t RemoveOrRestoreFile(const char* path, const char* backup, int32_t restore);
int32_t RemoveEmptyDirectory(const char* path);
// RemoveDirectoryA for a folder the shell may be reading just then: while the
// shell hears of a file or folder it reads the folder that holds it, and the
// system refuses to remove a folder being read. Such a folder is tried once
// more when the shell has been told everything so far.
int RemoveDirectoryAfterShell(const char* path);
void RemoveDirectoryTree(const char* path, int32_t whole);

// A folder that no log entry may remove: drive and share roots, the Windows,
// System and Program Files folders, and the user's own shell folders.
// forWildcardFiles: the check for deleting the files matched by a wildcard,
// which leaves the Program Files folder to the entry as the log says it.
bool IsProtectedDirectory(const char* dir, bool forWildcardFiles);
