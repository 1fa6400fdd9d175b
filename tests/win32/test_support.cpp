#include "tests/win32/test_support.h"

#include <cstdlib>
#include <vector>

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

std::string ProbePath(const char* file)
{
    const char* build = getenv("KETRA_BUILD");
    std::string path = build ? build : "";
    // A Linux path: the prefix maps the root to drive Z:.
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path + "\\tools\\engine_probes\\" + file;
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
