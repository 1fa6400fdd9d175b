// The system's own INI files are never deleted as files the log created,
// however the log spells them; the product's own INI files still are.
#include <gtest/gtest.h>

#include <string>

#include "engine/ownership_ini.h"
#include "log/path_helpers.h"

namespace
{

const char* const SystemFolders[] = {"C:\\WINDOWS", "C:\\WINDOWS\\System32",
                                     "C:\\WINDOWS\\SysWOW64", "C:\\WINDOWS\\System"};
const IniFolders Folders = {SystemFolders, 4};

// What the Win32 side does short of the file system: the canonical text.
int32_t Reason(const char* path)
{
    char canonical[PathBufferSize];
    if (!NormalizePathText(path, canonical, sizeof canonical))
        return -1;
    return IniFileRemovalReason(canonical, &Folders);
}

} // namespace

TEST(SystemIniFiles, AreKeptInEverySpelling)
{
    const char* spellings[] = {
        "C:\\WINDOWS\\WIN.INI",
        "c:\\windows\\system.ini",
        "C:/WINDOWS//SYSTEM.INI",
        "C:\\WINDOWS\\SYSTEM32\\..\\WIN.INI",
        "C:\\WINDOWS\\.\\CONTROL.INI",
        "C:\\WINDOWS\\WIN.INI.",
        "C:\\WINDOWS\\WIN.INI  ",
        "C:\\WINDOWS\\WIN.INI::$DATA",
        "C:\\WINDOWS\\System32\\PROTOCOL.INI",
        "C:\\WINDOWS\\SysWOW64\\..\\WININIT.INI",
        "C:\\WINDOWS\\System\\SYSTEM.CB",
        "C:\\WINDOWS\\PROGMAN.INI",
        "C:\\WINDOWS\\winfile.ini",
        "C:\\WINDOWS\\DOSAPP.INI",
        "C:\\WINDOWS\\ODBCINST.INI",
        "C:\\BOOT.INI",
        "D:\\boot.ini",
        "C:\\Program Files\\..\\MSDOS.SYS",
        "\\\\localhost\\C$\\windows\\win.ini",
        "\\\\host\\ADMIN$\\SYSTEM.INI",
        "C:\\Users\\jo\\NTUSER.INI",
    };
    for (const char* path : spellings)
        EXPECT_EQ(ReasonSystemIni, Reason(path)) << path;
}

TEST(SystemIniFiles, HiveFilesAreKeptAnywhere)
{
    EXPECT_EQ(ReasonHive, Reason("C:\\Users\\jo\\NTUSER.DAT"));
    EXPECT_EQ(ReasonHive, Reason("C:\\Program Files\\Sample\\ntuser.dat"));
    EXPECT_EQ(ReasonHive,
              Reason("C:\\Users\\jo\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"));
    EXPECT_EQ(ReasonHive, Reason("C:\\WINDOWS\\USER.DAT"));
    EXPECT_EQ(ReasonHive, Reason("C:\\WINDOWS\\SYSTEM.DAT"));
}

TEST(SystemIniFiles, TheProductsOwnGo)
{
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWS\\KSAMPLE.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\Program Files\\Sample\\SAMPLE.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWS\\System32\\KSAMPLE.INI"));
    // A system name in a folder the system does not keep it in.
    EXPECT_EQ(OwnedByLog, Reason("C:\\Program Files\\Sample\\WIN.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWS\\Sample\\SYSTEM.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWSX\\WIN.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWS\\XWIN.INI"));
    EXPECT_EQ(OwnedByLog, Reason("C:\\WINDOWS\\WIN.INI.BAK"));
    EXPECT_EQ(OwnedByLog, Reason("\\\\server\\share\\app\\APP.INI"));
}
