// Levels below full strength: the guard rails every level keeps (a mate in
// one played, one against Vorn parried, from 1800 no piece left hanging),
// the seed that makes a level's choice repeatable, the node budget, and
// full strength searching as if there were no levels.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "search/search.h"
#include "search/search_fixture.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

constexpr int Levels[] = {1000, 1400, 1800, 2200};

ChessBoard After(const ChessBoard& board, Bitboard from, Bitboard to, char promo) {
    return PositionAfter(board, {from, to, promo});
}

bool IsMated(const ChessBoard& board) {
    const int side = board.SideToMove;
    MoveList list;
    return board.InCheck(side == White ? board.WKing : board.BKing, side) &&
           list.GenerateLegalMoves(&board) == 0;
}

// Whether the side to move of `board` can mate at once.
bool HasMateInOne(const ChessBoard& board) {
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    for (int i = 0; i < count; ++i)
        if (IsMated(After(board, list.From[i], list.To[i], list.Promo[i]))) return true;
    return false;
}

std::string Text(Bitboard from, Bitboard to) {
    const int f = LowestSquare(from), t = LowestSquare(to);
    return {files[FileOf(f)], char('1' + RankOf(f)), files[FileOf(t)], char('1' + RankOf(t))};
}

// A request of a game under a clock, at `elo` with `seed`.
SearchRequest AtLevel(int elo, uint64_t seed) {
    SearchRequest request;
    request.TimeLeftMs = 60000;
    request.IncrementMs = 1000;
    request.StrengthElo = elo;
    request.StrengthSeed = seed;
    return request;
}

class StrengthTest : public SearchTest {
  protected:
    // The move the engine plays in `fen` under `request`, from clean tables.
    std::string Play(const char* fen, const SearchRequest& request) {
        TestEngine().NewGame();
        board = BoardFromFen(fen);
        Think(board, request);
        return Text(from, to);
    }
};

TEST_F(StrengthTest, EveryLevelMatesInOne) {
    const char* fens[] = {
        "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
        "r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 0 1",
        "6k1/8/6K1/8/8/8/8/R7 w - - 0 1",
        "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 1",
        // A queen and a knight to take beside the mate.
        "6k1/5ppp/8/8/2q5/1n6/Q4PPP/3R2K1 w - - 0 1",
    };
    for (const char* fen : fens)
        for (const int elo : Levels)
            for (uint64_t seed = 1; seed <= 3; ++seed) {
                SearchRequest request = AtLevel(elo, seed);
                // However little it may search.
                request.Nodes = seed == 3 ? 1 : 0;
                Play(fen, request);
                EXPECT_TRUE(IsMated(After(board, from, to, promo)))
                    << fen << " at " << elo << ", seed " << seed << ": " << Text(from, to);
            }
}

TEST_F(StrengthTest, EveryLevelParriesAMateInOne) {
    const char* fens[] = {
        // Ra1 mates unless White makes room for the king or guards the first rank.
        "r5k1/5ppp/8/6N1/8/8/5PPP/6K1 w - - 0 1",
        // Qxh2 mates; only h3 parries.
        "6k1/5ppp/8/8/6nq/8/PP4PP/5R1K w - - 0 1",
        // Ra8 mates Black in the same way.
        "6k1/5ppp/8/8/6n1/8/5PPP/R5K1 b - - 0 1",
    };
    for (const char* fen : fens) {
        // The fixture bites: many moves allow the mate.
        board = BoardFromFen(fen);
        MoveList list;
        const int count = list.GenerateLegalMoves(&board);
        int allowing = 0;
        for (int i = 0; i < count; ++i)
            allowing += HasMateInOne(After(board, list.From[i], list.To[i], list.Promo[i]));
        ASSERT_GE(3 * allowing, count) << fen;
        for (const int elo : Levels)
            for (uint64_t seed = 1; seed <= 4; ++seed) {
                SearchRequest request = AtLevel(elo, seed);
                request.Nodes = seed % 2 ? 1 : 0;
                Play(fen, request);
                EXPECT_FALSE(HasMateInOne(After(board, from, to, promo)))
                    << fen << " at " << elo << ", seed " << seed << ": " << Text(from, to);
            }
    }
}

TEST_F(StrengthTest, FromEighteenHundredNoPieceIsLeftHanging) {
    // The bishop on b5 is attacked by a pawn and defended by nothing.
    const char* fen = "r1bqkb1r/1ppp1ppp/p1n2n2/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 5";
    for (const int elo : {1800, 2000, 2200})
        for (uint64_t seed = 1; seed <= 8; ++seed)
            EXPECT_EQ(Play(fen, AtLevel(elo, seed)).substr(0, 2), "b5")
                << elo << ", seed " << seed << ": " << Text(from, to);
}

TEST_F(StrengthTest, ALevelsChoiceFollowsItsSeed) {
    // A quiet middlegame: several moves are about as good.
    const char* fen = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 0 7";
    std::set<std::string> chosen;
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        const std::string move = Play(fen, AtLevel(1000, seed));
        EXPECT_EQ(Play(fen, AtLevel(1000, seed)), move) << "seed " << seed;
        chosen.insert(move);
    }
    // The seed matters: the level does not always play one move.
    EXPECT_GE(chosen.size(), 2u);
}

TEST_F(StrengthTest, ALevelSearchesNoMoreThanItsBudgetNorThanAsked) {
    const char* fen = "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 0 7";
    // The stop comes at a poll, and polls count interior nodes only: the
    // count runs past the limit by the quiescence nodes since the last one.
    const auto within = [](int64_t nodes, int64_t limit) {
        return nodes >= limit && nodes <= limit + limit / 20 + 50;
    };
    const auto nodes = [&](const SearchRequest& request) {
        TestEngine().NewGame();
        board = BoardFromFen(fen);
        SearchReporter quiet;
        const SearchResult result = TestEngine().Think(board, MoveHistory(), request, quiet);
        return result.Counts.InteriorNodes + result.Counts.QuiesceNodes;
    };
    // Under a clock of a minute a move the level's budget ends the search,
    // and a lower limit of the request ends it sooner.
    for (const int elo : Levels) {
        EXPECT_TRUE(within(nodes(AtLevel(elo, 1)), LevelOf(elo).Nodes)) << elo;
        SearchRequest asked = AtLevel(elo, 1);
        asked.Nodes = 500;
        EXPECT_TRUE(within(nodes(asked), 500)) << elo;
    }
}

TEST_F(StrengthTest, FullStrengthAndMateSearchesAreTheSearchWithoutALevel) {
    // The same search, node for node: a request at full strength with a
    // seed, and a mate search at a level, against the default request.
    const struct {
        const char* fen;
        SearchRequest request;
        SearchRequest same;
    } cases[] = {
        {"r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 0 7", ToDepth(6),
         [] {
             SearchRequest r = ToDepth(6);
             r.StrengthElo = FullStrengthElo;
             r.StrengthSeed = 99;
             return r;
         }()},
        // As UCI's "go mate 3" asks.
        {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1",
         [] {
             SearchRequest r = ToDepth(MaxIterationDepth);
             r.Mate = 3;
             return r;
         }(),
         [] {
             SearchRequest r = ToDepth(MaxIterationDepth);
             r.Mate = 3;
             r.StrengthElo = MinStrengthElo;
             return r;
         }()},
    };
    for (const auto& c : cases) {
        const auto search = [&](const SearchRequest& request) {
            TestEngine().NewGame();
            board = BoardFromFen(c.fen);
            SearchReporter quiet;
            return TestEngine().Think(board, MoveHistory(), request, quiet);
        };
        const SearchResult expected = search(c.request), result = search(c.same);
        EXPECT_EQ(Text(result.Move.From, result.Move.To),
                  Text(expected.Move.From, expected.Move.To))
            << c.fen;
        EXPECT_EQ(result.Score, expected.Score) << c.fen;
        EXPECT_EQ(result.Counts.InteriorNodes, expected.Counts.InteriorNodes) << c.fen;
        EXPECT_EQ(result.Counts.QuiesceNodes, expected.Counts.QuiesceNodes) << c.fen;
    }
}

} // namespace
