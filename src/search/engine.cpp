// The engine's calls: a search asked for and answered, and the calls that
// the front end makes on a search in progress.
#include "search/engine.h"

#include <cstdio>

#include "platform/platform.h"

SearchResult Engine::Think(const ChessBoard& position, const MoveHistory& game,
                           const SearchRequest& request, SearchReporter& reporter) {
    CurrentRequest = request;
    CurrentReporter = &reporter;
    SearchResult result = Main.ProgressiveDeepening(game, position);
    CurrentReporter = &DefaultReporter;
    return result;
}

void Engine::Stop() {
    Main.Pondering = Main.Analysing = 0;
    Main.StopSearch = Main.TimeUp = 1;
}

void Engine::Abort() {
    Main.Pondering = Main.Analysing = 0;
    Main.AbortSearch();
}

void Engine::PonderHit(bool countPondered) {
    Main.Pondering = 0;
    char text[64];
    std::snprintf(text, sizeof text, "Ponder hit after %lld ms of pondering",
                  static_cast<long long>(Time.ElapsedMs(ClockMs())));
    CurrentReporter->Log(text);
    // Not counted: the move's nodes count from now on too; the pondering's
    // speed stands until this search measures its own. (A level's budget
    // covers the move, the pondering included: its nodes stay counted.)
    if (!countPondered && !Main.Level.Active)
        Main.InteriorNodes = Main.LeafInteriorNodes = Main.QuiesceNodes = 0;
    Time.PonderHit(countPondered, ClockMs());
    Main.RearmPoll();
}

SearchProgress Engine::Progress() const {
    return SearchProgress{Time.ElapsedMs(ClockMs()), Main.NodeCount(), Main.IterationDepth,
                          Main.RootMoveCount - Main.RootMoveIndex, Main.RootMoveCount};
}

void Engine::ClearHistory() {
    Main.ClearHistory();
    Helpers.ForEachWorker([](SearchWorker& worker) { worker.ClearHistory(); });
}

void Engine::GameOver() {
    char text[256];
    Time.EndGame().Describe(text, sizeof text);
    if (*text) LogPrintf("%s\n", text);
}

void Engine::NewGame() {
    Main.ForgetGame();
    Helpers.ForEachWorker([](SearchWorker& worker) { worker.ForgetGame(); });
    Table.ClearTranspositionTables();
}
