#include <gtest/gtest.h>

#include <random>

#include "test_util.h"

namespace {

// The square-by-square ray walk the attack tables must reproduce: each ray
// steps by shifts, stops after an occupied square or on the edge file it heads
// for, and is skipped when it starts on that edge.
struct RayStep {
    int shift; // positive: left shift, negative: right shift
    Bitboard stopEdge;
};
constexpr Bitboard NoEdge = 0;
constexpr RayStep BishopSteps[4] = {
    {-7, FileMask[7]}, {-9, FileMask[0]}, {7, FileMask[0]}, {9, FileMask[7]}};
constexpr RayStep RookSteps[4] = {{-8, NoEdge}, {-1, FileMask[0]}, {1, FileMask[7]}, {8, NoEdge}};

Bitboard WalkRay(Bitboard s, RayStep step, Bitboard occupied) {
    Bitboard ray = 0;
    if (s & step.stopEdge) return 0;
    for (Bitboard b = s;;) {
        b = step.shift > 0 ? b << step.shift : b >> -step.shift;
        if (!b) break;
        ray |= b;
        if ((b & occupied) || (b & step.stopEdge)) break;
    }
    return ray;
}

Bitboard WalkRays(Bitboard s, const RayStep (&steps)[4], Bitboard occupied, Bitboard target,
                  bool onlyHits) {
    Bitboard result = 0;
    for (const RayStep& step : steps) {
        Bitboard ray = WalkRay(s, step, occupied);
        if (!onlyHits || (ray & target)) result |= ray;
    }
    return result;
}

TEST(Attacks, SlidersEqualTheRayWalkOnEverySquareAndManyOccupancies) {
    std::mt19937_64 random(12345);
    ChessBoard board{};
    for (int trial = 0; trial < 3000; ++trial) {
        // Sparse, medium and dense boards.
        Bitboard occupied = random();
        if (trial % 3 == 0) occupied &= random();
        if (trial % 3 == 1) occupied &= random() & random();
        Bitboard target = random() & random();
        board.AllPieces = occupied;
        for (int s = 0; s < 64; ++s) {
            const Bitboard sq = Bit(s);
            ASSERT_EQ(board.BishopMask(sq), WalkRays(sq, BishopSteps, occupied, 0, false)) << s;
            ASSERT_EQ(board.RookMask(sq), WalkRays(sq, RookSteps, occupied, 0, false)) << s;
            ASSERT_EQ(board.BishopCheckMask(sq, target),
                      WalkRays(sq, BishopSteps, occupied, target, true))
                << s;
            ASSERT_EQ(board.RookCheckMask(sq, target),
                      WalkRays(sq, RookSteps, occupied, target, true))
                << s;
        }
    }
}

TEST(Attacks, LeaperAndSliderSets) {
    ChessBoard start{};
    start.InitRep();
    ChessBoard empty{};
    struct Case {
        const char* name;
        Bitboard actual, expected;
    } cases[] = {
        {"knight a1", empty.KnightMask(Bit(A1)), Bit(B3) | Bit(C2)},
        {"knight h8", empty.KnightMask(Bit(H8)), Bit(G6) | Bit(F7)},
        {"knight g1", empty.KnightMask(Bit(G1)), Bit(E2) | Bit(F3) | Bit(H3)},
        {"knight a8", empty.KnightMask(Bit(A8)), Bit(B6) | Bit(C7)},
        {"king a1", empty.KingMask(Bit(A1)), Bit(A2) | Bit(B1) | Bit(B2)},
        {"king h5", empty.KingMask(Bit(H5)), Bit(H4) | Bit(H6) | Bit(G4) | Bit(G5) | Bit(G6)},
        {"rook a1, start", start.RookMask(Bit(A1)), Bit(A2) | Bit(B1)},
        {"bishop c1, start", start.BishopMask(Bit(C1)), Bit(B2) | Bit(D2)},
        {"no square", empty.RookMask(0) | empty.BishopMask(0) | empty.KnightMask(0), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
    EXPECT_EQ(PopCount(empty.BishopMask(Bit(D4))), 13);
    EXPECT_EQ(PopCount(empty.RookMask(Bit(D4))), 14);
}

TEST(Attacks, CheckMaskStopsAtTheCheckerOrDropsTheRay) {
    ChessBoard board = BoardFromFen("4k3/8/8/p7/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(board.BishopCheckMask(Bit(E1), Bit(A5)), Bit(D2) | Bit(C3) | Bit(B4) | Bit(A5));
    EXPECT_EQ(board.BishopCheckMask(Bit(E1), Bit(B5)), 0u);
    EXPECT_EQ(board.RookCheckMask(Bit(E1), Bit(E8)), 0x1010101010101000ULL);
}

TEST(Attacks, InCheckByEveryKindAndOnTheEdges) {
    struct Case {
        const char* fen;
        int square, colour, attacked;
    } cases[] = {
        {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", E1, White, 1}, // pawn d2
        {"4k3/8/8/8/8/8/5p2/4K3 w - - 0 1", E1, White, 1}, // pawn f2
        {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", E1, White, 0}, // pawn e2 does not attack e1
        {"4k3/8/8/8/8/8/1p6/K7 w - - 0 1", A1, White, 1},  // edge: b2 attacks a1
        {"4k3/8/8/8/8/8/p7/7K w - - 0 1", H1, White, 0},   // a2 pawn must not wrap to h1
        {"4k3/8/8/8/8/8/7p/K7 w - - 0 1", A1, White, 0},   // h2 pawn must not wrap to a1
        {"7k/P7/8/8/8/8/8/4K3 b - - 0 1", H8, Black, 0},   // a7 pawn must not wrap to h8
        {"7k/6P1/8/8/8/8/8/4K3 b - - 0 1", H8, Black, 1},
        {"k7/8/8/8/8/8/8/1n2K3 w - - 0 1", D2, White, 1}, // knight b1
        {"k7/8/8/8/8/8/8/r3K3 w - - 0 1", E1, White, 1},  // rook along the rank
        {"k7/8/8/8/8/8/8/r2NK3 w - - 0 1", E1, White, 0}, // blocked
        {"k7/8/8/q7/8/8/8/4K3 w - - 0 1", E1, White, 1},  // queen on the diagonal
        {"k7/8/8/8/8/8/4b3/4K3 w - - 0 1", E1, White, 0}, // bishop straight ahead
        {"8/8/8/8/8/8/4k3/K7 w - - 0 1", F1, White, 1},   // squares next to the enemy king
        {"k7/8/8/8/8/8/8/4K3 w - - 0 1", E1, White, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoardFromFen(c.fen).InCheck(Bit(c.square), c.colour), c.attacked) << c.fen;

    // An empty square argument: every mask of it is empty, so nothing attacks it.
    ChessBoard start{};
    start.InitRep();
    EXPECT_EQ(start.InCheck(0, White), 0);
    EXPECT_EQ(start.InCheck(0, Black), 0);
}

TEST(Attacks, OccludedFillAndRookReach) {
    ChessBoard board = BoardFromFen("4k3/8/4p3/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(board.NorthAttacks(Bit(E2), ~board.AllPieces), Bit(E3) | Bit(E4) | Bit(E5) | Bit(E6));
    EXPECT_EQ(board.SouthAttacks(Bit(E7), ~board.AllPieces), Bit(E6));
    // a1 rook: a2..a8 (7 squares, a8 empty) and b1..d1 (e1 is its own king).
    EXPECT_EQ(board.RookAttackCount(Bit(A1)), 10);
}

} // namespace
