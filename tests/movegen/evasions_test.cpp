#include <gtest/gtest.h>

#include "movegen/movegen_test_util.h"

namespace {

struct EvasionCase {
    const char* name;
    const char* fen; // the side to move is in check
    const char* expected;
};

TEST(CheckEvasions, ListsInOrder) {
    const EvasionCase cases[] = {
        {"double check by knight and bishop: king moves only",
         "4k3/8/8/8/1b6/3n4/8/1R2K3 w - - 0 1", "e1d1 e1f1 e1e2"},
        {"rook on the rank: the king cannot step away along it", "4k3/8/8/8/r3K3/8/8/8 w - - 0 1",
         "e4d3 e4e3 e4f3 e4d5 e4e5 e4f5"},
        {"the king takes an undefended checker", "4k3/8/8/8/8/8/4q3/4K3 w - - 0 1", "e1e2"},
        {"but not a defended one", "k7/4r3/8/8/8/8/4q3/4K3 w - - 0 1", ""},
        {"knight check: king moves, then captures of the knight by rook and pawn",
         "4k3/8/8/8/8/R4n2/6P1/2B1K3 w - - 0 1", "e1d1 e1f1 e1e2 e1f2 a3f3 g2f3"},
        {"distant rook: king, then knight, rook, bishop, pawn and queen moves onto the line",
         "k7/8/8/1Q2r3/3P4/2N4R/8/2B1K3 w - - 0 1",
         "e1d1 e1f1 e1d2 e1f2 c3e2 c3e4 h3e3 c1e3 d4e5 b5e2 b5e5"},
        {"interposing or taking on the last rank promotes (+7)", "r6K/1P6/8/8/8/8/8/k7 w - - 0 1",
         "h8g7 h8h7 b7b8Q b7a8Q"},
        {"taking on the last rank promotes (+9)", "2r4K/1P6/8/8/8/8/8/k7 w - - 0 1",
         "h8g7 h8h7 b7c8Q"},
        {"en passant takes the checking pawn, from both sides",
         "4k3/8/8/2PpP3/4K3/8/8/8 w - d6 0 1", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5 c5d6 e5d6"},
        {"Black en passant takes the checking pawn", "8/8/8/4k3/2pPp3/8/8/4K3 b - d3 0 1",
         "e5d4 e5f4 e5d5 e5f5 e5d6 e5e6 e5f6 c4d3 e4d3"},
        {"no en passant against a slider, even onto the blocking square",
         "4kb2/8/8/3pP3/8/K7/8/8 w - d6 0 1", "a3a2 a3b2 a3b3 a3a4"},
        {"pushes and double pushes onto the line, by target square",
         "4k3/8/8/8/r6K/5P2/1P1P4/8 w - - 0 1", "h4g3 h4h3 h4g5 h4h5 f3f4 b2b4 d2d4"},
        {"Black: a push onto the line, a promoting capture of the checker",
         "8/8/8/7k/5p2/8/2p5/K2Q4 b - - 0 1", "h5h4 h5g5 h5g6 h5h6 f4f3 c2d1q"},
        {"not in check: king moves only", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1",
         "e1d1 e1f1 e1d2 e1e2 e1f2"},
    };
    for (const EvasionCase& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        const ChessBoard before = board;
        MoveList list;
        int count = list.GenCheckEvasions(board.SideToMove, &board);
        EXPECT_EQ(ListText(list, count), c.expected) << c.name;
        EXPECT_EQ(list.Board, &board) << c.name;
        EXPECT_EQ(board.AllPieces, before.AllPieces) << c.name;
        EXPECT_EQ(board.WhitePieces | board.BlackPieces, before.WhitePieces | before.BlackPieces)
            << c.name;
    }
}

} // namespace
