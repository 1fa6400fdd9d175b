// Deleting files now, or at the next restart when they are in use, and every
// operation left to the restart: MoveFileEx delays on the NT family,
// WININIT.INI on the 95 family. Nothing else writes WININIT.INI.
#pragma once
#include <cstdint>

#include "engine/files.h"

extern uint16_t TempNameCounter;

// What the run has left to the next restart and to the temporary copy. Kept
// here, where every such operation is made, and read once when the run ends.
struct DeferredWork {
    int32_t restartNeeded;      // an operation waits for the next restart
    int32_t selfRemovalPending; // the program's own file goes after the run
};
DeferredWork DeferredSoFar();
// Nothing left to the restart (a new run, or a test's start).
void ResetDeferredWork();

// OpRemoved when the file was deleted now, OpDeferred when it goes at the
// restart (or, the program's own file, after the run), OpMissing, OpFailed
// (the system refused: in use where the log does not let it wait, or kept
// by its security, which never waits for the restart), or OpKeptNotOwned
// (a registry hive, a file the system protects or runs, a file reached
// through a link into a system folder). Journalled; in a dry run only
// foreseen. A file that goes at the first try costs one call to the system.
OpResult DeleteFileOrDefer(const char* path);
// The same, a read-only file's attributes cleared when the first try fails.
OpResult ClearAndDeleteOrDefer(const char* path);
// What DeleteFileOrDefer would do to path, with nothing changed.
OpResult ForeseeDelete(const char* path);
// The system refused an operation on path with error because the file is
// in use: held open, locked, or a running program's image. A refusal of
// the file's security is not.
bool RefusedAsInUse(const char* path, uint32_t error);
// Fills out (260 bytes) with the next free "~KTU%04x.TMP" in target's folder.
void MakeTempName(const char* target, char* out);
// temp (in target's folder) takes target's place now (OpRestored) or, when
// target is in use, at the next restart in one step (OpDeferred); OpFailed
// leaves both as they were.
OpResult ReplaceOrDefer(const char* temp, const char* target);
// temp takes target's place at the next restart in one step the system
// carries out whole (the old file stays until then).
void ExchangeAtRestart(const char* target, const char* temp);
// The file goes at the next restart: a pending delete on the NT family, a
// "NUL=" line of WININIT.INI on the 95 family (path written as given).
void DeleteAtRestart(const char* path);
// Appends "NUL=<path>" to WININIT.INI, creating it with its [rename] line.
void AppendWininitDeletion(const char* path);
// Adds "<target>=<source>" to WININIT.INI's [rename] section.
void AppendWininitRename(const char* target, const char* source);
