// File actions: folders, copies with their repair data and shared counters,
// shell links, edited and deleted files.
#include "install.h"

#include <shlobj.h>
#include <cstdio>
#include <cstdlib>

static const char SharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

int DoFolder(const Directive& d)
{
    std::string path = d.args[0];
    int pattern = path.find_first_of("*?") != std::string::npos;
    std::string folder = pattern ? FolderOf(path) : path;
    if (MakeFolderChain(folder, 1))
        return Complain(d, "cannot create " + folder);
    if (d.kind == DirTree)
        LogLine("File Tree: " + path);
    return 0;
}

// The system's usage count of a shared file goes up by one per copy.
static int RaiseSharedCounter(const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return 1;
    unsigned char data[256];
    DWORD type = 0, size = sizeof data - 1;
    long count = 0;
    if (RegQueryValueExA(key, path.c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS) {
        if (type == REG_DWORD || (type == REG_BINARY && size == 4))
            count = (long)(data[0] | data[1] << 8 | data[2] << 16 | (DWORD)data[3] << 24);
        else if (type == REG_SZ) {
            data[size] = 0;
            count = atol((char*)data);
        }
    }
    if (count < 0)
        count = 0;
    DWORD value = (DWORD)count + 1;
    int result = RegSetValueExA(key, path.c_str(), 0, REG_DWORD, (BYTE*)&value, 4) != ERROR_SUCCESS;
    RegCloseKey(key);
    return result;
}

int DoCopy(const Directive& d)
{
    const std::string& dest = d.args[1];
    std::string payload = PayloadPath(*CurrentManifest, d);
    std::string backup, repair;
    if (MakeFolderChain(FolderOf(dest), 1))
        return Complain(d, "cannot create the folder of " + dest);
    int existed = GetFileAttributesA(dest.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (existed && (d.flags & CopyBackup) && CopyForBackup(dest, backup))
        return Complain(d, "cannot take the backup copy of " + dest);
    if (existed)
        SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(payload.c_str(), dest.c_str(), FALSE))
        return Complain(d, "cannot copy " + payload + " to " + dest + " (error " +
                               std::to_string(GetLastError()) + ")");
    if ((d.flags & CopyShared) && !(d.flags & CopyNoCount) && RaiseSharedCounter(dest))
        return Complain(d, "cannot raise the shared counter of " + dest);
    if (!(d.flags & CopyNoRepair) && MakeRepairData(dest, repair))
        return Complain(d, "cannot read back " + dest);

    if (d.flags & CopyNonSystem)
        LogLine("Non-System File:");
    if (d.flags & CopyNoCount)
        LogLine("Shared DLL counter ignored:");
    std::string line = (existed ? "File Overwrite: " : "File Copy: ") + dest;
    if (!repair.empty())
        line += " |" + repair;
    LogLine(line);
    if (!backup.empty())
        LogLine("Backup Copy: " + backup);
    return 0;
}

static std::string NumberOr(const std::string& text, const char* fallback)
{
    return text.empty() ? std::string(fallback)
                        : std::to_string(strtoul(text.c_str(), nullptr, 10));
}

int DoLink(const Directive& d)
{
    const std::string& link = d.args[0];
    std::string target = d.args[1], work = d.args[2], icon = d.args[3], args = d.args[7];
    std::string index = NumberOr(d.args[4], "0");
    std::string show = NumberOr(d.args[5], "1");
    std::string hotkey = NumberOr(d.args[6], "0");
    if (MakeFolderChain(FolderOf(link), 1))
        return Complain(d, "cannot create the folder of " + link);

    int result = 1;
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    HRESULT init = CoInitialize(nullptr);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void**)&shell)))
        goto done;
    shell->SetPath(target.c_str());
    shell->SetWorkingDirectory(work.c_str());
    shell->SetIconLocation(icon.c_str(), atoi(index.c_str()));
    shell->SetShowCmd(atoi(show.c_str()));
    if (atoi(hotkey.c_str()) & 0xFF)
        shell->SetHotkey((WORD)atoi(hotkey.c_str()));
    shell->SetArguments(args.c_str());
    if (FAILED(shell->QueryInterface(IID_IPersistFile, (void**)&file)))
        goto done;
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Save(wide, TRUE)))
        result = 0;
done:
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    if (result)
        return Complain(d, "cannot save the shell link " + link);
    LogLine("Shell Link: " + link);
    LogLine("Link Info: " + target + " | " + work + " | " + icon + " | " + index + " | " + show +
            " | " + hotkey + " | " + args);
    return 0;
}

int DoEdit(const Directive& d)
{
    const std::string& path = d.args[0];
    std::string backup;
    if (CopyForBackup(path, backup))
        return Complain(d, "cannot take the backup copy of " + path);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Complain(d, "cannot open " + path + " for editing");
    std::string text = d.args[1] + "\r\n";
    DWORD size = GetFileSize(h, nullptr), got = 0;
    char last = '\n';
    if (size > 0) {
        SetFilePointer(h, -1, nullptr, FILE_END);
        ReadFile(h, &last, 1, &got, nullptr);
    }
    if (last != '\n')
        text = "\r\n" + text;
    SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD written = 0;
    BOOL ok = WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(h);
    if (!ok || written != text.size())
        return Complain(d, "cannot write " + path);
    LogLine("File Edit: " + path);
    LogLine("Backup Copy: " + backup);
    return 0;
}

int DoDelete(const Directive& d)
{
    const std::string& path = d.args[0];
    std::string backup;
    if (CopyForBackup(path, backup))
        return Complain(d, "cannot take the backup copy of " + path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str()))
        return Complain(d, "cannot delete " + path);
    LogLine("File Delete: " + path);
    LogLine("Backup Copy: " + backup);
    return 0;
}
