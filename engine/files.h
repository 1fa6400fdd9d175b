// File and directory removal: single files with their help index files,
// wildcard entries, restored backups and whole directory trees.
#pragma once
#include <cstdint>

int32_t ClearAttributes(const char* path);
void DeleteFileAndHelpIndex(const char* path);
// 1, or 0 when a wildcard removal was refused.
// Puts backup in place of target, now or at the next restart.
void RestoreFileOrDefer(const char* backup, const char* target);
int32_t RemoveOrRestoreFile(const char* path, const char* backup, int32_t restore);
int32_t RemoveEmptyDirectory(const char* path);
// RemoveDirectoryA for a folder the shell may be reading just then: while the
// shell hears of a file or folder it reads the folder that holds it, and the
// system refuses to remove a folder being read. Such a folder is tried again
// when the shell has been told everything so far, for up to three seconds
// while the refusal is a sharing violation.
int RemoveDirectoryAfterShell(const char* path);
void RemoveDirectoryTree(const char* path, int32_t whole);

// A folder that no log entry may remove: drive and share roots, the Windows
// folder and every system folder, every Program Files and Common Files
// folder, and the user's own shell folders, however the path spells them.
// forWildcardFiles: the check for deleting the files matched by a wildcard,
// which leaves the Program Files folders to the entry as the log says it.
bool IsProtectedDirectory(const char* dir, bool forWildcardFiles);
// The system's and the shell's folders are read once; a test that changes
// them drops what was read.
void ForgetKeptFolders();

// A link to another place (a symbolic link or a junction): removing it takes
// the link and never anything behind it. A folder that is a reparse point of
// any other kind is left alone, and no walk ever enters one.
bool IsReparsePoint(const char* path);
