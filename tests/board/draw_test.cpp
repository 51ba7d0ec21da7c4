#include <gtest/gtest.h>

#include "test_util.h"

namespace {

TEST(Draw, MaterialFiftyMovesAndWrongBishop) {
    struct Case {
        const char* fen;
        int result;
    } cases[] = {
        {"8/8/3k4/8/8/4K3/8/8 w - - 0 1", MaterialDraw},
        {"8/8/3k4/8/8/4K3/8/6N1 w - - 0 1", MaterialDraw},
        {"8/8/3k4/8/8/4K3/8/5NN1 w - - 0 1", MaterialDraw},
        {"8/8/3k4/8/8/4K3/8/4NNN1 w - - 0 1", NoDraw},
        {"8/8/3k1b2/8/8/4K3/8/5B2 w - - 0 1", MaterialDraw},
        {"8/8/3k1b2/8/8/4K3/8/6B1 w - - 0 1", MaterialDraw},
        {"8/8/8/8/8/2k5/8/K5N1 w - - 0 1", NoDraw}, // corner king, kings two apart
        {"8/8/8/8/8/2k5/8/K5N1 w - - 100 1", FiftyMoveDraw},
        {"8/8/8/8/2k5/8/8/K5N1 w - - 0 1", MaterialDraw}, // corner king, kings three apart
        {"4k3/4p3/8/8/8/8/4P3/4K3 w - - 100 1", FiftyMoveDraw},
        {"4k3/4p3/8/8/8/8/4P3/4K3 w - - 99 1", NoDraw},
        {"7k/8/8/7P/8/8/8/1B2K3 w - - 0 1", MaterialDraw}, // b1 is light
        {"7k/8/8/7P/8/8/8/2B1K3 w - - 0 1", NoDraw},       // c1 is dark
        {"5k2/8/8/7P/8/8/8/1B2K3 w - - 0 1", NoDraw},      // king away from the corner
        {"k7/8/8/P7/8/8/8/2B1K3 w - - 0 1", MaterialDraw}, // c1 is dark, a8 light
        {"k7/8/8/P7/8/8/8/1B2K3 w - - 0 1", NoDraw},
        {"4k3/8/8/8/7p/8/8/2b3K1 w - - 0 1", MaterialDraw}, // c1 dark cannot cover h1
        {"4k3/8/8/8/7p/8/8/1b4K1 w - - 0 1", NoDraw},
        {"4k3/8/8/8/p7/8/8/1K3b2 w - - 0 1", MaterialDraw}, // f1 light cannot cover a1
        {"7k/8/8/7P/8/8/8/1B1NK3 w - - 0 1", NoDraw},       // an extra knight
    };
    for (const Case& c : cases) EXPECT_EQ(BoardFromFen(c.fen).CheckDraw(0), c.result) << c.fen;
}

TEST(Draw, MatingMaterialFlags) {
    ChessBoard start = BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    start.CheckDraw(0);
    EXPECT_EQ(start.DrawFlags, '!');
    ChessBoard bishopVsRook = BoardFromFen("4k3/8/8/8/8/8/8/r3KB2 w - - 0 1");
    bishopVsRook.CheckDraw(0);
    EXPECT_EQ(bishopVsRook.DrawFlags, BlackCanMate);
}

TEST(Draw, FiftyMoveCounterOfTheGameLoop) {
    ChessBoard board = BoardFromFen("4k3/4p3/8/8/8/8/4P3/R3K3 w - - 98 1");
    EXPECT_FALSE(board.Test50MoveRule(A1, A2)); // 99
    EXPECT_TRUE(board.Test50MoveRule(A2, A3));  // 100
    EXPECT_FALSE(board.Test50MoveRule(E2, E4)); // a pawn move resets
    EXPECT_EQ(board.FiftyMoveCount, 0);
    board.FiftyMoveCount = 50;
    EXPECT_FALSE(board.Test50MoveRule(A1, E7)); // so does a capture
    EXPECT_EQ(board.FiftyMoveCount, 0);
}

} // namespace
