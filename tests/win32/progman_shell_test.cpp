// Program Manager items against Wine's own shell, which answers "PROGMAN" on
// the desktop that explorer.exe /desktop=... runs. It lists its groups but
// does not describe them, so the phase must end cleanly having matched, and
// so deleted, nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/progman_win32.h"
#include "log/items.h"
#include "log/pool.h"
#include "tests/win32/progman_helpers.h"

static const char KetraDesktop[] = "ketra_shell";

static bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct ShellRun {
    std::string Programs;
    std::string Groups;
    std::string GroupReply;
    bool Answered = false;
    bool Created = false;
    bool Connected = false;
    char* FirstGroupText = nullptr;
    int32_t Sent = -1;
    bool KeptAfterPhase = false;
    bool ItemCommand = false;
    bool ItemGone = false;
    bool GroupCommand = false;
    bool GroupGone = false;
    bool UnquotedCommand = false;
    bool UnquotedGone = false;
    bool QuotedCommand = false;
    bool QuotedGone = false;
    DWORD ShellProcess = 0;
    std::vector<DWORD> FolderWindows;
    int32_t FolderWindowsLeft = 0;
};

// ShowGroup makes the shell open the group's folder in a window of a process
// of its own; those windows are closed, and their processes waited for.
static BOOL CALLBACK CloseFolderWindow(HWND window, LPARAM context)
{
    ShellRun* run = (ShellRun*)context;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == run->ShellProcess || process == GetCurrentProcessId() ||
        !IsWindowVisible(window))
        return TRUE;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (DWORD known : run->FolderWindows) {
        if (known == process)
            return TRUE;
    }
    run->FolderWindows.push_back(process);
    return TRUE;
}

static void CloseFolderWindows(HDESK desktop, ShellRun* run)
{
    for (int round = 0; round < 20; round++) {
        EnumDesktopWindows(desktop, CloseFolderWindow, (LPARAM)run);
        Sleep(100);
    }
    for (DWORD id : run->FolderWindows) {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
        if (!process)
            continue;
        if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
            run->FolderWindowsLeft++;
            TerminateProcess(process, 1);
        }
        CloseHandle(process);
    }
}

// The work runs on a thread of its own that joins the shell's desktop.
static DWORD WINAPI RunOnKetraDesktop(void* context)
{
    ShellRun* run = (ShellRun*)context;
    HDESK desktop = nullptr;
    // Generous limits: a busy machine starts the shell slowly.
    DWORD start = GetTickCount();
    while (!desktop && GetTickCount() - start < 60000) {
        desktop = OpenDesktopA(KetraDesktop, 0, FALSE, GENERIC_ALL);
        if (!desktop)
            Sleep(100);
    }
    if (!desktop || !SetThreadDesktop(desktop))
        return 1;
    start = GetTickCount();
    while (!run->Answered && GetTickCount() - start < 60000) {
        run->Answered = ProgmanAnswers();
        if (!run->Answered)
            Sleep(100);
    }
    if (!run->Answered)
        return 1;

    // The user's Start menu programs folder, where the shell keeps groups.
    char appData[MAX_PATH] = "";
    GetEnvironmentVariableA("APPDATA", appData, sizeof(appData));
    run->Programs = std::string(appData) + "\\Microsoft\\Windows\\Start Menu\\Programs";
    std::string folder = run->Programs + "\\Ketra Shell Test";
    std::string link = folder + "\\Ketra Note.lnk";
    SendOwnCommand("[CreateGroup(Ketra Shell Test)]");
    SendOwnCommand("[AddItem(C:\\windows\\notepad.exe,Ketra Note)]");
    run->Created = Exists(link);
    run->Groups = RequestOwn("GROUPS");
    run->GroupReply = RequestOwn("Ketra Shell Test");

    // The phase, as the driver runs it.
    ResetProgramManager();
    PoolFreeAll();
    CreateItemLists();
    IconItem* item = (IconItem*)PoolAlloc(sizeof(IconItem));
    lstrcpyA(item->Group, "Ketra Shell Test");
    lstrcpyA(item->Name, "Ketra Note");
    lstrcpyA(item->Command, "C:\\windows\\notepad.exe");
    item->Selected = 1;
    item->Installation = 1;
    ItemListAppend(&IconList, item);
    OpenProgramManager();
    run->Connected = ProgmanConversation != nullptr;
    run->FirstGroupText = GroupTexts[0];
    DeleteIconEntry(0);
    run->Sent = ProgmanCommandsSent;
    CloseProgramManager();
    run->KeptAfterPhase = Exists(link);

    // What the commands themselves do there.
    run->ItemCommand = SendOwnCommand("[ShowGroup(Ketra Shell Test,1)]") &&
                       SendOwnCommand("[DeleteItem(Ketra Note)]");
    run->ItemGone = !Exists(link);
    run->GroupCommand = SendOwnCommand("[DeleteGroup(Ketra Shell Test)]");
    run->GroupGone = !Exists(folder);
    SendOwnCommand("[CreateGroup(\"Ketra, Quoted (x)\")]");
    std::string quoted = run->Programs + "\\Ketra, Quoted (x)";
    run->UnquotedCommand = Exists(quoted) && SendOwnCommand("[DeleteGroup(Ketra, Quoted (x))]");
    run->UnquotedGone = !Exists(quoted);
    run->QuotedCommand = Exists(quoted) && SendOwnCommand("[DeleteGroup(\"Ketra, Quoted (x)\")]");
    run->QuotedGone = !Exists(quoted);
    CloseFolderWindows(desktop, run);
    RemoveDirectoryA(quoted.c_str());
    DeleteFileA(link.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}

TEST(WineShell, PhaseEndsCleanlyAndDeletesNothingItCannotMatch)
{
    // This thread may sit on the tests' own window station.
    HWINSTA interactive = OpenWindowStationA("WinSta0", FALSE, GENERIC_ALL);
    ASSERT_TRUE(interactive && SetProcessWindowStation(interactive));
    PROCESS_INFORMATION shell = {};
    ASSERT_TRUE(
        StartChild(std::string("explorer.exe /desktop=") + KetraDesktop + ",800x600", &shell));
    ShellRun run;
    run.ShellProcess = shell.dwProcessId;
    HANDLE worker = CreateThread(nullptr, 0, RunOnKetraDesktop, &run, 0, nullptr);
    ASSERT_NE(nullptr, worker);
    bool finished = WaitForSingleObject(worker, 120000) == WAIT_OBJECT_0;
    CloseHandle(worker);
    // The desktop's explorer ends when nothing uses the desktop any more;
    // only if it does not, its handle ends it.
    bool shellEnded = WaitForSingleObject(shell.hProcess, 15000) == WAIT_OBJECT_0;
    if (!shellEnded)
        TerminateProcess(shell.hProcess, 1);
    CloseHandle(shell.hThread);
    CloseHandle(shell.hProcess);

    std::printf("shell: answered %d, groups reply <%s>, group reply <%s>\n", run.Answered,
                run.Groups.c_str(), run.GroupReply.c_str());
    std::printf("phase: connected %d, first group text %s, commands sent %d, link kept %d\n",
                run.Connected, run.FirstGroupText ? run.FirstGroupText : "(none)", run.Sent,
                run.KeptAfterPhase);
    std::printf("commands: item acked %d gone %d; group acked %d gone %d; unquoted comma name "
                "acked %d gone %d; quoted acked %d gone %d; explorer ended by itself %d\n",
                run.ItemCommand, run.ItemGone, run.GroupCommand, run.GroupGone, run.UnquotedCommand,
                run.UnquotedGone, run.QuotedCommand, run.QuotedGone, shellEnded);
    std::printf("folder windows opened by ShowGroup: %d, not closed by WM_CLOSE: %d\n",
                (int)run.FolderWindows.size(), run.FolderWindowsLeft);
    ASSERT_TRUE(finished);
    ASSERT_TRUE(run.Answered) << "Wine's shell did not answer \"PROGMAN\"";
    ASSERT_TRUE(run.Created) << "CreateGroup and AddItem made no link under " << run.Programs;
    EXPECT_TRUE(run.Connected);
    EXPECT_TRUE(run.KeptAfterPhase) << "the phase deleted an item it could not match";
    EXPECT_EQ(0, run.Sent) << "no group was described, so nothing can match";
    // The commands the phase would send do what they say there, and a
    // quoted name is one argument.
    EXPECT_TRUE(run.ItemGone);
    EXPECT_TRUE(run.GroupGone);
    EXPECT_TRUE(run.QuotedGone);
}
