// Lowering the usage counters of shared files and of the database engine.
#pragma once
#include <cstdint>

#include "engine/uninstall.h"

enum { SharedNoCounter = 0, SharedKeep = 1, SharedRemove = 2 };

// The counters' key, opened once for a phase: each file then costs one
// look-up, not an open, a look-up and a close. key 0: there is no key (or
// no shell that keeps counters). When the key holds fewer values than the
// phase has files, their names are read once and a file whose name none of
// them can be (CounterNameSignature) costs no look-up at all.
struct SharedCounters {
    uintptr_t key;
    int32_t known;        // the names' signatures below are every value's
    int32_t count;        // how many
    uint32_t* signatures; // sorted
};
// lookups: the files the phase may look up.
SharedCounters OpenSharedCounters(int32_t lookups);
void CloseSharedCounters(SharedCounters* counters);

// Lowers the counter of path by copies (by 1 in a roll-back). 0: the file has
// no usable counter; 1: keep the file; 2: the counter reached zero and the
// user agreed to remove the file (a silent run keeps it without asking). At
// zero the counter value is deleted, whatever the answer.
int32_t ReleaseSharedFileIn(const SharedCounters& counters, const char* path, int32_t copies,
                            const UninstallRequest& request);
// The same with the key opened and closed for this one file.
int32_t ReleaseSharedFile(const char* path, int32_t copies, const UninstallRequest& request);

// Lowers the database engine's "UseCount"; at its last use removes the
// engine's keys. 1 when the user chose to abort the uninstall, else 0. A
// silent run cannot ask: it leaves the engine in place while its server runs.
int32_t ReleaseBde(int32_t silent);
