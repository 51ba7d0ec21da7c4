#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "frontend/frontend.h"
#include "test_util.h"

namespace {

// Parses a command line on fresh settings and a fresh board.
int Parse(std::vector<const char*> args) {
    MainStatus = Status{};
    MainStatus.initVars();
    MainBoard.InitRep();
    args.insert(args.begin(), "vorn");
    return ParseCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()));
}

TEST(CommandLine, ValuesReachTheSettings) {
    ASSERT_EQ(Parse({"-st", "10"}), CommandLineOk);
    EXPECT_EQ(MainStatus.ST, 10000); // milliseconds
    EXPECT_EQ(MainStatus.TimePerMove, 9000);
    EXPECT_EQ(MainStatus.TimeLeft, 600000);

    ASSERT_EQ(Parse({"-fd", "5"}), CommandLineOk);
    EXPECT_EQ(MainStatus.FD, 5);
    EXPECT_EQ(MainBoard.MaxDepth, 5);
    EXPECT_EQ(MainBoard.FixedDepth, 5);

    // Depths beyond the deepest iteration are clamped; negative ones mean none.
    ASSERT_EQ(Parse({"-fd", "300"}), CommandLineOk);
    EXPECT_EQ(MainStatus.FD, MaxIterationDepth);
    ASSERT_EQ(Parse({"-fd", "-4"}), CommandLineOk);
    EXPECT_EQ(MainStatus.FD, 0);

    ASSERT_EQ(Parse({"-sd", "5"}), CommandLineOk);
    EXPECT_EQ(MainStatus.FD, 0);
    EXPECT_EQ(MainBoard.MaxDepth, 5);

    ASSERT_EQ(
        Parse({"-perft", "-trace", "-post", "-sp", "-nobook", "-kibitz", "-tc", "40", "-HPC"}),
        CommandLineOk);
    EXPECT_EQ(MainStatus.PERFT, 1);
    EXPECT_EQ(MainStatus.Trace, 1);
    EXPECT_EQ(MainStatus.Post, 1);
    EXPECT_EQ(MainStatus.SelfPlay, 1);
    EXPECT_EQ(MainStatus.UseBook, 0);
    EXPECT_EQ(MainStatus.Kibitz, 1);

    ASSERT_EQ(Parse({"-bench3", "-ts", "suite.epd"}), CommandLineOk);
    EXPECT_EQ(MainStatus.Bench, 3);
    EXPECT_EQ(MainStatus.DoTestSuite, 1);
    EXPECT_STREQ(TestSuiteFile, "suite.epd");

    ASSERT_EQ(Parse({"-st", "-5"}), CommandLineOk);
    EXPECT_EQ(MainStatus.ST, -5000);
    EXPECT_EQ(MainStatus.TimePerMove, -4500);
    EXPECT_EQ(MainStatus.TimeLeft, -300000);
}

TEST(CommandLine, NumbersFollowTheAtoiRule) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {" \n\t+7plies", 7},
        {"-3", -3},
        {"abc", 0},
        {"", 0},
        {"99999999", 99999999},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX}, // out of range: saturates
        {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Parse({"-sd", c.text}), CommandLineOk) << c.text;
        EXPECT_EQ(MainBoard.MaxDepth, c.value) << c.text;
    }
}

TEST(CommandLine, ContainsTestsAndValuesAsCurrentString) {
    ASSERT_EQ(Parse({"--xboard-mode", "-uci"}), CommandLineOk);
    EXPECT_EQ(MainStatus.xboard, 1);
    EXPECT_EQ(MainStatus.uci, 1);
    // "-perft" is an exact test: a longer word does not select it.
    ASSERT_EQ(Parse({"-perft2"}), CommandLineOk);
    EXPECT_EQ(MainStatus.PERFT, 0);
    // A value is tested against the options that follow its own.
    ASSERT_EQ(Parse({"-pev", "-trace"}), CommandLineOk);
    EXPECT_EQ(MainStatus.Pev, 1);
    EXPECT_EQ(MainStatus.Trace, 1);
}

TEST(CommandLine, HelpAfterOtherOptionsAndMissingValues) {
    std::string out;
    out = CapturedStdout([] { EXPECT_EQ(Parse({"-fd", "4", "-post", "-h"}), CommandLineHelp); });
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 9);
    EXPECT_TRUE(out.starts_with("xboard   used when interfacing with xboard\n")) << out;
    EXPECT_TRUE(out.ends_with("\n-ts  filename run through a testsuite (EPD Format)\n")) << out;
    out = CapturedStdout([] { EXPECT_EQ(Parse({"-post", "-fd"}), CommandLineMissingValue); });
    EXPECT_EQ(out, "ERROR: missing value after -fd\n");
    CapturedStdout([] { EXPECT_EQ(Parse({"-st"}), CommandLineMissingValue); });
    EXPECT_EQ(MainStatus.ST, 0);
}

TEST(Status, NewGameKeepsWhatUciSet) {
    MainStatus = Status{};
    EXPECT_EQ(MainStatus.NPS, 0); // no speed measured yet
    MainStatus.uci = 1;
    MainStatus.FD = 7;
    MainStatus.ST = 500;
    MainStatus.Kibitz = 1;
    MainStatus.Post = 1;
    MainStatus.initVars();
    EXPECT_EQ(MainStatus.FD, 7);
    EXPECT_EQ(MainStatus.ST, 500);
    EXPECT_EQ(MainStatus.Kibitz, 1);
    EXPECT_EQ(MainStatus.Post, 0);
    EXPECT_EQ(MainStatus.GamePly, 1);
    MainStatus.uci = 0;
    MainStatus.initVars();
    EXPECT_EQ(MainStatus.FD, 0);
    EXPECT_EQ(MainStatus.DefaultMovesPerSession, 50);
    EXPECT_EQ(MainStatus.UseBook, 1);
    MainStatus = Status{};
}

} // namespace
