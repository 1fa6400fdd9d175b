#include "repair/repair.h"

#include <windows.h>
#include <cstring>

#include "engine/registration.h"
#include "engine/reporter.h"
#include "engine/registry.h"
#include "engine/regdata.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/reader.h"
#include "repair/restore.h"
#include "repair/shortcut.h"
#include "ui/questions.h"
#include "ui/resources/resource.h"
#include "ui/wizard.h"

enum { HeadingSize = 32 };

// The user has asked to stop: the walks after the file check end early.
static bool StopAsked()
{
    return Reporter->cancelled();
}

// Reported as the uninstall's steps are: the run's reporter paces them, or
// not in a silent run.
static void ReportFile(const char* heading, const char* path)
{
    char text[ReportTextSize];
    CopyText(text, heading, sizeof text);
    AppendText(text, path, sizeof text);
    Reporter->fitPath(text);
    Reporter->step(text);
}

// One walk over a file list, from its last record to its first: a link is
// rebuilt, any other file checked. missing = 1 takes the installation that
// last logged the file even when a later one only recorded it for repair.
static void RepairFiles(const char* heading, ItemList* list, int32_t missing, int32_t silent)
{
    for (int32_t i = list->Count - 1; i >= 0; i--) {
        FileRecord* record = (FileRecord*)list->Items[i];
        ReportFile(heading, record->Path);
        if (record->LinkInfo) {
            RecreateShortcut(record->Path, record->LinkInfo);
        } else {
            uint16_t n = record->LastInstallation;
            if (!missing && record->RepairOnlyInstallation)
                n = record->RepairOnlyInstallation;
            CheckFile(record->Path, record->RepairData, n, silent);
        }
        Reporter->tick();
    }
}

// Every logged registry value is written again, its key made if missing.
static void RewriteRegistryValues()
{
    for (int32_t i = 0; i < RegLogList.Count && !StopAsked(); i++) {
        RegLogEntry* entry = (RegLogEntry*)RegLogList.Items[i];
        if (!entry->Item)
            continue;
        // The conversion works in place, and a multi-string needs its list
        // end: a working copy with room for both terminators.
        char data[RegDataSize + 2];
        std::memset(data, 0, sizeof data);
        CopyText(data, entry->NewData ? entry->NewData : "", RegDataSize);
        if (entry->HasOld) {
            RegRestoreItem* item = (RegRestoreItem*)entry->Item;
            RestoreRegistryValue(item->Root, item->Type, item->Key, item->Name, data, sizeof data,
                                 1);
        } else {
            // A created value is never written into the system's own
            // configuration.
            RegValueItem* item = (RegValueItem*)entry->Item;
            RestoreCreatedValue(item->Root, entry->Type, item->Key, item->Name, data, sizeof data);
        }
    }
}

static void RegisterAgain(const char* heading, ItemList* list)
{
    for (int32_t i = 0; i < list->Count && !StopAsked(); i++) {
        FileRecord* record = (FileRecord*)list->Items[i];
        if (record->Path[0] && record->RegisterInstallation)
            SelfRegister(heading, record->Path, 1);
    }
}

int32_t RunRepair(int32_t silent)
{
    // Not a catalogue message: the heading of every repair progress text.
    char heading[HeadingSize];
    CopyText(heading, "Checking:\r\n", sizeof heading);
    CreateRestoreLists(LatestInstallation);
    if (!Reporter->working())
        Reporter->beginWork(IDS_WORKING_REPAIR);
    int32_t total = IconList.Count + ServiceList.Count + RegRestoreList.Count + RegValueList.Count +
                    IniEntryList.Count + IniFileList.Count + SystemFileList.Count + FileList.Count;
    Reporter->startTicks(total > 0 ? total : 1);
    // The file walks only queue what is damaged; nothing is replaced until
    // every list has been walked, and a Cancel takes effect after them.
    RepairFiles(heading, &SystemFileList, 0, silent);
    RepairFiles(heading, &FileList, 0, silent);
    RepairFiles(heading, &MissingFileList, 1, silent);
    RewriteRegistryValues();
    RegisterAgain(heading, &FileList);
    RegisterAgain(heading, &SystemFileList);
    if (!RestoreQueued)
        return 0;
    return RunRestores(silent);
}
