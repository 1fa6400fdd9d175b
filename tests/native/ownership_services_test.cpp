// Which program a service's configuration starts, in every form the system
// accepts, and whether that shows the service to be the product's.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/ownership_services.h"
#include "fake_system.h"
#include "log/path_helpers.h"
#include "log/text_step.h"
#include "reader_support.h"

namespace
{

const char* const Product = "C:\\Program Files\\KTEST App";

std::set<std::string> Files = {
    "C:\\WINDOWS\\SYSTEM32\\SVCHOST.EXE",
    "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\MOUNTMGR.SYS",
    "C:\\WINDOWS\\NOTEPAD.EXE",
    "C:\\PROGRAM FILES\\KTEST APP\\SVC.EXE",
    "C:\\PROGRAM FILES\\KTEST APP\\HOST.DLL",
    "C:\\PROGRAM.EXE",
    "C:\\WINDOWS\\SYSTEM32\\SPOOLSV.EXE",
    "C:\\KT\x95\x5C\\SVC.EXE",
};

std::string Upper(std::string s)
{
    for (char& c : s)
        c = FoldAscii(c);
    return s;
}

bool Exists(const char* path, void*)
{
    return Files.count(Upper(path)) != 0;
}

bool Variable(const char* name, char* out, int32_t size, void*)
{
    if (Upper(name) != "PROGRAMFILES")
        return false;
    CopyText(out, "C:\\Program Files", size);
    return true;
}

const ServiceSystem System = {"C:\\WINDOWS", "C:\\WINDOWS\\System32", Variable, Exists, nullptr};

std::string Program(const char* image)
{
    char out[PathBufferSize];
    if (!ServiceProgramPath(image, &System, out, sizeof out))
        return "<none>";
    return out;
}

bool InProduct(const char* program, void*)
{
    return PathWithin(program, Product);
}

std::string LogFile;
bool IsLogFile(const char* program, void*)
{
    return CompareNoCase(program, LogFile.c_str()) == 0;
}

int32_t Reason(const char* image, uint32_t type = 0x10, const char* dll = "")
{
    ServiceQuestions questions = {System, IsLogFile, InProduct};
    char program[PathBufferSize];
    return ServiceOwnershipReason(image, type, dll, &questions, program, sizeof program);
}

} // namespace

TEST(ServiceProgram, EveryFormTheSystemReads)
{
    const std::string svc = "C:\\Program Files\\KTEST App\\svc.exe";
    const std::string host = "C:\\WINDOWS\\System32\\svchost.exe";
    const std::string driver = "C:\\WINDOWS\\System32\\drivers\\mountmgr.sys";
    struct {
        const char* image;
        std::string program;
    } cases[] = {
        {"\"C:\\Program Files\\KTEST App\\svc.exe\" -run", svc},
        {"  \"C:\\Program Files\\KTEST App\\svc.exe", svc}, // no closing quote
        {"C:\\Program Files\\KTEST App\\svc.exe -run now", svc},
        {"C:\\Program Files\\KTEST App\\svc -run", svc}, // ".exe" added
        {"C:/Program Files//KTEST App/svc.exe", svc},
        {"%ProgramFiles%\\KTEST App\\svc.exe", svc},
        {"%SystemRoot%\\System32\\svchost.exe -k netsvcs", host},
        {"%WINDIR%\\System32\\svchost.exe", host},
        {"%SystemDrive%\\WINDOWS\\System32\\svchost.exe", host},
        {"svchost.exe -k LocalService", host},
        {"\\SystemRoot\\System32\\drivers\\mountmgr.sys", driver},
        {"System32\\drivers\\mountmgr.sys", driver},
        {"\\??\\C:\\WINDOWS\\System32\\drivers\\mountmgr.sys", driver},
        {"\\WINDOWS\\System32\\drivers\\mountmgr.sys", driver},
        {"notepad", "C:\\WINDOWS\\notepad.exe"},
        {"\\\\?\\UNC\\server\\share\\svc.exe", "\\\\server\\share\\svc.exe"},
        // Links and dots are resolved: the text's start proves nothing.
        {"C:\\Program Files\\KTEST App\\..\\..\\WINDOWS\\System32\\svchost.exe", host},
    };
    for (auto& c : cases) {
        EXPECT_EQ(Upper(c.program), Upper(Program(c.image))) << c.image;
    }
}

TEST(ServiceProgram, TextThatNamesNoProgram)
{
    EXPECT_EQ("<none>", Program(""));
    EXPECT_EQ("<none>", Program("   "));
    EXPECT_EQ("<none>", Program("C:svc.exe"));
    EXPECT_EQ("<none>", Program("\"\""));
    // A missing program is named by the whole text, which still tells
    // where it would lie; unquoted, a shorter part that exists is what the
    // system would start instead.
    EXPECT_EQ("C:\\KTESTAPP\\gone.exe\\x", Program("C:\\KTESTAPP\\gone.exe /x"));
    EXPECT_EQ("C:\\Program.exe", Program("C:\\Program Files\\KTEST App\\gone.exe"));
    // Over-long texts are cut, never overrun.
    std::string longImage = "C:\\Program Files\\KTEST App\\svc.exe " + std::string(5000, 'a');
    EXPECT_EQ("C:\\Program Files\\KTEST App\\svc.exe", Program(longImage.c_str()));
    std::string longPath = "C:\\" + std::string(400, 'b') + ".exe";
    EXPECT_EQ("<none>", Program(longPath.c_str()));
    std::string manyBlanks;
    for (int i = 0; i < 300; i++)
        manyBlanks += "C:\\x ";
    EXPECT_EQ("<none>", Program(manyBlanks.c_str()));
}

TEST(ServiceProgram, DoubleByteNamesStayWhole)
{
    UseDoubleByteRule();
    // The second byte of the folder's name is a backslash's code.
    EXPECT_EQ("C:\\KT\x95\x5C\\SVC.EXE", Upper(Program("C:\\KT\x95\x5C\\svc.exe -x")));
    ResetFakeSystem();
}

TEST(ServiceOwnership, ThePrograms)
{
    LogFile = "C:\\WINDOWS\\System32\\drivers\\mountmgr.sys";
    // In the product's folder, or one of the log's files.
    EXPECT_EQ(OwnedByLog, Reason("\"C:\\Program Files\\KTEST App\\svc.exe\""));
    EXPECT_EQ(OwnedByLog, Reason("system32\\drivers\\mountmgr.sys", 1));
    // The system's programs, however spelt.
    EXPECT_EQ(ReasonForeignService, Reason("C:\\WINDOWS\\System32\\spoolsv.exe"));
    EXPECT_EQ(ReasonForeignService,
              Reason("C:\\Program Files\\KTEST App\\..\\..\\WINDOWS\\System32\\spoolsv.exe"));
    EXPECT_EQ(ReasonForeignService, Reason("C:\\Program Files\\KTEST App2\\svc.exe"));
    EXPECT_EQ(ReasonForeignService, Reason(""));
    LogFile.clear();
    EXPECT_EQ(ReasonForeignService, Reason("system32\\drivers\\mountmgr.sys", 1));
}

TEST(ServiceOwnership, SharedHostsAreJudgedByTheirLibrary)
{
    EXPECT_TRUE(SharesHostProcess("svchost.exe", 0x20));
    EXPECT_TRUE(SharesHostProcess("C:\\WINDOWS\\System32\\svchost.exe -k netsvcs", 0x10));
    EXPECT_TRUE(SharesHostProcess("svchost.exe /K group", 0x10));
    EXPECT_FALSE(SharesHostProcess("svc.exe -keep", 0x10));
    EXPECT_FALSE(SharesHostProcess("C:\\x -k\\svc.exe", 0x10));
    EXPECT_FALSE(SharesHostProcess("C:\\x-k\\svc.exe", 0x10));

    const char* host = "%SystemRoot%\\System32\\svchost.exe -k netsvcs";
    EXPECT_EQ(OwnedByLog, Reason(host, 0x20, "C:\\Program Files\\KTEST App\\host.dll"));
    EXPECT_EQ(ReasonForeignService, Reason(host, 0x20, "%SystemRoot%\\System32\\rpcss.dll"));
    EXPECT_EQ(ReasonForeignService, Reason(host, 0x20, "")) << "the host is not the product's";
    // A library named by a service that runs its own program is not what runs.
    EXPECT_EQ(ReasonForeignService, Reason("C:\\WINDOWS\\System32\\spoolsv.exe", 0x10,
                                           "C:\\Program Files\\KTEST App\\host.dll"));
}

TEST(ServiceOwnership, LogFilesAreTheCopiesTheLogMade)
{
    FreshRun();
    ASSERT_EQ(
        0,
        ReadText(LogText(
            {LOG_HEAD, "File Copy: C:\\APP\\SVC.EXE", "File Copy: C:\\WINDOWS\\SYSTEM\\KDRV.SYS",
             "File Copy: C:\\WINDOWS\\SYSTEM\\SPOOL.EXE", "Backup Copy: C:\\APP\\BACKUP\\SPOOL.EXE",
             "File Copy: C:\\WINDOWS\\SYSTEM\\A.DLL", "File Copy: C:\\WINDOWS\\SYSTEM\\Z.DLL"})));
    EXPECT_NE(nullptr, LogFileRecord("c:\\app\\svc.exe"));
    EXPECT_NE(nullptr, LogFileRecord("C:\\WINDOWS\\SYSTEM\\kdrv.sys"));
    EXPECT_NE(nullptr, LogFileRecord("C:\\WINDOWS\\SYSTEM\\Z.DLL"));
    EXPECT_EQ(nullptr, LogFileRecord("C:\\WINDOWS\\SYSTEM\\SPOOL.EXE"))
        << "a file the installation replaced was there before it";
    EXPECT_EQ(nullptr, LogFileRecord("C:\\APP\\SVC.EX"));
    EXPECT_EQ(nullptr, LogFileRecord("C:\\APP\\XSVC.EXE"));
    EXPECT_EQ(nullptr, LogFileRecord(""));
}
