// The command line: options, then the install log's path and a window title.
#pragma once
#include <cstdint>

enum { CommandLineSize = 256, JournalPathSize = 260 };

// The log path and title taken from the rest of the command line.
struct LogArgument {
    char path[260];
    char title[256];
    int32_t hasTitle;
};

// What the command line asks of this run. Start-up reads it once and
// WinMain hands it to the steps that need it.
struct RunOptions {
    int32_t silent;         // /S: no window, no question (and automatic)
    int32_t automatic;      // /A: the wizard runs by itself
    int32_t rollback;       // /R: roll back the latest installation only
    int32_t finalPageOnly;  // /U: the wizard opens on its final page
    int32_t shortcutNumber; // /W<n>: started by shortcut n
    int32_t cleanupStage;   // /z: this process is the temporary copy's clean-up
    int32_t restartMarker;  // /z1: the process that handed over needs a restart
    int32_t lineCut;        // the command line was longer than the copy kept of it
    int32_t dryRun;         // /N: every decision is taken and said, nothing is changed
    // /L<path> or /L"path": the journal's file; empty without /L.
    char journalPath[JournalPathSize];
    // /L named no usable path (empty, too long for journalPath, or a quote
    // left open): the path is refused whole, never cut, and the run stops.
    int32_t journalRefused;
    // The rest after the options and their spaces: the log path and title,
    // or in the clean-up stage the two paths to remove. Points into the text
    // that was parsed.
    const char* rest;
    LogArgument log; // the path and title taken from the rest
};

// Reads the options at the start of text; the flags not named stay 0 and
// log is left empty (SplitLogArgument fills it from rest).
RunOptions ParseOptions(const char* text);

// 1 when text begins with "/Z" in either case: the process is (or acts as)
// the temporary copy and makes no copy of its own.
int32_t SuppressesTempCopy(const char* text);

// Splits the rest into path and title. A quoted path is converted to its
// short form. Outside the clean-up stage the path ends at its first space.
void SplitLogArgument(const char* rest, int32_t cleanupStage, LogArgument* out);

// The default log beside the program: the folder of settingsIniPath in short
// form plus "INSTALL.LOG". If that file exists and the command line is empty,
// the command line (CommandLineSize bytes) becomes this path. Returns 1 then.
int32_t ApplyDefaultLog(char* commandLine, const char* settingsIniPath);

// A log path without any backslash is taken from the current directory;
// logPath is a buffer of size bytes.
void AnchorBareLogPath(char* logPath, int32_t size);

// A command line for WinExec: the program in double quotes (a path with a
// space would otherwise be tried cut at each space first), then arguments
// when there are any. Returns 0, with out empty, when it does not fit in size bytes.
int32_t QuoteCommand(char* out, int32_t size, const char* program, const char* arguments);

// The command that hands the run over to the temporary copy copyPath:
// "/z" and the restart marker, the program file to remove and the
// application folder. The copy splits those two at the first space and
// reads no more than CommandLineSize - 1 characters of its command line, so
// a path with a space, or a line that would not fit, is refused (returns 0,
// out empty): a cut or split path names another file or folder.
int32_t FormatRelaunchCommand(char* out, int32_t size, const char* copyPath, const char* marker,
                              const char* program, const char* folder);

// Replaces the last three characters of path with ext (three characters).
void ReplaceLastThree(char* path, const char* ext);
