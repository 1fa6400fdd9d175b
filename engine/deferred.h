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
// restart (or, the program's own file, after the run), OpMissing, or
// OpFailed (in use where the log does not let it wait). Journalled; in a dry
// run only foreseen.
OpResult DeleteFileOrDefer(const char* path);
// Clears the file's attributes, then DeleteFileOrDefer; same result. A file
// that is neither read-only nor in use goes at the first try, and then its
// attributes are never touched: one call to the system instead of three.
OpResult ClearAndDeleteOrDefer(const char* path);
// What DeleteFileOrDefer would do to path, with nothing changed.
OpResult ForeseeDelete(const char* path);
// Fills out (260 bytes) with the next free "~KTU%04x.TMP" in target's folder.
void MakeTempName(const char* target, char* out);
// target is exchanged for temp (in its folder) at the next restart.
void ReplaceAtRestart(const char* target, const char* temp);
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
