// Positions as the console shows them.
#include <cstdio>

#include "eval/eval.h"
#include "frontend/session.h"

void DisplayPosition(const ChessBoard& board) {
    DisplayGrid([&board](int square) { board.DisplayPiece(square); });
    if (!Settings.Mode.Pev) {
        // Score the position shown, not whatever counts, draw flags and
        // pawn key the board was left with.
        ChessBoard shown = board;
        shown.RefreshMaterial();
        const int value =
            GameSession.Searcher->Main.Eval.PosEval(White, -FullWindow, FullWindow, &shown);
        // The suite runs keep the evaluation's own unit; a game shows
        // centipawns, as its thinking lines and Game Score do.
        const bool suite = Settings.Mode.DoTestSuite || Settings.Mode.Mimic;
        std::printf("\n PosEval from White view %d\n", suite ? value : value / 10);
    }
    std::fflush(stdout);
}
