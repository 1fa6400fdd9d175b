// What a file deletion or restore never takes, whatever the log says, and
// what it leaves to the restart: on real files.
#include <gtest/gtest.h>

#include <string>

#include "app/system_facts.h"
#include "engine/deferred.h"
#include "engine/files.h"
#include "engine/journal.h"
#include "engine/ownership.h"
#include "engine/ownership_files_system.h"
#include "log/reader.h"
#include "tests/win32/test_support.h"

class FileGuards : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetFileFlags();
        JournalReset();
        GetModuleFileNameA(nullptr, ModulePath, sizeof(ModulePath));
    }
    void TearDown() override
    {
        JournalReset();
        ClearPendingRenames();
    }
};

static std::string SystemDirectory()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    return system;
}

static std::string Slashed(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

TEST_F(FileGuards, SystemModulesAndHivesStayInEverySpelling)
{
    std::string system = SystemDirectory();
    // Modules this process runs, as a damaged log may spell them.
    const std::string modules[] = {system + "\\\\USER32.DLL", Slashed(system) + "/GDI32.DLL",
                                   system + "\\.\\kernel32.dll.",
                                   system + "\\drivers\\..\\USER32.DLL"};
    for (int32_t dryRun : {1, 0}) {
        JournalBegin("", "", dryRun);
        for (const std::string& path : modules) {
            OpResult r = ClearAndDeleteOrDefer(path.c_str());
            EXPECT_EQ(OpKeptNotOwned, r.outcome) << path << " dry run " << dryRun;
            EXPECT_EQ((uint32_t)ReasonSystemFile, r.error) << path;
            EXPECT_TRUE(PathExists(path)) << path;
        }
    }
    JournalReset();

    // A hive goes by no name: the profile's, wherever it lies.
    std::string dir = ScratchFolder("hives");
    for (const char* name : {"NTUSER.DAT", "ntuser.dat.LOG1", "UsrClass.dat"}) {
        std::string hive = dir + "\\" + name;
        ASSERT_TRUE(WriteFileText(hive, "hive"));
        OpResult r = RemoveOrRestoreFile(hive.c_str(), "", 0);
        EXPECT_EQ(OpKeptNotOwned, r.outcome) << name;
        EXPECT_EQ((uint32_t)ReasonHive, r.error) << name;
        EXPECT_TRUE(PathExists(hive)) << name;
    }

    // The product's own file in the System folder goes as the log says.
    std::string own = system + "\\KTRGUARD.DLL";
    ASSERT_TRUE(WriteFileText(own, "product's"));
    EXPECT_EQ(OpRemoved, ClearAndDeleteOrDefer(own.c_str()).outcome);
    EXPECT_FALSE(PathExists(own));
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
}

TEST_F(FileGuards, RestoreKeepsTheTargetWhenTheBackupCannotBeRead)
{
    std::string dir = ScratchFolder("unreadable");
    std::string target = dir + "\\APP.DLL";
    std::string backup = dir + "\\APP.BAK";
    ASSERT_TRUE(WriteFileText(target, "installed"));
    ASSERT_TRUE(WriteFileText(backup, "old"));
    // Held open by another with no sharing: it exists, but cannot be read.
    HANDLE held = CreateFileA(backup.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    for (int32_t dryRun : {1, 0}) {
        JournalBegin("", "", dryRun);
        OpResult r = RemoveOrRestoreFile(target.c_str(), backup.c_str(), 1);
        EXPECT_EQ(OpFailed, r.outcome) << "dry run " << dryRun;
        EXPECT_EQ((uint32_t)ERROR_SHARING_VIOLATION, r.error);
        EXPECT_EQ("installed", ReadFileText(target)) << "the installed file stays";
    }
    CloseHandle(held);
    EXPECT_EQ("old", ReadFileText(backup));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\~KTU*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "no copy is left behind: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    EXPECT_EQ("", PendingRenames());
}

TEST_F(FileGuards, ABackupOutsideTheProductsFoldersIsCopiedAndKept)
{
    std::string dir = ScratchFolder("outsidebackup");
    std::string target = dir + "\\APP.DLL";
    ASSERT_TRUE(WriteFileText(target, "installed"));
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    // Someone's document, outside the log's folder and the folders it made.
    CreateDirectoryA("C:\\ktrdocs", nullptr);
    std::string document = "C:\\ktrdocs\\Letter.txt";
    ASSERT_TRUE(WriteFileText(document, "Dear reader"));
    OpResult r = RemoveOrRestoreFile(target.c_str(), document.c_str(), 1);
    EXPECT_EQ(OpRestored, r.outcome) << "a read-only target is replaced now";
    EXPECT_EQ("Dear reader", ReadFileText(target));
    EXPECT_EQ("Dear reader", ReadFileText(document)) << "expected the document kept";
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    DeleteFileA(document.c_str());
    RemoveDirectoryA("C:\\ktrdocs");

    // A restore over a file the system runs is refused, and its backup stays.
    std::string backup = dir + "\\USER32.BAK";
    ASSERT_TRUE(WriteFileText(backup, "not a system file"));
    std::string module = SystemDirectory() + "\\\\USER32.DLL";
    r = RemoveOrRestoreFile(module.c_str(), backup.c_str(), 1);
    EXPECT_EQ(OpKeptNotOwned, r.outcome);
    EXPECT_TRUE(PathExists(backup));
    EXPECT_NE("not a system file", ReadFileText(module));
}

// The KHOLD test tool, copied to path and started from there: a running
// program's image, held until stop is made.
static HANDLE StartImage(const std::string& path, const std::string& stop, const std::string& held)
{
    std::string tool = BuildToolPath("", "KHOLD.EXE");
    if (!CopyFileA(tool.c_str(), path.c_str(), FALSE))
        return nullptr;
    std::string command = "\"" + path + "\" \"" + stop + "\" \"" + held + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    for (int i = 0; i < 600 && !PathExists(stop + ".ready"); i++)
        Sleep(100);
    return process.hProcess;
}

TEST_F(FileGuards, OnlyAFileInUseWaitsForTheRestart)
{
    std::string dir = ScratchFolder("inuseonly");
    std::string image = dir + "\\RUNNING.EXE";
    std::string stop = dir + "\\STOP";
    ASSERT_TRUE(WriteFileText(dir + "\\HELD.TXT", "held"));
    HANDLE running = StartImage(image, stop, dir + "\\HELD.TXT");
    ASSERT_NE(nullptr, running) << "the image did not start";

    // A running program's image: the system says "access denied" for it
    // too, yet it is in use and goes at the restart.
    DeleteInUseFiles = 0;
    OpResult r = ClearAndDeleteOrDefer(image.c_str());
    EXPECT_EQ(OpFailed, r.outcome);
    DeleteInUseFiles = 1;
    EXPECT_EQ(OpDeferred, ClearAndDeleteOrDefer(image.c_str()).outcome);
    EXPECT_EQ(1, DeferredSoFar().restartNeeded);
    EXPECT_NE(std::string::npos, PendingRenames().find("RUNNING.EXE\n\n")) << PendingRenames();
    WriteFileText(stop, "");
    WaitForSingleObject(running, 30000);
    CloseHandle(running);
    ClearPendingRenames();
    ResetDeferredWork();

    // A file the system refuses for what it is, not for being in use: it
    // is a failure now, never a deletion at the restart with the system's
    // rights. (A read-only file, its attributes left as they are.)
    std::string kept = dir + "\\KEPT.TXT";
    ASSERT_TRUE(WriteFileText(kept, "kept"));
    SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_READONLY);
    for (int32_t dryRun : {1, 0}) {
        JournalBegin("", "", dryRun);
        r = DeleteFileOrDefer(kept.c_str());
        EXPECT_EQ(OpFailed, r.outcome) << "dry run " << dryRun;
        EXPECT_EQ((uint32_t)ERROR_ACCESS_DENIED, r.error);
    }
    EXPECT_TRUE(PathExists(kept));
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
    EXPECT_EQ("", PendingRenames());
    SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileGuards, AFolderThatStaysKeepsItsAttributes)
{
    std::string dir = ScratchFolder("folderattributes");
    std::string kept = dir + "\\KEPT";
    std::string empty = dir + "\\EMPTY";
    ASSERT_TRUE(CreateDirectoryA(kept.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(kept + "\\USER.TXT", "the user's"));
    const DWORD marked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    SetFileAttributesA(kept.c_str(), marked);
    SetFileAttributesA(empty.c_str(), marked);
    DWORD before = GetFileAttributesA(kept.c_str());
    ASSERT_TRUE(before & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(OpKeptUserData, RemoveEmptyDirectory(kept.c_str()).outcome);
    EXPECT_EQ(before, GetFileAttributesA(kept.c_str())) << "its attributes stay";
    EXPECT_EQ(OpRemoved, RemoveEmptyDirectory(empty.c_str()).outcome) << "read-only, yet empty";
    EXPECT_FALSE(PathExists(empty));
    SetFileAttributesA(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileGuards, OnTheOldPlatformTheTargetStepsAsideAndComesBackIfNeeded)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string wininit = std::string(windows) + "\\WININIT.INI";
    DeleteFileA(wininit.c_str());
    PlatformKind = Platform95;
    std::string dir = ScratchFolder("oldrestore");
    std::string target = dir + "\\APP.DLL";
    ASSERT_TRUE(WriteFileText(target, "installed"));
    ASSERT_TRUE(WriteFileText(dir + "\\APP.BAK", "old"));
    EXPECT_EQ(OpRestored, RestoreFileOrDefer((dir + "\\APP.BAK").c_str(), target.c_str()).outcome);
    EXPECT_EQ("old", ReadFileText(target));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\~KTU*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "nothing is left aside: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);

    // In use: the system's start-up puts the copy in its place, in one line.
    ASSERT_TRUE(WriteFileText(dir + "\\APP.BAK", "older"));
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(OpDeferred, RestoreFileOrDefer((dir + "\\APP.BAK").c_str(), target.c_str()).outcome);
    CloseHandle(held);
    EXPECT_EQ("old", ReadFileText(target)) << "the file stays until the restart";
    std::string lines = ReadFileText(wininit);
    EXPECT_NE(std::string::npos, lines.find("[rename]")) << lines;
    EXPECT_NE(std::string::npos, lines.find(ShortPath(target) + "=")) << lines;
    EXPECT_EQ(std::string::npos, lines.find("NUL="))
        << "the file is never deleted first: " << lines;
    DeleteFileA(wininit.c_str());
}
