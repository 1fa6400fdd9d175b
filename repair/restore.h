// The file check of the repair and the restore through the installer that
// made each installation: damaged files are listed per installation, and at
// the end each installer re-extracts its list ("/X=<list file>").
#pragma once
#include <cstdint>

// Path of each installation's list file (none = null), indexed by
// installation number; RestoreListCount entries.
extern char** RestoreListFiles;
extern int32_t RestoreListCount;
// Set when a file has been added to a list.
extern int32_t RestoreQueued;

// Takes the list table from the pool, every entry empty, for installations
// 0 to latest.
void CreateRestoreLists(int32_t latest);
// Checks path against its repair data; a missing, unreadable, older, changed
// (or newer, when the user agrees; a silent run keeps it without asking) file
// is queued for installation. Returns 0.
int32_t CheckFile(const char* path, const char* repairData, uint16_t installation, int32_t silent);
// Appends path to installation's list file (made on first use, shared with
// an installation of the same source).
void QueueRestore(const char* path, const char* repairData, uint16_t date, uint16_t time,
                  uint16_t installation);
// Has each installer re-extract its list, from the latest installation down.
// Returns 1 when the user cancelled the question for an installer's path
// (the lists not yet run are dropped), else 0. A silent run cannot ask: an
// installer that is not where it was drops the lists as a cancel does.
int32_t RunRestores(int32_t silent);
