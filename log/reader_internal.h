// Shared state and helpers of the log reader's units.
#pragma once
#include <cstdint>

#include "engine/ownership_files.h"
#include "log/items.h"
#include "log/reader.h"

// What a keyword handler leaves behind.
enum {
    NextLine = 0,      // the line is done: the next turn reads a fresh one
    HandleCurrent = 1, // a line was read ahead: dispatch it next
    StopRefused = 2    // the log is refused (message shown)
};

struct ReaderState {
    const ReaderHost* Host;
    int32_t File;
    char Line[LogLineSize];
    int32_t HaveLine; // Line holds a line (0 after the end of the file)
    int32_t AtEnd;    // the file has no more lines
    int32_t NonSystemMark;
    int32_t NoCountMark;
    int32_t FloppyA;
    int32_t FloppyB;
    int32_t AdminChecked;
    int32_t LastReported; // file position last shown on the start-up bar
    char WindowsFolder[260];
    char SystemFolderPath[260];
    // The folders whose files are system files, in every spelling the
    // reader compares without asking the file system.
    SystemFolderSet SystemFolders;
    char* ApplicationFolderOut;
    // FileList and SystemFileList records whose stored path holds a
    // short-name mark: the only ones whose long form may differ from it.
    ItemList TildeFiles;
};

// Reads the next line into reader->Line; 0 at the end of the file.
int32_t ReadNextLine(ReaderState* reader);
// The text after keyword when the reader holds a line that starts with it
// (see StartsWithKeyword); null otherwise. Points into reader->Line, so it
// holds until the next line is read.
char* EntryText(ReaderState* reader, const char* keyword);
// Keyword test: ASCII letters folded, over the keyword's full length.
int32_t StartsWithKeyword(const char* line, const char* keyword);
int32_t EqualsNoCase(const char* a, const char* b);
// Prefix of text equal to prefix over prefix's length, case folded.
int32_t BeginsWithNoCase(const char* text, const char* prefix);
// Bounded copy passed through the OEM conversion unless the installation is
// ANSI.
void CopyConverted(const ReaderState* reader, char* out, int32_t size, const char* text);
// Pool copy of a text (none for a null text).
char* PoolText(const char* text);
// Decimal number: blanks skipped, optional sign, digits; no digits gives 0.
int32_t ParseNumber(const char* text);
// Non-zero when the path is on a removable floppy drive.
int32_t OnRemovableFloppy(const ReaderState* reader, const char* path);
// Non-zero when path's folder, made canonical, is one of the system folders.
int32_t InSystemFolder(const ReaderState* reader, const char* path);
// Absolute: drive letter, ':' and '\', or two backslashes.
int32_t IsAbsolutePath(const char* path);

// Keyword handlers (the dispatch table lives in reader.cpp). Each gets the
// reader and the text after its keyword, inside reader->Line: a handler
// copies what it needs before it reads the next line.
int32_t HandleFileCopy(ReaderState* reader, char* text);
int32_t HandleShellLink(ReaderState* reader, char* text);
int32_t HandleFileOverwrite(ReaderState* reader, char* text);
int32_t HandleFileEdit(ReaderState* reader, char* text);
int32_t HandleFileDelete(ReaderState* reader, char* text);
int32_t HandleAddDevice(ReaderState* reader, char* text);
int32_t HandleSelfRegister(ReaderState* reader, char* text);
int32_t HandleRegistryValue(ReaderState* reader, char* text);
int32_t HandleRegistryTree(ReaderState* reader, char* text);
int32_t HandleIniNew(ReaderState* reader, char* text);
int32_t HandleIniFile(ReaderState* reader, char* text);
int32_t HandleMadeDir(ReaderState* reader, char* text);
int32_t HandleFileTree(ReaderState* reader, char* text);
int32_t HandleIconGroup(ReaderState* reader, char* text);
int32_t HandleExecutePath(ReaderState* reader, char* text);
int32_t HandleExecuteProgram(ReaderState* reader, char* text);
int32_t HandleCreateService(ReaderState* reader, char* text);
int32_t HandleSubsystem(ReaderState* reader, char* text);
