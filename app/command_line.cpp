#include "app/command_line.h"
#include "log/path_helpers.h"
#include "log/text_step.h"

#include <cstdio>
#include <cstring>

static int32_t LeadingNumber(const char* at)
{
    // atoi without its overflow: digits past nine are ignored.
    int32_t value = 0;
    int32_t digits = 0;
    while (*at >= '0' && *at <= '9') {
        if (digits < 9)
            value = value * 10 + (*at - '0');
        digits++;
        at++;
    }
    return value;
}

static const char* SkipSpaces(const char* at)
{
    while (*at == ' ')
        at++;
    return at;
}

// /L's path, right after the letter: up to the next space, or quoted up to
// the closing quote. Returns where the option ends.
static const char* ReadJournalPath(const char* at, RunOptions* options)
{
    const char* start = at;
    const char* end;
    const char* next;
    if (*at == '"') {
        start = at + 1;
        end = FindCharMb(start, '"');
        if (!end) {
            options->journalRefused = 1;
            return start + std::strlen(start);
        }
        next = end + 1;
    } else {
        end = FindCharMb(start, ' ');
        if (!end)
            end = start + std::strlen(start);
        next = end;
    }
    size_t length = (size_t)(end - start);
    options->journalPath[0] = 0;
    if (length == 0 || length >= sizeof options->journalPath) {
        options->journalRefused = 1;
        return next;
    }
    std::memcpy(options->journalPath, start, length);
    options->journalPath[length] = 0;
    return next;
}

// One option at 'at' (which holds '/'); returns where it ends, or null when
// the letter is no option and the scan ends.
static const char* ReadOption(const char* at, RunOptions* options)
{
    char letter = at[1];
    char upper = FoldAscii(letter);
    const char* next = at + 2;
    switch (upper) {
    case 'Z':
        if (letter == 'z') {
            options->cleanupStage = 1;
            if (*next == '1') {
                options->restartMarker = 1;
                next++;
            }
        }
        break;
    case 'A':
        options->automatic = 1;
        break;
    case 'S':
        options->silent = 1;
        options->automatic = 1;
        break;
    case 'R':
        options->rollback = 1;
        break;
    case 'U':
        options->finalPageOnly = 1;
        break;
    case 'N':
        options->dryRun = 1;
        break;
    case 'L':
        next = ReadJournalPath(next, options);
        break;
    case 'W':
        options->shortcutNumber = LeadingNumber(next);
        while (*next && *next != ' ')
            next++;
        break;
    default:
        return nullptr;
    }
    return next;
}

RunOptions ParseOptions(const char* text)
{
    RunOptions options = {};
    const char* at = text;
    while (*at == '/') {
        const char* next = ReadOption(at, &options);
        if (!next)
            break;
        at = SkipSpaces(next);
    }
    options.rest = SkipSpaces(at);
    return options;
}

int32_t SuppressesTempCopy(const char* text)
{
    return text[0] == '/' && (text[1] == 'Z' || text[1] == 'z');
}

// Drops one leading and one trailing double quote.
static void Unquote(char* text)
{
    if (text[0] == '"')
        std::memmove(text, text + 1, std::strlen(text));
    size_t length = std::strlen(text);
    if (length > 0 && text[length - 1] == '"')
        text[length - 1] = 0;
}

void SplitLogArgument(const char* rest, int32_t cleanupStage, LogArgument* out)
{
    out->path[0] = out->title[0] = 0;
    out->hasTitle = 0;
    if (rest[0] == '"') {
        const char* closing = std::strrchr(rest, '"');
        if (closing == rest) {
            CopyText(out->path, rest + 1, (int32_t)sizeof out->path);
        } else {
            int32_t length = (int32_t)(closing - rest - 1);
            if (length > (int32_t)sizeof out->path - 1)
                length = (int32_t)sizeof out->path - 1;
            std::memcpy(out->path, rest + 1, (size_t)length);
            out->path[length] = 0;
            CopyText(out->title, SkipSpaces(closing + 1), (int32_t)sizeof out->title);
            out->hasTitle = out->title[0] != 0;
        }
        // The short form normally holds no space, so the split below keeps it whole.
        if (out->path[0])
            ConvertPathNamesBounded(out->path, (int32_t)sizeof out->path, ToShort);
    } else {
        CopyText(out->path, rest, (int32_t)sizeof out->path);
    }
    if (cleanupStage)
        return; // the rest holds two paths that the clean-up stage splits itself
    char* space = FindCharMb(out->path, ' ');
    if (space) {
        *space = 0;
        CopyText(out->title, space + 1, (int32_t)sizeof out->title);
        Unquote(out->title);
        // A blank title would only hide the log's own title.
        out->hasTitle = out->title[0] != 0;
    }
}

int32_t ApplyDefaultLog(char* commandLine, const char* settingsIniPath)
{
    if (commandLine[0])
        return 0;
    char candidate[PathBufferSize];
    CopyText(candidate, settingsIniPath, (int32_t)sizeof candidate);
    ConvertPathNames(candidate, ToShort);
    *FileNamePart(candidate) = 0;
    AppendText(candidate, "INSTALL.LOG", (int32_t)sizeof candidate);
    if (std::strlen(candidate) >= CommandLineSize || PathMissing(candidate))
        return 0;
    CopyText(commandLine, candidate, CommandLineSize);
    return 1;
}

void AnchorBareLogPath(char* logPath, int32_t size)
{
    if (!logPath[0] || FindCharMb(logPath, '\\'))
        return;
    PrefixCurrentDirectory(logPath, size);
}

void ReplaceLastThree(char* path, const char* ext)
{
    size_t length = std::strlen(path);
    if (length < 3)
        return;
    std::memcpy(path + length - 3, ext, 3);
}

int32_t QuoteCommand(char* out, int32_t size, const char* program, const char* arguments)
{
    int n =
        std::snprintf(out, (size_t)size, arguments[0] ? "\"%s\" %s" : "\"%s\"", program, arguments);
    if (n > 0 && n < size)
        return 1;
    out[0] = 0;
    return 0;
}

int32_t FormatRelaunchCommand(char* out, int32_t size, const char* copyPath, const char* marker,
                              const char* program, const char* folder)
{
    out[0] = 0;
    if (FindCharMb(program, ' ') || FindCharMb(folder, ' '))
        return 0;
    char arguments[CommandLineSize];
    int n = std::snprintf(arguments, sizeof arguments, "/z%s %s %s", marker, program, folder);
    if (n <= 0 || n >= (int)sizeof arguments)
        return 0;
    return QuoteCommand(out, size, copyPath, arguments);
}
