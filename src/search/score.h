// Scores: what a mate is worth, the bounds that tell a mate from an
// evaluation, and the forms in which the protocols show a score.
#pragma once

#include "tablebase/tablebase.h"

constexpr int MateValue = 110000;      // minus the ply: the side to move mates
constexpr int StalemateValue = 110001; // root result: no legal move, not in check
constexpr int WorstScore = -110200;    // a node's best before its first move
constexpr int MaxSearchPly = 200;      // rows of the principal variation and killers
constexpr int MaxIterationDepth = 100; // deepest iteration under the time control

// A score at or beyond this is a mate within the deepest iteration: the
// driver stops deepening on it, and static pruning keeps away from windows
// that reach it.
constexpr int MateInMaxDepth = MateValue - MaxIterationDepth;
// Scores beyond this (either way) are mates for the table. The search counts
// a mate's plies from the root; the table counts them from the node that
// stored it, so that the entry serves its position at whatever ply it turns
// up again. One test tells a mate on the way in and on the way out.
constexpr int TableMateBound = MateValue - MaxSearchPly;
// The reply to a null move that mates within this far tells the node that
// it is threatened with mate: its moves are searched a ply deeper.
constexpr int MateThreatBound = MateValue - 301;
// No evaluation of a real game comes near this: material alone passes it
// only with eight queens and every other piece against a bare king (a queen
// 9750, a rook 5000, a minor piece 3250). A score beyond it can only be a
// mate; xboard shows a mate in N moves as this plus N.
constexpr int MateScoreFloor = 100000;

// A node's or the root's score is a mate found by the search.
constexpr bool IsMateScore(int score) {
    return score >= MateInMaxDepth || (score >= -MateValue && score <= -MateInMaxDepth);
}

// The endgame tables' verdict as a score of the node at `ply`: their mates
// count from the root like the search's own.
constexpr int TableScore(const TableVerdict& verdict, int ply) {
    if (verdict.Outcome == TableWin) return MateValue - (ply + verdict.Plies);
    if (verdict.Outcome == TableLoss) return ply + verdict.Plies - MateValue;
    return 0;
}

// The moves to the mate that a score stands for, at least 1 (negative when
// the side to move is mated); 0 for a score that is no mate.
int MateInMoves(int score);
// A score as xboard's thinking lines, kibitz and the console show it:
// centipawns, or a mate in N moves as 100000 + N (-100000 - N when the
// engine is mated).
int ThinkingScore(int score);
