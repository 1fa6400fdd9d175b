#include "log/path_helpers.h"
#include "log/text_step.h"

#include <cstring>

const PathSystem* PathSystemInUse;

void CopyText(char* to, const char* from, int32_t size)
{
    if (size <= 0)
        return;
    size_t n = from ? strnlen(from, (size_t)(size - 1)) : 0;
    if (n)
        memmove(to, from, n);
    to[n] = 0;
}

void AppendText(char* to, const char* from, int32_t size)
{
    int32_t used = (int32_t)strnlen(to, (size_t)size);
    if (used >= size)
        return;
    CopyText(to + used, from, size - used);
}

const char* FindCharMb(const char* text, char c)
{
    const char* at = text;
    while (*at) {
        if (*at == c)
            return at;
        at = NextChar(at);
    }
    return nullptr;
}

char* FindCharMb(char* text, char c)
{
    return (char*)FindCharMb((const char*)text, c);
}

// Walks forward: only from the start is it known which bytes are the second
// bytes of double-byte characters, and such a byte may be 0x5C.
const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* at = path; *at; at = NextChar(at)) {
        if (*at == '\\')
            name = at + 1;
    }
    return name;
}

char* FileNamePart(char* path)
{
    return (char*)FileNamePart((const char*)path);
}

char* LastBackslash(char* path)
{
    char* name = FileNamePart(path);
    return name > path ? name - 1 : nullptr;
}

int32_t HasWildcards(const char* text)
{
    for (const char* at = text; *at; at = NextChar(at)) {
        if (*at == '*' || *at == '?')
            return 1;
    }
    return 0;
}

int32_t EndsWithBackslash(const char* path)
{
    return path[0] != 0 && *FileNamePart(path) == 0;
}

int32_t PathMissing(const char* path)
{
    return PathSystemInUse->FileAttributes(path) == -1 ? -1 : 0;
}

// Moves past the component that starts at 'at' and the backslash after it.
static char* SkipComponent(char* at)
{
    char* slash = FindCharMb(at, '\\');
    return slash ? slash + 1 : at + std::strlen(at);
}

// A bare name is taken from the current directory.
void PrefixCurrentDirectory(char* path, int32_t size)
{
    char joined[PathBufferSize * 2];
    char directory[256];
    int32_t length = PathSystemInUse->CurrentDirectory(directory, (int32_t)sizeof directory);
    if (length <= 0 || length >= (int32_t)sizeof directory)
        return;
    CopyText(joined, directory, (int32_t)sizeof joined);
    if (!EndsWithBackslash(directory))
        AppendText(joined, "\\", (int32_t)sizeof joined);
    AppendText(joined, path, (int32_t)sizeof joined);
    CopyText(path, joined, size);
}

void ConvertPathNamesBounded(char* path, int32_t size, int32_t mode)
{
    if (mode == ToLong && !FindCharMb(path, '~'))
        return; // without the short-name mark the path is long already
    if (!FindCharMb(path, '\\'))
        PrefixCurrentDirectory(path, size);
    if (path[1] == ':')
        path[0] = FoldAscii(path[0]);

    // The root (drive, or server and share) is never converted.
    char* at = path;
    if (at[0] == '\\' && at[1] == '\\')
        at = SkipComponent(at + 2);
    at = SkipComponent(at);

    char rest[PathBufferSize];
    char longName[256];
    char shortName[14];
    while (*at) {
        char* end = FindCharMb(at, '\\');
        if (!end)
            end = at + std::strlen(at);
        CopyText(rest, end, (int32_t)sizeof rest);
        *end = 0;
        longName[0] = shortName[0] = 0;
        if (PathSystemInUse->FindFirstEntry(path, longName, shortName)) {
            const char* name = (mode == ToShort && shortName[0]) ? shortName : longName;
            int32_t head = (int32_t)(at - path);
            int32_t nameLength = (int32_t)std::strlen(name);
            // A name that would push the path past its buffer is left alone.
            if (nameLength > 0 && head + nameLength + (int32_t)std::strlen(rest) < size)
                CopyText(at, name, size - head);
        }
        int32_t componentEnd = (int32_t)std::strlen(path);
        AppendText(path, rest, size);
        at = path + componentEnd;
        if (*at == '\\')
            at++;
    }
}

void ConvertPathNames(char* path, int32_t mode)
{
    ConvertPathNamesBounded(path, PathBufferSize, mode);
}

// Drops the dots and spaces that end the name written since nameStart: the
// file system drops them too. Whole characters only: the name is walked
// from its start, so a byte that ends a double-byte character stays.
static int32_t TrimName(char* out, int32_t nameStart, int32_t at)
{
    char saved = out[at];
    out[at] = 0;
    int32_t keep = nameStart;
    for (const char* c = out + nameStart; *c;) {
        const char* next = NextChar(c);
        if (!(next - c == 1 && (*c == '.' || *c == ' ')))
            keep = (int32_t)(next - out);
        c = next;
    }
    out[at] = saved;
    return keep;
}

// Copies the name at *from (up to a backslash or the end) to out at *at,
// whole characters; false when it would not fit in size bytes.
static bool CopyName(const char** from, char* out, int32_t* at, int32_t size)
{
    const char* p = *from;
    while (*p && *p != '\\') {
        const char* next = NextChar(p);
        if (*at + (int32_t)(next - p) >= size - 1)
            return false;
        while (p < next)
            out[(*at)++] = *p++;
    }
    *from = p;
    return true;
}

int32_t NormalizePathText(const char* path, char* out, int32_t size)
{
    if (size < 4)
        return 0;
    out[0] = 0;
    char slashes[PathBufferSize * 2];
    if (std::strlen(path) >= sizeof slashes)
        return 0;
    CopyText(slashes, path, (int32_t)sizeof slashes);
    for (char* s = slashes; *s; s = NextChar(s))
        if (*s == '/')
            *s = '\\';
    const char* p = slashes;
    int32_t at = 0;
    if (p[0] == '\\' && p[1] == '\\') {
        // The root of a share is "\\server\share": ".." never climbs above it.
        out[at++] = '\\';
        out[at++] = '\\';
        p += 2;
        while (*p == '\\')
            p++;
        // Device and raw names ("\\?\", "\\.\") are nothing a log may name,
        // nor is a server whose name starts so.
        if (*p == '?' || *p == '.')
            return 0;
        for (int32_t names = 0; names < 2; names++) {
            while (*p == '\\')
                p++;
            int32_t nameStart = at;
            if (!CopyName(&p, out, &at, size))
                return 0;
            at = TrimName(out, nameStart, at);
            if (at == nameStart)
                return 0;
            out[at++] = '\\';
        }
    } else {
        char drive = FoldAscii(p[0]);
        if (drive < 'A' || drive > 'Z' || p[1] != ':' || p[2] != '\\')
            return 0;
        out[at++] = p[0];
        out[at++] = ':';
        out[at++] = '\\';
        p += 3;
    }
    int32_t rootEnd = at;
    // Name by name: separators collapsed, "." dropped, ".." takes the last
    // name back, trailing dots and spaces dropped.
    while (*p) {
        while (*p == '\\')
            p++;
        if (!*p)
            break;
        int32_t nameStart = at;
        if (!CopyName(&p, out, &at, size))
            return 0;
        if (at - nameStart == 2 && out[nameStart] == '.' && out[nameStart + 1] == '.') {
            // Back over the separator before "..", then to the one before
            // the name it takes back.
            at = nameStart > rootEnd ? nameStart - 1 : rootEnd;
            out[at] = 0;
            char* last = LastBackslash(out + rootEnd);
            at = last ? (int32_t)(last - out) + 1 : rootEnd;
            continue;
        }
        at = TrimName(out, nameStart, at);
        if (at == nameStart)
            continue; // "." or a name of dots and spaces only
        out[at++] = '\\';
    }
    // No trailing separator, but for a drive root ("C:\").
    if (at > 3)
        at--;
    out[at] = 0;
    return 1;
}

int32_t HasExtension(const char* path, const char* ext)
{
    size_t length = std::strlen(path);
    size_t n = std::strlen(ext);
    if (n == 0 || length <= n)
        return 0;
    const char* tail = path + length - n;
    for (size_t i = 0; i < n; i++) {
        if (FoldAscii(tail[i]) != FoldAscii(ext[i]))
            return 0;
    }
    return 1;
}
