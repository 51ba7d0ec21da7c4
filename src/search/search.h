// The search: the settings record it runs under, the transposition table, the
// repetition record, the history and killer tables, the quiescence and
// alpha-beta searches, the root search and iterative deepening with its time
// control.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "tablebase/tablebase.h"

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

// How the program runs: the front end and the tool mode, chosen at start.
struct RunMode {
    uint8_t xboard = 0;
    uint8_t uci = 0;
    uint8_t PERFT = 0;
    uint8_t Bench = 0; // benchmark 1..5 asked for, 0 = none
    uint8_t SATrain = 0;
    uint8_t DoTestSuite = 0;
    uint8_t Pev = 0;
    uint8_t Mimic = 0; // 0 off, 1 student, 2 oracle
    uint8_t Trace = 0;
    uint8_t NextMatch = 0;
};

// What the user chose about play and output.
struct EngineOptions {
    uint8_t Post = 0;
    uint8_t Kibitz = 0;
    uint8_t UseBook = 0;
    // "-nobook": no book at all, whatever a protocol later sets UseBook to.
    uint8_t NoBook = 0;
    // The user's book plays its heaviest move instead of a weighted random one.
    uint8_t BookHeaviest = 0;
    // What a GUI or a network takes to pass a move on: set aside before any
    // budget is computed.
    static constexpr int DefaultMoveOverheadMs = 30;
    static constexpr int MaxMoveOverheadMs = 5000;
    int MoveOverheadMs = DefaultMoveOverheadMs;
    // How many of the root's best moves the main search reports, each with
    // its own line (MultiPV).
    static constexpr int MaxMultiPV = 64;
    int MultiPV = 1;
};

// Where the game stands, as the search needs to know it.
struct GameState {
    int GamePly = 0;
    uint8_t GameInProgress = 0;
    uint8_t SelfPlay = 0;
    uint8_t OpponentToMove = 0;
    uint8_t Force = 0;
};

// What limits the next search: the clock (milliseconds), a fixed time or
// depth, or none at all (analysis, pondering).
struct SearchLimits {
    int TimeLeft = 0;
    int TimeIncMs = 0; // the increment, with its fraction
    int MovesPerSession = 0;
    int DefaultMovesPerSession = 0;
    int ST = 0; // fixed time per move, 0 = none
    int FD = 0; // fixed depth in plies, 0 = none
    uint8_t Analyze = 0;
    uint8_t Ponder = 0;
};

// The time of the move being thought about, and the speed that sizes it.
struct MoveTiming {
    int64_t SearchStartTime = 0;
    // The move's planned time. No iteration starts past half of it, the time
    // is up at it (the root finishes the move it is on) and the search stops
    // at once at the emergency threshold, twice it.
    int TimePerMove = 0;
    int64_t EmergencyTimeThreshold = 0;
    int DepthReached = 0;
    int TimeLastPly = 0; // seconds the search has run
    // Nodes per second measured by the searches, each handing its figure on
    // to the next; 0 until the first search has run a few milliseconds.
    int NPS = 0;
};

// The settings record: set by the command line and the protocol commands,
// read by the search and the tools.
class Status {
  public:
    RunMode Mode;
    EngineOptions Options;
    GameState Game;
    SearchLimits Limits;
    MoveTiming Timing;

    // The reset of a new game. Settings made under UCI survive it.
    void initVars();

    void setPERFT(char v) { Mode.PERFT = v; }
    char getPERFT() const { return Mode.PERFT; }
    void setFD(int v) { Limits.FD = v; }
    int getFD() const { return Limits.FD; }
    void setxboard(char v) { Mode.xboard = v; }
    char getxboard() const { return Mode.xboard; }
    void setDoTestSuite(char v) { Mode.DoTestSuite = v; }
    char getDoTestSuite() const { return Mode.DoTestSuite; }

    // Whether an interface reads standard output: then it carries protocol only.
    bool UnderInterface() const { return Mode.xboard || Mode.uci; }
};

// A score as xboard's thinking lines, kibitz and the console show it:
// centipawns, or a mate in N moves as 100000 + N (-100000 - N when the
// engine is mated).
int ThinkingScore(int score);
// The moves to the mate that a score stands for, at least 1 (negative when
// the side to move is mated); 0 for a score that is no mate.
int MateInMoves(int score);

// ---------------------------------------------------------------------------
// Scores and limits
// ---------------------------------------------------------------------------

constexpr int MateValue = 110000;      // minus the ply: the side to move mates
constexpr int StalemateValue = 110001; // root result: no legal move, not in check
constexpr int WorstScore = -110200;    // a node's best before its first move
constexpr int MaxSearchPly = 200;      // rows of the principal variation and killers
constexpr int MaxIterationDepth = 100; // deepest iteration under the time control
constexpr int GameRecordLength = 600;  // entries of the repetition and move records

// The endgame tables' verdict as a score of the node at `ply`: their mates
// count from the root like the search's own.
constexpr int TableScore(const TableVerdict& verdict, int ply) {
    if (verdict.Outcome == TableWin) return MateValue - (ply + verdict.Plies);
    if (verdict.Outcome == TableLoss) return ply + verdict.Plies - MateValue;
    return 0;
}

// ---------------------------------------------------------------------------
// Transposition table
// ---------------------------------------------------------------------------

// Bound kinds of a stored score.
constexpr uint8_t UpperBound = 0; // the search failed low
constexpr uint8_t LowerBound = 1; // the search failed high
constexpr uint8_t ExactBound = 2;

// Probe results.
constexpr int ProbeAlphaCut = 0; // a stored upper bound not above alpha: value = alpha
constexpr int ProbeBetaCut = 1;  // a stored lower bound not below beta: value = beta
constexpr int ProbeExact = 2;    // value = the stored score (a mate counted from the root)
constexpr int ProbeNoCut = 3;
constexpr int ProbeNoNull = 4; // no cut, and a null move is pointless here

// Three slots of one bucket: slot 0 keeps the deepest entry, slot 1 the
// latest other one, slot 2 what slot 1 held before (laid out in ttable.cpp).
struct TTBucket;

// One table serves every thread of a search: inserts and probes may run at
// the same time, and a probe never answers from an entry that another
// thread's write has left half done. Sizing, clearing, aging and mapping
// must not run while a search does.

class TranspositionTables {
  public:
    static constexpr int MaskCount = 24;
    static constexpr uint64_t BucketMasks[MaskCount] = {
        3,        63,       255,      511,       1023,      2047,      4095,      8191,
        16383,    32767,    65535,    0x1FFFF,   0x3FFFF,   0x7FFFF,   0xFFFFF,   0x1FFFFF,
        0x3FFFFF, 0x7FFFFF, 0xFFFFFF, 0x1FFFFFF, 0x3FFFFFF, 0x7FFFFFF, 0xFFFFFFF, 0xFFFFFFFF,
    };
    static constexpr uint64_t DefaultMask = 0x1FFFFF;
    static constexpr uint64_t DefaultBuckets = 0x200003; // the mask's buckets and three spare
    static constexpr size_t BucketBytes = 64;            // one cache line

    TTBucket* Buckets = nullptr;
    uint64_t BucketCount = 0;
    uint64_t Mask = DefaultMask; // the bucket of a key: its lower half's low 32 bits AND this
    // Buckets written under another generation have been cleared since.
    uint8_t Generation = 0;

    // Allocates the default table; its pages are mapped as they are first used.
    TranspositionTables();
    ~TranspositionTables();
    TranspositionTables(const TranspositionTables&) = delete;
    TranspositionTables& operator=(const TranspositionTables&) = delete;

    void ClearTranspositionTables();
    // Sizes the table to the largest mask of BucketMasks whose buckets fit
    // in `megabytes` (128 MB gives the default table); an empty table when
    // it changes size. False, with the table as it was, when the memory
    // cannot be had or passes half the machine's.
    bool Resize(int64_t megabytes);
    // The table's size in megabytes.
    int64_t Megabytes() const;
    // Has the system map the whole table now, before any clock runs: the
    // first touch of its pages during a timed search could cost the move
    // hundreds of milliseconds. The entries stay as they are.
    void MapMemory();
    // Entries keep their moves but can no longer cut the search off.
    void AgeTranspositionTables();
    // The node at `ply` stores its score: a mate is kept counted from the
    // node, and a probe at any ply counts it from the root again.
    void InsertTranspositionTables(uint64_t upper, uint64_t lower, int depth, int ply, int move,
                                   int value, int bound);
    // One of the probe results; writes the value on a cut-off and the best
    // stored move of the position whenever one of its slots is found. A
    // cut-off (ProbeExact or below) is a hit, any other result a miss. The
    // window and the value are the node's at `ply`, mates counted from the root.
    int SearchTranspositionTables(uint64_t upper, uint64_t lower, int depth, int ply, int alpha,
                                  int beta, int* value, int* move);
    // Permille of the entries in use since the last clear, from a sample of
    // the first buckets (UCI "hashfull").
    int Hashfull() const;
    // Starts loading the bucket of a key, so that a probe soon after finds
    // it in the cache instead of waiting for memory.
    void Prefetch(uint64_t lower) const {
        const uint64_t index = static_cast<uint32_t>(lower) & Mask;
        __builtin_prefetch(reinterpret_cast<const char*>(Buckets) + index * BucketBytes);
    }

  private:
    // The bucket of a key, emptied first when a clear has passed since it was written.
    TTBucket& CurrentBucket(uint64_t lower);
};

// ---------------------------------------------------------------------------
// Repetition record
// ---------------------------------------------------------------------------

// Hash codes of the positions of a game and of the line being searched.
// Inserts past the capacity are not stored but still counted, so that every
// RetractMove pairs with its insert.
class MoveHistory {
  public:
    Bitboard Upper[GameRecordLength];
    Bitboard Lower[GameRecordLength];
    int32_t NumMoves = 0;

    void Init() { NumMoves = 0; }
    void InsertHashCodeMoveHistory(Bitboard upper, Bitboard lower);
    void RetractMove() { --NumMoves; }
    // Earlier occurrences of the position with the same side to move among
    // the last n entries (the current position, inserted last, counts itself
    // away): -1 + the matches at NumMoves - 1, NumMoves - 3, ...
    int ThreeFoldRepDetection(int n, Bitboard upper, Bitboard lower) const;
};

// ---------------------------------------------------------------------------
// The search
// ---------------------------------------------------------------------------

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

// What a command read during a search asks of it.
constexpr int CommandContinuesSearch = 0;
constexpr int CommandStopsSearch = 1;  // stop now and play the best move found so far
constexpr int CommandAbortsSearch = 2; // stop now and make no move

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

class Engine;

// One of the root's best lines under MultiPV: the depth it was searched to,
// its score and its moves.
struct RootLine {
    int Depth = 0;
    int Score = 0;
    int Length = 0;
    PVEntry Moves[MaxSearchPly] = {};
};

// One thread's search: what it changes as it searches (its counters,
// killers, history, lines, repetition record and evaluator) is its own;
// the table, the settings and the helpers are its engine's.
class SearchWorker {
  public:
    SearchWorker(Engine& engine, bool helper);
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    Engine& Owner;
    Status& Settings;
    TranspositionTables& Table;
    uint8_t NPSCalibrated = 0; // 1 once the speed was measured, 2 once the budget was doubled
    // The three stops may be set by another thread (the main one stops its
    // helpers).
    std::atomic<uint8_t> TimeUp = 0;     // finish the iteration in progress and stop
    std::atomic<uint8_t> StopSearch = 0; // every node returns 0 at once
    uint8_t FailingLow = 0;
    uint8_t TimerExtended = 0;
    int64_t NodesToPoll = 0;
    int32_t History[2][4096] = {};
    int32_t HistoryMax = 0;
    std::atomic<uint8_t> Abort = 0; // stopped, and no move is to be made
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
    // (the main thread stops it), takes no book move and prints nothing.
    const bool Helper;
    uint8_t BookMove = 0;
    int32_t BookMovePly = 0;
    int32_t BestChanges = 0;
    int32_t RootLegalMoves = 0;
    int32_t RunnerUp = 0;
    int32_t LastScore = 0;
    // Wall time after which the periodic check stops the search, 0 for none.
    int64_t HardLimitMs = 0;
    // The UCI option UCI_ShowCurrLine: "info currmove" lines in long searches.
    uint8_t ShowCurrLine = 1;
    // The only root moves searched (move codes), as a UCI "searchmoves"
    // names them; none: every move.
    int16_t SearchMoves[MoveList::MaxMoves] = {};
    int32_t SearchMoveCount = 0;
    // Nodes after which the search stops, as a UCI "nodes" asks; 0 for none.
    int64_t NodeLimit = 0;
    // The deepest ply this search has reached.
    int32_t SelDepth = 0;
    // MultiPV: the lines the root looks for (at most the moves it may
    // search), the moves earlier passes of the iteration took (each pass
    // leaves them out and finds the best of the rest), the passes of the
    // iteration that ran to the end, and the lines of the last completed
    // depth, best first.
    int32_t RootLineTarget = 1;
    int16_t ExcludedMoves[EngineOptions::MaxMultiPV] = {};
    int32_t ExcludedCount = 0;
    int32_t PassesDone = 0;
    RootLine Lines[EngineOptions::MaxMultiPV];
    int32_t LineCount = 0;
    // Positions of this move's search found in the endgame tables.
    NodeCounter TableHits = 0;
    // The root was in the tables: its move and score are theirs, and
    // deeper iterations have nothing to add.
    uint8_t TableRoot = 0;

    // The front end's interpreter of a command line that arrives during a
    // search; it answers with one of the Command...Search codes. Null: input
    // waits until the search ends.
    int (*CommandHandler)(const char* line) = nullptr;

    // Each searches `board` without changing its position (only its draw
    // flags, which the draw test sets); every move is made on a copy.
    int Quiesce(int side, int alpha, int beta, ChessBoard& board, int depth, int flag, int ply);
    int AlphaBeta(const SearchNode& node, ChessBoard& board);
    int SearchTreeRoot(int side, ChessBoard board, int alpha, int beta, int depth, Bitboard* from,
                       Bitboard* to, char* promotion, int castleRights);
    // Whether the root searches the move: one the interface named, if it
    // named any, and none an earlier MultiPV pass took.
    bool SearchesRootMove(int code) const;
    // Thinks under the time control (or to fixedDepth > 0) about `board`,
    // whose game went through the positions of `game`, and returns the score;
    // the move to play goes to from/to/promotion.
    int ProgressiveDeepening(const MoveHistory& game, ChessBoard board, int fixedDepth,
                             Bitboard* from, Bitboard* to, char* promotion);
    // One root search to `depth` (200 for depth <= 0), with the root added
    // to the game's positions.
    int SearchExactDepth(const MoveHistory& game, ChessBoard board, int depth, Bitboard* from,
                         Bitboard* to, char* promotion);

    // The table's probe, counted as a hit or a miss.
    int ProbeTable(uint64_t upper, uint64_t lower, int depth, int ply, int alpha, int beta,
                   int* value, int* move);

    void ClearHistory();
    // What one game taught the search and the next must not inherit: the
    // history, the killers and the pawn table.
    void ForgetGame();
    void AddHistory(int side, int move, int depth);
    void AbortSearch() { Abort = StopSearch = TimeUp = 1; }
    // The opponent played the move the search pondered on: it goes on under
    // the time control, whose clock starts now. `countPondered`: the time
    // spent pondering counts in the move's plan (the hard limit still runs
    // from now); else the plan starts now too.
    void PonderHit(bool countPondered);
    // Nodes between two polls of the input and the clock.
    int64_t InitMoveTimer() const;
    int64_t NodeCount() const { return InteriorNodes + QuiesceNodes; }
    // The nodes and table hits that the progress lines report: the main
    // search's own and those of its helpers.
    int64_t ReportedNodes() const;
    int64_t ReportedTableHits() const;

    // The periodic check: input, the node budget and the wall clock. True
    // when the node must return 0.
    bool PeriodicCheck();
    // The root's best move and line as text (fillmovestring).
    void LineText(char* out, Bitboard from, Bitboard to, char promotion) const;
    // The xboard (and console) thinking line; one that would say again what
    // the line before it said (depth, score and moves) is left out.
    void PrintThinkingLine(int depth, int score, const char* lineText);
    // The UCI info line: depth, the deepest ply, the line's number under
    // MultiPV (0: none), score, nodes, speed, the table's use, the endgame
    // tables' hits, milliseconds and the line.
    void PrintInfoLine(int depth, int score, const char* lineText, int multiPV = 0) const;

    // Whether input waits on standard input; never while no handler reads it.
    bool InputDetected() const;

  private:
    // A line that is not protocol (a trace, an internal warning): standard
    // output in the tool modes, the log in games (console or interface).
    void Diagnostic(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // A search under the clock, not an analysis, a ponder search or a fixed depth.
    bool Timed() const;
    // A ponder search, and an infinite one under UCI, keep their move until
    // the interface asks for it, even once they have nothing left to search.
    bool WaitsForCommand() const;
    void ResetForMove(ChessBoard& board);
    // Looks the root up in the user's book when this search may play from it;
    // on a hit sets the move and the root line and reports the move.
    bool PlayUserBookMove(const ChessBoard& board, Bitboard* from, Bitboard* to, char* promotion);
    // Answers the root from the endgame tables when it is in them: the move
    // that keeps their verdict, the line that follows it, and the score.
    bool PlayTableMove(const ChessBoard& board, int side, int castleRights, int depth,
                       Bitboard* from, Bitboard* to, char* promotion, int* score);
    void SetTimeBudget();
    // The speed of this search so far, once it has run long enough to
    // tell; the first figure of a timed search is logged (and told to a UCI
    // interface) with `context` saying when it was taken.
    void MeasureSpeed(const char* context);
    // Milliseconds since the search (or the ponder search) began.
    int64_t ElapsedMs() const;
    // Past half the planned time: no new iteration starts.
    bool HalfTheTimeSpent() const;
    bool BudgetExceeded();
    void RearmPoll();
    // The next poll in `nodes` nodes, or at the node limit if that comes first.
    void ArmPoll(int64_t nodes);
    void ReportInterruption(int kind, int depth, int index, int legal, int count, Bitboard from,
                            Bitboard to, char promotion);
    // The root's legal moves that it may search (the interface may restrict them).
    int SearchableRootMoves(const ChessBoard& board) const;
    // One iteration under MultiPV: a pass for each line, each leaving out
    // the moves of the passes before it. Returns the best line's score and
    // writes its move; the lines, best first, go to Lines.
    int SearchRootLines(const ChessBoard& board, int depth, Bitboard* from, Bitboard* to,
                        char* promotion);
    // Prints Lines as the protocol in use shows them.
    void PrintRootLines();
    // What the last thinking line said, so that it is not said twice.
    char LastThought[MaxPVText + 32] = "";
};

// The wall-clock limit of one move under the settings of `status`, 0 for none.
int64_t HardTimeLimit(const Status& status);

// ---------------------------------------------------------------------------
// Helper threads
// ---------------------------------------------------------------------------

constexpr int MaxThreads = 256;

// The helper threads of a search, created once and reused: each waits for
// a job, runs it with its own index (1 .. count - 1; the thread that starts
// the job counts as thread 0) and waits for the next.
class ThreadPool {
  public:
    ThreadPool() = default;
    ~ThreadPool() { SetThreadCount(1); }
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The threads of a search, the caller included: 1 .. MaxThreads. Waits
    // for a job in progress first. False, with as many threads as could be
    // had, when the system gives no more.
    bool SetThreadCount(int count);
    int ThreadCount() const { return static_cast<int>(Helpers.size()) + 1; }
    // Has every helper run job(index, context); returns at once. The job
    // must watch a stop of its own: the pool only waits for it.
    void StartHelpers(void (*job)(int index, void* context), void* context);
    // Returns once every helper has finished the job it was given.
    void WaitForHelpers();

  private:
    struct Helper {
        ThreadPool* Pool;
        int Index;
        uint64_t JobsSeen;
        StackThread Thread;
    };
    static void HelperLoop(void* helper);

    std::vector<std::unique_ptr<Helper>> Helpers;
    std::mutex Lock;
    std::condition_variable JobGiven, JobDone;
    uint64_t JobsGiven = 0;
    int Busy = 0;
    bool Quit = false;
    void (*Job)(int, void*) = nullptr;
    void* Context = nullptr;
};

// The helpers of the main search (Lazy SMP): each searches the same root
// on a thread of its own with a search object of its own, and they share
// only the transposition table. The main search decides the move and
// prints everything; it starts its helpers when it starts and stops them
// when it ends.
class HelperThreads {
  public:
    explicit HelperThreads(Engine& engine) : Owner(engine) {}

    // The threads of a search, the main one included (1: no helpers). Only
    // between searches. False, with fewer, when the system gives no more.
    bool SetThreadCount(int count);
    int ThreadCount() const { return Pool.ThreadCount(); }
    // Starts every helper on `root`, searching the root moves `main` may.
    void Start(const ChessBoard& root, const SearchWorker& main);
    // Stops the helpers and waits for them.
    void Stop();
    // Nodes the helpers have searched, and positions they found in the
    // endgame tables, since they were last started.
    int64_t NodeCount() const;
    int64_t TableHits() const;
    // Runs `task` on every helper's search, between searches only.
    template <typename Task> void ForEachWorker(Task task) {
        for (auto& worker : Workers) task(*worker);
    }

  private:
    static void Run(int index, void* helpers);

    Engine& Owner;
    ChessBoard Root;
    bool Running = false;
    std::vector<std::unique_ptr<SearchWorker>> Workers;
    ThreadPool Pool; // declared last: its threads end before the workers go
};

// ---------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------

// What a session searches with: its settings, the table every thread
// shares, the main search and its helpers. The front end that runs the
// session owns it.
class Engine {
  public:
    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    Status Settings;
    TranspositionTables Table;
    SearchWorker Main{*this, false};
    HelperThreads Helpers{*this}; // declared last: its threads end before the rest goes

    // Every thread's history cleared, as between two moves of a game.
    void ClearHistory();
    // A new game owes nothing to the last one: the same commands search the
    // same tree. Clears every thread's history, killers and pawn table and
    // the shared table.
    void NewGame();
};
