#include "engine/engine_env.h"

#include <windows.h>
#include <cstring>

#include "app/run_state.h"
#include "log/items.h"

// The shell's event and flag values (shlobj.h, whose names clash with the
// item model's).
enum { ShellFileDeleted = 0x4, ShellFolderChanged = 0x1000, ShellPathAnsi = 0x1 };

// The shell turns every path it is told about into an item list, reading the
// disk for each folder on the way: about a millisecond a file, longer than
// the deletion itself. The notices therefore go through a small ring to a
// worker thread that tells the shell in the same order, while the removal
// goes on. FlushShellNotifications waits for the rest before the run ends.
//
// When the shell falls behind, a folder's file notices are folded into one
// ShellFolderChanged for the folder: the ring is more than an eighth full, or
// more than a handful wait for that folder. The update takes the place of the
// folder's first waiting notice, and later deletions in the folder join it
// while it still waits: the shell reads the folder only after all of them.
// Folder removals always keep their own SHCNE_RMDIR. A product whose notices
// never pile up keeps one notice per file.

enum {
    NoticeRingSize = 256,
    CrowdedRing = NoticeRingSize / 8,
    FolderHandful = 8,
    FlushPatienceMs = 10000
};

struct ShellNotice {
    long event; // 0: folded into an update, skipped by the worker
    char path[MAX_PATH];
    // The folder whose contents the notice changes: the parent of a deleted
    // file, the folder itself for an update; empty for anything else.
    char folder[MAX_PATH];
    bool plainFolder; // the folder is ASCII only
};

static ShellNotice NoticeRing[NoticeRingSize];
// All counters under NoticeLock. Slots from NoticesTaken to NoticesPosted
// wait; the worker takes one at a time, and counts it done once the shell
// has returned.
static uint32_t NoticesPosted;
static uint32_t NoticesTaken;
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
        if (NoticesTaken == NoticesPosted) {
            LeaveCriticalSection(&NoticeLock);
            WaitForSingleObject(NoticeWork, INFINITE);
            continue;
        }
        ShellNotice notice = NoticeRing[NoticesTaken % NoticeRingSize];
        NoticesTaken++;
        LeaveCriticalSection(&NoticeLock);
        ShChangeNotifyFunc notify = ShChangeNotifyProc;
        if (notify && notice.event)
            notify(notice.event, ShellPathAnsi, notice.path, nullptr);
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

static bool IsPlainAscii(const char* text)
{
    for (; *text; text++)
        if ((unsigned char)*text >= 0x80)
            return false;
    return true;
}

// Folder names as the system compares them. Most names are ASCII, and
// folding those here saves a call into the system for every waiting notice.
static bool SameFolder(const ShellNotice* notice, const char* folder, bool plain)
{
    if (strcmp(notice->folder, folder) == 0)
        return true;
    if (plain && notice->plainFolder)
        return CompareNoCase(notice->folder, folder) == 0;
    return lstrcmpiA(notice->folder, folder) == 0;
}

enum NoticeFate { PostAsIs, PostFolderUpdate, Covered };

// Under NoticeLock, for a file deleted in folder: Covered when an update of
// the folder waits already or is made now from the folder's waiting file
// notices; PostFolderUpdate when the ring is crowded and nothing of the
// folder waits.
static NoticeFate FoldIntoFolderUpdate(const char* folder, bool plain)
{
    uint32_t waiting = 0;
    uint32_t sameFolder = 0;
    uint32_t first = NoticesPosted;
    for (uint32_t i = NoticesTaken; i != NoticesPosted; i++) {
        ShellNotice* notice = &NoticeRing[i % NoticeRingSize];
        if (notice->event == 0)
            continue;
        waiting++;
        if (!notice->folder[0] || !SameFolder(notice, folder, plain))
            continue;
        if (notice->event == ShellFolderChanged)
            return Covered;
        if (sameFolder++ == 0)
            first = i;
    }
    if (waiting < CrowdedRing && sameFolder < FolderHandful)
        return PostAsIs;
    if (sameFolder == 0)
        return PostFolderUpdate;
    for (uint32_t i = first + 1; i != NoticesPosted; i++) {
        ShellNotice* notice = &NoticeRing[i % NoticeRingSize];
        if (notice->event == ShellFileDeleted && SameFolder(notice, folder, plain))
            notice->event = 0;
    }
    ShellNotice* update = &NoticeRing[first % NoticeRingSize];
    update->event = ShellFolderChanged;
    CopyText(update->path, update->folder, (int32_t)sizeof update->path);
    return Covered;
}

void NotifyShellPath(long event, const char* path)
{
    if (!NewShell || !ShChangeNotifyProc)
        return;
    if (!StartNoticeWorker()) {
        ShChangeNotifyProc(event, ShellPathAnsi, path, nullptr);
        return;
    }
    // A full ring waits for the worker; the deletions never run far ahead.
    while (NoticesWaiting() >= NoticeRingSize)
        WaitForSingleObject(NoticeProgress, 1000);
    char folder[MAX_PATH] = "";
    if (event == ShellFileDeleted) {
        CopyText(folder, path, (int32_t)sizeof folder);
        char* name = FileNamePart(folder);
        if (name > folder)
            name[-1] = 0;
        // A file at a drive root, or without a folder, keeps its own notice.
        if (name == folder || strlen(folder) < 3)
            folder[0] = 0;
    }
    bool plain = IsPlainAscii(folder);
    EnterCriticalSection(&NoticeLock);
    NoticeFate fate = folder[0] ? FoldIntoFolderUpdate(folder, plain) : PostAsIs;
    if (fate != Covered) {
        ShellNotice* notice = &NoticeRing[NoticesPosted % NoticeRingSize];
        notice->event = fate == PostFolderUpdate ? (long)ShellFolderChanged : event;
        CopyText(notice->path, fate == PostFolderUpdate ? folder : path,
                 (int32_t)sizeof notice->path);
        CopyText(notice->folder, folder, (int32_t)sizeof notice->folder);
        notice->plainFolder = plain;
        NoticesPosted++;
    }
    LeaveCriticalSection(&NoticeLock);
    if (fate != Covered)
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
