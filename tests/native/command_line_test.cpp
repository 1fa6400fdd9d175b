#include "app/command_line.h"
#include "log/path_helpers.h"
#include "tests/native/fake_system.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

const std::vector<FakeEntry> Tree = {
    {"C:", "", 0x10},
    {"C:\\Program Files", "PROGRA~1", 0x10},
    {"C:\\Program Files\\App", "", 0x10},
    {"C:\\Program Files\\App\\INSTALL.LOG", "", 0x20},
    {"C:\\Program Files\\App\\UNKETRA32.INI", "", 0x20},
    {"C:\\Tools", "", 0x10},
    {"C:\\Tools\\UNKETRA32.INI", "", 0x20},
};

class CommandLine : public ::testing::Test
{
  protected:
    void SetUp() override { UseFakeSystem(Tree, "C:\\Tools"); }
    void TearDown() override { ResetFakeSystem(); }
    // Options, then path and title; returns the path.
    std::string Parse(const char* line)
    {
        options = ParseOptions(line);
        SplitLogArgument(options.rest, options.cleanupStage, &arg);
        return arg.path;
    }
    std::string Title() { return arg.hasTitle ? arg.title : "(none)"; }
    LogArgument arg;
    RunOptions options;
};

TEST_F(CommandLine, OptionsAreCaseInsensitiveExceptZ)
{
    EXPECT_EQ("C:\\A.LOG", Parse("/a /s C:\\A.LOG"));
    EXPECT_EQ(1, options.automatic);
    EXPECT_EQ(1, options.silent);
    EXPECT_EQ("x", Parse("/R/U   x"));
    EXPECT_EQ(1, options.rollback);
    EXPECT_EQ(1, options.finalPageOnly);
    EXPECT_EQ(0, options.automatic);

    Parse("/Z C:\\A.LOG");
    EXPECT_EQ(0, options.cleanupStage);
    EXPECT_EQ(1, SuppressesTempCopy("/Z C:\\A.LOG"));
    Parse("/z C:\\A.LOG");
    EXPECT_EQ(1, options.cleanupStage);
    EXPECT_EQ(0, options.restartMarker);
    Parse("/z1 C:\\A.LOG");
    EXPECT_EQ(1, options.cleanupStage);
    EXPECT_EQ(1, options.restartMarker);
    EXPECT_EQ(0, SuppressesTempCopy("/A /Z"));
    EXPECT_EQ(0, SuppressesTempCopy(""));
}

TEST_F(CommandLine, ShortcutNumberSkipsToTheNextSpace)
{
    EXPECT_EQ("C:\\A.LOG", Parse("/W12abc C:\\A.LOG"));
    EXPECT_EQ(12, options.shortcutNumber);
    EXPECT_EQ("C:\\A.LOG", Parse("/W C:\\A.LOG"));
    EXPECT_EQ(0, options.shortcutNumber);
    // The number is digits only: no sign, no blanks before it.
    EXPECT_EQ("C:\\A.LOG", Parse("/W-2 C:\\A.LOG"));
    EXPECT_EQ(0, options.shortcutNumber);
    EXPECT_EQ("(none)", Title());
    EXPECT_EQ("2", Parse("/W 2 C:\\A.LOG"));
    EXPECT_EQ(0, options.shortcutNumber);
    EXPECT_EQ("C:\\A.LOG", Title());
    // Digits past the ninth are dropped instead of overflowing.
    EXPECT_EQ("", Parse("/W99999999999999999999"));
    EXPECT_EQ(999999999, options.shortcutNumber);
}

TEST_F(CommandLine, UnknownOptionEndsTheScanAndLaterOptionsAreNotRead)
{
    EXPECT_EQ("/X", Parse("/A /X /S C:\\A.LOG"));
    EXPECT_EQ("/S C:\\A.LOG", Title());
    EXPECT_EQ(1, options.automatic);
    EXPECT_EQ(0, options.silent);
    EXPECT_EQ("C:\\A.LOG", Parse("C:\\A.LOG /S"));
    EXPECT_EQ(0, options.silent);
    EXPECT_EQ("/S", Title());
    EXPECT_EQ("/", Parse("/"));
}

TEST_F(CommandLine, JournalAndDryRunAmongTheOtherOptions)
{
    EXPECT_EQ("C:\\A.LOG", Parse("/S /LC:\\J.TXT /N /R C:\\A.LOG"));
    EXPECT_EQ(1, options.silent);
    EXPECT_EQ(1, options.dryRun);
    EXPECT_EQ(1, options.rollback);
    EXPECT_STREQ("C:\\J.TXT", options.journalPath);
    EXPECT_EQ(0, options.journalRefused);
    EXPECT_EQ("(none)", Title());

    // Quoted: the path keeps its spaces, and the options go on after it.
    EXPECT_EQ("C:\\A.LOG", Parse("/l\"C:\\My Logs\\run 1.txt\"/a C:\\A.LOG Title"));
    EXPECT_STREQ("C:\\My Logs\\run 1.txt", options.journalPath);
    EXPECT_EQ(1, options.automatic);
    EXPECT_EQ(0, options.dryRun);
    EXPECT_EQ("Title", Title());

    Parse("/n C:\\A.LOG");
    EXPECT_EQ(1, options.dryRun);
    EXPECT_STREQ("", options.journalPath);
    EXPECT_EQ(0, options.journalRefused);
}

TEST_F(CommandLine, JournalPathThatCannotBeKeptWholeIsRefused)
{
    std::string longest(JournalPathSize - 1, 'j');
    Parse(("/L" + longest + " C:\\A.LOG").c_str());
    EXPECT_EQ(longest, options.journalPath);
    EXPECT_EQ(0, options.journalRefused);

    std::string tooLong(JournalPathSize, 'j');
    EXPECT_EQ("C:\\A.LOG", Parse(("/S /L\"" + tooLong + "\" C:\\A.LOG").c_str()));
    EXPECT_EQ(1, options.journalRefused);
    EXPECT_STREQ("", options.journalPath);
    EXPECT_EQ(1, options.silent);

    Parse("/L C:\\A.LOG");
    EXPECT_EQ(1, options.journalRefused);
    // A quote left open: the line was cut, and so was the path.
    Parse("/L\"C:\\My Logs\\run");
    EXPECT_EQ(1, options.journalRefused);
    EXPECT_STREQ("", options.journalPath);
}

TEST_F(CommandLine, QuotedPathIsShortenedAndTitleFollows)
{
    EXPECT_EQ("C:\\PROGRA~1\\App\\INSTALL.LOG",
              Parse("\"C:\\Program Files\\App\\INSTALL.LOG\"   My App"));
    EXPECT_EQ("My App", Title());
    EXPECT_EQ("C:\\PROGRA~1\\App\\INSTALL.LOG", Parse("\"C:\\Program Files\\App\\INSTALL.LOG\"  "));
    EXPECT_EQ("(none)", Title());
    // Without a closing quote the path runs to the end.
    EXPECT_EQ("C:\\PROGRA~1\\App\\INSTALL.LOG", Parse("\"C:\\Program Files\\App\\INSTALL.LOG"));
    EXPECT_EQ("(none)", Title());
}

TEST_F(CommandLine, SecondQuotedStringMakesTheLastQuoteClosing)
{
    // The path then runs to the last quote; the short form of a missing
    // path keeps its space, so the path ends there after all.
    EXPECT_EQ("C:\\PROGRA~1\\App\\INSTALL.LOG\"",
              Parse("\"C:\\Program Files\\App\\INSTALL.LOG\" \"My App\""));
    EXPECT_EQ("My App", Title());
}

TEST_F(CommandLine, UnquotedPathWithQuotedTitle)
{
    EXPECT_EQ("C:\\APP\\INSTALL.LOG", Parse("C:\\APP\\INSTALL.LOG \"My App\""));
    EXPECT_EQ("My App", Title());
    EXPECT_EQ("C:\\APP\\INSTALL.LOG", Parse("C:\\APP\\INSTALL.LOG "));
    EXPECT_EQ("(none)", Title());
}

TEST_F(CommandLine, CleanupStageKeepsBothPaths)
{
    EXPECT_EQ("C:\\APP\\UNKETRA32.EXE C:\\APP\\", Parse("/z1 C:\\APP\\UNKETRA32.EXE C:\\APP\\"));
    EXPECT_EQ("(none)", Title());
}

TEST_F(CommandLine, SpaceInsideADoubleByteCharacterDoesNotSplit)
{
    UseDoubleByteRule();
    // 0x81 0x20 is not a valid pair in practice, but shows the step rule;
    // the lead byte 0xB0 with 0xA1 stands for a real character.
    EXPECT_EQ("C:\\\xB0\xA1\\A.LOG", Parse("C:\\\xB0\xA1\\A.LOG title"));
    EXPECT_EQ("title", Title());
}

TEST_F(CommandLine, OverlongInputIsCut)
{
    std::string line = "\"" + std::string(600, 'p') + "\" " + std::string(600, 't');
    std::string path = Parse(line.c_str());
    EXPECT_EQ(259u, path.size());
    EXPECT_EQ(255u, Title().size());
    std::string bare(600, 'q');
    EXPECT_EQ(259u, Parse(bare.c_str()).size());
}

TEST_F(CommandLine, DefaultLogBesideTheProgram)
{
    char line[CommandLineSize] = "";
    EXPECT_EQ(1, ApplyDefaultLog(line, "C:\\Program Files\\App\\UNKETRA32.INI"));
    EXPECT_STREQ("C:\\PROGRA~1\\App\\INSTALL.LOG", line);

    char none[CommandLineSize] = "";
    EXPECT_EQ(0, ApplyDefaultLog(none, "C:\\Tools\\UNKETRA32.INI"));
    EXPECT_STREQ("", none);

    // Options alone get no default.
    char options[CommandLineSize] = "/S";
    EXPECT_EQ(0, ApplyDefaultLog(options, "C:\\Program Files\\App\\UNKETRA32.INI"));
    EXPECT_STREQ("/S", options);
}

TEST_F(CommandLine, BareLogPathTakesTheCurrentDirectory)
{
    char bare[256] = "INSTALL.LOG";
    AnchorBareLogPath(bare, sizeof bare);
    EXPECT_STREQ("C:\\Tools\\INSTALL.LOG", bare);
    char relative[256] = "SUB\\INSTALL.LOG";
    AnchorBareLogPath(relative, sizeof relative);
    EXPECT_STREQ("SUB\\INSTALL.LOG", relative);
    UseFakeSystem(Tree, "C:\\");
    char root[256] = "A.LOG";
    AnchorBareLogPath(root, sizeof root);
    EXPECT_STREQ("C:\\A.LOG", root);
    UseFakeSystem(Tree, "C:\\" + std::string(250, 'd'));
    std::string longName(200, 'n');
    char overlong[256];
    CopyText(overlong, longName.c_str(), sizeof overlong);
    AnchorBareLogPath(overlong, sizeof overlong);
    EXPECT_EQ(255u, std::string(overlong).size());
}

TEST_F(CommandLine, ReplaceLastThree)
{
    char exe[] = "C:\\APP\\UNKETRA32.EXE";
    ReplaceLastThree(exe, "INI");
    EXPECT_STREQ("C:\\APP\\UNKETRA32.INI", exe);
    char tmp[] = "C:\\TEMP\\KTR1A2B.TMP";
    ReplaceLastThree(tmp, "EXE");
    EXPECT_STREQ("C:\\TEMP\\KTR1A2B.EXE", tmp);
    char tiny[] = "ab";
    ReplaceLastThree(tiny, "EXE");
    EXPECT_STREQ("ab", tiny);
}

TEST_F(CommandLine, StartedProgramsAreQuoted)
{
    char command[64];
    EXPECT_EQ(1, QuoteCommand(command, sizeof command, "C:\\First Last\\T.EXE", "/U \"id\""));
    EXPECT_STREQ("\"C:\\First Last\\T.EXE\" /U \"id\"", command);
    EXPECT_EQ(1, QuoteCommand(command, sizeof command, "C:\\WINDOWS\\_MSRSTRT.EXE", ""));
    EXPECT_STREQ("\"C:\\WINDOWS\\_MSRSTRT.EXE\"", command);
    // What would not fit is not started cut.
    EXPECT_EQ(0, QuoteCommand(command, 16, "C:\\WINDOWS\\_MSRSTRT.EXE", ""));
    EXPECT_STREQ("", command);
}

TEST_F(CommandLine, RelaunchCommandQuotesTheCopyAndRefusesWhatTheCopyWouldCut)
{
    char command[600];
    EXPECT_EQ(1, FormatRelaunchCommand(command, sizeof command,
                                       "C:\\Users\\First Last\\Temp\\KTR1A2B.EXE", "1",
                                       "C:\\PROGRA~1\\APP\\UNKETRA32.EXE", "C:\\PROGRA~1\\APP\\"));
    EXPECT_STREQ(
        "\"C:\\Users\\First Last\\Temp\\KTR1A2B.EXE\" /z1 C:\\PROGRA~1\\APP\\UNKETRA32.EXE "
        "C:\\PROGRA~1\\APP\\",
        command);
    // The copy keeps CommandLineSize - 1 characters after its own path:
    // exactly that many is taken, one more is refused.
    std::string program = "C:\\P\\U.EXE";
    size_t room = CommandLineSize - 1 - std::string("/z " + program + " ").size();
    std::string fits = "C:\\" + std::string(room - 4, 'f') + "\\";
    std::string over = "C:\\" + std::string(room - 3, 'f') + "\\";
    EXPECT_EQ(1, FormatRelaunchCommand(command, sizeof command, "C:\\T\\K.EXE", "", program.c_str(),
                                       fits.c_str()));
    EXPECT_EQ("\"C:\\T\\K.EXE\" /z " + program + " " + fits, std::string(command));
    EXPECT_EQ(0, FormatRelaunchCommand(command, sizeof command, "C:\\T\\K.EXE", "", program.c_str(),
                                       over.c_str()));
    EXPECT_STREQ("", command);
    // A path with a space would be split at it by the copy.
    EXPECT_EQ(0, FormatRelaunchCommand(command, sizeof command, "C:\\T\\K.EXE", "",
                                       "C:\\My App\\U.EXE", "C:\\APP\\"));
    EXPECT_EQ(0, FormatRelaunchCommand(command, sizeof command, "C:\\T\\K.EXE", "", program.c_str(),
                                       "C:\\My App\\"));
}

} // namespace
