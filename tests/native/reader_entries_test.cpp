// Edge cases of the log's entries: file lines and their marks, registry,
// INI, folders, and over-long or odd input.
#include <gtest/gtest.h>

#include <cstring>

#include "log/pool.h"
#include "reader_support.h"

TEST(ReaderFiles, MarksApplyOnlyInTheirOrder)
{
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "Non-System File:", "Shared DLL counter ignored:",
                                   "File Copy: C:\\WINDOWS\\A.DLL", "Shared DLL counter ignored:",
                                   "Non-System File:", "File Copy: C:\\WINDOWS\\B.DLL"})));
    ASSERT_EQ(2, SystemFileList.Count);
    FileRecord* a = At<FileRecord>(SystemFileList, 0);
    EXPECT_EQ(1, a->Selected);
    EXPECT_EQ(0, a->CountedCopies);
    EXPECT_EQ(0, a->CountedInstallation);
    FileRecord* b = At<FileRecord>(SystemFileList, 1);
    EXPECT_EQ(0, b->Selected) << "a non-system mark after the no-count mark is ignored";
    EXPECT_EQ(0, b->CountedCopies);
}

TEST(ReaderFiles, RepairDataSeparatorWithAndWithoutSpace)
{
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "File Copy: C:\\APP\\A.EXE|01-02-2000 | 10:00",
                                   "File Copy: C:\\APP\\B.EXE |x", "File Copy: |only data",
                                   "Shell Link: C:\\APP\\L.LNK | 1",
                                   "Link Info: C:\\APP\\A.EXE|||0|0|1|"})));
    ASSERT_EQ(3, FileList.Count);
    EXPECT_STREQ("C:\\APP\\A.EXE", At<FileRecord>(FileList, 0)->Path);
    EXPECT_STREQ("01-02-2000 | 10:00", At<FileRecord>(FileList, 0)->RepairData);
    EXPECT_STREQ("C:\\APP\\B.EXE", At<FileRecord>(FileList, 1)->Path);
    FileRecord* link = At<FileRecord>(FileList, 2);
    EXPECT_STREQ("C:\\APP\\L.LNK", link->Path);
    ASSERT_NE(nullptr, link->LinkInfo);
    EXPECT_STREQ("C:\\APP\\A.EXE|||0|0|1|", link->LinkInfo);
    // The empty path with data lands among the missing files.
    ASSERT_EQ(1, MissingFileList.Count);
    EXPECT_STREQ("", At<FileRecord>(MissingFileList, 0)->Path);
    EXPECT_STREQ("only data", At<FileRecord>(MissingFileList, 0)->RepairData);
}

TEST(ReaderFiles, OverwriteNeedsCounterOrBackup)
{
    FreshRun();
    NewShell = 1;
    TableHost.SharedDlls = {"C:\\APP\\SHARED.DLL"};
    ASSERT_EQ(0, ReadText(LogText(
                     {LOG_HEAD, "File Copy: C:\\APP\\OLD.DLL", "File Overwrite: C:\\APP\\PLAIN.DLL",
                      "File Overwrite: C:\\APP\\SHARED.DLL", "File Overwrite: C:\\APP\\BACKED.DLL",
                      "Backup Copy: C:\\BK\\B.DLL", "File Overwrite: C:\\APP\\DATA.DLL|1-1-2000",
                      "File Overwrite: C:\\APP\\OLD.DLL|refreshed"})));
    ASSERT_EQ(3, FileList.Count);
    FileRecord* old = At<FileRecord>(FileList, 0);
    EXPECT_EQ(1, old->RepairOnlyInstallation);
    EXPECT_STREQ("refreshed", old->RepairData);
    EXPECT_EQ(1, old->CountedCopies) << "a repair-only line is not another copy";
    FileRecord* shared = At<FileRecord>(FileList, 1);
    EXPECT_STREQ("C:\\APP\\SHARED.DLL", shared->Path);
    EXPECT_EQ(1, shared->NewFile) << "an overwritten shared DLL counts as a copy";
    FileRecord* backed = At<FileRecord>(FileList, 2);
    EXPECT_EQ(0, backed->NewFile);
    EXPECT_STREQ("C:\\BK\\B.DLL", backed->BackupPath);
    ASSERT_EQ(1, MissingFileList.Count) << "only the overwrite with repair data is kept";
    EXPECT_STREQ("C:\\APP\\DATA.DLL", At<FileRecord>(MissingFileList, 0)->Path);

    // Without the new shell the counters are not consulted.
    FreshRun();
    TableHost.SharedDlls = {"C:\\APP\\SHARED.DLL"};
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "File Overwrite: C:\\APP\\SHARED.DLL"})));
    EXPECT_EQ(0, FileList.Count);
}

TEST(ReaderFiles, MergesCountCopiesAcrossCaseAndInstallations)
{
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "File Copy: C:\\APP\\A.DLL|one", "Link Info: L1",
                                   "*** second", "Shared DLL counter ignored:",
                                   "File Copy: c:\\app\\a.dll", "Backup Copy: C:\\BK\\A.DLL",
                                   "*** third", "File Copy: C:\\App\\A.Dll|three"})));
    ASSERT_EQ(1, FileList.Count);
    FileRecord* a = At<FileRecord>(FileList, 0);
    EXPECT_STREQ("C:\\APP\\A.DLL", a->Path);
    EXPECT_EQ(2, a->CountedCopies);
    EXPECT_EQ(3, a->CountedInstallation);
    EXPECT_EQ(3, a->LastInstallation);
    EXPECT_EQ(2, a->BackupInstallation);
    EXPECT_STREQ("C:\\BK\\A.DLL", a->BackupPath);
    EXPECT_STREQ("three", a->RepairData);
    ASSERT_NE(nullptr, a->LinkInfo);
    EXPECT_STREQ("L1", a->LinkInfo) << "a line without link info keeps the old one";
    EXPECT_EQ(1, a->NewFile) << "NewFile is fixed when the record is made";
}

TEST(ReaderFiles, MissingFloppyAndPerUserLinks)
{
    FreshRun();
    TableHost.ExistsMode = ExistsFromTable;
    TableHost.Existing = {"C:\\APP\\HERE.EXE", "A:\\X.EXE"};
    TableHost.FloppyA = 1;
    NewShell = 1;
    PlatformKind = PlatformNT;
    TableHost.StartMenu = "C:\\WINNT\\Profiles\\jo\\Start Menu";
    TableHost.CommonStartMenu = "C:\\WINNT\\Profiles\\All Users\\Start Menu";
    ASSERT_EQ(0, ReadText(LogText(
                     {LOG_HEAD, "File Copy: C:\\APP\\HERE.EXE", "File Copy: C:\\APP\\GONE.EXE",
                      "File Copy: C:\\APP\\GONE.EXE|r2", "File Copy: A:\\X.EXE", "Per-User ID: jo",
                      "Shell Link: C:\\WINNT\\Profiles\\jo\\Start Menu\\P.LNK|d",
                      "Shell Link: C:\\WINNT\\Profiles\\All Users\\Start Menu\\Q.LNK"})));
    EXPECT_STREQ("C:\\WINNT\\Profiles\\", ProfilesFolder);
    EXPECT_STREQ("C:\\WINNT\\Profiles\\All Users\\", CommonProfileFolder);
    ASSERT_NE(nullptr, PerUserId);
    EXPECT_STREQ("jo", PerUserId);
    EXPECT_EQ(1, FileList.Count);
    // GONE.EXE once (merged), the per-user link emptied with its data.
    ASSERT_EQ(3, MissingFileList.Count);
    EXPECT_STREQ("C:\\APP\\GONE.EXE", At<FileRecord>(MissingFileList, 0)->Path);
    EXPECT_STREQ("r2", At<FileRecord>(MissingFileList, 0)->RepairData);
    EXPECT_STREQ("", At<FileRecord>(MissingFileList, 1)->Path);
    EXPECT_STREQ("C:\\WINNT\\Profiles\\All Users\\Start Menu\\Q.LNK",
                 At<FileRecord>(MissingFileList, 2)->Path)
        << "a common link is not per-user (missing here)";
}

TEST(ReaderFiles, MissingAndSystemFilesMergeWhateverTheCase)
{
    FreshRun();
    TableHost.ExistsMode = ExistsFromTable;
    TableHost.Existing = {"C:\\WINDOWS\\SYSTEM\\S.DLL", "c:\\windows\\system\\s.dll"};
    std::string log = LogText({LOG_HEAD});
    for (int i = 0; i < 300; i++)
        log += "File Copy: C:\\GONE\\F" + std::to_string(i) + ".EXE|a\r\n";
    log += LogText(
        {"*** 2", "File Copy: c:\\gone\\f7.exe|b", "File Copy: C:\\WINDOWS\\SYSTEM\\S.DLL",
         "File Copy: c:\\windows\\system\\s.dll", "Add Device: C:\\Windows\\System\\S.dll"});
    ASSERT_EQ(0, ReadText(log));
    ASSERT_EQ(300, MissingFileList.Count);
    FileRecord* seven = At<FileRecord>(MissingFileList, 7);
    EXPECT_STREQ("C:\\GONE\\F7.EXE", seven->Path);
    EXPECT_STREQ("b", seven->RepairData);
    EXPECT_EQ(2, seven->LastInstallation);
    ASSERT_EQ(1, SystemFileList.Count);
    EXPECT_EQ(2, At<FileRecord>(SystemFileList, 0)->CountedCopies);
    EXPECT_EQ(2, At<FileRecord>(SystemFileList, 0)->DeviceInstallation);
}

TEST(ReaderFiles, DeviceAndSelfRegisterMarkOnlyEarlierRecords)
{
    FreshRun();
    TableHost.ShortNames = {{"C:\\Program Files\\Sample", "C:\\PROGRA~1\\SAMPLE"}};
    ASSERT_EQ(
        0, ReadText(LogText(
               {LOG_HEAD, "Self-Register: C:\\APP\\S.DLL", "File Copy: C:\\APP\\S.DLL",
                "File Copy: C:\\WINDOWS\\SYSTEM\\D.VXD", "File Copy: C:\\PROGRA~1\\SAMPLE\\T.OCX",
                "*** 2", "Self-Register: C:\\APP\\S.DLL", "Add Device: c:\\windows\\system\\d.vxd",
                "Self-Register: C:\\Program Files\\Sample\\T.OCX"})));
    EXPECT_EQ(2, At<FileRecord>(FileList, 0)->RegisterInstallation);
    EXPECT_EQ(2, At<FileRecord>(FileList, 1)->RegisterInstallation) << "short stored form";
    EXPECT_EQ(2, At<FileRecord>(SystemFileList, 0)->DeviceInstallation);
}

TEST(ReaderRegistry, GroupsPerUserRuleAndRepeats)
{
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD,
                                   "RegDB Key: Software\\A",
                                   "RegDB Val: first",
                                   "RegDB Val: second",
                                   "RegDB Root: 1",
                                   "Per-User ID: u",
                                   "RegDB Key: Software\\B",
                                   "RegDB Val: x",
                                   "RegDB Root: 1",
                                   "RegDB Key: Software\\C",
                                   "RegDB Val: y",
                                   "RegDB Name: N",
                                   "RegDB Type: 3",
                                   "RegDB Root: 2",
                                   "RegDB Old: 7",
                                   "*** 2",
                                   "RegDB Key: software\\c",
                                   "RegDB Val: z",
                                   "RegDB Name: n",
                                   "RegDB Root: 2",
                                   "RegDB Old: 8",
                                   "RegDB Key: Software\\A",
                                   "RegDB Val: again",
                                   "RegDB Root: 1",
                                   "RegDB Key: NoValue",
                                   "RegDB Tree: Software\\T",
                                   "RegDB Root: 2",
                                   "RegDB Tree: SOFTWARE\\t",
                                   "RegDB Root: 2",
                                   "RegDB Tree: Software\\T",
                                   "RegDB Key: Bad",
                                   "RegDB Val: v",
                                   "RegDB Root: 9"})));
    ASSERT_EQ(1, RegValueList.Count);
    RegValueItem* a = At<RegValueItem>(RegValueList, 0);
    EXPECT_STREQ("Software\\A", a->Key) << "root 1 is kept before the per-user line";
    EXPECT_EQ(1, a->Installation);
    ASSERT_EQ(1, RegRestoreList.Count);
    RegRestoreItem* c = At<RegRestoreItem>(RegRestoreList, 0);
    EXPECT_EQ(3, c->Type);
    EXPECT_STREQ("7", c->OldData);
    EXPECT_STREQ("8", c->LatestOldData);
    EXPECT_EQ(2, c->Installation);
    ASSERT_EQ(3, RegLogList.Count);
    EXPECT_STREQ("first", At<RegLogEntry>(RegLogList, 0)->NewData);
    EXPECT_EQ(1, At<RegLogEntry>(RegLogList, 1)->HasOld);
    EXPECT_EQ((void*)c, At<RegLogEntry>(RegLogList, 2)->Item);
    ASSERT_EQ(2, RegTreeList.Count) << "same key and root once, root 0 apart";
    EXPECT_EQ(2, At<RegTreeItem>(RegTreeList, 0)->Installation);
    EXPECT_EQ(0, At<RegTreeItem>(RegTreeList, 1)->Root);
}

TEST(ReaderRegistry, OldDataBeyondItsFieldStaysAClosedList)
{
    FreshRun();
    std::string big(1500, 'a');
    std::string log = LogText({LOG_HEAD, "RegDB Key: K", "RegDB Val: v", "RegDB Old: one"});
    log += "RegDB Old: " + big + "\r\n" + "RegDB Old: " + big + "\r\nRegDB Old: tail\r\n";
    ASSERT_EQ(0, ReadText(log));
    RegRestoreItem* item = At<RegRestoreItem>(RegRestoreList, 0);
    const char* p = item->OldData;
    EXPECT_STREQ("one", p);
    p += std::strlen(p) + 1;
    EXPECT_EQ(1500u, std::strlen(p));
    p += std::strlen(p) + 1;
    size_t used = (size_t)(p - item->OldData);
    EXPECT_EQ(RegDataSize - 2 - used, std::strlen(p)) << "the third string is cut to fit";
    p += std::strlen(p) + 1;
    EXPECT_EQ(0, *p) << "the list is closed inside the field";
    EXPECT_LT(p, item->OldData + RegDataSize);
}

TEST(ReaderIni, EntriesCreatedFilesAndRepeats)
{
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD,
                                   "INI File: C:\\W\\A.INI",
                                   "INI Sect: S",
                                   "INI Item: K",
                                   "INI Val: 1",
                                   "INI Old: zero",
                                   "INI New: x",
                                   "INI File: C:\\W\\NEW.INI",
                                   "INI Sect: S",
                                   "INI Item: K",
                                   "INI Val: v",
                                   "*** 2",
                                   "INI File: c:\\w\\a.ini",
                                   "INI Sect: s",
                                   "INI Item: k",
                                   "INI Val: 2",
                                   "INI Old: one",
                                   "INI File: C:\\W\\A.INI",
                                   "INI Sect: S",
                                   "Made Dir: C:\\AFTER",
                                   "INI File: C:\\W\\B.INI",
                                   "INI Sect: S",
                                   "INI Item: K",
                                   "INI Val: last"})));
    ASSERT_EQ(2, IniEntryList.Count);
    IniEntry* a = At<IniEntry>(IniEntryList, 0);
    EXPECT_STREQ("zero", a->OldValue);
    EXPECT_STREQ("one", a->LatestOldValue);
    EXPECT_EQ(1, a->Installation) << "keeps the creating installation";
    EXPECT_STREQ("", At<IniEntry>(IniEntryList, 1)->OldValue);
    ASSERT_EQ(1, IniFileList.Count);
    EXPECT_STREQ("C:\\W\\NEW.INI", At<IniFileItem>(IniFileList, 0)->Path);
    EXPECT_EQ(2, FolderList.Count) << "the line after an incomplete group is still handled";
}

TEST(ReaderFolders, MadeDirContainmentAndTrees)
{
    FreshRun();
    ASSERT_EQ(
        0, ReadText(LogText({LOG_HEAD, "Made Dir: C:\\A\\B", "Made Dir: C:\\A", "Made Dir: C:\\AB",
                             "Made Dir: C:", "Made Dir: SUB\\DIR", "File Tree: C:\\APP\\*.*",
                             "File Tree: C:\\APP\\*.TMP", "Made Dir: C:\\APP", "File Tree: C:\\A\\",
                             "Made Dir: \\\\srv\\share\\d"})));
    // The log folder, C:\A\, C:\AB\, C:\APP\, the pattern, the share folder.
    ASSERT_EQ(6, FolderList.Count);
    FolderItem* a = At<FolderItem>(FolderList, 1);
    EXPECT_STREQ("C:\\A\\", a->Path);
    EXPECT_EQ(1, a->TreeInstallation);
    EXPECT_STREQ("C:\\AB\\", At<FolderItem>(FolderList, 2)->Path);
    FolderItem* app = At<FolderItem>(FolderList, 3);
    EXPECT_STREQ("C:\\APP\\", app->Path);
    EXPECT_EQ(1, app->TreeInstallation);
    EXPECT_STREQ("C:\\APP\\*.TMP", At<FolderItem>(FolderList, 4)->Path)
        << "a Made Dir never widens a pattern into a whole folder";
    EXPECT_STREQ("\\\\srv\\share\\d\\", At<FolderItem>(FolderList, 5)->Path);

    // The reverse order keeps the outer folder too.
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "Made Dir: C:\\A", "Made Dir: C:\\A\\B"})));
    ASSERT_EQ(2, FolderList.Count);
    EXPECT_STREQ("C:\\A\\", At<FolderItem>(FolderList, 1)->Path);
}

TEST(ReaderFolders, LogFolderEntryAndApplicationFolder)
{
    FreshRun();
    TableHost.ShortNames = {{"C:\\Program Files", "C:\\PROGRA~1"},
                            {"C:\\Program Files\\Sample", "C:\\PROGRA~1\\SAMPLE"}};
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "Made Dir: C:", "Made Dir: C:\\Program Files"})));
    EXPECT_STREQ("C:\\PROGRA~1\\", ApplicationFolder)
        << "widened to the outer made folder, never to a drive root";

    // A log in the Windows folder or a drive root adds no folder entry.
    const char* paths[] = {"C:\\WINDOWS\\INSTALL.LOG", "C:\\INSTALL.LOG",
                           "C:\\Windows\\SYSTEM\\X.LOG"};
    for (const char* path : paths) {
        FreshRun();
        TableHost.LogData = LogText({LOG_HEAD});
        ASSERT_EQ(0, ReadInstallLogWith(&TableReaderHost, path, ApplicationFolder));
        EXPECT_EQ(0, FolderList.Count) << path;
    }
}

TEST(ReaderText, OemAndAnsiInstallations)
{
    FreshRun();
    TableHost.OemMapping = 1;
    ASSERT_EQ(0, ReadText(LogText({"*** oem", "Title: T", "File Copy: C:\\M\x81LL\\A.EXE",
                                   "***  ansi", "File Copy: C:\\M\x81LL\\B.EXE"})));
    ASSERT_EQ(2, FileList.Count);
    EXPECT_STREQ("C:\\M\xFCLL\\A.EXE", At<FileRecord>(FileList, 0)->Path);
    EXPECT_STREQ("C:\\M\x81LL\\B.EXE", At<FileRecord>(FileList, 1)->Path);

    // The first line's marker counts as well.
    FreshRun();
    TableHost.OemMapping = 1;
    ASSERT_EQ(0, ReadText(LogText({"***  ansi", "Title: T", "File Copy: C:\\\x81.EXE"})));
    EXPECT_STREQ("C:\\\x81.EXE", At<FileRecord>(FileList, 0)->Path);
}

TEST(ReaderText, DoubleByteTrailNeverSplitsAPath)
{
    // 0x81 0x7C is one character whose second byte is '|'.
    FreshRun();
    TableHost.DoubleByte = 1;
    ASSERT_EQ(0, ReadText(LogText({"***  ansi", "Title: T", "File Copy: C:\\\x81|.EXE|data"})));
    ASSERT_EQ(1, FileList.Count);
    EXPECT_STREQ("C:\\\x81|.EXE", At<FileRecord>(FileList, 0)->Path);
    EXPECT_STREQ("data", At<FileRecord>(FileList, 0)->RepairData);
}

TEST(ReaderText, OverlongLinesAndFieldsAreCut)
{
    FreshRun();
    std::string longPath = "C:\\" + std::string(400, 'P');
    std::string log = LogText({LOG_HEAD});
    log += "File Copy: " + longPath + "|" + std::string(200, 'r') + "\r\n";
    log += "File Copy: " + longPath + "\r\n"; // the same record, cut the same way
    log += "Product: " + std::string(5000, 'x') + "\r\n";
    log += "RegDB Key: " + std::string(300, 'k') + "\r\nRegDB Val: v\r\nRegDB Old: o\r\n";
    log += "RegDB Key: " + std::string(300, 'k') + "\r\nRegDB Val: v\r\nRegDB Old: p\r\n";
    log += "Icon Group: G\r\nIcon Name: N\r\nIcon Cmd: " + std::string(900, 'c') + "\r\n";
    log += "Create Service: " + std::string(3000, 's') + "\0\x01\x02\r\n";
    ASSERT_EQ(0, ReadText(log));
    ASSERT_EQ(1, FileList.Count);
    FileRecord* file = At<FileRecord>(FileList, 0);
    EXPECT_EQ(259u, std::strlen(file->Path));
    EXPECT_EQ(2, file->CountedCopies);
    EXPECT_EQ(0u, std::strlen(file->RepairData)) << "the second line had no data";
    EXPECT_EQ(127u, std::strlen(ProductName));
    ASSERT_EQ(1, RegRestoreList.Count);
    EXPECT_EQ(255u, std::strlen(At<RegRestoreItem>(RegRestoreList, 0)->Key));
    EXPECT_STREQ("p", At<RegRestoreItem>(RegRestoreList, 0)->LatestOldData);
    EXPECT_EQ(255u, std::strlen(At<IconItem>(IconList, 0)->Command));
    EXPECT_EQ(259u, std::strlen(At<ServiceItem>(ServiceList, 0)->Name));
}

TEST(ReaderText, TruncatedLastLineAndBlockEdges)
{
    // Lines split at every block edge read the same as whole ones.
    std::string log = LogText({LOG_HEAD, "File Copy: C:\\APP\\A.EXE", "Execute Path: RUN.EXE /u"});
    log += "Execute Name: Runner";
    for (int limit : {0, 1, 3, 7}) {
        FreshRun();
        TableHost.ReadBlockLimit = limit;
        ASSERT_EQ(0, ReadText(log)) << limit;
        ASSERT_EQ(1, ExecuteList.Count) << limit;
        EXPECT_STREQ("Runner", At<ExecuteItem>(ExecuteList, 0)->Name) << limit;
        EXPECT_EQ(1, FileList.Count) << limit;
    }
}

TEST(ReaderLists, ListsGrowPastTheirCapacity)
{
    FreshRun();
    std::string log = LogText({LOG_HEAD});
    for (int i = 0; i < RegValueListCapacity + 10; i++)
        log += "RegDB Key: K" + std::to_string(i) + "\r\nRegDB Val: v\r\n";
    ASSERT_EQ(0, ReadText(log));
    ASSERT_EQ(RegValueListCapacity + 10, RegValueList.Count);
    ASSERT_EQ(RegValueListCapacity + 10, RegLogList.Count);
    EXPECT_STREQ("K0", At<RegValueItem>(RegValueList, 0)->Key);
    EXPECT_STREQ("K48009", At<RegValueItem>(RegValueList, RegValueList.Count - 1)->Key);
    EXPECT_EQ(RegValueList.Items[RegValueList.Count - 1],
              At<RegLogEntry>(RegLogList, RegLogList.Count - 1)->Item);
}

TEST(ReaderLists, ManyInstallationsKeepTheirSources)
{
    FreshRun();
    std::string log = LogText({LOG_HEAD});
    for (int i = 2; i <= 1500; i++)
        log += "*** i\r\nSource: S" + std::to_string(i) + "\r\n";
    ASSERT_EQ(0, ReadText(log));
    EXPECT_EQ(1500, LatestInstallation);
    ASSERT_NE(nullptr, InstallationSource(1500));
    EXPECT_STREQ("S1500", InstallationSource(1500));
    EXPECT_STREQ("S1024", InstallationSource(1024));
    EXPECT_EQ(nullptr, InstallationSource(1501));

    // Installation numbers must stay below the log folder's mark.
    FreshRun();
    log = LogText({LOG_HEAD});
    for (int i = 2; i <= LogFolderInstallation; i++)
        log += "*** \r\n";
    EXPECT_EQ(1, ReadText(log));
    EXPECT_EQ("Msg4", TableHost.RefusalText);
    EXPECT_EQ(LogFolderInstallation - 1, LatestInstallation);
}

TEST(ReaderKeywords, KeywordsMatchInEitherCaseAndHandlersTakeTheTextAfterThem)
{
    // Only a subsystem whose name starts with B is taken, in its own case;
    // another name passes over its line without touching the next one.
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "SubSystem: Other", "made dir: C:\\APP\\SUB",
                                   "subsystem: bde core", "PRODUCT: Prod", "SubSystem: X"})));
    ASSERT_NE(nullptr, SubsystemName);
    EXPECT_STREQ("bde core", SubsystemName);
    EXPECT_STREQ("Prod", ProductName);
    ASSERT_EQ(2, FolderList.Count) << "the log's folder and C:\\APP\\SUB\\";
    EXPECT_STREQ("C:\\APP\\SUB\\", At<FolderItem>(FolderList, 1)->Path);

    // A line that is the keyword alone gives an empty text; a subsystem
    // line with nothing after its keyword is no subsystem.
    FreshRun();
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD, "Product: ", "SubSystem: ", "Manufacturer:"})));
    EXPECT_STREQ("", ProductName);
    EXPECT_EQ(nullptr, SubsystemName);
    EXPECT_STREQ("", Manufacturer);
}
