// The product description the test installer works from: one directive per
// line, arguments separated by '|'. MANIFEST.md describes the format.
#pragma once
#include <string>
#include <vector>

enum DirectiveKind {
    DirTitle,
    DirAppDir,
    DirPayload,
    DirBackupDir,
    DirCharset,
    DirSource,
    DirManufacturer,
    DirProduct,
    DirVersion,
    DirSerial,
    DirPerUserId,
    DirUninstallMif,
    DirAdmin,
    DirDeleteInUse,
    DirSystemRestore,
    DirSubsystem,
    DirDir,
    DirTree,
    DirCopy,
    DirLink,
    DirReg,
    DirRegTree,
    DirIniNew,
    DirIni,
    DirEdit,
    DirDelete,
    DirGroup,
    DirExecute,
    DirExecuteProgram,
    DirService,
    DirDevice,
    DirRegister
};

// Flags of a copy line.
enum {
    CopyShared = 1,    // raise the file's SharedDLLs counter
    CopyNoCount = 2,   // "Shared DLL counter ignored:" before the line
    CopyNonSystem = 4, // "Non-System File:" before the line
    CopyBackup = 8,    // back an existing file up before overwriting it
    CopyNoRepair = 16, // no repair data on the line
};

struct Directive {
    int kind;
    int line;                      // line number in the manifest, from 1
    std::vector<std::string> args; // expanded and trimmed
    int flags;                     // copy flags; start flag of a service
    int root;                      // reg, regtree: 0..4
    int type;                      // reg: 0..4
};

struct Manifest {
    std::string path;   // the manifest file
    std::string folder; // its folder, with a trailing backslash
    std::string title;
    std::string appDir;     // no trailing backslash
    std::string payloadDir; // no trailing backslash
    std::string backupDir;  // no trailing backslash
    int ansi;               // 1: the installation is written in the ANSI code page
    int sourceAttributes;   // 1: "Source: " carries the installer's attributes
    std::vector<Directive> items;
};

// Reads and checks a manifest without changing anything on the machine.
// checkPayload 0 skips the tests that need the machine as it is before an
// installation (the restore mode). Returns 0, or 1 after printing
// "file(line): message" to stderr.
int LoadManifest(const char* path, Manifest& m, int checkPayload);

// Payload file of a copy line.
std::string PayloadPath(const Manifest& m, const Directive& d);

// Text helpers shared by the installer's units.
int EqualNoCase(const std::string& a, const std::string& b);
std::string FolderOf(const std::string& path); // cut before the last backslash
std::string NameOf(const std::string& path);   // after the last backslash
