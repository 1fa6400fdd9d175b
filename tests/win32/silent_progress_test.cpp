// Progress reports in a silent run serve every pending message but wait for
// no timer tick; a visible run still waits for one tick a report. A whole
// silent uninstall answers messages sent to its window while it works, and
// the shell hears of every folder whose contents changed.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/system_facts.h"
#include "app/startup.h"
#include "engine/engine_env.h"
#include "engine/reporter.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "tests/win32/test_support.h"
#include "ui/progress.h"

namespace
{

enum { PostedMessage = WM_APP + 41, SentMessage = WM_APP + 42, SentAnswer = 4242 };

// What the window saw, counted by a procedure put in front of its own.
WNDPROC OwnProcedure;
volatile LONG WaitTicks;
volatile LONG PostedSeen = -1; // ProgressDone when the posted message came
volatile LONG SentSeen = -1;   // the same for the sent one

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == WaitTimerId)
        InterlockedIncrement(&WaitTicks);
    if (message == PostedMessage) {
        PostedSeen = ProgressDone;
        return 0;
    }
    if (message == SentMessage) {
        SentSeen = ProgressDone;
        return SentAnswer;
    }
    return CallWindowProcA(OwnProcedure, window, message, wParam, lParam);
}

// Another program's side: once the run is under way, post a message to its
// window and send it one, waiting at most five seconds for the answer.
struct Caller {
    HANDLE start;
    HWND window;
    LRESULT answer;
    BOOL answered;
};

DWORD WINAPI CallTheWindow(void* context)
{
    Caller* caller = (Caller*)context;
    if (WaitForSingleObject(caller->start, 10000) != WAIT_OBJECT_0)
        return 1;
    PostMessageA(caller->window, PostedMessage, 0, 0);
    DWORD_PTR result = 0;
    caller->answered =
        SendMessageTimeoutA(caller->window, SentMessage, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
    caller->answer = (LRESULT)result;
    return 0;
}

class SilentProgress : public ::testing::Test
{
  protected:
    int32_t savedWorkStarted = 0;
    int32_t silent = 0;

    void SetUp() override
    {
        ResetSystemFacts();
        PlatformKind = PlatformNT;
        savedWorkStarted = WorkStarted;
        WorkStarted = 0;
        WaitTicks = 0;
        PostedSeen = SentSeen = -1;
        WNDCLASSA known;
        if (!GetClassInfoA(GetModuleHandleA(nullptr), "KTRSUninstall", &known))
            ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleA(nullptr)));
    }

    void MakeWindow()
    {
        RunOptions options = {};
        options.silent = silent;
        ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(nullptr), options, nullptr));
        OwnProcedure =
            (WNDPROC)SetWindowLongPtrA(MainWindow, GWLP_WNDPROC, (LONG_PTR)CountingProcedure);
    }

    void TearDown() override
    {
        CloseRunWindows();
        WorkStarted = savedWorkStarted;
        ResetSystemFacts();
    }
};

TEST_F(SilentProgress, VisibleRunWaitsForOneTickEachReport)
{
    NoBackground = 1; // the background stays hidden; the pacing is the same
    MakeWindow();
    double waitedBefore = ProgressWaitSeconds();
    for (int i = 0; i < 10; i++)
        ShowProgress("step", 1);
    EXPECT_GE(WaitTicks, 10) << "every report waits for a tick of the background window's timer";
    EXPECT_GT(ProgressWaitSeconds(), waitedBefore);
}

TEST_F(SilentProgress, SilentReportsServeMessagesWithoutWaiting)
{
    silent = 1;
    MakeWindow();
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    Caller caller = {CreateEventA(nullptr, TRUE, FALSE, nullptr), MainWindow, 0, FALSE};
    HANDLE thread = CreateThread(nullptr, 0, CallTheWindow, &caller, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    double waitedBefore = ProgressWaitSeconds();

    // The work: a report after every item, as the driver makes them.
    ProgressDone = 0;
    SetEvent(caller.start);
    DWORD until = GetTickCount() + 8000;
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT && (LONG)(until - GetTickCount()) > 0) {
        ShowProgress("step", 0);
        ProgressDone++;
        GetFileAttributesA("C:\\");
    }
    int32_t reports = ProgressDone;
    for (int i = 0; i < 20; i++) {
        ShowProgress("step", 0);
        ProgressDone++;
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(thread);
    CloseHandle(caller.start);

    EXPECT_TRUE(caller.answered) << "a silent run must answer a message sent to its window";
    EXPECT_EQ(SentAnswer, caller.answer);
    EXPECT_GE(PostedSeen, 0) << "the posted message was never dispatched";
    EXPECT_LE(PostedSeen, reports);
    EXPECT_GE(SentSeen, 0);
    EXPECT_EQ(0, WaitTicks) << "a silent report waits for no timer tick";
    EXPECT_EQ(waitedBefore, ProgressWaitSeconds());
}

// The shell as the silent run meets it: slow, so that notices pile up.
std::vector<std::pair<long, std::string>> Heard;
HANDLE FirstNoticeHeard;

void WINAPI SlowShell(LONG event, UINT flags, LPCVOID item1, LPCVOID)
{
    if (flags != 1 /* SHCNF_PATHA */)
        return;
    Heard.push_back({event, (const char*)item1});
    SetEvent(FirstNoticeHeard);
    Sleep(3);
}

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST_F(SilentProgress, SilentUninstallAnswersItsWindowAndTellsTheShellEveryFolder)
{
    enum {
        Folders = 4,
        FilesPerFolder = 60,
        ShellDelete = 4,
        ShellRmdir = 0x10,
        ShellUpdate = 0x1000
    };
    std::string root = ScratchFolder("silentrun");
    std::string log = "*** Installation log\r\nTitle: Silent run\r\nMade Dir: " + root + "\r\n";
    std::vector<std::string> folders;
    for (int d = 0; d < Folders; d++) {
        folders.push_back(root + "\\D" + std::to_string(d));
        ASSERT_TRUE(CreateDirectoryA(folders.back().c_str(), nullptr));
        for (int f = 0; f < FilesPerFolder; f++) {
            std::string file = folders.back() + "\\F" + std::to_string(f) + ".DAT";
            ASSERT_TRUE(WriteFileText(file, "x"));
            log += "File Copy: " + file + "\r\n";
        }
    }
    std::string logPath = root + "\\INSTALL.LOG";
    ASSERT_TRUE(WriteFileText(logPath, log));

    silent = 1;
    PoolFreeAll();
    ResetLogValues();
    CreateItemLists();
    ResetLineBuffer();
    ASSERT_EQ(0, ReadInstallLog(logPath.c_str(), ApplicationFolder, 1, 0));
    ASSERT_EQ(Folders * FilesPerFolder, FileList.Count);

    NewShell = 1;
    ShChangeNotifyFunc savedShell = ShChangeNotifyProc;
    ShChangeNotifyProc = SlowShell;
    Heard.clear();
    FirstNoticeHeard = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    MakeWindow();
    Caller caller = {FirstNoticeHeard, MainWindow, 0, FALSE};
    HANDLE thread = CreateThread(nullptr, 0, CallTheWindow, &caller, 0, nullptr);
    ASSERT_NE(nullptr, thread);

    const EngineReporter* saved = Reporter;
    Reporter = WindowsReporterFor(1);
    RunUninstall(logPath.c_str(), {ModeAutomatic, 0, 1});
    Reporter = saved;
    int32_t done = ProgressDone;
    EXPECT_TRUE(FlushShellNotifications());
    ShChangeNotifyProc = savedShell;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    CloseHandle(FirstNoticeHeard);

    EXPECT_FALSE(PathExists(root)) << "the silent run removes everything, as before";
    EXPECT_TRUE(caller.answered) << "the run did not answer its window while it worked";
    EXPECT_GE(SentSeen, 0);
    EXPECT_LT(SentSeen, done) << "answered only after the work";
    EXPECT_GE(PostedSeen, 0);
    EXPECT_EQ(0, WaitTicks);

    // Every folder's contents: one update for the folder or a notice per
    // file, before the folder's own removal; folders in the order worked on.
    int updates = 0;
    size_t lastFirst = 0;
    for (int d = 0; d < Folders; d++) {
        size_t first = Heard.size(), removed = Heard.size();
        bool updated = false;
        int files = 0;
        for (size_t i = 0; i < Heard.size(); i++) {
            const std::string& path = Heard[i].second;
            long event = Heard[i].first;
            bool inside = path.size() > folders[d].size() &&
                          SameText(path.substr(0, folders[d].size() + 1), folders[d] + "\\");
            if (event == ShellUpdate && SameText(path, folders[d])) {
                updated = true;
                first = std::min(first, i);
            } else if (event == ShellDelete && inside) {
                files++;
                first = std::min(first, i);
            } else if (event == ShellRmdir && SameText(path, folders[d])) {
                removed = i;
            }
        }
        updates += updated ? 1 : 0;
        EXPECT_TRUE(updated || files == FilesPerFolder) << folders[d];
        ASSERT_LT(removed, Heard.size()) << "no removal notice for " << folders[d];
        EXPECT_LT(first, removed) << folders[d];
        EXPECT_GE(first, lastFirst) << folders[d] << " out of order";
        lastFirst = first;
    }
    EXPECT_GT(updates, 0) << "with a slow shell the notices should have been folded";
    EXPECT_LT(Heard.size(), (size_t)(Folders * FilesPerFolder));
    ASSERT_FALSE(Heard.empty());
    EXPECT_EQ(ShellRmdir, Heard.back().first);
    EXPECT_TRUE(SameText(root, Heard.back().second));
    PoolFreeAll();
}

} // namespace
