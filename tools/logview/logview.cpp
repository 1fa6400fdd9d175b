// logview [options] LOGPATH: reads an install log with the program's reader
// and prints the item lists and per-log values as JSON.
//
// Native options (the system questions answered from them):
//   --root DIR       a path C:\X exists when DIR/C/X does (default: every
//                    path exists); --exists-none: no path exists
//   --windows P      Windows folder (C:\WINDOWS)   --system P (C:\WINDOWS\SYSTEM)
//   --start-menu P   --common-start-menu P         --shared PATH (repeatable)
//   --floppy A|B     --nt | --95   --new-shell     --no-services
//   --dbcs           double-byte text (lead bytes 0x81..0xFE)
//   --oem            map a few OEM letters to ANSI when converting
//   --short LONG=SHORT  a known short form (repeatable)
// The Windows build takes --nt/--95 and --new-shell and asks the system.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/system_facts.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "logview_json.h"
#ifdef LOGVIEW_WIN32
#include "log/reader_host_win32.h"
#else
#include "tests/support/reader_host_table.h"
#endif

static void Refused(const char* text, const char* caption)
{
    std::fprintf(stderr, "refused: %s (%s)\n", text, caption);
}

int main(int argc, char** argv)
{
    const char* logPath = nullptr;
    int platform = PlatformNT;
    int newShell = 0;
#ifndef LOGVIEW_WIN32
    ResetTableHost();
#endif
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--nt") {
            platform = PlatformNT;
        } else if (a == "--95") {
            platform = Platform95;
        } else if (a == "--new-shell") {
            newShell = 1;
#ifndef LOGVIEW_WIN32
        } else if (a == "--root") {
            TableHost.ExistsMode = ExistsFromDisk;
            TableHost.DiskRoot = next;
            i++;
        } else if (a == "--exists-none") {
            TableHost.ExistsMode = ExistsNone;
        } else if (a == "--windows") {
            TableHost.WindowsFolder = next;
            i++;
        } else if (a == "--system") {
            TableHost.SystemFolder = next;
            i++;
        } else if (a == "--start-menu") {
            TableHost.StartMenu = next;
            i++;
        } else if (a == "--common-start-menu") {
            TableHost.CommonStartMenu = next;
            i++;
        } else if (a == "--shared") {
            TableHost.SharedDlls.push_back(next);
            i++;
        } else if (a == "--floppy") {
            (next[0] == 'B' ? TableHost.FloppyB : TableHost.FloppyA) = 1;
            i++;
        } else if (a == "--no-services") {
            TableHost.ServicesAllowed = 0;
        } else if (a == "--dbcs") {
            TableHost.DoubleByte = 1;
        } else if (a == "--oem") {
            TableHost.OemMapping = 1;
        } else if (a == "--short") {
            std::string pair = next;
            size_t eq = pair.find('=');
            if (eq != std::string::npos)
                TableHost.ShortNames.push_back({pair.substr(0, eq), pair.substr(eq + 1)});
            i++;
#endif
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "logview: unknown option %s\n", a.c_str());
            return 2;
        } else {
            logPath = argv[i];
        }
    }
    if (!logPath) {
        std::fprintf(stderr, "usage: logview [options] LOGPATH\n");
        return 2;
    }
    PoolFreeAll();
    ResetSystemFacts();
    ResetLogValues();
    CreateItemLists();
    ResetLineBuffer();
    PlatformKind = platform;
    NewShell = newShell;
#ifdef LOGVIEW_WIN32
    ReaderHost host = Win32ReaderHost;
#else
    ReaderHost host = TableReaderHost;
#endif
    host.ShowRefusal = Refused;
    host.SetMainCaption = nullptr;
    host.ReportProgress = nullptr;
    char applicationFolder[260];
    applicationFolder[0] = 0;
    int result = ReadInstallLogWith(&host, logPath, applicationFolder);
    PrintLogAsJson(stdout, result, applicationFolder);
    PoolFreeAll();
    return result;
}
