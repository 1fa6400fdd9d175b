// What the log shows to be the product's: the canonical text of paths, and
// the folder rule for trees, wildcards and empty-folder sweeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ownership.h"
#include "fake_system.h"
#include "log/path_helpers.h"
#include "reader_support.h"

static std::string Normal(const std::string& path)
{
    char out[PathBufferSize];
    if (!NormalizePathText(path.c_str(), out, sizeof out))
        return "<refused>";
    return out;
}

TEST(NormalizePath, EverySpellingOfAFolderGivesOneText)
{
    for (const char* spelling :
         {"C:\\Program Files", "C:\\Program Files\\", "C:\\Program Files\\.", "C:/Program Files/",
          "C:\\\\Program Files", "C:\\Program Files\\\\", "C:\\Program Files.",
          "C:\\Program Files . ", "C:\\Windows\\..\\Program Files",
          "C:\\A\\B\\..\\..\\Program Files\\X\\..", "C:\\.\\Program Files\\.\\.",
          "C:\\..\\..\\Program Files", "C:\\Program Files\\...\\"})
        EXPECT_EQ("C:\\Program Files", Normal(spelling)) << spelling;
    EXPECT_EQ("C:\\", Normal("C:\\"));
    EXPECT_EQ("C:\\", Normal("C:\\."));
    EXPECT_EQ("C:\\", Normal("C:/Windows/.."));
    EXPECT_EQ("\\\\srv\\share", Normal("\\\\srv\\share\\"));
    EXPECT_EQ("\\\\srv\\share", Normal("\\\\srv\\share\\x\\..\\..\\..")) << "never above the share";
    EXPECT_EQ("\\\\srv\\share\\Users", Normal("//srv/share//Users/"));
}

TEST(NormalizePath, WhatIsNoAbsolutePathIsRefused)
{
    for (const char* path : {"", "C:", "C:Program Files", "Program Files", "\\Windows",
                             "\\\\?\\C:\\Windows", "\\\\.\\C:", "\\\\", "\\\\server", "1:\\x"})
        EXPECT_EQ("<refused>", Normal(path)) << path;
    std::string longPath = "C:\\" + std::string(300, 'A');
    EXPECT_EQ("<refused>", Normal(longPath)) << "a path that does not fit is never cut";
}

// In code page 936 the second byte of a character may be 0x5C or a letter.
TEST(NormalizePath, DoubleByteNamesStayWhole)
{
    UseDoubleByteRule();
    const std::string cheng = "\x81\x5C"; // second byte is a backslash
    EXPECT_EQ("C:\\" + cheng, Normal("C:\\" + cheng + "\\"));
    EXPECT_EQ("C:\\" + cheng, Normal("C:\\" + cheng + "\\X\\.."));
    EXPECT_EQ("C:\\A", Normal("C:\\A\\" + cheng + "\\.."));
    // A dot that ends a double-byte character is no trailing dot (found by
    // the fuzzer with a rule that lets any byte follow a lead byte).
    EXPECT_EQ("C:\\A\xf6.", Normal("C:\\A\xf6."));
    EXPECT_EQ("C:\\A\xf6.\\B", Normal("C:\\A\xf6.\\B"));
    ResetFakeSystem();
}

// Made again, a canonical text does not change (found by the fuzzer: a
// server name starting with a dot was taken for a device name the second
// time only).
TEST(NormalizePath, ServersThatLookLikeDevicesAreRefusedAtOnce)
{
    EXPECT_EQ("<refused>", Normal("///.vre/x/sx/../x/../y."));
    EXPECT_EQ("<refused>", Normal("\\\\?\\C:\\x"));
    EXPECT_EQ("\\\\srv\\share", Normal("\\\\\\srv\\share"));
}

TEST(PathWithin, FoldersAndWhatLiesBelowThem)
{
    EXPECT_TRUE(PathWithin("C:\\Users", "C:\\Users"));
    EXPECT_TRUE(PathWithin("C:\\users\\root", "C:\\Users"));
    EXPECT_FALSE(PathWithin("C:\\UsersX", "C:\\Users")) << "a name that only begins alike";
    EXPECT_FALSE(PathWithin("C:\\Users", "C:\\Users\\root"));
    EXPECT_TRUE(PathWithin("C:\\Windows", "C:\\")) << "a drive root holds everything";
    EXPECT_FALSE(PathWithin("D:\\Windows", "C:\\"));
    EXPECT_FALSE(PathWithin("C:\\Users", ""));
    UseDoubleByteRule();
    // "\x81\x41" and "\x81\x61" differ in a second byte that only looks like a letter.
    EXPECT_FALSE(PathWithin("C:\\\x81\x41\\X", "C:\\\x81\x61"));
    EXPECT_TRUE(PathWithin("C:\\\x81\x41\\X", "C:\\\x81\x41"));
    ResetFakeSystem();
}

struct Evidence {
    std::vector<const char*> kept = {"C:\\windows",
                                     "C:\\windows\\system32",
                                     "C:\\Program Files",
                                     "C:\\Program Files\\Common Files",
                                     "C:\\users",
                                     "C:\\users\\root",
                                     "C:\\users\\root\\Desktop",
                                     "C:\\users\\root\\AppData\\Local\\Temp",
                                     "C:\\users\\Public",
                                     "C:\\ProgramData"};
    std::vector<const char*> product = {"C:\\Program Files\\Sample",
                                        "C:\\Program Files\\Common Files\\Sample Tools"};
    std::string share;
    FolderEvidence get()
    {
        FolderEvidence e = {kept.data(), (int32_t)kept.size(), product.data(),
                            (int32_t)product.size(), share.c_str()};
        return e;
    }
};

TEST(FolderRule, WholeTreesGoOnlyInsideTheProductsFolders)
{
    Evidence e;
    FolderEvidence evidence = e.get();
    EXPECT_EQ(OwnedByLog, FolderRemovalReason("C:\\Program Files\\Sample", true, &evidence));
    EXPECT_EQ(OwnedByLog, FolderRemovalReason("C:\\Program Files\\Sample\\Data", true, &evidence));
    EXPECT_EQ(OwnedByLog, FolderRemovalReason("C:\\Program Files\\Common Files\\Sample Tools\\Bin",
                                              true, &evidence));
    // Another product beside this one, and a shared vendor folder the log did not make.
    EXPECT_EQ(ReasonOutsideProduct,
              FolderRemovalReason("C:\\Program Files\\Other", true, &evidence));
    EXPECT_EQ(ReasonOutsideProduct,
              FolderRemovalReason("C:\\Program Files\\Common Files\\Vendor", true, &evidence));
    EXPECT_EQ(ReasonOutsideProduct,
              FolderRemovalReason("C:\\Program Files\\SampleX", true, &evidence));
    // Empty folders of a folder the log did not make may still go...
    EXPECT_EQ(OwnedByLog, FolderRemovalReason("C:\\Program Files\\Other", false, &evidence));
    // ...but never the system's, a user's, or one that holds them.
    for (const char* kept : {"C:\\windows", "C:\\windows\\system32", "C:\\Program Files",
                             "C:\\users", "C:\\users\\root", "C:\\users\\root\\Desktop",
                             "C:\\users\\root\\AppData", "C:\\users\\root\\AppData\\Local",
                             "C:\\users\\Public", "C:\\ProgramData", "C:\\", "D:\\"}) {
        EXPECT_EQ(ReasonKeptFolder, FolderRemovalReason(kept, true, &evidence)) << kept;
        EXPECT_EQ(ReasonKeptFolder, FolderRemovalReason(kept, false, &evidence)) << kept;
    }
    // Inside a kept folder, a folder of its own is no longer kept itself.
    EXPECT_EQ(ReasonOutsideProduct, FolderRemovalReason("C:\\windows\\inf", true, &evidence));
    EXPECT_EQ(ReasonOutsideProduct,
              FolderRemovalReason("C:\\users\\root\\Documents", true, &evidence));
}

TEST(FolderRule, SharesOnlyWhereTheLogLies)
{
    Evidence e;
    e.product.push_back("\\\\srv\\apps\\Sample");
    FolderEvidence evidence = e.get();
    EXPECT_EQ(ReasonForeignShare, FolderRemovalReason("\\\\srv\\apps\\Sample", true, &evidence))
        << "the log lies on no share";
    EXPECT_EQ(ReasonForeignShare,
              FolderRemovalReason("\\\\localhost\\C$\\Users", false, &evidence));
    e.share = "\\\\SRV\\apps";
    evidence = e.get();
    EXPECT_EQ(OwnedByLog, FolderRemovalReason("\\\\srv\\apps\\Sample\\x", true, &evidence));
    EXPECT_EQ(ReasonKeptFolder, FolderRemovalReason("\\\\srv\\apps", true, &evidence))
        << "the share's root holds all of it";
    EXPECT_EQ(ReasonForeignShare, FolderRemovalReason("\\\\srv\\other\\Sample", true, &evidence));
    EXPECT_EQ(ReasonForeignShare,
              FolderRemovalReason("\\\\localhost\\ADMIN$\\System32", true, &evidence));

    char share[PathBufferSize];
    ShareOfPath("\\\\srv\\apps\\Sample\\x", share, sizeof share);
    EXPECT_STREQ("\\\\srv\\apps", share);
    ShareOfPath("C:\\apps", share, sizeof share);
    EXPECT_STREQ("", share);
}

TEST(FolderRule, EveryReasonHasWords)
{
    EXPECT_STREQ("", OwnReasonText(OwnedByLog));
    for (int32_t r = OwnedByLog + 1; r < ReasonReasonCount; r++)
        EXPECT_GT(std::string(OwnReasonText(r)).size(), 8u) << r;
}

// A "Made Dir: " of a folder the system or a user keeps is no evidence: it
// neither widens the application folder nor takes other entries into it.
TEST(ReaderMadeDir, AKeptFolderStandsAlone)
{
    FreshRun();
    TableHost.KeptFolders = {"C:\\Program Files", "C:\\users", "C:\\users\\root"};
    char app[260];
    ASSERT_EQ(0,
              ReadText(LogText({LOG_HEAD, "Made Dir: C:\\users", "Made Dir: C:\\users\\root\\X",
                                "Made Dir: C:\\Program Files\\", "Made Dir: C:\\PROGRAM FILES\\.",
                                "Made Dir: C:\\Program Files\\Sample\\Bin",
                                "Made Dir: C:\\users\\root\\X\\Y"}),
                       app));
    EXPECT_STREQ("C:\\Program Files\\Sample\\", app) << "the application folder is not widened";
    ASSERT_EQ(5, FolderList.Count);
    FolderItem* log = At<FolderItem>(FolderList, 0);
    EXPECT_STREQ("C:\\Program Files\\Sample\\", log->Path) << "nothing cut the log's folder";
    EXPECT_EQ(0, log->KeptFolder);
    EXPECT_STREQ("C:\\users\\", At<FolderItem>(FolderList, 1)->Path);
    EXPECT_EQ(1, At<FolderItem>(FolderList, 1)->KeptFolder);
    EXPECT_STREQ("C:\\users\\root\\X\\", At<FolderItem>(FolderList, 2)->Path)
        << "a made folder inside a kept one keeps its own entry";
    EXPECT_EQ(0, At<FolderItem>(FolderList, 2)->KeptFolder);
    EXPECT_EQ(1, At<FolderItem>(FolderList, 3)->KeptFolder);
    EXPECT_EQ(1, At<FolderItem>(FolderList, 4)->KeptFolder);
    // Only the made folders that are evidence are kept as such.
    ASSERT_EQ(3, MadeFolderList.Count);
    EXPECT_STREQ("C:\\users\\root\\X\\", (const char*)MadeFolderList.Items[0]);
    EXPECT_STREQ("C:\\Program Files\\Sample\\Bin\\", (const char*)MadeFolderList.Items[1]);
    EXPECT_STREQ("C:\\users\\root\\X\\Y\\", (const char*)MadeFolderList.Items[2]);
}

TEST(ReaderMadeDir, ALogInAKeptFolderDoesNotSweepIt)
{
    FreshRun();
    TableHost.KeptFolders = {"C:\\Program Files\\Sample"};
    ASSERT_EQ(0, ReadText(LogText({LOG_HEAD})));
    ASSERT_EQ(1, FolderList.Count);
    EXPECT_EQ(1, At<FolderItem>(FolderList, 0)->KeptFolder);
}
