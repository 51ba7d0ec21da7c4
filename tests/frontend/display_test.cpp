// The console's picture of a position: the grid and the evaluation line.
#include <gtest/gtest.h>

#include <string>

#include "eval/eval_test_util.h"
#include "frontend/frontend.h"

namespace {

TEST(DisplayPosition, EndsWithTheEvaluationOfThePositionShown) {
    const char* fen = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";
    ChessBoard fresh = EvalBoard(fen);
    const int expected = FullEval(fresh, White);

    // Stale counters, flags and key must not leak into the line.
    ChessBoard stale = fresh;
    stale.WQueenCount = 3;
    stale.BPawnCount = 0;
    stale.DrawFlags = 0;
    stale.PawnKingKey ^= 0x5A5A5A5Au;
    Settings.Mode.Pev = 0;
    // In tenths of a centipawn in a suite run, in centipawns in a game.
    Settings.Mode.DoTestSuite = 1;
    std::string shown = CapturedStdout([&] { DisplayPosition(stale); });
    EXPECT_NE(shown.find("\n   A B C D E F G H\n\n PosEval from White view " +
                         std::to_string(expected) + "\n"),
              std::string::npos)
        << shown;
    Settings.Mode.DoTestSuite = 0;
    ChessBoard rookUp = EvalBoard("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
    const int rookValue = FullEval(rookUp, White);
    ASSERT_GT(rookValue, 1000);
    shown = CapturedStdout([&] { DisplayPosition(rookUp); });
    EXPECT_NE(shown.find("\n PosEval from White view " + std::to_string(rookValue / 10) + "\n"),
              std::string::npos)
        << shown;

    Settings.Mode.Pev = 1;
    const std::string quiet = CapturedStdout([&] { DisplayPosition(stale); });
    EXPECT_EQ(quiet.find("PosEval"), std::string::npos);
    Settings.Mode.Pev = 0;
}

} // namespace
