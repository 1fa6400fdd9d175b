#include "engine/progman_win32.h"

#include "log/items.h"
#include "engine/journal.h"
#include "engine/reporter.h"

DWORD DdeInstance;
HCONV ProgmanConversation;
int32_t ProgmanCommandsSent;

static int32_t GroupsRead;
static int32_t ProgmanOpened;
// Replies are read here before their text is copied into the pool.
static char ReplyBuffer[ProgmanReplySize];

enum { RequestTimeout = 5000, ExecuteTimeout = 1000, LateAcknowledgementWait = 20 };

// The client serves nothing: every call is answered with 0.
static HDDEDATA CALLBACK ProgmanCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR,
                                         ULONG_PTR)
{
    return 0;
}

// Wine's DDE follows a request's data with an acknowledgement that the next
// synchronous transaction would take for its own answer, pairing every later
// reply with the wrong request. Waiting a moment for it and serving the queue
// lets DDE drop it.
static void DropLateAcknowledgement()
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, LateAcknowledgementWait, QS_POSTMESSAGE);
    Reporter->wait(0);
}

// Requests item and returns its data handle, or none. The caller frees it.
static HDDEDATA RequestItem(const char* item)
{
    HSZ name = DdeCreateStringHandleA(DdeInstance, item, CP_WINANSI);
    if (!name)
        return nullptr;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, ProgmanConversation, name, CF_TEXT,
                                         XTYP_REQUEST, RequestTimeout, nullptr);
    DropLateAcknowledgement();
    DdeFreeStringHandle(DdeInstance, name);
    return data;
}

// Reads a reply into ReplyBuffer and copies it into the pool as a group
// list or a group description; frees the data handle.
static char* TakeReply(HDDEDATA data, int32_t isList)
{
    DWORD total = DdeGetData(data, nullptr, 0, 0);
    DWORD got = DdeGetData(data, (LPBYTE)ReplyBuffer, sizeof(ReplyBuffer), 0);
    char* text = isList ? CopyGroupList(ReplyBuffer, got, total)
                        : CopyGroupDescription(ReplyBuffer, got, total);
    DdeFreeDataHandle(data);
    return text;
}

static void ReadGroups()
{
    HDDEDATA data = RequestItem("GROUPS");
    if (!data)
        return;
    const char* cursor = TakeReply(data, 1);
    char name[ProgmanNameSize];
    int32_t got;
    // Groups past the table's end are not asked for.
    while (!GroupTextsFull() && (got = NextGroupName(&cursor, name)) >= 0) {
        if (!got)
            continue;
        // A reply about some other group is not this group's contents; one
        // more request gets the right one when a reply came out of turn.
        for (int32_t attempt = 0; attempt < 2; attempt++) {
            HDDEDATA group = RequestItem(name);
            char* text = group ? TakeReply(group, 0) : nullptr;
            if (text && DescribesGroup(text, name)) {
                AddGroupText(text);
                break;
            }
        }
    }
}

void OpenProgramManager()
{
    ProgmanOpened = 1;
    if (DdeInitializeA(&DdeInstance, ProgmanCallback, CBF_FAIL_ALLSVRXACTIONS, 0) !=
        DMLERR_NO_ERROR) {
        DdeInstance = 0;
        return;
    }
    HSZ progman = DdeCreateStringHandleA(DdeInstance, "PROGMAN", CP_WINANSI);
    if (progman) {
        ProgmanConversation = DdeConnect(DdeInstance, progman, progman, nullptr);
        DdeFreeStringHandle(DdeInstance, progman);
    }
    if (ProgmanConversation && !GroupsRead) {
        GroupsRead = 1;
        ReadGroups();
    }
}

void SendProgmanCommand(const char* command)
{
    if (JournalDryRun()) {
        JournalRecord(WhatProgmanItem, command, Outcome(OpRemoved));
        return;
    }
    if (!ProgmanConversation) {
        JournalRecord(WhatProgmanItem, command, Outcome(OpFailed, ERROR_NOT_CONNECTED));
        return;
    }
    HDDEDATA data =
        DdeCreateDataHandle(DdeInstance, (LPBYTE)command, lstrlenA(command) + 1, 0, nullptr, 0, 0);
    if (!data) {
        JournalRecord(WhatProgmanItem, command, Outcome(OpFailed, ERROR_NOT_ENOUGH_MEMORY));
        return;
    }
    // The data goes as a handle (size -1); the handle passes to DDE.
    HDDEDATA done = DdeClientTransaction((LPBYTE)data, 0xFFFFFFFF, ProgmanConversation, nullptr, 0,
                                         XTYP_EXECUTE, ExecuteTimeout, nullptr);
    ProgmanCommandsSent++;
    JournalRecord(WhatProgmanItem, command,
                  done ? Outcome(OpRemoved) : Outcome(OpFailed, ERROR_GEN_FAILURE));
}

void DeleteIconEntry(int32_t index)
{
    if (index < 0 || index >= IconList.Count)
        return;
    const IconItem* item = (const IconItem*)IconList.Items[index];
    // Each item deleted is journalled as its command goes; none matched: none found.
    if (DeleteMatchingItems(item, SendProgmanCommand) == 0) {
        char name[2 * NameSize + 4];
        wsprintfA(name, "%s: %s", item->Group, item->Name);
        JournalRecord(WhatProgmanItem, name, Outcome(OpMissing));
    }
}

void CloseProgramManager()
{
    if (!ProgmanOpened)
        return;
    if (ProgmanConversation)
        DdeDisconnect(ProgmanConversation);
    Reporter->step(nullptr);
    if (DdeInstance)
        DdeUninitialize(DdeInstance);
    ProgmanConversation = nullptr;
    DdeInstance = 0;
    ProgmanOpened = 0;
}

void ResetProgramManager()
{
    CloseProgramManager();
    ClearGroupTexts();
    GroupsRead = 0;
    ProgmanCommandsSent = 0;
}
