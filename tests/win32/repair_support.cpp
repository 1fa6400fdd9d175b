#include "tests/win32/repair_support.h"

#include <cstdio>

uint32_t BitwiseCrc(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; k++)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return bytes.empty() ? 0 : ~crc;
}

void SetDosStamp(const std::string& path, WORD date, WORD time)
{
    FILETIME local, utc;
    DosDateTimeToFileTime(date, time, &local);
    LocalFileTimeToFileTime(&local, &utc);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &utc);
    CloseHandle(file);
}

std::string RepairDataFor(const std::string& bytes, WORD date, WORD time)
{
    char text[128];
    int year = (date >> 9) + 1980;
    snprintf(text, sizeof text, " %02d-%02d-%04d | %02d:%02d:%02d | 0.0.0.0 | %u | %08x",
             (date >> 5) & 15, date & 31, year, time >> 11, (time >> 5) & 63, (time & 31) * 2,
             (unsigned)bytes.size(), (unsigned)BitwiseCrc(bytes));
    return text;
}

static std::string TempPattern()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "KTC*.TMP";
}

int CountListFiles()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(TempPattern().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        count++;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void DeleteListFiles()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(TempPattern().c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA((std::string(temp) + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
}

struct SeriesFind {
    HWND found;
};

static BOOL CALLBACK MatchDialog(HWND window, LPARAM lParam)
{
    char name[64];
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        lstrcmpA(name, "#32770") == 0) {
        ((SeriesFind*)lParam)->found = window;
        return FALSE;
    }
    return TRUE;
}

DialogSeries::DialogSeries(int count, std::function<void(HWND, int)> act)
{
    DWORD owner = GetCurrentThreadId();
    thread_ = std::thread([this, count, act, owner]() {
        HWND last = nullptr;
        for (int i = 0; i < 2000 && answered_ < count; i++) {
            SeriesFind find = {nullptr};
            EnumThreadWindows(owner, MatchDialog, (LPARAM)&find);
            // A dialog already answered may still be closing.
            if (find.found && (find.found != last || !IsWindow(last))) {
                last = find.found;
                act(find.found, answered_);
                answered_++;
                i = 0;
                // Wait for it to go before looking for the next.
                for (int w = 0; w < 100 && IsWindow(last) && IsWindowVisible(last); w++)
                    Sleep(20);
            }
            Sleep(30);
        }
    });
}

DialogSeries::~DialogSeries()
{
    thread_.join();
}
