// Shell notices go through the worker thread in order. When they pile up, a
// folder's file notices are folded into one update of the folder, which the
// shell hears after the deletions it stands for; folder removals and the
// notices of a small product arrive one by one.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/system_facts.h"
#include "app/startup.h"
#include "engine/engine_env.h"
#include "engine/files.h"

struct HeardNotice {
    long event;
    std::string path;
    size_t postedBefore; // notices posted when the shell was told this one
};

static std::vector<HeardNotice> Heard;
static DWORD HeardOnThread;
static volatile LONG Posted;
static DWORD ShellDelayMs;

static void WINAPI RecordNotice(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    if (flags != SHCNF_PATHA || item2)
        return;
    Heard.push_back({event, (const char*)item1, (size_t)Posted});
    HeardOnThread = GetCurrentThreadId();
    Sleep(ShellDelayMs);
}

struct SentNotice {
    long event;
    std::string path;
};

static void Send(std::vector<SentNotice>* sent, long event, const std::string& path)
{
    sent->push_back({event, path});
    NotifyShellPath(event, path.c_str());
    InterlockedIncrement(&Posted);
}

static std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('\\'));
}

class ShellNotices : public ::testing::Test
{
  protected:
    ShChangeNotifyFunc saved = nullptr;
    int32_t savedShell = 0;
    void SetUp() override
    {
        saved = ShChangeNotifyProc;
        savedShell = NewShell;
        ShChangeNotifyProc = RecordNotice;
        NewShell = 1;
        Heard.clear();
        Posted = 0;
        ShellDelayMs = 0;
    }
    void TearDown() override
    {
        ShChangeNotifyProc = saved;
        NewShell = savedShell;
    }
};

TEST_F(ShellNotices, PiledUpNoticesBecomeFolderUpdatesInOrder)
{
    ShellDelayMs = 2; // slower than the deletions: the notices pile up
    std::vector<SentNotice> sent;
    // Twelve folders of 80 files, each removed after its files; every
    // fourth folder's files interleave with the next folder's.
    for (int d = 0; d < 12; d++) {
        std::string folder = "C:\\NOTICE\\D" + std::to_string(d);
        for (int f = 0; f < 80; f++) {
            Send(&sent, SHCNE_DELETE, folder + "\\F" + std::to_string(f));
            if (d % 4 == 0 && f % 2 == 0)
                Send(&sent, SHCNE_DELETE,
                     "C:\\NOTICE\\D" + std::to_string(d + 1) + "\\G" + std::to_string(f));
        }
        if (d % 4 != 0)
            Send(&sent, SHCNE_RMDIR, folder);
    }
    // A path as long as a path gets is carried whole.
    std::string deep = "C:\\" + std::string(MAX_PATH - 4, 'L');
    Send(&sent, SHCNE_RMDIR, deep);
    // Deletions that go on after the shell has taken the folder's update
    // are told by one more update, at the flush at the latest.
    for (int f = 0; f < 200; f++) {
        Send(&sent, SHCNE_DELETE, "C:\\NOTICE\\LAST\\F" + std::to_string(f));
        if (f % 20 == 19)
            Sleep(30);
    }
    EXPECT_TRUE(FlushShellNotifications());

    ASSERT_FALSE(Heard.empty());
    EXPECT_LT(Heard.size(), sent.size() / 4) << "the notices were not folded";
    EXPECT_NE(GetCurrentThreadId(), HeardOnThread) << "the deletions do not wait for the shell";
    // Every deletion is heard, by its own notice or by an update of its
    // folder given after it was posted.
    for (size_t i = 0; i < sent.size(); i++) {
        if (sent[i].event != SHCNE_DELETE)
            continue;
        bool covered = false;
        for (const HeardNotice& h : Heard)
            covered = covered || (h.event == SHCNE_DELETE && h.path == sent[i].path) ||
                      (h.event == SHCNE_UPDATEDIR && h.path == FolderOf(sent[i].path) &&
                       h.postedBefore > i);
        ASSERT_TRUE(covered) << "notice " << i << " " << sent[i].path;
    }
    // Removals arrive each once, in order, after everything about the
    // folder's contents; the shell hears only paths it was sent or their folders.
    std::vector<std::string> removals, heardRemovals;
    for (const SentNotice& s : sent)
        if (s.event == SHCNE_RMDIR)
            removals.push_back(s.path);
    for (size_t i = 0; i < Heard.size(); i++) {
        if (Heard[i].event == SHCNE_RMDIR) {
            heardRemovals.push_back(Heard[i].path);
            for (size_t j = i + 1; j < Heard.size(); j++) {
                bool aboutContents =
                    (Heard[j].event == SHCNE_DELETE && FolderOf(Heard[j].path) == Heard[i].path) ||
                    (Heard[j].event == SHCNE_UPDATEDIR && Heard[j].path == Heard[i].path);
                EXPECT_FALSE(aboutContents) << Heard[j].path << " after the removal of its folder";
            }
        } else {
            EXPECT_TRUE(Heard[i].event == SHCNE_DELETE || Heard[i].event == SHCNE_UPDATEDIR);
        }
    }
    EXPECT_EQ(removals, heardRemovals);
    // Folders are heard of in the order their contents changed.
    std::vector<std::string> order;
    for (const HeardNotice& h : Heard) {
        std::string folder = h.event == SHCNE_UPDATEDIR ? h.path : FolderOf(h.path);
        if (h.event != SHCNE_RMDIR && (order.empty() || order.back() != folder))
            order.push_back(folder);
    }
    std::vector<std::string> expected;
    for (const SentNotice& s : sent) {
        std::string folder = FolderOf(s.path);
        if (s.event != SHCNE_RMDIR && (expected.empty() || expected.back() != folder))
            expected.push_back(folder);
    }
    // Interleaved folders may be heard in fewer runs than they were sent,
    // never in another order.
    size_t at = 0;
    for (const std::string& folder : order) {
        while (at < expected.size() && expected[at] != folder)
            at++;
        ASSERT_LT(at, expected.size()) << folder << " heard out of order";
    }

    // Without the new shell nothing is said at all.
    size_t before = Heard.size();
    NewShell = 0;
    NotifyShellPath(SHCNE_DELETE, "C:\\NOTICE\\IGNORED");
    EXPECT_TRUE(FlushShellNotifications());
    EXPECT_EQ(before, Heard.size());
}

TEST_F(ShellNotices, SmallProductKeepsItsFileNotices)
{
    ShellDelayMs = 20; // a slow shell, but only a few files a folder
    std::vector<SentNotice> sent;
    for (int d = 0; d < 3; d++) {
        for (int f = 0; f < 6; f++)
            Send(&sent, SHCNE_DELETE,
                 "C:\\SMALL\\D" + std::to_string(d) + "\\F" + std::to_string(f));
        Send(&sent, SHCNE_RMDIR, "C:\\SMALL\\D" + std::to_string(d));
    }
    Send(&sent, SHCNE_DELETE, "C:\\ROOTFILE.TXT");
    EXPECT_TRUE(FlushShellNotifications());
    ASSERT_EQ(sent.size(), Heard.size());
    for (size_t i = 0; i < sent.size(); i++) {
        EXPECT_EQ(sent[i].event, Heard[i].event) << i;
        EXPECT_EQ(sent[i].path, Heard[i].path) << i;
    }
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

TEST_F(ShellNotices, FolderTheShellIsReadingIsStillRemoved)
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
    EXPECT_EQ(OpRemoved, RemoveEmptyDirectory(folder.c_str()).outcome);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));

    // A folder that is not empty is refused at once, and stays.
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\SUB").c_str(), nullptr));
    EXPECT_EQ(OpKeptUserData, RemoveEmptyDirectory(folder.c_str()).outcome);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));

    EXPECT_TRUE(FlushShellNotifications());
    RemoveDirectoryA((folder + "\\SUB").c_str());
    RemoveDirectoryA(folder.c_str());
    CloseHandle(ShellReading);
    ShChangeNotifyProc = saved;
    NewShell = savedShell;
}
