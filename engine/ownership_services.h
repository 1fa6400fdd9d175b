// Whether a service the log names is the product's. "Create Service: " names
// a service and nothing more; any name will do, the system's own among them.
// The evidence is the service's program: the file its configuration starts
// or, for a service that runs inside a host process it shares with others,
// the library it brings into that host. The service is the product's only
// when that program is one of the log's own files or lies in one of the
// product's folders.
#pragma once
#include <cstdint>

#include "engine/ownership.h"

struct FileRecord;

// The service type of a service that shares its process with others.
enum { ServiceSharesProcess = 0x20 };

// What reading an image path needs to know of the running system.
struct ServiceSystem {
    const char* windowsFolder; // the Windows folder, no trailing backslash
    const char* systemFolder;  // the folder services are started from
    // The value of the environment variable name into out (size bytes);
    // false when it has none.
    bool (*variable)(const char* name, char* out, int32_t size, void* context);
    // A file (not a folder) exists at path.
    bool (*fileExists)(const char* path, void* context);
    void* context;
};

// The full path of the program an image path starts, in canonical form,
// into out (size bytes). A quoted program is taken as quoted; an unquoted
// one with blanks is the longest part before a blank (or the whole) that
// names an existing file, ".exe" added to a name without an extension as
// the system does, or, when none exists, the whole text. "%SystemRoot%",
// "%windir%" and other variables, "\SystemRoot\" and "\??\" are read as the
// system reads them; a relative path (a driver's "system32\drivers\x.sys")
// lies in the Windows folder; a bare name is found in the system folder,
// then the Windows folder. Returns 1, or 0 when the text names no program.
int32_t ServiceProgramPath(const char* imagePath, const ServiceSystem* system, char* out,
                           int32_t size);

// The service runs in a host process shared with others (svchost's
// "-k group"): what is its own is the library it names.
bool SharesHostProcess(const char* imagePath, uint32_t serviceType);

// What the rule asks about a program (both answered by the real locations).
struct ServiceQuestions {
    ServiceSystem system;
    // The program is one of the log's own files.
    bool (*isLogFile)(const char* program, void* context);
    // The program lies in one of the product's folders.
    bool (*inProductFolders)(const char* program, void* context);
};

// Why the service configured with imagePath, serviceType and serviceDll
// (empty when it names none) is not the product's, or OwnedByLog. program
// (size bytes) receives the program judged ("" when none could be told).
int32_t ServiceOwnershipReason(const char* imagePath, uint32_t serviceType, const char* serviceDll,
                               const ServiceQuestions* questions, char* program, int32_t size);

// The FileList record, or the SystemFileList record the installation copied
// new, whose path is spelt as path (without regard to case), or null. A
// look-up in the lists' indexes: the caller asks once for each spelling.
const FileRecord* LogFileRecord(const char* path);

// ---- Answered by the running system (ownership_services_win32.cpp) --------

// Why the service named name, configured as given, is not the product's, or
// OwnedByLog; program (MAX_PATH bytes) receives the program judged. The
// service's library, when it shares a host process, is read from its key.
int32_t ServiceOwnership(const char* name, const char* imagePath, uint32_t serviceType,
                         char* program);
