// What a front end asks of a search and what it gets back: the request that
// limits and shapes one search, the result, and the reporter through which
// the search tells its progress (the front end provides it and speaks).
#pragma once

#include <cstdint>

#include "board/board.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "search/score.h"
#include "search/timecontrol.h"

constexpr int MaxMultiPV = 64;
constexpr int DefaultMoveOverheadMs = 30;
constexpr int MaxMoveOverheadMs = 5000;
// The playing strengths a person may ask for, on the Elo scale of rating
// lists: from the weakest level to the figure that stands for Vorn's full
// strength (provisional until matches against rated engines calibrate it).
constexpr int MinStrengthElo = 1000;
constexpr int FullStrengthElo = 2400;

// Everything that limits or shapes one search. Times are milliseconds;
// a 0 limit is no limit.
struct SearchRequest {
    // The clock of the side to move: what is left, the increment (with its
    // fraction) and the moves to the next control (0: the rest of the game).
    int TimeLeftMs = 0;
    int IncrementMs = 0;
    int MovesToGo = 0;
    int MoveTimeMs = 0; // a fixed time a move (xboard st, UCI movetime)
    int FixedDepth = 0; // a search to this depth, without a clock
    int DepthLimit = 0; // the deepest iteration of any search
    int64_t Nodes = 0;  // the search stops after this many nodes
    // The search ends once it proves a mate in this many moves or fewer for
    // the side to move (other mates do not end it).
    int Mate = 0;
    bool Analyze = false; // no clock: the search runs until it is stopped
    bool Ponder = false;  // on the opponent's time, until a ponder hit or a stop
    // An analysis that has nothing left to search keeps its result until it
    // is stopped (UCI's infinite search); else it ends by itself.
    bool KeepsResultUntilStopped = false;
    // The only root moves searched (move codes); none: every move.
    int16_t SearchMoves[MoveList::MaxMoves] = {};
    int SearchMoveCount = 0;
    int MultiPV = 1; // the root's best lines looked for, each reported
    // What an interface or a network takes to pass a move on: set aside
    // before any time is planned.
    int MoveOverheadMs = DefaultMoveOverheadMs;
    bool UserBook = false;     // a timed search may play from the user's book
    bool BookHeaviest = false; // its heaviest move, not a weighted random one
    bool InternalBook = false; // the root asks the built-in book at the first iteration
    int GamePly = 1;           // the game's ply of the position searched
    // The game's positions handed to the search hold the root already;
    // else the search adds it.
    bool RootInRecord = true;
    // Half as long again for the first moves out of the book (the console's
    // and xboard's plan; a UCI interface plans its own openings).
    bool LongerOutOfBook = false;
    // Input is looked at every few thousand nodes, so that a command is
    // answered within milliseconds (an interface that expects it); else
    // every half second of search.
    bool QuickPolls = false;
    bool Trace = false; // diagnostics of the table's hits and the book
    // A level below full strength (MinStrengthElo up to FullStrengthElo);
    // 0 plays at full strength. A level shapes the moves of play: analyses
    // and mate searches ignore it.
    int StrengthElo = 0;
    // Seeds a level's choice among its best moves: the same seed, position
    // and request choose the same move.
    uint64_t StrengthSeed = 0;
};

// The clock of the move a request asks for, as the time control reads it.
inline MoveClock ClockOf(const SearchRequest& request) {
    MoveClock clock;
    clock.TimeLeftMs = request.TimeLeftMs;
    clock.IncrementMs = request.IncrementMs;
    clock.MovesToGo = request.MovesToGo;
    clock.MoveTimeMs = request.MoveTimeMs;
    clock.MoveOverheadMs = request.MoveOverheadMs;
    clock.GamePly = request.GamePly;
    clock.LongerOutOfBook = request.LongerOutOfBook;
    return clock;
}

// Statistics of one search, the main thread's own.
struct SearchCounts {
    int64_t InteriorNodes = 0;
    int64_t LeafInteriorNodes = 0;
    int64_t QuiesceNodes = 0;
};

// One of the root's lines: its depth, score and moves.
struct RootLine {
    int Depth = 0;
    int Score = 0;
    int Length = 0;
    PVEntry Moves[MaxSearchPly] = {};
};

// What a search answers.
struct SearchResult {
    GameMove Move{0, 0, NoPromotion}; // From == 0: no move to make
    int Score = 0;
    int Depth = 0;        // the last iteration's
    int DepthReached = 0; // the depth the time control saw finished
    RootLine Line;        // the root's line, the move first
    bool FromBook = false;
    bool Aborted = false; // stopped with no move to make
    SearchCounts Counts;
};

// A line of the root as the progress lines show it.
struct LineReport {
    int Depth = 0;
    int SelDepth = 0;
    int Score = 0;
    int MultiPV = 0;   // the line's number under MultiPV, 0 without
    int64_t Nodes = 0; // every thread's
    int64_t ElapsedMs = 0;
    int Hashfull = 0;       // permille of the table in use
    int64_t TableHits = -1; // positions found in the endgame tables; -1: tables off
    const char* Text = "";  // the moves, as fillmovestring writes them (" e2e4 e7e5 \n")
    // For LineEvent::Interrupted: 1 when the stop came in the move's reduced
    // or zero-window search, 2 in its full search; and the move's number.
    int Interruption = 0;
    int MoveNumber = 0;
};

// When a line is reported.
enum class LineEvent {
    NewBest,       // the root found a better move within an iteration
    Interrupted,   // a stop came inside a root move
    Stopped,       // the iteration ended on a stop, with this best move
    IterationDone, // an iteration's line (each of them under MultiPV)
    TableMove,     // the root was answered from the endgame tables
};

// The end of a search: the move chosen, with the figures the final lines show.
struct FinalReport {
    LineReport Line;          // at the last iteration's depth, the move first
    bool ShownAsLine = false; // MultiPV's first line showed it already
    bool FromBook = false;
    bool Aborted = false;
    int DepthReached = 0;
    int SecondsSpent = 0; // whole seconds of the last iteration's end
    int64_t OwnNodes = 0; // the main thread's
    int NPS = 0;
};

// Where a search stands, for a status line.
struct SearchProgress {
    int64_t ElapsedMs = 0;
    int64_t Nodes = 0;
    int Depth = 0;
    int MovesLeft = 0; // root moves not yet searched at this depth
    int MoveCount = 0;
};

// What a search tells the world, and when it gives the front end its
// chance to read input. The front end provides one for each protocol; the
// search never asks which protocol is spoken.
class SearchReporter {
  public:
    virtual ~SearchReporter() = default;

    virtual void SearchStarted() {}
    // An iteration of the root begins (MultiPV's later passes are not new ones).
    virtual void IterationStarted(int /*depth*/) {}
    virtual void Line(LineEvent /*event*/, const LineReport& /*line*/) {}
    // The root move being searched, in a long search.
    virtual void CurrentMove(const char* /*move*/, int /*number*/) {}
    // The first speed a timed search measured.
    virtual void SpeedMeasured(int /*nodesPerSecond*/, int64_t /*elapsedMs*/) {}
    // An analysis' speed, as each of its iterations begins.
    virtual void AnalysisSpeed(int /*nodesPerSecond*/, int64_t /*elapsedMs*/) {}
    // A move of the user's book, played without a search.
    virtual void BookMove(const char* /*move*/) {}
    // The built-in book answered the root.
    virtual void InternalBookMove() {}
    // Where an analysis stands, at its polls.
    virtual void Progress(const SearchProgress& /*progress*/) {}
    virtual void Finished(const FinalReport& /*report*/) {}
    // Traces and warnings that are not protocol.
    virtual void Diagnostic(const char* text) { WriteLogFile(text); }
    virtual void Log(const char* text) { WriteLogFile(text); }

    // The search's polls: the front end reads the input that waits and acts
    // on it through the engine (Stop, Abort, PonderHit, UpdateClock). True
    // when it read a line.
    virtual bool PollInput() { return false; }
    // The search has ended but keeps its result until a command releases
    // it: the front end waits for one command and acts on it. False when
    // there is none to wait for; the search then gives up its move.
    virtual bool AwaitCommand() { return false; }
};
