// The endgame tables through Debian's library: verdicts and distances of
// 3-piece endings as the library's own probe gives them (KQK and KPK checked
// against Stockfish's mate search too), the root's choice of move, and
// folders or table files that cannot be used.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "tablebase/tablebase.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// Debian's gaviotatb package: the 3-piece tables in compression scheme 4.
constexpr const char* DebianTables = "/usr/share/gaviotatb/gtb4";

struct VerdictCase {
    const char* fen;
    int outcome; // for the side to move
    int plies;
};

constexpr VerdictCase Verdicts[] = {
    {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", TableWin, 15}, // Stockfish: mate 8
    {"4k3/8/8/8/8/8/8/3QK3 b - - 0 1", TableLoss, 16},
    {"3qk3/8/8/8/8/8/8/4K3 b - - 0 1", TableWin, 15},
    {"3qk3/8/8/8/8/8/8/4K3 w - - 0 1", TableLoss, 16},
    {"k7/8/2K5/8/8/8/8/1Q6 w - - 0 1", TableWin, 1},
    {"k7/1Q6/2K5/8/8/8/8/8 b - - 0 1", TableLoss, 0}, // mated already
    {"k7/2K5/1Q6/8/8/8/8/8 b - - 0 1", TableDraw, 0}, // stalemate
    {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", TableWin, 23},
    {"4k3/8/8/8/8/8/8/R3K3 b - - 0 1", TableLoss, 28},
    {"8/8/8/8/8/8/6kR/K7 b - - 0 1", TableDraw, 0},    // the rook hangs
    {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", TableWin, 21}, // Stockfish: mate 11
    {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", TableLoss, 24},
    {"4k3/4P3/4K3/8/8/8/8/8 b - - 0 1", TableDraw, 0}, // stalemate
    {"7k/8/8/8/8/8/7P/7K w - - 0 1", TableDraw, 0},    // rook pawn
    {"8/8/8/8/8/8/4p3/K3k3 b - - 0 1", TableWin, 11},
    {"8/8/8/8/8/8/4p3/K3k3 w - - 0 1", TableLoss, 14},
    {"8/1P6/k7/8/K7/8/8/8 w - - 0 1", TableWin, 13}, // b8=Q stalemates, only b8=R wins
};

class TablesTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Tablebases.Start(DebianTables, 4), TablesStarted); }
    void TearDown() override {
        Tablebases.Stop();
        MainBoard.InitRep();
        if (!scratch.empty()) fs::remove_all(scratch);
    }

    // A folder of its own for copies of table files.
    fs::path Scratch() {
        scratch = fs::temp_directory_path() / ("vorn-tables-" + std::to_string(getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        return scratch;
    }

    static bool Probe(const char* fen, TableVerdict* verdict) {
        const ChessBoard board = BoardFromFen(fen);
        return Tablebases.Probe(board, board.SideToMove, board.CastleFlags, verdict);
    }

    fs::path scratch;
};

TEST_F(TablesTest, VerdictsAndDistancesFromBothSides) {
    for (const VerdictCase& c : Verdicts) {
        TableVerdict verdict;
        ASSERT_TRUE(Probe(c.fen, &verdict)) << c.fen;
        EXPECT_EQ(verdict.Outcome, c.outcome) << c.fen;
        EXPECT_EQ(verdict.Plies, c.plies) << c.fen;
    }
    // Bare kings are drawn; more pieces than the tables hold, or a castling
    // right, are not in them.
    TableVerdict verdict;
    ASSERT_TRUE(Probe("8/8/8/8/8/8/8/4k2K b - - 0 1", &verdict));
    EXPECT_EQ(verdict.Outcome, TableDraw);
    EXPECT_FALSE(Probe("4k3/8/8/8/8/8/r7/Q3K3 w - - 0 1", &verdict));
    EXPECT_FALSE(Probe("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", &verdict));
}

// The chosen move leads to the position the root's verdict promises: the
// quickest mate, the longest resistance, a move that keeps the draw.
TEST_F(TablesTest, TheRootMoveKeepsTheVerdict) {
    for (const VerdictCase& c : Verdicts) {
        const ChessBoard board = BoardFromFen(c.fen);
        const int side = board.SideToMove;
        Bitboard from = 0, to = 0;
        char promotion = 0;
        TableVerdict verdict;
        int probes = 0;
        const bool chosen =
            Tablebases.ChooseRootMove(board, side, 0, &from, &to, &promotion, &verdict, &probes);
        ChessBoard position = board;
        MoveList list;
        if (list.GenerateLegalMoves(&position) == 0) {
            EXPECT_FALSE(chosen) << c.fen << ": mate or stalemate, no move to choose";
            continue;
        }
        ASSERT_TRUE(chosen) << c.fen;
        EXPECT_GT(probes, 0);
        EXPECT_EQ(verdict.Outcome, c.outcome) << c.fen;
        EXPECT_EQ(verdict.Plies, c.plies) << c.fen;

        ChessBoard child = board;
        uint8_t mask;
        child.MakeMove(from, to, promotion, &mask);
        TableVerdict after;
        ASSERT_TRUE(Tablebases.Probe(child, side ^ 1, 0, &after)) << c.fen;
        EXPECT_EQ(after.Outcome, -c.outcome) << c.fen;
        EXPECT_EQ(after.Plies, c.outcome == TableDraw ? 0 : c.plies - 1) << c.fen;
    }
    // The one move that saves the draw.
    const ChessBoard board = BoardFromFen("8/8/8/8/8/8/6kR/K7 b - - 0 1");
    Bitboard from = 0, to = 0;
    char promotion = 0;
    TableVerdict verdict;
    int probes;
    ASSERT_TRUE(
        Tablebases.ChooseRootMove(board, Black, 0, &from, &to, &promotion, &verdict, &probes));
    EXPECT_EQ(from, Bit(G2));
    EXPECT_EQ(to, Bit(H2));

    // The one move that wins.
    ASSERT_TRUE(Tablebases.ChooseRootMove(BoardFromFen("8/1P6/k7/8/K7/8/8/8 w - - 0 1"), White, 0,
                                          &from, &to, &promotion, &verdict, &probes));
    EXPECT_EQ(from, Bit(B7));
    EXPECT_EQ(to, Bit(B8));
    EXPECT_EQ(promotion, 'r');
}

TEST_F(TablesTest, FoldersThatDoNotExist) {
    struct Case {
        const char* paths;
        int result;
        const char* message; // a part of Tablebases.Message
    };
    const std::string both = std::string("/no/such/folder;") + DebianTables;
    const Case cases[] = {
        {"", TablesOff, ""},
        {"<empty>", TablesOff, ""},
        {"/no/such/folder", TablesNotFound, "no folder /no/such/folder"},
        {"/tmp", TablesNotFound, "no Gaviota table"},
        {both.c_str(), TablesStarted, "no folder /no/such/folder"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Tablebases.Start(c.paths, 4), c.result) << c.paths;
        EXPECT_EQ(Tablebases.IsOn(), c.result == TablesStarted) << c.paths;
        EXPECT_NE(std::string(Tablebases.Message).find(c.message), std::string::npos)
            << c.paths << ": " << Tablebases.Message;
        if (!*c.message) {
            EXPECT_STREQ(Tablebases.Message, "");
        }
        TableVerdict verdict;
        EXPECT_EQ(Probe(Verdicts[0].fen, &verdict), c.result == TablesStarted) << c.paths;
    }
}

// The library crashes on a table file whose index is cut short or
// overwritten; such a file is left out and its positions are not in the
// tables, while the sound files beside it still answer.
TEST_F(TablesTest, BrokenTableFilesAreLeftOut) {
    const fs::path folder = Scratch();
    std::ifstream in(std::string(DebianTables) + "/kqk.gtb.cp4", std::ios::binary);
    const std::string kqk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(kqk.size(), 1000u);
    fs::copy_file(std::string(DebianTables) + "/krk.gtb.cp4", folder / "krk.gtb.cp4");

    std::string overwritten = kqk;
    for (size_t i = 0; i < 64; ++i) overwritten[i] = static_cast<char>(i * 37 + 11);
    const std::string broken[] = {"",
                                  kqk.substr(0, 30),
                                  kqk.substr(0, 100),
                                  kqk.substr(0, kqk.size() / 2),
                                  kqk.substr(0, kqk.size() - 1),
                                  overwritten};
    for (const std::string& contents : broken) {
        std::ofstream(folder / "kqk.gtb.cp4", std::ios::binary) << contents;
        ASSERT_EQ(Tablebases.Start(folder.c_str(), 4), TablesStarted) << contents.size();
        EXPECT_NE(std::string(Tablebases.Message).find("broken table file"), std::string::npos)
            << Tablebases.Message;
        TableVerdict verdict;
        EXPECT_FALSE(Probe("4k3/8/8/8/8/8/8/3QK3 w - - 0 1", &verdict)) << contents.size();
        ASSERT_TRUE(Probe("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", &verdict)) << contents.size();
        EXPECT_EQ(verdict.Plies, 23);
        // The root cannot answer when a move's table is missing.
        Bitboard from, to;
        char promotion;
        int probes;
        EXPECT_FALSE(Tablebases.ChooseRootMove(BoardFromFen("k7/8/2K5/8/8/8/8/1Q6 w - - 0 1"),
                                               White, 0, &from, &to, &promotion, &verdict,
                                               &probes));
    }

    // A sound copy is used as it is.
    std::ofstream(folder / "kqk.gtb.cp4", std::ios::binary) << kqk;
    ASSERT_EQ(Tablebases.Start(folder.c_str(), 4), TablesStarted);
    EXPECT_STREQ(Tablebases.Message, "");
    TableVerdict verdict;
    ASSERT_TRUE(Probe("4k3/8/8/8/8/8/8/3QK3 w - - 0 1", &verdict));
    EXPECT_EQ(verdict.Plies, 15);

    // A folder with nothing sound in it leaves the tables off.
    fs::remove(folder / "krk.gtb.cp4");
    std::ofstream(folder / "kqk.gtb.cp4", std::ios::binary) << kqk.substr(0, 30);
    EXPECT_EQ(Tablebases.Start(folder.c_str(), 4), TablesNotFound);
    EXPECT_FALSE(Tablebases.IsOn());
}

} // namespace
