#include <gtest/gtest.h>

#include "eval_test_util.h"

namespace {

struct ShieldCase {
    const char* name;
    const char* fen; // White's king is the one scored
    int penalty;
    int holes;
};

const ShieldCase ShieldCases[] = {
    {"g-pawn at home", "4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", 0, 0},
    {"g3", "4k3/8/8/8/8/6P1/5P1P/6K1 w - - 0 1", 70, 0},
    {"g4", "4k3/8/8/8/6P1/8/5P1P/6K1 w - - 0 1", 140, 0},
    {"g5", "4k3/8/8/6P1/8/8/5P1P/6K1 w - - 0 1", 210, 1},
    {"no g-pawn", "4k3/8/8/8/8/8/5P1P/6K1 w - - 0 1", 700, 1},
    // A piece in front of the king stands in for the missing pawn.
    {"knight in front", "4k3/8/8/8/8/8/5PNP/6K1 w - - 0 1", 350, 1},
    // On the h-file the f-file is the second neighbour, on the a-file the c-file.
    {"king in the corner", "4k3/8/8/8/8/8/6P1/7K w - - 0 1", 1050, 2},
    {"king on the a-file", "4k3/8/8/8/8/8/1P6/K7 w - - 0 1", 1050, 2},
    // The piece in front halves the own file only above 350: g7 (175) still counts 350.
    {"piece in front of a far pawn", "6k1/6P1/8/8/8/8/5PNP/6K1 w - - 0 1", 350, 1},
    // On its last rank the king has nothing in front: the own file counts
    // double whatever stands on the first rank.
    {"king on the far rank", "6K1/8/8/8/k7/8/8/6N1 w - - 0 1", 1400, 3},
};

TEST(PawnShield, ShieldFilesAndHoles) {
    for (const ShieldCase& c : ShieldCases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, White);
        EXPECT_EQ(Eval.PawnShield(White), c.penalty) << c.name;
        EXPECT_EQ(Eval.WShieldHoles, c.holes) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        FullEval(mirrored, White);
        EXPECT_EQ(Eval.PawnShield(Black), c.penalty) << c.name << " mirrored";
        EXPECT_EQ(Eval.BShieldHoles, c.holes) << c.name << " mirrored";
    }
}

struct AttackCase {
    const char* name;
    const char* fen; // Black attacks White's king
    int expected;
};

// Worked by hand. The first four: king g1 behind f2, g2, h2 (no holes), Black
// without a queen (halved) and without a heavy piece on the wing (-30).
const AttackCase AttackCases[] = {
    // A knight alone: one kind of attacker scores nothing in the zone term.
    {"one kind", "k7/8/8/8/8/4n3/5PPP/6K1 w - - 0 1", -15},
    // Knight and bishop both hit f2: (1 + 2) * 110 halved by kind (165),
    // -30, +10 for the bishop on the f2-a7 diagonal, then halved.
    {"two kinds", "k7/8/8/2b5/8/7n/5PPP/6K1 w - - 0 1", 72},
    // A pawn on g3 adds a third kind and h2: (2 + 3) * 110 * 3 / 4 = 412.
    {"three kinds", "k7/8/8/2b5/8/6pn/5PPP/6K1 w - - 0 1", 196},
    // Queen and two rooks on White's first two ranks add 1620 once:
    // ((1 + 3) * 110 + 1620) * 2 / 4 - 30, not halved (Black has a queen).
    {"heavy pieces at home counted once", "k7/8/8/8/8/7n/1qrr1PPP/6K1 w - - 0 1", 1000},
    // As "two kinds", but the knight on e2 only checks the king: it still counts.
    {"knight on the king only", "k7/8/8/2b5/8/8/4nPPP/6K1 w - - 0 1", 72},
    // Four kinds (pawn, knight, bishop, rook) are not scaled: (4 + 5) * 110
    // + 720 for the rook at home, -30, +10 for b7 on the g2-b7 diagonal, halved.
    {"four kinds", "k7/1b6/8/8/8/4n1Pp/4rP1P/6K1 w - - 0 1", 845},
    // King b1 with no b-pawn: one hole. The bishop hits a2, the queen b2:
    // (2 + 5) * 110 * 2 * 2 / 4 = 770; + 5 * (1 + 2) + 10 (queen on the wing)
    // + 0 (open-file term) + 20 (e6 on the a2-f7 diagonal) = 815; the knight
    // a3 and the rook c1 guard c2, and the rook stands in the zone: -300.
    {"holes and defenders", "6k1/8/1q2b3/8/8/N1P5/P7/1KR5 w - - 0 1", 515},
    // King g2 behind g3: three kinds on f2, g3, h2, h3: ((4 + 7) * 110 + 360 for
    // rook and queen + 1080 for the queen on b2) * 3 / 4 = 1987; the rook on
    // the open h-file makes the wing term 0; c7 aims at h2 (+10); the white
    // queen guards the zone (-500).
    {"rook and queen, king on its second rank", "k6r/2b5/8/8/8/6P1/1q3PKP/3Q4 w - - 0 1", 1497},
    // No g-pawn, a lone knight far off: 5 * 1 - 30 * 2 = -55, halved toward
    // zero; the bishop on e3 guards f2 (-100).
    {"odd halving", "k7/8/8/n7/8/4B3/5P1P/6K1 w - - 0 1", -127},
    // A rook on the wing counts only on a file without its own pawns.
    {"rook behind its pawn", "k6r/7p/8/8/8/8/5PPP/6K1 w - - 0 1", -15},
    // The knight on g2 stands in the zone and attacks none of it; with the
    // bishop on f2 two kinds: (1 + 2) * 110 * 2 / 2 + 5 * 2 + 10 - 60 + 20, halved.
    {"knight inside the zone", "k7/8/8/2b5/8/8/5PnP/6K1 w - - 0 1", 155},
    // Kings on the f- and c-files are castled too: one kind, -30 + 10, halved.
    {"castled on the f-file", "k7/1b6/8/8/8/8/4PPP1/5K2 w - - 0 1", -10},
    {"castled on the c-file", "k7/6b1/8/8/8/8/1PPP4/2K5 w - - 0 1", -10},
};

TEST(AttackCounts, KindsOfAttackersInTheKingZone) {
    for (const AttackCase& c : AttackCases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, White);
        Eval.PawnShield(White);
        EXPECT_EQ(Eval.AttackCounts(White), c.expected) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        FullEval(mirrored, White);
        Eval.PawnShield(Black);
        EXPECT_EQ(Eval.AttackCounts(Black), c.expected) << c.name << " mirrored";
    }
}

TEST(PawnStorm, CountsTheWingOfTheEnemyKing) {
    // King on the a-file: the a- to c-files count; d6 does not.
    ChessBoard board = EvalBoard("k7/8/P2P4/1P6/2P5/8/8/7K w - - 0 1");
    FullEval(board, White);
    EXPECT_EQ(Eval.PawnStorm(White), 600 + 300 + 100);
    ChessBoard mirrored = EvalBoard(MirrorFen("k7/8/P2P4/1P6/2P5/8/8/7K w - - 0 1"));
    FullEval(mirrored, White);
    EXPECT_EQ(Eval.PawnStorm(Black), 600 + 300 + 100);
}

TEST(KingEval, DrivesTheLoneKing) {
    // Rook against bare king, kings 4 apart; king tables go to the accumulators.
    ChessBoard board = EvalBoard("8/8/8/8/2k5/8/8/R5K1 w - - 0 1");
    FullEval(board, White);
    Eval.MgScore = Eval.EgScore = 0;
    EXPECT_EQ(Eval.KingEval(White), -80 * 4);
    EXPECT_EQ(Eval.MgScore, 210 - (-500));
    EXPECT_EQ(Eval.EgScore, -150 - 32);

    ChessBoard mirrored = EvalBoard(MirrorFen("8/8/8/8/2k5/8/8/R5K1 w - - 0 1"));
    FullEval(mirrored, White);
    EXPECT_EQ(Eval.KingEval(White), 80 * 4);
}

} // namespace
