// Positions as the console shows them.
#include <cstdio>

#include "eval/eval.h"
#include "frontend/frontend.h"

void DisplayPosition(const ChessBoard& board) {
    DisplayGrid([&board](int square) { board.DisplayPiece(square); });
    if (!MainStatus.Pev) {
        // Score the position shown, not whatever counts, draw flags and
        // pawn key the board was left with.
        ChessBoard shown = board;
        shown.RefreshMaterial();
        std::printf("\n PosEval from White view %d\n",
                    PE.PosEval(White, -FullWindow, FullWindow, &shown, 0));
    }
    std::fflush(stdout);
}
