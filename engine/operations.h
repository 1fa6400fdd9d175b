// The operations the uninstall driver hands entries to, from the units that
// talk to outside parties: shared counters, registration, services, devices,
// external programs and Program Manager.
#pragma once
#include <cstdint>

// 0: no counter; 1: keep the file; 2: the counter reached zero, remove it.
int32_t ReleaseSharedFile(const char* path, int32_t copies);
// 0: go on; 1: the user chose to abort the uninstall.
int32_t ReleaseBde();
void SelfRegister(const char* heading, const char* path, int32_t doRegister);
void RemoveDeviceLine(const char* path);
void RunAndWait(const char* program, const char* arguments);
void StopAndDeleteService(const char* name);
void OpenProgramManager();
void DeleteIconEntry(int32_t index);
void CloseProgramManager();
