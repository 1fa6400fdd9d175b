// What the uninstall operations take from start-up.
#pragma once

#include "app/startup.h"
#include "log/path_helpers.h"

// Tells the shell about a deleted file or removed folder when the shell of
// this system wants to hear it (NewShell set and SHChangeNotify found).
// The shell hears of it shortly after, in the order of the calls.
void NotifyShellPath(long event, const char* path);
// Returns true when the shell has been told of everything, false when it
// stopped answering for ten seconds (the shell library must then stay loaded).
bool FlushShellNotifications();
// How many notices the shell is told by the worker (posted and not folded
// away), for the benchmarks.
uint32_t ShellNoticesKept();
