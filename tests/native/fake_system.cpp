#include "tests/native/fake_system.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

#include <cstring>
#include <strings.h>

static std::vector<FakeEntry> Entries;
static std::string CurrentDir;

static std::vector<std::string> Split(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// '*' and '?' as the system matches them, enough for the tests.
static bool Matches(const char* pattern, const char* name)
{
    if (*pattern == 0)
        return *name == 0;
    if (*pattern == '*')
        return Matches(pattern + 1, name) || (*name && Matches(pattern, name + 1));
    if (*name == 0)
        return false;
    if (*pattern == '?' || tolower((unsigned char)*pattern) == tolower((unsigned char)*name))
        return Matches(pattern + 1, name + 1);
    return false;
}

// An entry matches when every component of the pattern equals the entry's
// long or short component at that depth (all entries of the path are in the table).
static const FakeEntry* Lookup(const char* pattern)
{
    std::vector<std::string> want = Split(pattern);
    for (const FakeEntry& e : Entries) {
        std::vector<std::string> have = Split(e.longPath);
        if (have.size() != want.size())
            continue;
        bool ok = true;
        std::string prefix;
        for (size_t i = 0; i < have.size() && ok; i++) {
            prefix += (i ? "\\" : "") + have[i];
            std::string shortName;
            for (const FakeEntry& p : Entries)
                if (strcasecmp(p.longPath.c_str(), prefix.c_str()) == 0)
                    shortName = p.shortName;
            bool last = i + 1 == have.size();
            if (last) {
                ok = Matches(want[i].c_str(), have[i].c_str()) ||
                     (!shortName.empty() && Matches(want[i].c_str(), shortName.c_str()));
            } else {
                ok = strcasecmp(want[i].c_str(), have[i].c_str()) == 0 ||
                     (!shortName.empty() && strcasecmp(want[i].c_str(), shortName.c_str()) == 0);
            }
        }
        if (ok)
            return &e;
    }
    return nullptr;
}

static int32_t FakeFindFirst(const char* pattern, char* longName, char* shortName)
{
    const FakeEntry* e = Lookup(pattern);
    if (!e)
        return 0;
    std::string name = Split(e->longPath).back();
    CopyText(longName, name.c_str(), 256);
    CopyText(shortName, e->shortName.c_str(), 14);
    return 1;
}

static int32_t FakeCurrentDirectory(char* buffer, int32_t size)
{
    if ((int32_t)CurrentDir.size() >= size)
        return (int32_t)CurrentDir.size() + 1;
    CopyText(buffer, CurrentDir.c_str(), size);
    return (int32_t)CurrentDir.size();
}

static int32_t FakeAttributes(const char* path)
{
    const FakeEntry* e = Lookup(path);
    return e ? e->attributes : -1;
}

static const PathSystem FakePathSystem = {FakeFindFirst, FakeCurrentDirectory, FakeAttributes};

void UseFakeSystem(const std::vector<FakeEntry>& entries, const std::string& currentDirectory)
{
    Entries = entries;
    CurrentDir = currentDirectory;
    PathSystemInUse = &FakePathSystem;
}

static const char* DoubleByteNext(const char* at)
{
    unsigned char lead = (unsigned char)*at;
    if (lead >= 0x81 && lead <= 0xFE && at[1])
        return at + 2;
    return at + 1;
}

void UseDoubleByteRule()
{
    CharNextRule = DoubleByteNext;
}

void ResetFakeSystem()
{
    Entries.clear();
    CurrentDir.clear();
    PathSystemInUse = nullptr;
    CharNextRule = nullptr;
}
