// Device lines in the prefix's own SYSTEM.INI, which every test puts back.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/system_facts.h"
#include "log/reader.h"
#include "engine/deferred.h"
#include "engine/engine_env.h"
#include "engine/registration.h"
#include "tests/win32/test_support.h"

static std::string WindowsFile(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof(dir));
    return std::string(dir) + "\\" + name;
}

static std::string SystemFile(const char* name)
{
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, sizeof(dir));
    return std::string(dir) + "\\" + name;
}

static const char SessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

// PendingFileRenameOperations as it stands (empty when absent).
static std::string PendingOperations(bool* present = nullptr)
{
    HKEY key;
    std::vector<char> data(65536);
    DWORD size = (DWORD)data.size();
    std::string out;
    if (present)
        *present = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, (BYTE*)data.data(),
                         &size) == ERROR_SUCCESS) {
        out.assign(data.data(), size);
        if (present)
            *present = true;
    }
    RegCloseKey(key);
    return out;
}

static void PutPendingOperations(bool present, const std::string& data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (present)
        RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       (const BYTE*)data.data(), (DWORD)data.size());
    else
        RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
}

static std::string Upper(std::string s)
{
    if (!s.empty())
        CharUpperBuffA(&s[0], (DWORD)s.size());
    return s;
}

class SystemIni : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        ResetDeferredWork();
        PlatformKind = PlatformNT;
        ini = WindowsFile("SYSTEM.INI");
        temp = WindowsFile("~KTRS383.TMP");
        hadIni = FileExists(ini);
        original = ReadFileBytes(ini);
        pending = PendingOperations(&hadPending);
        DeleteFileA(temp.c_str());
    }
    void TearDown() override
    {
        SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (hadIni)
            WriteFileBytes(ini, original);
        else
            DeleteFileA(ini.c_str());
        SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(temp.c_str());
        PutPendingOperations(hadPending, pending);
    }
    // No "~KTU" file of the exchange is left in the Windows folder.
    static int AsideFiles()
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(WindowsFile("~KTU*.TMP").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return 0;
        int n = 0;
        do
            n++;
        while (FindNextFileA(find, &data));
        FindClose(find);
        return n;
    }
    std::string ini, temp, original, pending;
    bool hadIni = false, hadPending = false;
};

TEST_F(SystemIni, BothFormsAreCommentedOutOnlyInside386Enh)
{
    std::string device = SystemFile("KTDEV1.386");
    std::string before = "[boot]\r\ndevice=KTDEV1.386\r\n[386Enh]\r\ndevice=KTDEV1.386\r\n"
                         "  device=" +
                         Upper(device) +
                         "\r\ndevice=*vmm\r\n"
                         "[Other]\r\ndevice=KTDEV1.386\r\n";
    WriteFileBytes(ini, before);
    RemoveDeviceLine(device.c_str());
    EXPECT_EQ("[boot]\r\ndevice=KTDEV1.386\r\n[386Enh]\r\n;device=KTDEV1.386\r\n"
              ";  device=" +
                  Upper(device) +
                  "\r\ndevice=*vmm\r\n"
                  "[Other]\r\ndevice=KTDEV1.386\r\n",
              ReadFileBytes(ini));
    EXPECT_FALSE(FileExists(temp));
    EXPECT_EQ(0, AsideFiles());
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
}

TEST_F(SystemIni, WithoutAMatchTheFileStaysByteIdenticalAndTheTemporaryFileIsGone)
{
    static const char raw[] = "[386Enh]\r\ndevice=KTOTHER.386\n\x01\xff\x00\xfe\r\rlast line";
    std::string before(raw, sizeof(raw) - 1);
    WriteFileBytes(ini, before);
    RemoveDeviceLine(SystemFile("KTDEV2.386").c_str());
    EXPECT_EQ(before, ReadFileBytes(ini));
    EXPECT_FALSE(FileExists(temp));
}

TEST_F(SystemIni, LongLinesBinaryBytesAndALastLineWithoutEndSurvive)
{
    std::string device = SystemFile("KTDEV3.386");
    std::string longLine = "path=" + std::string(700, 'L');
    static const char binary[] = "bytes=\x80\xff\x00\x01\x1a end";
    std::string bin(binary, sizeof(binary) - 1);
    std::string before = "[386Enh]\r\n" + longLine + "\r\n" + bin + "\r\ndevice=KTDEV3.386\r\n" +
                         "device=KTDEV3.386";
    WriteFileBytes(ini, before);
    RemoveDeviceLine(device.c_str());
    EXPECT_EQ("[386Enh]\r\n" + longLine + "\r\n" + bin + "\r\n;device=KTDEV3.386\r\n" +
                  ";device=KTDEV3.386",
              ReadFileBytes(ini));
    EXPECT_FALSE(FileExists(temp));
}

TEST_F(SystemIni, ReadOnlyFileIsReplacedAndStaysReadOnly)
{
    std::string device = SystemFile("KTDEV4.386");
    WriteFileBytes(ini, "[386Enh]\r\ndevice=KTDEV4.386\r\n");
    ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    DeleteInUseFiles = 1;
    RemoveDeviceLine(device.c_str());
    EXPECT_EQ("[386Enh]\r\n;device=KTDEV4.386\r\n", ReadFileBytes(ini));
    DWORD attributes = GetFileAttributesA(ini.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(FileExists(temp));
    EXPECT_EQ(0, AsideFiles());
    // Nothing about SYSTEM.INI waits for the restart.
    EXPECT_EQ(std::string::npos, Upper(PendingOperations()).find("SYSTEM.INI"));
    EXPECT_EQ(0, DeferredSoFar().restartNeeded);
}

TEST_F(SystemIni, FileHeldOpenKeepsItsTextUntilTheRestartExchangesIt)
{
    std::string device = SystemFile("KTDEV5.386");
    std::string before = "[386Enh]\r\ndevice=KTDEV5.386\r\n";
    WriteFileBytes(ini, before);
    DeleteInUseFiles = 1;
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    RemoveDeviceLine(device.c_str());
    CloseHandle(held);
    // The old text is still in place and the new one waits, complete, in
    // the temporary file for an exchange (not a deletion) at the restart.
    EXPECT_EQ(before, ReadFileBytes(ini));
    EXPECT_EQ("[386Enh]\r\n;device=KTDEV5.386\r\n", ReadFileBytes(temp));
    std::string ops = Upper(PendingOperations());
    size_t at = ops.find("~KTRS383.TMP");
    ASSERT_NE(std::string::npos, at) << "no exchange scheduled";
    EXPECT_NE(std::string::npos, ops.find("SYSTEM.INI", at)) << "the exchange has no target";
    EXPECT_EQ(1, DeferredSoFar().restartNeeded);
}

TEST_F(SystemIni, MissingSystemIniIsPassedOver)
{
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(ini.c_str());
    RemoveDeviceLine(SystemFile("KTDEV6.386").c_str());
    EXPECT_FALSE(FileExists(ini));
    EXPECT_FALSE(FileExists(temp));
}
