// The win/draw/loss model: permille that add up, move the right way with the
// score, mirror each other, and leave no doubt at a mate.
#include <gtest/gtest.h>

#include "search/search.h"
#include "search/wdl.h"
#include "test_util.h"

namespace {

// Every score of a real game, in steps of a tenth of a centipawn, and
// material from bare kings to past the start position (promotions).
constexpr int GridScore = 15000;
constexpr int GridMaterial = 100;

TEST(WinDrawLoss, MaterialCountsBothSides) {
    struct Case {
        const char* Fen;
        int Material;
    };
    const Case cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 78},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0},
        {"4k3/8/8/8/8/8/8/3QK3 b - - 0 1", 9},
        {"4k3/3r4/8/8/8/8/8/3QK3 w - - 0 1", 14},
        {"1n2k3/2b5/8/8/8/8/P7/4K3 w - - 0 1", 7},
        {"QQQQk3/8/8/8/8/8/8/4K3 b - - 0 1", 36}, // promoted queens count as queens
    };
    for (const Case& c : cases) EXPECT_EQ(WdlMaterial(BoardFromFen(c.Fen)), c.Material) << c.Fen;
}

TEST(WinDrawLoss, SharesAddUpAndFollowTheScore) {
    for (int material = 0; material <= GridMaterial; ++material) {
        WinDrawLoss previous = ScoreToWinDrawLoss(-GridScore, material);
        for (int score = -GridScore; score <= GridScore; ++score) {
            const WinDrawLoss wdl = ScoreToWinDrawLoss(score, material);
            ASSERT_EQ(wdl.Win + wdl.Draw + wdl.Loss, 1000) << score << " " << material;
            ASSERT_GE(wdl.Win, 0) << score << " " << material;
            ASSERT_GE(wdl.Draw, 0) << score << " " << material;
            ASSERT_GE(wdl.Loss, 0) << score << " " << material;
            ASSERT_GE(wdl.Win, previous.Win) << score << " " << material;
            ASSERT_LE(wdl.Loss, previous.Loss) << score << " " << material;
            const WinDrawLoss mirrored = ScoreToWinDrawLoss(-score, material);
            ASSERT_EQ(mirrored.Win, wdl.Loss) << score << " " << material;
            ASSERT_EQ(mirrored.Loss, wdl.Win) << score << " " << material;
            previous = wdl;
        }
        // The grid reaches both ends of the model: a clear win and a clear loss.
        EXPECT_GE(previous.Win, 990) << material;
        EXPECT_LE(ScoreToWinDrawLoss(-GridScore, material).Win, 10) << material;
    }
}

TEST(WinDrawLoss, AnEvenScoreIsEvenAndCanBeDrawn) {
    for (int material = 0; material <= GridMaterial; ++material) {
        const WinDrawLoss even = ScoreToWinDrawLoss(0, material);
        EXPECT_EQ(even.Win, even.Loss) << material;
        EXPECT_GT(even.Draw, 0) << material;
        // A root without moves that is no mate reports the stalemate score: a draw's.
        const WinDrawLoss stalemate = ScoreToWinDrawLoss(StalemateValue, material);
        EXPECT_EQ(stalemate.Win, even.Win) << material;
        EXPECT_EQ(stalemate.Loss, even.Loss) << material;
    }
}

TEST(WinDrawLoss, AMateLeavesNoDoubt) {
    struct Case {
        int Score;
        bool VornMates;
    };
    const Case cases[] = {
        {MateValue - 1, true}, {MateValue - 2 * MaxSearchPly, true},
        {109790, true}, // a distance shifted by the table: still a mate
        {MateValue + 7, true}, {-(MateValue - 2), false},
        {-109790, false},      {-(MateValue + 7), false},
    };
    for (const Case& c : cases)
        for (int material : {0, 40, 78}) {
            const WinDrawLoss wdl = ScoreToWinDrawLoss(c.Score, material);
            EXPECT_EQ(wdl.Win, c.VornMates ? 1000 : 0) << c.Score;
            EXPECT_EQ(wdl.Draw, 0) << c.Score;
            EXPECT_EQ(wdl.Loss, c.VornMates ? 0 : 1000) << c.Score;
        }
}

} // namespace
