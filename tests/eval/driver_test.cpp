#include <gtest/gtest.h>

#include "eval_test_util.h"
#include "frontend/frontend.h"

namespace {

struct DriverCase {
    const char* name;
    const char* fen;
    int white; // full-window result for White; Black's is its negation here
};

// Scores worked out by hand from the tables. The pawnless shortcuts and the
// two-piece halving return before the final rounding.
const DriverCase ShortcutCases[] = {
    // Equal minors: only the king table, KingEnding[c2] - KingEnding[a8] = 12 + 250.
    {"bishop against knight", "k7/8/8/8/8/8/2K5/2B4n w - - 0 1", 262},
    // One minor more: 262 + (3 * 3250) / 4.
    {"rook and bishop against rook", "r6k/8/8/8/8/8/2K5/R5B1 w - - 0 1", 2699},
    // Rook against knight, halved: 1750 + ((24 - 21) * 190 + 21 * -82) / 24 = 1702.
    {"rook against knight", "8/8/8/2k5/8/8/8/R3K2n w - - 0 1", 851},
};

TEST(PosEval, ShortcutsAndHalvingAreExactAndUnrounded) {
    for (const DriverCase& c : ShortcutCases) {
        ChessBoard board = EvalBoard(c.fen);
        EXPECT_EQ(FullEval(board, White), c.white) << c.name;
        EXPECT_EQ(FullEval(board, Black), -c.white) << c.name;
    }
}

TEST(PosEval, TwoBishopsAgainstAKnightIsNoShortcut) {
    // Phase is only computed by the full evaluation: 24 - 3 minors.
    ChessBoard board = EvalBoard("k7/8/8/8/8/8/2K5/2BB3n w - - 0 1");
    PE.Phase = 0;
    FullEval(board, White);
    EXPECT_EQ(PE.Phase, 21);

    ChessBoard shortcut = EvalBoard("k7/8/8/8/8/8/2K5/2BN3n w - - 0 1");
    PE.Phase = 0;
    FullEval(shortcut, White);
    EXPECT_EQ(PE.Phase, 0);
}

TEST(PosEval, LazyExitsReturnTheUnroundedScoreOfTheirStep) {
    // Queen against bare king: 9750 - 80 * 6 (king distance) +
    // (4 * (-100 - 180) + 20 * (12 + 250)) / 24 = 9441 after step 9, and
    // nothing changes it up to step 18.
    ChessBoard board = EvalBoard("k7/8/8/8/8/8/2K5/3Q4 w - - 0 1");
    EXPECT_EQ(PE.PosEval(White, 20000, 20001, &board, 0), 9441); // first exit
    EXPECT_EQ(PE.PosEval(White, 15000, 15001, &board, 0), 9441); // second exit
    EXPECT_EQ(PE.PosEval(Black, -20001, -20000, &board, 0), -9441);
    EXPECT_EQ(PE.PosEval(Black, -110000, -15000, &board, 0), -9441);
    const int full = FullEval(board, White);
    EXPECT_EQ(full % 10, 0);
    EXPECT_NE(full, 9441);
}

// Between the two lazy exits only steps 12 to 17 act; with a lone queen
// against a bare king that is the queen's +200 on the seventh, and only while
// the enemy king is on its back rank (or a pawn on its second rank).
TEST(PosEval, QueenOnTheSeventhNeedsABackRankTarget) {
    struct Case {
        const char* fen;
        int gain;
    } cases[] = {
        {"4k3/Q7/8/8/8/2K5/8/8 w - - 0 1", (20 * 200) / 24},
        {"8/Q7/8/4k3/8/2K5/8/8 w - - 0 1", 0},
    };
    for (const Case& c : cases) {
        ChessBoard board = EvalBoard(c.fen);
        const int first = PE.PosEval(White, 100000, 100001, &board, 0);
        const int second = PE.PosEval(White, first + 5000, first + 5001, &board, 0);
        EXPECT_EQ(second - first, c.gain) << c.fen;
    }
}

TEST(PosEval, PhaseIsClampedAndScoresAreRounded) {
    ChessBoard start = EvalBoard("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(FullEval(start, White) % 10, 0);
    EXPECT_EQ(PE.Phase, 1);
    ChessBoard ending = EvalBoard("4k3/pp6/8/8/8/8/6PP/4K3 w - - 0 1");
    FullEval(ending, White);
    EXPECT_EQ(PE.Phase, 24);
}

TEST(PosEval, MaterialHelpers) {
    ChessBoard board = EvalBoard("r1bqk3/pppp4/8/8/8/8/PP6/RNBQKBNR w - - 0 1");
    // White: Q, 2R, 2B, 2N, 2P; Black: Q, R, B, 4P.
    EXPECT_EQ(PE.MaterialOnly(White, 0, board), 5000 + 3250 * 3 - 800 * 2);
    EXPECT_EQ(PE.MaterialOnly(Black, 0, board), -(5000 + 3250 * 3 - 800 * 2));
    EXPECT_EQ(PE.SideMaterialValue(White, &board), 9750 + 10000 + 4 * 3250);
    EXPECT_EQ(PE.SideMaterialValue(Black, &board), 9750 + 5000 + 3250);
}

// The evaluation knows no colour: the mirrored position with the other side
// to move must score the same for the side to move.
TEST(PosEval, ColourFlipGivesTheSameScore) {
    std::vector<std::string> fens = SamplePositions();
    for (const std::string& fen : RandomFens(3000, 7)) fens.push_back(fen);
    int failures = 0;
    for (const std::string& fen : fens) {
        ChessBoard board = EvalBoard(fen);
        ChessBoard mirrored = EvalBoard(MirrorFen(fen));
        ASSERT_NE(board.SideToMove, mirrored.SideToMove);
        const int score = FullEval(board, board.SideToMove);
        const int flipped = FullEval(mirrored, mirrored.SideToMove);
        if (score != flipped && ++failures <= 10)
            ADD_FAILURE() << fen << ": " << score << " against " << flipped;
    }
    EXPECT_EQ(failures, 0);
}

// Without a passed pawn the side argument does not reach the score.
TEST(PosEval, SidesAreNegationsWithoutPassers) {
    for (const std::string& fen : RandomFens(1000, 11)) {
        ChessBoard board = EvalBoard(fen);
        const int white = FullEval(board, White);
        if (PE.WPasserCount || PE.BPasserCount) continue;
        EXPECT_EQ(FullEval(board, Black), -white) << fen;
    }
}

TEST(PosEval, DynamicPieceAdjustments) {
    struct Case {
        const char* fen;
        int expected;
    } cases[] = {
        // Lone bishop against pawns; doubled black pawns without heavy pieces: +190.
        {"4k3/8/4p3/4p3/8/8/8/2B1K3 w - - 0 1", -750 + 190},
        {"4k3/8/8/8/8/8/P7/3nK3 w - - 0 1", 800},
        // Doubled pawns weighed by the heavy pieces of their own side.
        {"3qk3/8/8/8/8/P7/P7/R3K3 w - - 0 1", -125},
        {"r2qk3/8/8/8/8/P7/P7/R2QK3 w - - 0 1", -62},
    };
    for (const Case& c : cases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, White);
        EXPECT_EQ(PE.DynamicPieceAdjustments(PE.Phase), c.expected) << c.fen;
    }
}

} // namespace

namespace {

TEST(DisplayBoard, EndsWithTheEvaluationOfThePositionShown) {
    const char* fen = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";
    ChessBoard fresh = EvalBoard(fen);
    const int expected = FullEval(fresh, White);

    // Stale counters, flags and key must not leak into the line.
    ChessBoard stale = fresh;
    stale.WQueenCount = 3;
    stale.BPawnCount = 0;
    stale.DrawFlags = 0;
    stale.PawnKingKey ^= 0x5A5A5A5Au;
    MainStatus.Pev = 0;
    const std::string shown = CapturedStdout([&] { stale.DisplayBoard(); });
    EXPECT_NE(shown.find("\n   A B C D E F G H\n\n PosEval from White view " +
                         std::to_string(expected) + "\n"),
              std::string::npos)
        << shown;

    MainStatus.Pev = 1;
    const std::string quiet = CapturedStdout([&] { stale.DisplayBoard(); });
    EXPECT_EQ(quiet.find("PosEval"), std::string::npos);
    MainStatus.Pev = 0;
}

} // namespace
