// The installation's log text, the repair data of its file lines, folders
// and backup copies.
#include "install.h"
#include "crc32.h"

#include <cstdio>

Manifest* CurrentManifest;
std::string InstallLogText;

void LogLine(const std::string& line)
{
    InstallLogText += line;
    InstallLogText += "\r\n";
}

int Complain(const Directive& d, const std::string& message)
{
    fprintf(stderr, "%s(%d): %s\n", CurrentManifest->path.c_str(), d.line, message.c_str());
    return 1;
}

int WriteInstallLog()
{
    std::string path = CurrentManifest->appDir + "\\INSTALL.LOG";
    std::string text = InstallLogText;
    // The reader converts an OEM installation back with OemToChar.
    if (!CurrentManifest->ansi && !text.empty())
        CharToOemBuffA(text.c_str(), &text[0], (DWORD)text.size());
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    int result = 0;
    DWORD written = 0;
    SetFilePointer(h, 0, nullptr, FILE_END);
    if (!WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr) ||
        written != text.size()) {
        fprintf(stderr, "cannot write %s (error %lu)\n", path.c_str(), GetLastError());
        result = 1;
    }
    CloseHandle(h);
    return result;
}

int MakeFolderChain(const std::string& folder, int logIt)
{
    std::string f = folder;
    while (f.size() > 3 && f.back() == '\\')
        f.pop_back();
    if (f.size() <= 3)
        return 0;
    DWORD attr = GetFileAttributesA(f.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES)
        return (attr & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    if (MakeFolderChain(FolderOf(f), logIt))
        return 1;
    if (!CreateDirectoryA(f.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fprintf(stderr, "cannot create the folder %s (error %lu)\n", f.c_str(), GetLastError());
        return 1;
    }
    if (logIt)
        LogLine("Made Dir: " + f);
    return 0;
}

int FileSizeAndCrc(const std::string& path, unsigned long& size, unsigned long& crc)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    static char block[16384];
    DWORD got = 0;
    uint32_t running = Crc32Start();
    size = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) {
        running = Crc32Buffer(running, block, got);
        size += got;
    }
    crc = size ? Crc32Finish(running) : 0;
    CloseHandle(h);
    return 0;
}

// Last-write date and time in local time, as the DOS form gives them (two
// second steps), which is what a later check compares with.
static int FileDosStamp(const std::string& path, char* date, char* time)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    FILETIME written, local;
    WORD d = 0, t = 0;
    int result = 1;
    if (GetFileTime(h, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local) &&
        FileTimeToDosDateTime(&local, &d, &t)) {
        int year = ((d >> 9) + 80) % 100;
        year += year < 60 ? 2000 : 1900;
        sprintf(date, "%02d-%02d-%04d", (d >> 5) & 15, d & 31, year);
        sprintf(time, "%02d:%02d:%02d", t >> 11, (t >> 5) & 63, (t & 31) * 2);
        result = 0;
    }
    CloseHandle(h);
    return result;
}

static std::string FileVersionText(const std::string& path)
{
    std::string result = "0.0.0.0";
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return result;
    std::string data(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path.c_str(), 0, size, &data[0]) &&
        VerQueryValueA(&data[0], "\\", (void**)&info, &length) && info && length) {
        char text[64];
        sprintf(text, "%lu.%lu.%lu.%lu", info->dwFileVersionMS >> 16,
                info->dwFileVersionMS & 0xFFFF, info->dwFileVersionLS >> 16,
                info->dwFileVersionLS & 0xFFFF);
        result = text;
    }
    return result;
}

int MakeRepairData(const std::string& path, std::string& out)
{
    char date[32], time[32], tail[64];
    unsigned long size = 0, crc = 0;
    if (FileDosStamp(path, date, time) || FileSizeAndCrc(path, size, crc))
        return 1;
    sprintf(tail, " | %lu | %08lx", size, crc);
    out = std::string(" ") + date + " | " + time + " | " + FileVersionText(path) + tail;
    return 0;
}

int MakeFileAttributesText(const std::string& path, std::string& out)
{
    char date[32], time[32], size[32];
    unsigned long bytes = 0, crc = 0;
    if (FileDosStamp(path, date, time) || FileSizeAndCrc(path, bytes, crc))
        return 1;
    sprintf(size, "%lu", bytes);
    out = std::string(date) + " | " + time + " | " + size;
    return 0;
}

std::string NewBackupPath(const std::string& path)
{
    std::string name = NameOf(path);
    std::string candidate = CurrentManifest->backupDir + "\\" + name;
    for (int k = 2; GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES; k++)
        candidate = CurrentManifest->backupDir + "\\" + std::to_string(k) + "\\" + name;
    return candidate;
}

int CopyForBackup(const std::string& path, std::string& backup)
{
    backup = NewBackupPath(path);
    if (MakeFolderChain(FolderOf(backup), 1))
        return 1;
    if (!CopyFileA(path.c_str(), backup.c_str(), TRUE)) {
        fprintf(stderr, "cannot back %s up to %s (error %lu)\n", path.c_str(), backup.c_str(),
                GetLastError());
        return 1;
    }
    return 0;
}
