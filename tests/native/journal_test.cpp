#include "engine/journal.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace
{

const JournalTime Noon = {2026, 12, 9, 21, 4, 5};

std::string Line(const char* phase, JournalWhat what, OpOutcome outcome, int32_t dryRun,
                 const char* name, const char* error, int32_t size = JournalLineSize)
{
    char out[JournalLineSize];
    int32_t n = FormatJournalLine(out, size, Noon, phase, what, outcome, dryRun, name, error);
    EXPECT_EQ((size_t)n, std::string(out).size());
    return out;
}

bool ValidUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
        if (i + extra >= text.size() + (extra ? 0 : 1))
            return false;
        for (size_t k = 1; k <= extra; k++)
            if (((unsigned char)text[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

TEST(JournalLine, FieldsInOrderAndTheErrorOnlyWhenGiven)
{
    EXPECT_EQ("2026-12-09 21:04:05 | files | file | removed | C:\\APP\\APP.EXE\r\n",
              Line("files", WhatFile, OpRemoved, 0, "C:\\APP\\APP.EXE", nullptr));
    EXPECT_EQ(
        "2026-12-09 21:04:05 | files | file | in use: deferred to the restart | C:\\A.DLL\r\n",
        Line("files", WhatFile, OpDeferred, 0, "C:\\A.DLL", ""));
    EXPECT_EQ("2026-12-09 21:04:05 | registry values | value | failed | HKLM\\Software\\A | "
              "error 5: Access is denied\r\n",
              Line("registry values", WhatValue, OpFailed, 0, "HKLM\\Software\\A",
                   "error 5: Access is denied"));
    // A dry run says what would happen; a missing item is missing either way.
    EXPECT_EQ(
        "2026-12-09 21:04:05 | folders | folder | would be kept (protected) | C:\\WINDOWS\r\n",
        Line("folders", WhatFolder, OpKeptProtected, 1, "C:\\WINDOWS", nullptr));
    EXPECT_EQ("2026-12-09 21:04:05 | services | service | missing | Svc\r\n",
              Line("services", WhatService, OpMissing, 1, "Svc", nullptr));
}

TEST(JournalLine, EveryKindAndOutcomeHasItsOwnWords)
{
    const JournalWhat kinds[] = {WhatFile,     WhatFolder,  WhatKey,  WhatValue,
                                 WhatIniEntry, WhatService, WhatLink, WhatProgmanItem,
                                 WhatCounter,  WhatProgram};
    std::set<std::string> seen;
    for (JournalWhat what : kinds)
        EXPECT_TRUE(seen.insert(JournalWhatText(what)).second) << JournalWhatText(what);
    seen.clear();
    for (int o = OpRemoved; o <= OpRemovedIfEmpty; o++) {
        EXPECT_TRUE(seen.insert(JournalOutcomeText((OpOutcome)o, 0)).second) << o;
        if (o != OpMissing && o != OpRemovedIfEmpty) // the same words in both
            EXPECT_NE(std::string(JournalOutcomeText((OpOutcome)o, 0)),
                      JournalOutcomeText((OpOutcome)o, 1));
    }
}

TEST(JournalLine, DoubleByteNamesStayWholeCharactersWhenALongLineIsCut)
{
    // A path of many three-byte UTF-8 characters (as names from code page
    // 936 become) that does not fit: the line is cut between characters.
    std::string name = "C:\\";
    for (int i = 0; i < 400; i++)
        name += "\xE4\xB8\xAD"; // one CJK character
    std::string line = Line("files", WhatFile, OpRemoved, 0, name.c_str(), nullptr, 200);
    EXPECT_LT(line.size(), 200u);
    EXPECT_EQ("...\r\n", line.substr(line.size() - 5));
    EXPECT_TRUE(ValidUtf8(line.substr(0, line.size() - 5)));
    EXPECT_EQ(0u, line.find("2026-12-09 21:04:05 | files | file | removed | C:\\\xE4\xB8\xAD"));

    // Every cut point of the buffer gives valid text that ends the line.
    for (int32_t size = 8; size < 120; size++) {
        std::string cut = Line("files", WhatFile, OpRemoved, 0, name.c_str(), nullptr, size);
        EXPECT_LT(cut.size(), (size_t)size);
        EXPECT_TRUE(ValidUtf8(cut)) << size;
        EXPECT_EQ("\r\n", cut.substr(cut.size() - 2)) << size;
    }
    // A long path that fits is written whole.
    std::string fits = Line("files", WhatFile, OpRemoved, 0, name.c_str(), nullptr);
    EXPECT_NE(std::string::npos, fits.find(name + "\r\n"));
}

TEST(JournalLine, CutUtf8NeverSplitsACharacter)
{
    const char text[] = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"; // a, e-acute, CJK, emoji
    EXPECT_EQ(1, CutUtf8(text, 10, 2));
    EXPECT_EQ(3, CutUtf8(text, 10, 3));
    EXPECT_EQ(3, CutUtf8(text, 10, 5));
    EXPECT_EQ(6, CutUtf8(text, 10, 9));
    EXPECT_EQ(10, CutUtf8(text, 10, 10));
    EXPECT_EQ(0, CutUtf8(text, 10, 0));
}

TEST(JournalLine, NotesCarryTheHeaderAndTheEnd)
{
    char out[64];
    EXPECT_EQ(45, FormatJournalNote(out, sizeof(out), Noon, "end | exit code 3010x"));
    EXPECT_STREQ("2026-12-09 21:04:05 | end | exit code 3010x\r\n", out);
    // Too small for even the cut marker: empty, never overrun.
    EXPECT_EQ(0, FormatJournalNote(out, 4, Noon, "x"));
    EXPECT_STREQ("", out);
}

TEST(JournalLine, TallyAddsTheKeptReasonsAndTheDryRunsMaybeFolders)
{
    int32_t counts[OutcomeKinds] = {};
    counts[OpRemoved] = 10;
    counts[OpRemovedIfEmpty] = 2;
    counts[OpRestored] = 3;
    counts[OpKeptChosen] = 1;
    counts[OpKeptShared] = 1;
    counts[OpKeptProtected] = 1;
    counts[OpKeptUserData] = 1;
    counts[OpDeferred] = 5;
    counts[OpStarted] = 6;
    counts[OpLowered] = 7;
    counts[OpMissing] = 8;
    counts[OpFailed] = 9;
    char out[256];
    FormatJournalTally(out, sizeof(out), counts, 0);
    EXPECT_STREQ("12 removed, 3 restored, 4 kept, 5 deferred to the restart, 6 started, "
                 "7 lowered, 8 missing, 9 failed",
                 out);
    FormatJournalTally(out, sizeof(out), counts, 1);
    EXPECT_EQ(0, std::string(out).find("would be: 12 removed, "));
    // A small buffer is cut, never overrun.
    EXPECT_EQ(9, FormatJournalTally(out, 10, counts, 0));
    EXPECT_STREQ("12 remove", out);
}

} // namespace
