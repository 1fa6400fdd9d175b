#include "engine/progman.h"

#include <cstdio>
#include <cstring>

#include "engine/uninstall_plan.h"
#include "log/items.h"
#include "log/pool.h"

char* GroupTexts[GroupTextsSize];

static const char CutMark[] = "\r\n\"";

// Length of the text in the first got bytes (a reply need not be
// terminated).
static uint32_t ReplyTextLength(const char* data, uint32_t got)
{
    uint32_t n = 0;
    while (n < got && data[n])
        n++;
    return n;
}

static char* PoolText(const char* data, uint32_t length, const char* tail)
{
    uint32_t tailLength = (uint32_t)std::strlen(tail);
    char* copy = (char*)PoolAlloc((int32_t)(length + tailLength + 1));
    std::memcpy(copy, data, length);
    std::memcpy(copy + length, tail, tailLength + 1);
    return copy;
}

// Length of the text of a reply, and whether the reply had more than that.
static uint32_t UsableLength(const char* data, uint32_t got, uint32_t total, uint32_t limit,
                             int32_t* cut)
{
    uint32_t n = ReplyTextLength(data, got);
    *cut = 0;
    if (n == got && total > got)
        *cut = 1;
    if (n > limit) {
        n = limit;
        *cut = 1;
    }
    return n;
}

char* CopyGroupList(const char* data, uint32_t got, uint32_t total)
{
    int32_t cut;
    uint32_t n = UsableLength(data, got, total, ProgmanReplySize - 1, &cut);
    // A partial last name would ask for some other group.
    if (cut) {
        while (n > 0 && data[n - 1] != '\r' && data[n - 1] != '\n')
            n--;
    }
    return PoolText(data, n, "");
}

char* CopyGroupDescription(const char* data, uint32_t got, uint32_t total)
{
    int32_t cut;
    uint32_t limit = ProgmanReplySize - 1 - (uint32_t)(sizeof(CutMark) - 1);
    uint32_t n = UsableLength(data, got, total, limit, &cut);
    // The lone quote reads as an item line that never matches, so the group
    // is never taken for empty while its cut-off items still exist.
    return PoolText(data, n, cut ? CutMark : "");
}

int32_t AddGroupText(char* text)
{
    for (int32_t k = 0; k < GroupTextsSize - 1; k++) {
        if (!GroupTexts[k]) {
            GroupTexts[k] = text;
            return 0;
        }
    }
    return 1;
}

int32_t GroupTextsFull()
{
    return GroupTexts[GroupTextsSize - 2] != nullptr;
}

void ClearGroupTexts()
{
    for (int32_t k = 0; k < GroupTextsSize; k++)
        GroupTexts[k] = nullptr;
}

static int32_t IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Start of the line after the one at p; empty lines are stepped over.
static char* NextLine(char* p)
{
    while (*p && !IsLineEnd(*p))
        p++;
    while (IsLineEnd(*p))
        p++;
    return p;
}

int32_t NextGroupName(const char** cursor, char* name)
{
    const char* p = *cursor;
    if (!*p)
        return -1;
    int32_t n = 0;
    while (p[n] && !IsLineEnd(p[n]))
        n++;
    int32_t usable = n > 0 && n < ProgmanNameSize;
    if (usable) {
        std::memcpy(name, p, (size_t)n);
        name[n] = 0;
    }
    p += n;
    while (IsLineEnd(*p))
        p++;
    *cursor = p;
    return usable;
}

// Reads the double-quoted field at p into out. Returns the character after
// the closing quote, or none when the quote is not closed on this line or
// the field does not fit.
static char* ReadQuoted(char* p, char* out)
{
    if (*p != '"')
        return nullptr;
    p++;
    int32_t n = 0;
    while (p[n] && p[n] != '"' && !IsLineEnd(p[n]))
        n++;
    if (p[n] != '"' || n >= ProgmanNameSize)
        return nullptr;
    std::memcpy(out, p, (size_t)n);
    out[n] = 0;
    return p + n + 1;
}

int32_t DescribesGroup(const char* text, const char* name)
{
    char group[ProgmanNameSize];
    return ReadQuoted((char*)text, group) && CompareNoCase(group, name) == 0;
}

void FormatProgmanCommand(char* command, const char* form, const char* name)
{
    char quoted[ProgmanNameSize + 2];
    const char* shown = name;
    if (std::strpbrk(name, ",()[]")) {
        std::snprintf(quoted, sizeof(quoted), "\"%.*s\"", ProgmanNameSize - 1, name);
        shown = quoted;
    }
    std::snprintf(command, ProgmanCommandSize, form, shown);
}

int32_t MarkGroupIfEmpty(char* text)
{
    for (char* line = NextLine(text); *line; line = NextLine(line)) {
        if (*line == '"')
            return 0;
    }
    text[0] = '*';
    return 1;
}

static int32_t ItemMatches(const IconItem* item, const char* group, const char* name,
                           const char* command)
{
    // An entry logged without a command line must not take every item that
    // has none with it.
    if (item->Command[0] && CompareNoCase(command, item->Command) == 0)
        return 1;
    return CompareNoCase(group, item->Group) == 0 && CompareNoCase(name, item->Name) == 0;
}

static void Send(ProgmanSender send, const char* form, const char* name)
{
    char command[ProgmanCommandSize];
    FormatProgmanCommand(command, form, name);
    send(command);
}

static int32_t SearchGroup(char* text, const IconItem* item, ProgmanSender send)
{
    char group[ProgmanNameSize];
    char name[ProgmanNameSize];
    char command[ProgmanNameSize];
    int32_t deleted = 0;
    if (!ReadQuoted(text, group))
        return 0;
    for (char* line = NextLine(text); *line; line = NextLine(line)) {
        char* p = ReadQuoted(line, name);
        if (!p || p[0] != ',' || !ReadQuoted(p + 1, command))
            continue;
        if (!ItemMatches(item, group, name, command))
            continue;
        line[0] = '*';
        // Showing the group makes it the active one, which DeleteItem acts on.
        Send(send, "[ShowGroup(%s,2)]", group);
        Send(send, "[ShowGroup(%s,1)]", group);
        Send(send, "[DeleteItem(%s)]", name);
        deleted++;
        if (MarkGroupIfEmpty(text) && CompareNoCase(group, "STARTUP") != 0)
            Send(send, "[DeleteGroup(%s)]", group);
    }
    return deleted;
}

int32_t DeleteMatchingItems(const IconItem* item, ProgmanSender send)
{
    int32_t deleted = 0;
    for (int32_t k = 0; k < GroupTextsSize && GroupTexts[k]; k++) {
        if (GroupTexts[k][0] == '"')
            deleted += SearchGroup(GroupTexts[k], item, send);
    }
    return deleted;
}

int32_t IconEntryTakesPart(const IconItem* item, uint16_t threshold,
                           const UninstallRequest& request)
{
    UninstallPlan plan = {};
    plan.automatic = request.mode == ModeAutomatic;
    plan.rollback = request.rollback;
    plan.threshold = threshold;
    return PlanTakesIcon(&plan, item) ? 1 : 0;
}
