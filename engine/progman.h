// Program Manager groups and items: the descriptions Program Manager gives of
// its groups, the search for the items an icon entry of the log created, and
// the DDE commands that remove them.
//
// The text handling here is portable; the DDE conversation itself lives in
// progman_win32.cpp.
#pragma once
#include <cstdint>

#include "engine/uninstall.h"

struct IconItem;

enum {
    // GroupTexts has this many entries; the first null one ends it, so at
    // most GroupTextsSize - 1 groups are held. Further groups are dropped.
    GroupTextsSize = 128,
    // At most this many bytes of one reply are used, terminator included.
    ProgmanReplySize = 16384,
    // Group names, item names and command lines are taken into buffers of
    // this size; a longer one is never cut (a cut name would name another
    // item or group), the group or item is passed over instead.
    ProgmanNameSize = 256,
    // Room for the longest command: a name of ProgmanNameSize - 1 characters,
    // its quotes and the longest form.
    ProgmanCommandSize = 320
};

// Descriptions of the groups as Program Manager returned them, copies in the
// pool. '*' over a text's first character marks a group (or, over an item
// line, an item) that is finished with.
extern char* GroupTexts[GroupTextsSize];

// Sends one command to Program Manager (SendProgmanCommand in the program,
// a recorder in tests).
typedef void (*ProgmanSender)(const char* command);

// Turns a reply of got bytes (the whole reply had total bytes) into a
// NUL-terminated pool copy of at most ProgmanReplySize bytes. A reply that
// had to be cut is made safe: a group list loses its partial last line; a
// group description gets a line that keeps the group from ever looking empty
// (its other items may lie beyond the cut). Returns the copy.
char* CopyGroupList(const char* data, uint32_t got, uint32_t total);
char* CopyGroupDescription(const char* data, uint32_t got, uint32_t total);

// 1 when the first line of text names group name (without regard to case).
int32_t DescribesGroup(const char* text, const char* name);

// Puts a description into the next free entry of GroupTexts. Returns 0, or 1
// when the table is full and the text was dropped.
int32_t AddGroupText(char* text);
// 1 when GroupTexts has no free entry left.
int32_t GroupTextsFull();
// Empties GroupTexts (the texts stay in the pool).
void ClearGroupTexts();

// Reads the group name of the line at *cursor into name (up to the next CR,
// or the end) and moves *cursor past that line and every CR and LF after
// it. Returns 1 for a name that can be requested, 0 for an empty line or a
// name that does not fit, -1 at the end of the list.
int32_t NextGroupName(const char** cursor, char* name);

// Fills command from form (one %s) with name. A name holding a comma, a
// parenthesis or a bracket is put in double quotes, since Program Manager
// would otherwise split it into further arguments or end the command early.
void FormatProgmanCommand(char* command, const char* form, const char* name);

// Deletes, through send, every Program Manager item of GroupTexts that
// matches item (same command line, or same group and item name, without
// regard to case), marks it, and deletes its group when no item is left in
// it (never "STARTUP"). Returns the number of items deleted.
int32_t DeleteMatchingItems(const IconItem* item, ProgmanSender send);

// 1 when no item line is left in the group text (the text is then marked),
// else 0.
int32_t MarkGroupIfEmpty(char* text);

// Whether icon entry item takes part in the uninstall: chosen (automatic
// mode, or selected), and, in a roll-back, logged by installation threshold
// itself (the latest).
int32_t IconEntryTakesPart(const IconItem* item, uint16_t threshold,
                           const UninstallRequest& request);

// The DDE conversation with Program Manager (progman_win32.cpp).
// Opens DDE and the conversation and reads every group once per run. On
// failure the later calls do nothing.
void OpenProgramManager();
// Deletes the items that match IconList entry index, and their group when it
// becomes empty.
void DeleteIconEntry(int32_t index);
// One execute transaction; nothing when there is no conversation.
void SendProgmanCommand(const char* command);
// What the driver does after the phase: ends the conversation when there is
// one, reports a last step, and closes DDE.
void CloseProgramManager();
// Execute transactions made so far (tests read it).
extern int32_t ProgmanCommandsSent;
