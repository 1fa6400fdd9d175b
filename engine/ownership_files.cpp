#include "engine/ownership_files.h"

#include <cstring>

#include "engine/ownership.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

// Adds folder (canonical) unless the set holds it already.
static void AddFolder(SystemFolderSet* set, const char* folder)
{
    if (!folder[0] || set->count >= MaxSystemFolders)
        return;
    for (int32_t i = 0; i < set->count; i++) {
        if (CompareNoCase(set->folder[i], folder) == 0)
            return;
    }
    CopyText(set->folder[set->count], folder, SystemFolderSize);
    set->count++;
}

// base + "\" + name, canonical, into out; "" when it does not fit.
static void JoinCanonical(char* out, const char* base, const char* name)
{
    char joined[SystemFolderSize * 2];
    CopyText(joined, base, sizeof joined);
    if (!EndsWithBackslash(joined))
        AppendText(joined, "\\", sizeof joined);
    AppendText(joined, name, sizeof joined);
    if (!NormalizePathText(joined, out, SystemFolderSize))
        out[0] = 0;
}

void MakeHiveFolders(SystemFolderSet* set)
{
    set->config[0][0] = set->config[1][0] = set->profiles[0] = 0;
    if (set->system[0])
        JoinCanonical(set->config[0], set->system, "config");
    if (set->windows[0]) {
        JoinCanonical(set->config[1], set->windows, "System32\\config");
        JoinCanonical(set->profiles, set->windows, "Profiles");
    }
}

void MakeSystemFolderSet(SystemFolderSet* set, const char* windows, const char* system,
                         ShortFormFunc shortForm, void* context)
{
    set->count = 0;
    if (!NormalizePathText(windows ? windows : "", set->windows, SystemFolderSize))
        set->windows[0] = 0;
    if (!NormalizePathText(system ? system : "", set->system, SystemFolderSize))
        set->system[0] = 0;
    MakeHiveFolders(set);
    // The folders below the Windows folder that are system folders on one
    // system or another: a 64-bit system keeps its 32-bit one in SysWOW64,
    // and a 32-bit program reaches the 64-bit one as Sysnative.
    static const char* const inWindows[] = {"System32",  "System32\\drivers",
                                            "SysWOW64",  "SysWOW64\\drivers",
                                            "Sysnative", "Sysnative\\drivers"};
    char longForms[MaxSystemFolders][SystemFolderSize];
    int32_t n = 0;
    CopyText(longForms[n++], set->windows, SystemFolderSize);
    CopyText(longForms[n++], set->system, SystemFolderSize);
    if (set->system[0]) {
        JoinCanonical(longForms[n++], set->system, "drivers");
        JoinCanonical(longForms[n++], set->system, "WIN32S");
    }
    for (const char* name : inWindows) {
        if (set->windows[0])
            JoinCanonical(longForms[n++], set->windows, name);
    }
    for (int32_t i = 0; i < n; i++)
        AddFolder(set, longForms[i]);
    if (!shortForm)
        return;
    for (int32_t i = 0; i < n; i++) {
        if (!longForms[i][0])
            continue;
        char shortText[SystemFolderSize];
        char canonical[SystemFolderSize];
        CopyText(shortText, longForms[i], sizeof shortText);
        shortForm(shortText, sizeof shortText, context);
        if (NormalizePathText(shortText, canonical, sizeof canonical))
            AddFolder(set, canonical);
    }
}

bool IsSystemFolder(const char* folder, const SystemFolderSet* set)
{
    // Texts equal without regard to case have the same length: most
    // folders differ there already, at no cost.
    size_t length = strlen(folder);
    for (int32_t i = 0; i < set->count; i++) {
        if (strlen(set->folder[i]) == length && CompareNoCase(set->folder[i], folder) == 0)
            return true;
    }
    return false;
}

bool CanonicalFilePath(const char* path, char* canonical, char* folder, int32_t size)
{
    if (!NormalizePathText(path, canonical, size))
        return false;
    char* last = LastBackslash(canonical);
    // A drive or share root names no file.
    if (!last || !last[1])
        return false;
    bool root = last - canonical == 2 && canonical[1] == ':';
    int32_t length = (int32_t)(last - canonical) + (root ? 1 : 0);
    memcpy(folder, canonical, (size_t)length);
    folder[length] = 0;
    return true;
}

bool InSystemFolderText(const char* path, const SystemFolderSet* set)
{
    char canonical[SystemFolderSize];
    char folder[SystemFolderSize];
    if (!CanonicalFilePath(path, canonical, folder, SystemFolderSize))
        return false;
    return IsSystemFolder(folder, set);
}

// name begins with prefix, compared without regard to case.
static bool NameBegins(const char* name, const char* prefix)
{
    return CompareNoCaseN(name, prefix, (int32_t)strlen(prefix)) == 0;
}

bool IsHiveFile(const char* canonical, const SystemFolderSet* set)
{
    const char* name = FileNamePart(canonical);
    if (name == canonical || !name[0])
        return false;
    // A profile's own hives and their logs (NTUSER.DAT.LOG1 and the like).
    if (NameBegins(name, "NTUSER.DAT") || NameBegins(name, "NTUSER.MAN") ||
        NameBegins(name, "USRCLASS.DAT"))
        return true;
    for (const char* config : set->config) {
        if (config[0] && PathWithin(canonical, config))
            return true;
    }
    if (!set->windows[0])
        return false;
    // The 95 family keeps its hives in the Windows folder, and each user's
    // USER.DAT in a profile below it.
    static const char* const oldHives[] = {"USER.DAT",   "USER.DA0",    "SYSTEM.DAT",
                                           "SYSTEM.DA0", "CLASSES.DAT", "CLASSES.DA0"};
    bool oldHive = false;
    for (const char* hive : oldHives) {
        if (CompareNoCase(name, hive) == 0)
            oldHive = true;
    }
    if (!oldHive)
        return false;
    char folder[SystemFolderSize];
    int32_t length = (int32_t)(name - canonical) - 1;
    if (length <= 0 || length >= (int32_t)sizeof folder)
        return false;
    memcpy(folder, canonical, (size_t)length);
    folder[length] = 0;
    return CompareNoCase(folder, set->windows) == 0 ||
           (set->profiles[0] && PathWithin(folder, set->profiles));
}

FilePlace PlaceOfFile(const char* textFolder, const char* realFolder, const SystemFolderSet* system,
                      const SystemFolderSet* realSystem)
{
    if (!realFolder)
        return PlaceUnresolved;
    if (IsSystemFolder(textFolder, system))
        return PlaceSystem;
    if (IsSystemFolder(realFolder, realSystem) || IsSystemFolder(realFolder, system))
        return PlaceLinkedSystem;
    return PlaceElsewhere;
}

int32_t FileRemovalReason(bool hive, FilePlace place, const SystemFileAnswers* answers)
{
    if (hive)
        return ReasonHive;
    switch (place) {
    case PlaceUnresolved:
        return ReasonUnresolved;
    case PlaceLinkedSystem:
        return ReasonSystemFile;
    case PlaceSystem:
        if (answers && (answers->loadedModule || answers->protectedBySystem))
            return ReasonSystemFile;
        return OwnedByLog;
    case PlaceElsewhere:
        break;
    }
    return OwnedByLog;
}
