#include "repair/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "log/path_helpers.h"
#include "repair/link_info.h"

void CreateDirectoryPath(char* path)
{
    // Whole characters: a trail byte is never taken for a backslash.
    char* at = path;
    while (*at && *at != '\\')
        at = CharNextA(at);
    for (; *at; at = CharNextA(at)) {
        if (*at != '\\')
            continue;
        // Existing folders, drive roots and bad names fail harmlessly.
        *at = 0;
        CreateDirectoryA(path, nullptr);
        *at = '\\';
    }
}

void RecreateShortcut(const char* linkPath, const char* linkInfo)
{
    // S_FALSE too: a thread that has COM already is not ours to share.
    if (CoInitialize(nullptr) != S_OK)
        return;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         (void**)&link) == S_OK &&
        link->QueryInterface(IID_IPersistFile, (void**)&file) == S_OK) {
        WCHAR wide[MAX_PATH];
        wide[0] = 0;
        MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH);
        wide[MAX_PATH - 1] = 0;
        LinkFields fields;
        ParseLinkInfo(linkInfo, &fields);
        // The results are not tested: a field the object refuses stays empty.
        link->SetPath(fields.Target);
        link->SetWorkingDirectory(fields.WorkingDirectory);
        link->SetIconLocation(fields.IconFile, fields.IconIndex);
        link->SetShowCmd(fields.ShowCommand);
        if (fields.Hotkey)
            link->SetHotkey((WORD)fields.Hotkey);
        link->SetArguments(fields.Arguments);
        char folders[PathBufferSize];
        CopyText(folders, linkPath, sizeof folders);
        CreateDirectoryPath(folders);
        file->Save(wide, FALSE);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
}
