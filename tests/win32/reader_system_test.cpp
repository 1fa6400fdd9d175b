// The log reader against the real system: files that are there or not, the
// shared-component counters, the system folders and the short and long
// forms of stored paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "app/system_facts.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "log/reader_host_win32.h"
#include "tests/win32/test_support.h"

namespace
{

std::string RefusalSeen;

void RecordRefusal(const char* text, const char* caption)
{
    RefusalSeen = text;
}

// The real answers, but a refusal is recorded instead of shown.
ReaderHost QuietHost()
{
    ReaderHost host = Win32ReaderHost;
    host.ShowRefusal = RecordRefusal;
    return host;
}

class ReaderSystem : public ::testing::Test
{
  protected:
    std::string dir;

    void SetUp() override
    {
        ResetRun();
        RefusalSeen.clear();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        dir = std::string(temp) + "Reader Test Folder " + std::to_string(GetTickCount()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir;
    }

    void MakeFile(const std::string& path, const std::string& text = "x")
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
        DWORD written = 0;
        WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr);
        CloseHandle(h);
    }

    int Read(const std::string& body)
    {
        std::string log = "*** Installation log\r\nTitle: Test Installation\r\n" + body;
        MakeFile(dir + "\\INSTALL.LOG", log);
        ReaderHost host = QuietHost();
        return ReadInstallLogWith(&host, (dir + "\\INSTALL.LOG").c_str(), ApplicationFolder);
    }
};

FileRecord* FileAt(const ItemList& list, int i)
{
    return (FileRecord*)list.Items[i];
}

TEST_F(ReaderSystem, MissingFilesGoToTheirOwnList)
{
    MakeFile(dir + "\\HERE.EXE");
    ASSERT_EQ(0, Read("File Copy: " + dir + "\\HERE.EXE\r\n" + "File Copy: " + dir +
                      "\\GONE.EXE|01-01-2000\r\n"));
    ASSERT_EQ(1, FileList.Count);
    EXPECT_EQ(dir + "\\HERE.EXE", FileAt(FileList, 0)->Path);
    ASSERT_EQ(1, MissingFileList.Count);
    EXPECT_EQ(dir + "\\GONE.EXE", FileAt(MissingFileList, 0)->Path);
    EXPECT_STREQ("01-01-2000", FileAt(MissingFileList, 0)->RepairData);
}

TEST_F(ReaderSystem, OverwrittenSharedDllCountsAsCopy)
{
    std::string shared = dir + "\\SHARED.DLL";
    std::string plain = dir + "\\PLAIN.DLL";
    MakeFile(shared);
    MakeFile(plain);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    DWORD count = 1;
    RegSetValueExA(key, shared.c_str(), 0, REG_DWORD, (BYTE*)&count, sizeof(count));
    NewShell = 1;
    int result = Read("File Overwrite: " + shared + "\r\nFile Overwrite: " + plain + "\r\n");
    RegDeleteValueA(key, shared.c_str());
    RegCloseKey(key);
    ASSERT_EQ(0, result);
    ASSERT_EQ(1, FileList.Count) << "an overwrite without counter or backup is not recorded";
    EXPECT_EQ(shared, FileAt(FileList, 0)->Path);
    EXPECT_EQ(1, FileAt(FileList, 0)->NewFile);
}

TEST_F(ReaderSystem, FilesOfTheSystemFoldersGoToTheSystemList)
{
    char system[MAX_PATH];
    char windows[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    GetWindowsDirectoryA(windows, sizeof(windows));
    // Files that exist there already, so nothing is written to the system.
    std::string inSystem = std::string(system) + "\\kernel32.dll";
    std::string inWindows = std::string(windows) + "\\win.ini";
    ASSERT_EQ(0, Read("File Copy: " + inSystem + "\r\nFile Copy: " + inWindows +
                      "\r\nFile Copy: " + std::string(system) + "\\drivers\\etc\\hosts\r\n"));
    EXPECT_STREQ(system, SystemFolder);
    ASSERT_EQ(2, SystemFileList.Count);
    EXPECT_EQ(inSystem, FileAt(SystemFileList, 0)->Path);
    EXPECT_EQ(inWindows, FileAt(SystemFileList, 1)->Path);
    EXPECT_EQ(1, FileList.Count) << "a subfolder of the System folder is not a system folder";
}

TEST_F(ReaderSystem, StoredPathsTakeTheirShortAndLongForms)
{
    std::string sub = dir + "\\Long Folder Name";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    std::string file = sub + "\\Long File Name.dll";
    MakeFile(file);
    char shortFile[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(file.c_str(), shortFile, sizeof(shortFile)));
    char shortDir[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(dir.c_str(), shortDir, sizeof(shortDir)));
    ASSERT_NE(std::string(shortFile), file) << "the file system gives no short names";

    // The file is logged in its short form; self-registration names it long.
    ASSERT_EQ(0, Read(std::string("File Copy: ") + shortFile + "\r\nSelf-Register: " + file +
                      "\r\nMade Dir: " + sub + "\r\n"));
    ASSERT_EQ(1, FileList.Count);
    EXPECT_EQ(1, FileAt(FileList, 0)->RegisterInstallation);
    EXPECT_EQ(std::string(shortDir) + "\\", ApplicationFolder);
    // The log's own folder entry is kept in long form.
    ASSERT_GE(FolderList.Count, 1);
    EXPECT_EQ(dir + "\\", ((FolderItem*)FolderList.Items[0])->Path);
}

TEST_F(ReaderSystem, UnreadableLogIsRefused)
{
    ReaderHost host = QuietHost();
    EXPECT_EQ(1, ReadInstallLogWith(&host, (dir + "\\NONE.LOG").c_str(), ApplicationFolder));
    MakeFile(dir + "\\UTF16.LOG", std::string("\xFF\xFE*\0*\0*\0 \0", 10));
    EXPECT_EQ(1, ReadInstallLogWith(&host, (dir + "\\UTF16.LOG").c_str(), ApplicationFolder));
}

// The program's entry to the reader: the log's title names the main window
// unless the command line gave one, and a silent run's refusal shows nothing
// (a message box would wait for a click that never comes).
TEST_F(ReaderSystem, TitleGivenOnTheCommandLineKeepsTheCaptionAndSilentRefusalsShowNothing)
{
    std::string log = dir + "\\INSTALL.LOG";
    MakeFile(log, "*** Installation log\r\nTitle: Caption Test Installation\r\n");
    HWND saved = MainWindow;
    MainWindow = CreateWindowA("STATIC", "Given", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(nullptr, MainWindow);
    char caption[256];
    ASSERT_EQ(0, ReadInstallLog(log.c_str(), ApplicationFolder, 1, 1));
    GetWindowTextA(MainWindow, caption, sizeof(caption));
    EXPECT_STREQ("Given", caption);
    ASSERT_EQ(0, ReadInstallLog(log.c_str(), ApplicationFolder, 1, 0));
    GetWindowTextA(MainWindow, caption, sizeof(caption));
    EXPECT_STREQ(ProductTitle, caption);
    EXPECT_STRNE("Given", caption);
    // Refused silently: returns at once, with no window left waiting.
    EXPECT_EQ(1, ReadInstallLog((dir + "\\NONE.LOG").c_str(), ApplicationFolder, 1, 0));
    DestroyWindow(MainWindow);
    MainWindow = saved;
}

} // namespace
