// The install log reader: turns INSTALL.LOG into the item lists and the
// per-log values below.
#pragma once
#include <cstdint>

#include "log/reader_host.h"
#include "ui/log_progress.h"

enum { LogLineSize = 2048, HeaderValueSize = 128 };

// Per-log values (all empty or 0 before the reader runs).
extern char ProductTitle[256];
extern uint16_t LatestInstallation;
extern int32_t LatestInstallationOffset;
extern int32_t AnsiText;
extern char UninstallMifName[HeaderValueSize];
extern char Manufacturer[HeaderValueSize];
extern char ProductName[HeaderValueSize];
extern char VersionNumber[HeaderValueSize];
extern char SerialNumber[HeaderValueSize];
extern char* PerUserId;
extern int32_t DeleteInUseFiles;
extern int32_t BackupsPresent;
// A source line names an installer that can re-extract files: Repair is offered.
extern int32_t RepairSourceKnown;
extern char* SubsystemName;
extern int32_t SubsystemSelected;
// The log asks for a restore point around the uninstall.
extern int32_t SystemRestoreEnabled;
extern char ProfilesFolder[260];
extern char CommonProfileFolder[260];
extern char SystemFolder[260];
// The installation's folder, as ReadInstallLog puts it (short form, trailing
// backslash).
extern char ApplicationFolder[260];

// Reads the log at logPath into the item lists (created before) and the
// per-log values, and puts the application folder (short form, trailing
// backslash) into applicationFolder (at least 260 bytes). Returns 0 when the
// log was read to its end, 1 when it was refused (the message has been shown;
// a silent run shows none). The main window takes the log's title unless the
// command line gave one (titleGiven). The Win32 build answers the system
// questions for real.
int ReadInstallLog(const char* logPath, char* applicationFolder, int32_t silent,
                   int32_t titleGiven);
// The same with the given answers to the system questions.
int ReadInstallLogWith(const ReaderHost* host, const char* logPath, char* applicationFolder);

// Back to the values before a read (for tests and tools reading more logs).
void ResetLogValues();
