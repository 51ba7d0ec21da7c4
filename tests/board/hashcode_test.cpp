#include <gtest/gtest.h>

#include "test_util.h"

namespace {

struct Code {
    Bitboard upper, lower;
    bool operator==(const Code&) const = default;
};

Code HashOf(const ChessBoard& board, int side, int castle) {
    Code c;
    genhashcode(side, castle, &c.upper, &c.lower, &board);
    return c;
}

TEST(HashCode, FixedRandomSequence) {
    // The tables are filled from the first numbers of the sequence, high half first:
    // 60494271, 1217451684 for UPStable[0][0], then 928226186, 2816712964.
    EXPECT_EQ(UPStable[0][0], 0x039B11BF4890D6A4ULL);
    EXPECT_EQ(LPStable[0][0], 0x37539B8AA7E3A104ULL);
    EXPECT_EQ(UPStable[0][0] >> 32, 60494271u);
    EXPECT_EQ(LPStable[0][0] & 0xFFFFFFFF, 2816712964u);
}

TEST(HashCode, SideCastlingAndTranspositions) {
    ChessBoard empty{};
    EXPECT_EQ(HashOf(empty, White, 0), (Code{WtoMove ^ CastleCode[0], WtoMove ^ CastleCode[0]}));

    ChessBoard start{};
    start.InitRep();
    const Code white = HashOf(start, White, 15), black = HashOf(start, Black, 15);
    EXPECT_EQ(white.upper ^ black.upper, WtoMove ^ BtoMove);
    EXPECT_EQ(white.lower ^ black.lower, WtoMove ^ BtoMove);
    const Code noCastle = HashOf(start, White, 0);
    EXPECT_EQ(white.upper ^ noCastle.upper, CastleCode[15] ^ CastleCode[0]);
    EXPECT_NE(white.upper, white.lower);

    // 1. Nf3 Nf6 2. Nc3 and 1. Nc3 Nf6 2. Nf3 reach the same position.
    auto play = [](ChessBoard board, std::initializer_list<std::pair<int, int>> moves) {
        uint8_t mask;
        for (auto [from, to] : moves) board.MakeMove(Bit(from), Bit(to), NoPromotion, &mask);
        return board;
    };
    const ChessBoard a = play(start, {{G1, F3}, {G8, F6}, {B1, C3}});
    const ChessBoard b = play(start, {{B1, C3}, {G8, F6}, {G1, F3}});
    EXPECT_EQ(HashOf(a, Black, 15), HashOf(b, Black, 15));
    EXPECT_NE(HashOf(a, Black, 15), HashOf(start, Black, 15));

    // En passant is not part of the code.
    EXPECT_EQ(HashOf(BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"), White, 0),
              HashOf(BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"), White, 0));
}

} // namespace
