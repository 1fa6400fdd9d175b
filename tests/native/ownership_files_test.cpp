// The rules that keep the system's files, whatever a log says of them.
#include "engine/ownership.h"
#include "engine/ownership_files.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

#include "log/items.h"
#include "log/path_helpers.h"
#include "log/text_step.h"
#include "tests/native/reader_support.h"

namespace
{

// Short forms as a system with long folder names gives them.
std::map<std::string, std::string> ShortNames = {
    {"C:\\Windows Folder", "C:\\WINDOW~1"},
    {"C:\\Windows Folder\\System32", "C:\\WINDOW~1\\SYSTEM32"},
    {"C:\\Windows Folder\\SysWOW64", "C:\\WINDOW~1\\SYSWOW64"},
};

void TableShortForm(char* path, int32_t size, void*)
{
    // The longest known folder at the start of path, whole names only.
    std::string text = path;
    std::string best;
    for (const auto& pair : ShortNames) {
        const std::string& from = pair.first;
        if (from.size() > best.size() && text.size() >= from.size() &&
            CompareNoCaseN(text.c_str(), from.c_str(), (int32_t)from.size()) == 0 &&
            (text.size() == from.size() || text[from.size()] == '\\'))
            best = from;
    }
    if (!best.empty())
        CopyText(path, (ShortNames[best] + text.substr(best.size())).c_str(), size);
}

SystemFolderSet LongNamedSystem()
{
    SystemFolderSet set;
    MakeSystemFolderSet(&set, "C:\\Windows Folder", "C:\\Windows Folder\\System32", TableShortForm,
                        nullptr);
    return set;
}

SystemFolderSet PlainSystem()
{
    SystemFolderSet set;
    MakeSystemFolderSet(&set, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", nullptr, nullptr);
    return set;
}

TEST(OwnershipFiles, SystemFilesAreKnownInEverySpelling)
{
    SystemFolderSet set = PlainSystem();
    for (const char* path : {
             "C:\\WINDOWS\\SYSTEM32\\\\USER32.DLL",
             "C:/WINDOWS/SYSTEM32/GDI32.DLL",
             "c:\\windows\\system32\\.\\kernel32.dll",
             "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\..\\NTDLL.DLL",
             "C:\\WINDOWS\\SYSWOW64\\USER32.DLL",
             "C:\\WINDOWS\\SYSNATIVE\\USER32.DLL",
             "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\NULL.SYS",
             "C:\\WINDOWS\\SysWOW64\\drivers\\X.SYS",
             "C:\\WINDOWS\\SYSTEM32\\WIN32S\\W32S.DLL",
             "C:\\WINDOWS.\\SYSTEM32 \\USER32.DLL",
             "C:\\WINDOWS\\WIN.INI",
             "C:\\APP\\..\\WINDOWS\\NOTEPAD.EXE",
         })
        EXPECT_TRUE(InSystemFolderText(path, &set)) << path;
    for (const char* path : {
             "C:\\WINDOWS\\SYSTEM32\\SPOOL\\X.DLL",
             "C:\\WINDOWS\\FONTS\\X.TTF",
             "C:\\APP\\SYSTEM32\\X.DLL",
             "C:\\WINDOWS SYSTEM32\\X.DLL",
             "SYSTEM32\\X.DLL",
             "C:\\WINDOWS",
             "C:\\",
         })
        EXPECT_FALSE(InSystemFolderText(path, &set)) << path;

    // Long folder names: the short spellings are system folders too.
    SystemFolderSet named = LongNamedSystem();
    for (const char* path : {"C:\\WINDOW~1\\SYSTEM32\\X.DLL", "C:\\window~1\\syswow64\\X.DLL",
                             "C:\\Windows Folder\\System32\\drivers\\X.SYS", "C:\\WINDOW~1\\X.INI"})
        EXPECT_TRUE(InSystemFolderText(path, &named)) << path;
    EXPECT_FALSE(InSystemFolderText("C:\\WINDOW~2\\SYSTEM32\\X.DLL", &named));
}

TEST(OwnershipFiles, HivesAreKnownByNameAndPlace)
{
    SystemFolderSet set = PlainSystem();
    for (const char* path : {
             "C:\\Users\\someone\\NTUSER.DAT",
             "C:\\Users\\someone\\ntuser.dat.LOG1",
             "D:\\Profiles\\x\\NTUSER.MAN",
             "C:\\Users\\someone\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
             "C:\\WINDOWS\\SYSTEM32\\CONFIG\\SOFTWARE",
             "C:\\WINDOWS\\SYSTEM32\\config\\RegBack\\SYSTEM",
             "C:\\WINDOWS\\USER.DAT",
             "C:\\WINDOWS\\SYSTEM.DA0",
             "C:\\WINDOWS\\PROFILES\\SOMEONE\\USER.DAT",
         })
        EXPECT_TRUE(IsHiveFile(path, &set)) << path;
    for (const char* path : {
             "C:\\APP\\USER.DAT",
             "C:\\APP\\SYSTEM.DAT",
             "C:\\APP\\CONFIG\\SOFTWARE",
             "C:\\WINDOWS\\SYSTEM32\\CONFIGURE.EXE",
             "C:\\APP\\USERS.DAT",
         })
        EXPECT_FALSE(IsHiveFile(path, &set)) << path;
}

TEST(OwnershipFiles, WhereAFileLiesDecides)
{
    SystemFolderSet spelt = PlainSystem();
    SystemFolderSet real = spelt;
    // A 32-bit program's System32 really lies in SysWOW64.
    EXPECT_EQ(PlaceSystem,
              PlaceOfFile("C:\\WINDOWS\\SYSTEM32", "C:\\windows\\syswow64", &spelt, &real));
    EXPECT_EQ(PlaceElsewhere, PlaceOfFile("C:\\APP", "C:\\APP", &spelt, &real));
    // A link above the file leads into a system folder.
    EXPECT_EQ(PlaceLinkedSystem,
              PlaceOfFile("C:\\APP\\LINK", "C:\\WINDOWS\\System32", &spelt, &real));
    EXPECT_EQ(PlaceLinkedSystem,
              PlaceOfFile("C:\\APP\\LINK", "C:\\WINDOWS\\System32\\Drivers", &spelt, &real));
    EXPECT_EQ(PlaceUnresolved, PlaceOfFile("C:\\APP\\LINK", nullptr, &spelt, &real));
    EXPECT_EQ(PlaceUnresolved, PlaceOfFile("C:\\WINDOWS", nullptr, &spelt, &real));

    // The reasons that follow.
    SystemFileAnswers none = {false, false};
    SystemFileAnswers loaded = {true, false};
    SystemFileAnswers guarded = {false, true};
    EXPECT_EQ(OwnedByLog, FileRemovalReason(false, PlaceElsewhere, nullptr));
    EXPECT_EQ(OwnedByLog, FileRemovalReason(false, PlaceSystem, &none))
        << "a file of the product's in a system folder goes as the log says";
    EXPECT_EQ(ReasonSystemFile, FileRemovalReason(false, PlaceSystem, &loaded));
    EXPECT_EQ(ReasonSystemFile, FileRemovalReason(false, PlaceSystem, &guarded));
    EXPECT_EQ(ReasonSystemFile, FileRemovalReason(false, PlaceLinkedSystem, &none));
    EXPECT_EQ(ReasonUnresolved, FileRemovalReason(false, PlaceUnresolved, nullptr));
    EXPECT_EQ(ReasonHive, FileRemovalReason(true, PlaceElsewhere, nullptr));
    EXPECT_NE(std::string(""), OwnReasonText(ReasonSystemFile));
    EXPECT_NE(std::string(""), OwnReasonText(ReasonHive));
}

TEST(OwnershipFiles, TheReaderClassesFileLinesByTheirCanonicalFolder)
{
    FreshRun();
    TableHost.WindowsFolder = "C:\\Windows Folder";
    TableHost.SystemFolder = "C:\\Windows Folder\\System32";
    TableHost.ShortNames = {{"C:\\Windows Folder", "C:\\WINDOW~1"}};
    ASSERT_EQ(0,
              ReadText(LogText({LOG_HEAD, "File Copy: C:\\Windows Folder\\System32\\\\USER32.DLL",
                                "File Copy: C:/Windows Folder/System32/GDI32.DLL",
                                "File Copy: C:\\WINDOW~1\\SYSWOW64\\K32.DLL", "Non-System File:",
                                "File Copy: C:\\Windows Folder\\SYSTEM32\\DRIVERS\\D.SYS",
                                "File Copy: C:\\Windows Folder\\System32\\SPOOL\\S.DLL",
                                "File Copy: C:\\APP\\A.EXE"})));
    EXPECT_EQ(4, SystemFileList.Count);
    EXPECT_EQ(2, FileList.Count) << "a folder below a system folder is no system folder";
    for (int32_t i = 0; i < SystemFileList.Count; i++) {
        FileRecord* f = At<FileRecord>(SystemFileList, i);
        EXPECT_EQ(i == 3 ? 1 : 0, f->Selected) << f->Path;
    }
    EXPECT_EQ(std::string("C:\\Windows Folder\\System32\\\\USER32.DLL"),
              At<FileRecord>(SystemFileList, 0)->Path)
        << "the record keeps the path as the log gives it";
}

} // namespace
