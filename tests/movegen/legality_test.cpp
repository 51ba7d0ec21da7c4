#include <gtest/gtest.h>

#include "board/board.h"
#include "movegen/movegen_test_util.h"

namespace {

// Plain perft by make-and-test (the board's InCheck) that also checks, at
// every inner node, the legality count that perft uses at its last ply. leaves[d] counts the
// positions at depth d + 1.
void Walk(const ChessBoard& board, int side, int castleFlags, int depth,
          std::vector<uint64_t>& leaves, int ply, int& mismatches) {
    const Bitboard king = side == White ? board.WKing : board.BKing;
    MoveList list;
    const int count = board.InCheck(king, side) ? list.GenCheckEvasions(side, &board)
                                                : list.GenerateAllMoves(side, &board, castleFlags);
    int legal = 0;
    for (int i = 0; i < count; ++i) {
        uint8_t castleMask = 0;
        ChessBoard child = board;
        child.MakeMove(list.From[i], list.To[i], list.Promo[i], &castleMask);
        if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
        ++legal;
        if (depth > 1)
            Walk(child, side ^ 1, castleFlags & castleMask, depth - 1, leaves, ply + 1, mismatches);
    }
    leaves[ply] += legal;
    if (list.LegalMoveCount(side, count) != legal && mismatches++ < 5) {
        char fen[128];
        pos2fenString(board, fen);
        ADD_FAILURE() << "legality count differs from make-and-test: " << fen << " last move "
                      << LowestSquare(board.LastFrom | 1) << "-" << LowestSquare(board.LastTo | 1);
    }
}

TEST(LegalMoveCount, EqualsMakeAndTestAtEveryNodeOfTheSuite) {
    // Deep enough for castling, en passant, promotions, pins and checks to occur,
    // small enough for the sanitizer build.
    constexpr uint64_t MaxLeaves = 400000;
    for (const PerftCase& c : ReadPerftSuite(PerftSuitePath())) {
        int depth = 0;
        while (depth < int(c.Leaves.size()) && c.Leaves[depth] <= MaxLeaves) ++depth;
        ASSERT_GE(depth, 3) << c.Fen;
        ChessBoard board = BoardFromFen(c.Fen.c_str());
        std::vector<uint64_t> leaves(depth, 0);
        int mismatches = 0;
        Walk(board, board.SideToMove, board.CastleFlags, depth, leaves, 0, mismatches);
        EXPECT_EQ(mismatches, 0) << c.Fen;
        for (int d = 0; d < depth; ++d)
            EXPECT_EQ(leaves[d], c.Leaves[d]) << c.Fen << " depth " << d + 1;
    }
}

// Positions where a shortcut would go wrong: en passant that uncovers a rook
// on the rank, castling, a pinned piece, a check.
TEST(LegalMoveCount, SpecialMoves) {
    struct Case {
        const char* name;
        const char* fen;
        int legal;
    } cases[] = {
        {"en passant would expose the king on the rank", "8/8/8/KPp4r/8/8/8/4k3 w - c6 0 1", 4},
        {"en passant allowed", "8/8/8/KPp5/8/8/8/4k2r w - c6 0 1", 5},
        {"castling both sides", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 26},
        {"pinned bishop moves along the pin only", "4k3/8/8/8/8/2b5/3B4/4K3 w - - 0 1", 5},
        {"check answered by the king or a block", "4k3/8/8/8/1b6/5N2/8/4K2R w K - 0 1", 5},
    };
    for (const Case& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        std::vector<uint64_t> leaves(1, 0);
        int mismatches = 0;
        Walk(board, board.SideToMove, board.CastleFlags, 1, leaves, 0, mismatches);
        EXPECT_EQ(mismatches, 0) << c.name;
        EXPECT_EQ(leaves[0], uint64_t(c.legal)) << c.name;
    }
}

} // namespace
