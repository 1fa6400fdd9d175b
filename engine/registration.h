// Undoing what an installation did outside the file system proper: server
// registration, services, SYSTEM.INI device lines, and programs run at
// uninstall time.
#pragma once
#include <cstdint>

#include "engine/files.h"

// Unregisters (register = 0) or registers (1) a server: a program through
// "/UNREGSERVER" or "/REGSERVER", a module through its exported entry.
// heading is the progress heading shown with the path.
void SelfRegister(const char* heading, const char* path, int32_t register_);
// 1 when path is a Win32 PE module that this process can load.
int32_t IsWin32Module(const char* path);
// Stops the service (without waiting for it) and deletes it, when its
// program shows it to be the product's (engine/ownership_services.h);
// otherwise OpKeptNotOwned, and the service is left as it is.
OpResult StopAndDeleteService(const char* name);
// Comments out the [386Enh] "device=" lines of SYSTEM.INI that name path.
void RemoveDeviceLine(const char* path);
// Runs "program" arguments and waits until it ends.
void RunAndWait(const char* program, const char* arguments);
