#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "frontend/frontend.h"
#include "movegen/movegen_test_util.h"
#include "tools/tools.h"

namespace {

// Runs PerfT on `fen` and returns what it printed.
std::string RunPerft(const char* fen, int depth, bool trace, uint64_t* total, uint64_t* leaves) {
    BoardFromFen(fen);
    return CapturedStdout([&] {
        PerfT perft(depth, trace);
        *total = perft.TotalNodes;
        *leaves = perft.LeafNodes;
    });
}

// The report's last line: the rate, a whole number of thousands, then " NPS".
bool EndsWithNpsLine(const std::string& out) {
    std::string line = out.substr(out.rfind('\n', out.size() - 2) + 1);
    size_t digits = line.find_first_not_of("0123456789");
    return digits > 0 && digits != std::string::npos && line.substr(digits) == " NPS\n" &&
           std::strtoull(line.c_str(), nullptr, 10) % 1000 == 0;
}

// The report without its NPS line.
std::string WithoutNpsLine(const std::string& out) {
    return out.substr(0, out.rfind('\n', out.size() - 2) + 1);
}

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(Perft, ShallowDepthsOfTheSuite) {
    // The deep counts are for scripts/perft-suite.
    constexpr uint64_t MaxLeaves = 5000000;
    for (const PerftCase& c : ReadPerftSuite(PerftSuitePath())) {
        uint64_t expectedTotal = 0;
        for (int depth = 1; depth <= int(c.Leaves.size()) && c.Leaves[depth - 1] <= MaxLeaves;
             ++depth) {
            expectedTotal += c.Leaves[depth - 1];
            uint64_t total = 0, leaves = 0;
            RunPerft(c.Fen.c_str(), depth, false, &total, &leaves);
            EXPECT_EQ(leaves, c.Leaves[depth - 1]) << c.Fen << " depth " << depth;
            EXPECT_EQ(total, expectedTotal) << c.Fen << " depth " << depth;
        }
    }
}

TEST(Perft, ReportLines) {
    uint64_t total = 0, leaves = 0;
    std::string out = RunPerft(StartFen, 2, false, &total, &leaves);
    // Each root move with its count in generation order, a blank line, the totals.
    ChessBoard board = BoardFromFen(StartFen);
    MoveList list;
    const int count = list.GenerateAllMoves(White, &board, AllCastling);
    std::string expected = "Starting PerfT test \n";
    for (int i = 0; i < count; ++i) expected += ListText(list, count).substr(5 * i, 4) + ": 20\n";
    expected += "\n420 Total Nodes at Depth = 2\n400 Leaf Nodes at Depth = 2\n";
    EXPECT_EQ(WithoutNpsLine(out), expected);
    EXPECT_TRUE(EndsWithNpsLine(out)) << out;

    // Depth 0 counts the root as the one leaf; a run under a millisecond
    // still prints a rate.
    out = RunPerft(StartFen, 0, false, &total, &leaves);
    EXPECT_EQ(total, 0u);
    EXPECT_EQ(leaves, 1u);
    EXPECT_EQ(out, "Starting PerfT test \n\n"
                   "0 Total Nodes at Depth = 0\n"
                   "1 Leaf Nodes at Depth = 0\n"
                   "0 NPS\n");
}

TEST(Perft, TraceAtDepthOne) {
    ChessBoard board = BoardFromFen(StartFen);
    MoveList list;
    int count = list.GenerateAllMoves(White, &board, AllCastling);
    std::string expected = "Starting PerfT test \n<Trace name=\"Perft\">\n";
    for (int i = 0; i < count; ++i) {
        std::string move = ListText(list, i + 1).substr(5 * i, 4);
        expected +=
            "<Move name=\"{  " + move + " \nnodes " + std::to_string(i + 1) + "\">\n</Move >\n} \n";
    }
    expected += "</Trace>\n20 Total Nodes at Depth = 1\n20 Leaf Nodes at Depth = 1\n";

    uint64_t total = 0, leaves = 0;
    std::string out = RunPerft(StartFen, 1, true, &total, &leaves);
    EXPECT_EQ(WithoutNpsLine(out), expected);
    EXPECT_TRUE(EndsWithNpsLine(out)) << out;
}

// The traced walk makes every move, the untraced one tests the last ply
// without making it: same counts, and one element per counted move.
TEST(Perft, TracedWalkCountsTheSame) {
    for (const PerftCase& c : ReadPerftSuite(PerftSuitePath())) {
        uint64_t fastTotal = 0, fastLeaves = 0, total = 0, leaves = 0;
        RunPerft(c.Fen.c_str(), 3, false, &fastTotal, &fastLeaves);
        std::string out = RunPerft(c.Fen.c_str(), 3, true, &total, &leaves);
        EXPECT_EQ(total, fastTotal) << c.Fen;
        EXPECT_EQ(leaves, fastLeaves) << c.Fen;
        EXPECT_EQ(leaves, c.Leaves[2]) << c.Fen;

        uint64_t opened = 0, closed = 0;
        for (size_t at = 0; (at = out.find("<Move name=\"{ ", at)) != std::string::npos; ++at)
            ++opened;
        for (size_t at = 0; (at = out.find("</Move >\n} \n", at)) != std::string::npos; ++at)
            ++closed;
        EXPECT_EQ(opened, total) << c.Fen;
        EXPECT_EQ(closed, total) << c.Fen;
    }
}

TEST(Perft, FromTheCommandLine) {
    ProgramRun run = RunVorn("-perft -fd 3");
    EXPECT_EQ(run.status, 0);
    // The root moves in generation order: knights first, then pawns.
    EXPECT_TRUE(run.out.starts_with("Vorn \nStarting PerfT test \nb1a3: 400\nb1c3: 440\n"))
        << run.out;
    EXPECT_NE(run.out.find("\nb2b4: 421\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nh2h3: 380\n\n9322 Total Nodes at Depth = 3\n"
                           "8902 Leaf Nodes at Depth = 3\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(EndsWithNpsLine(run.out)) << run.out;

    const std::filesystem::path fen = std::filesystem::temp_directory_path() /
                                      ("vorn-perft-" + std::to_string(getpid()) + ".fen");
    std::ofstream(fen) << "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1\n";
    run = RunVorn("-perft -fd 2 -lpf " + fen.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\n\n2087 Total Nodes at Depth = 2\n2039 Leaf Nodes at Depth = 2\n"),
              std::string::npos)
        << run.out;
    std::filesystem::remove(fen);

    // A Chess960 file: castling written as the king taking its rook.
    std::ofstream(fen) << "rk4r1/8/8/8/8/8/8/RK4R1 w KQkq - 0 1\n";
    run = RunVorn("-perft -fd 2 -lpf " + fen.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\nb1a1: 24\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n442 Leaf Nodes at Depth = 2\n"), std::string::npos) << run.out;
    std::filesystem::remove(fen);
}

TEST(Perft, ShallowDepthsOfTheChess960Suite) {
    // The deep counts are for scripts/perft-suite.
    constexpr uint64_t MaxLeaves = 5000000;
    for (const PerftCase& c : ReadPerftSuite(std::string(VORN_TEST_DATA) + "/perft960.epd")) {
        for (int depth = 1; depth <= int(c.Leaves.size()) && c.Leaves[depth - 1] <= MaxLeaves;
             ++depth) {
            ASSERT_EQ(SetupBoard(c.Fen.c_str(), CastlingRules::Chess960), SetupOk) << c.Fen;
            uint64_t leaves = 0;
            CapturedStdout([&] { leaves = PerfT(depth, false).LeafNodes; });
            EXPECT_EQ(leaves, c.Leaves[depth - 1]) << c.Fen << " depth " << depth;
        }
    }
}

} // namespace
