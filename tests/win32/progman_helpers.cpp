#include "tests/win32/progman_helpers.h"

#include <ddeml.h>

#include <cstdio>
#include <cstdlib>

static HDDEDATA CALLBACK IgnoreAll(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return 0;
}

// Runs work with a conversation of its own with "PROGMAN"; false when none
// could be opened.
template <typename Work> static bool WithConversation(Work work)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, IgnoreAll, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, nullptr);
    if (conversation) {
        work(instance, conversation);
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    return conversation != nullptr;
}

const char* const IsolatedDesktop = "ketra_pm_station\\ketra_pm";

bool IsolateFromShell()
{
    static bool isolated;
    if (isolated)
        return true;
    HWINSTA station = CreateWindowStationA("ketra_pm_station", 0, GENERIC_ALL, nullptr);
    if (!station || !SetProcessWindowStation(station))
        return false;
    HDESK desktop = CreateDesktopA("ketra_pm", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    isolated = desktop && SetThreadDesktop(desktop);
    return isolated;
}

bool ProgmanAnswers()
{
    return WithConversation([](DWORD, HCONV) {});
}

bool SendOwnCommand(const char* command)
{
    bool acknowledged = false;
    WithConversation([&](DWORD, HCONV conversation) {
        DWORD result = 0;
        HDDEDATA done = DdeClientTransaction((LPBYTE)command, lstrlenA(command) + 1, conversation,
                                             nullptr, CF_TEXT, XTYP_EXECUTE, 10000, &result);
        acknowledged = done != nullptr;
    });
    return acknowledged;
}

std::string RequestOwn(const char* item)
{
    std::string text = "(none)";
    WithConversation([&](DWORD instance, HCONV conversation) {
        HSZ name = DdeCreateStringHandleA(instance, item, CP_WINANSI);
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, name, CF_TEXT, XTYP_REQUEST,
                                             5000, nullptr);
        if (data) {
            DWORD size = DdeGetData(data, nullptr, 0, 0);
            text.assign(size, '\0');
            DdeGetData(data, (LPBYTE)&text[0], size, 0);
            text.resize(lstrlenA(text.c_str()));
            DdeFreeDataHandle(data);
        }
        DdeFreeStringHandle(instance, name);
    });
    return text;
}

std::string NewWorkFolder(const char* stem)
{
    static int serial;
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    char folder[MAX_PATH];
    // Wine soon gives a process id out again: a folder that an earlier test
    // process of the same id left would mix its records into these. Only a
    // folder made here and now is taken.
    do {
        std::snprintf(folder, sizeof(folder), "%s%s_%lu_%d\\", temp, stem, GetCurrentProcessId(),
                      ++serial);
    } while (!CreateDirectoryA(folder, nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    return folder;
}

std::string ReadTextFile(const std::string& path)
{
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return "(missing)";
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        if (c != '\r')
            text += (char)c;
    }
    std::fclose(f);
    return text;
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool StartChild(const std::string& commandLine, PROCESS_INFORMATION* process, const char* desktop)
{
    STARTUPINFOA start = {};
    start.cb = sizeof(start);
    start.lpDesktop = (LPSTR)desktop;
    std::string line = commandLine;
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                          process) != 0;
}

// Where the build put the test tools, in Windows form.
static std::string ToolPath(const char* name)
{
    const char* build = std::getenv("KETRA_BUILD");
    std::string path = std::string("Z:") + (build ? build : "");
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path + "\\tools\\" + name;
}

bool StandIn::Start(const std::string& groups)
{
    folder = NewWorkFolder("kprogman");
    if (!WriteTextFile(folder + "groups.txt", groups))
        return false;
    std::string line = "\"" + ToolPath("KPROGMAN.EXE") + "\" \"" + folder + "groups.txt\" \"" +
                       folder + "commands.txt\" \"" + folder + "final.txt\"";
    if (!StartChild(line, &process, IsolatedDesktop)) {
        std::fprintf(stderr, "KPROGMAN: cannot start %s (error %lu)\n", line.c_str(),
                     GetLastError());
        return false;
    }
    // Its service answers once it has read the groups and registered; a busy
    // machine may take a while (a minute was seen not to be enough).
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 180000) {
        if (ProgmanAnswers())
            return true;
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            std::fprintf(stderr, "KPROGMAN ended early with code %lu\n", code);
            return false;
        }
    }
    std::fprintf(stderr, "KPROGMAN does not answer\n");
    return false;
}

bool StandIn::Stop()
{
    if (!process.hProcess)
        return false;
    bool told = SendOwnCommand("[KetraQuit()]");
    bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
    return told && ended;
}

std::string StandIn::Final() const
{
    return ReadTextFile(folder + "final.txt");
}

// The lines of the command log of one kind: their text, and with
// withResult their result after a space; each followed by join.
std::string StandIn::Records(const char* kind, const char* join, bool withResult) const
{
    std::string log = ReadTextFile(folder + "commands.txt");
    std::string out;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(at, end - at);
        at = end + 1;
        size_t first = line.find('\t');
        size_t last = line.rfind('\t');
        if (first == std::string::npos || line.compare(0, first, kind) != 0)
            continue;
        std::string text = line.substr(first + 1, last - first - 1);
        // The stand-in's own quit command is not part of what is checked.
        if (text == "[KetraQuit()]")
            continue;
        if (!out.empty() && !withResult)
            out += join;
        out += text;
        if (withResult)
            out += " " + line.substr(last + 1) + join;
    }
    return out;
}

std::string StandIn::Executed() const
{
    return Records("EXECUTE", "\n", true);
}

std::string StandIn::Requested() const
{
    return Records("REQUEST", " ", false);
}
