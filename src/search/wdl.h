// The expected result of the game for the side to move, from the search's
// score and the material on the board: the win/draw/loss figures that
// interfaces show beside the score.
#pragma once

#include "board/board.h"

// Permille of the side to move's wins, draws and losses; they sum to 1000.
struct WinDrawLoss {
    int Win;
    int Draw;
    int Loss;
};

// Both sides' material as the model counts it: pawns 1, knights and bishops
// 3, rooks 5, queens 9 (78 in the start position).
int WdlMaterial(const ChessBoard& board);

// The expected result at `score` (the search's units: tenths of a centipawn,
// or a mate score; the side to move's view) with `material` on the board.
WinDrawLoss ScoreToWinDrawLoss(int score, int material);
inline WinDrawLoss ScoreToWinDrawLoss(int score, const ChessBoard& board) {
    return ScoreToWinDrawLoss(score, WdlMaterial(board));
}
