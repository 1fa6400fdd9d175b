// A damaged log names services that are not the product's: the uninstall
// driver keeps them, journals why, does not wait after them, and still
// removes the product's own. Real services of the probe service program.
#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "engine/journal.h"
#include "engine/ownership_services.h"
#include "engine/reporter.h"
#include "engine/uninstall.h"
#include "log/reader.h"
#include "log/reader_host_win32.h"
#include "tests/win32/test_support.h"
#include "ui/progress.h"

namespace
{

int32_t ServiceWaits = 0;

void BeginWork(int32_t) {}
bool Working()
{
    return true;
}
void StartTicks(int32_t) {}
void Tick() {}
void Step(const char*) {}
void FitPath(char*) {}
void Wait(uint32_t ms)
{
    if (ms == 3500)
        ServiceWaits++;
}
int32_t AskSharedFile(const char*)
{
    return 0;
}
int32_t AskServerRunning()
{
    return IDIGNORE;
}
bool NotCancelled()
{
    return false;
}
const EngineReporter Counting = {
    BeginWork, Working,       StartTicks,       Tick,        Step, FitPath,
    Wait,      AskSharedFile, AskServerRunning, NotCancelled};

void NoRefusal(const char*, const char*) {}

std::string SystemPath()
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

DWORD State(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status = {};
    DWORD state = 0;
    if (service && QueryServiceStatus(service, &status))
        state = status.dwCurrentState;
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return state;
}

// A service of the probe program at binary (own process, or in a shared
// host with library as its ServiceDll), made afresh.
void MakeService(const char* name, const std::string& binary, const std::string& library = "")
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager);
    SC_HANDLE old = OpenServiceA(manager, name, DELETE);
    if (old) {
        DeleteService(old);
        CloseServiceHandle(old);
    }
    DWORD type = library.empty() ? SERVICE_WIN32_OWN_PROCESS : SERVICE_WIN32_SHARE_PROCESS;
    SC_HANDLE service = CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, type,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(service) << name << ": CreateService failed: " << GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (!library.empty()) {
        std::string key =
            std::string("SYSTEM\\CurrentControlSet\\Services\\") + name + "\\Parameters";
        HKEY handle;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &handle, nullptr));
        RegSetValueExA(handle, "ServiceDll", 0, REG_EXPAND_SZ, (const BYTE*)library.c_str(),
                       (DWORD)library.size() + 1);
        RegCloseKey(handle);
    }
}

void DropService(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_STOP | DELETE) : nullptr;
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
}

class OwnershipOfServices : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        StartSilentAutomaticRun();
        WorkStarted = 1;
        saved = Reporter;
        Reporter = &Counting;
        ServiceWaits = 0;
        root = ScratchFolder("svcown");
        app = root + "\\App Folder";
        other = root + "\\Other";
        CreateDirectoryA(app.c_str(), nullptr);
        CreateDirectoryA(other.c_str(), nullptr);
    }
    void TearDown() override
    {
        Reporter = saved;
        JournalReset();
        for (const char* name : {"KtrOwnApp", "KtrOwnSys", "KtrOwnOther", "KtrOwnListed",
                                 "KtrOwnHostApp", "KtrOwnHostSys"})
            DropService(name);
        // The stop is not awaited: the program goes once it has ended.
        for (int i = 0; i < 100 && !systemCopy.empty() && !DeleteFileA(systemCopy.c_str()); i++)
            Sleep(100);
    }
    std::string Probe(const std::string& target)
    {
        EXPECT_TRUE(CopyFileA(ProbePath("probe_service.exe").c_str(), target.c_str(), FALSE))
            << target;
        return target;
    }
    void ReadLog(const std::string& body)
    {
        log = app + "\\INSTALL.LOG";
        ASSERT_TRUE(WriteFileText(log, "*** Installation log\r\nTitle: Services Test\r\n" + body));
        ReaderHost host = Win32ReaderHost;
        host.ShowRefusal = NoRefusal;
        ASSERT_EQ(0, ReadInstallLogWith(&host, log.c_str(), ApplicationFolder));
    }
    const EngineReporter* saved = nullptr;
    std::string root, app, other, log, systemCopy;
};

} // namespace

TEST_F(OwnershipOfServices, OnlyServicesOfTheProductsProgramsGo)
{
    std::string own = Probe(app + "\\svc.exe");
    std::string listed = Probe(other + "\\listed.exe");
    std::string foreign = Probe(other + "\\foreign.exe");
    systemCopy = Probe(SystemPath() + "\\KTROWNSYS.EXE");
    MakeService("KtrOwnApp", "\"" + ShortPath(own) + "\" -run");
    MakeService("KtrOwnListed", listed);
    MakeService("KtrOwnOther", foreign);
    MakeService("KtrOwnSys", "%SystemRoot%\\system32\\KTROWNSYS.EXE");
    ASSERT_TRUE(WriteFileText(app + "\\host.dll", "x"));
    MakeService("KtrOwnHostApp", SystemPath() + "\\svchost.exe -k ktrtest", app + "\\host.dll");
    MakeService("KtrOwnHostSys", SystemPath() + "\\svchost.exe -k ktrtest",
                "%SystemRoot%\\system32\\rpcss.dll");
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE running = OpenServiceA(manager, "KtrOwnSys", SERVICE_START);
    ASSERT_TRUE(running && StartServiceA(running, 0, nullptr)) << GetLastError();
    CloseServiceHandle(running);
    CloseServiceHandle(manager);
    for (int i = 0; i < 600 && State("KtrOwnSys") != SERVICE_RUNNING; i++)
        Sleep(100);
    ASSERT_EQ((DWORD)SERVICE_RUNNING, State("KtrOwnSys"));

    ReadLog("File Copy: " + listed +
            "\r\nCreate Service: KtrOwnApp\r\nCreate Service: KtrOwnSys\r\n"
            "Create Service: KtrOwnOther\r\nCreate Service: KtrOwnListed\r\n"
            "Create Service: KtrOwnHostApp\r\nCreate Service: KtrOwnHostSys\r\n"
            "Create Service: KtrOwnNone\r\n");
    std::string journal = root + "\\journal.txt";
    JournalBegin(journal.c_str(), "/S", 0);
    RunUninstall(log.c_str(), SilentAutomaticRequest());
    JournalEnd(0);

    EXPECT_EQ((DWORD)SERVICE_RUNNING, State("KtrOwnSys")) << "a system program's service";
    EXPECT_NE(0u, State("KtrOwnOther")) << "a service of a folder the log did not make";
    EXPECT_NE(0u, State("KtrOwnHostSys")) << "a shared host's service of the system's library";
    EXPECT_EQ(0u, State("KtrOwnApp")) << "the service of a program in the log's folder";
    EXPECT_EQ(0u, State("KtrOwnListed")) << "the service of one of the log's files";
    EXPECT_EQ(0u, State("KtrOwnHostApp")) << "a shared host's service of the product's library";
    EXPECT_EQ(4, ServiceWaits) << "a wait after each service asked to stop, and the missing one";

    std::string text = ReadFileText(journal);
    for (const char* name : {"KtrOwnSys", "KtrOwnOther", "KtrOwnHostSys"})
        EXPECT_NE(std::string::npos,
                  text.find(std::string("| kept (not the product's) | ") + name + " ("))
            << name << "\n"
            << text;
    EXPECT_NE(std::string::npos, text.find(OwnReasonText(ReasonForeignService))) << text;
    EXPECT_NE(std::string::npos, text.find("| missing | KtrOwnNone")) << text;

    // Variables are the system's, as the service manager expands them.
    char programFiles[MAX_PATH] = "";
    GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof programFiles);
    char program[MAX_PATH];
    EXPECT_EQ(
        ReasonForeignService,
        ServiceOwnership("KtrOwnNone", "\"%ProgramFiles%\\KTRX\\svc.exe\" -x", 0x10, program));
    EXPECT_STRCASEEQ((std::string(programFiles) + "\\KTRX\\svc.exe").c_str(), program);
}
