// Registry values and trees, INI files made and INI entries changed.
#include "install.h"

#include <cstdio>
#include <cstdlib>
#include <set>

static HKEY RootKey(int root)
{
    static const HKEY roots[5] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                  HKEY_USERS, HKEY_CURRENT_CONFIG};
    return roots[root];
}

static const DWORD ValueTypes[5] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY};

static std::string HexText(const unsigned char* data, DWORD size)
{
    std::string out;
    char two[3];
    for (DWORD i = 0; i < size; i++) {
        sprintf(two, "%02x", data[i]);
        out += two;
    }
    return out;
}

// The old data of a value as "RegDB Old: " lines: one string per line for a
// multi-string value, decimal for a number, hexadecimal digits for bytes.
static void OldDataLines(DWORD type, const std::vector<unsigned char>& data,
                         std::vector<std::string>& lines)
{
    const char* text = (const char*)data.data();
    DWORD size = (DWORD)data.size();
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        lines.push_back(std::string(text, strnlen(text, size)));
    } else if (type == REG_MULTI_SZ) {
        DWORD at = 0;
        while (at < size && text[at]) {
            size_t n = strnlen(text + at, size - at);
            lines.push_back(std::string(text + at, n));
            at += (DWORD)n + 1;
        }
        if (lines.empty())
            lines.push_back(std::string());
    } else if (type == REG_DWORD && size == 4) {
        const unsigned char* b = data.data();
        lines.push_back(
            std::to_string((unsigned long)(b[0] | b[1] << 8 | b[2] << 16 | (DWORD)b[3] << 24)));
    } else {
        lines.push_back(HexText(data.data(), size));
    }
}

static void NewData(const Directive& d, std::vector<unsigned char>& out)
{
    out.clear();
    if (d.type == 3) {
        DWORD v = (DWORD)strtoul(d.args[4].c_str(), nullptr, 10);
        out.assign((unsigned char*)&v, (unsigned char*)&v + 4);
    } else if (d.type == 4) {
        for (size_t i = 0; i + 1 < d.args[4].size(); i += 2)
            out.push_back((unsigned char)strtoul(d.args[4].substr(i, 2).c_str(), nullptr, 16));
    } else {
        for (size_t i = 4; i < d.args.size(); i++) {
            out.insert(out.end(), d.args[i].begin(), d.args[i].end());
            out.push_back(0);
            if (d.type != 2)
                break;
        }
        if (d.type == 2)
            out.push_back(0);
    }
}

int DoRegValue(const Directive& d)
{
    const std::string& keyName = d.args[1];
    const std::string& name = d.args[2];
    HKEY key = nullptr;
    if (RegCreateKeyExA(RootKey(d.root), keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return Complain(d, "cannot create the key " + keyName);
    DWORD oldType = 0, oldSize = 0;
    int hadOld =
        RegQueryValueExA(key, name.c_str(), nullptr, &oldType, nullptr, &oldSize) == ERROR_SUCCESS;
    std::vector<unsigned char> old(oldSize + 2, 0);
    if (hadOld) {
        DWORD size = oldSize;
        RegQueryValueExA(key, name.c_str(), nullptr, &oldType, old.data(), &size);
        old.resize(size);
    }
    std::vector<unsigned char> data;
    NewData(d, data);
    LONG set =
        RegSetValueExA(key, name.c_str(), 0, ValueTypes[d.type], data.data(), (DWORD)data.size());
    RegCloseKey(key);
    if (set != ERROR_SUCCESS)
        return Complain(d, "cannot write the value " + name + " of " + keyName);

    LogLine("RegDB Key: " + keyName);
    for (size_t i = 4; i < d.args.size(); i++)
        LogLine("RegDB Val: " + d.args[i]);
    if (!name.empty())
        LogLine("RegDB Name: " + name);
    LogLine("RegDB Type: " + std::to_string(d.type));
    LogLine("RegDB Root: " + std::to_string(d.root));
    if (hadOld) {
        std::vector<std::string> lines;
        OldDataLines(oldType, old, lines);
        for (const std::string& l : lines)
            LogLine("RegDB Old: " + l);
    }
    return 0;
}

int DoRegTree(const Directive& d)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(RootKey(d.root), d.args[1].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return Complain(d, "cannot create the key " + d.args[1]);
    RegCloseKey(key);
    LogLine("RegDB Tree: " + d.args[1]);
    LogLine("RegDB Root: " + std::to_string(d.root));
    return 0;
}

// A value that cannot occur in an INI file tells "no entry" apart from an
// empty one.
static const char NoEntry[] = "\x01\x02no entry\x02\x01";

int DoIni(const Directive& d)
{
    const std::string &file = d.args[0], &section = d.args[1], &item = d.args[2];
    char old[1024];
    GetPrivateProfileStringA(section.c_str(), item.c_str(), NoEntry, old, sizeof old, file.c_str());
    int hadOld = lstrcmpA(old, NoEntry) != 0;
    if (MakeFolderChain(FolderOf(file), 1))
        return Complain(d, "cannot create the folder of " + file);
    if (!WritePrivateProfileStringA(section.c_str(), item.c_str(), d.args[3].c_str(), file.c_str()))
        return Complain(d, "cannot write to " + file);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    LogLine("INI File: " + file);
    LogLine("INI Sect: " + section);
    LogLine("INI Item: " + item);
    LogLine("INI Val: " + d.args[3]);
    if (hadOld)
        LogLine("INI Old: " + std::string(old));
    return 0;
}

// All ininew lines of one file make one group at the first of them. A file
// that is already there (an upgrade) gets its entries as changed entries.
int DoIniNew(const Directive& d)
{
    static std::set<std::string> madeFiles;
    std::string file = d.args[0];
    std::string folded = file;
    CharUpperBuffA(&folded[0], (DWORD)folded.size());
    if (madeFiles.count(folded))
        return 0;
    if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        for (const Directive& other : CurrentManifest->items)
            if (other.kind == DirIniNew && EqualNoCase(other.args[0], file) && DoIni(other))
                return 1;
        madeFiles.insert(folded);
        return 0;
    }
    if (MakeFolderChain(FolderOf(file), 1))
        return Complain(d, "cannot create the folder of " + file);
    std::string lines = "INI File: " + file + "\r\n";
    for (const Directive& other : CurrentManifest->items) {
        if (other.kind != DirIniNew || !EqualNoCase(other.args[0], file))
            continue;
        if (!WritePrivateProfileStringA(other.args[1].c_str(), other.args[2].c_str(),
                                        other.args[3].c_str(), file.c_str()))
            return Complain(other, "cannot write to " + file);
        lines += "INI Sect: " + other.args[1] + "\r\nINI Item: " + other.args[2] +
                 "\r\nINI Val: " + other.args[3] + "\r\n";
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    madeFiles.insert(folded);
    LogLine("INI New: " + file);
    InstallLogText += lines;
    return 0;
}
