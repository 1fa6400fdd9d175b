#include "logview_json.h"

#include "log/items.h"
#include "log/reader.h"

static FILE* Out;
static int First;

static void Text(const char* text)
{
    if (!text) {
        std::fputs("null", Out);
        return;
    }
    std::fputc('"', Out);
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        if (*p == '"' || *p == '\\')
            std::fprintf(Out, "\\%c", *p);
        else if (*p < 0x20 || *p >= 0x7F)
            std::fprintf(Out, "\\u%04x", *p); // bytes as Latin-1 code points
        else
            std::fputc(*p, Out);
    }
    std::fputc('"', Out);
}

static void Key(const char* name)
{
    std::fputs(First ? "" : ",", Out);
    First = 0;
    Text(name);
    std::fputc(':', Out);
}

static void Field(const char* name, const char* value)
{
    Key(name);
    Text(value);
}

static void Number(const char* name, long value)
{
    Key(name);
    std::fprintf(Out, "%ld", value);
}

static void Open(char c)
{
    std::fputc(c, Out);
    First = 1;
}

static void Close(char c)
{
    std::fputc(c, Out);
    First = 0;
}

static void Files(const char* name, const ItemList& list)
{
    Key(name);
    Open('[');
    for (int i = 0; i < list.Count; i++) {
        const FileRecord* r = (const FileRecord*)list.Items[i];
        std::fputs(i ? "," : "", Out);
        Open('{');
        Field("Path", r->Path);
        Field("BackupPath", r->BackupPath);
        Field("RepairData", r->RepairData);
        Field("LinkInfo", r->LinkInfo);
        Number("Selected", r->Selected);
        Number("NewFile", r->NewFile);
        Number("RegisterInstallation", r->RegisterInstallation);
        Number("DeviceInstallation", r->DeviceInstallation);
        Number("LastInstallation", r->LastInstallation);
        Number("BackupInstallation", r->BackupInstallation);
        Number("RepairOnlyInstallation", r->RepairOnlyInstallation);
        Number("CountedInstallation", r->CountedInstallation);
        Number("CountedCopies", r->CountedCopies);
        Close('}');
    }
    Close(']');
}

// OldData as an array of its strings.
static void StringList(const char* name, const char* list)
{
    Key(name);
    Open('[');
    int n = 0;
    while (*list) {
        std::fputs(n++ ? "," : "", Out);
        Text(list);
        while (*list)
            list++;
        list++;
    }
    Close(']');
}

template <typename T, typename F> static void List(const char* name, const ItemList& list, F each)
{
    Key(name);
    Open('[');
    for (int i = 0; i < list.Count; i++) {
        std::fputs(i ? "," : "", Out);
        Open('{');
        each((const T*)list.Items[i]);
        Close('}');
    }
    Close(']');
}

void PrintLogAsJson(FILE* out, int result, const char* applicationFolder)
{
    Out = out;
    Open('{');
    Number("Result", result);
    Field("ApplicationFolder", applicationFolder);
    Field("ProductTitle", ProductTitle);
    Number("LatestInstallation", LatestInstallation);
    Number("LatestInstallationOffset", LatestInstallationOffset);
    Number("AnsiText", AnsiText);
    Field("UninstallMifName", UninstallMifName);
    Field("Manufacturer", Manufacturer);
    Field("ProductName", ProductName);
    Field("VersionNumber", VersionNumber);
    Field("SerialNumber", SerialNumber);
    Field("PerUserId", PerUserId);
    Number("DeleteInUseFiles", DeleteInUseFiles);
    Number("SystemRestoreEnabled", SystemRestoreEnabled);
    Number("RepairSourceKnown", RepairSourceKnown);
    Number("BackupsPresent", BackupsPresent);
    Field("SubsystemName", SubsystemName);
    Number("SubsystemSelected", SubsystemSelected);
    Field("ProfilesFolder", ProfilesFolder);
    Field("CommonProfileFolder", CommonProfileFolder);
    Field("SystemFolder", SystemFolder);
    Number("LogBytesTotal", LogBytesTotal);
    Number("LogBytesRead", LogBytesRead);
    Key("InstallationSources");
    Open('[');
    for (int i = 0; i < InstallationSources.Count; i++) {
        std::fputs(i ? "," : "", Out);
        Text(InstallationSource(i));
    }
    Close(']');
    Files("FileList", FileList);
    Files("SystemFileList", SystemFileList);
    Files("MissingFileList", MissingFileList);
    List<EditedFile>("EditedFileList", EditedFileList, [](const EditedFile* r) {
        Field("Path", r->Path);
        Field("BackupPath", r->BackupPath);
        Number("Installation", r->Installation);
    });
    List<DeletedFile>("DeletedFileList", DeletedFileList, [](const DeletedFile* r) {
        Field("Path", r->Path);
        Field("BackupPath", r->BackupPath);
        Number("Installation", r->Installation);
    });
    List<FolderItem>("FolderList", FolderList, [](const FolderItem* r) {
        Field("Path", r->Path);
        Number("Selected", r->Selected);
        Number("TreeInstallation", r->TreeInstallation);
        Number("Installation", r->Installation);
    });
    List<IniFileItem>("IniFileList", IniFileList, [](const IniFileItem* r) {
        Field("Path", r->Path);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<IniEntry>("IniEntryList", IniEntryList, [](const IniEntry* r) {
        Field("File", r->File);
        Field("Section", r->Section);
        Field("Key", r->Key);
        Field("OldValue", r->OldValue);
        Field("LatestOldValue", r->LatestOldValue);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<RegValueItem>("RegValueList", RegValueList, [](const RegValueItem* r) {
        Field("Key", r->Key);
        Field("Name", r->Name);
        Field("RootText", r->RootText);
        Number("Root", r->Root);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<RegRestoreItem>("RegRestoreList", RegRestoreList, [](const RegRestoreItem* r) {
        Field("Key", r->Key);
        Field("Name", r->Name);
        Field("RootText", r->RootText);
        StringList("OldData", r->OldData);
        Field("LatestOldData", r->LatestOldData);
        Number("Root", r->Root);
        Number("Type", r->Type);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<RegLogEntry>("RegLogList", RegLogList, [](const RegLogEntry* r) {
        Number("HasOld", r->HasOld);
        Number("Type", r->Type);
        Field("Key", r->HasOld ? ((const RegRestoreItem*)r->Item)->Key
                               : ((const RegValueItem*)r->Item)->Key);
        Field("NewData", r->NewData);
    });
    List<RegTreeItem>("RegTreeList", RegTreeList, [](const RegTreeItem* r) {
        Field("Key", r->Key);
        Number("Root", r->Root);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<IconItem>("IconList", IconList, [](const IconItem* r) {
        Field("Group", r->Group);
        Field("Name", r->Name);
        Field("Command", r->Command);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<ExecuteItem>("ExecuteList", ExecuteList, [](const ExecuteItem* r) {
        Field("Command", r->Command);
        Field("Name", r->Name);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    List<ServiceItem>("ServiceList", ServiceList, [](const ServiceItem* r) {
        Field("Name", r->Name);
        Number("Selected", r->Selected);
        Number("Installation", r->Installation);
    });
    Close('}');
    std::fputc('\n', Out);
}
