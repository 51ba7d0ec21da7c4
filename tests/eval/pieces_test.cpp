#include <gtest/gtest.h>

#include "eval_test_util.h"

namespace {

enum class Term { Knights, Bishops, Rooks, Queens };

struct PieceCase {
    const char* name;
    const char* fen;
    Term term;
    int mg, eg, returned; // what the term adds to the accumulators, and returns
};

// Worked by hand from the tables; the mirrored position must give the negation.
const PieceCase PieceCases[] = {
    // Rook a1: targets a2 (a pawn) and c1-g1 (b1 is covered by the pawn):
    // mobility 70, 98 in the ending; blocked by a pawn on its second rank.
    {"rook behind an enemy pawn", "7k/8/8/8/8/8/p7/R6K w - - 0 1", Term::Rooks, 70 - 100, 98 - 200,
     50},
    // 13 targets on an open file: 230 + 320, 322 + 140, and no half-open score.
    {"rook on an open file", "7k/8/8/8/8/8/8/R6K w - - 0 1", Term::Rooks, 550, 462, 0},
    // Knight d5, 80 / 150 on the square tables. The outpost (120) needs c6
    // and e6 free of black pawns; the pawn on c7 instead takes b6 from the
    // 8 targets: mobility 100 of 7.
    {"knight outpost", "4k3/2p5/8/3N4/8/8/8/4K3 w - - 0 1", Term::Knights, 300, 250, 0},
    {"knight outpost denied", "4k3/8/2p5/3N4/8/8/8/4K3 w - - 0 1", Term::Knights, 200, 270, 0},
    // Behind its own passer on a5: 9 targets (140, 196) + 37 / 75.
    {"rook behind a passer", "7k/8/8/P7/8/8/8/R6K w - - 0 1", Term::Rooks, 177, 271, 0},
    // Above the black passer on a4: 11 targets (190, 266) + 18 / 37, and
    // the a-file is half-open for White.
    {"rook behind an enemy passer", "R7/7k/8/8/p7/8/8/7K w - - 0 1", Term::Rooks, 208, 303, 50},
    // Queen d6 hemmed in by its own pawns: targets c7, d7, e7, all guarded by
    // the king: mobility -80 and -6500 in the ending.
    {"trapped queen", "3k4/2ppp3/2PQP3/2PPP3/8/8/8/K7 w - - 0 1", Term::Queens, -80, -6580, 0},
    // One safe square (f8) of four targets: -60 and -3250.
    {"queen with one way out", "3k4/2pp4/2PQP3/2PPP3/8/8/8/K7 w - - 0 1", Term::Queens, -60, -3310,
     0},
    // Bishops c1 and f1 against f8, 7 targets each (90): -200 - 200 + 180
    // against -200 + 90 in the middlegame; the pair scores only for White.
    {"bishop pair", "4kb2/7p/8/8/8/8/P7/2B1KB2 w - - 0 1", Term::Bishops, -110, -30, 500},
    // Bishop g2 with pawns g3 and f2: 25 / -50, 9 targets (90), +200 in the
    // middlegame only.
    {"fianchetto", "4k3/8/8/8/8/6P1/5PB1/4K3 w - - 0 1", Term::Bishops, 315, 40, 0},
};

int RunTerm(Term term) {
    Eval.MgScore = Eval.EgScore = 0;
    switch (term) {
    case Term::Knights:
        return Eval.KnightEval(White);
    case Term::Bishops:
        return Eval.BishopEval(White);
    case Term::Rooks:
        return Eval.RookEval(White);
    case Term::Queens:
        return Eval.QueenEval(White);
    }
    return 0;
}

TEST(PieceTerms, ScoresOfBothColours) {
    for (const PieceCase& c : PieceCases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, White);
        EXPECT_EQ(RunTerm(c.term), c.returned) << c.name;
        EXPECT_EQ(Eval.MgScore, c.mg) << c.name;
        EXPECT_EQ(Eval.EgScore, c.eg) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        FullEval(mirrored, White);
        EXPECT_EQ(RunTerm(c.term), -c.returned) << c.name << " mirrored";
        EXPECT_EQ(Eval.MgScore, -c.mg) << c.name << " mirrored";
        EXPECT_EQ(Eval.EgScore, -c.eg) << c.name << " mirrored";
    }
}

struct TrapCase {
    const char* name;
    const char* fen;
    int expected;
};

const TrapCase TrapCases[] = {
    {"knight in the corner", "r5kN/5p2/8/8/8/8/8/K7 w - - 0 1", -1219},
    {"bishop shut in on g8", "6Bk/5p2/6p1/8/8/8/8/6K1 w - - 0 1", -1600},
    {"rook shut in on the king side", "r5k1/8/8/8/8/8/6P1/5K1R w - - 0 1", -1670},
    {"rook shut in on the queen side", "r5k1/8/8/8/8/8/P7/RK6 w - - 0 1", -1670},
    // Without an enemy queen or rook the lost tempo does not matter.
    {"rook shut in, no enemy heavy piece", "n5k1/8/8/8/8/8/6P1/5K1R w - - 0 1", 0},
};

TEST(Traps, PatternsOfBothColours) {
    for (const TrapCase& c : TrapCases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, White);
        EXPECT_EQ(Eval.Traps(White), c.expected) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        FullEval(mirrored, White);
        EXPECT_EQ(Eval.Traps(White), -c.expected) << c.name << " mirrored";
    }
}

} // namespace
