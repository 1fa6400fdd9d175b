// Manifest reader: parses every line, expands the folder variables and checks
// everything an installation needs before the first change is made.
#include "manifest.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct KeywordEntry {
    const char* word;
    int kind;
    int minArgs;
    int maxArgs;
};

// -1 as maxArgs: any number.
static const KeywordEntry Keywords[] = {
    {"title", DirTitle, 1, 1},
    {"appdir", DirAppDir, 1, 1},
    {"payload", DirPayload, 1, 1},
    {"backupdir", DirBackupDir, 1, 1},
    {"charset", DirCharset, 1, 1},
    {"source", DirSource, 1, 1},
    {"manufacturer", DirManufacturer, 1, 1},
    {"product", DirProduct, 1, 1},
    {"version", DirVersion, 1, 1},
    {"serial", DirSerial, 1, 1},
    {"per-user-id", DirPerUserId, 1, 1},
    {"uninstall-mif", DirUninstallMif, 1, 1},
    {"admin", DirAdmin, 0, 0},
    {"delete-in-use", DirDeleteInUse, 1, 1},
    {"system-restore", DirSystemRestore, 0, 0},
    {"subsystem", DirSubsystem, 1, 1},
    {"dir", DirDir, 1, 1},
    {"tree", DirTree, 1, 1},
    {"copy", DirCopy, 2, 7},
    {"link", DirLink, 2, 8},
    {"reg", DirReg, 5, -1},
    {"regtree", DirRegTree, 2, 2},
    {"ininew", DirIniNew, 4, 4},
    {"ini", DirIni, 4, 4},
    {"edit", DirEdit, 2, 2},
    {"delete", DirDelete, 1, 1},
    {"group", DirGroup, 3, 3},
    {"execute", DirExecute, 1, 2},
    {"execute-program", DirExecuteProgram, 1, 2},
    {"service", DirService, 3, 4},
    {"device", DirDevice, 1, 1},
    {"register", DirRegister, 1, 1},
};

static const char* RootNames[5][2] = {
    {"HKCR", "HKEY_CLASSES_ROOT"}, {"HKCU", "HKEY_CURRENT_USER"},   {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKU", "HKEY_USERS"},         {"HKCC", "HKEY_CURRENT_CONFIG"},
};
static const char* TypeNames[5] = {"sz", "expand_sz", "multi_sz", "dword", "binary"};

int EqualNoCase(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string FolderOf(const std::string& path)
{
    size_t k = path.find_last_of('\\');
    return k == std::string::npos ? std::string() : path.substr(0, k);
}

std::string NameOf(const std::string& path)
{
    size_t k = path.find_last_of('\\');
    return k == std::string::npos ? path : path.substr(k + 1);
}

std::string PayloadPath(const Manifest& m, const Directive& d)
{
    std::string rel = d.args[0];
    for (char& c : rel)
        if (c == '/')
            c = '\\';
    return m.payloadDir + "\\" + rel;
}

static int Fail(const Manifest& m, int line, const std::string& message)
{
    if (line > 0)
        fprintf(stderr, "%s(%d): %s\n", m.path.c_str(), line, message.c_str());
    else
        fprintf(stderr, "%s: %s\n", m.path.c_str(), message.c_str());
    return 1;
}

static std::string Trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

static int IsAbsolute(const std::string& p)
{
    if (p.size() >= 3 && isalpha((unsigned char)p[0]) && p[1] == ':' && p[2] == '\\')
        return 1;
    return p.size() >= 3 && p[0] == '\\' && p[1] == '\\';
}

static int PathExists(const std::string& p)
{
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

static std::string ShellFolder(int csidl)
{
    char buffer[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE))
        return std::string();
    return buffer;
}

// Replaces %NAME% by the folder it stands for; %% is a percent sign.
static int Expand(const Manifest& m, int line, const std::string& in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); i++) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        size_t end = in.find('%', i + 1);
        if (end == std::string::npos)
            return Fail(m, line, "unclosed variable in '" + in + "'");
        std::string name = in.substr(i + 1, end - i - 1);
        std::string value;
        char buffer[MAX_PATH] = "";
        if (name.empty()) {
            value = "%";
        } else if (EqualNoCase(name, "APPDIR")) {
            if (m.appDir.empty())
                return Fail(m, line, "%APPDIR% used before the appdir line");
            value = m.appDir;
        } else if (EqualNoCase(name, "WINDIR")) {
            GetWindowsDirectoryA(buffer, MAX_PATH);
            value = buffer;
        } else if (EqualNoCase(name, "SYSDIR")) {
            GetSystemDirectoryA(buffer, MAX_PATH);
            value = buffer;
        } else if (EqualNoCase(name, "SOURCE")) {
            value = FolderOf(m.path);
        } else if (EqualNoCase(name, "PROGRAMS")) {
            value = ShellFolder(CSIDL_PROGRAMS);
        } else if (EqualNoCase(name, "COMMONPROGRAMS")) {
            value = ShellFolder(CSIDL_COMMON_PROGRAMS);
        } else if (EqualNoCase(name, "DESKTOP")) {
            value = ShellFolder(CSIDL_DESKTOPDIRECTORY);
        } else if (EqualNoCase(name, "STARTMENU")) {
            value = ShellFolder(CSIDL_STARTMENU);
        } else {
            return Fail(m, line, "unknown variable %" + name + "%");
        }
        if (value.empty() && !name.empty())
            return Fail(m, line, "the folder %" + name + "% cannot be found");
        out += value;
        i = end;
    }
    return 0;
}

static int ParseRoot(const std::string& s)
{
    for (int i = 0; i < 5; i++)
        if (EqualNoCase(s, RootNames[i][0]) || EqualNoCase(s, RootNames[i][1]) ||
            s == std::string(1, char('0' + i)))
            return i;
    return -1;
}

static int ParseType(const std::string& s)
{
    for (int i = 0; i < 5; i++)
        if (EqualNoCase(s, TypeNames[i]) || s == std::string(1, char('0' + i)))
            return i;
    return -1;
}

static int IsDecimal(const std::string& s, unsigned long long limit)
{
    if (s.empty() || s.size() > 10)
        return 0;
    for (char c : s)
        if (c < '0' || c > '9')
            return 0;
    return strtoull(s.c_str(), nullptr, 10) <= limit;
}

static int IsHexBytes(const std::string& s)
{
    if (s.size() % 2)
        return 0;
    for (char c : s)
        if (!isxdigit((unsigned char)c))
            return 0;
    return 1;
}

// A file that a later line works on must exist now or come from an earlier
// copy line of the same manifest.
static int ExistsOrCopied(const Manifest& m, const std::string& path)
{
    if (PathExists(path))
        return 1;
    for (const Directive& d : m.items)
        if (d.kind == DirCopy && EqualNoCase(d.args[1], path))
            return 1;
    return 0;
}

static int CheckCopyFlags(const Manifest& m, Directive& d)
{
    d.flags = 0;
    for (size_t i = 2; i < d.args.size(); i++) {
        const std::string& f = d.args[i];
        if (EqualNoCase(f, "shared"))
            d.flags |= CopyShared;
        else if (EqualNoCase(f, "nocount"))
            d.flags |= CopyNoCount;
        else if (EqualNoCase(f, "nonsystem"))
            d.flags |= CopyNonSystem;
        else if (EqualNoCase(f, "backup"))
            d.flags |= CopyBackup;
        else if (EqualNoCase(f, "norepair"))
            d.flags |= CopyNoRepair;
        else
            return Fail(m, d.line, "unknown copy flag '" + f + "'");
    }
    return 0;
}

// Checks one parsed line; settles the product values it carries.
static int CheckDirective(Manifest& m, Directive& d, int checkPayload)
{
    std::vector<std::string>& a = d.args;
    switch (d.kind) {
    case DirTitle:
        m.title = a[0];
        return 0;
    case DirAppDir:
        if (!IsAbsolute(a[0]) || a[0].size() <= 3)
            return Fail(m, d.line, "appdir must be a full folder path, not '" + a[0] + "'");
        m.appDir = a[0];
        while (!m.appDir.empty() && m.appDir.back() == '\\')
            m.appDir.pop_back();
        return 0;
    case DirPayload:
        m.payloadDir = IsAbsolute(a[0]) ? a[0] : m.folder + a[0];
        return 0;
    case DirBackupDir:
        if (!IsAbsolute(a[0]))
            return Fail(m, d.line, "backupdir must be a full path");
        m.backupDir = a[0];
        return 0;
    case DirCharset:
        if (EqualNoCase(a[0], "ansi"))
            m.ansi = 1;
        else if (EqualNoCase(a[0], "oem"))
            m.ansi = 0;
        else
            return Fail(m, d.line, "charset is ansi or oem");
        return 0;
    case DirSource:
        if (EqualNoCase(a[0], "attributes"))
            m.sourceAttributes = 1;
        else if (EqualNoCase(a[0], "plain"))
            m.sourceAttributes = 0;
        else
            return Fail(m, d.line, "source is attributes or plain");
        return 0;
    case DirDeleteInUse:
        if (!EqualNoCase(a[0], "on") && !EqualNoCase(a[0], "off"))
            return Fail(m, d.line, "delete-in-use is on or off");
        return 0;
    case DirSubsystem:
        // The log keyword ends in the name's first letter.
        if (a[0].empty() || a[0][0] != 'B')
            return Fail(m, d.line, "a subsystem name must begin with a capital B");
        return 0;
    case DirDir:
    case DirTree:
        if (!IsAbsolute(a[0]) || a[0].size() <= 3)
            return Fail(m, d.line, "not a full folder path: '" + a[0] + "'");
        return 0;
    case DirCopy: {
        if (IsAbsolute(a[0]) || a[0].empty())
            return Fail(m, d.line, "the payload file must be relative to the payload folder");
        if (!IsAbsolute(a[1]) || NameOf(a[1]).empty())
            return Fail(m, d.line, "not a full file path: '" + a[1] + "'");
        if (CheckCopyFlags(m, d))
            return 1;
        if (checkPayload) {
            std::string p = PayloadPath(m, d);
            DWORD attr = GetFileAttributesA(p.c_str());
            if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
                return Fail(m, d.line, "payload file not found: " + p);
        }
        return 0;
    }
    case DirLink:
        if (!IsAbsolute(a[0]) || NameOf(a[0]).empty())
            return Fail(m, d.line, "not a full link path: '" + a[0] + "'");
        a.resize(8);
        for (int i = 4; i <= 6; i++)
            if (!a[i].empty() && !IsDecimal(a[i], 0xFFFF))
                return Fail(m, d.line,
                            "link field " + std::to_string(i + 1) + " must be a decimal number");
        return 0;
    case DirReg:
        d.root = ParseRoot(a[0]);
        if (d.root < 0)
            return Fail(m, d.line, "unknown registry root '" + a[0] + "'");
        d.type = ParseType(a[3]);
        if (d.type < 0)
            return Fail(m, d.line, "unknown value type '" + a[3] + "'");
        if (a[1].empty())
            return Fail(m, d.line, "empty registry key");
        if (d.type != 2 && a.size() != 5)
            return Fail(m, d.line, "only a multi_sz value takes more than one data field");
        if (d.type == 3 && !IsDecimal(a[4], 0xFFFFFFFFull))
            return Fail(m, d.line, "a dword value is a decimal number, not '" + a[4] + "'");
        if (d.type == 4 && !IsHexBytes(a[4]))
            return Fail(m, d.line, "a binary value is pairs of hexadecimal digits");
        return 0;
    case DirRegTree:
        d.root = ParseRoot(a[0]);
        if (d.root < 0)
            return Fail(m, d.line, "unknown registry root '" + a[0] + "'");
        if (a[1].empty())
            return Fail(m, d.line, "empty registry key");
        return 0;
    case DirIniNew:
    case DirIni:
        if (!IsAbsolute(a[0]))
            return Fail(m, d.line, "not a full INI file path: '" + a[0] + "'");
        if (a[1].empty() || a[2].empty())
            return Fail(m, d.line, "an INI entry needs a section and a key");
        return 0;
    case DirEdit:
    case DirDelete:
    case DirDevice:
    case DirRegister:
        if (!IsAbsolute(a[0]))
            return Fail(m, d.line, "not a full file path: '" + a[0] + "'");
        if (checkPayload && !ExistsOrCopied(m, a[0]))
            return Fail(m, d.line, "no such file, and no earlier copy line makes it: " + a[0]);
        return 0;
    case DirGroup:
        if (a[0].empty() || a[1].empty() || a[2].empty())
            return Fail(m, d.line, "a Program Manager item needs a group, a name and a command");
        return 0;
    case DirService:
        if (a[0].empty())
            return Fail(m, d.line, "empty service name");
        if (a.size() == 4 && !EqualNoCase(a[3], "start"))
            return Fail(m, d.line, "the fourth field of a service line can only be 'start'");
        d.flags = a.size() == 4;
        if (checkPayload && !ExistsOrCopied(m, a[2]))
            return Fail(m, d.line, "no such service program: " + a[2]);
        return 0;
    default:
        return 0;
    }
}

static int ReadWholeFile(const char* path, std::string& text)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    int result = 0;
    char block[16384];
    DWORD got = 0;
    text.clear();
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(h);
    return result;
}

int LoadManifest(const char* path, Manifest& m, int checkPayload)
{
    char full[MAX_PATH];
    if (!GetFullPathNameA(path, MAX_PATH, full, nullptr))
        lstrcpynA(full, path, MAX_PATH);
    m = Manifest();
    m.path = full;
    m.folder = FolderOf(m.path) + "\\";
    m.sourceAttributes = 1;
    std::string text;
    if (ReadWholeFile(full, text))
        return Fail(m, 0, "cannot read the manifest");

    size_t pos = 0;
    int line = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        line++;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        std::string s = Trim(raw);
        if (s.empty() || s[0] == '#' || s[0] == ';')
            continue;
        size_t sp = s.find_first_of(" \t");
        std::string word = s.substr(0, sp);
        std::string rest = sp == std::string::npos ? std::string() : Trim(s.substr(sp));
        const KeywordEntry* k = nullptr;
        for (const KeywordEntry& e : Keywords)
            if (EqualNoCase(word, e.word))
                k = &e;
        if (!k)
            return Fail(m, line, "unknown keyword '" + word + "'");
        Directive d = Directive();
        d.kind = k->kind;
        d.line = line;
        if (!rest.empty()) {
            size_t from = 0;
            for (;;) {
                size_t bar = rest.find('|', from);
                std::string field = Trim(
                    rest.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
                std::string expanded;
                if (Expand(m, line, field, expanded))
                    return 1;
                d.args.push_back(expanded);
                if (bar == std::string::npos)
                    break;
                from = bar + 1;
            }
        }
        int n = (int)d.args.size();
        if (n < k->minArgs || (k->maxArgs >= 0 && n > k->maxArgs))
            return Fail(m, line,
                        "'" + word + "' takes " + std::to_string(k->minArgs) +
                            (k->maxArgs == k->minArgs ? std::string()
                             : k->maxArgs < 0         ? " or more"
                                                      : " to " + std::to_string(k->maxArgs)) +
                            " fields, not " + std::to_string(n));
        // Settings must be known before the lines that use them are checked.
        if (d.kind == DirAppDir || d.kind == DirPayload) {
            if (CheckDirective(m, d, checkPayload))
                return 1;
        }
        m.items.push_back(d);
    }
    if (m.appDir.empty())
        return Fail(m, 0, "no appdir line");
    if (m.payloadDir.empty())
        m.payloadDir = m.folder + "payload";
    while (!m.payloadDir.empty() && m.payloadDir.back() == '\\')
        m.payloadDir.pop_back();
    // Checks run in manifest order so that "earlier copy line" means earlier.
    std::vector<Directive> all;
    all.swap(m.items);
    for (Directive& d : all) {
        if (CheckDirective(m, d, checkPayload))
            return 1;
        m.items.push_back(d);
    }
    if (m.title.empty())
        return Fail(m, 0, "no title line");
    if (m.backupDir.empty())
        m.backupDir = m.appDir + "\\BACKUP";
    while (!m.backupDir.empty() && m.backupDir.back() == '\\')
        m.backupDir.pop_back();
    return 0;
}
