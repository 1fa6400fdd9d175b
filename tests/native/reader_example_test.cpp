// The sample log of a small editor, field by field, and the refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "log/line_reader.h"
#include "reader_support.h"

TEST(ReaderExample, SampleEditorLogGivesEveryRecord)
{
    FreshRun();
    TableHost.ShortNames = {{"C:\\Program Files", "C:\\PROGRA~1"},
                            {"C:\\Program Files\\Sample", "C:\\PROGRA~1\\SAMPLE"}};
    ASSERT_EQ(0, ReadText(LogText(
                     {"*** Installation log", "Title: Sample Editor Installation",
                      "Source: C:\\DOWNLOAD\\SETUP.EXE", "Made Dir: C:\\Program Files\\Sample",
                      "File Copy: C:\\Program Files\\Sample\\EDIT.EXE",
                      "Non-System File:", "File Copy: C:\\WINDOWS\\SYSTEM\\SAMPLE.DLL",
                      "Backup Copy: C:\\Program Files\\Sample\\BACKUP\\SAMPLE.DLL",
                      "RegDB Key: Software\\Sample", "RegDB Val: 1.0", "RegDB Name: Version",
                      "RegDB Root: 2", "INI File: C:\\WINDOWS\\WIN.INI", "INI Sect: Extensions",
                      "INI Item: smp", "INI Val: EDIT.EXE ^.smp"})));

    EXPECT_EQ(0, TableHost.Refusals);
    EXPECT_STREQ("Sample Editor", ProductTitle);
    EXPECT_EQ("Sample Editor", TableHost.MainCaption);
    EXPECT_EQ(1, LatestInstallation);
    EXPECT_EQ(0, LatestInstallationOffset);
    EXPECT_EQ(0, AnsiText);
    EXPECT_STREQ("C:\\DOWNLOAD\\SETUP.EXE", InstallationSource(1));
    EXPECT_EQ(0, RepairSourceKnown);
    EXPECT_STREQ("C:\\PROGRA~1\\SAMPLE\\", ApplicationFolder);
    EXPECT_EQ(1, BackupsPresent);

    ASSERT_EQ(1, FolderList.Count);
    FolderItem* folder = At<FolderItem>(FolderList, 0);
    EXPECT_STREQ("C:\\Program Files\\Sample\\", folder->Path);
    EXPECT_EQ(1, folder->Installation);
    EXPECT_EQ(0, folder->TreeInstallation);
    EXPECT_EQ(0, folder->Selected);

    ASSERT_EQ(1, FileList.Count);
    FileRecord* edit = At<FileRecord>(FileList, 0);
    EXPECT_STREQ("C:\\Program Files\\Sample\\EDIT.EXE", edit->Path);
    EXPECT_STREQ("", edit->BackupPath);
    EXPECT_STREQ("", edit->RepairData);
    EXPECT_EQ(nullptr, edit->LinkInfo);
    EXPECT_EQ(1, edit->NewFile);
    EXPECT_EQ(0, edit->Selected);
    EXPECT_EQ(1, edit->LastInstallation);
    EXPECT_EQ(1, edit->BackupInstallation);
    EXPECT_EQ(1, edit->CountedInstallation);
    EXPECT_EQ(1, edit->CountedCopies);
    EXPECT_EQ(0, edit->RegisterInstallation);
    EXPECT_EQ(0, edit->DeviceInstallation);
    EXPECT_EQ(0, edit->RepairOnlyInstallation);

    ASSERT_EQ(1, SystemFileList.Count);
    FileRecord* dll = At<FileRecord>(SystemFileList, 0);
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\SAMPLE.DLL", dll->Path);
    EXPECT_STREQ("C:\\Program Files\\Sample\\BACKUP\\SAMPLE.DLL", dll->BackupPath);
    EXPECT_EQ(1, dll->Selected);
    EXPECT_EQ(0, dll->NewFile);
    EXPECT_EQ(1, dll->CountedCopies);

    ASSERT_EQ(1, RegValueList.Count);
    RegValueItem* value = At<RegValueItem>(RegValueList, 0);
    EXPECT_STREQ("Software\\Sample", value->Key);
    EXPECT_STREQ("Version", value->Name);
    EXPECT_STREQ("2", value->RootText);
    EXPECT_EQ(2, value->Root);
    EXPECT_EQ(1, value->Installation);
    EXPECT_EQ(0, RegRestoreList.Count);
    ASSERT_EQ(1, RegLogList.Count);
    RegLogEntry* entry = At<RegLogEntry>(RegLogList, 0);
    EXPECT_EQ(0, entry->HasOld);
    EXPECT_EQ(0, entry->Type);
    EXPECT_EQ((void*)value, entry->Item);
    EXPECT_STREQ("1.0", entry->NewData);

    ASSERT_EQ(1, IniEntryList.Count);
    IniEntry* ini = At<IniEntry>(IniEntryList, 0);
    EXPECT_STREQ("C:\\WINDOWS\\WIN.INI", ini->File);
    EXPECT_STREQ("Extensions", ini->Section);
    EXPECT_STREQ("smp", ini->Key);
    EXPECT_STREQ("", ini->OldValue);
    EXPECT_STREQ("", ini->LatestOldValue);
    EXPECT_EQ(1, ini->Installation);

    EXPECT_EQ(0, MissingFileList.Count);
    EXPECT_EQ(0, TableHost.OpenFiles) << "the log must be closed after reading";
    EXPECT_GT(TableHost.ProgressReports, 0);
    EXPECT_EQ((int32_t)TableHost.LogData.size(), LogBytesRead);
    EXPECT_EQ((int32_t)TableHost.LogData.size(), LogBytesTotal);
}

TEST(ReaderRefusal, UnopenableEmptyAndMalformedLogs)
{
    FreshRun();
    TableHost.OpenFails = 1;
    EXPECT_EQ(1, ReadText(""));
    EXPECT_EQ("Msg3", TableHost.RefusalText);
    EXPECT_EQ("Msg2", TableHost.RefusalCaption);

    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty file", ""},
        {"asterisks without a space", LogText({"***Installation", "Title: X"})},
        {"no title line", LogText({"*** log", "Source: A"})},
        {"title in lower case only", LogText({"*** log", "title: X"})},
        {"LF line ends", LogText({"*** log", "Title: X", "File Copy: C:\\A\\B"}, "\n")},
        {"UTF-16 text", std::string("\xFF\xFE*\0*\0*\0 \0l\0\r\0\n\0T\0", 18)},
        {"binary", std::string("\0\0\0\0\r\x01\x02", 7)},
    };
    for (const Case& c : cases) {
        FreshRun();
        EXPECT_EQ(1, ReadText(c.text)) << c.what;
        EXPECT_EQ(1, TableHost.Refusals) << c.what;
        EXPECT_EQ("Msg4", TableHost.RefusalText) << c.what;
        EXPECT_EQ(0, TableHost.OpenFiles) << c.what << ": log left open";
    }
}

TEST(ReaderRefusal, AdministratorCheckOnlyOnNtAndOnlyOnce)
{
    const std::string log = LogText({LOG_HEAD, "User Rights: Admin", "Create Service: Svc"});
    FreshRun();
    PlatformKind = PlatformNT;
    TableHost.ServicesAllowed = 0;
    EXPECT_EQ(1, ReadText(log));
    EXPECT_EQ("Msg67", TableHost.RefusalText);
    EXPECT_EQ("Msg25", TableHost.RefusalCaption);
    EXPECT_EQ(0, ServiceList.Count);

    FreshRun();
    PlatformKind = Platform95;
    TableHost.ServicesAllowed = 0;
    EXPECT_EQ(0, ReadText(log));
    EXPECT_EQ(1, ServiceList.Count);

    FreshRun();
    PlatformKind = PlatformNT;
    EXPECT_EQ(0, ReadText(log));
    EXPECT_EQ(0, TableHost.Refusals);
}

TEST(ReaderHeader, TitleRulesAndTitleSearch)
{
    struct Case {
        const char* line;
        const char* title;
    } cases[] = {
        {"Title: Sample Editor Installation", "Sample Editor"},
        {"Title: Sample Install Installation", "Sample"},
        {"Title:  INSTALL", " INSTALL"},
        {"Title: Tool install", "Tool"},
        {"Title:", ""},
        {"Title:X", ""},
        {"Title: INSTALLATION", "INSTALLATION"},
    };
    for (const Case& c : cases) {
        FreshRun();
        EXPECT_EQ(0, ReadText(LogText({"*** log", c.line}))) << c.line;
        EXPECT_STREQ(c.title, ProductTitle) << c.line;
    }

    // Lines before the title are passed over; a lower-case title line does
    // not end the search; "Title:" as the last line reads successfully.
    FreshRun();
    EXPECT_EQ(0, ReadText(LogText({"*** log", "Source: C:\\S.EXE|x", "Made Dir: C:\\APP",
                                   "title: lower", "Title:"})));
    EXPECT_EQ(nullptr, InstallationSource(1));
    EXPECT_EQ(0, RepairSourceKnown);
    EXPECT_EQ(1, FolderList.Count) << "only the log's own folder";
    EXPECT_EQ(LogFolderInstallation, At<FolderItem>(FolderList, 0)->Installation);

    // A host with no caption to set (the command line gave a title) still
    // has the title read.
    FreshRun();
    ReaderHost noCaption = TableReaderHost;
    noCaption.SetMainCaption = nullptr;
    TableHost.LogData = LogText({LOG_HEAD});
    EXPECT_EQ(0, ReadInstallLogWith(&noCaption, SampleLogPath, ApplicationFolder));
    EXPECT_STREQ("Sample Editor", ProductTitle);
    EXPECT_EQ("", TableHost.MainCaption);
}

TEST(ReaderHeader, HeaderValuesAndInstallations)
{
    FreshRun();
    std::string log = LogText(
        {"*** first", "Title: P", "Source: C:\\ONE\\SETUP.EXE", "Manufacturer: Maker",
         "Product: Prod", "Version Number: 1.2", "Serial Number: 42", "Uninstall MIF: P.MIF",
         "Delete in-use files: On", "System Restore: Enabled", "SubSystem: Base Tools"});
    size_t second = log.size();
    log += LogText({"***  second (ANSI)", "Source: C:\\TWO\\SETUP.EXE|01-02-2000", "Source: X",
                    "Delete in-use files: Of", "Manufacturer: Later"});
    EXPECT_EQ(0, ReadText(log));
    EXPECT_EQ(2, LatestInstallation);
    EXPECT_EQ((int32_t)second, LatestInstallationOffset);
    EXPECT_EQ(1, AnsiText);
    EXPECT_STREQ("C:\\ONE\\SETUP.EXE", InstallationSource(1));
    EXPECT_STREQ("X", InstallationSource(2)) << "a second Source line replaces the first";
    EXPECT_EQ(1, RepairSourceKnown);
    EXPECT_STREQ("Later", Manufacturer);
    EXPECT_STREQ("Prod", ProductName);
    EXPECT_STREQ("1.2", VersionNumber);
    EXPECT_STREQ("42", SerialNumber);
    EXPECT_STREQ("P.MIF", UninstallMifName);
    EXPECT_EQ(0, DeleteInUseFiles);
    EXPECT_EQ(1, SystemRestoreEnabled);
    ASSERT_NE(nullptr, SubsystemName);
    EXPECT_STREQ("Base Tools", SubsystemName);

    // "Delete in-use files: " with anything else leaves the flag.
    FreshRun();
    EXPECT_EQ(0,
              ReadText(LogText({LOG_HEAD, "Delete in-use files: on", "Delete in-use files: ?"})));
    EXPECT_EQ(1, DeleteInUseFiles);
}

TEST(ReaderHeader, OffsetOfLatestInstallationWithOddLineEnds)
{
    // CR-only lines and an over-long line before the last "*** ": the
    // recorded offset must still be where that line starts, since a
    // roll-back cuts the log there.
    FreshRun();
    std::string log =
        "*** a\rTitle: T\r" + std::string("Product: ") + std::string(3000, 'x') + "\r";
    size_t second = log.size();
    log += "*** b\r";
    EXPECT_EQ(0, ReadText(log));
    EXPECT_EQ(2, LatestInstallation);
    EXPECT_EQ((int32_t)second, LatestInstallationOffset);
    EXPECT_EQ(0, std::strncmp(log.c_str() + LatestInstallationOffset, "*** b", 5));
}
