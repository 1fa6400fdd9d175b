#include "engine/engine_env.h"

#include <windows.h>
#include <shlobj.h>

#include "app/run_state.h"

// The shell turns every path it is told about into an item list, reading the
// disk for each folder on the way: about a millisecond a file, longer than
// the deletion itself. The notices therefore go through a small ring to a
// worker thread that tells the shell in the same order, while the removal
// goes on. FlushShellNotifications waits for the rest before the run ends.

enum { NoticeRingSize = 256, FlushPatienceMs = 10000 };

struct ShellNotice {
    long event;
    char path[MAX_PATH];
};

static ShellNotice NoticeRing[NoticeRingSize];
static uint32_t NoticesPosted; // both counters under NoticeLock
static uint32_t NoticesDone;
static CRITICAL_SECTION NoticeLock;
static HANDLE NoticeWork;     // set when a notice was posted
static HANDLE NoticeProgress; // set when a notice was delivered
static HANDLE NoticeWorker;
static bool WorkerFailed;

static DWORD WINAPI DeliverNotices(void*)
{
    for (;;) {
        EnterCriticalSection(&NoticeLock);
        if (NoticesDone == NoticesPosted) {
            LeaveCriticalSection(&NoticeLock);
            WaitForSingleObject(NoticeWork, INFINITE);
            continue;
        }
        ShellNotice notice = NoticeRing[NoticesDone % NoticeRingSize];
        LeaveCriticalSection(&NoticeLock);
        ShChangeNotifyFunc notify = ShChangeNotifyProc;
        if (notify)
            notify(notice.event, SHCNF_PATHA, notice.path, nullptr);
        EnterCriticalSection(&NoticeLock);
        NoticesDone++;
        LeaveCriticalSection(&NoticeLock);
        SetEvent(NoticeProgress);
    }
}

static bool StartNoticeWorker()
{
    if (NoticeWorker)
        return true;
    if (WorkerFailed)
        return false;
    InitializeCriticalSection(&NoticeLock);
    NoticeWork = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    NoticeProgress = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    if (NoticeWork && NoticeProgress)
        NoticeWorker = CreateThread(nullptr, 0, DeliverNotices, nullptr, 0, &id);
    if (!NoticeWorker) {
        // No thread: the shell is told directly, as it always may be.
        WorkerFailed = true;
        return false;
    }
    return true;
}

static uint32_t NoticesWaiting()
{
    EnterCriticalSection(&NoticeLock);
    uint32_t waiting = NoticesPosted - NoticesDone;
    LeaveCriticalSection(&NoticeLock);
    return waiting;
}

void NotifyShellPath(long event, const char* path)
{
    if (!NewShell || !ShChangeNotifyProc)
        return;
    if (!StartNoticeWorker()) {
        ShChangeNotifyProc(event, SHCNF_PATHA, path, nullptr);
        return;
    }
    // A full ring waits for the worker; the deletions never run far ahead.
    while (NoticesWaiting() >= NoticeRingSize)
        WaitForSingleObject(NoticeProgress, 1000);
    EnterCriticalSection(&NoticeLock);
    ShellNotice* notice = &NoticeRing[NoticesPosted % NoticeRingSize];
    notice->event = event;
    lstrcpynA(notice->path, path, sizeof notice->path);
    NoticesPosted++;
    LeaveCriticalSection(&NoticeLock);
    SetEvent(NoticeWork);
}

bool FlushShellNotifications()
{
    if (!NoticeWorker)
        return true;
    // The shell should need a millisecond a notice; one that stops answering
    // altogether must not keep the run from ending.
    uint32_t last = NoticesWaiting();
    DWORD quietSince = GetTickCount();
    while (last != 0) {
        WaitForSingleObject(NoticeProgress, 200);
        uint32_t now = NoticesWaiting();
        if (now != last)
            quietSince = GetTickCount();
        else if (GetTickCount() - quietSince > FlushPatienceMs)
            return false;
        last = now;
    }
    return true;
}
