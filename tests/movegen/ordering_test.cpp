#include <gtest/gtest.h>

#include <initializer_list>

#include "movegen/movegen.h"
#include "test_util.h"

namespace {

struct Entry {
    int from, to;
    char promo = NoPromotion;
};

// A move list on `board` holding exactly `entries`, in that order.
MoveList ListOf(ChessBoard& board, std::initializer_list<Entry> entries) {
    MoveList list;
    list.Board = &board;
    int count = 0;
    for (const Entry& e : entries) count = list.AddMove(count, Bit(e.from), Bit(e.to), e.promo);
    return list;
}

constexpr int16_t Code(int from, int to) { return static_cast<int16_t>(from * 64 + to); }

// A move on a position of its own, and its order value.
struct OneMove {
    const char* name;
    const char* fen;
    int from, to;
    int value;
};

Bitboard EnemyKing(const ChessBoard& board) {
    return board.SideToMove == White ? board.BKing : board.WKing;
}

// Each special value goes to the first entry that matches it and to no other.
TEST(MoveOrder, TableAndLineMovesKillersAndQuietBands) {
    ChessBoard board = BoardFromFen("4k3/P7/8/3p4/4P3/8/8/R3K2R w - - 0 1");
    const int16_t e4d5 = Code(E4, D5), a1a2 = Code(A1, A2), a7a8 = Code(A7, A8);
    const int16_t e1f1 = Code(E1, F1), h1h4 = Code(H1, H4);
    static int32_t history[2][4096];
    history[White][a1a2] = 1000; // >> 7 is 7
    history[White][e1f1] = 384;  // 3
    history[White][h1h4] = 255;  // 1
    const PVEntry none{0, 0}, pvA1A2{a1a2, NoPromotion}, pvH1H4{h1h4, NoPromotion};
    const PVEntry pvA7A8Q{a7a8, 'Q'};
    struct Case {
        const char* name;
        PVEntry pv;
        int16_t killers[2];
        int hashMove, nodeType;
        int values[6];
    } cases[] = {
        // 9750 + pawn 800 + the pawn's rise from the fourth to the fifth rank (270 - 160) - 3.
        {"no hints", none, {0, 0}, 0, 1, {10657, 7, 500, 4875, 3, 1}},
        {"table and PV moves", pvH1H4, {0, 0}, a1a2, 1, {10657, 29000, 500, 4875, 3, 28998}},
        {"no PV move at node type 3", pvH1H4, {0, 0}, a1a2, 3, {10657, 29000, 500, 4875, 3, 1}},
        {"PV before table move", pvA1A2, {0, 0}, a1a2, 2, {10657, 28998, 500, 4875, 3, 1}},
        {"table move at node type 3", pvA1A2, {0, 0}, a1a2, 3, {10657, 29000, 500, 4875, 3, 1}},
        {"killers, one a capture", none, {e4d5, e1f1}, 0, 1, {1020, 7, 500, 4875, 1010, 1}},
        // The table move is known by its squares only: the first promotion on them takes it.
        {"table move by code alone", none, {0, 0}, a7a8, 1, {10657, 7, 29000, 4875, 3, 1}},
        {"PV move by its promotion byte too", pvA7A8Q, {0, 0}, 0, 1, {10657, 7, 500, 28998, 3, 1}},
        {"a killer once", none, {a7a8, 0}, 0, 1, {10657, 7, 1020, 4875, 3, 1}},
    };
    // A pawn capture, a quiet rook move, an under-promotion and a queen promotion on the
    // same squares, then quiet king and rook moves.
    for (const Case& c : cases) {
        MoveList list =
            ListOf(board, {{E4, D5}, {A1, A2}, {A7, A8, 'N'}, {A7, A8, 'Q'}, {E1, F1}, {H1, H4}});
        const OrderHints hints{c.pv, {c.killers[0], c.killers[1]}, history};
        list.AssignMoveOrderValues(6, hints, EnemyKing(board), c.hashMove, c.nodeType);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(list.Order[i], c.values[i]) << c.name << ", entry " << i;
    }
}

// Captures: 9750 + victim + what the capturing piece adds; rooks and queens
// reaching the enemy king's file or rank add 28, captures or not.
TEST(MoveOrder, CaptureFormulaAndRoyalLines) {
    const OneMove cases[] = {
        {"knight takes a pawn on e6", "4k3/8/4p3/8/3N4/8/8/4K3 w - - 0 1", D4, E6,
         9750 + 800 + 160 - 10},
        {"Black knight takes a pawn on e3", "4k3/8/8/3n4/8/4P3/8/4K3 b - - 0 1", D5, E3,
         9750 + 800 + 160 - 10},
        {"rook takes a knight on an open file on the seventh", "4k3/3n4/8/8/8/8/8/3RK3 w - - 0 1",
         D1, D7, 9750 + 3248 + 200 + 350 - 19},
        {"Black rook takes a knight on an open file on the second",
         "3rk3/8/8/8/8/8/3N4/4K3 b - - 0 1", D8, D2, 9750 + 3248 + 200 + 350 - 19},
        {"rook takes on a file with its own pawn", "4k3/8/8/8/R2b4/8/3P4/4K3 w - - 0 1", A4, D4,
         9750 + 3250 - 19},
        {"pawn takes from e4 to d5, a passer", "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", E4, D5,
         9750 + 3248 + 270 - 160 - 3},
        {"enemy pawn beside the target is not ahead", "4k3/8/8/3np3/4P3/8/8/4K3 w - - 0 1", E4, D5,
         9750 + 3248 + 270 - 160 - 3},
        {"own pawn ahead does not stop it", "4k3/8/3P4/3n4/4P3/8/8/4K3 w - - 0 1", E4, D5,
         9750 + 3248 + 270 - 160 - 3},
        {"enemy pawn ahead on the next file", "4k3/8/2p5/3n4/4P3/8/8/4K3 w - - 0 1", E4, D5,
         9750 + 3248 - 3},
        {"Black pawn takes from d5 to e4, a passer", "4k3/8/8/3p4/4N3/8/8/4K3 b - - 0 1", D5, E4,
         9750 + 3248 + 270 - 160 - 3},
        {"Black pawn with a White pawn ahead", "4k3/8/8/3p4/4N3/5P2/8/4K3 b - - 0 1", D5, E4,
         9750 + 3248 - 3},
        {"bishop takes a rook", "4k3/8/8/3r4/8/1B6/8/4K3 w - - 0 1", B3, D5, 9750 + 5000 - 12},
        {"queen takes a queen", "4k3/8/8/3q4/8/8/8/3QK3 w - - 0 1", D1, D5, 9750 + 9750 - 38},
        {"king takes a pawn", "4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", E1, D2, 9750 + 800 - 14625},
        {"queen takes on the king's file", "8/4k3/8/8/Q3p3/8/8/3K4 w - - 0 1", A4, E4,
         9750 + 800 - 38 + 28},
        {"rook quietly onto the king's file", "4k3/8/8/8/R7/8/8/3K4 w - - 0 1", A4, E4, 28},
        {"rook quietly onto the king's rank", "4k3/8/8/8/8/8/8/R2K4 w - - 0 1", A1, A8, 28},
        {"Black rook onto the White king's file", "3k4/r7/8/8/8/8/8/4K3 b - - 0 1", A7, E7, 28},
        {"a knight on the king's file gets nothing", "4k3/8/8/8/8/8/5N2/3K4 w - - 0 1", F2, E4, 0},
    };
    static const int32_t noHistory[2][4096] = {};
    const OrderHints hints{{0, 0}, {0, 0}, noHistory};
    for (const OneMove& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        MoveList list = ListOf(board, {{c.from, c.to}});
        list.AssignMoveOrderValues(1, hints, EnemyKing(board), 0, 1);
        EXPECT_EQ(list.Order[0], c.value) << c.name;
    }
}

TEST(MoveOrder, QuietMovesReadTheMoversHistoryRow) {
    ChessBoard board = BoardFromFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
    static int32_t history[2][4096];
    history[White][Code(E8, D8)] = 12800;
    history[Black][Code(E8, D8)] = 640;
    MoveList list = ListOf(board, {{E8, D8}});
    list.AssignMoveOrderValues(1, OrderHints{{0, 0}, {0, 0}, history}, board.WKing, 0, 1);
    EXPECT_EQ(list.Order[0], 640 >> 7);
}

// Captures by victim, then by the cheaper attacker; quiet promotions next.
TEST(MoveOrder, QuiescenceValues) {
    const OneMove cases[] = {
        {"pawn takes a queen", "4k3/8/8/3q4/4P3/8/8/3QK3 w - - 0 1", E4, D5, 9750 - 3 + 10},
        {"queen takes a queen", "4k3/8/8/3q4/4P3/8/8/3QK3 w - - 0 1", D1, D5, 9750 - 38 + 10},
        {"rook takes a bishop", "4k3/8/8/3b4/8/8/8/3RK3 w - - 0 1", D1, D5, 3250 - 19 + 10},
        {"knight takes a knight", "4k3/8/8/3n4/8/4N3/8/4K3 w - - 0 1", E3, D5, 3248 - 12 + 10},
        {"bishop takes a rook", "4k3/8/8/3r4/8/1B6/8/4K3 w - - 0 1", B3, D5, 5000 - 12 + 10},
        {"king takes a pawn", "4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", E1, D2, 800 - 38 + 10},
        {"rook takes the king", "4k3/8/8/8/8/8/8/K3R3 b - - 0 1", E1, E8, 10000 - 19 + 10},
        {"pawn takes a rook and promotes", "r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", B7, A8,
         5000 - 3 + 10},
        {"White pawn promotes", "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", B7, B8, 750},
        {"Black pawn promotes", "4k3/8/8/8/8/8/1p6/4K3 b - - 0 1", B2, B1, 750},
        {"pawn push short of the last rank", "4k3/8/1P6/8/8/8/8/4K3 w - - 0 1", B6, B7, 0},
        {"en passant is no capture here", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6, 0},
        {"quiet knight move", "4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", B1, C3, 0},
    };
    for (const OneMove& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        MoveList list = ListOf(board, {{c.from, c.to}});
        list.QuiesceAssignMoveOrderValues(1);
        EXPECT_EQ(list.Order[0], c.value) << c.name;
    }
}

TEST(MoveOrder, QuiescencePicksPawnTakesQueenBeforeQueenTakesQueen) {
    ChessBoard board = BoardFromFen("4k3/8/8/3q4/4P3/8/8/3QK3 w - - 0 1");
    MoveList list;
    const int count = list.GenerateQuiesceMoves(White, &board);
    ASSERT_EQ(count, 3); // the queen's capture first, then the pawn's moves
    list.QuiesceAssignMoveOrderValues(count);
    Bitboard from, to;
    char promo;
    list.NextMove(0, count, &from, &to, &promo);
    EXPECT_EQ(from, Bit(E4));
    EXPECT_EQ(to, Bit(D5));
    list.NextMove(1, count, &from, &to, &promo);
    EXPECT_EQ(from, Bit(D1));
}

// The picker takes the greatest value left, the earliest of equals, and
// moves whole entries.
TEST(MoveOrder, NextMoveTakesTheBestLeftEarliestFirst) {
    ChessBoard board = BoardFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    MoveList list = ListOf(board, {{A1, A2, 'a'}, {B1, B2, 'b'}, {C1, C2, 'c'}, {D1, D2, 'd'}});
    const int values[] = {5, 9, 9, 1};
    for (int i = 0; i < 4; ++i) list.Order[i] = values[i];
    const Entry expected[] = {{B1, B2, 'b'}, {C1, C2, 'c'}, {A1, A2, 'a'}, {D1, D2, 'd'}};
    const int expectedValues[] = {9, 9, 5, 1};
    for (int i = 0; i < 4; ++i) {
        Bitboard from, to;
        char promo;
        list.NextMove(i, 4, &from, &to, &promo);
        EXPECT_EQ(from, Bit(expected[i].from)) << i;
        EXPECT_EQ(to, Bit(expected[i].to)) << i;
        EXPECT_EQ(promo, expected[i].promo) << i;
        EXPECT_EQ(list.Order[i], expectedValues[i]) << i;
    }
}

} // namespace
