// One thread's search: the alpha-beta and quiescence searches, the root,
// MultiPV and iterative deepening, with everything they change as they
// search.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>

#include "board/board.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "search/repetitions.h"
#include "search/request.h"
#include "search/score.h"
#include "search/strength.h"
#include "search/ttable.h"

// Node types.
constexpr int PVNode = 1;
constexpr int CutNode = 2; // children of the other kinds alternate between 2 and 3
constexpr int AllNode = 3;

// What a node of the alpha-beta search is asked: the side to move and its
// window, the depth left, its place in the line and what its parent knows.
struct SearchNode {
    int Side = White;
    int Alpha = 0, Beta = 0;
    int Depth = 0;
    int Ply = 0;
    bool NullAllowed = true; // not below a null move, nor in internal iterative deepening
    int CastleRights = 0;
    int InCheck = 0; // 1 when the side to move is in check (an extension counts it)
    int Type = 0;    // PVNode, CutNode or AllNode

    // The node after a move of this one's side: the other side to move, one
    // ply deeper, null moves allowed again; its window, depth and type are
    // given with With.
    SearchNode Child(int castleRights, int inCheck) const {
        return {Side ^ 1, 0, 0, 0, Ply + 1, true, castleRights, inCheck, 0};
    }
    // This node searched with the window (alpha, beta), `depth` left, as a
    // node of `type`.
    SearchNode With(int alpha, int beta, int depth, int type) const {
        SearchNode node = *this;
        node.Alpha = alpha;
        node.Beta = beta;
        node.Depth = depth;
        node.Type = type;
        return node;
    }
};

// A count that one thread raises while others may read it (the totals of
// every thread's nodes): relaxed atomic accesses, as cheap as plain ones.
class NodeCounter {
  public:
    NodeCounter(int64_t value = 0) : Value(value) {}
    NodeCounter(const NodeCounter& other) : Value(int64_t(other)) {}
    NodeCounter& operator=(const NodeCounter& other) { return *this = int64_t(other); }
    NodeCounter& operator=(int64_t value) {
        Value.store(value, std::memory_order_relaxed);
        return *this;
    }
    NodeCounter& operator++() { return *this = int64_t(*this) + 1; }
    NodeCounter& operator+=(int64_t amount) { return *this = int64_t(*this) + amount; }
    operator int64_t() const { return Value.load(std::memory_order_relaxed); }

  private:
    std::atomic<int64_t> Value;
};

// What one pass over the root moves found: its score and its move.
struct RootAnswer {
    int Score = 0;
    GameMove Move{0, 0, NoPromotion};
};

class Engine;

// One thread's search: what it changes as it searches (its counters,
// killers, history, lines, repetition record and evaluator) is its own;
// the table, the request and the helpers are its engine's.
class SearchWorker {
  public:
    SearchWorker(Engine& engine, bool helper);
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    Engine& Owner;
    TranspositionTable& Table;
    // The stops may be set by another thread (the main one stops its
    // helpers) or by the front end at a poll.
    std::atomic<uint8_t> TimeUp = 0;     // finish the iteration in progress and stop
    std::atomic<uint8_t> StopSearch = 0; // every node returns 0 at once
    std::atomic<uint8_t> Abort = 0;      // stopped, and no move is to be made
    // The search runs on the opponent's time until a ponder hit; an
    // analysis has no clock. A stop ends both.
    std::atomic<uint8_t> Pondering = 0;
    std::atomic<uint8_t> Analysing = 0;
    uint8_t FailingLow = 0;
    int64_t NodesToPoll = 0;
    int32_t History[2][4096] = {};
    int32_t HistoryMax = 0;
    int32_t RootMoveIndex = 0;
    int32_t RootMoveCount = 0;
    int32_t IterationDepth = 0;
    // Beyond this ply a node of the iteration is a leaf, whatever depth it has left.
    int32_t MaxPly = 0;
    // Probes of the table that cut off, and those that did not, since
    // the program started: the benchmarks total them over their positions.
    int64_t CacheHits = 0;
    int64_t CacheMisses = 0;
    // The evaluation of this search, with its own scratch and pawn table.
    PositionEvaluate Eval;
    // The game's positions, as the driver hands them on, and those of the
    // line being searched.
    MoveHistory Repetitions;
    // Row p: the best line from ply p in entries p, p + 1, ... up to
    // PVLength[p] (exclusive). Row 0 is the root's: its entry 0 is the move
    // and its line ends at RootPVLength.
    PVEntry PV[MaxSearchPly][MaxSearchPly] = {};
    int16_t PVLength[MaxSearchPly] = {};
    int16_t Killers[MaxSearchPly][2] = {};
    int32_t RootPVLength = 0;
    NodeCounter InteriorNodes = 0;
    NodeCounter LeafInteriorNodes = 0;
    NodeCounter QuiesceNodes = 0;
    // A helper thread's search: it neither reads input nor watches the clock
    // (the main thread stops it), takes no book move and reports nothing.
    const bool Helper;
    uint8_t BookMove = 0;
    int32_t BestChanges = 0;
    int32_t RootLegalMoves = 0;
    int32_t RunnerUp = 0;
    int32_t LastScore = 0;
    // Whole seconds the search had run at its last iteration's end.
    int32_t SecondsSpent = 0;
    // The depth at which the last timed search saw half its plan spent (a
    // fixed depth's own depth); it stands until another search sets it.
    int32_t DepthReached = 0;
    // The deepest ply this search has reached.
    int32_t SelDepth = 0;
    // MultiPV: the lines the root looks for (at most the moves it may
    // search), the moves earlier passes of the iteration took (each pass
    // leaves them out and finds the best of the rest), the passes of the
    // iteration that ran to the end, and the lines of the last completed
    // depth, best first.
    int32_t RootLineTarget = 1;
    int16_t ExcludedMoves[MaxMultiPV] = {};
    int32_t ExcludedCount = 0;
    int32_t PassesDone = 0;
    RootLine Lines[MaxMultiPV];
    int32_t LineCount = 0;
    // Positions of this move's search found in the endgame tables.
    NodeCounter TableHits = 0;
    // The root was in the tables: its move and score are theirs, and
    // deeper iterations have nothing to add.
    uint8_t TableRoot = 0;
    // The level this move is played at (inactive at full strength), the
    // nodes the search may take (the request's limit, or the level's when
    // that is lower; 0: no limit), a mate in one the level plays (From == 0:
    // none), and the root moves the level leaves out: those that allow a
    // mate in one while another move parries it.
    StrengthLevel Level;
    int64_t NodeLimit = 0;
    GameMove LevelMate{0, 0, NoPromotion};
    int16_t BarredMoves[MoveList::MaxMoves] = {};
    int32_t BarredCount = 0;

    // Each searches `board` without changing its position (only its draw
    // flags, which the draw test sets); every move is made on a copy.
    int Quiesce(int side, int alpha, int beta, ChessBoard& board, int ply);
    int AlphaBeta(const SearchNode& node, ChessBoard& board);
    // One pass over the root moves to `depth` with the full window.
    RootAnswer SearchTreeRoot(ChessBoard board, int depth);
    // Whether the root searches the move: one the interface named, if it
    // named any, none an earlier MultiPV pass took and none the level left out.
    bool SearchesRootMove(int code) const;
    // Thinks under the engine's request about `board`, whose game went
    // through the positions of `game`.
    SearchResult ProgressiveDeepening(const MoveHistory& game, ChessBoard board);
    // One root search to `depth` (200 for depth <= 0), with the root added
    // to the game's positions.
    SearchResult SearchExactDepth(const MoveHistory& game, ChessBoard board, int depth);

    // The table's probe, counted as a hit or a miss.
    int ProbeTable(uint64_t upper, uint64_t lower, int depth, int ply, int alpha, int beta,
                   int* value, int* move);

    void ClearHistory();
    // What one game taught the search and the next must not inherit: the
    // history, the killers and the pawn table.
    void ForgetGame();
    void AddHistory(int side, int move, int depth);
    void AbortSearch() { Abort = StopSearch = TimeUp = 1; }
    int64_t NodeCount() const { return InteriorNodes + QuiesceNodes; }
    // The nodes and table hits that the progress lines report: the main
    // search's own and those of its helpers.
    int64_t ReportedNodes() const;
    int64_t ReportedTableHits() const;

    // The periodic check: input, the node budget and the wall clock. True
    // when the node must return 0.
    bool PeriodicCheck();
    void RearmPoll();

  private:
    const SearchRequest& Request() const;
    SearchReporter& Reporter() const;
    // A line for the log and one that is not protocol (a trace, a warning).
    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void Diagnostic(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // A mate score that ends the iterations: any mate, or under a mate
    // search (UCI "go mate N") a mate in N or fewer for the side to move,
    // or a root without a legal move.
    bool MateEndsSearch(int score) const;
    // A search under the clock, not an analysis, a ponder search or a fixed depth.
    bool Timed() const;
    // A ponder search, and an analysis that keeps its result until stopped,
    // wait for the front end once they have nothing left to search.
    bool WaitsForCommand() const;
    void ResetForMove(ChessBoard& board);
    // Nodes between two polls of the input.
    int64_t InputPollInterval() const;
    // The search's result and its final report, for `move` with `score`.
    SearchResult Conclude(const ChessBoard& board, GameMove move, int score);
    // Looks the root up in the user's book when this search may play from it;
    // on a hit the move and the root line are the book's.
    bool PlayUserBookMove(const ChessBoard& board);
    // Answers the root from the endgame tables when it is in them: the move
    // that keeps their verdict, the line that follows it, and the score.
    bool PlayTableMove(const ChessBoard& board, int depth, RootAnswer* answer);
    // Takes the search's speed, and reports the first figure of a timed search.
    void MeasureSpeed(const char* context);
    // The next poll in `nodes` nodes, or at the node limit if that comes first.
    void ArmPoll(int64_t nodes);
    // The root's line from (from, to) on, as fillmovestring writes it.
    void LineText(char* out, const GameMove& move) const;
    // A line report at `depth` with `score` and the root line's text.
    LineReport ReportOf(int depth, int score, const char* text, int multiPV = 0) const;
    void ReportInterruption(int kind, int depth, int index, int legal, int count,
                            const GameMove& best);
    // The root's legal moves that it may search (the interface may restrict them).
    int SearchableRootMoves(const ChessBoard& board) const;
    // One iteration under MultiPV: a pass for each line, each leaving out
    // the moves of the passes before it. Returns the best line's answer; the
    // lines, best first, go to Lines.
    RootAnswer SearchRootLines(const ChessBoard& board, int depth);
    // Reports the lines of Lines that the request asked for, each as an
    // iteration's line.
    void ReportRootLines();
    // Sets up the level of the request (and the node limit) for a search of
    // `board`; true when the level has a mate in one to play (LevelMate).
    bool PrepareLevel(const ChessBoard& board);
    // The index in Lines of the line the level plays: one of the best lines
    // at random, a worse one more rarely, within the level's margin.
    int ChooseLevelLine(const ChessBoard& board) const;
    // The move a level plays once the iterations are over: its mate in one,
    // or the line it chooses. Returns the move and sets `score` and the root line.
    GameMove LevelMove(const ChessBoard& board, GameMove move, int* score);
};
