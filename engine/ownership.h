// What the log shows to be the product's. A damaged or hand-edited log can
// name anything: the system's keys, services and files, a user's profile,
// another product. Every removal, restore or stop asks here first; an item
// that is not the product's is kept, its journal line says why, and the run
// goes on (it is no failure). The rules here are pure: the Win32 side
// (ownership_win32.cpp) finds the real locations and the system's folders,
// services and files, and hands them in.
#pragma once
#include <cstdint>

#include "engine/files.h"

// Why an item is not the product's (OpResult.error of OpKeptNotOwned).
enum OwnReason {
    OwnedByLog = 0,
    ReasonRegistryRoot,   // the root of a registry hive
    ReasonTopLevelKey,    // a key of one component under a root
    ReasonSharedKey,      // a key the system or other programs share
    ReasonHoldsSharedKey, // an ancestor of such a key
    ReasonSystemClass,    // one of the system's classes or file types
    ReasonSystemValue,    // a value of the system's own configuration
    ReasonForeignService, // its program is none of the log's files
    ReasonSystemIni,      // an INI file the system keeps
    ReasonOutsideProduct, // outside the log's folder and the folders it made
    ReasonKeptFolder,     // a folder the system or a user keeps, or one holding one
    ReasonForeignShare,   // on a network share the log does not lie on
    ReasonUnresolved,     // its real location cannot be told
    ReasonSystemFile,     // a file of the system's
    ReasonHive,           // a registry hive file
    ReasonReasonCount
};

// The journal's words for a reason ("" for OwnedByLog).
const char* OwnReasonText(int32_t reason);

// The operation's answer for an item that is not the product's.
inline OpResult NotOwned(int32_t reason)
{
    return Outcome(OpKeptNotOwned, (uint32_t)reason);
}

// ---- Paths -------------------------------------------------------------

// path is folder itself or lies below it (both canonical: one backslash
// between names, no trailing backslash except a drive root's). Without
// regard to case, a double-byte character as one unit.
bool PathWithin(const char* path, const char* folder);

// What the system and the log say about folders, all in canonical form.
struct FolderEvidence {
    // Folders the system or a user keeps: the Windows and system folders,
    // every Program Files and Common Files folder, the profiles' root, every
    // profile and its first-level folders, the shell folders, TEMP.
    const char* const* kept;
    int32_t keptCount;
    // The log's own folder and the folders the log made, those that neither
    // are nor hold a kept folder.
    const char* const* product;
    int32_t productCount;
    // "\\server\share" when the log itself lies on a network share, else "".
    const char* logShare;
};

// The folder is, or holds, a kept folder.
bool IsOrHoldsKeptFolder(const char* canonical, const FolderEvidence* evidence);

// Why the folder (its real location, canonical) may not be removed, or
// OwnedByLog. whole: everything in it goes (a tree, a wildcard, a folder
// removed whole), which needs the folder to lie inside the product's
// folders; otherwise only what is empty in it goes, which needs only that it
// is no kept folder and holds none.
int32_t FolderRemovalReason(const char* canonical, bool whole, const FolderEvidence* evidence);

// "\\server\share" of a canonical UNC path into out (size bytes); "" for a
// local path.
void ShareOfPath(const char* canonical, char* out, int32_t size);
