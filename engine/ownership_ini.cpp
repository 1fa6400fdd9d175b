#include "engine/ownership_ini.h"

#include <cstring>

#include "log/path_helpers.h"
#include "log/text_step.h"

// The files the system keeps in its own folders and at a drive's root:
// settings of the system and its shell, start-up files, the files of the
// restart, and the data sources every program shares.
static const char* const SystemIniNames[] = {
    "WIN.INI",     "SYSTEM.INI",   "CONTROL.INI", "PROTOCOL.INI", "BOOT.INI",    "WININIT.INI",
    "WININIT.BAK", "PROGMAN.INI",  "WINFILE.INI", "DOSAPP.INI",   "SYSTEM.CB",   "MSDOS.SYS",
    "CONFIG.SYS",  "AUTOEXEC.BAT", "ODBC.INI",    "ODBCINST.INI", "WINHELP.INI", "MOUSE.INI",
    "DESKTOP.INI", "SHELL.INI",    "REG.DAT",     "SYSTEM.1ST",   "SETUPLOG.TXT"};

// The registry's own files, wherever they lie.
static const char* const HiveNames[] = {"NTUSER.DAT", "NTUSER.MAN", "USRCLASS.DAT",
                                        "USER.DAT",   "SYSTEM.DAT", "CLASSES.DAT"};

// A profile's own settings file beside its hive.
static const char* const ProfileIniNames[] = {"NTUSER.INI"};

static bool NameIn(const char* name, const char* const* names, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        if (CompareNoCase(name, names[i]) == 0)
            return true;
    }
    return false;
}

int32_t IniFileRemovalReason(const char* canonical, const IniFolders* folders)
{
    char folder[PathBufferSize];
    CopyText(folder, canonical, sizeof folder);
    char* name = FileNamePart(folder);
    if (name == folder || !name[0])
        return ReasonSystemIni;
    // "WIN.INI::$DATA" is WIN.INI itself.
    char* stream = FindCharMb(name, ':');
    if (stream)
        *stream = 0;
    if (NameIn(name, HiveNames, (int32_t)(sizeof HiveNames / sizeof HiveNames[0])))
        return ReasonHive;
    if (NameIn(name, ProfileIniNames,
               (int32_t)(sizeof ProfileIniNames / sizeof ProfileIniNames[0])))
        return ReasonSystemIni;
    if (!NameIn(name, SystemIniNames, (int32_t)(sizeof SystemIniNames / sizeof SystemIniNames[0])))
        return OwnedByLog;
    // The folder it lies in: "C:\" keeps its backslash.
    if (name - folder == 3)
        name[0] = 0;
    else
        name[-1] = 0;
    if (strlen(folder) <= 3)
        return ReasonSystemIni;
    if (folder[0] == '\\' && folder[1] == '\\')
        return ReasonSystemIni;
    for (int32_t i = 0; i < folders->systemCount; i++) {
        if (CompareNoCase(folder, folders->system[i]) == 0)
            return ReasonSystemIni;
    }
    return OwnedByLog;
}
