#include <gtest/gtest.h>

#include "movegen/movegen.h"
#include "test_util.h"

namespace {

// The exchange on `to` started by the side to move, as the quiescence search asks it.
int Exchange(const char* fen, int from, int to) {
    ChessBoard board = BoardFromFen(fen);
    return ExchangeEvaluator(board).StaticExchangeEvaluation(board.SideToMove ^ 1, Bit(from),
                                                             Bit(to));
}

TEST(StaticExchange, SwapListOfOneSquare) {
    struct Case {
        const char* name;
        const char* fen;
        int from, to;
        int gain;
    } cases[] = {
        {"pawn takes an undefended knight", "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", E4, D5, 3250},
        {"queen takes a pawn defended by a pawn", "4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1", D1, D5,
         800 - 9750},
        {"Black queen takes a pawn defended by a pawn", "3qk3/8/8/8/3P4/4P3/8/4K3 b - - 0 1", D8,
         D4, 800 - 9750},
        {"Black pawn takes an undefended knight", "4k3/8/8/4p3/3N4/8/8/4K3 b - - 0 1", E5, D4,
         3250},
        {"rook takes an undefended queen", "4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1", D1, D5, 9750},
        {"nothing to take, nothing attacks the square", "4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", B1, C3,
         0},
        {"a knight steps where a pawn takes it", "4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1", B1, C3,
         -3250},
        // Rd1 joins from behind Rd2 once Rd2 has captured: R takes N, R takes R, R takes R.
        {"rooks doubled on a file", "3rk3/8/8/3n4/8/8/3R4/3RK3 w - - 0 1", D2, D5, 3250},
        // Bb2 joins behind Qc3: the queen is lost for knight and pawn.
        {"bishop behind the queen on a diagonal", "4k3/6p1/5n2/8/8/2Q5/1B6/4K3 w - - 0 1", C3, F6,
         3250 + 800 - 9750},
        {"rook behind a rook on the rank, to its left", "4r2k/8/8/8/RR2n3/8/8/6K1 w - - 0 1", B4,
         E4, 3250},
        {"rook behind a rook on the rank, to its right", "k3r3/8/8/8/4n1RR/8/8/6K1 w - - 0 1", G4,
         E4, 3250},
        // Walking left from a4 leaves the board: Rh3 is not behind Ra4.
        {"no x-ray across the a-file edge", "3rk3/8/8/8/R2n4/7R/8/6K1 w - - 0 1", A4, D4,
         3250 - 5000},
        // a5 - 9 is h3 and h4 + 9 is a6: neither pawn guards the square across the edge.
        {"a White pawn on the h-file does not guard the a-file",
         "4k3/8/1q6/N7/8/7P/8/4K3 b - - 0 1", B6, A5, 3250},
        {"a Black pawn on the a-file does not guard the h-file", "4k3/8/p7/8/7n/8/8/4K2Q w - - 0 1",
         H1, H4, 3250},
        // Black recaptures with Nc6 before Qe8, so White's Nd3 gets to take a knight, not the
        // queen, and the rook is lost for a pawn.
        {"the least valuable defender recaptures first", "4q1k1/8/2n5/4p3/8/3N4/8/4R1K1 w - - 0 1",
         E1, E5, 800 - 5000},
        // The pushing pawn does not attack e8, so its bit is toggled in: after Ra8 takes on
        // e8 the pawn is counted again and takes the rook back, which nets 0, not -800.
        {"promotion push onto a square the rook guards", "r6k/4P3/8/8/8/8/8/7K w - - 0 1", E7, E8,
         0},
    };
    for (const Case& c : cases) EXPECT_EQ(Exchange(c.fen, c.from, c.to), c.gain) << c.name;
}

// The swap list keeps 16 bits, so a king counts 16960, the low half of 1000000.
TEST(StaticExchange, KingCountsAsTheLowHalfOfItsValue) {
    ChessBoard checked = BoardFromFen("4k3/8/8/8/8/8/8/K3R3 b - - 0 1");
    EXPECT_EQ(ExchangeEvaluator(checked).StaticExchangeEvaluation(Black, Bit(E1), Bit(E8)), 16960)
        << "rook takes the king";
    EXPECT_EQ(Exchange("4k3/8/8/2p5/3p4/4K3/8/8 w - - 0 1", E3, D4), 800 - 16960)
        << "king takes a pawn defended by a pawn";
    // Q takes P, K takes Q, Qd1 (behind Qd3) takes K, Qg8 (behind the king) takes Q. At 16960
    // the king is not worth the second queen to Black, so Black recaptures and the first
    // capture loses; with the full value the king would not recapture and it would win 800.
    EXPECT_EQ(Exchange("6q1/8/4k3/3p4/8/3Q4/8/K2Q4 w - - 0 1", D3, D5), 800 - 9750 + 16960 - 9750)
        << "king recaptures in the middle of the exchange";
}

TEST(StaticExchange, XrayWalkStopsAtTheFirstPieceAndAtTheEdge) {
    struct Case {
        const char* name;
        const char* fen;
        int square, direction;
        Bitboard added;
    } cases[] = {
        {"rook up the file", "2k1r3/8/8/8/4R3/8/8/2K5 w - - 0 1", E4, 8, Bit(E8)},
        {"queen down the file", "2k5/8/8/8/4R3/8/8/2K1q3 w - - 0 1", E4, -8, Bit(E1)},
        {"bishop on a file is no x-ray", "2k1b3/8/8/8/4R3/8/8/2K5 w - - 0 1", E4, 8, 0},
        {"rook on a diagonal is no x-ray", "2k5/7r/8/8/4B3/8/8/2K5 w - - 0 1", E4, 9, 0},
        {"bishop up the diagonal", "2k5/7b/8/8/4B3/8/8/2K5 w - - 0 1", E4, 9, Bit(H7)},
        {"a knight in front hides the rook", "2k1r3/4n3/8/8/4R3/8/8/2K5 w - - 0 1", E4, 8, 0},
        // Each piece below stands where one more step would land without the edge test.
        {"left of the a-file is the h-file", "2k5/8/8/8/R7/7r/8/2K5 w - - 0 1", A4, -1, 0},
        {"right of the h-file is the a-file", "2k5/8/8/r7/7R/8/8/2K5 w - - 0 1", H4, 1, 0},
        {"up-right from the h-file", "2k5/8/b7/8/7B/8/8/2K5 w - - 0 1", H4, 9, 0},
        {"down-right from the h-file", "2k5/8/8/8/b6B/8/8/2K5 w - - 0 1", H4, -7, 0},
        {"up-left from the a-file", "2k5/8/8/8/B6b/8/8/2K5 w - - 0 1", A4, 7, 0},
        {"down-left from the a-file", "2k5/8/8/8/B7/8/7b/2K5 w - - 0 1", A4, -9, 0},
    };
    for (const Case& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        EXPECT_EQ(ExchangeEvaluator(board).AddXrayAttacker(0, c.square, c.direction), c.added)
            << c.name;
    }
}

TEST(StaticExchange, DirectionFromTargetTowardsCapturer) {
    struct Case {
        int to, from, step;
    } cases[] = {
        {E4, E8, 8}, {E4, E1, -8}, {E4, H4, 1},  {E4, A4, -1}, {E4, H7, 9},
        {E4, A8, 7}, {E4, H1, -7}, {E4, B1, -9}, {E4, E4, 0},  {E4, F6, 0},
        {H1, A2, 0}, {A1, H8, 9},  {H8, A1, -9}, {A8, H1, -7}, {H1, A8, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(Direction[c.to][c.from], c.step) << c.to << ' ' << c.from;
}

TEST(StaticExchange, ValueOfTheCapturedPiece) {
    ChessBoard board = BoardFromFen("k7/8/8/8/8/8/PNBRQK2/8 b - - 0 1");
    const int values[] = {800, 3250, 3250, 5000, 9750, 1000000, 0}; // a2 .. g2
    for (int square = A2; square <= G2; ++square) {
        EXPECT_EQ(ValueCapturedPiece(Black, Bit(square), board), values[square - A2]) << square;
        EXPECT_EQ(ValueCapturedPiece(White, Bit(square), board), 0) << "own piece " << square;
    }
}

} // namespace
