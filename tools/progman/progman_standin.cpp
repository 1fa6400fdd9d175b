// KPROGMAN.EXE groups-file command-log final-file
//
// A Program Manager stand-in for the tests. It answers the DDE service and
// topic "PROGMAN": a request for "GROUPS" lists the group names, one a line;
// a request for a group's name describes it (first line the quoted group
// name, then one line per item with the quoted name and the quoted command
// line, each followed by further fields). It carries out "ShowGroup",
// "DeleteItem" and "DeleteGroup", and two commands of its own: "KetraSave"
// writes the groups to the final file, "KetraQuit" writes them and ends the
// program. Every request and command is appended to the command log as
// "REQUEST<tab>item<tab>ok|fail" or "EXECUTE<tab>text<tab>ok|fail".
//
// Groups file: "G<tab>group name" starts a group, "I<tab>item<tab>command"
// adds an item to it. The final file has the same form.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <string>
#include <vector>

struct Item {
    std::string Name;
    std::string Command;
};

struct Group {
    std::string Name;
    std::vector<Item> Items;
};

static std::vector<Group> Groups;
static std::string ActiveGroup;
static const char* CommandLogPath;
static const char* FinalPath;
static DWORD Instance;
static HSZ ProgmanName;

static bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

static Group* FindGroup(const std::string& name)
{
    for (Group& g : Groups) {
        if (SameText(g.Name, name))
            return &g;
    }
    return nullptr;
}

static void Record(const char* kind, const std::string& text, bool ok)
{
    FILE* f = std::fopen(CommandLogPath, "ab");
    if (!f)
        return;
    std::fprintf(f, "%s\t%s\t%s\r\n", kind, text.c_str(), ok ? "ok" : "fail");
    std::fclose(f);
}

static bool LoadGroups(const char* path)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::string line;
    int c;
    do {
        c = std::fgetc(f);
        if (c != EOF && c != '\n') {
            if (c != '\r')
                line += (char)c;
            continue;
        }
        size_t tab = line.find('\t');
        if (line.size() > 2 && line[0] == 'G' && tab == 1) {
            Groups.push_back(Group{line.substr(2), {}});
        } else if (line.size() > 2 && line[0] == 'I' && tab == 1 && !Groups.empty()) {
            size_t second = line.find('\t', 2);
            Item item;
            item.Name =
                line.substr(2, second == std::string::npos ? std::string::npos : second - 2);
            if (second != std::string::npos)
                item.Command = line.substr(second + 1);
            Groups.back().Items.push_back(item);
        }
        line.clear();
    } while (c != EOF);
    std::fclose(f);
    return true;
}

static bool SaveGroups()
{
    FILE* f = std::fopen(FinalPath, "wb");
    if (!f)
        return false;
    for (const Group& g : Groups) {
        std::fprintf(f, "G\t%s\r\n", g.Name.c_str());
        for (const Item& i : g.Items)
            std::fprintf(f, "I\t%s\t%s\r\n", i.Name.c_str(), i.Command.c_str());
    }
    std::fclose(f);
    return true;
}

static std::string GroupList()
{
    std::string text;
    for (const Group& g : Groups)
        text += g.Name + "\r\n";
    return text;
}

static std::string Describe(const Group& g)
{
    std::string text =
        "\"" + g.Name + "\",C:\\WINDOWS\\GROUP.GRP," + std::to_string(g.Items.size()) + ",1\r\n";
    for (const Item& i : g.Items)
        text += "\"" + i.Name + "\",\"" + i.Command + "\",C:\\," + i.Command + ",0,0,0,0,0\r\n";
    return text;
}

// One command "[Name(arg,arg)]" at *p, in Program Manager's syntax: an
// argument is either quoted or runs to the next comma or closing
// parenthesis, blanks around it dropped. Returns false on a syntax error.
static bool ParseCommand(const char** p, std::string* name, std::vector<std::string>* args)
{
    const char* s = *p;
    while (*s == ' ')
        s++;
    if (*s++ != '[')
        return false;
    while (*s && *s != '(' && *s != ']')
        *name += *s++;
    if (*s == '(') {
        s++;
        while (*s == ' ')
            s++;
        // "()" has no argument; "( )" neither.
        bool more = *s != ')';
        while (more) {
            std::string arg;
            while (*s == ' ')
                s++;
            if (*s == '"') {
                s++;
                while (*s && *s != '"')
                    arg += *s++;
                if (*s++ != '"')
                    return false;
            } else {
                while (*s && *s != ',' && *s != ')')
                    arg += *s++;
                while (!arg.empty() && arg.back() == ' ')
                    arg.pop_back();
            }
            while (*s == ' ')
                s++;
            args->push_back(arg);
            if (*s == ',') {
                s++;
                continue;
            }
            if (*s != ')')
                return false;
            more = false;
        }
        s++;
    }
    while (*s == ' ')
        s++;
    if (*s++ != ']')
        return false;
    *p = s;
    return true;
}

static bool IsNumber(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

static bool RunCommand(const std::string& name, const std::vector<std::string>& args)
{
    if (SameText(name, "ShowGroup") && args.size() == 2 && IsNumber(args[1])) {
        Group* g = FindGroup(args[0]);
        if (g)
            ActiveGroup = g->Name;
        return g != nullptr;
    }
    if (SameText(name, "DeleteItem") && args.size() == 1) {
        Group* g = FindGroup(ActiveGroup);
        if (!g)
            return false;
        for (size_t k = 0; k < g->Items.size(); k++) {
            if (SameText(g->Items[k].Name, args[0])) {
                g->Items.erase(g->Items.begin() + (long)k);
                return true;
            }
        }
        return false;
    }
    if (SameText(name, "DeleteGroup") && args.size() == 1) {
        for (size_t k = 0; k < Groups.size(); k++) {
            if (SameText(Groups[k].Name, args[0])) {
                if (SameText(ActiveGroup, args[0]))
                    ActiveGroup.clear();
                Groups.erase(Groups.begin() + (long)k);
                return true;
            }
        }
        return false;
    }
    if (SameText(name, "KetraSave") && args.empty())
        return SaveGroups();
    if (SameText(name, "KetraQuit") && args.empty()) {
        bool saved = SaveGroups();
        PostQuitMessage(0);
        return saved;
    }
    return false;
}

// Carries out every command of the text; false when any fails.
static bool Execute(const std::string& text)
{
    const char* p = text.c_str();
    bool ok = true;
    int count = 0;
    while (*p) {
        std::string name;
        std::vector<std::string> args;
        if (!ParseCommand(&p, &name, &args))
            return false;
        ok = RunCommand(name, args) && ok;
        count++;
        while (*p == ' ' || *p == '\r' || *p == '\n')
            p++;
    }
    return ok && count > 0;
}

static HDDEDATA Answer(HSZ item)
{
    char name[1024];
    DdeQueryStringA(Instance, item, name, sizeof(name), CP_WINANSI);
    std::string text;
    bool ok = true;
    if (lstrcmpiA(name, "GROUPS") == 0) {
        text = GroupList();
    } else {
        Group* g = FindGroup(name);
        ok = g != nullptr;
        if (g)
            text = Describe(*g);
    }
    Record("REQUEST", name, ok);
    if (!ok)
        return nullptr;
    return DdeCreateDataHandle(Instance, (LPBYTE)text.c_str(), (DWORD)text.size() + 1, 0, item,
                               CF_TEXT, 0);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ topic, HSZ item, HDDEDATA data,
                                  ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(DdeCmpStringHandles(topic, ProgmanName) == 0);
    case XTYP_REQUEST:
        return Answer(item);
    case XTYP_EXECUTE: {
        DWORD size = DdeGetData(data, nullptr, 0, 0);
        std::string text(size, '\0');
        if (size)
            DdeGetData(data, (LPBYTE)&text[0], size, 0);
        text.resize(lstrlenA(text.c_str()));
        bool ok = Execute(text);
        Record("EXECUTE", text, ok);
        return (HDDEDATA)(ULONG_PTR)(ok ? DDE_FACK : DDE_FNOTPROCESSED);
    }
    default:
        return nullptr;
    }
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: KPROGMAN groups-file command-log final-file\n");
        return 2;
    }
    CommandLogPath = argv[2];
    FinalPath = argv[3];
    if (!LoadGroups(argv[1])) {
        std::fprintf(stderr, "KPROGMAN: cannot read %s\n", argv[1]);
        return 1;
    }
    if (DdeInitializeA(&Instance, Callback,
                       APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                       0) != DMLERR_NO_ERROR)
        return 1;
    ProgmanName = DdeCreateStringHandleA(Instance, "PROGMAN", CP_WINANSI);
    if (!DdeNameService(Instance, ProgmanName, nullptr, DNS_REGISTER)) {
        DdeUninitialize(Instance);
        return 1;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DdeNameService(Instance, ProgmanName, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(Instance, ProgmanName);
    DdeUninitialize(Instance);
    return 0;
}
