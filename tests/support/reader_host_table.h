// Answers to the reader's system questions from tables: used by the native
// tests, the fuzzer, the benchmark and the log viewer. Not used by the
// program itself.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "log/reader_host.h"

enum { ExistsFromTable = 0, ExistsAll = 1, ExistsNone = 2, ExistsFromDisk = 3 };

struct TableHostState {
    // The log: read from memory when LogInMemory is set, else from the file
    // system by the path given to the reader.
    int32_t LogInMemory;
    std::string LogData;
    int32_t OpenFails;
    int32_t ReadBlockLimit; // bytes per read (0 = as asked), to vary block edges
    int32_t ReadFailsAt;    // in-memory log: a read from this offset on fails (0 = never)

    int32_t ExistsMode;
    std::vector<std::string> Existing; // ExistsFromTable: these paths exist
    std::string DiskRoot;              // ExistsFromDisk: C:\X is <root>/C/X
    std::vector<std::string> SharedDlls;
    int32_t FloppyA;
    int32_t FloppyB;
    std::string StartMenu;       // empty: cannot be read
    std::string CommonStartMenu; // empty: cannot be read
    std::string WindowsFolder;
    std::string SystemFolder;
    int32_t ServicesAllowed;
    int32_t DoubleByte; // CharNext steps over lead bytes 0x81..0xFE
    int32_t OemMapping; // OemToAnsi maps a few code page 437 letters to 1252
    // Path pairs (long form, short form) for ConvertPath.
    std::vector<std::pair<std::string, std::string>> ShortNames;
    // Folders the system or a user keeps (canonical): a "Made Dir: " that is
    // or holds one stands alone.
    std::vector<std::string> KeptFolders;

    // What the reader did.
    int32_t Refusals;
    std::string RefusalText;
    std::string RefusalCaption;
    std::string MainCaption;
    int32_t ProgressReports;
    int32_t LastProgress;
    int32_t OpenFiles;
};
extern TableHostState TableHost;
extern const ReaderHost TableReaderHost;

// Back to the defaults: every path exists, C:\WINDOWS and C:\WINDOWS\SYSTEM,
// no floppies, no shared DLLs, services allowed, single-byte text.
void ResetTableHost();
// Fresh pool, lists, run state and per-log values: ready for another log.
void ResetForNewLog();
