// Fuzzes the install log reader. The first input byte picks the answers of
// the table host (double-byte text, floppies, platform, files present or not,
// the new shell, OEM text); the rest is the log.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/system_facts.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/pool.h"
#include "log/reader.h"
#include "tests/support/reader_host_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    uint8_t flags = data[0];
    ResetForNewLog();
    ResetTableHost();
    TableHost.LogInMemory = 1;
    TableHost.LogData.assign((const char*)data + 1, size - 1);
    TableHost.DoubleByte = flags & 1;
    TableHost.FloppyA = (flags >> 1) & 1;
    PlatformKind = (flags & 4) ? PlatformNT : Platform95;
    TableHost.ExistsMode = (flags & 8) ? ExistsNone : ExistsAll;
    NewShell = (flags >> 4) & 1;
    TableHost.OemMapping = (flags >> 5) & 1;
    TableHost.ServicesAllowed = !((flags >> 6) & 1);
    TableHost.ReadBlockLimit = (flags & 0x80) ? 5 : 0;
    TableHost.StartMenu = "C:\\WINNT\\Profiles\\jo\\Start Menu";
    TableHost.CommonStartMenu = "C:\\WINNT\\Profiles\\All Users\\Start Menu";
    TableHost.SharedDlls = {"C:\\APP\\SHARED.DLL"};
    TableHost.ShortNames = {{"C:\\Program Files", "C:\\PROGRA~1"}};
    TableHost.KeptFolders = {"C:\\Program Files", "C:\\WINNT\\Profiles", "\\\\srv\\share"};

    char folder[260];
    int result =
        ReadInstallLogWith(&TableReaderHost, "C:\\Program Files\\App\\INSTALL.LOG", folder);

    // Whatever the input, every record must hold terminated texts.
    if (std::memchr(folder, 0, sizeof(folder)) == nullptr)
        __builtin_trap();
    for (int i = 0; i < FolderList.Count; i++) {
        FolderItem* item = (FolderItem*)FolderList.Items[i];
        if (std::memchr(item->Path, 0, sizeof(item->Path)) == nullptr)
            __builtin_trap();
    }
    for (int i = 0; i < RegRestoreList.Count; i++) {
        RegRestoreItem* item = (RegRestoreItem*)RegRestoreList.Items[i];
        // OldData must end with an empty string inside the field.
        size_t at = 0;
        while (at < sizeof(item->OldData) && item->OldData[at])
            at += std::strlen(item->OldData + at) + 1;
        if (at >= sizeof(item->OldData))
            __builtin_trap();
    }
    if (result == 0 && TableHost.Refusals != 0)
        __builtin_trap();
    if (TableHost.OpenFiles != 0)
        __builtin_trap();
    return 0;
}
