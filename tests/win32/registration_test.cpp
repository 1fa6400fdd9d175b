// Self-registration, services and programs run at uninstall time, with the
// probe programs of tools/engine_probes.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/system_facts.h"
#include "engine/ownership_system.h"
#include "engine/registration.h"
#include "tests/win32/test_support.h"
#include "ui/windows_win32.h"

static std::string ShortForm(const std::string& path)
{
    char out[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), out, sizeof(out));
    return n > 0 && n < sizeof(out) ? out : path;
}

static std::string CurrentDirectory()
{
    char dir[MAX_PATH];
    GetCurrentDirectoryA(sizeof(dir), dir);
    return dir;
}

static std::string Upper(std::string s)
{
    CharUpperA(&s[0]);
    return s;
}

class Registration : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        WizardWindow = nullptr;
        folder = ScratchFolder();
        serverFolder = folder + "\\App Folder";
        CreateDirectoryA(serverFolder.c_str(), nullptr);
        SetCurrentDirectoryA(folder.c_str());
    }
    // A copy of a probe under a name of this test's own.
    std::string Copy(const char* probe, const std::string& name)
    {
        std::string target = serverFolder + "\\" + name;
        EXPECT_TRUE(CopyFileA(ProbePath(probe).c_str(), target.c_str(), FALSE))
            << "no probe " << ProbePath(probe);
        DeleteRegistryRecords(name);
        return target;
    }
    static void DeleteRegistryRecords(const std::string& name)
    {
        std::string key = "Software\\KetraProbes\\" + name;
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    }
    std::string folder, serverFolder;
};

TEST_F(Registration, ProgramIsRunWithItsSwitchInItsOwnFolder)
{
    std::string exe = Copy("probe_server.exe", "SRVUNREG.EXE");
    SelfRegister("Unregistering:\r\n", exe.c_str(), 0);
    EXPECT_EQ(Upper(ShortForm(serverFolder)), Upper(ProbeRecord("SRVUNREG.EXE", "Unregistered")));
    EXPECT_EQ("", ProbeRecord("SRVUNREG.EXE", "Registered"));
    std::string line = ProbeRecord("SRVUNREG.EXE", "CommandLine");
    EXPECT_EQ(Upper(ShortForm(exe)) + " /UNREGSERVER", Upper(line));
    EXPECT_EQ(folder, CurrentDirectory()) << "the current folder was not given back";

    SelfRegister("Registering:\r\n", exe.c_str(), 1);
    EXPECT_NE("", ProbeRecord("SRVUNREG.EXE", "Registered"));
    EXPECT_NE(std::string::npos, ProbeRecord("SRVUNREG.EXE", "CommandLine").find(" /REGSERVER"));
    EXPECT_EQ(folder, CurrentDirectory());
}

TEST_F(Registration, ModuleEntryIsCalledForEachDirection)
{
    std::string ocx = Copy("probe_server.dll", "CTRLREG.OCX");
    EXPECT_EQ(1, IsWin32Module(ocx.c_str()));
    SelfRegister("Unregistering:\r\n", ocx.c_str(), 0);
    EXPECT_EQ(Upper(ShortForm(serverFolder)), Upper(ProbeRecord("CTRLREG.OCX", "Unregistered")));
    EXPECT_EQ("", ProbeRecord("CTRLREG.OCX", "Registered"));
    SelfRegister("Registering:\r\n", ocx.c_str(), 1);
    EXPECT_NE("", ProbeRecord("CTRLREG.OCX", "Registered"));
    EXPECT_EQ(folder, CurrentDirectory());
    // The module was let go again: it can be deleted.
    EXPECT_TRUE(DeleteFileA(ocx.c_str()));
}

TEST_F(Registration, ModuleIsCalledAlsoWhenOleIsAlreadySetUp)
{
    std::string dll = Copy("probe_server.dll", "OLEBUSY.DLL");
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    SelfRegister("Unregistering:\r\n", dll.c_str(), 0);
    OleUninitialize();
    EXPECT_NE("", ProbeRecord("OLEBUSY.DLL", "Unregistered"));
}

// Builds a module header: "MZ", the offset at 0x3C, and sig + machine there.
static std::string Header(const char* sig, WORD machine, DWORD offset = 0x80)
{
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    memcpy(&bytes[0x3C], &offset, 4);
    if (offset + 6 <= bytes.size()) {
        memcpy(&bytes[offset], sig, 4);
        memcpy(&bytes[offset + 4], &machine, 2);
    }
    return bytes;
}

TEST_F(Registration, OnlyModulesThisProcessCanLoadAreWin32Modules)
{
#if defined(_WIN64)
    const WORD own = IMAGE_FILE_MACHINE_AMD64, other = IMAGE_FILE_MACHINE_I386;
#else
    const WORD own = IMAGE_FILE_MACHINE_I386, other = IMAGE_FILE_MACHINE_AMD64;
#endif
    struct {
        const char* name;
        std::string bytes;
        int32_t expected;
    } cases[] = {
        {"OWN.DLL", Header("PE\0\0", own), 1},
        {"OTHER.DLL", Header("PE\0\0", other), 0},
        {"OLD16.OCX", Header("NE\5\1", own), 0},
        {"PEX.DLL", Header("PEx\0", own), 0},
        {"FAROFF.DLL", Header("PE\0\0", own, 0x7FFFFFF0), 0},
        {"SHORT.DLL", std::string("MZ"), 0},
        {"EMPTY.DLL", std::string(), 0},
        {"TEXT.DLL", std::string(0x100, 'P'), 0},
    };
    for (auto& c : cases) {
        std::string path = folder + "\\" + c.name;
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(c.expected, IsWin32Module(path.c_str())) << c.name;
    }
    EXPECT_EQ(0, IsWin32Module((folder + "\\MISSING.DLL").c_str()));
    EXPECT_EQ(1, IsWin32Module(ProbePath("probe_server.exe").c_str()));
}

TEST_F(Registration, SixteenBitAndForeignFilesAreLeftAlone)
{
    std::string old16 = serverFolder + "\\OLD16.OCX";
    std::string bytes = Header("NE\5\1", 0);
    WriteFileBytes(old16, bytes);
    SelfRegister("Unregistering:\r\n", old16.c_str(), 0);
    EXPECT_EQ(bytes, ReadFileBytes(old16));
    // A missing program and a missing module: nothing happens.
    SelfRegister("Unregistering:\r\n", (serverFolder + "\\GONE.EXE").c_str(), 0);
    SelfRegister("Unregistering:\r\n", (serverFolder + "\\GONE.DLL").c_str(), 0);
    EXPECT_EQ(folder, CurrentDirectory());
}

TEST_F(Registration, RunAndWaitReturnsOnlyWhenTheProgramHasEnded)
{
    std::string exe = Copy("probe_server.exe", "Slow Tool.exe");
    std::string out = folder + "\\ran.txt";
    std::string arguments = "/write 1500 \"" + out + "\"";
    DWORD start = GetTickCount();
    RunAndWait(exe.c_str(), arguments.c_str());
    DWORD took = GetTickCount() - start;
    EXPECT_TRUE(FileExists(out)) << "the program's work was not done when RunAndWait returned";
    EXPECT_GE(took, 1400u);
    EXPECT_NE(std::string::npos, ReadFileBytes(out).find("/write 1500"));
    // A program that does not exist is passed over.
    RunAndWait((folder + "\\none.exe").c_str(), "Automatic");
}

static bool ServiceExists(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

static DWORD ServiceState(SC_HANDLE service)
{
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status))
        return 0;
    return status.dwCurrentState;
}

// The services' programs lie in the folder of a log the tests stand for.
class Services : public Registration
{
  protected:
    void SetUp() override
    {
        Registration::SetUp();
        LearnProductFolders((serverFolder + "\\INSTALL.LOG").c_str());
    }
};

TEST_F(Services, RunningServiceIsStoppedAndDeleted)
{
    const char* name = "KetraProbeServiceRun";
    std::string exe = Copy("probe_service.exe", "probe_service_run.exe");
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager);
    SC_HANDLE old = OpenServiceA(manager, name, DELETE);
    if (old) {
        DeleteService(old);
        CloseServiceHandle(old);
    }
    SC_HANDLE service = CreateServiceA(
        manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_IGNORE, exe.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(service) << "CreateService failed: " << GetLastError();
    ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << "StartService failed: " << GetLastError();
    for (int i = 0; i < 600 && ServiceState(service) != SERVICE_RUNNING; i++)
        Sleep(100);
    ASSERT_EQ((DWORD)SERVICE_RUNNING, ServiceState(service));

    OpResult result = StopAndDeleteService(name);
    EXPECT_EQ(OpRemoved, result.outcome) << "reason or error " << result.error;

    for (int i = 0; i < 600 && ServiceState(service) != SERVICE_STOPPED; i++)
        Sleep(100);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ServiceState(service)) << "the service was not stopped";
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    bool gone = false;
    for (int i = 0; i < 600 && !gone; i++) {
        gone = !ServiceExists(name);
        if (!gone)
            Sleep(100);
    }
    EXPECT_TRUE(gone) << "the service was not deleted";
}

TEST_F(Services, MissingServiceChangesNothing)
{
    const char* other = "KetraProbeServiceKept";
    std::string exe = Copy("probe_service.exe", "probe_service_kept.exe");
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager);
    SC_HANDLE service = OpenServiceA(manager, other, SERVICE_ALL_ACCESS);
    if (!service)
        service =
            CreateServiceA(manager, other, other, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, exe.c_str(), nullptr,
                           nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(service);
    StopAndDeleteService("KetraProbeServiceNone");
    EXPECT_TRUE(ServiceExists(other));
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}
