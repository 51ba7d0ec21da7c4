#include <gtest/gtest.h>

#include "test_util.h"

namespace {

TEST(DisplayPiece, LettersAndTheErrorLinesOfAnInconsistentBoard) {
    struct Case {
        const char* name;
        void (*change)(ChessBoard&); // applied to the start position
        int square;
        const char* expected;
    } cases[] = {
        {"White king", [](ChessBoard&) {}, E1, "K "},
        {"Black knight", [](ChessBoard&) {}, G8, "n "},
        {"empty square", [](ChessBoard&) {}, E4, "- "},
        {"cleared board", [](ChessBoard& b) { b.ClearField(); }, E1, "- "},
        {"White without a piece board",
         [](ChessBoard& b) { b.WhitePieces |= Bit(E4), b.AllPieces |= Bit(E4); }, E4,
         "Major Error: DisplayPiece unknown White Piece\n "},
        {"occupied without a colour", [](ChessBoard& b) { b.AllPieces |= Bit(E4); }, E4,
         "Major Error: DisplayPiece has unknown Color\n "},
        {"Black without a piece board",
         [](ChessBoard& b) { b.BlackPieces |= Bit(E4), b.AllPieces |= Bit(E4); }, E4,
         "Major Error: DisplayPiece unknown Black Piece\n "},
    };
    for (const Case& c : cases) {
        ChessBoard board{};
        board.InitRep();
        c.change(board);
        EXPECT_EQ(CapturedStdout([&] { board.DisplayPiece(c.square); }), c.expected) << c.name;
    }
}

} // namespace
