// Links rebuilt from their link information, with their folders.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "repair/shortcut.h"
#include "tests/win32/test_support.h"

struct LinkRead {
    std::string target, directory, arguments, icon;
    int iconIndex = -1, show = -1;
    WORD hotkey = 0xFFFF;
};

static LinkRead ReadLink(const std::string& path)
{
    LinkRead r;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         (void**)&link) == S_OK &&
        link->QueryInterface(IID_IPersistFile, (void**)&file) == S_OK &&
        file->Load(wide, STGM_READ) == S_OK) {
        char text[1024];
        link->GetPath(text, sizeof text, nullptr, 0);
        r.target = text;
        link->GetWorkingDirectory(text, sizeof text);
        r.directory = text;
        link->GetArguments(text, sizeof text);
        r.arguments = text;
        link->GetIconLocation(text, sizeof text, &r.iconIndex);
        r.icon = text;
        link->GetShowCmd(&r.show);
        link->GetHotkey(&r.hotkey);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return r;
}

// The link file's header keeps the icon index, show command and hotkey at
// fixed places; read there, they do not depend on what the reader reports.
struct LinkHeader {
    int32_t iconIndex, show;
    uint16_t hotkey;
};

static LinkHeader ReadHeader(const std::string& path)
{
    std::string bytes = ReadFileBytes(path);
    LinkHeader h = {-1, -1, 0xFFFF};
    if (bytes.size() >= 0x4C) {
        memcpy(&h.iconIndex, bytes.data() + 0x38, 4);
        memcpy(&h.show, bytes.data() + 0x3C, 4);
        memcpy(&h.hotkey, bytes.data() + 0x40, 2);
    }
    return h;
}

TEST(RecreateShortcut, EveryFieldAndTheWholeFolderChain)
{
    std::string folder = ScratchFolder();
    std::string target = folder + "\\App\\app.exe";
    WriteFileBytes(folder + "\\stub", "");
    CreateDirectoryA((folder + "\\App").c_str(), nullptr);
    WriteFileBytes(target, "MZ");
    std::string link = folder + "\\Menu\\Programs\\Deep\\App.lnk";
    std::string info = target + " | " + folder + "\\App | " + folder +
                       "\\App\\app.ico | 2 | 11 | 1604 | /x \"a b\"";
    RecreateShortcut(link.c_str(), info.c_str());
    ASSERT_TRUE(FileExists(link));
    LinkRead r = ReadLink(link);
    EXPECT_EQ(target, r.target);
    EXPECT_EQ(folder + "\\App", r.directory);
    EXPECT_EQ("/x \"a b\"", r.arguments);
    EXPECT_EQ(folder + "\\App\\app.ico", r.icon);
    EXPECT_EQ(2, r.iconIndex);
    EXPECT_EQ(1604, r.hotkey);
    LinkHeader h = ReadHeader(link);
    EXPECT_EQ(2, h.iconIndex);
    EXPECT_EQ(3, h.show) << "show command 11 is saved as 11 AND 7";
    EXPECT_EQ(1604, h.hotkey);
    // An existing link is overwritten: the next rebuild has only a target.
    RecreateShortcut(link.c_str(), (target + "|||0|0|512|").c_str());
    r = ReadLink(link);
    h = ReadHeader(link);
    EXPECT_EQ(target, r.target);
    EXPECT_EQ("", r.arguments);
    EXPECT_EQ("", r.directory);
    EXPECT_EQ(0, h.hotkey) << "a modifier without a key is not set";
}

TEST(RecreateShortcut, FolderChainOnlyUpToTheLastBackslash)
{
    std::string folder = ScratchFolder();
    char path[MAX_PATH];
    lstrcpyA(path, (folder + "\\one\\two\\file.lnk").c_str());
    std::string before = path;
    CreateDirectoryPath(path);
    EXPECT_EQ(before, path);
    EXPECT_TRUE(FileExists(folder + "\\one\\two"));
    EXPECT_FALSE(FileExists(folder + "\\one\\two\\file.lnk"));
    lstrcpyA(path, "nobackslash");
    CreateDirectoryPath(path);
    EXPECT_STREQ("nobackslash", path);
}

TEST(RecreateShortcut, AThreadWithComAlreadyUpIsLeftAlone)
{
    std::string folder = ScratchFolder();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    RecreateShortcut((folder + "\\x.lnk").c_str(), "C:\\windows\\notepad.exe");
    EXPECT_FALSE(FileExists(folder + "\\x.lnk"));
    CoUninitialize();
}
