#include "engine/ownership_services.h"

#include <cstring>

#include "log/items.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

// An image path may carry long arguments; the program is near its start.
enum { ImageTextSize = 2048, MaxBlanks = 128, VariableNameSize = 64 };

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Appends n bytes; false when they do not fit with the terminator.
static bool Put(char* out, int32_t* at, int32_t size, const char* from, int32_t n)
{
    if (n < 0 || *at + n >= size)
        return false;
    memcpy(out + *at, from, (size_t)n);
    *at += n;
    out[*at] = 0;
    return true;
}

static bool BeginsWith(const char* text, const char* prefix)
{
    int32_t n = (int32_t)strlen(prefix);
    return (int32_t)strlen(text) >= n && CompareNoCaseN(text, prefix, n) == 0;
}

// %NAME% parts replaced: %SystemRoot% and %windir% by the Windows folder,
// %SystemDrive% by its drive, others by what the system says; one it does
// not know stays as written.
static bool ExpandVariables(const char* text, const ServiceSystem* system, char* out, int32_t size)
{
    int32_t at = 0;
    out[0] = 0;
    const char* p = text;
    while (*p) {
        const char* end = *p == '%' ? FindCharMb(p + 1, '%') : nullptr;
        int32_t length = end ? (int32_t)(end - p - 1) : 0;
        if (length > 0 && length < VariableNameSize) {
            char name[VariableNameSize];
            char value[ImageTextSize];
            memcpy(name, p + 1, (size_t)length);
            name[length] = 0;
            bool known = false;
            const char* windows = system->windowsFolder ? system->windowsFolder : "";
            if (CompareNoCase(name, "SystemRoot") == 0 || CompareNoCase(name, "windir") == 0) {
                CopyText(value, windows, sizeof value);
                known = true;
            } else if (CompareNoCase(name, "SystemDrive") == 0 && windows[0] && windows[1] == ':') {
                CopyText(value, windows, 3);
                known = true;
            } else if (system->variable) {
                known = system->variable(name, value, sizeof value, system->context);
            }
            if (known) {
                if (!Put(out, &at, size, value, (int32_t)strlen(value)))
                    return false;
                p = end + 1;
                continue;
            }
        }
        const char* next = NextChar(p);
        if (!Put(out, &at, size, p, (int32_t)(next - p)))
            return false;
        p = next;
    }
    return true;
}

static bool FileThere(const ServiceSystem* system, const char* path)
{
    return system->fileExists && system->fileExists(path, system->context);
}

// The file the system starts for path: path itself, or path with ".exe"
// when its name has no extension. Into out when one exists.
static bool ProgramThere(const ServiceSystem* system, const char* path, char* out, int32_t size)
{
    if ((int32_t)strlen(path) >= size)
        return false;
    if (FileThere(system, path)) {
        CopyText(out, path, size);
        return true;
    }
    if (FindCharMb(FileNamePart(path), '.'))
        return false;
    char withExe[ImageTextSize];
    CopyText(withExe, path, sizeof withExe);
    AppendText(withExe, ".exe", sizeof withExe);
    if ((int32_t)strlen(withExe) >= size - 1 || !FileThere(system, withExe))
        return false;
    CopyText(out, withExe, size);
    return true;
}

static bool Joined(char* out, int32_t size, const char* folder, const char* name)
{
    int32_t at = 0;
    out[0] = 0;
    return Put(out, &at, size, folder, (int32_t)strlen(folder)) && Put(out, &at, size, "\\", 1) &&
           Put(out, &at, size, name, (int32_t)strlen(name));
}

// A program's text as a full canonical path, read as the service manager
// reads it.
static bool FullProgramPath(const char* text, const ServiceSystem* system, char* out, int32_t size)
{
    char expanded[ImageTextSize];
    char full[ImageTextSize];
    if (!ExpandVariables(text, system, expanded, sizeof expanded))
        return false;
    for (char* s = expanded; *s; s = NextChar(s))
        if (*s == '/')
            *s = '\\';
    const char* p = expanded;
    if (!p[0])
        return false;
    const char* windows = system->windowsFolder ? system->windowsFolder : "";
    bool fits = true;
    if (BeginsWith(p, "\\??\\UNC\\") || BeginsWith(p, "\\\\?\\UNC\\")) {
        fits = Joined(full, sizeof full, "\\", p + 8);
    } else if (BeginsWith(p, "\\??\\") || BeginsWith(p, "\\\\?\\")) {
        CopyText(full, p + 4, sizeof full);
    } else if (BeginsWith(p, "\\SystemRoot\\")) {
        fits = Joined(full, sizeof full, windows, p + 12);
    } else if (p[0] == '\\' && p[1] == '\\') {
        CopyText(full, p, sizeof full);
    } else if (p[0] == '\\') {
        // Rooted on the system's drive.
        if (!windows[0] || windows[1] != ':')
            return false;
        full[0] = windows[0];
        full[1] = ':';
        CopyText(full + 2, p, (int32_t)sizeof full - 2);
    } else if (p[0] && p[1] == ':') {
        // A drive's own current folder is nothing a service can rely on.
        if (p[2] != '\\')
            return false;
        CopyText(full, p, sizeof full);
    } else if (FindCharMb(p, '\\')) {
        // A driver's "system32\drivers\x.sys" is read from the Windows folder.
        fits = Joined(full, sizeof full, windows, p);
    } else {
        // A bare name: the system folder first, then the Windows folder.
        char found[ImageTextSize];
        fits = Joined(full, sizeof full, system->systemFolder ? system->systemFolder : "", p);
        if (fits && !ProgramThere(system, full, found, sizeof found) &&
            Joined(found, sizeof found, windows, p) &&
            ProgramThere(system, found, found, sizeof found))
            CopyText(full, found, sizeof full);
    }
    return fits && NormalizePathText(full, out, size) != 0;
}

int32_t ServiceProgramPath(const char* imagePath, const ServiceSystem* system, char* out,
                           int32_t size)
{
    if (size <= 0)
        return 0;
    out[0] = 0;
    char text[ImageTextSize];
    const char* p = imagePath ? imagePath : "";
    while (IsBlank(*p))
        p++;
    CopyText(text, p, sizeof text);
    if (text[0] == '"') {
        char* close = FindCharMb(text + 1, '"');
        if (close)
            *close = 0;
        char full[ImageTextSize];
        if (!FullProgramPath(text + 1, system, full, sizeof full) || (int32_t)strlen(full) >= size)
            return 0;
        if (!ProgramThere(system, full, out, size))
            CopyText(out, full, size);
        return 1;
    }
    // Unquoted: the ends of the parts before each blank, then the whole.
    int32_t ends[MaxBlanks + 1];
    int32_t count = 0;
    for (const char* at = text; *at && count < MaxBlanks; at = NextChar(at)) {
        if (IsBlank(*at) && at > text && !IsBlank(at[-1]))
            ends[count++] = (int32_t)(at - text);
    }
    int32_t length = (int32_t)strlen(text);
    while (length > 0 && IsBlank(text[length - 1]))
        length--;
    if (length == 0)
        return 0;
    ends[count++] = length;
    char part[ImageTextSize];
    char full[ImageTextSize];
    for (int32_t i = count - 1; i >= 0; i--) {
        memcpy(part, text, (size_t)ends[i]);
        part[ends[i]] = 0;
        if (FullProgramPath(part, system, full, sizeof full) &&
            ProgramThere(system, full, out, size))
            return 1;
    }
    // Nothing there to start: the text as a whole is what names it.
    memcpy(part, text, (size_t)length);
    part[length] = 0;
    if (!FullProgramPath(part, system, full, sizeof full) || (int32_t)strlen(full) >= size)
        return 0;
    CopyText(out, full, size);
    return 1;
}

bool SharesHostProcess(const char* imagePath, uint32_t serviceType)
{
    if (serviceType & ServiceSharesProcess)
        return true;
    // An argument "-k" (or "/k") names the group of a shared host.
    const char* p = imagePath ? imagePath : "";
    for (const char* at = p; *at; at = NextChar(at)) {
        if (!IsBlank(*at) || (at[1] != '-' && at[1] != '/') || FoldAscii(at[2]) != 'K')
            continue;
        if (at[3] == 0 || IsBlank(at[3]))
            return true;
    }
    return false;
}

int32_t ServiceOwnershipReason(const char* imagePath, uint32_t serviceType, const char* serviceDll,
                               const ServiceQuestions* questions, char* program, int32_t size)
{
    if (size <= 0)
        return ReasonForeignService;
    program[0] = 0;
    // A host shared with other services is the system's; what this service
    // brings into it is its library.
    const char* text = imagePath;
    if (serviceDll && serviceDll[0] && SharesHostProcess(imagePath, serviceType))
        text = serviceDll;
    if (!ServiceProgramPath(text, &questions->system, program, size))
        return ReasonForeignService;
    void* context = questions->system.context;
    if (questions->isLogFile && questions->isLogFile(program, context))
        return OwnedByLog;
    if (questions->inProductFolders && questions->inProductFolders(program, context))
        return OwnedByLog;
    return ReasonForeignService;
}

static const FileRecord* FindIn(ItemList* list, const char* path)
{
    if (list->Count == 0 || !list->IndexRoot)
        return nullptr;
    return (const FileRecord*)IndexFindOrInsert(nullptr, &list->IndexRoot, sizeof(FileRecord),
                                                list->Count, path, nullptr, nullptr,
                                                &FileIndexLayout);
}

const FileRecord* LogFileRecord(const char* path)
{
    if (!path || !path[0])
        return nullptr;
    const FileRecord* found = FindIn(&FileList, path);
    if (found)
        return found;
    // A file of the system folders is the product's only when the
    // installation brought it: one it overwrote was there before.
    found = FindIn(&SystemFileList, path);
    return found && found->NewFile ? found : nullptr;
}
