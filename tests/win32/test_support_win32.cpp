#include "test_support_win32.h"

#include <cstdio>

static const char* SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            // Never into a link: what it points to is not the test's.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::string ScratchFolder(const char* name)
{
    CreateDirectoryA("C:\\ktrtest", nullptr);
    std::string path = std::string("C:\\ktrtest\\") + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string ReadFileText(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string PendingRenames()
{
    HKEY key;
    std::string result;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return result;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        size > 0) {
        result.resize(size);
        RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, (BYTE*)&result[0],
                         &size);
        result.resize(size);
    }
    RegCloseKey(key);
    // One line per string, so that tests can search and print it.
    for (char& c : result)
        if (c == 0)
            c = '\n';
    return result;
}

void ClearPendingRenames()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
}

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer) : path;
}

#include <gtest/gtest.h>

#include "platform/system_rules.h"

// The program connects its portable helpers to the system first thing in
// WinMain; the tests do the same before any case runs.
namespace {
class SystemRulesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { UseSystemRules(); }
};
::testing::Environment* const SystemRules =
    ::testing::AddGlobalTestEnvironment(new SystemRulesEnvironment);
} // namespace
