#include <gtest/gtest.h>

#include <random>

#include "board/board.h"

namespace {

TEST(BitOps, ScansAndCountsAgreeOnEdgesAndRandomWords) {
    EXPECT_EQ(MybitScanForward(Bit(A1)), 1);
    EXPECT_EQ(MybitScanForward(Bit(H8)), 64);
    EXPECT_EQ(MyLog2(0), -1);
    EXPECT_EQ(MyLog2(Bit(H8)), 63);
    EXPECT_EQ(BSR(Bit(H8) | Bit(A1)), 63);
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000; ++i) {
        const Bitboard b = (random() & random()) | Bit(i % 64);
        ASSERT_EQ(MybitScanForward(b), LowestSquare(b) + 1) << b;
        ASSERT_EQ(SimpleBitCount(b), PopCount(b)) << b;
        ASSERT_EQ(MyLog2(b), BSR(b)) << b;
    }
}

} // namespace
