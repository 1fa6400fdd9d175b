// The driver reports through the engine's reporter alone: every counted entry
// ticks once, each step's text reaches it, and a cancel seen in a step ends
// the reports.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/reporter.h"
#include "engine/uninstall.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "log/reader_host_win32.h"
#include "tests/win32/test_support.h"

namespace
{

struct Record {
    int32_t total = -1;
    int32_t ticks = 0;
    int32_t begun = 0;
    int32_t cancelAfter = -1; // cancel in the step of this number
    bool cancelled = false;
    std::vector<std::string> steps;
};
Record Seen;

void BeginWork(int32_t)
{
    Seen.begun++;
}
bool Working()
{
    return true;
}
void StartTicks(int32_t total)
{
    Seen.total = total;
}
void Tick()
{
    Seen.ticks++;
}
void Step(const char* text)
{
    if (!text)
        return;
    Seen.steps.push_back(text);
    if ((int32_t)Seen.steps.size() == Seen.cancelAfter)
        Seen.cancelled = true;
}
void FitPath(char*) {}
void Wait(uint32_t) {}
int32_t AskSharedFile(const char*)
{
    return 0;
}
int32_t AskServerRunning()
{
    return IDIGNORE;
}

// The engine learns of a cancel from its reporter alone.
bool CancelSeen()
{
    return Seen.cancelled;
}

const EngineReporter Recording = {
    BeginWork, Working,       StartTicks,       Tick,      Step, FitPath,
    Wait,      AskSharedFile, AskServerRunning, CancelSeen};

void NoRefusal(const char*, const char*) {}

class EngineReporting : public ::testing::Test
{
  protected:
    const EngineReporter* saved = nullptr;

    void SetUp() override
    {
        StartSilentAutomaticRun();
        Seen = Record();
        saved = Reporter;
        Reporter = &Recording;
    }

    void TearDown() override { Reporter = saved; }

    // A product folder with three files, read as the program reads its log.
    std::string MakeProduct(const char* name)
    {
        std::string root = ScratchFolder(name);
        std::string app = root + "\\App";
        CreateDirectoryA(app.c_str(), nullptr);
        std::string body =
            "*** Installation log\r\nTitle: Reporter Test\r\nMade Dir: " + app + "\r\n";
        for (const char* file : {"\\A.TXT", "\\B.TXT", "\\C.TXT"}) {
            WriteFileText(app + file, "x");
            body += "File Copy: " + app + file + "\r\n";
        }
        std::string log = app + "\\INSTALL.LOG";
        WriteFileText(log, body);
        ReaderHost host = Win32ReaderHost;
        host.ShowRefusal = NoRefusal;
        EXPECT_EQ(0, ReadInstallLogWith(&host, log.c_str(), ApplicationFolder));
        return app;
    }
};

} // namespace

TEST_F(EngineReporting, EveryCountedEntryTicksOnce)
{
    std::string app = MakeProduct("reporter_all");
    RunUninstall((app + "\\INSTALL.LOG").c_str(), SilentAutomaticRequest());
    EXPECT_EQ(0, Seen.begun) << "the working view was already up";
    EXPECT_EQ(FileList.Count + FolderList.Count, Seen.total);
    EXPECT_EQ(Seen.total, Seen.ticks);
    ASSERT_GE(Seen.steps.size(), 3u);
    EXPECT_NE(std::string::npos, Seen.steps[0].find("A.TXT")) << Seen.steps[0];
    EXPECT_NE(std::string::npos, Seen.steps[2].find("C.TXT")) << Seen.steps[2];
    EXPECT_FALSE(PathExists(app));
    RemoveTree(app.substr(0, app.size() - 4));
}

TEST_F(EngineReporting, ACancelSeenInAStepEndsTheReports)
{
    std::string app = MakeProduct("reporter_cancel");
    Seen.cancelAfter = 1;
    RunUninstall((app + "\\INSTALL.LOG").c_str(), SilentAutomaticRequest());
    ASSERT_EQ(1u, Seen.steps.size()) << "no phase reports after the cancel";
    EXPECT_NE(std::string::npos, Seen.steps[0].find("A.TXT"));
    EXPECT_EQ(1, Seen.ticks) << "the files phase stopped after its first entry";
    EXPECT_TRUE(PathExists(app + "\\B.TXT"));
    EXPECT_TRUE(PathExists(app + "\\INSTALL.LOG")) << "a cancelled run keeps its log";
    RemoveTree(app.substr(0, app.size() - 4));
}
