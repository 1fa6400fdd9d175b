#include "engine/journal.h"

#include <cstdio>
#include <cstring>

const char* JournalWhatText(JournalWhat what)
{
    switch (what) {
    case WhatFile:
        return "file";
    case WhatFolder:
        return "folder";
    case WhatKey:
        return "key";
    case WhatValue:
        return "value";
    case WhatIniEntry:
        return "INI entry";
    case WhatService:
        return "service";
    case WhatLink:
        return "link";
    case WhatProgmanItem:
        return "Program Manager item";
    case WhatCounter:
        return "counter";
    case WhatProgram:
        return "program";
    }
    return "item";
}

const char* JournalOutcomeText(OpOutcome outcome, int32_t dryRun)
{
    switch (outcome) {
    case OpRemoved:
        return dryRun ? "would be removed" : "removed";
    case OpRestored:
        return dryRun ? "would be restored" : "restored";
    case OpKeptChosen:
        return dryRun ? "would be kept (chosen)" : "kept (chosen)";
    case OpKeptShared:
        return dryRun ? "would be kept (shared)" : "kept (shared)";
    case OpKeptProtected:
        return dryRun ? "would be kept (protected)" : "kept (protected)";
    case OpKeptUserData:
        return dryRun ? "would be kept (user data left in the folder)"
                      : "kept (user data left in the folder)";
    case OpDeferred:
        return dryRun ? "would be in use: deferred to the restart"
                      : "in use: deferred to the restart";
    case OpMissing:
        return "missing";
    case OpFailed:
        return dryRun ? "would fail" : "failed";
    case OpLowered:
        return dryRun ? "would be lowered" : "lowered";
    case OpStarted:
        return dryRun ? "would be started" : "started";
    case OpRemovedIfEmpty:
        return "would be removed if the run empties it";
    case OpKeptNotOwned:
        return dryRun ? "would be kept (not the product's)" : "kept (not the product's)";
    }
    return "?";
}

int32_t CutUtf8(const char* text, int32_t length, int32_t limit)
{
    if (length <= limit)
        return length;
    int32_t at = limit < 0 ? 0 : limit;
    // Step back over continuation bytes (10xxxxxx) to a character's start.
    while (at > 0 && ((unsigned char)text[at] & 0xC0) == 0x80)
        at--;
    return at;
}

// Ends a line that snprintf wrote (or cut) in out: whole lines get CR LF,
// a cut one "..." before it.
static int32_t FinishLine(char* out, int32_t size, int n)
{
    const int32_t tail = 5; // "...\r\n"
    if (size < tail + 1) {
        if (size > 0)
            out[0] = 0;
        return 0;
    }
    if (n >= 0 && n <= size - 3) {
        std::memcpy(out + n, "\r\n", 3);
        return n + 2;
    }
    int32_t written = n < 0 ? 0 : (int32_t)std::strlen(out);
    int32_t keep = CutUtf8(out, written, size - tail - 1);
    std::memcpy(out + keep, "...\r\n", 6);
    return keep + tail;
}

static int Stamp(char* out, int32_t size, const JournalTime& t)
{
    return std::snprintf(out, (size_t)size, "%04d-%02d-%02d %02d:%02d:%02d", (int)t.year,
                         (int)t.month, (int)t.day, (int)t.hour, (int)t.minute, (int)t.second);
}

int32_t FormatJournalLine(char* out, int32_t size, const JournalTime& time, const char* phase,
                          JournalWhat what, OpOutcome outcome, int32_t dryRun, const char* name,
                          const char* error)
{
    if (size <= 0)
        return 0;
    int n = Stamp(out, size, time);
    if (n < 0 || n >= size)
        return FinishLine(out, size, -1);
    bool withError = error && error[0];
    int m = std::snprintf(out + n, (size_t)(size - n), " | %s | %s | %s | %s%s%s", phase,
                          JournalWhatText(what), JournalOutcomeText(outcome, dryRun), name,
                          withError ? " | " : "", withError ? error : "");
    return FinishLine(out, size, m < 0 ? -1 : n + m);
}

int32_t FormatJournalNote(char* out, int32_t size, const JournalTime& time, const char* text)
{
    if (size <= 0)
        return 0;
    int n = Stamp(out, size, time);
    if (n < 0 || n >= size)
        return FinishLine(out, size, -1);
    int m = std::snprintf(out + n, (size_t)(size - n), " | %s", text);
    return FinishLine(out, size, m < 0 ? -1 : n + m);
}

int32_t FormatJournalTally(char* out, int32_t size, const int32_t* counts, int32_t dryRun)
{
    if (size <= 0)
        return 0;
    long kept = (long)counts[OpKeptChosen] + counts[OpKeptShared] + counts[OpKeptProtected] +
                counts[OpKeptUserData] + counts[OpKeptNotOwned];
    long removed = (long)counts[OpRemoved] + counts[OpRemovedIfEmpty];
    int n = std::snprintf(out, (size_t)size,
                          "%s%ld removed, %ld restored, %ld kept, %ld deferred to the restart, "
                          "%ld started, %ld lowered, %ld missing, %ld failed",
                          dryRun ? "would be: " : "", removed, (long)counts[OpRestored], kept,
                          (long)counts[OpDeferred], (long)counts[OpStarted],
                          (long)counts[OpLowered], (long)counts[OpMissing], (long)counts[OpFailed]);
    if (n < 0)
        return 0;
    return n < size ? n : size - 1;
}
