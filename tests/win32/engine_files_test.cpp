// File and folder removal and the deferred operations, on real files.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/system_facts.h"
#include "engine/deferred.h"
#include "engine/files.h"
#include "engine/journal.h"
#include "engine/ownership_system.h"
#include "log/reader.h"
#include "tests/win32/test_support.h"

class EngineFiles : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetFileFlags();
        GetModuleFileNameA(nullptr, ModulePath, sizeof(ModulePath));
    }
};

// The folder is refused (is, or holds, a kept folder; or cannot be told).
static bool Refused(const std::string& dir)
{
    return FolderOwnership(dir.c_str(), false) != OwnedByLog;
}

TEST_F(EngineFiles, HelpFileTakesItsIndexFilesAlong)
{
    std::string dir = ScratchFolder("helpfiles");
    for (const char* name : {"HELP.HLP", "HELP.GID", "HELP.FTS", "README.TXT", "README.GID"})
        ASSERT_TRUE(WriteFileText(dir + "\\" + name, name));
    SetFileAttributesA((dir + "\\HELP.HLP").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(OpRemoved, RemoveOrRestoreFile((dir + "\\HELP.HLP").c_str(), "", 0).outcome);
    EXPECT_EQ(OpRemoved, RemoveOrRestoreFile((dir + "\\README.TXT").c_str(), "", 0).outcome);

    EXPECT_FALSE(PathExists(dir + "\\HELP.HLP"));
    EXPECT_FALSE(PathExists(dir + "\\HELP.GID"));
    EXPECT_FALSE(PathExists(dir + "\\HELP.FTS"));
    EXPECT_FALSE(PathExists(dir + "\\README.TXT"));
    EXPECT_TRUE(PathExists(dir + "\\README.GID")) << "only help files have index files";
    EXPECT_EQ(0, DeferredSoFar().restartNeeded) << "nothing was in use";
}

TEST_F(EngineFiles, RestoreWithBackupPutsTheOldFileBack)
{
    std::string dir = ScratchFolder("restore");
    ASSERT_TRUE(WriteFileText(dir + "\\APP.DLL", "new version"));
    ASSERT_TRUE(WriteFileText(dir + "\\APP.BAK", "old version"));
    EXPECT_EQ(
        OpRestored,
        RemoveOrRestoreFile((dir + "\\APP.DLL").c_str(), (dir + "\\APP.BAK").c_str(), 1).outcome);
    EXPECT_EQ("old version", ReadFileText(dir + "\\APP.DLL"));
    EXPECT_FALSE(PathExists(dir + "\\APP.BAK")) << "the backup is consumed";
}

TEST_F(EngineFiles, WildcardDeletesMatchingFilesButNotFolders)
{
    std::string dir = ScratchFolder("wildcard");
    ASSERT_TRUE(WriteFileText(dir + "\\A.TMP", "a"));
    ASSERT_TRUE(WriteFileText(dir + "\\B.TXT", "b"));
    CreateDirectoryA((dir + "\\SUB.TMP").c_str(), nullptr);
    EXPECT_EQ(OpRemoved, RemoveOrRestoreFile((dir + "\\*.TMP").c_str(), "", 0).outcome);
    EXPECT_FALSE(PathExists(dir + "\\A.TMP"));
    EXPECT_TRUE(PathExists(dir + "\\B.TXT"));
    EXPECT_TRUE(PathExists(dir + "\\SUB.TMP"));
    EXPECT_EQ(OpRemoved, RemoveOrRestoreFile((dir + "\\*.*").c_str(), "", 0).outcome);
    EXPECT_FALSE(PathExists(dir + "\\B.TXT"));
    EXPECT_TRUE(PathExists(dir + "\\SUB.TMP")) << "*.* leaves subfolders";
}

TEST_F(EngineFiles, WildcardsInProtectedFoldersAreRefused)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string marker = std::string(windows) + "\\KETRA.KTRTEST";
    ASSERT_TRUE(WriteFileText(marker, "x"));
    // Not only "*.*": any pattern in the Windows folder is refused.
    EXPECT_EQ(OpKeptNotOwned,
              RemoveOrRestoreFile((std::string(windows) + "\\*.KTRTEST").c_str(), "", 0).outcome);
    EXPECT_TRUE(PathExists(marker));
    EXPECT_EQ(OpKeptNotOwned, RemoveOrRestoreFile("C:\\*.KTRTEST", "", 0).outcome);
    DeleteFileA(marker.c_str());
}

TEST_F(EngineFiles, TreeRemovalWholeAndEmptyOnly)
{
    std::string dir = ScratchFolder("tree");
    CreateDirectoryA((dir + "\\A").c_str(), nullptr);
    CreateDirectoryA((dir + "\\A\\EMPTY").c_str(), nullptr);
    CreateDirectoryA((dir + "\\B").c_str(), nullptr);
    CreateDirectoryA((dir + "\\.HIDDEN").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(dir + "\\B\\KEEP.TXT", "k"));

    RemoveDirectoryTree((dir + "\\A").c_str(), 0);
    EXPECT_FALSE(PathExists(dir + "\\A")) << "empty folders go from the bottom up";
    RemoveDirectoryTree(dir.c_str(), 0);
    EXPECT_TRUE(PathExists(dir + "\\B\\KEEP.TXT"));
    EXPECT_TRUE(PathExists(dir + "\\.HIDDEN")) << "folders starting with '.' are not entered";

    SetFileAttributesA((dir + "\\B\\KEEP.TXT").c_str(), FILE_ATTRIBUTE_READONLY);
    RemoveDirectoryA((dir + "\\.HIDDEN").c_str());
    RemoveDirectoryTree(dir.c_str(), 1);
    EXPECT_FALSE(PathExists(dir)) << "whole removal takes read-only files too";
}

TEST_F(EngineFiles, TreeRemovalWithPatternAtEveryDepth)
{
    std::string dir = ScratchFolder("pattern");
    CreateDirectoryA((dir + "\\SUB").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(dir + "\\X.TMP", "x"));
    ASSERT_TRUE(WriteFileText(dir + "\\SUB\\Y.TMP", "y"));
    ASSERT_TRUE(WriteFileText(dir + "\\KEEP.TXT", "k"));
    RemoveDirectoryTree((dir + "\\*.TMP").c_str(), 1);
    EXPECT_FALSE(PathExists(dir + "\\X.TMP"));
    EXPECT_FALSE(PathExists(dir + "\\SUB")) << "emptied subfolder goes";
    EXPECT_TRUE(PathExists(dir + "\\KEEP.TXT"));
}

// Opened the way a folder listing opens it: others may read, not delete.
static HANDLE HoldFolder(const std::string& dir)
{
    return CreateFileA(dir.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

TEST_F(EngineFiles, FolderHeldBrieflyByAReaderIsRemovedOnceReleased)
{
    std::string dir = ScratchFolder("heldbriefly");
    HANDLE held = HoldFolder(dir);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_FALSE(RemoveDirectoryA(dir.c_str())) << "an open folder is refused";
    ASSERT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    std::thread reader([held]() {
        Sleep(300);
        CloseHandle(held);
    });
    OpResult removed = RemoveEmptyDirectory(dir.c_str());
    reader.join();
    EXPECT_EQ(OpRemoved, removed.outcome);
    EXPECT_FALSE(PathExists(dir)) << "the folder goes once the reader lets go";
}

TEST_F(EngineFiles, FolderHeldOpenForGoodIsLeftAndReported)
{
    std::string dir = ScratchFolder("heldforgood");
    HANDLE held = HoldFolder(dir);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    OpResult refused = RemoveEmptyDirectory(dir.c_str());
    EXPECT_EQ(OpFailed, refused.outcome);
    EXPECT_EQ((uint32_t)ERROR_SHARING_VIOLATION, refused.error);
    EXPECT_TRUE(PathExists(dir));
    CloseHandle(held);
    EXPECT_EQ(OpRemoved, RemoveEmptyDirectory(dir.c_str()).outcome);
}

TEST_F(EngineFiles, ProtectedFoldersAreNeverRemoved)
{
    char windows[MAX_PATH];
    char system[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    GetSystemDirectoryA(system, sizeof(system));
    EXPECT_TRUE(Refused("C:\\"));
    EXPECT_TRUE(Refused("C:"));
    EXPECT_TRUE(Refused(windows));
    EXPECT_TRUE(Refused(system));
    EXPECT_EQ(ReasonForeignShare, FolderOwnership("\\\\server\\share", false));
    EXPECT_EQ(ReasonForeignShare, FolderOwnership("\\\\server\\share\\app", false))
        << "the log lies on no share";
    EXPECT_FALSE(Refused(std::string(windows) + "\\KTRAPP")) << "its empty folders may go";
    EXPECT_EQ(ReasonOutsideProduct,
              FolderOwnership((std::string(windows) + "\\KTRAPP").c_str(), true))
        << "but not everything in it: the log did not make it";

    // The user's own shell folders are never removed wholesale.
    HKEY key;
    char desktop[MAX_PATH] = {0};
    DWORD size = sizeof(desktop);
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            0, KEY_READ, &key));
    LONG status = RegQueryValueExA(key, "Desktop", nullptr, nullptr, (BYTE*)desktop, &size);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, status);
    std::string keep = std::string(desktop) + "\\KTRKEEP.TXT";
    ASSERT_TRUE(WriteFileText(keep, "mine"));
    EXPECT_TRUE(Refused(desktop));
    RemoveDirectoryTree(desktop, 1);
    EXPECT_TRUE(PathExists(keep)) << "expected the Desktop folder to survive";
    DeleteFileA(keep.c_str());
}

// Reads a text value of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion.
static std::string CurrentVersionValue(const char* name)
{
    char value[MAX_PATH] = {0};
    DWORD size = sizeof(value) - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)value, &size);
    RegCloseKey(key);
    return value;
}

TEST_F(EngineFiles, ProtectedFoldersAreRecognisedInEverySpelling)
{
    char windows[MAX_PATH];
    char system[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    GetSystemDirectoryA(system, sizeof(system));
    std::string win = windows;
    std::string programFiles = CurrentVersionValue("ProgramFilesDir");
    ASSERT_FALSE(programFiles.empty());
    std::string shortProgramFiles = ShortPath(programFiles);
    ASSERT_NE(programFiles, shortProgramFiles) << "expected a short name to test with";
    std::string forward = programFiles;
    for (char& c : forward)
        if (c == '\\')
            c = '/';
    std::string windowsName = win.substr(win.rfind('\\') + 1);

    ASSERT_EQ(0, SetCurrentDirectoryA("C:\\ktrtest") ? 0 : 1);
    const std::string spellings[] = {
        win + "\\.",
        win + "\\",
        win + "\\\\",
        win + "\\system32\\..",
        std::string(system) + "\\..\\..\\" + windowsName,
        "C:\\ktrtest\\..\\" + windowsName,
        "..\\" + windowsName,
        "C:\\\\" + windowsName,
        win + ".",
        win + " .",
        std::string(system) + "\\.",
        win + "\\SysWOW64",
        win + "\\Sysnative",
        programFiles + "\\.",
        programFiles + "\\",
        shortProgramFiles,
        shortProgramFiles + "\\.",
        forward,
        forward + "/",
        programFiles + "\\KTRAPP\\..",
        "C:\\.",
        "C:\\ktrtest\\..",
        "C:/",
        "\\\\?\\C:\\ktrtest\\app",
    };
    for (const std::string& dir : spellings)
        EXPECT_TRUE(Refused(dir)) << "expected protected: " << dir;

    // Every Program Files and Common Files folder of a 64-bit system, from
    // whichever view this program reads.
    for (const char* name : {"ProgramFilesDir", "ProgramW6432Dir", "ProgramFilesDir (x86)",
                             "CommonFilesDir", "CommonFilesDir (x86)"}) {
        std::string value = CurrentVersionValue(name);
        if (!value.empty())
            EXPECT_TRUE(Refused(value)) << name << " " << value;
    }
    EXPECT_FALSE(Refused(programFiles + "\\KTRAPP"));
    EXPECT_FALSE(Refused(shortProgramFiles + "\\KTRAPP"));
    EXPECT_FALSE(Refused("C:\\ktrtest\\app\\..\\other"));

    // A tree spelled so is not touched.
    std::string keep = programFiles + "\\KTRKEEP.TXT";
    std::string keepInside = programFiles + "\\KTRKEEPDIR\\KEEP.TXT";
    CreateDirectoryA((programFiles + "\\KTRKEEPDIR").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(keep, "mine"));
    ASSERT_TRUE(WriteFileText(keepInside, "mine"));
    RemoveDirectoryTree((shortProgramFiles + "\\.").c_str(), 1);
    RemoveDirectoryTree((forward + "/").c_str(), 1);
    RemoveDirectoryTree(
        (std::string(system) + "\\..\\..\\" + windowsName + "\\..\\" + programFiles.substr(3))
            .c_str(),
        1);
    EXPECT_TRUE(PathExists(keep));
    EXPECT_TRUE(PathExists(keepInside));
    EXPECT_EQ(OpKeptNotOwned,
              RemoveOrRestoreFile((win + "\\system32\\..\\*.*").c_str(), "", 0).outcome);
    EXPECT_EQ(OpKeptNotOwned,
              RemoveOrRestoreFile((std::string(system) + "\\.\\*.DLL").c_str(), "", 0).outcome);
    EXPECT_TRUE(PathExists(std::string(system) + "\\kernel32.dll"));
    DeleteFileA(keep.c_str());
    DeleteFileA(keepInside.c_str());
    RemoveDirectoryA((programFiles + "\\KTRKEEPDIR").c_str());
}

TEST_F(EngineFiles, FileEntryNamingAFolderTouchesNothing)
{
    std::string dir = ScratchFolder("namesfolder");
    std::string sub = dir + "\\SUB";
    CreateDirectoryA(sub.c_str(), nullptr);
    SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    for (int32_t allowed : {0, 1}) {
        DeleteInUseFiles = allowed;
        for (const std::string& path : {sub, sub + "\\.", dir + "\\SUB\\..\\SUB"}) {
            OpResult r = RemoveOrRestoreFile(path.c_str(), "", 0);
            EXPECT_EQ(OpMissing, r.outcome) << path << " allowed " << allowed;
        }
    }
    DWORD attributes = GetFileAttributesA(sub.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM) << "the folder's attributes stay";
    EXPECT_EQ(0, DeferredSoFar().restartNeeded) << "nothing waits for a restart";
    EXPECT_EQ("", PendingRenames());
    SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EngineFiles, InUseFileIsDeletedAtRestartOnlyWhenAllowed)
{
    std::string dir = ScratchFolder("inuse");
    std::string path = dir + "\\BUSY.DLL";
    ASSERT_TRUE(WriteFileText(path, "busy"));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    DeleteInUseFiles = 0;
    OpResult refused = DeleteFileOrDefer(path.c_str());
    EXPECT_EQ(OpFailed, refused.outcome);
    EXPECT_NE(0u, refused.error) << "the system's reason goes with a failure";
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    EXPECT_EQ("", PendingRenames());

    DeleteInUseFiles = 1;
    EXPECT_EQ(OpDeferred, DeleteFileOrDefer(path.c_str()).outcome);
    EXPECT_EQ(1, DeferredSoFar().restartNeeded);
    std::string pending = PendingRenames();
    EXPECT_NE(std::string::npos, pending.find("BUSY.DLL\n\n")) << "got: " << pending;
    CloseHandle(held);
    ClearPendingRenames();

    ResetDeferredWork();
    EXPECT_EQ(OpMissing, DeleteFileOrDefer((dir + "\\MISSING.DLL").c_str()).outcome);
    EXPECT_EQ(0, DeferredSoFar().restartNeeded) << "a missing file schedules nothing";
}

// A tree whose files all resist (held open, and the log gives no leave to
// wait for the restart) is given up after a bounded number of failures.
TEST_F(EngineFiles, ResistingTreeIsLeftAfterABoundedNumberOfFailures)
{
    std::string dir = ScratchFolder("resisting");
    std::vector<HANDLE> held;
    for (int sub = 0; sub < 4; sub++) {
        std::string folder = dir + "\\S" + std::to_string(sub);
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < 10; i++) {
            std::string file = folder + "\\F" + std::to_string(i) + ".DAT";
            ASSERT_TRUE(WriteFileText(file, "held"));
            held.push_back(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            ASSERT_NE(INVALID_HANDLE_VALUE, held.back());
        }
    }
    JournalReset();
    DeleteInUseFiles = 0;
    OpResult result = RemoveDirectoryTree(dir.c_str(), 1);
    EXPECT_EQ(OpFailed, result.outcome);
    EXPECT_NE(0u, result.error);
    // Sixteen files, then one line for the tree; not forty.
    EXPECT_EQ(17, JournalFailedOperations());
    for (HANDLE h : held)
        CloseHandle(h);
    JournalReset();
    DeleteInUseFiles = 1;
    EXPECT_EQ(OpRemoved, RemoveDirectoryTree(dir.c_str(), 1).outcome) << "once let go, it goes";
}

TEST_F(EngineFiles, OwnModuleIsLeftToTheCleanupStage)
{
    EXPECT_EQ(OpDeferred, DeleteFileOrDefer(ModulePath).outcome);
    EXPECT_EQ(1, DeferredSoFar().selfRemovalPending);
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    EXPECT_EQ("", PendingRenames());
}

TEST_F(EngineFiles, WininitLinesOnTheOldPlatform)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string wininit = std::string(windows) + "\\WININIT.INI";
    DeleteFileA(wininit.c_str());
    PlatformKind = Platform95;

    std::string dir = ScratchFolder("Long Folder Name");
    std::string path = dir + "\\In Use Library.dll";
    ASSERT_TRUE(WriteFileText(path, "busy"));
    std::string shortForm = ShortPath(path);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(OpDeferred, DeleteFileOrDefer(path.c_str()).outcome);
    EXPECT_EQ(OpDeferred, DeleteFileOrDefer(path.c_str()).outcome);
    CloseHandle(held);
    EXPECT_EQ("[rename]\r\nNUL=" + shortForm + "\r\nNUL=" + shortForm + "\r\n",
              ReadFileText(wininit));
    EXPECT_EQ("", PendingRenames()) << "nothing goes through MoveFileEx on this platform";
    DeleteFileA(wininit.c_str());
}

TEST_F(EngineFiles, ReplacingAnInUseFileWaitsForTheRestartInOneStep)
{
    std::string dir = ScratchFolder("replace");
    std::string target = dir + "\\APP.DLL";
    ASSERT_TRUE(WriteFileText(target, "new"));
    ASSERT_TRUE(WriteFileText(dir + "\\APP.BAK", "old"));
    ASSERT_TRUE(WriteFileText(dir + "\\~KTU0000.TMP", "taken"));
    TempNameCounter = 0;
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(OpDeferred, RestoreFileOrDefer((dir + "\\APP.BAK").c_str(), target.c_str()).outcome);
    CloseHandle(held);
    EXPECT_EQ(2, TempNameCounter);
    EXPECT_EQ("old", ReadFileText(dir + "\\~KTU0001.TMP"));
    EXPECT_EQ("new", ReadFileText(target)) << "the installed file stays until the restart";
    EXPECT_FALSE(PathExists(dir + "\\APP.BAK"));
    EXPECT_EQ(1, DeferredSoFar().restartNeeded);
    // The copy replaces the file in one operation: never a deletion first,
    // which would leave nothing if the rename then failed.
    EXPECT_EQ("\\??\\" + dir + "\\~KTU0001.TMP\n!\\??\\" + target + "\n\n", PendingRenames());
    ClearPendingRenames();
}
