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

int PlayingElo(const EngineOptions& options) {
    const int elo = options.LimitStrength ? options.LimitElo : SkillLevelElo(options.SkillLevel);
    return elo >= FullStrengthElo ? 0 : elo;
}

namespace {

// The moves to the next control. A UCI interface counts them down itself;
// xboard's and the console's level gives the moves of every session, and
// the game's move number tells how far into its session the game is.
int MovesToControl(const Status& status) {
    const int session = status.Limits.MovesPerSession;
    if (status.Mode.uci || session <= 0) return session;
    return session - (MoveNumberOfPly(status.Game.GamePly) - 1) % session;
}

} // namespace

SearchRequest RequestFromSettings(const Status& status, int depthLimit) {
    const bool tool = status.Mode.Bench || status.Mode.DoTestSuite;
    SearchRequest request;
    request.TimeLeftMs = status.Limits.TimeLeft;
    request.IncrementMs = status.Limits.TimeIncMs;
    request.MovesToGo = MovesToControl(status);
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
    // The tools measure the search itself.
    request.StrengthElo = tool ? 0 : PlayingElo(status.Options);
    request.StrengthSeed = status.Options.StrengthSeed;
    return request;
}
