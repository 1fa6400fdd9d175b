// Deleting and replacing files now, or at the next restart when they are in
// use: MoveFileEx delays on the NT family, WININIT.INI on the 95 family.
#pragma once
#include <cstdint>

extern uint16_t TempNameCounter;

// 0 when the file was deleted now, 1 when not (scheduled or not).
int32_t DeleteFileOrDefer(const char* path);
// Clears the file's attributes, then DeleteFileOrDefer; same result. A file
// that is neither read-only nor in use goes at the first try, and then its
// attributes are never touched: one call to the system instead of three.
int32_t ClearAndDeleteOrDefer(const char* path);
// Puts backup in place of target, now or at the next restart.
void RestoreFileOrDefer(const char* backup, const char* target);
// Fills out (260 bytes) with the next free "~KTU%04x.TMP" in target's folder.
void MakeTempName(const char* target, char* out);
// Appends "NUL=<path>" to WININIT.INI, creating it with its [rename] line.
void AppendWininitDeletion(const char* shortPath);
