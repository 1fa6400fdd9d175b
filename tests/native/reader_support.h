// Helpers for the log reader tests: build a log from lines and read it with
// the table host.
#pragma once
#include <initializer_list>
#include <string>

#include "app/system_facts.h"
#include "log/items.h"
#include "log/reader.h"
#include "tests/support/reader_host_table.h"

static const char* const SampleLogPath = "C:\\Program Files\\Sample\\INSTALL.LOG";

inline std::string LogText(std::initializer_list<const char*> lines, const char* end = "\r\n")
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += end;
    }
    return text;
}

// A fresh run with the default host; the log is read from memory.
inline void FreshRun()
{
    ResetForNewLog();
    ResetTableHost();
    TableHost.LogInMemory = 1;
}

inline int ReadText(const std::string& text, char* appFolder = ApplicationFolder)
{
    TableHost.LogData = text;
    return ReadInstallLogWith(&TableReaderHost, SampleLogPath, appFolder);
}

// The header every test log starts with.
#define LOG_HEAD "*** Installation log", "Title: Sample Editor Installation"

template <typename T> inline T* At(const ItemList& list, int i)
{
    return (T*)list.Items[i];
}
