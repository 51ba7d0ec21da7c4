// Scores as the protocols print them: every score beyond what the
// evaluation can reach is a mate, also one whose distance drifted through
// the table, and a mate is never "in 0".
#include <gtest/gtest.h>

#include "search/search.h"

namespace {

TEST(ScoreOutput, MatesAndCentipawnsAsXboardAndUCIShowThem) {
    struct Case {
        int Score, Moves, Thinking;
    };
    const Case cases[] = {
        {0, 0, 0},
        {155, 0, 15},
        {-155, 0, -15},
        {99999, 0, 9999},   // the largest evaluation: centipawns
        {-99999, 0, -9999}, //
        {StalemateValue, 0, 0},
        {MateValue - 1, 1, 100001}, // mates in one ply, three plies
        {MateValue - 3, 2, 100002},
        {-(MateValue - 2), -1, -100001}, // mated after one move of each side
        {-(MateValue - 4), -2, -100002},
        {109790, 105, 100105}, // drifted below the search's own mate range
        {-109790, -105, -100105},
        {MateValue + 7, 1, 100001}, // drifted past a mate in one: at least one move
        {-MateValue, -1, -100001},
        {-(MateValue + 7), -1, -100001},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MateInMoves(c.Score), c.Moves) << c.Score;
        EXPECT_EQ(ThinkingScore(c.Score), c.Thinking) << c.Score;
    }
}

} // namespace
