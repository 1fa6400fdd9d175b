// The journal an administrator asks for with /L: one UTF-8 line per
// operation (time, phase, what, outcome, name, the system's error text),
// opened by the run's header and closed by its exit code. Without /L nothing
// is written; the operations are still counted, so that the exit code can
// tell whether one failed. The same unit holds the dry run's switch: in a
// dry run every operation only says what it would do.
#pragma once
#include <cstdint>

#include "engine/files.h"

enum { JournalLineSize = 2048, JournalTextSize = 1024 };

// The kinds of thing an operation touches.
enum JournalWhat {
    WhatFile,
    WhatFolder,
    WhatKey,
    WhatValue,
    WhatIniEntry,
    WhatService,
    WhatLink,
    WhatProgmanItem,
    WhatCounter,
    WhatProgram,
};

// A local time to the second.
struct JournalTime {
    int32_t year, month, day, hour, minute, second;
};

const char* JournalWhatText(JournalWhat what);
// "removed", "kept (shared)", ...; in a dry run "would be removed", ...
const char* JournalOutcomeText(OpOutcome outcome, int32_t dryRun);

// One operation's line, UTF-8 texts in, ending in CR LF:
//   2026-12-09 21:04:05 | files | file | removed | C:\APP\APP.EXE
// error (may be null or empty) follows the name for a failure. A line longer
// than size is cut at a character boundary and ends in "..." and CR LF.
// Returns the length written.
int32_t FormatJournalLine(char* out, int32_t size, const JournalTime& time, const char* phase,
                          JournalWhat what, OpOutcome outcome, int32_t dryRun, const char* name,
                          const char* error);
// A line of free text after the time (the header and the end); same rules.
int32_t FormatJournalNote(char* out, int32_t size, const JournalTime& time, const char* text);
// Cuts a UTF-8 text of length bytes back to at most limit bytes without
// splitting a character; returns the new length.
int32_t CutUtf8(const char* text, int32_t length, int32_t limit);

enum { OutcomeKinds = OpKeptNotOwned + 1 };

// The run in numbers, for the journal's last line and a dry run's summary:
// "12 removed, 2 restored, 1 kept, 1 deferred to the restart, 0 missing,
// 0 failed" ("would be" forms in a dry run). counts has OutcomeKinds entries,
// indexed by OpOutcome; the kept reasons add up into one figure, and a dry
// run's folders that go if emptied count as removed.
int32_t FormatJournalTally(char* out, int32_t size, const int32_t* counts, int32_t dryRun);

// The run's journal (journal_win32.cpp). journalPath empty: no journal.
// The dry-run switch is set here whether or not a journal is written.
void JournalBegin(const char* journalPath, const char* commandLine, int32_t dryRun);
// The header's second part: the install log read and its installations.
void JournalLogRead(const char* logPath, int32_t installations);
// The phase the next operations belong to (a short English name).
void JournalPhase(const char* phase);
// Writes what happened to name (ANSI, as the log gives it) and counts a
// failure; returns result so that an operation can end with it.
OpResult JournalRecord(JournalWhat what, const char* name, OpResult result);
// A line of free text (ANSI) in the current phase's place.
void JournalNote(const char* text);
// The last line: the exit code. The journal is closed.
void JournalEnd(int32_t exitCode);
// Operations whose outcome was OpFailed so far in this run.
int32_t JournalFailedOperations();
// The tally so far (OutcomeKinds entries, see FormatJournalTally).
const int32_t* JournalCounts();
// 1 in a dry run: operations decide, journal and change nothing.
int32_t JournalDryRun();
// Converts ANSI text of codePage (0: the system's) to UTF-8 in out (size bytes).
void AnsiToUtf8(const char* text, uint32_t codePage, char* out, int32_t size);
// Test support: forgets the run (closes the journal, counts from 0, no dry run).
void JournalReset();
