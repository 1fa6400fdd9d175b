// State of one installation run and the helpers its actions share.
#pragma once
#include "manifest.h"

#include <windows.h>
#include <string>

extern Manifest* CurrentManifest;
extern std::string InstallLogText; // this installation's lines, CR LF ended, ANSI

void LogLine(const std::string& line);
// Appends InstallLogText to INSTALL.LOG in the application folder, in the OEM
// code page unless the manifest asks for ANSI. Returns 0 or 1.
int WriteInstallLog();

// Creates every missing folder of path (a folder) from the outside in and
// logs "Made Dir: " for each one made. Returns 0 or 1.
int MakeFolderChain(const std::string& folder, int logIt);

// " MM-DD-YYYY | HH:MM:SS | version | size | crc" of a file on the disk.
int MakeRepairData(const std::string& path, std::string& out);
// "MM-DD-YYYY | HH:MM:SS | size" of a file.
int MakeFileAttributesText(const std::string& path, std::string& out);
int FileSizeAndCrc(const std::string& path, unsigned long& size, unsigned long& crc);

// A free name for the backup copy of path in the backup folder.
std::string NewBackupPath(const std::string& path);
int CopyForBackup(const std::string& path, std::string& backup);

int Complain(const Directive& d, const std::string& message); // prints, returns 1

// Actions, one per directive kind; each returns 0 or 1.
int DoFolder(const Directive& d);
int DoCopy(const Directive& d);
int DoLink(const Directive& d);
int DoEdit(const Directive& d);
int DoDelete(const Directive& d);
int DoRegValue(const Directive& d);
int DoRegTree(const Directive& d);
int DoIni(const Directive& d);
int DoIniNew(const Directive& d);
int DoGroup(const Directive& d);
int DoService(const Directive& d);
int DoDevice(const Directive& d);
int DoRegister(const Directive& d);
void CloseProgramManager();

int RunRestoreList(const char* listPath); // the /X= mode
