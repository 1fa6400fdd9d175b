// File and directory removal: single files with their help index files,
// wildcard entries, restored backups and whole directory trees.
#pragma once
#include <cstdint>

// What one operation did: every file operation answers with it, and so do
// the registry, service, counter and Program Manager operations that the
// journal records. In a dry run it tells what the operation would do.
enum OpOutcome {
    OpRemoved,        // gone now
    OpRestored,       // the earlier file or value is back in place
    OpKeptChosen,     // left as the user or the chosen mode wanted
    OpKeptShared,     // left: another product still counts on it
    OpKeptProtected,  // left: a protected folder, or a link not followed
    OpKeptUserData,   // left: the folder still holds what the log does not name
    OpDeferred,       // in use: carried out at the next restart (or the run's end)
    OpMissing,        // not there to begin with
    OpFailed,         // the system refused; error says why
    OpLowered,        // a usage counter went down and its file stays
    OpStarted,        // a program was started
    OpRemovedIfEmpty, // dry run: the folder goes if what the run removes was all it held
    OpKeptNotOwned,   // left: the log does not show it to be the product's (error: the reason)
};

struct OpResult {
    OpOutcome outcome;
    // The system's error code for OpFailed, the reason (OwnReason,
    // engine/ownership.h) for OpKeptNotOwned, else 0.
    uint32_t error;
};

inline OpResult Outcome(OpOutcome outcome, uint32_t error = 0)
{
    OpResult result = {outcome, error};
    return result;
}

// Each operation below is journalled and, in a dry run, only foreseen.

// The file, and the help system's index files beside a help file.
OpResult DeleteFileAndHelpIndex(const char* path);
// Puts backup in place of target, now (OpRestored) or at the next restart
// (OpDeferred): a copy of the backup beside the target takes its place in
// one step, so a backup that cannot be read (OpFailed) leaves the target as
// it is. The backup goes afterwards only from the product's folders. A
// target the system keeps (see DeleteFileOrDefer) is OpKeptNotOwned.
OpResult RestoreFileOrDefer(const char* backup, const char* target);
// A file, a wildcard entry (OpKeptNotOwned when its folder is not the
// product's, OpKeptProtected for a linked folder), or a file that makes way
// for its backup (restore 1).
OpResult RemoveOrRestoreFile(const char* path, const char* backup, int32_t restore);
// OpRemoved, OpKeptUserData (not empty), OpKeptProtected (a link), OpMissing
// or OpFailed. The shell may be reading the folder just then (while it hears
// of a file it reads the folder that holds it, and the system refuses to
// remove a folder being read): such a folder is tried again when the shell
// has been told everything so far, for up to three seconds while the refusal
// is a sharing violation.
OpResult RemoveEmptyDirectory(const char* path);
// An existing folder that holds nothing.
bool IsEmptyFolder(const char* path);
// The folder's empty folders, or (whole 1) everything below it; the result
// is the folder's own.
OpResult RemoveDirectoryTree(const char* path, int32_t whole);

// A link to another place (a symbolic link or a junction): removing it takes
// the link and never anything behind it. A folder that is a reparse point of
// any other kind is left alone, and no walk ever enters one.
bool IsReparsePoint(const char* path);
