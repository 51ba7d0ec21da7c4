// Iterative deepening: the move's budget, the root searched at depth 1, 2,
// 3, ... until the budget, a mate, a single reply, the depth limit or a
// command ends it, then the move to play.
#include <algorithm>
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

// The length of the first move's name in a line as LineText writes it (" e2e4 ...").
int MoveNameLength(const char* lineText) {
    int n = 0;
    while (lineText[1 + n] && !std::strchr(" ;\n", lineText[1 + n])) ++n;
    return n;
}

// How long before the hard limit the search stops, so that the move is out
// by then: the unwinding and the output take next to nothing, but on a busy
// machine the engine can wait a dozen milliseconds or more for its turn. A
// limit of a few dozen milliseconds keeps three quarters of itself (the move
// overhead already stands between it and the clock).
constexpr int64_t HardStopLeadMs = 20;

int64_t HardStopMs(const Status& s) {
    const int64_t limit = HardTimeLimit(s);
    return std::max<int64_t>(limit - std::min(HardStopLeadMs, limit / 4), 1);
}

// Whether (from, to) is a legal move of `board`.
bool IsLegalMove(const ChessBoard& board, Bitboard from, Bitboard to) {
    if (!from || from == to) return false;
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    for (int i = 0; i < count; ++i)
        if (list.From[i] == from && list.To[i] == to) return true;
    return false;
}

bool IsMateScore(int v) { return v > 109899 || (v >= -MateValue && v <= -109900); }

// Whether the line starts with the move from `from` to `to`.
bool StartsWith(const RootLine& line, Bitboard from, Bitboard to) {
    return from && to && line.Moves[0].Move == MoveCode(from, to);
}

} // namespace

bool SearchWorker::WaitsForCommand() const {
    return Settings.Limits.Ponder || (Settings.Mode.uci && Settings.Limits.Analyze);
}

void SearchWorker::ResetForMove(ChessBoard& board) {
    InteriorNodes = LeafInteriorNodes = QuiesceNodes = 0;
    Abort = StopSearch = TimeUp = TimerExtended = BookMove = NPSCalibrated = TableRoot = 0;
    TableHits = 0;
    Settings.Timing.TimeLastPly = 0;
    LastScore = 0;
    RootLegalMoves = 0;
    SelDepth = 0;
    RootLineTarget = 1;
    ExcludedCount = PassesDone = LineCount = 0;
    LastThought[0] = '\0';
    board.RefreshMaterial();
    for (auto& row : PV)
        for (PVEntry& entry : row) entry = PVEntry{0, 0};
    std::fill(std::begin(PVLength), std::end(PVLength), 0);
    RootPVLength = 0;
    // Last move's second killers become this move's first ones.
    for (auto& killers : Killers) killers[0] = killers[1];
    Settings.Timing.SearchStartTime = ClockMs();
}

void SearchWorker::SetTimeBudget() {
    Status& s = Settings;
    // The overhead is time the clock loses whatever the engine does: on this
    // move, and on each move whose increment comes back (an increment below
    // it buys no thinking at all).
    const int64_t overhead = std::max(s.Options.MoveOverheadMs, 0);
    const int64_t left = s.Limits.TimeLeft - overhead;
    const int64_t increment = std::max<int64_t>(s.Limits.TimeIncMs - overhead, 0);
    if (s.Limits.ST) {
        s.Timing.TimePerMove = static_cast<int>(std::max<int64_t>(s.Limits.ST - overhead, 1));
        LogPrintf(" TimePeMove after ST = %d \n", s.Timing.TimePerMove);
    } else if (s.Limits.MovesPerSession > 0) {
        const int64_t share = left * 95 / s.Limits.MovesPerSession;
        s.Timing.TimePerMove =
            static_cast<int>(share / (s.Limits.MovesPerSession <= 3 ? 200 : 100));
    } else {
        int64_t perMove = s.Game.GamePly <= 120 || increment > 0 ? left / 30 : left / 40;
        // Think longer just out of the book, and now and then in a long game.
        if (!s.Mode.uci && s.Game.GamePly <= BookMovePly + 7)
            perMove = perMove * 3 / 2;
        else if ((s.Game.GamePly % 10 == 0 || s.Game.GamePly % 9 == 0) && left > 60000)
            perMove = perMove * 7 / 4;
        LogPrintf(" TimePerMove Before Inc = %lld \n", static_cast<long long>(perMove));
        // Here the emergency threshold caps the plan: twice the share of the
        // clock and the increment, or less than the increment when even that
        // is more than the clock holds.
        s.Timing.EmergencyTimeThreshold = increment + 2 * perMove;
        if (s.Timing.EmergencyTimeThreshold > left) {
            LogPrintf("EmergencyTimeThreshold = %lld > TimeLeft %lld\n",
                      static_cast<long long>(s.Timing.EmergencyTimeThreshold),
                      static_cast<long long>(left));
            s.Timing.EmergencyTimeThreshold = increment * 3 / 10;
        }
        LogPrintf(" EmergencyTimeThreshold = %lld \n",
                  static_cast<long long>(s.Timing.EmergencyTimeThreshold));
        if (increment > 0) {
            if (left > 20000)
                perMove += increment;
            else if (left > 10000)
                perMove += increment / 2;
            LogPrintf(" TimePerMove After Inc = %lld \n", static_cast<long long>(perMove));
        }
        if (s.Timing.EmergencyTimeThreshold <= perMove + 1000) {
            perMove = s.Timing.EmergencyTimeThreshold / 2;
            LogPrintf(" Inc = %lld \n", static_cast<long long>(perMove));
        }
        LogPrintf(" Inc = %lld ms \n", static_cast<long long>(increment));
        LogPrintf(" EmergencyTimeThreshold after comparing to Inc = %lld \n",
                  static_cast<long long>(s.Timing.EmergencyTimeThreshold));
        s.Timing.TimePerMove = static_cast<int>(std::clamp<int64_t>(perMove, 0, INT32_MAX));
        LogPrintf("Time Per Move = %d\nTime Left = %d\nDefaultMovesPerSession = %d\n",
                  s.Timing.TimePerMove, s.Limits.TimeLeft, s.Limits.DefaultMovesPerSession);
    }
    s.Timing.TimePerMove = std::max(s.Timing.TimePerMove, 0);
    // From here on the emergency stop: twice the plan (see timecontrol.cpp).
    s.Timing.EmergencyTimeThreshold = 2LL * s.Timing.TimePerMove;
    RearmPoll();
}

void SearchWorker::PonderHit(bool countPondered) {
    Status& s = Settings;
    s.Limits.Ponder = 0;
    const int64_t pondered = countPondered ? ElapsedMs() : 0;
    LogPrintf("Ponder hit after %lld ms of pondering", static_cast<long long>(ElapsedMs()));
    if (!countPondered) {
        // The move's time and nodes count from now on, as if the search
        // began here; the pondering's speed stands until this search
        // measures its own.
        InteriorNodes = LeafInteriorNodes = QuiesceNodes = 0;
        s.Timing.SearchStartTime = ClockMs();
    }
    if (s.Limits.FD) {
        RearmPoll();
        return;
    }
    // The plan counts from the start of the pondering, the clock from now.
    HardLimitMs = pondered + HardStopMs(s);
    SetTimeBudget();
}

int SearchWorker::ProgressiveDeepening(const MoveHistory& game, ChessBoard board, int fixedDepth,
                                       Bitboard* from, Bitboard* to, char* promotion) {
    Status& s = Settings;
    ResetForMove(board);
    // The nodes leave the record as they found it: one copy serves every iteration.
    Repetitions = game;
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    // Under xboard the root is the search's to add.
    if (s.Mode.xboard) Repetitions.InsertHashCodeMoveHistory(upper, lower);
    const int maxDepth =
        fixedDepth > 0 ? std::min(fixedDepth, MaxIterationDepth) : MaxIterationDepth;

    if (s.Limits.FD == 0) {
        // First: the poll interval that the budget sets depends on it.
        HardLimitMs = HardStopMs(s);
        SetTimeBudget();
        LogPrintf("Planned %d ms: no new iteration after %d ms, time up at %d ms, emergency "
                  "stop at %lld ms, hard limit %lld ms; last speed %d nodes/s",
                  s.Timing.TimePerMove, s.Timing.TimePerMove / 2, s.Timing.TimePerMove,
                  static_cast<long long>(s.Timing.EmergencyTimeThreshold),
                  static_cast<long long>(HardLimitMs), s.Timing.NPS);
    } else {
        s.Timing.DepthReached = s.Limits.FD;
        HardLimitMs = 0;
        // No budget, but the interface's commands are still read.
        RearmPoll();
    }
    const bool fromBook = PlayUserBookMove(board, from, to, promotion);
    // MultiPV: as many lines as asked for and the root has moves to fill.
    if (s.Options.MultiPV > 1 && !Helper)
        RootLineTarget = std::max(std::min(s.Options.MultiPV, SearchableRootMoves(board)), 1);

    // The helpers search beside this thread while it iterates, and stop
    // however the iterations end (a stop of helpers not at work does nothing).
    struct HelpersAtWork {
        HelperThreads& Helpers;
        ~HelpersAtWork() { Helpers.Stop(); }
    } helpersAtWork{Owner.Helpers};
    if (!fromBook && !Helper) Owner.Helpers.Start(board, *this);

    // An iteration cut short falls back on the score of the one before. The
    // first has none before it and takes an even score, but its move stands:
    // no stop may leave the engine without a move to play.
    int v = 0, previous = 0;
    bool easyMove = false, ponderWait = false;
    for (int d = 1; !fromBook; ++d) {
        // Before an iteration: the budget spent already ends the move (or
        // stretches once while failing low). The first iteration always runs,
        // since before it there is no move to end with; a budget of nothing
        // (a clock run down to zero or below) still plays its move.
        if (d > 1 && !s.Limits.Ponder && !s.Limits.Analyze && s.Limits.FD == 0 &&
            HalfTheTimeSpent()) {
            MeasureSpeed("after the first iterations");
            if (NPSCalibrated == 2 || !FailingLow || TimerExtended || s.Limits.ST) break;
            BudgetExceeded();
            NPSCalibrated = 2;
        } else if (s.Limits.Analyze) {
            MeasureSpeed("of the analysis");
            if (s.Mode.uci) {
                std::printf("info nps %d\ninfo time %lld\n", s.Timing.NPS,
                            static_cast<long long>(ClockMs() - s.Timing.SearchStartTime));
                std::fflush(stdout);
            }
        }

        BestChanges = -1;
        FailingLow = 0;
        MaxPly = d <= 6 ? 2 * d : 4 * d;
        PassesDone = 0;
        v = RootLineTarget > 1 ? SearchRootLines(board, d, from, to, promotion)
                               : SearchTreeRoot(board.SideToMove, board, -MateValue, MateValue, d,
                                                from, to, promotion, board.CastleFlags);
        LastScore = v;
        // A move from the book is played without a search.
        if (BookMove) {
            if (!s.Mode.uci) {
                std::printf("tellics kibitz Opening Book Move\n");
                std::fflush(stdout);
            }
            WriteLogFile("Opening Book Move\n");
            break;
        }

        s.Timing.TimeLastPly = static_cast<int>(ElapsedMs() / 1000);
        char text[MaxPVText];
        LineText(text, *from, *to, *promotion);
        if (s.Timing.TimeLastPly > 3) {
            LogPrintf("Move Time: %lld milliseconds",
                      static_cast<long long>(ClockMs() - s.Timing.SearchStartTime));
            LogPrintf(" %d  %d %d  %lld %s", d, v, s.Timing.TimeLastPly,
                      static_cast<long long>(NodeCount()), text);
        }
        // (Under MultiPV a completed first pass is this depth's answer.)
        if (StopSearch && PassesDone == 0) {
            LogPrintf("New v from PreviousBestValue %d\n", previous);
            v = previous;
        }
        if (RootLineTarget > 1) {
            // The root showed nothing of its passes: the lines come now,
            // each as it stands after this depth.
            if (PassesDone > 0 && (s.Mode.uci || s.Options.Post || s.Limits.Analyze))
                PrintRootLines();
        } else if (!s.Mode.uci) {
            if (s.Options.Post || s.Limits.Analyze) PrintThinkingLine(d, v, text);
        } else if (s.Options.Post || s.Limits.Analyze) {
            PrintInfoLine(d, v, text);
        }
        if (Abort) {
            // Stopped with no move to make.
            if (!s.Limits.Ponder) {
                *from = *to = 0;
                return v;
            }
            ponderWait = true;
            break;
        }

        bool finished = false;
        if (!s.Limits.FD && !s.Limits.Ponder) {
            if (s.Limits.ST) {
                finished = ClockMs() - s.Timing.SearchStartTime > s.Limits.ST;
            } else {
                if (d == 1) easyMove = v - EasyMoveMargin > RunnerUp;
                finished = d >= 11 && easyMove && BestChanges == 0 && !FailingLow;
            }
            if (HalfTheTimeSpent()) {
                s.Timing.DepthReached = d;
                finished = true;
            }
            if (HardLimitMs > 0 && ClockMs() - s.Timing.SearchStartTime >= HardLimitMs)
                finished = true;
        }
        // A stop (the clock's, a command's or the node limit's) leaves nothing to deepen.
        if (StopSearch) finished = true;
        // A single reply is played at once only when a clock runs: a fixed
        // depth, a node count, an analysis or a ponder search wants its score.
        if (IsMateScore(v) || (RootLegalMoves == 1 && Timed()) || TableRoot ||
            (s.Limits.Ponder && v == 0 && d > PonderDrawDepth)) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if ((s.Limits.FD && d == s.Limits.FD) || d + 1 > maxDepth) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if (finished) break;
        previous = v;
    }
    // The iterations are over: a search that waits for a command waits alone.
    Owner.Helpers.Stop();

    if (ponderWait && s.UnderInterface()) {
        // Commands that leave the search waiting (an "isready", a line kept
        // for later) do not end the wait; "ponderhit" ends a ponder search's.
        char line[4096] = "";
        int request = CommandContinuesSearch;
        while (request == CommandContinuesSearch && WaitsForCommand()) {
            if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
            request = CommandHandler ? CommandHandler(line) : CommandAbortsSearch;
        }
        // A ponder hit ends the wait with the move to play at once.
        if (request != CommandContinuesSearch) {
            Diagnostic(" Search Aborted due to receiveing following string: %s\n", line);
            AbortSearch();
        }
    }

    if (s.Limits.FD == 0 && !s.Limits.Analyze && !fromBook && !Abort) {
        MeasureSpeed("at the end");
        LogPrintf("Clock: planned %d ms, used %lld ms, %lld nodes at %d nodes/s, depth %d",
                  s.Timing.TimePerMove, static_cast<long long>(ElapsedMs()),
                  static_cast<long long>(NodeCount()), s.Timing.NPS, IterationDepth);
    }
    // A root without a legal move has no move to play. Its score cannot tell:
    // a mate score carried through the table (by a helper thread's deeper
    // entries, say) can come out equal to the no-move results.
    if (!IsLegalMove(board, *from, *to)) *from = *to = 0;
    char text[MaxPVText];
    LineText(text, *from, *to, *promotion);
    // Under MultiPV the move is line 1's, already shown, unless a stop
    // left another.
    const bool shownAsLine = LineCount > 0 && StartsWith(Lines[0], *from, *to);
    if (s.Options.Post && !Abort && !s.Mode.uci) {
        // A book move's line says where the move comes from.
        char shown[MaxPVText + 8];
        if (BookMove)
            std::snprintf(shown, sizeof shown, " %.*s (book)\n", MoveNameLength(text), text + 1);
        else
            std::snprintf(shown, sizeof shown, "%s", text);
        if (!shownAsLine) PrintThinkingLine(IterationDepth, v, shown);
        // The console sets the move apart; an interface reads lines only.
        if (!s.UnderInterface()) std::printf("\n");
    }
    if (s.Mode.uci && !shownAsLine) PrintInfoLine(IterationDepth, v, text);
    if (s.Options.Kibitz && !s.Mode.uci) {
        if (BookMove)
            std::printf("tellics kibitz Book Move\n");
        else
            std::printf("tellics kibitz ply=%d v=%d centipawns millisecs=%d Nodes=%lld nps=%d %s\n",
                        s.Timing.DepthReached, ThinkingScore(v), std::max(s.Timing.TimeLastPly, 1),
                        static_cast<long long>(NodeCount()), s.Timing.NPS, text);
    }
    std::fflush(stdout);
    return v;
}

bool SearchWorker::PlayUserBookMove(const ChessBoard& board, Bitboard* from, Bitboard* to,
                                    char* promotion) {
    const Status& s = Settings;
    // A book move is a choice of play: analysis, fixed depths, benchmarks and
    // the searches a UCI interface restricts want the search's own answer.
    const bool allowed = UserBook.IsLoaded() && s.Options.UseBook && !s.Options.NoBook &&
                         s.Limits.FD == 0 && !s.Mode.Bench && !s.Limits.Analyze &&
                         !s.Limits.Ponder && !s.Mode.DoTestSuite && NodeLimit == 0 &&
                         SearchMoveCount == 0;
    PolyglotMove move;
    if (!allowed || !UserBook.Choose(board, s.Options.BookHeaviest, &move)) return false;

    *from = move.From;
    *to = move.To;
    *promotion = move.Promo;
    BookMove = 1;
    BookMovePly = s.Game.GamePly;
    PV[0][0] = PVEntry{static_cast<int16_t>(MoveCode(move.From, move.To)), move.Promo};
    RootPVLength = 1;

    char text[MaxPVText];
    LineText(text, *from, *to, *promotion);
    const int length = MoveNameLength(text);
    LogPrintf("Book move %.*s\n", length, text + 1);
    if (s.Mode.uci) {
        std::printf("info string book move %.*s\n", length, text + 1);
        std::fflush(stdout);
    }
    return true;
}

int SearchWorker::SearchExactDepth(const MoveHistory& game, ChessBoard board, int depth,
                                   Bitboard* from, Bitboard* to, char* promotion) {
    const int d = depth > 0 ? depth : MaxSearchPly;
    MaxPly = depth > 0 ? 2 * d : 400;
    ResetForMove(board);
    Repetitions = game;
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    Repetitions.InsertHashCodeMoveHistory(upper, lower);
    Settings.Timing.DepthReached = Settings.Limits.FD;
    return SearchTreeRoot(board.SideToMove, board, -MateValue, MateValue, d, from, to, promotion,
                          board.CastleFlags);
}
