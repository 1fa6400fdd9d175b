// KPROBE.EXE: reads the machine for the tests and the demo. Each command is
// one line of fields separated by '|', given as arguments or, with @file, one
// per line of that file; each prints one or more lines.
//
//   file|PATH             size crc MM-DD-YYYY HH:MM:SS   (or "missing")
//   reg|ROOT|KEY|NAME     type|data in the log's text form (or "missing")
//   key|ROOT|KEY          present | missing
//   link|PATH             the seven link fields as "Link Info: " writes them
//   ini|FILE|SECT|ITEM    the value (or "missing")
//   service|NAME          present STATE | missing
//   tree|FOLDER           every file below FOLDER, one "file" line each
//   regtree|ROOT|KEY      every value below KEY, one "reg" line each
//   inisect|FILE|SECT     every ITEM=VALUE of a section
//   folder|PROGRAMS       the start menu's program folder (or DESKTOP, WINDOWS)
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static HKEY RootKey(const std::string& s)
{
    if (s == "0" || !lstrcmpiA(s.c_str(), "HKCR"))
        return HKEY_CLASSES_ROOT;
    if (s == "1" || !lstrcmpiA(s.c_str(), "HKCU"))
        return HKEY_CURRENT_USER;
    if (s == "2" || !lstrcmpiA(s.c_str(), "HKLM"))
        return HKEY_LOCAL_MACHINE;
    if (s == "3" || !lstrcmpiA(s.c_str(), "HKU"))
        return HKEY_USERS;
    return HKEY_CURRENT_CONFIG;
}

static unsigned long Crc(const unsigned char* p, size_t n, unsigned long c)
{
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320ul ^ (c >> 1) : c >> 1;
    }
    return c;
}

static void FileLine(const std::string& path, const char* suffix)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        printf("missing%s\n", suffix);
        return;
    }
    static unsigned char block[65536];
    DWORD got = 0;
    unsigned long size = 0, crc = 0xFFFFFFFFul;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) {
        crc = Crc(block, got, crc);
        size += got;
    }
    FILETIME written, local;
    SYSTEMTIME t = {};
    GetFileTime(h, nullptr, nullptr, &written);
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToSystemTime(&local, &t);
    CloseHandle(h);
    printf("%lu %08lx %02d-%02d-%04d %02d:%02d:%02d%s\n", size, size ? ~crc & 0xFFFFFFFFul : 0,
           t.wMonth, t.wDay, t.wYear, t.wHour, t.wMinute, t.wSecond, suffix);
}

static std::string ValueText(DWORD type, const unsigned char* data, DWORD size)
{
    char buffer[16];
    std::string out;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::to_string(type == REG_SZ ? 0 : 1) + "|" +
               std::string((const char*)data, strnlen((const char*)data, size));
    case REG_MULTI_SZ:
        out = "2";
        for (DWORD at = 0; at < size && data[at];) {
            size_t n = strnlen((const char*)data + at, size - at);
            out += "|" + std::string((const char*)data + at, n);
            at += (DWORD)n + 1;
        }
        return out;
    case REG_DWORD:
        return "3|" + std::to_string((unsigned long)(data[0] | data[1] << 8 | data[2] << 16 |
                                                     (DWORD)data[3] << 24));
    default:
        out = type == REG_BINARY ? "4|" : "type" + std::to_string(type) + "|";
        for (DWORD i = 0; i < size; i++) {
            sprintf(buffer, "%02x", data[i]);
            out += buffer;
        }
        return out;
    }
}

static void RegTree(HKEY root, const std::string& key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return;
    char name[16384];
    static unsigned char data[65536];
    for (DWORD i = 0;; i++) {
        DWORD n = sizeof name, size = sizeof data, type = 0;
        if (RegEnumValueA(h, i, name, &n, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        printf("%s|%s=%s\n", key.c_str(), name, ValueText(type, data, size).c_str());
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; i++) {
        DWORD n = sizeof name;
        if (RegEnumKeyExA(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(h);
    for (const std::string& s : subkeys)
        RegTree(root, key + "\\" + s);
}

static void FileTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> folders;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(path);
        else
            FileLine(path, (" " + path).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
    for (const std::string& f : folders)
        FileTree(f);
}

static void LinkLine(const std::string& path)
{
    IShellLinkA* shell = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    char target[MAX_PATH] = "", work[MAX_PATH] = "", icon[MAX_PATH] = "", args[1024] = "";
    int index = 0, show = 0;
    WORD hotkey = 0;
    int ok = 0;
    CoInitialize(nullptr);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void**)&shell)) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, (void**)&file))) {
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
            SUCCEEDED(file->Load(wide, STGM_READ))) {
            shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            shell->GetWorkingDirectory(work, MAX_PATH);
            shell->GetIconLocation(icon, MAX_PATH, &index);
            shell->GetShowCmd(&show);
            shell->GetHotkey(&hotkey);
            shell->GetArguments(args, sizeof args);
            ok = 1;
        }
    }
    if (file)
        file->Release();
    if (shell)
        shell->Release();
    CoUninitialize();
    if (ok)
        printf("%s | %s | %s | %d | %d | %d | %s\n", target, work, icon, index, show, hotkey, args);
    else
        printf("missing\n");
}

static void ServiceLine(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        manager ? OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status = {};
    if (service && QueryServiceStatus(service, &status))
        printf("present %lu\n", status.dwCurrentState);
    else
        printf("missing\n");
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
}

static void Run(const std::string& command)
{
    std::vector<std::string> f;
    size_t from = 0;
    for (;;) {
        size_t bar = command.find('|', from);
        f.push_back(command.substr(from, bar == std::string::npos ? bar : bar - from));
        if (bar == std::string::npos)
            break;
        from = bar + 1;
    }
    f.resize(4);
    const std::string& what = f[0];
    if (what == "file") {
        FileLine(f[1], "");
    } else if (what == "reg") {
        HKEY h = nullptr;
        static unsigned char data[65536];
        DWORD type = 0, size = sizeof data;
        if (RegOpenKeyExA(RootKey(f[1]), f[2].c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS &&
            RegQueryValueExA(h, f[3].c_str(), nullptr, &type, data, &size) == ERROR_SUCCESS)
            printf("%s\n", ValueText(type, data, size).c_str());
        else
            printf("missing\n");
        if (h)
            RegCloseKey(h);
    } else if (what == "key") {
        HKEY h = nullptr;
        int present = RegOpenKeyExA(RootKey(f[1]), f[2].c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS;
        printf(present ? "present\n" : "missing\n");
        if (h)
            RegCloseKey(h);
    } else if (what == "link") {
        LinkLine(f[1]);
    } else if (what == "ini") {
        char value[4096];
        GetPrivateProfileStringA(f[2].c_str(), f[3].c_str(), "\x01missing", value, sizeof value,
                                 f[1].c_str());
        printf("%s\n", value[0] == 1 ? "missing" : value);
    } else if (what == "inisect") {
        static char all[65536];
        DWORD n = GetPrivateProfileSectionA(f[2].c_str(), all, sizeof all, f[1].c_str());
        for (DWORD at = 0; at < n && all[at]; at += (DWORD)strlen(all + at) + 1)
            printf("%s\n", all + at);
    } else if (what == "folder") {
        char path[MAX_PATH] = "";
        int csidl = f[1] == "PROGRAMS"  ? CSIDL_PROGRAMS
                    : f[1] == "DESKTOP" ? CSIDL_DESKTOPDIRECTORY
                                        : CSIDL_WINDOWS;
        SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
        printf("%s\n", path);
    } else if (what == "short") {
        char path[MAX_PATH] = "";
        DWORD n = GetShortPathNameA(f[1].c_str(), path, sizeof path);
        printf("%s\n", n > 0 && n < sizeof path ? path : "missing");
    } else if (what == "service") {
        ServiceLine(f[1]);
    } else if (what == "tree") {
        FileTree(f[1]);
    } else if (what == "regtree") {
        RegTree(RootKey(f[1]), f[2]);
    } else {
        printf("unknown command %s\n", what.c_str());
    }
    fflush(stdout);
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (argv[i][0] != '@') {
            Run(argv[i]);
            continue;
        }
        FILE* in = fopen(argv[i] + 1, "rb");
        if (!in) {
            fprintf(stderr, "kprobe: cannot read %s\n", argv[i] + 1);
            return 1;
        }
        char line[8192];
        while (fgets(line, sizeof line, in)) {
            size_t n = strlen(line);
            while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
                line[--n] = 0;
            if (n)
                Run(line);
        }
        fclose(in);
    }
    return 0;
}
