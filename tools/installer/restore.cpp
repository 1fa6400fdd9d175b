// The /X= mode: re-extracts the files a repair lists, with the date and time
// the log recorded for them, and touches nothing else.
#include "install.h"

#include <cstdio>
#include <cstdlib>

static const Directive* FindCopy(const std::string& path)
{
    const Directive* found = nullptr;
    // The last copy line of a path is the one that left the file there.
    for (const Directive& d : CurrentManifest->items)
        if (d.kind == DirCopy && EqualNoCase(d.args[1], path))
            found = &d;
    return found;
}

static int StampFile(const std::string& path, unsigned dosDate, unsigned dosTime)
{
    FILETIME local, utc;
    if (!DosDateTimeToFileTime((WORD)dosDate, (WORD)dosTime, &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return 1;
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    int result = SetFileTime(h, nullptr, nullptr, &utc) ? 0 : 1;
    CloseHandle(h);
    return result;
}

// One list line: path|D0|T0| size | crc
static int RestoreOne(const std::string& line)
{
    size_t b1 = line.find('|');
    size_t b2 = b1 == std::string::npos ? b1 : line.find('|', b1 + 1);
    if (b2 == std::string::npos) {
        fprintf(stderr, "ksetup: not a restore list line: %s\n", line.c_str());
        return 1;
    }
    std::string path = line.substr(0, b1);
    unsigned dosDate = (unsigned)strtoul(line.c_str() + b1 + 1, nullptr, 10);
    unsigned dosTime = (unsigned)strtoul(line.c_str() + b2 + 1, nullptr, 10);
    unsigned long wantSize = 0, wantCrc = 0;
    size_t b3 = line.find('|', b2 + 1);
    if (b3 != std::string::npos) {
        wantSize = strtoul(line.c_str() + b3 + 1, nullptr, 10);
        size_t b4 = line.find('|', b3 + 1);
        if (b4 != std::string::npos)
            wantCrc = strtoul(line.c_str() + b4 + 1, nullptr, 16);
    }
    const Directive* d = FindCopy(path);
    if (!d) {
        fprintf(stderr, "ksetup: %s is not a file of this product\n", path.c_str());
        return 1;
    }
    std::string payload = PayloadPath(*CurrentManifest, *d);
    unsigned long size = 0, crc = 0;
    if (FileSizeAndCrc(payload, size, crc)) {
        fprintf(stderr, "ksetup: payload file not found: %s\n", payload.c_str());
        return 1;
    }
    // A payload that is not the recorded file would not repair anything.
    if ((wantSize && wantSize != size) || (wantCrc && wantCrc != crc)) {
        fprintf(stderr, "ksetup: the payload %s is not the recorded file %s\n", payload.c_str(),
                path.c_str());
        return 1;
    }
    MakeFolderChain(FolderOf(path), 0);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(payload.c_str(), path.c_str(), FALSE) || StampFile(path, dosDate, dosTime)) {
        fprintf(stderr, "ksetup: cannot restore %s (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    printf("ksetup: restored %s\n", path.c_str());
    return 0;
}

int RunRestoreList(const char* listPath)
{
    HANDLE h = CreateFileA(listPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "ksetup: cannot open the restore list %s\n", listPath);
        return 1;
    }
    std::string text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(h);
    int failures = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty())
            failures += RestoreOne(line);
    }
    return failures ? 1 : 0;
}
