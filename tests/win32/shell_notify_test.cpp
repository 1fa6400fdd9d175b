// Shell notices go through the worker thread: every one arrives, in order,
// with its own path, even when the deletions run far ahead of the shell.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_state.h"
#include "app/startup.h"
#include "engine/engine_env.h"
#include "engine/files.h"

static std::vector<std::string> Heard;
static std::vector<long> HeardEvents;
static DWORD HeardOnThread;

static void WINAPI RecordNotice(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    if (flags != SHCNF_PATHA || item2)
        return;
    Sleep(Heard.size() % 50 == 0 ? 20 : 0); // a slow shell now and then
    Heard.push_back((const char*)item1);
    HeardEvents.push_back(event);
    HeardOnThread = GetCurrentThreadId();
}

TEST(ShellNotices, EveryNoticeArrivesInOrderAfterTheFlush)
{
    ShChangeNotifyFunc saved = ShChangeNotifyProc;
    int32_t savedShell = NewShell;
    ShChangeNotifyProc = RecordNotice;
    NewShell = 1;
    Heard.clear();
    HeardEvents.clear();

    // More than the ring holds, so the poster has to wait for the worker.
    std::vector<std::string> sent;
    for (int i = 0; i < 1000; i++) {
        sent.push_back("C:\\NOTICE\\D" + std::to_string(i / 100) + "\\F" + std::to_string(i));
        NotifyShellPath(i % 100 == 99 ? SHCNE_RMDIR : SHCNE_DELETE, sent.back().c_str());
    }
    // A path as long as a path gets is carried whole.
    std::string deep = "C:\\" + std::string(MAX_PATH - 4, 'L');
    NotifyShellPath(SHCNE_DELETE, deep.c_str());
    sent.push_back(deep);
    EXPECT_TRUE(FlushShellNotifications());

    ASSERT_EQ(sent.size(), Heard.size());
    for (size_t i = 0; i < sent.size(); i++) {
        ASSERT_EQ(sent[i], Heard[i]) << "notice " << i;
        EXPECT_EQ(i % 100 == 99 && i < 1000 ? SHCNE_RMDIR : SHCNE_DELETE, HeardEvents[i]);
    }
    EXPECT_NE(GetCurrentThreadId(), HeardOnThread) << "the deletions do not wait for the shell";

    // Without the new shell nothing is said at all.
    NewShell = 0;
    NotifyShellPath(SHCNE_DELETE, "C:\\NOTICE\\IGNORED");
    EXPECT_TRUE(FlushShellNotifications());
    EXPECT_EQ(sent.size(), Heard.size());

    ShChangeNotifyProc = saved;
    NewShell = savedShell;
}

// A shell that reads the folder of every path it hears of, as the real one
// does, and takes its time over it.
static HANDLE ShellReading;
static void WINAPI ReadFolderSlowly(LONG, UINT flags, LPCVOID item1, LPCVOID)
{
    if (flags != SHCNF_PATHA)
        return;
    std::string folder = (const char*)item1;
    folder = folder.substr(0, folder.rfind('\\')) + "\\*";
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(folder.c_str(), &found);
    SetEvent(ShellReading);
    Sleep(300);
    if (listing != INVALID_HANDLE_VALUE)
        FindClose(listing);
}

TEST(ShellNotices, FolderTheShellIsReadingIsStillRemoved)
{
    ShChangeNotifyFunc saved = ShChangeNotifyProc;
    int32_t savedShell = NewShell;
    ShChangeNotifyProc = ReadFolderSlowly;
    NewShell = 1;
    ShellReading = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "KNOTICE" + std::to_string(GetCurrentProcessId());
    std::string file = folder + "\\GONE.TXT";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    ASSERT_TRUE(DeleteFileA(file.c_str()));

    // The shell is still reading the folder when the folder's turn comes.
    NotifyShellPath(SHCNE_DELETE, file.c_str());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ShellReading, 5000));
    EXPECT_EQ(0, RemoveEmptyDirectory(folder.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));

    // A folder that is not empty is refused at once, and stays.
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\SUB").c_str(), nullptr));
    EXPECT_EQ(1, RemoveEmptyDirectory(folder.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));

    EXPECT_TRUE(FlushShellNotifications());
    RemoveDirectoryA((folder + "\\SUB").c_str());
    RemoveDirectoryA(folder.c_str());
    CloseHandle(ShellReading);
    ShChangeNotifyProc = saved;
    NewShell = savedShell;
}
