// The search as a whole: it always answers with a legal move, finds mates,
// scores mates, stalemates and repetitions, and keeps the previous move when
// an iteration is cut short.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "search/search.h"
#include "search/search_fixture.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

struct Move {
    Bitboard From, To;
    char Promo;
};

// The legal moves of the side to move.
std::vector<Move> LegalMoves(ChessBoard board) {
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    std::vector<Move> legal;
    for (int i = 0; i < count; ++i) legal.push_back({list.From[i], list.To[i], list.Promo[i]});
    return legal;
}

bool IsLegal(const ChessBoard& board, Bitboard from, Bitboard to, char promo) {
    for (const Move& m : LegalMoves(board))
        if (m.From == from && m.To == to && m.Promo == promo) return true;
    return false;
}

std::string MoveText(Bitboard from, Bitboard to) {
    const int f = LowestSquare(from), t = LowestSquare(to);
    return {files[FileOf(f)], char('1' + RankOf(f)), files[FileOf(t)], char('1' + RankOf(t))};
}
std::string MoveText(const GameMove& move) { return MoveText(move.From, move.To); }

TEST_F(SearchTest, ChoosesALegalMoveInEveryKindOfPosition) {
    const char* special[] = {
        // A single legal move, checks, double check.
        "k7/8/8/8/8/7P/2q5/K7 w - - 0 1",
        "4k3/8/8/8/8/8/3q4/4K3 w - - 0 1",
        "4k3/8/8/8/1b6/8/8/R3K2r w Q - 0 1",
        // En passant right after the double step, castling both ways, promotions.
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
        "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1",
        "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1",
        "8/1P4k1/8/8/8/8/6Kp/8 w - - 0 1",
        "8/1P4k1/8/8/8/8/6Kp/8 b - - 0 1",
        "1r5k/P7/8/8/8/8/8/K7 w - - 0 1",
    };
    for (const char* fen : special) {
        SearchTo(fen, 4);
        EXPECT_TRUE(IsLegal(board, from, to, promo)) << fen << ": " << MoveText(from, to);
    }

    // Positions of random games, searched at small depths.
    std::mt19937 random(20261210);
    int searched = 0;
    for (int game = 0; game < 12; ++game) {
        ChessBoard position =
            BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
        for (int ply = 0; ply < 80; ++ply) {
            const std::vector<Move> legal = LegalMoves(position);
            if (legal.empty() || position.CheckDraw(0) != NoDraw) break;
            if (ply % 7 == 3) {
                MainBoard = position;
                Take(TestEngine().Main.SearchExactDepth(MoveHistory(), position, 1 + ply % 3));
                EXPECT_TRUE(IsLegal(position, from, to, promo))
                    << "game " << game << " ply " << ply << ": " << MoveText(from, to);
                ++searched;
            }
            const Move& m = legal[random() % legal.size()];
            uint8_t mask;
            position.MakeMove(m.From, m.To, m.Promo, &mask);
            position.CastleFlags &= mask;
            position.SideToMove ^= 1;
        }
    }
    EXPECT_GT(searched, 100);
}

TEST_F(SearchTest, FindsMates) {
    const struct {
        const char* fen;
        int moves; // mate in this many moves
        const char* solution;
    } cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 1, "d1d8"},
        {"r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 0 1", 1, "f3f7"},
        {"6k1/8/6K1/8/8/8/8/R7 w - - 0 1", 1, "a1a8"},
        {"k7/8/2K5/8/8/8/8/7R w - - 0 1", 2, nullptr},
        {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 3, "f6a6"},
    };
    for (const auto& c : cases) {
        const int score = SearchTo(c.fen, 2 * c.moves + 1);
        // The mating move stands at ply 2 * moves - 1 from the root.
        EXPECT_EQ(score, MateValue - (2 * c.moves - 1)) << c.fen;
        EXPECT_TRUE(IsLegal(board, from, to, promo)) << c.fen;
        if (c.solution) {
            EXPECT_EQ(MoveText(from, to), c.solution) << c.fen;
        }
    }
}

TEST_F(SearchTest, RootResultsWithoutALegalMove) {
    // Checkmated, stalemated: the root says which, and the driver plays nothing.
    EXPECT_EQ(SearchTo("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 3), -MateValue);
    EXPECT_EQ(SearchTo("7k/8/6QK/8/8/8/8/8 b - - 0 1", 3), StalemateValue);

    MainBoard = BoardFromFen("7k/8/6QK/8/8/8/8/8 b - - 0 1");
    const ChessBoard before = MainBoard;
    EXPECT_EQ(Think(MainBoard, ToDepth(3)), StalemateValue);
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(MainBoard.AllPieces, before.AllPieces);
}

TEST_F(SearchTest, NodesScoreMateStalemateAndRepetition) {
    TestEngine().Main.MaxPly = 40;
    const auto node = [&](const char* fen, int ply) {
        ChessBoard b = BoardFromFen(fen);
        const Bitboard king = b.SideToMove == White ? b.WKing : b.BKing;
        const int inCheck = b.InCheck(king, b.SideToMove) ? 1 : 0;
        const SearchNode at{
            .Side = b.SideToMove, .Ply = ply, .CastleRights = b.CastleFlags, .InCheck = inCheck};
        return TestEngine().Main.AlphaBeta(at.With(-MateValue, MateValue, 2, PVNode), b);
    };
    EXPECT_EQ(node("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 3), 3 - MateValue);
    EXPECT_EQ(node("7k/8/6QK/8/8/8/8/8 b - - 0 1", 3), -3);

    // The position stood on the board two plies ago, within the reversible
    // plies: a draw at once, even at an interior node with a won position.
    ChessBoard b = BoardFromFen("7k/8/8/8/8/8/8/1K1Q4 w - - 12 40");
    Bitboard upper, lower;
    genhashcode(White, b.CastleFlags, &upper, &lower, &b);
    MoveHistory& record = TestEngine().Main.Repetitions;
    record.Init();
    record.InsertHashCodeMoveHistory(upper, lower);
    record.InsertHashCodeMoveHistory(0, 0);
    const SearchNode atPlyTwo = SearchNode{.Side = White, .Ply = 2, .CastleRights = 0}.With(
        -MateValue, MateValue, 3, PVNode);
    EXPECT_EQ(TestEngine().Main.AlphaBeta(atPlyTwo, b), 0);
    EXPECT_EQ(record.NumMoves, 2); // the node retracted its own entry
    b.FiftyMoveCount = 1;          // a pawn move or capture since: no repetition possible
    EXPECT_GT(TestEngine().Main.AlphaBeta(atPlyTwo, b), 5000);
}

TEST_F(SearchTest, AStoppedIterationKeepsThePreviousMove) {
    // The previous iteration chose h2h3; this one is stopped inside its first
    // root move by a spent budget under a fixed time per move.
    board = BoardFromFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1");
    MainBoard = board;
    MoveClock clock;
    clock.MoveTimeMs = 1; // a millisecond a move, started a second ago: spent
    TestEngine().Time.Start(clock, true, ClockMs() - 1000);
    TestEngine().Main.PV[0][0] = PVEntry{static_cast<int16_t>(H2 * 64 + H3), NoPromotion};
    TestEngine().Main.RootPVLength = 1;
    TestEngine().Main.StopSearch = TestEngine().Main.TimeUp = TestEngine().Main.Abort = 0;
    TestEngine().Main.Pondering = TestEngine().Main.Analysing = 0;
    TestEngine().Main.NodesToPoll = 0;
    TestEngine().Main.InteriorNodes = TestEngine().Main.QuiesceNodes = 0;
    TestEngine().Main.MaxPly = 8;
    EXPECT_EQ(MoveText(TestEngine().Main.SearchTreeRoot(board, 4).Move), "h2h3");
    EXPECT_TRUE(TestEngine().Main.StopSearch);

    // A time-up before the iteration's first move: the same.
    TestEngine().Main.TimeUp = 1;
    EXPECT_EQ(MoveText(TestEngine().Main.SearchTreeRoot(board, 5).Move), "h2h3");
}

// Under a clock the only legal move is played at once; without one (a fixed
// depth, an analysis, a ponder search) it is searched like any other, so
// that its score is true.
TEST_F(SearchTest, ASingleLegalMoveIsPlayedAtOnceOnlyUnderAClock) {
    struct Case {
        const char* Name;
        int FixedDepth;
        uint8_t Analyze, Ponder;
        int Depth;
    };
    const Case cases[] = {
        {"clock", 0, 0, 0, 1},
        {"fixed depth", 6, 0, 0, 6},
        {"analysis", 6, 1, 0, 6},
        {"ponder", 6, 0, 1, 6},
    };
    for (const Case& c : cases) {
        MainBoard = BoardFromFen("k7/8/8/8/8/7P/2q5/K7 w - - 0 1");
        SearchRequest request = ToDepth(c.FixedDepth);
        request.Analyze = c.Analyze;
        request.Ponder = c.Ponder;
        request.TimeLeftMs = 600000;
        Think(MainBoard, request);
        EXPECT_EQ(TestEngine().Main.IterationDepth, c.Depth) << c.Name;
        EXPECT_EQ(MoveText(from, to), "h3h4") << c.Name;
    }
}

TEST_F(SearchTest, FixedDepthSearchesRepeatExactly) {
    const std::string fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 1";
    int64_t nodes[2];
    std::string moves[2];
    for (int run = 0; run < 2; ++run) {
        TestEngine().Table.ClearTranspositionTables();
        TestEngine().Main.ClearHistory();
        for (auto& killers : TestEngine().Main.Killers) killers[0] = killers[1] = 0;
        SearchTo(fen, 5);
        nodes[run] = TestEngine().Main.NodeCount();
        moves[run] = MoveText(from, to);
    }
    EXPECT_EQ(nodes[0], nodes[1]);
    EXPECT_EQ(moves[0], moves[1]);
}

TEST_F(SearchTest, TheLastRowOfTheLineIsALeaf) {
    // A node so deep that its children would pass the line and killer tables
    // is searched as a leaf, in check or not (the sanitizer build sees any
    // index past them).
    TestEngine().Main.MaxPly = 1000;
    for (const char* fen : {"4k3/8/8/8/8/8/8/R3K3 b - - 0 1", "4k3/4R3/8/8/8/8/8/4K3 b - - 0 1"}) {
        ChessBoard b = BoardFromFen(fen);
        const int inCheck = b.InCheck(b.BKing, Black) ? 1 : 0;
        TestEngine().Main.InteriorNodes = 0;
        for (const int ply : {MaxSearchPly - 2, MaxSearchPly - 1}) {
            const SearchNode deep{.Side = Black, .Ply = ply, .CastleRights = 0, .InCheck = inCheck};
            TestEngine().Main.AlphaBeta(deep.With(-MateValue, MateValue, 10, PVNode), b);
        }
        EXPECT_GT(TestEngine().Main.NodeCount(), 0) << fen;
    }
}

} // namespace
