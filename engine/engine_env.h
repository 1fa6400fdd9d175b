// What the uninstall operations take from start-up and the log reader.
#pragma once
#include <cstdint>

enum { ToShort = 0, ToLong = 1 };
void ConvertPathNames(char* path, int mode);

// Read from the log.
extern int32_t DeleteInUseFiles;
extern char SystemFolder[260];
extern char ProfilesFolder[260];
extern char CommonProfileFolder[260];

// Tells the shell about a deleted file or removed folder when the shell of
// this system wants to hear it (NewShell and SHChangeNotify found).
void NotifyShellPath(long event, const char* path);
