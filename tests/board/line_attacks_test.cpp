// The sliders' table lookups against a step-by-step walk, on every square,
// every line through it and every pattern of blockers on that line, with
// men off the line that must not matter.
#include <gtest/gtest.h>

#include <random>

#include "board/board.h"

namespace {

constexpr int Steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}}; // as RankLine .. AntiDiagonalLine

Bitboard WalkLine(int s, int line, Bitboard occupied) {
    Bitboard attacks = 0;
    for (int sign = -1; sign <= 1; sign += 2) {
        for (int f = FileOf(s) + sign * Steps[line][0], r = RankOf(s) + sign * Steps[line][1];
             f >= 0 && f < 8 && r >= 0 && r < 8;
             f += sign * Steps[line][0], r += sign * Steps[line][1]) {
            attacks |= Bit(8 * r + f);
            if (occupied & Bit(8 * r + f)) break;
        }
    }
    return attacks;
}

TEST(LineAttacks, EqualTheWalkForEveryBlockerPattern) {
    std::mt19937_64 random(7);
    for (int s = 0; s < 64; ++s) {
        for (int line = RankLine; line <= AntiDiagonalLine; ++line) {
            const Bitboard squares = WalkLine(s, line, 0);
            // Every subset of the line's squares (Carry-Rippler enumeration).
            Bitboard blockers = 0;
            do {
                for (int trial = 0; trial < 4; ++trial) {
                    const Bitboard offLine = trial ? random() & ~squares : 0;
                    const Bitboard occupied = blockers | offLine | (trial == 3 ? Bit(s) : 0);
                    const Bitboard expected = WalkLine(s, line, occupied);
                    ASSERT_EQ(LineAttacks(s, line, occupied), expected)
                        << "square " << s << " line " << line << " occupied " << occupied;
                }
                blockers = (blockers - squares) & squares;
            } while (blockers);
        }
    }
}

TEST(LineAttacks, SlidersAreTheirLinesTogether) {
    std::mt19937_64 random(11);
    for (int trial = 0; trial < 200; ++trial) {
        const Bitboard occupied = random() & random();
        for (int s = 0; s < 64; ++s) {
            ASSERT_EQ(RookAttacks(s, occupied),
                      WalkLine(s, RankLine, occupied) | WalkLine(s, FileLine, occupied))
                << s;
            ASSERT_EQ(BishopAttacks(s, occupied),
                      WalkLine(s, DiagonalLine, occupied) | WalkLine(s, AntiDiagonalLine, occupied))
                << s;
        }
    }
}

} // namespace
