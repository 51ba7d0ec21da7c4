// The engine: what a session searches with. A front end hands it a
// position, the game's positions before it and a request, and gets a
// result back; while the search runs, the front end's reporter hears of its
// progress and may stop it through the calls below.
#pragma once

#include <cstddef>

#include "search/request.h"
#include "search/threads.h"
#include "search/timecontrol.h"
#include "search/ttable.h"
#include "search/worker.h"

// The stack of any thread that runs Engine::Think. A search path holds at most 200 plies of
// alpha-beta frames plus one frame per internal iterative deepening (each takes 3 plies of depth,
// and depth never grows along a path: at most 67 more), then at most one quiescence frame per
// capture or promotion (under 50). At about 8 KB a frame (the move list) that is under 3 MB; the
// rest is margin for sanitizer builds.
constexpr size_t SearchStackBytes = size_t(64) << 20;

// The engine's settings, the table every thread shares, the clock, the
// main search and its helpers.
class Engine {
  public:
    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    TranspositionTable Table;
    TimeManager Time;
    SearchWorker Main{*this, false};
    HelperThreads Helpers{*this}; // declared last: its threads end before the rest goes

    // Searches `position`, whose game went through the positions of
    // `game`, as `request` asks, telling `reporter` of its progress.
    SearchResult Think(const ChessBoard& position, const MoveHistory& game,
                       const SearchRequest& request, SearchReporter& reporter);
    // The request and the reporter of the search in progress (or the last).
    const SearchRequest& Request() const { return CurrentRequest; }
    SearchReporter& Reporter() const { return *CurrentReporter; }

    // Calls on a running search, from its reporter's input hooks.
    // Stop now and play the best move found so far; ends a wait too.
    void Stop();
    // Stop now and make no move.
    void Abort();
    // The move pondered on was played: the search goes on under the clock
    // (see TimeManager::PonderHit).
    void PonderHit(bool countPondered);
    // The interface's clock for the side to move, in milliseconds.
    void UpdateClock(int timeLeftMs) { Time.UpdateClock(timeLeftMs); }
    // Where the search in progress stands.
    SearchProgress Progress() const;

    // Every thread's history cleared, as between two moves of a game.
    void ClearHistory();
    // A new game owes nothing to the last one: the same commands search the
    // same tree. Clears every thread's history, killers and pawn table and
    // the shared table.
    void NewGame();
    // The game is over, or another begins: the log sums up its clock.
    void GameOver();

  private:
    SearchRequest CurrentRequest;
    SearchReporter DefaultReporter;
    SearchReporter* CurrentReporter = &DefaultReporter;
};
