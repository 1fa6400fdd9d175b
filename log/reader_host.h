// The questions the log reader asks the system. The Win32 build answers them
// for real (reader_host_win32.cpp); tests, the fuzzer and the log viewer
// answer them from tables or from the local file system.
#pragma once
#include <cstdint>

// Modes of ConvertPath: every component to its short (8.3) or long name.
enum { HostToShort = 0, HostToLong = 1 };

struct ReaderHost {
    // Opens a file for reading; -1 when it cannot be opened.
    int32_t (*OpenFile)(const char* path);
    // Reads up to size bytes; 0 or less at the end of the file.
    int32_t (*ReadFile)(int32_t file, char* buffer, int32_t size);
    // Size of an open file in bytes, its position left at the start.
    int32_t (*FileSize)(int32_t file);
    void (*CloseFile)(int32_t file);

    // Non-zero when the path names neither a file nor a folder.
    int32_t (*PathMissing)(const char* path);
    // Non-zero when drive letter ('A' or 'B') is a removable drive.
    int32_t (*DriveRemovable)(char letter);
    // Non-zero when the shared-component counters hold a value for path.
    int32_t (*SharedDllHasValue)(const char* path);
    // Converts a NUL-terminated text from the OEM to the ANSI code page in
    // place (the length does not change).
    void (*OemToAnsi)(char* text);
    // The current user's "Start Menu" folder (common 0) or the all-users
    // "Common Start Menu" folder (common 1); 0 when read, else non-zero.
    int32_t (*ShellFolder)(int32_t common, char* out, int32_t size);
    void (*WindowsFolder)(char* out, int32_t size);
    void (*SystemFolder)(char* out, int32_t size);
    // Non-zero when this user may change services on the local machine.
    int32_t (*MayChangeServices)();
    // The next character of an ANSI text (double-byte characters whole).
    const char* (*CharNext)(const char* text);
    // Short or long form of every component of path (in place, within size).
    void (*ConvertPath)(char* path, int32_t size, int32_t mode);

    // Message n of the catalogue into out (cut at size - 1).
    void (*MessageText)(int32_t n, char* out, int32_t size);
    // Destroys the start-up window and shows text over the main window with
    // only an OK button.
    void (*ShowRefusal)(const char* text, const char* caption);
    // Sets the main window's caption to the product title.
    void (*SetMainCaption)(const char* title);
    // Repaints the start-up window's bar; bytes of the log read so far.
    void (*ReportProgress)(int32_t bytesRead);
    // Non-zero when folder is, or holds, a folder the system or a user keeps
    // (the Windows folder, Program Files, the profiles ...). May be null:
    // no folder is then taken for one.
    int32_t (*KeptFolderWithin)(const char* folder);
};
