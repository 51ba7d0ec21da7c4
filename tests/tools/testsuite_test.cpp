// EPD test suites from the command line: the lines each mode prints, the
// position count, and the files and lines that are not what they should be.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

std::string SuiteFile(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorn-suite-" + std::to_string(getpid()) + "-" + name);
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// The result lines of a search run: "DEPTH SCORE   MOVE ...".
std::vector<std::string> ResultLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        int depth, score, used = 0;
        if (std::sscanf(line.c_str(), "%d %d%n", &depth, &score, &used) == 2 &&
            line.compare(used, 4, "    ") == 0)
            lines.push_back(line);
    }
    return lines;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const std::string Rook = "4k3/8/8/8/8/8/8/R3K3 w Q - bm Ra8+; id \"rook\";";
const std::string Mate = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";

TEST(TestSuite, EmptyFileAndPositionCount) {
    const std::string empty = SuiteFile("empty.epd", "");
    ProgramRun run = RunVorn("-ts " + empty);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Vorn \n## file opened " + empty +
                           "\n## Entering ParseEPDSuite and Opened data file\n0\n");

    // CR LF endings, a blank line in the middle, no line feed at the end: three
    // positions, the blank one reported, none lost.
    const std::string mixed = SuiteFile("mixed.epd", Rook + "\r\n\r\n" + Mate);
    run = RunVorn("-ts " + mixed + " -fd 2");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("ERROR: invalid position in line 2 (a side without exactly one king)\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n" + Mate + "\n"), std::string::npos);
    EXPECT_NE(run.out.find("   d1d8"), std::string::npos);
    // The rook line has a best move: one position judged.
    EXPECT_NE(run.out.find("\n3\nsolved "), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with("/1\n")) << run.out;
}

TEST(TestSuite, SolvedCountOfBestAndAvoidedMoves) {
    // At depth 2 the back-rank mate d1d8 is found every time.
    const std::string position = "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -";
    const std::string suite =
        SuiteFile("judged.epd", position + " bm Rd8#;\n" +             // solved
                                    position + " bm Kf1 Rd7;\n" +      // missed
                                    position + " am Rd8#;\n" +         // missed
                                    position + " am Kf1; bm d1d8;\n" + // solved, coordinates
                                    position + " id \"none\";\n" +     // not judged
                                    position + " bm Qd8;\n");          // no such move: missed
    ProgramRun run = RunVorn("-ts " + suite + " -fd 2");
    EXPECT_TRUE(run.out.ends_with("\n6\nsolved 2/5\n")) << run.out;
    // Without best or avoided moves there is nothing to count.
    run = RunVorn("-ts " + SuiteFile("plain.epd", Mate + "\n") + " -fd 2");
    EXPECT_TRUE(run.out.ends_with("\n1\n")) << run.out;
}

TEST(TestSuite, SearchesEachPositionToItsDepth) {
    const std::string suite = SuiteFile("two.epd", Rook + "\n" + Mate + "\n");
    // Without -fd every position is searched to depth 3; the move carries its line.
    ProgramRun run = RunVorn("-ts " + suite);
    const std::vector<std::string> results = ResultLines(run.out);
    ASSERT_EQ(results.size(), 2u) << run.out;
    EXPECT_EQ(results[0].substr(0, 2), "3 ");
    EXPECT_EQ(results[1].substr(0, 17), "3 109999    d1d8 ");
    EXPECT_EQ(Count(run.out, "PosEval from White view"), 2u);
    // At a fixed depth a run repeats itself to the character.
    EXPECT_EQ(RunVorn("-ts " + suite + " -fd 4").out, RunVorn("-ts " + suite + " -fd 4").out);
}

TEST(TestSuite, OnlyTheFirstFourFieldsMakeThePosition) {
    // FEN counters and operations after the four fields change nothing, and
    // an overlong line stays one position.
    const std::string fields = "4k3/8/8/8/8/8/8/R3K3 w Q -";
    const std::string suite =
        SuiteFile("fields.epd", fields + " 75 80\n" + fields + " bm Ra8+; c0 \"" +
                                    std::string(400, 'x') + "\";\n" + fields + "\n");
    const ProgramRun run = RunVorn("-ts " + suite + " -fd 3");
    EXPECT_NE(run.out.find("\n3\nsolved "), std::string::npos) << run.out;
    EXPECT_EQ(Count(run.out, "ERROR"), 0u) << run.out;
    const std::vector<std::string> results = ResultLines(run.out);
    ASSERT_EQ(results.size(), 3u) << run.out;
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]);
}

TEST(TestSuite, EvaluationAndStudentModes) {
    const std::string suite = SuiteFile("pev.epd", Rook + "\n" + Mate + "\n");
    ProgramRun run = RunVorn("-pev " + suite);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, "   A B C D E F G H\n\n8  "), 2u) << run.out;
    EXPECT_EQ(Count(run.out, "PosEval"), 0u);
    EXPECT_EQ(run.out.substr(run.out.size() - 3), "\n2\n");

    run = RunVorn("-mimicstudent " + suite);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Vorn \n## Mimic Student option detected \n## Mimic == STUDENT\n"
                       "## file opened " +
                           suite +
                           "\n## Entering ParseEPDSuite and Opened data file\n"
                           "In ParseEPDSuite and Mimic == STUDENT \n2\n");
}

TEST(TestSuite, PathsThatCannotBeRead) {
    const std::string directory = std::filesystem::temp_directory_path().string();
    for (const std::string option : {"-ts", "-pev", "-mimicstudent", "-lpf"}) {
        ProgramRun run = RunVorn(option + " " + directory);
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_NE(run.out.find("ERROR: opening file " + directory + "\n"), std::string::npos)
            << option << ": " << run.out;
        run = RunVorn(option + " /nonexistent/suite.epd");
        EXPECT_EQ(run.status, 1) << option;
    }
}

TEST(TestSuite, TheEmptyBookNeverChangesAMove) {
    const std::string suite = SuiteFile(
        "book.epd", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n" + Mate + "\n" +
                        "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -\n");
    const ProgramRun withBook = RunVorn("-ts " + suite + " -fd 4");
    const ProgramRun withoutBook = RunVorn("-ts " + suite + " -fd 4 -nobook");
    // The book is asked once per position, and only when it is on.
    EXPECT_EQ(Count(withBook.out, "Look through the Opening Book\n"), 3u);
    EXPECT_EQ(Count(withoutBook.out, "Look through the Opening Book\n"), 0u);
    std::string stripped = withBook.out;
    for (size_t at; (at = stripped.find("Look through the Opening Book\n")) != std::string::npos;)
        stripped.erase(at, 30);
    EXPECT_EQ(stripped, withoutBook.out);
}

} // namespace
