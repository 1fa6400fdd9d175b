// Reading generated install logs of 1,000, 10,000 and 100,000 entries, keys
// in random and in sorted order (long shared prefixes, differing only at the
// end). Prints entries per second and the peak memory of each run (each run
// in its own process, so the peaks do not mix), then the sorted/random ratio.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "tests/support/reader_host_table.h"

static std::string MakeLog(int entries, bool sorted)
{
    std::vector<int> order((size_t)entries);
    for (int i = 0; i < entries; i++)
        order[(size_t)i] = i;
    if (!sorted)
        std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    std::string log = "*** Installation log\r\nTitle: Bench Installation\r\n"
                      "Source: C:\\SETUP\\SETUP.EXE|01-01-2000 | 00:00:00 | 1\r\n";
    char line[512];
    const char* base = "C:\\Program Files\\Some Vendor\\Some Product\\Components\\Shared";
    for (int k = 0; k < entries; k++) {
        int i = order[(size_t)k];
        // Mostly the indexed kinds, as in real logs; each other kind now and then.
        switch (k % 40) {
        case 0:
            std::snprintf(line, sizeof(line), "Made Dir: %s\\Dir%07d\r\n", base, i % 500);
            break;
        case 1:
            std::snprintf(line, sizeof(line), "File Tree: %s\\Tree%07d\r\n", base, i % 300);
            break;
        case 2:
            std::snprintf(line, sizeof(line),
                          "Icon Group: Group\r\nIcon Name: Item%07d\r\nIcon Cmd: X.EXE\r\n",
                          i % 300);
            break;
        case 3:
            std::snprintf(line, sizeof(line),
                          "Execute Path: RUN%07d.EXE /u\r\nExecute Name: Run\r\n", i % 100);
            break;
        case 4:
            std::snprintf(line, sizeof(line), "Create Service: Service%07d\r\n", i % 100);
            break;
        case 5:
            std::snprintf(line, sizeof(line),
                          "File Edit: C:\\CONFIG%07d.SYS\r\nBackup Copy: C:\\BK\\C%07d\r\n",
                          i % 100, i);
            break;
        case 6:
            std::snprintf(line, sizeof(line),
                          "File Delete: C:\\OLD%07d.TXT\r\nBackup Copy: C:\\BK\\D%07d\r\n", i % 100,
                          i);
            break;
        case 7:
            std::snprintf(line, sizeof(line),
                          "RegDB Tree: Software\\Some Vendor\\Tree%07d\r\nRegDB Root: 2\r\n",
                          i % 300);
            break;
        case 8:
            std::snprintf(line, sizeof(line),
                          "INI New: x\r\nINI File: C:\\WINDOWS\\NEW%07d.INI\r\nINI Sect: S\r\n",
                          i % 100);
            break;
        case 9:
            std::snprintf(line, sizeof(line), "Add Device: %s\\File%07d.DLL\r\n", base, i);
            break;
        case 10:
            std::snprintf(line, sizeof(line), "Self-Register: %s\\File%07d.DLL\r\n", base, i);
            break;
        case 11:
            std::snprintf(line, sizeof(line),
                          "Shell Link: %s\\Link%07d.LNK|01-01-2000\r\nLink Info: X|||0|0|1|\r\n",
                          base, i);
            break;
        case 12:
            std::snprintf(line, sizeof(line),
                          "File Overwrite: %s\\Over%07d.DLL\r\nBackup Copy: C:\\BK\\O%07d\r\n",
                          base, i, i);
            break;
        case 13:
            std::snprintf(line, sizeof(line), "File Copy: C:\\WINDOWS\\SYSTEM\\SYS%07d.DLL\r\n",
                          i % 200);
            break;
        default:
            if (k % 3 == 0)
                std::snprintf(line, sizeof(line),
                              "File Copy: %s\\File%07d.DLL|01-01-2000 | 00:00:00 | 100\r\n", base,
                              i);
            else if (k % 3 == 1)
                std::snprintf(
                    line, sizeof(line),
                    "RegDB Key: Software\\Some Vendor\\Some Product\\Settings\\Key%07d\r\n"
                    "RegDB Val: value\r\nRegDB Name: Name\r\nRegDB Root: 2\r\n%s",
                    i, (i % 2) ? "RegDB Old: old\r\n" : "");
            else
                std::snprintf(line, sizeof(line),
                              "INI File: C:\\WINDOWS\\PRODUCT.INI\r\nINI Sect: Section\r\n"
                              "INI Item: Key%07d\r\nINI Val: v\r\nINI Old: o\r\n",
                              i);
            break;
        }
        log += line;
    }
    return log;
}

struct Figures {
    double seconds;
    long peakKb;
};

// Runs one read in a child process; its peak memory is the child's alone.
static Figures RunOnce(int entries, bool sorted, bool missing = false)
{
    int pipeFds[2];
    Figures figures = {0, 0};
    if (pipe(pipeFds) != 0)
        return figures;
    pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string log = MakeLog(entries, sorted);
        ResetForNewLog();
        ResetTableHost();
        TableHost.LogInMemory = 1;
        TableHost.LogData.swap(log);
        if (missing)
            TableHost.ExistsMode = ExistsNone;
        char folder[260];
        auto start = std::chrono::steady_clock::now();
        int result =
            ReadInstallLogWith(&TableReaderHost, "C:\\Program Files\\Bench\\INSTALL.LOG", folder);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != 0)
            seconds = -1;
        if (write(pipeFds[1], &seconds, sizeof(seconds)) != (ssize_t)sizeof(seconds))
            _exit(1);
        _exit(0);
    }
    close(pipeFds[1]);
    if (read(pipeFds[0], &figures.seconds, sizeof(figures.seconds)) !=
        (ssize_t)sizeof(figures.seconds))
        figures.seconds = -1;
    close(pipeFds[0]);
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    figures.peakKb = usage.ru_maxrss;
    return figures;
}

// bench_reader --write DIR writes the generated logs instead, so that the
// Windows build (logview.exe under Wine) can be timed on the same input.
static int WriteLogs(const char* dir)
{
    for (int entries : {1000, 10000, 100000}) {
        for (bool sorted : {false, true}) {
            std::string path = std::string(dir) + "/bench_" + std::to_string(entries) +
                               (sorted ? "_sorted" : "_random") + ".log";
            std::string log = MakeLog(entries, sorted);
            FILE* file = std::fopen(path.c_str(), "wb");
            if (!file)
                return 1;
            std::fwrite(log.data(), 1, log.size(), file);
            std::fclose(file);
            std::printf("%s\n", path.c_str());
        }
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--write")
        return WriteLogs(argv[2]);
    std::printf("%-8s %-7s %10s %14s %10s\n", "entries", "order", "seconds", "entries/s",
                "peak MB");
    double random100k = 0, sorted100k = 0;
    for (int entries : {1000, 10000, 100000}) {
        for (bool sorted : {false, true}) {
            Figures f = RunOnce(entries, sorted);
            std::printf("%-8d %-7s %10.4f %14.0f %10.1f\n", entries, sorted ? "sorted" : "random",
                        f.seconds, f.seconds > 0 ? entries / f.seconds : 0.0, f.peakKb / 1024.0);
            if (entries == 100000)
                (sorted ? sorted100k : random100k) = f.seconds;
        }
    }
    // A log whose files are all gone already: every file among the missing.
    Figures gone = RunOnce(100000, false, true);
    std::printf("%-8d %-7s %10.4f %14.0f %10.1f\n", 100000, "missing", gone.seconds,
                gone.seconds > 0 ? 100000 / gone.seconds : 0.0, gone.peakKb / 1024.0);
    if (random100k > 0)
        std::printf("sorted/random at 100000 entries: %.2f (floor to keep: 2.00)\n",
                    sorted100k / random100k);
    return 0;
}
