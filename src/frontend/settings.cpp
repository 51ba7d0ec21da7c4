// The settings record, its new-game reset and the requests made from it.
#include "frontend/settings.h"

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
        Limits.FD = 0;
        Options.UseBook = 1;
        Limits.MovesPerSession = 0;
        Limits.DefaultMovesPerSession = 50;
        Limits.ST = 0;
    }
}

Status Settings;

SearchRequest RequestFromSettings(const Status& status, int depthLimit) {
    const bool tool = status.Mode.Bench || status.Mode.DoTestSuite;
    SearchRequest request;
    request.TimeLeftMs = status.Limits.TimeLeft;
    request.IncrementMs = status.Limits.TimeIncMs;
    request.MovesToGo = status.Limits.MovesPerSession;
    request.MoveTimeMs = status.Limits.ST;
    request.FixedDepth = status.Limits.FD;
    request.DepthLimit = depthLimit;
    request.Analyze = status.Limits.Analyze;
    request.Ponder = status.Limits.Ponder;
    request.MultiPV = status.Options.MultiPV;
    request.MoveOverheadMs = status.Options.MoveOverheadMs;
    request.UserBook = status.Options.UseBook && !status.Options.NoBook && !tool;
    request.BookHeaviest = status.Options.BookHeaviest;
    request.InternalBook = status.Options.UseBook && !status.Mode.Bench;
    request.GamePly = status.Game.GamePly;
    // The xboard driver adds the root to the game's record itself.
    request.RootInRecord = !status.Mode.xboard;
    request.LongerOutOfBook = !status.Mode.uci;
    request.QuickPolls = status.Mode.uci;
    request.Trace = status.Mode.Trace;
    return request;
}
