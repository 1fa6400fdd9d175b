// The repair's file check on real files, the restore lists it writes, and
// the start of the installer that re-extracts them.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/crc_table.h"
#include "app/message_catalogue.h"
#include "app/system_facts.h"
#include "log/items.h"
#include "log/pool.h"
#include "log/reader.h"
#include "repair/repair_data.h"
#include "repair/restore.h"
#include "tests/win32/repair_support.h"
#include "tests/win32/test_support.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"

// 03-15-2003 12:16:00
static const WORD Date = 15 | 3 << 5 | 23 << 9;
static const WORD Time = 12 << 11 | 16 << 5;

class FileCheck : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        PoolFreeAll();
        CreateItemLists();
        ResetLogValues();
        MakeCrcTable();
        WizardWindow = nullptr;
        YesToAllShared = NoToAllShared = 0;
        LatestInstallation = 3;
        SetInstallationSource(1, text("C:\\SRC\\SETUP.EXE | 03-15-2003 | 12:16:00 | 100"));
        SetInstallationSource(2, text("c:\\src\\setup.exe | 03-15-2003 | 12:16:00 | 100"));
        SetInstallationSource(3, text("C:\\OTHER\\SETUP.EXE | 03-15-2003 | 12:16:00 | 100"));
        CreateRestoreLists(LatestInstallation);
        DeleteListFiles();
        folder = ScratchFolder();
    }
    void TearDown() override { DeleteListFiles(); }
    static char* text(const char* t)
    {
        char* copy = (char*)PoolAlloc(lstrlenA(t) + 1);
        lstrcpyA(copy, t);
        return copy;
    }
    // A file as the installer left it; returns its repair data.
    std::string Installed(const std::string& name, const std::string& bytes)
    {
        WriteFileBytes(folder + "\\" + name, bytes);
        SetDosStamp(folder + "\\" + name, Date, Time);
        return RepairDataFor(bytes, Date, Time);
    }
    std::string List(int n)
    {
        return RestoreListFiles[n] ? ReadFileBytes(RestoreListFiles[n]) : "";
    }
    std::string Line(const std::string& name, const std::string& repairData)
    {
        return folder + "\\" + name + "|11887|25088|" + RepairDataTail(repairData.c_str()) + "\r\n";
    }
    std::string folder;
};

TEST_F(FileCheck, IntactFilesQueueNothing)
{
    std::string a = Installed("a.dll", std::string(40000, 'a') + "tail");
    std::string empty = Installed("empty.txt", "");
    CheckFile((folder + "\\a.dll").c_str(), a.c_str(), 1, 0);
    CheckFile((folder + "\\empty.txt").c_str(), empty.c_str(), 1, 0);
    // No repair data: nothing to compare, nothing queued even when missing.
    CheckFile((folder + "\\gone.dll").c_str(), " 03-15-2003 | 12:16", 1, 0);
    EXPECT_EQ(0, RestoreQueued);
    EXPECT_EQ(nullptr, RestoreListFiles[1]);
    EXPECT_EQ(0, CountListFiles());
}

TEST_F(FileCheck, EveryKindOfDamageIsListedInTheLineFormat)
{
    std::string bytes(20000, 'x');
    std::string missing = Installed("missing.dll", bytes);
    DeleteFileA((folder + "\\missing.dll").c_str());
    std::string size = Installed("size.dll", bytes);
    WriteFileBytes(folder + "\\size.dll", bytes + "more");
    SetDosStamp(folder + "\\size.dll", Date, Time);
    std::string changed = Installed("changed.dll", bytes);
    WriteFileBytes(folder + "\\changed.dll", std::string(19999, 'x') + "y");
    SetDosStamp(folder + "\\changed.dll", Date, Time);
    std::string older = Installed("older.dll", bytes);
    SetDosStamp(folder + "\\older.dll", Date - 1, Time);
    std::string locked = Installed("locked.dll", bytes);
    HANDLE hold = CreateFileA((folder + "\\locked.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    for (const char* name : {"missing.dll", "size.dll", "changed.dll", "older.dll", "locked.dll"}) {
        std::string data = name[0] == 'm'   ? missing
                           : name[0] == 's' ? size
                           : name[0] == 'c' ? changed
                           : name[0] == 'o' ? older
                                            : locked;
        CheckFile((folder + "\\" + name).c_str(), data.c_str(), 1, 0);
    }
    CloseHandle(hold);
    EXPECT_EQ(1, RestoreQueued);
    EXPECT_EQ(Line("missing.dll", missing) + Line("size.dll", size) + Line("changed.dll", changed) +
                  Line("older.dll", older) + Line("locked.dll", locked),
              List(1));
    EXPECT_EQ(1, CountListFiles());
    std::string name = RestoreListFiles[1];
    EXPECT_NE(std::string::npos, name.find("KTC")) << name;
}

TEST_F(FileCheck, NewerFileIsReplacedOnlyAfterYes)
{
    std::string bytes = "recorded bytes";
    std::string data = Installed("newer.dll", bytes);
    // Newer and of another size: neither size nor CRC is looked at.
    WriteFileBytes(folder + "\\newer.dll", "a newer file of another size");
    WORD newerDate = 20 | 4 << 5 | 23 << 9;
    SetDosStamp(folder + "\\newer.dll", newerDate, Time | 5);
    std::string path = folder + "\\newer.dll";
    std::string title, question;
    {
        DialogSeries series(1, [&](HWND dialog, int) {
            char buffer[1024];
            GetWindowTextA(dialog, buffer, sizeof buffer);
            title = buffer;
            GetDlgItemTextA(dialog, IDC_SHARED_TEXT, buffer, sizeof buffer);
            question = buffer;
            ClickButton(dialog, IDC_SHARED_NO);
        });
        CheckFile(path.c_str(), data.c_str(), 1, 0);
    }
    EXPECT_EQ(0, RestoreQueued);
    char caption[256];
    GetMessageText(AppInstance, IDS_NEWER_FILE_CAPTION, caption, sizeof caption);
    EXPECT_EQ(caption, title);
    EXPECT_NE(std::string::npos, question.find(path)) << question;
    EXPECT_NE(std::string::npos, question.find(" 03-15-2003  12:16:00 ")) << question;
    EXPECT_NE(std::string::npos, question.find(" 04-20-2003  12:16:10 ")) << question;
    {
        DialogSeries series(1, [&](HWND dialog, int) { ClickButton(dialog, IDC_SHARED_YES); });
        CheckFile(path.c_str(), data.c_str(), 1, 0);
    }
    EXPECT_EQ(1, RestoreQueued);
    EXPECT_EQ(path + "|11887|25088|" + RepairDataTail(data.c_str()) + "\r\n", List(1));
    // A silent run never asks and keeps the newer file.
    RestoreQueued = 0;
    CheckFile(path.c_str(), data.c_str(), 3, 1);
    EXPECT_EQ(0, RestoreQueued);
}

TEST_F(FileCheck, InstallationsOfOneSourceShareAList)
{
    std::string a = Installed("a.dll", "aaa");
    std::string b = Installed("b.dll", "bbb");
    std::string c = Installed("c.dll", "ccc");
    for (const char* name : {"a.dll", "b.dll", "c.dll"})
        DeleteFileA((folder + "\\" + name).c_str());
    CheckFile((folder + "\\a.dll").c_str(), a.c_str(), 1, 0);
    CheckFile((folder + "\\b.dll").c_str(), b.c_str(), 2, 0);
    CheckFile((folder + "\\c.dll").c_str(), c.c_str(), 3, 0);
    ASSERT_NE(nullptr, RestoreListFiles[1]);
    EXPECT_EQ(RestoreListFiles[1], RestoreListFiles[2]);
    EXPECT_NE(RestoreListFiles[1], RestoreListFiles[3]);
    EXPECT_EQ(Line("a.dll", a) + Line("b.dll", b), List(1));
    EXPECT_EQ(Line("c.dll", c), List(3));
    EXPECT_EQ(2, CountListFiles());
}

// The installer stand-in records how it was started.
class Restore : public FileCheck
{
  protected:
    void SetUp() override
    {
        FileCheck::SetUp();
        std::string server = ProbePath("x");
        server = server.substr(0, server.size() - strlen("engine_probes\\x")) + "KTSRVEXE.EXE";
        installer = folder + "\\SETUP.EXE";
        ASSERT_TRUE(CopyFileA(server.c_str(), installer.c_str(), FALSE)) << server;
        record = folder + "\\servers.log";
        SetEnvironmentVariableA("KETRA_SERVER_LOG", record.c_str());
        HANDLE file = CreateFileA(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        FILETIME written, local;
        WORD d, t;
        LARGE_INTEGER size;
        GetFileTime(file, nullptr, nullptr, &written);
        FileTimeToLocalFileTime(&written, &local);
        FileTimeToDosDateTime(&local, &d, &t);
        GetFileSizeEx(file, &size);
        CloseHandle(file);
        char attributes[64];
        InstallerAttributesText(attributes, sizeof attributes, d, t, size.QuadPart);
        matching = installer + " | " + attributes;
    }
    void Queue(int n, const char* name)
    {
        std::string data = Installed(name, "payload");
        DeleteFileA((folder + "\\" + name).c_str());
        CheckFile((folder + "\\" + name).c_str(), data.c_str(), (uint16_t)n, 0);
    }
    std::string installer, record, matching;
};

TEST_F(Restore, MatchingInstallerRunsOnceForASharedListAndTheListGoes)
{
    SetInstallationSource(1, text(matching.c_str()));
    SetInstallationSource(2, text(matching.c_str()));
    SetInstallationSource(3, nullptr);
    Queue(1, "one.dll");
    Queue(2, "two.dll");
    std::string list = RestoreListFiles[2];
    RunRestores(0);
    std::string calls = ReadFileBytes(record);
    EXPECT_NE(std::string::npos, calls.find("/X=" + list)) << calls;
    // The lower installation shared the list: its installer is not started
    // again with a list that is gone.
    EXPECT_EQ(calls.find("/X="), calls.rfind("/X=")) << calls;
    EXPECT_FALSE(FileExists(list));
    EXPECT_EQ(0, InstallationSource(2)[0]);
}

TEST_F(Restore, ChangedInstallerIsAskedForUntilItMatches)
{
    // Same path, another size: the prompt shows the recorded attributes.
    std::string wrong = installer + " | 03-15-2003 | 12:16:00 | 1";
    SetInstallationSource(1, text(matching.c_str()));
    SetInstallationSource(
        3, text((folder + "\\MOVED\\SETUP.EXE" + matching.substr(installer.size())).c_str()));
    SetInstallationSource(2, text(wrong.c_str()));
    Queue(3, "three.dll");
    std::string shownFirst, pathFirst;
    {
        DialogSeries series(2, [&](HWND dialog, int n) {
            char buffer[512];
            if (n == 0) {
                GetDlgItemTextA(dialog, IDC_PROMPT_TEXT, buffer, sizeof buffer);
                shownFirst = buffer;
                GetDlgItemTextA(dialog, IDC_PROMPT_PATH, buffer, sizeof buffer);
                pathFirst = buffer;
                // Something that is no installer at all: asked again.
                SetDlgItemTextA(dialog, IDC_PROMPT_PATH, record.c_str());
            } else {
                SetDlgItemTextA(dialog, IDC_PROMPT_PATH, installer.c_str());
            }
            ClickButton(dialog, IDOK);
        });
        RunRestores(0);
        EXPECT_EQ(2, series.answered());
    }
    EXPECT_EQ(folder + "\\MOVED\\SETUP.EXE", pathFirst);
    std::string attributes = matching.substr(installer.size() + 3);
    for (char& c : attributes)
        if (c == '|')
            c = '/';
    EXPECT_NE(std::string::npos, shownFirst.find(attributes)) << shownFirst;
    EXPECT_NE(std::string::npos, ReadFileBytes(record).find("/X=")) << ReadFileBytes(record);
    EXPECT_EQ(0, CountListFiles());
}

// A silent run cannot ask where the installer went: the lists go as after a
// Cancel, and no question waits for a click that never comes.
TEST_F(Restore, SilentRunWithAMovedInstallerAsksNothingAndDropsTheLists)
{
    std::string wrong = installer + " | 03-15-2003 | 12:16:00 | 1";
    SetInstallationSource(1, text(matching.c_str()));
    SetInstallationSource(3, text(wrong.c_str()));
    Queue(1, "one.dll");
    Queue(3, "three.dll");
    EXPECT_EQ(1, RunRestores(1));
    EXPECT_EQ(0, CountListFiles());
    EXPECT_FALSE(FileExists(record)) << ReadFileBytes(record);
}

TEST_F(Restore, CancelDeletesThePendingListsAndStartsNothing)
{
    std::string wrong = installer + " | 03-15-2003 | 12:16:00 | 1";
    SetInstallationSource(1, text(matching.c_str()));
    SetInstallationSource(3, text(wrong.c_str()));
    Queue(1, "one.dll");
    Queue(3, "three.dll");
    EXPECT_EQ(2, CountListFiles());
    {
        DialogSeries series(1, [&](HWND dialog, int) { ClickButton(dialog, IDCANCEL); });
        RunRestores(0);
    }
    EXPECT_EQ(0, CountListFiles());
    EXPECT_FALSE(FileExists(record)) << ReadFileBytes(record);
}
