#include "engine/engine_env.h"

#include <windows.h>
#include <cstring>

#include "app/system_facts.h"
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
// SHCNE_UPDATEDIR for the folder: the ring is an eighth full, or a handful
// wait for that folder, or the deletions outran the shell in the last
// folder. The update takes the place of the folder's first waiting notice;
// later deletions in the folder join it, or the next update of the folder,
// which is told before anything else: the shell reads the folder only after
// the deletions it stands for. Folder removals always keep their own
// SHCNE_RMDIR. A product whose notices never pile up keeps one notice per
// file.

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
static uint32_t NoticesKept; // posted and not folded away: what the shell hears
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
static bool SameFolder(const char* a, bool plainA, const char* b, bool plainB)
{
    if (strcmp(a, b) == 0)
        return true;
    if (plainA && plainB)
        return CompareNoCase(a, b) == 0;
    return lstrcmpiA(a, b) == 0;
}

// Under NoticeLock: puts a notice at the end of the ring; returns its slot.
static uint32_t Append(long event, const char* path, const char* folder, bool plain)
{
    uint32_t slot = NoticesPosted++;
    NoticesKept++;
    ShellNotice* notice = &NoticeRing[slot % NoticeRingSize];
    notice->event = event;
    CopyText(notice->path, path, (int32_t)sizeof notice->path);
    CopyText(notice->folder, folder, (int32_t)sizeof notice->folder);
    notice->plainFolder = plain;
    return slot;
}

// The folder whose file notices were folded last. While its update waits in
// the ring (at HeldSlot), further deletions in it join that update; once the
// worker has taken it, they are held back and told as one more update as
// soon as something else is to be told, or the notices are flushed.
static char HeldFolder[MAX_PATH];
static bool HeldPlain;
static bool Holding;
static bool HeldDirty;
static uint32_t HeldSlot;

static bool StillWaiting(uint32_t slot)
{
    return slot - NoticesTaken < NoticesPosted - NoticesTaken;
}

static void ReleaseHeldUpdate()
{
    if (Holding && HeldDirty)
        Append(ShellFolderChanged, HeldFolder, HeldFolder, HeldPlain);
    Holding = false;
    HeldDirty = false;
}

static void HoldFolder(const char* folder, bool plain, uint32_t slot)
{
    CopyText(HeldFolder, folder, (int32_t)sizeof HeldFolder);
    HeldPlain = plain;
    HeldSlot = slot;
    Holding = true;
    HeldDirty = false;
}

enum NoticeFate { PostAsIs, PostFolderUpdate, Folded };

// Under NoticeLock, for a file deleted in folder: Folded when an update of
// the folder waits already or is made now, in the place of the folder's
// first waiting file notice (its slot in *slot); PostFolderUpdate when the
// ring is crowded and nothing of the folder waits.
static NoticeFate FoldIntoFolderUpdate(const char* folder, bool plain, uint32_t* slot)
{
    uint32_t waiting = 0;
    uint32_t sameFolder = 0;
    uint32_t first = NoticesPosted;
    for (uint32_t i = NoticesTaken; i != NoticesPosted; i++) {
        ShellNotice* notice = &NoticeRing[i % NoticeRingSize];
        if (notice->event == 0)
            continue;
        waiting++;
        if (!notice->folder[0] || !SameFolder(notice->folder, notice->plainFolder, folder, plain))
            continue;
        if (notice->event == ShellFolderChanged) {
            *slot = i;
            return Folded;
        }
        if (sameFolder++ == 0)
            first = i;
    }
    if (waiting < CrowdedRing && sameFolder < FolderHandful)
        return PostAsIs;
    if (sameFolder == 0)
        return PostFolderUpdate;
    for (uint32_t i = first + 1; i != NoticesPosted; i++) {
        ShellNotice* notice = &NoticeRing[i % NoticeRingSize];
        if (notice->event == ShellFileDeleted &&
            SameFolder(notice->folder, notice->plainFolder, folder, plain)) {
            notice->event = 0;
            NoticesKept--;
        }
    }
    ShellNotice* update = &NoticeRing[first % NoticeRingSize];
    update->event = ShellFolderChanged;
    CopyText(update->path, update->folder, (int32_t)sizeof update->path);
    *slot = first;
    return Folded;
}

// Waits until the ring has room for a held update and one more notice.
static void WaitForRoom()
{
    while (NoticesWaiting() >= NoticeRingSize - 1)
        WaitForSingleObject(NoticeProgress, 1000);
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
    WaitForRoom();
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
    uint32_t posted = NoticesPosted;
    if (folder[0] && Holding && SameFolder(HeldFolder, HeldPlain, folder, plain)) {
        if (!StillWaiting(HeldSlot))
            HeldDirty = true;
    } else {
        // Deletions that outran the shell in the last folder will outrun it
        // in this one too: its files go straight into an update.
        bool behind = Holding && (HeldDirty || NoticesPosted != NoticesTaken);
        ReleaseHeldUpdate();
        uint32_t slot = 0;
        NoticeFate fate = folder[0] ? FoldIntoFolderUpdate(folder, plain, &slot) : PostAsIs;
        if (fate == PostAsIs && folder[0] && behind)
            fate = PostFolderUpdate;
        if (fate == PostAsIs)
            Append(event, path, folder, plain);
        else if (fate == PostFolderUpdate)
            slot = Append(ShellFolderChanged, folder, folder, plain);
        if (fate != PostAsIs)
            HoldFolder(folder, plain, slot);
    }
    // A deletion that only joined an update wakes nobody, and neither does
    // one behind notices still waiting: the worker takes those (and this
    // one) before it waits again.
    bool wake = NoticesPosted != posted && posted == NoticesTaken;
    LeaveCriticalSection(&NoticeLock);
    if (wake)
        SetEvent(NoticeWork);
}

bool FlushShellNotifications()
{
    if (!NoticeWorker)
        return true;
    WaitForRoom();
    EnterCriticalSection(&NoticeLock);
    ReleaseHeldUpdate();
    LeaveCriticalSection(&NoticeLock);
    SetEvent(NoticeWork);
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

uint32_t ShellNoticesKept()
{
    if (!NoticeWorker)
        return 0;
    EnterCriticalSection(&NoticeLock);
    uint32_t kept = NoticesKept;
    LeaveCriticalSection(&NoticeLock);
    return kept;
}
