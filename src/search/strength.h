// Playing strength: what a level below full strength changes in a search.
// The search and the evaluation stay Vorn's own; a level gives the search
// fewer nodes, has the root look at its best few moves and plays one of
// them at random, a worse one more rarely, within a margin.
#pragma once

#include <cstdint>

struct StrengthLevel {
    bool Active = false; // false: full strength, and none of the rest applies
    int64_t Nodes = 0;   // the most nodes a move's search may take
    int Lines = 1;       // the best moves the root looks for
    // The choice among them: a move this much worse (in the search's
    // scores) than the best is played e times more rarely, and one worse
    // by more than the margin never.
    int Spread = 1;
    int Margin = 0;
    // No piece is left hanging in one move unless the best move leaves
    // as much hanging.
    bool KeepsPieces = false;
};

// The level that plays at about `elo` on the rating lists' scale; inactive
// for 0 and for FullStrengthElo and above.
StrengthLevel LevelOf(int elo);
