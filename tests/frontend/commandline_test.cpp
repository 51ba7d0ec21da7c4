#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "frontend/frontend.h"
#include "frontend/session.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

// Parses a command line on fresh settings, a fresh session and a fresh board.
int Parse(std::vector<const char*> args) {
    Settings = Status{};
    Settings.initVars();
    GameSession = Session{};
    AttachEngine(TestEngine());
    MainBoard.InitRep();
    args.insert(args.begin(), "vorn");
    return ParseCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()),
                            TestEngine());
}

TEST(CommandLine, ValuesReachTheSettings) {
    ASSERT_EQ(Parse({"-st", "10"}), CommandLineOk);
    EXPECT_EQ(Settings.Limits.ST, 10000); // milliseconds
    EXPECT_EQ(Settings.Limits.TimeLeft, 600000);

    ASSERT_EQ(Parse({"-fd", "5"}), CommandLineOk);
    EXPECT_EQ(Settings.Limits.FD, 5);
    EXPECT_EQ(GameSession.MaxDepth, 5);

    ASSERT_EQ(Parse({"-sd", "5"}), CommandLineOk);
    EXPECT_EQ(Settings.Limits.FD, 0);
    EXPECT_EQ(GameSession.MaxDepth, 5);

    ASSERT_EQ(
        Parse({"-perft", "-trace", "-post", "-sp", "-nobook", "-kibitz", "-tc", "40", "-HPC"}),
        CommandLineOk);
    EXPECT_EQ(Settings.Mode.PERFT, 1);
    EXPECT_EQ(Settings.Mode.Trace, 1);
    EXPECT_EQ(Settings.Options.Post, 1);
    EXPECT_EQ(Settings.Game.SelfPlay, 1);
    EXPECT_EQ(Settings.Options.UseBook, 0);
    EXPECT_EQ(Settings.Options.Kibitz, 1);

    ASSERT_EQ(Parse({"-bench3", "-ts", "suite.epd"}), CommandLineOk);
    EXPECT_EQ(Settings.Mode.Bench, 3);
    EXPECT_EQ(Settings.Mode.DoTestSuite, 1);
    EXPECT_STREQ(TestSuiteFile, "suite.epd");

    ASSERT_EQ(Parse({"-log", "game.log", "-fd", "0"}), CommandLineOk);
    EXPECT_STREQ(LogFileName, "game.log");
    EXPECT_EQ(Settings.Limits.FD, 0);

    ASSERT_EQ(Parse({"-threads", "3"}), CommandLineOk);
    EXPECT_EQ(TestEngine().Helpers.ThreadCount(), 3);
    ASSERT_EQ(Parse({"-threads", "1"}), CommandLineOk);
    EXPECT_EQ(TestEngine().Helpers.ThreadCount(), 1);

    ASSERT_EQ(Parse({"-elo", "1400"}), CommandLineOk);
    EXPECT_EQ(PlayingElo(Settings.Options), 1400);
    ASSERT_EQ(Parse({"-elo", "2400"}), CommandLineOk);
    EXPECT_EQ(PlayingElo(Settings.Options), 0); // full strength
}

// What ParseCommandLine says on standard error.
std::string ParseErrors(std::vector<const char*> args, int expected) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Parse(args), expected);
    return testing::internal::GetCapturedStderr();
}

TEST(CommandLine, ValuesAreWholeNumbersInRange) {
    struct Case {
        const char* option;
        const char* text;
        bool accepted;
    } cases[] = {
        {"-fd", "0", true},         {"-fd", "100", true},    {"-fd", "+7", true},
        {"-fd", "abc", false},      {"-fd", "-3", false},    {"-fd", "101", false},
        {"-fd", "5x", false},       {"-fd", "", false},      {"-fd", " 5", false},
        {"-sd", "1", true},         {"-sd", "0", false},     {"-sd", "99999999999", false},
        {"-st", "0", true},         {"-st", "35000", true},  {"-st", "-5", false},
        {"-st", "35001", false},    {"-threads", "2", true}, {"-threads", "0", false},
        {"-threads", "257", false}, {"-elo", "1000", true},  {"-elo", "2400", true},
        {"-elo", "999", false},     {"-elo", "2401", false}, {"-elo", "14OO", false},
    };
    for (const Case& c : cases) {
        const std::string errors =
            ParseErrors({c.option, c.text}, c.accepted ? CommandLineOk : CommandLineBadUsage);
        if (c.accepted)
            EXPECT_EQ(errors, "") << c.option << " " << c.text;
        else
            EXPECT_EQ(errors,
                      std::string("vorn: bad value for ") + c.option + ": " + c.text + "\n");
    }
    // A refused value changes nothing.
    ParseErrors({"-fd", "-3"}, CommandLineBadUsage);
    EXPECT_EQ(Settings.Limits.FD, 0);
    EXPECT_EQ(GameSession.MaxDepth, ConsoleShownDepth);
}

TEST(CommandLine, UnknownOptionsAreNamed) {
    for (const char* word : {"-x", "--verbose", "-perft2", "hello", "-benchX"})
        EXPECT_EQ(ParseErrors({"-post", word, "-uci"}, CommandLineBadUsage),
                  std::string("vorn: unknown option ") + word +
                      " (vorn --help lists the options)\n")
            << word;
    // Values are not options, whatever they look like.
    EXPECT_EQ(ParseErrors({"-book", "-x", "-ts", "file.epd", "-tc", "40/5"}, CommandLineOk), "");
}

TEST(CommandLine, ContainsTestsAndValuesAsCurrentString) {
    ASSERT_EQ(Parse({"--xboard-mode", "-uci"}), CommandLineOk);
    EXPECT_EQ(Settings.Mode.xboard, 1);
    EXPECT_EQ(Settings.Mode.uci, 1);
    // A value is tested against the options that follow its own.
    ASSERT_EQ(Parse({"-pev", "-trace"}), CommandLineOk);
    EXPECT_EQ(Settings.Mode.Pev, 1);
    EXPECT_EQ(Settings.Mode.Trace, 1);
}

TEST(CommandLine, HelpAfterOtherOptionsAndMissingValues) {
    std::string out;
    for (const char* help : {"-h", "-help", "--help"}) {
        out = CapturedStdout([&] {
            EXPECT_EQ(Parse({"-fd", "4", "-post", help}), CommandLineHelp);
        });
        // The traditional nine lines come first, then the options added since.
        EXPECT_TRUE(out.starts_with("xboard   used when interfacing with xboard\n")) << out;
        EXPECT_NE(out.find("\n-ts  filename run through a testsuite (EPD Format)\n-perft "),
                  std::string::npos)
            << out;
        for (const char* option : {"\n-st ", "\n-post ", "\n-book ", "\n-nobook ", "\n-gtb ",
                                   "\n-log ", "\n-threads ", "\n-elo ", "\n--version "})
            EXPECT_NE(out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(ParseErrors({"-post", "-fd"}, CommandLineBadUsage),
              "vorn: missing value after -fd\n");
    ParseErrors({"-st"}, CommandLineBadUsage);
    EXPECT_EQ(Settings.Limits.ST, 0);
}

TEST(Status, NewGameKeepsWhatUciSet) {
    Settings = Status{};
    Settings.Mode.uci = 1;
    Settings.Limits.FD = 7;
    Settings.Limits.ST = 500;
    Settings.Options.Kibitz = 1;
    Settings.Options.Post = 1;
    Settings.initVars();
    EXPECT_EQ(Settings.Limits.FD, 7);
    EXPECT_EQ(Settings.Limits.ST, 500);
    EXPECT_EQ(Settings.Options.Kibitz, 1);
    EXPECT_EQ(Settings.Options.Post, 0);
    EXPECT_EQ(Settings.Game.GamePly, 1);
    Settings.Mode.uci = 0;
    Settings.initVars();
    EXPECT_EQ(Settings.Limits.FD, 0);
    EXPECT_EQ(Settings.Limits.DefaultMovesPerSession, 50);
    EXPECT_EQ(Settings.Options.UseBook, 1);
    Settings = Status{};
}

} // namespace
