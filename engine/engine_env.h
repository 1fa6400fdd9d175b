// What the uninstall operations take from start-up.
#pragma once

#include "app/startup.h"
#include "log/path_helpers.h"

// Tells the shell about a deleted file or removed folder when the shell of
// this system wants to hear it (NewShell set and SHChangeNotify found).
void NotifyShellPath(long event, const char* path);
