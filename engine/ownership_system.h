// What the ownership rules (engine/ownership.h) need from the running
// system: real locations, the folders the system and its users keep, and
// the product's folders as the log shows them.
#pragma once
#include <cstdint>

#include "engine/ownership.h"

// The canonical real location of path into out (MAX_PATH bytes): full path,
// every link on the way resolved where the system can name the place it
// leads to, long names, one backslash between names, no trailing one but a
// drive root's. A path below a link that cannot be followed here, a
// relative path, or a text that is no path, gives false. A share is kept as
// spelt.
bool RealLocation(const char* path, char* out);

// The product's folders for this run: the log's own folder and every folder
// of MadeFolderList, each unless it is or holds a kept folder. Called once
// the log has been read, while its folder still exists.
void LearnProductFolders(const char* logPath);

// Why the folder at path may not be removed (OwnReason), or OwnedByLog.
// whole: everything in it would go (see FolderRemovalReason).
int32_t FolderOwnership(const char* path, bool whole);

// path (a file or folder) lies in one of the product's folders.
bool InProductFolders(const char* path);

// Non-zero when folder is, or holds, a folder the system or a user keeps
// (or its location cannot be told): the reader's question for "Made Dir: ".
int32_t KeptFolderWithin(const char* folder);

// The system's and the users' folders are read once; a test that changes
// them drops what was read.
void ForgetKeptFolders();
