// Which files are the system's, whatever a log says of them. The log reader
// classes a file by its folder's canonical text (no question to the file
// system per line); a deletion or a restore asks once more with the
// folder's real location and the system's own answers. The rules here are
// pure: the Win32 side (ownership_files_win32.cpp) finds the folders, the
// real locations, the loaded modules and the system's file protection.
#pragma once
#include <cstdint>

enum { MaxSystemFolders = 24, SystemFolderSize = 260 };

// The system's folders in canonical text (NormalizePathText): the Windows
// folder, the System folder, SysWOW64 and Sysnative, the Win32s folder and
// the drivers folders of the System folders, each in its long spelling and,
// where it differs, its short one.
struct SystemFolderSet {
    int32_t count;
    char folder[MaxSystemFolders][SystemFolderSize];
    // The Windows and System folders (canonical, long), for the hives, and
    // the folders whose files are hives: the System folder's "config" (as
    // the System folder and as System32 spell it) and the 95 family's
    // profiles below the Windows folder.
    char windows[SystemFolderSize];
    char system[SystemFolderSize];
    char config[2][SystemFolderSize];
    char profiles[SystemFolderSize];
};

// Fills the hive folders of set from its windows and system members.
void MakeHiveFolders(SystemFolderSet* set);

// Turns path (size bytes, in place) into its short form; may be null.
typedef void (*ShortFormFunc)(char* path, int32_t size, void* context);

// The set for a system whose Windows and System folders are named so (as
// the system gives them). shortForm, when given, adds the short spellings.
void MakeSystemFolderSet(SystemFolderSet* set, const char* windows, const char* system,
                         ShortFormFunc shortForm, void* context);

// folder (canonical) is one of the set's folders.
bool IsSystemFolder(const char* folder, const SystemFolderSet* set);

// The reader's class of a file line: its folder, made canonical, is one of
// the system's folders. A path that is not absolute is no system file.
bool InSystemFolderText(const char* path, const SystemFolderSet* set);

// The canonical text of a file's path and of its folder (each size bytes);
// false when path is not absolute, does not fit, or names a root.
bool CanonicalFilePath(const char* path, char* canonical, char* folder, int32_t size);

// The file (canonical path) is a registry hive or one of its logs, by name
// and place alone: the profiles' NTUSER.DAT, NTUSER.MAN and USRCLASS.DAT
// wherever they lie, everything in the System folder's "config", and the
// 95 family's USER.DAT, SYSTEM.DAT and CLASSES.DAT (and their .DA0 copies)
// in the Windows folder or a profile below it.
bool IsHiveFile(const char* canonical, const SystemFolderSet* set);

// Where a file to remove or replace lies.
enum FilePlace {
    PlaceElsewhere,    // no system folder, as spelt or in fact
    PlaceSystem,       // a system folder, as the log spells it
    PlaceLinkedSystem, // a system folder reached through a link or another spelling
    PlaceUnresolved,   // its folder's real location cannot be told
};

// textFolder: the folder as the log spells it (canonical text); realFolder:
// its real location (canonical), null when it cannot be told. system: the
// set as spelt; realSystem: the set's folders at their real locations.
FilePlace PlaceOfFile(const char* textFolder, const char* realFolder, const SystemFolderSet* system,
                      const SystemFolderSet* realSystem);

// What the system says of a file in one of its folders (asked only there).
struct SystemFileAnswers {
    bool loadedModule;      // this process runs a module from that very file
    bool protectedBySystem; // the system's file protection keeps it
};

// Why the file may not be removed or replaced (an OwnReason), or OwnedByLog.
// hive: IsHiveFile of its path or of its real place; answers: asked for a
// file in a system folder only (may be null elsewhere).
int32_t FileRemovalReason(bool hive, FilePlace place, const SystemFileAnswers* answers);
