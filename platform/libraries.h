// Libraries looked up at run time, each from a folder that only an
// administrator can write: never the current directory or PATH, where a
// planted library of the same name would run with the uninstaller's rights.
#pragma once
#include <windows.h>

// A library of the system, from the System folder; null when it is not there.
HMODULE LoadSystemLibrary(const char* name);
// A library that may sit beside the program or in the System folder (in
// that order, as the system's own search would take them); null when absent.
HMODULE LoadLibraryBesideProgram(const char* name);
