// Iterative deepening: the move's plan, the root searched at depth 1, 2,
// 3, ... until the plan, a mate, a single reply, the depth limit or a
// command ends it, then the move to play.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "book/book.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

// Differences of a score from the best that make a move "easy", and the
// plies of a ponder search after which a draw score ends it.
constexpr int EasyMoveMargin = 2949;
constexpr int PonderDrawDepth = 71;

// Whether (from, to) is a legal move of `board`.
bool IsLegalMove(const ChessBoard& board, Bitboard from, Bitboard to) {
    if (!from || from == to) return false;
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    for (int i = 0; i < count; ++i)
        if (list.From[i] == from && list.To[i] == to) return true;
    return false;
}

// Whether the line starts with the move from `from` to `to`.
bool StartsWith(const RootLine& line, Bitboard from, Bitboard to) {
    return from && to && line.Moves[0].Move == MoveCode(from, to);
}

} // namespace

bool SearchWorker::WaitsForCommand() const {
    return Pondering || (Request().KeepsResultUntilStopped && Analysing);
}

bool SearchWorker::MateEndsSearch(int score) const {
    const int mateIn = Request().Mate;
    if (mateIn == 0) return IsMateScore(score);
    const int moves = MateInMoves(score);
    return (moves >= 1 && moves <= mateIn) || (RootLegalMoves == 0 && !StopSearch);
}

bool SearchWorker::Timed() const { return !Analysing && !Pondering && !Request().FixedDepth; }

void SearchWorker::ResetForMove(ChessBoard& board) {
    InteriorNodes = LeafInteriorNodes = QuiesceNodes = 0;
    Abort = StopSearch = TimeUp = BookMove = TableRoot = 0;
    Pondering = Request().Ponder;
    Analysing = Request().Analyze;
    TableHits = 0;
    LastScore = 0;
    SecondsSpent = 0;
    RootLegalMoves = 0;
    SelDepth = 0;
    RootLineTarget = 1;
    ExcludedCount = PassesDone = LineCount = 0;
    Level = StrengthLevel{};
    NodeLimit = 0;
    LevelMate = GameMove{0, 0, NoPromotion};
    BarredCount = 0;
    board.RefreshMaterial();
    for (auto& row : PV)
        for (PVEntry& entry : row) entry = PVEntry{0, 0};
    std::fill(std::begin(PVLength), std::end(PVLength), 0);
    RootPVLength = 0;
    // Last move's second killers become this move's first ones.
    for (auto& killers : Killers) killers[0] = killers[1];
}

SearchResult SearchWorker::ProgressiveDeepening(const MoveHistory& game, ChessBoard board) {
    const SearchRequest& request = Request();
    ResetForMove(board);
    Reporter().SearchStarted();
    // The nodes leave the record as they found it: one copy serves every iteration.
    Repetitions = game;
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    if (!request.RootInRecord) Repetitions.InsertHashCodeMoveHistory(upper, lower);
    const int maxDepth = request.DepthLimit > 0 ? std::min(request.DepthLimit, MaxIterationDepth)
                                                : MaxIterationDepth;

    const bool mateInOne = !Helper && PrepareLevel(board);

    TimeManager& time = Owner.Time;
    time.Start(ClockOf(request), request.FixedDepth == 0, ClockMs());
    if (request.FixedDepth == 0) {
        const TimePlan& plan = time.Plan();
        Log("Planned %d ms: no new iteration after %d ms, time up at %d ms, emergency stop at %lld "
            "ms, hard limit %lld ms; last speed %d nodes/s",
            plan.PlannedMs, plan.PlannedMs / 2, plan.PlannedMs,
            static_cast<long long>(plan.EmergencyMs), static_cast<long long>(plan.HardLimitMs),
            time.NodesPerSecond());
    } else {
        DepthReached = request.FixedDepth;
    }
    // The plan sets the poll interval; without one the interface's commands are still read.
    RearmPoll();
    const bool fromBook = PlayUserBookMove(board);
    // A level's mate in one is played without a search, unless the search
    // is on the opponent's time (it then waits for the move as any would).
    const bool searches = !fromBook && !(mateInOne && !Pondering);
    if (!searches && !fromBook) IterationDepth = 1; // the mate's line is one move long
    // MultiPV: as many lines as asked for (or a level looks at) and the
    // root has moves to fill.
    const int linesWanted = std::max(request.MultiPV, Level.Lines);
    if (linesWanted > 1 && !Helper)
        RootLineTarget = std::max(std::min(linesWanted, SearchableRootMoves(board)), 1);

    // The helpers search beside this thread while it iterates, and stop
    // however the iterations end (a stop of helpers not at work does nothing).
    struct HelpersAtWork {
        HelperThreads& Helpers;
        ~HelpersAtWork() { Helpers.Stop(); }
    } helpersAtWork{Owner.Helpers};
    // A level searches alone: its budget is one thread's nodes.
    if (searches && !Helper && !Level.Active) Owner.Helpers.Start(board, *this);

    // An iteration cut short falls back on the score of the one before. The
    // first has none before it and takes an even score, but its move stands:
    // no stop may leave the engine without a move to play.
    RootAnswer answer;
    if (fromBook) answer.Move = GameMoveOf(PV[0][0]);
    int v = 0, previous = 0;
    bool easyMove = false, ponderWait = false;
    for (int d = 1; searches; ++d) {
        // Before an iteration: the plan spent already ends the move (or
        // stretches once while failing low). The first iteration always runs,
        // since before it there is no move to end with; a plan of nothing
        // (a clock run down to zero or below) still plays its move.
        if (d > 1 && !Pondering && !Analysing && request.FixedDepth == 0 &&
            time.HalfSpent(ClockMs())) {
            MeasureSpeed("after the first iterations");
            if (time.EndsBeforeIteration(FailingLow, TimeUp)) break;
            TimeUp = 0;
            Log("Timer Extended - Failing Low");
        } else if (Analysing) {
            MeasureSpeed("of the analysis");
            Reporter().AnalysisSpeed(time.NodesPerSecond(), time.ElapsedMs(ClockMs()));
        }

        BestChanges = -1;
        FailingLow = 0;
        MaxPly = d <= 6 ? 2 * d : 4 * d;
        PassesDone = 0;
        answer = RootLineTarget > 1 ? SearchRootLines(board, d) : SearchTreeRoot(board, d);
        v = answer.Score;
        LastScore = v;
        // A move from the built-in book is played without a search.
        if (BookMove) {
            Reporter().InternalBookMove();
            Log("Opening Book Move");
            break;
        }

        SecondsSpent = static_cast<int>(time.ElapsedMs(ClockMs()) / 1000);
        char text[MaxPVText];
        LineText(text, answer.Move);
        if (SecondsSpent > 3) {
            Log("Move Time: %lld milliseconds", static_cast<long long>(time.ElapsedMs(ClockMs())));
            Log(" %d  %d %d  %lld %s", d, v, SecondsSpent, static_cast<long long>(NodeCount()),
                text);
        }
        // (Under MultiPV a completed first pass is this depth's answer.)
        if (StopSearch && PassesDone == 0) {
            Log("New v from PreviousBestValue %d", previous);
            v = previous;
        }
        if (RootLineTarget > 1) {
            // The root showed nothing of its passes: the lines come now,
            // each as it stands after this depth.
            if (PassesDone > 0) ReportRootLines();
        } else {
            Reporter().Line(LineEvent::IterationDone, ReportOf(d, v, text));
        }
        if (Abort) {
            // Stopped with no move to make.
            if (!Pondering) {
                SearchResult result;
                result.Score = v;
                result.Aborted = true;
                return result;
            }
            ponderWait = true;
            break;
        }

        bool finished = false;
        if (!request.FixedDepth && !Pondering) {
            if (request.MoveTimeMs) {
                finished = time.ElapsedMs(ClockMs()) > request.MoveTimeMs;
            } else {
                if (d == 1) easyMove = v - EasyMoveMargin > RunnerUp;
                finished = d >= 11 && easyMove && BestChanges == 0 && !FailingLow;
            }
            if (time.HalfSpent(ClockMs())) {
                DepthReached = d;
                finished = true;
            }
            if (time.HardLimitReached(ClockMs())) finished = true;
        }
        // A stop (the clock's, a command's or the node limit's) leaves nothing to deepen.
        if (StopSearch) finished = true;
        // A level's budget spent on the opponent's time: the move waits for the ponder hit.
        if (StopSearch && Pondering && Level.Active) ponderWait = true;
        // A single reply is played at once only when a clock runs: a fixed
        // depth, a node count, an analysis or a ponder search wants its score.
        if (MateEndsSearch(v) || (RootLegalMoves == 1 && Timed()) || TableRoot ||
            (Pondering && v == 0 && d > PonderDrawDepth)) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if ((request.FixedDepth && d == request.FixedDepth) || d + 1 > maxDepth) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if (finished) break;
        previous = v;
    }
    // The iterations are over: a search that waits for a command waits alone.
    Owner.Helpers.Stop();

    if (ponderWait) {
        // Commands that leave the search waiting (an "isready", a line kept
        // for later) do not end the wait; a ponder hit ends it with the move
        // to play at once, a stop without one. (A level's spent budget
        // stopped the search, not a command.)
        if (Level.Active && Pondering) StopSearch = TimeUp = 0;
        bool released = true;
        while (released && WaitsForCommand()) released = Reporter().AwaitCommand();
        if (!released || StopSearch) {
            Log("Search aborted while it waited for a command");
            AbortSearch();
        }
    }

    if (request.FixedDepth == 0 && !Analysing && !fromBook && !Abort) {
        MeasureSpeed("at the end");
        Log("Clock: planned %d ms, used %lld ms, %lld nodes at %d nodes/s, depth %d",
            time.Plan().PlannedMs, static_cast<long long>(time.ElapsedMs(ClockMs())),
            static_cast<long long>(NodeCount()), time.NodesPerSecond(), IterationDepth);
        if (Timed() && request.MoveTimeMs == 0) time.TimedMovePlayed(ClockMs());
    }
    if (Level.Active && !fromBook && !TableRoot && !Abort)
        answer.Move = LevelMove(board, answer.Move, &v);
    return Conclude(board, answer.Move, v);
}

SearchResult SearchWorker::Conclude(const ChessBoard& board, GameMove move, int score) {
    // A root without a legal move has no move to play. Its score cannot tell:
    // a mate score carried through the table (by a helper thread's deeper
    // entries, say) can come out equal to the no-move results.
    if (!IsLegalMove(board, move.From, move.To)) move = GameMove{0, 0, move.Promo};
    char text[MaxPVText];
    LineText(text, move);

    SearchResult result;
    result.Move = move;
    result.Score = score;
    result.Depth = IterationDepth;
    result.DepthReached = DepthReached;
    result.FromBook = BookMove;
    result.Aborted = Abort;
    result.Line.Depth = IterationDepth;
    result.Line.Score = score;
    result.Line.Length = std::clamp(RootPVLength, 0, MaxSearchPly);
    std::copy(PV[0], PV[0] + result.Line.Length, result.Line.Moves);
    result.Counts = {InteriorNodes, LeafInteriorNodes, QuiesceNodes};

    FinalReport final;
    final.Line = ReportOf(IterationDepth, score, text);
    // Under MultiPV the move is line 1's, already shown, unless a stop left
    // another. (Without MultiPV a level's lines are not shown.)
    final.ShownAsLine =
        Request().MultiPV > 1 && LineCount > 0 && StartsWith(Lines[0], move.From, move.To);
    final.FromBook = BookMove;
    final.Aborted = Abort;
    final.DepthReached = DepthReached;
    final.SecondsSpent = SecondsSpent;
    final.OwnNodes = NodeCount();
    final.NPS = Owner.Time.NodesPerSecond();
    Reporter().Finished(final);
    return result;
}

bool SearchWorker::PlayUserBookMove(const ChessBoard& board) {
    const SearchRequest& request = Request();
    // A book move is a choice of play: analysis, fixed depths, benchmarks and
    // the searches an interface restricts want the search's own answer. A
    // book holds standard chess, never Chess960.
    const bool allowed = UserBook.IsLoaded() && request.UserBook && !board.Chess960 &&
                         request.FixedDepth == 0 && request.Mate == 0 && !request.Analyze &&
                         !request.Ponder && request.Nodes == 0 && request.SearchMoveCount == 0;
    PolyglotMove move;
    if (!allowed || !UserBook.Choose(board, request.BookHeaviest, &move)) return false;

    BookMove = 1;
    Owner.Time.BookMovePlayed(request.GamePly);
    PV[0][0] = PVEntry{static_cast<int16_t>(MoveCode(move.From, move.To)), move.Promo};
    RootPVLength = 1;

    char text[MaxPVText];
    fillmovestring(text, LowestSquare(move.From), LowestSquare(move.To), move.Promo);
    char name[8];
    std::sscanf(text, "%7s", name);
    Log("Book move %s", name);
    Reporter().BookMove(name);
    return true;
}

SearchResult SearchWorker::SearchExactDepth(const MoveHistory& game, ChessBoard board, int depth) {
    const int d = depth > 0 ? depth : MaxSearchPly;
    MaxPly = depth > 0 ? 2 * d : 400;
    ResetForMove(board);
    Owner.Time.Start(MoveClock{}, false, ClockMs());
    // No driver, no clock: nothing to poll for.
    NodesToPoll = INT64_MAX;
    Repetitions = game;
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    Repetitions.InsertHashCodeMoveHistory(upper, lower);
    const RootAnswer answer = SearchTreeRoot(board, d);
    SearchResult result;
    result.Move = answer.Move;
    result.Score = answer.Score;
    result.Depth = IterationDepth;
    result.Counts = {InteriorNodes, LeafInteriorNodes, QuiesceNodes};
    return result;
}
