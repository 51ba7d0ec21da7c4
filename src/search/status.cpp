// The settings record and its new-game reset.
#include "search/search.h"

void Status::initVars() {
    Mimic = 0;
    GamePly = 1;
    GameInProgress = 1;
    SelfPlay = 0;
    OpponentToMove = 1;
    PERFT = 0;
    Bench = 0;
    SATrain = 0;
    DoTestSuite = 0;
    Post = 0;
    Pev = 0;
    Trace = 0;
    // A UCI interface sets these once; a new game must not undo them.
    if (uci != 1) {
        TimePerMove = 0;
        FD = 0;
        UseBook = 1;
        MovesPerSession = 0;
        DefaultMovesPerSession = 50;
        ST = 0;
    }
}
