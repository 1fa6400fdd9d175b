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
