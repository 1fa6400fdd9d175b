// The install log reader: preparation, opening, the main loop with its
// keyword table, and the header lines.
#include "log/reader.h"

#include <cstdio>
#include <cstring>

#include "app/message_ids.h"
#include "app/system_facts.h"
#include "log/items.h"
#include "log/line_reader.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "log/reader_internal.h"
#include "ui/log_progress.h"

char ProductTitle[256];
uint16_t LatestInstallation;
int32_t LatestInstallationOffset;
int32_t AnsiText;
char UninstallMifName[HeaderValueSize];
char Manufacturer[HeaderValueSize];
char ProductName[HeaderValueSize];
char VersionNumber[HeaderValueSize];
char SerialNumber[HeaderValueSize];
char* PerUserId;
int32_t DeleteInUseFiles;
int32_t BackupsPresent;
int32_t RepairSourceKnown;
char* SubsystemName;
int32_t SubsystemSelected;
int32_t SystemRestoreEnabled;
char ProfilesFolder[260];
char CommonProfileFolder[260];
char SystemFolder[260];
char ApplicationFolder[260];

// Installation numbers are 16-bit and 32767 marks the log's own folder; a log
// claiming this many installations is not one the installer wrote.
enum { MaxInstallations = LogFolderInstallation - 1 };

void ResetLogValues()
{
    ProductTitle[0] = 0;
    LatestInstallation = 0;
    LatestInstallationOffset = 0;
    AnsiText = 0;
    UninstallMifName[0] = Manufacturer[0] = ProductName[0] = 0;
    VersionNumber[0] = SerialNumber[0] = 0;
    PerUserId = nullptr;
    DeleteInUseFiles = 0;
    BackupsPresent = 0;
    RepairSourceKnown = 0;
    SubsystemName = nullptr;
    SubsystemSelected = 0;
    SystemRestoreEnabled = 0;
    ProfilesFolder[0] = CommonProfileFolder[0] = SystemFolder[0] = 0;
    ApplicationFolder[0] = 0;
    LogBytesTotal = LogBytesRead = 0;
}

// ---- small text helpers -------------------------------------------------

int32_t StartsWithKeyword(const char* line, const char* keyword)
{
    for (; *keyword; line++, keyword++) {
        if (FoldAscii(*line) != FoldAscii(*keyword))
            return 0;
    }
    return 1;
}

int32_t BeginsWithNoCase(const char* text, const char* prefix)
{
    return CompareNoCaseN(text, prefix, (int32_t)std::strlen(prefix)) == 0;
}

int32_t EqualsNoCase(const char* a, const char* b)
{
    return CompareNoCase(a, b) == 0;
}

char* EntryText(ReaderState* reader, const char* keyword)
{
    if (!reader->HaveLine || !StartsWithKeyword(reader->Line, keyword))
        return nullptr;
    return reader->Line + std::strlen(keyword);
}

void CopyConverted(const ReaderState* reader, char* out, int32_t size, const char* text)
{
    CopyText(out, text, size);
    if (!AnsiText && reader->Host->OemToAnsi)
        reader->Host->OemToAnsi(out);
}

char* PoolText(const char* text)
{
    if (!text)
        return nullptr;
    int32_t length = (int32_t)std::strlen(text);
    char* copy = (char*)PoolAlloc(length + 1);
    std::memcpy(copy, text, (size_t)length + 1);
    return copy;
}

int32_t ParseNumber(const char* text)
{
    int32_t sign = 1;
    int64_t value = 0;
    while (*text == ' ' || *text == '\t')
        text++;
    if (*text == '-' || *text == '+') {
        sign = *text == '-' ? -1 : 1;
        text++;
    }
    // Saturate rather than overflow on absurd digit runs.
    while (*text >= '0' && *text <= '9') {
        if (value < 0x7FFFFFFF)
            value = value * 10 + (*text - '0');
        text++;
    }
    if (value > 0x7FFFFFFF)
        value = 0x7FFFFFFF;
    return (int32_t)(sign * value);
}

int32_t OnRemovableFloppy(const ReaderState* reader, const char* path)
{
    if (path[0] == 0 || path[1] != ':')
        return 0;
    char drive = FoldAscii(path[0]);
    return (drive == 'A' && reader->FloppyA) || (drive == 'B' && reader->FloppyB);
}

int32_t InSystemFolder(const ReaderState* reader, const char* path)
{
    return InSystemFolderText(path, &reader->SystemFolders) ? 1 : 0;
}

int32_t IsAbsolutePath(const char* path)
{
    if (path[0] == '\\' && path[1] == '\\')
        return 1;
    char c = FoldAscii(path[0]);
    return c >= 'A' && c <= 'Z' && path[1] == ':' && path[2] == '\\';
}

int32_t ReadNextLine(ReaderState* reader)
{
    if (reader->AtEnd) {
        reader->Line[0] = 0;
        reader->HaveLine = 0;
        return 0;
    }
    int32_t more = ReadLine(reader->Line, LogLineSize, reader->File, 0);
    if (!more)
        reader->AtEnd = 1;
    // A last line without a carriage return still counts; a line cut short
    // by a failed read does not.
    reader->HaveLine = more || (LineBuffer.LastLength > 0 && !LineBuffer.ReadFailed);
    if (LineBuffer.ReadFailed)
        reader->Line[0] = 0;
    return reader->HaveLine;
}

// ---- title and refusals -------------------------------------------------

static int32_t EndsWithNoCase(const char* text, int32_t length, const char* ending)
{
    int32_t n = (int32_t)std::strlen(ending);
    return length > n && EqualsNoCase(text + length - n, ending);
}

// Takes the title (the text after "Title: ") less a trailing " Installation"
// and " Install", and shows it as the main window's caption.
static void TakeProductTitle(const ReaderState* reader, const char* title)
{
    CopyText(ProductTitle, title, sizeof(ProductTitle));
    int32_t length = (int32_t)std::strlen(ProductTitle);
    if (EndsWithNoCase(ProductTitle, length, " INSTALLATION")) {
        length -= 13;
        ProductTitle[length] = 0;
    }
    if (EndsWithNoCase(ProductTitle, length, " INSTALL")) {
        length -= 8;
        ProductTitle[length] = 0;
    }
    if (reader->Host && reader->Host->SetMainCaption)
        reader->Host->SetMainCaption(ProductTitle);
}

static void Refuse(const ReaderState* reader, int32_t message, int32_t caption)
{
    char text[256];
    char title[256];
    text[0] = title[0] = 0;
    if (reader->Host->MessageText) {
        reader->Host->MessageText(message, text, sizeof(text));
        reader->Host->MessageText(caption, title, sizeof(title));
    }
    if (reader->Host->ShowRefusal)
        reader->Host->ShowRefusal(text, title);
}

// ---- header lines -------------------------------------------------------

static int32_t HandleNewInstallation(ReaderState* reader, char* text)
{
    if (LatestInstallation >= MaxInstallations) {
        Refuse(reader, IDS_LOG_INVALID, IDS_LOG_ERROR_CAPTION);
        return StopRefused;
    }
    LatestInstallation++;
    SetInstallationSource(LatestInstallation, nullptr);
    LatestInstallationOffset = LineBuffer.LineOffset;
    AnsiText = text[0] == ' ' ? 1 : 0;
    return NextLine;
}

static int32_t HandleSource(ReaderState*, char* text)
{
    SetInstallationSource(LatestInstallation, PoolText(text));
    if (FindCharMb(text, '|'))
        RepairSourceKnown = 1;
    return NextLine;
}

static int32_t HandleUninstallMif(ReaderState*, char* text)
{
    CopyText(UninstallMifName, text, HeaderValueSize);
    return NextLine;
}

static int32_t HandleManufacturer(ReaderState*, char* text)
{
    CopyText(Manufacturer, text, HeaderValueSize);
    return NextLine;
}

static int32_t HandleProduct(ReaderState*, char* text)
{
    CopyText(ProductName, text, HeaderValueSize);
    return NextLine;
}

static int32_t HandleVersionNumber(ReaderState*, char* text)
{
    CopyText(VersionNumber, text, HeaderValueSize);
    return NextLine;
}

static int32_t HandleSerialNumber(ReaderState*, char* text)
{
    CopyText(SerialNumber, text, HeaderValueSize);
    return NextLine;
}

static int32_t HandleAdminRights(ReaderState* reader, char*)
{
    if (PlatformKind != PlatformNT || reader->AdminChecked)
        return NextLine;
    reader->AdminChecked = 1;
    if (reader->Host->MayChangeServices && !reader->Host->MayChangeServices()) {
        Refuse(reader, IDS_ADMIN_REQUIRED, IDS_CAPTION);
        return StopRefused;
    }
    return NextLine;
}

static int32_t HandlePerUserId(ReaderState*, char* text)
{
    char* id = (char*)PoolAlloc(PerUserIdSize);
    CopyText(id, text, PerUserIdSize);
    PerUserId = id;
    return NextLine;
}

static int32_t HandleDeleteInUse(ReaderState*, char* text)
{
    if (StartsWithKeyword(text, "On"))
        DeleteInUseFiles = 1;
    else if (StartsWithKeyword(text, "Of"))
        DeleteInUseFiles = 0;
    return NextLine;
}

static int32_t HandleSystemRestore(ReaderState*, char*)
{
    SystemRestoreEnabled = 1;
    return NextLine;
}

static int32_t HandleTitle(ReaderState* reader, char* text)
{
    TakeProductTitle(reader, text);
    return NextLine;
}

// ---- the keyword table --------------------------------------------------

struct KeywordEntry {
    const char* Keyword;
    int32_t WholeLine; // the line must be exactly the keyword
    // Gets the reader and the text after the keyword.
    int32_t (*Handle)(ReaderState* reader, char* text);
};

// Tested in this order; the first match handles the line.
static const KeywordEntry KeywordTable[] = {
    {"File Copy: ", 0, HandleFileCopy},
    {"Shell Link: ", 0, HandleShellLink},
    {"File Overwrite: ", 0, HandleFileOverwrite},
    {"RegDB Key: ", 0, HandleRegistryValue},
    {"File Edit: ", 0, HandleFileEdit},
    {"Create Service: ", 0, HandleCreateService},
    {"Add Device: ", 0, HandleAddDevice},
    {"Self-Register: ", 0, HandleSelfRegister},
    {"INI New: ", 0, HandleIniNew},
    {"INI File: ", 0, HandleIniFile},
    {"Execute Path: ", 0, HandleExecutePath},
    {"Execute Program: ", 0, HandleExecuteProgram},
    {"Icon Group: ", 0, HandleIconGroup},
    {"SubSystem: ", 0, HandleSubsystem}, // names starting with B only
    {"Made Dir: ", 0, HandleMadeDir},
    {"File Delete: ", 0, HandleFileDelete},
    {"File Tree: ", 0, HandleFileTree},
    {"RegDB Tree: ", 0, HandleRegistryTree},
    {"*** ", 0, HandleNewInstallation},
    {"Source: ", 0, HandleSource},
    {"Uninstall MIF: ", 0, HandleUninstallMif},
    {"Manufacturer: ", 0, HandleManufacturer},
    {"Product: ", 0, HandleProduct},
    {"Version Number: ", 0, HandleVersionNumber},
    {"Serial Number: ", 0, HandleSerialNumber},
    {"User Rights: Admin", 1, HandleAdminRights},
    {"Per-User ID: ", 0, HandlePerUserId},
    {"Delete in-use files: ", 0, HandleDeleteInUse},
    {"System Restore: Enabled", 0, HandleSystemRestore},
    {"Title: ", 0, HandleTitle},
};

static int32_t Dispatch(ReaderState* reader)
{
    char* line = reader->Line;
    for (const KeywordEntry& entry : KeywordTable) {
        int32_t match = entry.WholeLine ? EqualsNoCase(line, entry.Keyword)
                                        : StartsWithKeyword(line, entry.Keyword);
        if (match)
            return entry.Handle(reader, line + std::strlen(entry.Keyword));
    }
    return NextLine;
}

// ---- preparation and opening --------------------------------------------

// C:\WINNT\Profiles\jo\Start Menu gives C:\WINNT\Profiles\ (parents = 2);
// C:\WINNT\Profiles\All Users\Start Menu gives ...\All Users\ (parents = 1).
static void TakeProfileFolder(const ReaderState* reader, int32_t common, char* out, int32_t parents)
{
    char value[260];
    value[0] = 0;
    if (reader->Host->ShellFolder(common, value, 256) != 0 || value[0] == 0)
        return;
    if (EndsWithBackslash(value))
        value[std::strlen(value) - 1] = 0;
    for (int32_t i = 0; i < parents; i++) {
        char* name = FileNamePart(value);
        if (name == value)
            return;
        if (i + 1 < parents)
            name[-1] = 0;
        else
            name[0] = 0;
    }
    CopyText(out, value, 260);
}

static void ShortFormThroughHost(char* path, int32_t size, void* context)
{
    ((const ReaderHost*)context)->ConvertPath(path, size, HostToShort);
}

static void PrepareFolders(ReaderState* reader, const char* logPath, char* applicationFolder)
{
    const ReaderHost* host = reader->Host;
    CopyText(ProfilesFolder, "*", 260);
    CopyText(CommonProfileFolder, "*", 260);
    if (NewShell && host->ShellFolder) {
        TakeProfileFolder(reader, 0, ProfilesFolder, 2);
        if (PlatformKind == PlatformNT)
            TakeProfileFolder(reader, 1, CommonProfileFolder, 1);
    }

    // The application folder: the log's folder in short form.
    char folder[260];
    CopyText(folder, logPath, sizeof(folder));
    char* name = FileNamePart(folder);
    if (name > folder)
        name[-1] = 0;
    else
        folder[0] = 0;
    if (folder[0] && host->ConvertPath)
        host->ConvertPath(folder, 258, HostToShort);
    folder[258] = 0;
    if (folder[0])
        std::strcat(folder, "\\");
    CopyText(applicationFolder, folder, 260);

    reader->FloppyA = host->DriveRemovable ? host->DriveRemovable('A') : 0;
    reader->FloppyB = host->DriveRemovable ? host->DriveRemovable('B') : 0;

    if (host->WindowsFolder)
        host->WindowsFolder(reader->WindowsFolder, 260);
    if (host->SystemFolder)
        host->SystemFolder(reader->SystemFolderPath, 260);
    CopyText(SystemFolder, reader->SystemFolderPath, 260);
    // Their short forms are found once here: the file lines are classed by
    // text alone.
    MakeSystemFolderSet(&reader->SystemFolders, reader->WindowsFolder, reader->SystemFolderPath,
                        host->ConvertPath ? ShortFormThroughHost : nullptr, (void*)host);

    // The log's own folder, so that it goes when it is left empty; never a
    // drive root, never the Windows or System folder or a parent of them.
    ItemListReserve(&FolderList);
    FolderItem* item = (FolderItem*)PoolAlloc(sizeof(FolderItem));
    std::memset(item, 0, sizeof(*item));
    item->Installation = LogFolderInstallation;
    CopyText(item->Path, logPath, sizeof(item->Path));
    if (host->ConvertPath)
        host->ConvertPath(item->Path, sizeof(item->Path), HostToLong);
    char* logName = FileNamePart(item->Path);
    if (logName > item->Path)
        logName[0] = 0;
    else
        item->Path[0] = 0;
    if (std::strlen(item->Path) <= 3)
        item->Path[0] = 0;
    FolderList.Items[FolderList.Count] = item;
    if (item->Path[0]) {
        char windows[262];
        char system[262];
        std::snprintf(windows, sizeof(windows), "%s\\", reader->WindowsFolder);
        std::snprintf(system, sizeof(system), "%s\\", reader->SystemFolderPath);
        if (!BeginsWithNoCase(windows, item->Path) && !BeginsWithNoCase(system, item->Path))
            FolderList.Count++;
        // A log lying in a profile or in Program Files itself: its folder
        // is not the product's to sweep.
        if (host->KeptFolderWithin && host->KeptFolderWithin(item->Path))
            item->KeptFolder = 1;
    }
}

static void ReportProgress(ReaderState* reader)
{
    LogBytesRead = LineBuffer.BytesBefore + LineBuffer.Fill;
    if (LogBytesRead == reader->LastReported)
        return;
    reader->LastReported = LogBytesRead;
    if (reader->Host->ReportProgress)
        reader->Host->ReportProgress(LogBytesRead);
}

// The header's title line need only start with "Title:"; the title is what
// follows "Title: ".
static const char* TitleAfterKeyword(const char* line)
{
    static const char keyword[] = "Title: ";
    size_t length = sizeof keyword - 1;
    return std::strlen(line) >= length ? line + length : "";
}

// Reads up to the title line; returns 0, or 1 when the log is refused.
static int32_t ReadHeader(ReaderState* reader)
{
    ReadNextLine(reader);
    AnsiText = reader->Line[4] == ' ' ? 1 : 0;
    SetInstallationSource(0, nullptr);
    SetInstallationSource(1, nullptr);
    LatestInstallation = 1;
    if (!reader->HaveLine || std::strncmp(reader->Line, "*** ", 4) != 0)
        return 1;
    for (;;) {
        if (!ReadNextLine(reader))
            return 1;
        if (std::strncmp(reader->Line, "Title:", 6) == 0)
            break;
    }
    TakeProductTitle(reader, TitleAfterKeyword(reader->Line));
    return 0;
}

int ReadInstallLogWith(const ReaderHost* host, const char* logPath, char* applicationFolder)
{
    int result = 0;
    int32_t opened = 0;

    // The read's own state, handed to every handler.
    ReaderState state;
    ReaderState* reader = &state;
    std::memset(reader, 0, sizeof(*reader));
    reader->Host = host;
    // Every search and comparison of the reader steps characters by the
    // host's rule.
    CharNextFunc savedRule = CharNextRule;
    if (host->CharNext)
        CharNextRule = host->CharNext;
    reader->ApplicationFolderOut = applicationFolder ? applicationFolder : ApplicationFolder;
    PrepareFolders(reader, logPath ? logPath : "", reader->ApplicationFolderOut);

    reader->File = host->OpenFile ? host->OpenFile(logPath ? logPath : "") : -1;
    if (reader->File == -1) {
        Refuse(reader, IDS_LOG_OPEN_FAILED, IDS_LOG_ERROR_CAPTION);
        CharNextRule = savedRule;
        return 1;
    }
    opened = 1;
    ResetLineBuffer();
    LineBuffer.Read = host->ReadFile;
    LogBytesTotal = host->FileSize ? host->FileSize(reader->File) : 0;
    LogBytesRead = 0;
    reader->LastReported = -1;

    if (ReadHeader(reader) != 0) {
        Refuse(reader, IDS_LOG_INVALID, IDS_LOG_ERROR_CAPTION);
        result = 1;
    } else {
        ReadNextLine(reader);
        while (reader->HaveLine) {
            ReportProgress(reader);
            // The two marks qualify the file line after them, in this order.
            reader->NonSystemMark = EqualsNoCase(reader->Line, "Non-System File:");
            if (reader->NonSystemMark)
                ReadNextLine(reader);
            reader->NoCountMark = EqualsNoCase(reader->Line, "Shared DLL counter ignored:");
            if (reader->NoCountMark) {
                ReadNextLine(reader);
                // A non-system mark after the no-count mark is out of its
                // place and ignored, but must not cost the file its no-count
                // mark: the file line still follows.
                while (reader->HaveLine && EqualsNoCase(reader->Line, "Non-System File:"))
                    ReadNextLine(reader);
            }
            if (!reader->HaveLine)
                break;
            int32_t next = Dispatch(reader);
            if (next == StopRefused) {
                result = 1;
                break;
            }
            if (next == NextLine)
                ReadNextLine(reader);
        }
        ReportProgress(reader);
        // What could not be read may hold any entry: working from the part
        // that was read would undo half an installation and lose the rest.
        if (result == 0 && LineBuffer.ReadFailed) {
            Refuse(reader, IDS_LOG_INVALID, IDS_LOG_ERROR_CAPTION);
            result = 1;
        }
    }
    if (opened && host->CloseFile)
        host->CloseFile(reader->File);
    CharNextRule = savedRule;
    return result;
}
