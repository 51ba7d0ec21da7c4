#include <gtest/gtest.h>

#include "eval_test_util.h"

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

struct WindowCase {
    const char* name;
    const char* fen;
    int alpha, beta; // for White; Black is asked with the window negated
    int white;
};

// Whole evaluations worked by hand, step by step.
const WindowCase HandWorkedCases[] = {
    // Phase 22, c2 an isolated passer (structure 30, passer score 41 with the
    // bishop on c3): 983 + 30 = 1013; blends -82 and -45 (a white pawn on the
    // colour of the black bishop); centre control even, unguarded men
    // -1200 + 800 + 100; bishop terms -225 / -100: 886 - 135 = 751. White can
    // mate: 1551. Opposite bishops leave a quarter of what is not material:
    // 1551 - (3 * 751) / 4 = 988.
    {"opposite bishops", "8/1b3k2/8/8/8/8/2P5/B3K3 w - - 0 1", -FullWindow, FullWindow, 980},
    // -3250 + 991 + 10 = -2249, blend +159, the lone knight against pawns
    // +800. The white king is guarded by its pawn and the pawn by the king:
    // only the two black men count as unguarded, +800; the knight b1
    // (-250, -250, 2 targets) and the attacked pawn (-20) leave 1070 / 250,
    // blend +284 = -1006. Mating material +800, pawns against the extra
    // knight +1100.
    {"pawns against a knight", "1k6/8/8/8/8/4K3/3P4/1n6 w - - 0 1", -FullWindow, FullWindow, 890},
    // First lazy exit after step 9. Two pawns up at phase 23 is
    // 1600 + (2 * 200 * 23) / 24 = 1983, not 1600 + 2 * 191:
    // -3250 + 1983 + 10 (structure) = -1257, blend +158.
    {"pawn value in one division", "1k6/8/8/8/8/4K3/3P2P1/1n6 w - - 0 1", 10000, 10001, -1099},
};

TEST(PosEval, HandWorkedScores) {
    for (const WindowCase& c : HandWorkedCases) {
        ChessBoard board = EvalBoard(c.fen);
        EXPECT_EQ(Eval.PosEval(White, c.alpha, c.beta, &board), c.white) << c.name;
        EXPECT_EQ(Eval.PosEval(Black, -c.beta, -c.alpha, &board), -c.white) << c.name;
    }
}

TEST(PosEval, TwoBishopsAgainstAKnightIsNoShortcut) {
    // Phase is only computed by the full evaluation: 24 - 3 minors.
    ChessBoard board = EvalBoard("k7/8/8/8/8/8/2K5/2BB3n w - - 0 1");
    Eval.Phase = 0;
    FullEval(board, White);
    EXPECT_EQ(Eval.Phase, 21);

    ChessBoard shortcut = EvalBoard("k7/8/8/8/8/8/2K5/2BN3n w - - 0 1");
    Eval.Phase = 0;
    FullEval(shortcut, White);
    EXPECT_EQ(Eval.Phase, 0);
}

TEST(PosEval, LazyExitsReturnTheUnroundedScoreOfTheirStep) {
    // Queen against bare king: 9750 - 80 * 6 (king distance) +
    // (4 * (-100 - 180) + 20 * (12 + 250)) / 24 = 9441 after step 9, and
    // nothing changes it up to step 18.
    ChessBoard board = EvalBoard("k7/8/8/8/8/8/2K5/3Q4 w - - 0 1");
    EXPECT_EQ(Eval.PosEval(White, 20000, 20001, &board), 9441); // first exit
    EXPECT_EQ(Eval.PosEval(White, 15000, 15001, &board), 9441); // second exit
    EXPECT_EQ(Eval.PosEval(Black, -20001, -20000, &board), -9441);
    EXPECT_EQ(Eval.PosEval(Black, -110000, -15000, &board), -9441);
    const int full = FullEval(board, White);
    EXPECT_EQ(full % 10, 0);
    EXPECT_NE(full, 9441);
}

// Between the two lazy exits only steps 12 to 17 act: the gain from the first
// exit to the second is their blend alone.
TEST(PosEval, TermsBetweenTheLazyExits) {
    struct Case {
        const char* fen;
        int gain;
    } cases[] = {
        // The queen's +200 on the seventh counts only while the enemy king is
        // on its back rank (or a pawn on its second rank). Phase 20.
        {"4k3/Q7/8/8/8/2K5/8/8 w - - 0 1", (20 * 200) / 24},
        {"8/Q7/8/4k3/8/2K5/8/8 w - - 0 1", 0},
        // A rook: Majorson7[1] in the ending, half of it in the middlegame. Phase 22.
        {"4k3/R7/8/8/8/8/8/4K3 w - - 0 1", (2 * 175 + 22 * 350) / 24},
        // Queen and rook attack the king on g8 (phase 18): shield 0, attack
        // -30 (one kind of attacker, no heavy piece on the wing), storm 300 for
        // the h5 pawn, halved unless the kings stand on opposite wings; a king
        // on the e-file is on neither wing.
        {"6k1/5ppp/8/7P/8/8/8/QRK5 w - - 0 1", (6 * (-30 + 300)) / 24},
        {"6k1/5ppp/8/7P/8/8/8/QR2K3 w - - 0 1", (6 * (-30 + 150)) / 24},
        // Three pieces without a queen do not attack.
        {"6k1/5ppp/8/7P/8/8/8/RRN1K3 w - - 0 1", 0},
    };
    for (const Case& c : cases) {
        ChessBoard board = EvalBoard(c.fen);
        const int first = Eval.PosEval(White, 100000, 100001, &board);
        const int second = Eval.PosEval(White, first + 5000, first + 5001, &board);
        EXPECT_EQ(second - first, c.gain) << c.fen;
    }
}

// After the second exit only steps 19 to 25 act, so the full score is the
// second exit's score plus their blend, rounded.
TEST(PosEval, CentreControlAndUnguardedMen) {
    ChessBoard board = EvalBoard("4r1k1/1b5p/8/8/8/5N2/P7/3Q2K1 w - - 0 1");
    const int first = Eval.PosEval(White, 100000, 100001, &board);
    const int second = Eval.PosEval(White, first + 5000, first + 5001, &board);
    // Phase 16. Centre squares: knight 2 against bishop 2 and rook 2, the
    // queen's d4 and d5 do not count: -60. Unguarded: queen and pawn of
    // White, rook and bishop of Black: -800 + 800, and +100 for the pawn.
    const int mg = -60 +
                   100
                   // Knight f3: 0 / 50, 7 targets. Bishop b7: 25 / -50, 7 targets.
                   + 100 -
                   (25 + 90)
                   // Rook e8 on an open file, 12 targets; queen d1, 16 targets.
                   - (210 + 320) + 180;
    const int eg = (50 + 100) - (-50 + 90) - ((210 * 14) / 10 + 140) +
                   180
                   // The knight is attacked by the bishop.
                   - 20;
    EXPECT_EQ(FullEval(board, White), (second + (8 * mg + 16 * eg) / 24) / 10 * 10);
}

TEST(PosEval, PhaseIsClampedAndScoresAreRounded) {
    ChessBoard start = EvalBoard("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(FullEval(start, White) % 10, 0);
    EXPECT_EQ(Eval.Phase, 1);
    ChessBoard ending = EvalBoard("4k3/pp6/8/8/8/8/6PP/4K3 w - - 0 1");
    FullEval(ending, White);
    EXPECT_EQ(Eval.Phase, 24);
}

TEST(PosEval, MaterialHelpers) {
    ChessBoard board = EvalBoard("r1bqk3/pppp4/8/8/8/8/PP6/RNBQKBNR w - - 0 1");
    // White: Q, 2R, 2B, 2N, 2P; Black: Q, R, B, 4P.
    EXPECT_EQ(Eval.MaterialOnly(White, 0, board), 5000 + 3250 * 3 - 800 * 2);
    EXPECT_EQ(Eval.MaterialOnly(Black, 0, board), -(5000 + 3250 * 3 - 800 * 2));
    EXPECT_EQ(Eval.SideMaterialValue(White, &board), 9750 + 10000 + 4 * 3250);
    EXPECT_EQ(Eval.SideMaterialValue(Black, &board), 9750 + 5000 + 3250);
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
        if (PasserFiles(Eval.PawnEntry->WPasserRank) || PasserFiles(Eval.PawnEntry->BPasserRank))
            continue;
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
        EXPECT_EQ(Eval.DynamicPieceAdjustments(Eval.Phase), c.expected) << c.fen;
    }
}

} // namespace
