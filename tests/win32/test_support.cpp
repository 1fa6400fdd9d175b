#include "tests/win32/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/main_window.h"
#include "app/system_facts.h"
#include "engine/uninstall.h"
#include "engine/deferred.h"
#include "engine/ownership_files_system.h"
#include "engine/ownership_system.h"
#include "engine/reporter.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "platform/system_rules.h"
#include "ui/progress.h"

std::string ScratchFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string dir = std::string(temp) + "ketra_" + info->test_suite_name() + "_" + info->name();
    // Left-overs of an earlier run go first.
    SHFILEOPSTRUCTA op;
    std::vector<char> from(dir.begin(), dir.end());
    from.push_back(0);
    from.push_back(0);
    ZeroMemory(&op, sizeof(op));
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (GetFileAttributesA(dir.c_str()) != INVALID_FILE_ATTRIBUTES)
        SHFileOperationA(&op);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string BuildToolPath(const char* folder, const char* file)
{
    const char* build = getenv("KETRA_BUILD");
    std::string path = build ? build : "";
    // A Linux path: the prefix maps the root to drive Z:.
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path + "\\tools\\" + folder + "\\" + file;
}

std::string ProbePath(const char* file)
{
    return BuildToolPath("engine_probes", file);
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof(block), &got, nullptr) && got)
        bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << "cannot write " << path;
    DWORD put = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), put);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProbeRecord(const std::string& probeFile, const char* name)
{
    char data[1024] = "";
    DWORD size = sizeof(data) - 1;
    HKEY key;
    std::string keyName = "Software\\KetraProbes\\" + probeFile;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)data, &size) != ERROR_SUCCESS)
        data[0] = 0;
    RegCloseKey(key);
    return data;
}

struct FindContext {
    const char* windowClass;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    FindContext* context = (FindContext*)lParam;
    char name[64];
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof(name)) &&
        lstrcmpA(name, context->windowClass) == 0) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

WindowAnswerer::WindowAnswerer(const char* windowClass, std::function<void(HWND)> act)
{
    DWORD owner = GetCurrentThreadId();
    thread_ = std::thread([this, windowClass, act, owner]() {
        // Generous: on a busy machine a dialog may take long to show.
        DWORD start = GetTickCount();
        while (!window_ && GetTickCount() - start < 60000) {
            FindContext context = {windowClass, nullptr};
            EnumThreadWindows(owner, MatchWindow, (LPARAM)&context);
            if (context.found) {
                char text[256] = "";
                GetWindowTextA(context.found, text, sizeof(text));
                title_ = text;
                window_ = context.found;
                act(context.found);
                return;
            }
            Sleep(50);
        }
    });
}

WindowAnswerer::~WindowAnswerer()
{
    thread_.join();
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressKey(HWND dialog, WPARAM key)
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

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

// The program connects its portable helpers to the system first thing in
// WinMain; the tests do the same before any case runs.
namespace
{
class SystemRulesEnvironment : public ::testing::Environment
{
  public:
    void SetUp() override { UseSystemRules(); }
};
::testing::Environment* const SystemRules =
    ::testing::AddGlobalTestEnvironment(new SystemRulesEnvironment);
} // namespace

void ResetFileFlags()
{
    ResetDeferredWork();
    DeleteInUseFiles = 1;
    PlatformKind = PlatformNT;
    ClearPendingRenames();
    // The scratch folders C:\ktrtest\<name> lie in the folder of a log the
    // tests stand for: the product's, as far as the file operations know.
    CreateDirectoryA("C:\\ktrtest", nullptr);
    LearnProductFolders("C:\\ktrtest\\INSTALL.LOG");
    ForgetSystemFileFacts();
}

UninstallRequest SilentAutomaticRequest()
{
    UninstallRequest request = {ModeAutomatic, 0, 1};
    return request;
}

void ResetRun()
{
    PoolFreeAll();
    ResetSystemFacts();
    ResetDeferredWork();
    Reporter = WindowsReporterFor(0);
    ResetLogValues();
    CreateItemLists();
    ResetLineBuffer();
}

void StartSilentAutomaticRun()
{
    ResetRun();
    Reporter = WindowsReporterFor(1);
    PlatformKind = PlatformNT;
    GetModuleFileNameA(nullptr, ModulePath, sizeof(ModulePath));
}

void CloseRunWindows()
{
    DestroyStartupWindow();
    if (MainWindow)
        DestroyWindow(MainWindow);
    MainWindow = nullptr;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}
