// Mate distances as the search reports them. The table keeps a mate counted
// from the node that stored it and a probe counts it from its own root, so a
// distance survives transpositions, deeper iterations and the next move:
// checked against the endgame tables (read, never searched), on a rook
// ending under UCI, and over a game the engine plays against itself.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "frontend/engine_session.h"
#include "frontend/frontend.h"
#include "search/search.h"
#include "search/search_fixture.h"
#include "tablebase/tablebase.h"
#include "test_engine.h"

namespace {

constexpr const char* DebianTables = "/usr/share/gaviotatb/gtb4";

// The tables' score of `fen` for the side to move, as the root would score it.
int TablesScore(const char* fen) {
    const ChessBoard board = BoardFromFen(fen);
    EXPECT_EQ(Tablebases.Start(DebianTables, 4), TablesStarted);
    TableVerdict verdict;
    EXPECT_TRUE(Tablebases.Probe(board, board.SideToMove, 0, &verdict)) << fen;
    Tablebases.Stop();
    EXPECT_NE(verdict.Outcome, TableDraw) << fen;
    return TableScore(verdict, 0);
}

// Each position searched at every depth from 1 on, from an empty table: no
// depth may claim a mate sooner than the tables allow (for the side that
// wins, a score above theirs; for the side that loses, one below), and at
// the depth given, one at which the search (reductions and all) reaches the
// shortest mate, the distance is theirs. The comments give it in moves.
TEST_F(SearchTest, MateDistancesAgreeWithTheEndgameTables) {
    const struct {
        const char* fen;
        int depth;
    } cases[] = {
        // The side to move mates: White, then Black.
        {"8/8/8/8/8/K7/4Q3/1k6 w - - 0 1", 3},   // mate in 1
        {"4k3/8/1Q1K4/8/8/8/8/8 w - - 0 1", 5},  // 2
        {"1k6/8/2Q5/8/4K3/8/8/8 w - - 0 1", 9},  // 4
        {"4k3/8/4K3/8/8/8/8/2R5 w - - 0 1", 3},  // 1
        {"8/8/2R5/8/2K5/k7/8/8 w - - 0 1", 9},   // 4
        {"8/1k6/8/2K5/7R/8/8/8 w - - 0 1", 11},  // 5
        {"7k/8/8/8/8/3K4/2R5/8 w - - 0 1", 15},  // 6
        {"8/8/8/6q1/8/1k6/8/K7 b - - 0 1", 3},   // 1
        {"8/8/8/8/6q1/8/4k3/1K6 b - - 0 1", 10}, // 4
        {"7K/8/7k/8/4r3/8/8/8 b - - 0 1", 3},    // 1
        {"8/1K6/8/1k6/1r6/8/8/8 b - - 0 1", 11}, // 4
        // The side to move is mated: Black, then White.
        {"4k3/8/3K4/8/8/5Q2/8/8 b - - 0 1", 4}, // after 1 move
        {"8/1Q6/8/8/3K4/8/k7/8 b - - 0 1", 6},  // 2
        {"8/8/8/5Q2/2K5/8/8/1k6 b - - 0 1", 9}, // 3
        {"8/8/8/K7/8/4Q3/k7/8 b - - 0 1", 10},  // 4
        {"4K2k/8/8/8/8/8/8/3R4 b - - 0 1", 12}, // 5
        {"8/8/8/8/3q4/8/8/K1k5 w - - 0 1", 4},  // 1
        {"7K/8/7k/8/7r/8/8/8 w - - 0 1", 6},    // 2
        {"K1k5/8/8/1r6/8/8/8/8 w - - 0 1", 8},  // 3
        {"8/8/8/8/2k5/K7/8/6r1 w - - 0 1", 12}, // 5
    };
    for (const auto& c : cases) {
        const int truth = TablesScore(c.fen);
        for (int depth = 1; depth <= c.depth; ++depth) {
            TestEngine().NewGame();
            const int score = SearchTo(c.fen, depth);
            const bool sooner = truth > 0 ? score > truth : score < truth;
            EXPECT_FALSE(sooner) << c.fen << " at depth " << depth << ": " << score;
            if (depth == c.depth) {
                EXPECT_EQ(score, truth) << c.fen << " at depth " << depth;
            }
        }
    }
}

// A mated node searched in a window wider than its score stores that score,
// not alpha: found in the table again, at its own ply or another, it is the
// mate at that ply, never one before it.
TEST_F(SearchTest, AMatedNodeComesBackFromTheTableAtItsPly) {
    TestEngine().Main.MaxPly = 40;
    for (int ply : {3, 3, 5, 1}) {
        ChessBoard mated = BoardFromFen("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
        const SearchNode node{.Side = Black, .Ply = ply, .CastleRights = 0, .InCheck = 1};
        EXPECT_EQ(TestEngine().Main.AlphaBeta(node.With(-MateValue, MateValue, 2, AllNode), mated),
                  ply - MateValue)
            << "at ply " << ply;
    }
}

// What a UCI search of `position` prints, up to its best move.
std::vector<std::string> UCISearch(EngineSession& engine, const std::string& position,
                                   const std::string& limits) {
    engine.Send(position);
    engine.Send("go " + limits);
    std::vector<std::string> lines;
    engine.WaitFor([&](const std::string& line) {
        lines.push_back(line);
        return line.rfind("bestmove", 0) == 0;
    });
    return lines;
}

// The mate in moves of the last score printed, 0 for no mate (or no score).
int ReportedMate(const std::vector<std::string>& lines) {
    int mate = 0;
    for (const std::string& line : lines) {
        const size_t at = line.find(" score ");
        if (at == std::string::npos) continue;
        std::istringstream words(line.substr(at + 7));
        std::string kind;
        int value = 0;
        words >> kind >> value;
        mate = kind == "mate" ? value : 0;
    }
    return mate;
}

// The moves after "pv" on the last line that has them.
std::vector<std::string> ReportedLine(const std::vector<std::string>& lines) {
    std::vector<std::string> moves;
    for (const std::string& line : lines) {
        const size_t at = line.find(" pv ");
        if (at == std::string::npos) continue;
        moves.clear();
        std::istringstream words(line.substr(at + 4));
        for (std::string move; words >> move;) moves.push_back(move);
    }
    return moves;
}

// Plays the legal move that `text` names; false, with the board as it was,
// for any other text.
bool PlayMove(ChessBoard& board, const std::string& text) {
    GameMove move;
    if (!ParseGameMove(board, text.c_str(), &move)) return false;
    uint8_t mask;
    board.MakeMove(move.From, move.To, move.Promo, &mask);
    board.CastleFlags &= mask;
    board.SideToMove ^= 1;
    return true;
}

ChessBoard BoardOf(const char* fen) {
    const ChessBoard saved = MainBoard;
    const ChessBoard board = BoardFromFen(fen);
    MainBoard = saved;
    return board;
}

bool IsCheckmate(const ChessBoard& board) {
    GameMove moves[MoveList::MaxMoves];
    const Bitboard king = board.SideToMove == White ? board.WKing : board.BKing;
    return GenerateLegalMoves(board, moves) == 0 && board.InCheck(king, board.SideToMove);
}

class MateSession : public testing::Test {
  protected:
    EngineSession engine;

    void SetUp() override {
        engine.Send("uci");
        ASSERT_FALSE(engine.WaitFor("uciok").empty());
    }
};

// Two rooks against the king: the search stops at the first mate it finds,
// which it must report with the distance of the line it prints. (Rg2 mates
// in 3; the reductions hide that quiet line from this depth.)
TEST_F(MateSession, TheRookLadderReportsTheMateItsLinePlays) {
    const char* fen = "8/8/8/8/7k/8/R7/1R4K1 w - - 0 1";
    const std::vector<std::string> lines =
        UCISearch(engine, std::string("position fen ") + fen, "depth 12");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(ReportedMate(lines), 5);
    const std::vector<std::string> line = ReportedLine(lines);
    EXPECT_EQ(line.size(), 9u);
    ChessBoard board = BoardOf(fen);
    for (const std::string& move : line) ASSERT_TRUE(PlayMove(board, move)) << move;
    EXPECT_TRUE(IsCheckmate(board));
}

// "go mate N" goes on past a longer mate until it proves one in N moves or
// fewer, and plays it; asked for the longer one, it stops at it.
TEST_F(MateSession, GoMateSearchesUntilAMateThatShort) {
    const std::string position = "position fen 8/8/8/8/7k/8/R7/1R4K1 w - - 0 1";
    for (const auto& [limit, most] : {std::pair{"mate 3", 3}, std::pair{"mate 5", 5}}) {
        const std::vector<std::string> lines = UCISearch(engine, position, limit);
        ASSERT_FALSE(lines.empty()) << limit;
        const int mate = ReportedMate(lines);
        EXPECT_GE(mate, 1) << limit;
        EXPECT_LE(mate, most) << limit;
        const std::vector<std::string> line = ReportedLine(lines);
        ASSERT_FALSE(line.empty()) << limit;
        EXPECT_EQ(lines.back(), "bestmove " + line.front()) << limit;
        ChessBoard board = BoardOf(position.substr(13).c_str());
        for (const std::string& move : line) ASSERT_TRUE(PlayMove(board, move)) << move;
        EXPECT_TRUE(IsCheckmate(board)) << limit;
        EXPECT_EQ(line.size(), 2u * mate - 1) << limit;
    }
}

// A game the engine plays against itself, the table kept from move to move
// as in any UCI game: once the winner sees its mate, each of its moves
// brings the reported mate at least one move nearer, down to the mate in 1
// that mates.
TEST_F(MateSession, SelfPlayCountsTheMateDown) {
    const char* fen = "8/8/K7/8/8/6k1/1Q6/8 w - - 0 1"; // White mates in 8
    engine.Send("ucinewgame");
    ChessBoard board = BoardOf(fen);
    std::string position = std::string("position fen ") + fen + " moves";
    std::vector<int> reported; // the winner's, move by move
    int ply = 0;
    for (; ply < 60; ++ply) {
        const std::vector<std::string> lines = UCISearch(engine, position, "depth 10");
        ASSERT_FALSE(lines.empty()) << "ply " << ply;
        std::istringstream bestmove(lines.back());
        std::string word, move;
        bestmove >> word >> move;
        if (!PlayMove(board, move)) break; // no move left to play
        position += " " + move;
        if (ply % 2 == 0) reported.push_back(ReportedMate(lines));
    }
    EXPECT_TRUE(IsCheckmate(board)) << position;
    EXPECT_EQ(ply % 2, 1) << "White gives the mate";

    size_t first = 0;
    while (first < reported.size() && reported[first] <= 0) ++first;
    ASSERT_LT(first, reported.size()) << "no mate reported";
    std::string sequence;
    for (size_t i = first; i < reported.size(); ++i) sequence += std::to_string(reported[i]) + " ";
    for (size_t i = first + 1; i < reported.size(); ++i) EXPECT_GT(reported[i], 0) << sequence;
    for (size_t i = first + 1; i < reported.size(); ++i)
        EXPECT_LE(reported[i], reported[i - 1] - 1) << sequence;
    EXPECT_EQ(reported.back(), 1) << sequence;
}

} // namespace
