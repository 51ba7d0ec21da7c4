// The settings record and its new-game reset.
#include "search/search.h"

void Status::initVars() {
    Mode.Mimic = 0;
    Game.GamePly = 1;
    Game.GameInProgress = 1;
    Game.SelfPlay = 0;
    Game.OpponentToMove = 1;
    Mode.PERFT = 0;
    Mode.Bench = 0;
    Mode.SATrain = 0;
    Mode.DoTestSuite = 0;
    Options.Post = 0;
    Mode.Pev = 0;
    Mode.Trace = 0;
    // A UCI interface sets these once; a new game must not undo them.
    if (Mode.uci != 1) {
        Timing.TimePerMove = 0;
        Limits.FD = 0;
        Options.UseBook = 1;
        Limits.MovesPerSession = 0;
        Limits.DefaultMovesPerSession = 50;
        Limits.ST = 0;
    }
}
