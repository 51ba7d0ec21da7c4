// Iterative deepening: the move's budget, the root searched at depth 1, 2,
// 3, ... until the budget, a mate, a single reply, the depth limit or a
// command ends it, then the move played on MainBoard.
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
// machine the engine can wait a dozen milliseconds or more for its turn.
constexpr int64_t HardStopLeadMs = 20;

// A ponder search, and an infinite one under UCI, keep their move until the
// interface asks for it, even once they have nothing left to search.
bool WaitsForCommand() { return MainStatus.Ponder || (MainStatus.uci && MainStatus.Analyze); }

bool IsMateScore(int v) { return v > 109899 || (v >= -MateValue && v <= -109900); }

} // namespace

void SearchRoutines::ResetForMove(ChessBoard& board) {
    InteriorNodes = LeafInteriorNodes = QuiesceNodes = 0;
    Abort = StopSearch = TimeUp = TimerExtended = BookMove = 0;
    MainStatus.MaxPlyReached = 0;
    MainStatus.TimeLastPly = 0;
    LastScore = 0;
    RootLegalMoves = 0;
    board.RefreshMaterial();
    for (auto& row : PV)
        for (PVEntry& entry : row) entry = PVEntry{0, 0};
    RootPVLength = 0;
    // Last move's second killers become this move's first ones.
    for (auto& killers : Killers) killers[0] = killers[1];
    MainStatus.SearchStartTime = ClockMs();
}

void SearchRoutines::SetTimeBudget() {
    Status& s = MainStatus;
    if (s.ST) {
        s.TimePerMove = s.ST;
        LogPrintf(" TimePeMove after ST = %d \n", s.TimePerMove);
        LogPrintf(" EmergencyTimeThreshold after ST = %lld \n",
                  static_cast<long long>(s.EmergencyTimeThreshold));
    } else if (s.MovesPerSession > 0) {
        const int64_t share = int64_t(s.TimeLeft) * 95 / s.MovesPerSession;
        s.TimePerMove = static_cast<int>(share / (s.MovesPerSession <= 3 ? 200 : 100));
    } else {
        int64_t perMove = s.GamePly <= 120 || s.TimeInc > 0 ? s.TimeLeft / 30 : s.TimeLeft / 40;
        // Think longer just out of the book, and now and then in a long game.
        if (!s.uci && s.GamePly <= BookMovePly + 7)
            perMove = perMove * 3 / 2;
        else if ((s.GamePly % 10 == 0 || s.GamePly % 9 == 0) && s.TimeLeft > 60000)
            perMove = perMove * 7 / 4;
        LogPrintf(" TimePerMove Before Inc = %lld \n", static_cast<long long>(perMove));
        const int64_t increment = 1000LL * s.TimeInc;
        s.EmergencyTimeThreshold = (s.TimeInc > 0 ? increment : 0) + 2 * perMove;
        if (s.EmergencyTimeThreshold > s.TimeLeft) {
            LogPrintf("EmergencyTimeThreshold = %lld > TimeLeft %d\n",
                      static_cast<long long>(s.EmergencyTimeThreshold), s.TimeLeft);
            s.EmergencyTimeThreshold = 300LL * s.TimeInc;
        }
        LogPrintf(" EmergencyTimeThreshold = %lld \n",
                  static_cast<long long>(s.EmergencyTimeThreshold));
        if (s.TimeInc > 0) {
            if (s.TimeLeft > 20000)
                perMove += increment;
            else if (s.TimeLeft > 10000)
                perMove += increment / 2;
            LogPrintf(" TimePerMove After Inc = %lld \n", static_cast<long long>(perMove));
        }
        if (s.EmergencyTimeThreshold <= perMove + 1000) {
            perMove = s.EmergencyTimeThreshold / 2;
            LogPrintf(" Inc = %lld \n", static_cast<long long>(perMove));
        }
        LogPrintf(" Inc = %d \n", s.TimeInc);
        LogPrintf(" EmergencyTimeThreshold after comparing to Inc = %lld \n",
                  static_cast<long long>(s.EmergencyTimeThreshold));
        s.TimePerMove = static_cast<int>(std::clamp<int64_t>(perMove, INT32_MIN, INT32_MAX));
        if (!s.UnderInterface()) {
            std::printf("Time Per Move = %d\nTime Left = %d\nDefaultMovesPerSession = %d\n",
                        s.TimePerMove, s.TimeLeft, s.DefaultMovesPerSession);
            std::fflush(stdout);
        }
    }
    // The nodes of half the move's time at the estimated speed.
    NodesPerMove = int64_t(s.TimePerMove) * (s.NPS / 2000);
    s.EmergencyTimeThreshold = 2 * NodesPerMove;
    RearmPoll();
}

void SearchRoutines::PonderHit() {
    Status& s = MainStatus;
    const int64_t now = ClockMs();
    const int64_t pondered = now - s.SearchStartTime;
    // The pondering's speed is the best estimate at hand.
    if (pondered >= 1000)
        s.NPS = static_cast<int>(std::clamp<int64_t>(NodeCount() * 1000 / pondered, 1, 1 << 30));
    // The move's time and nodes count from now on, as if the search began here.
    InteriorNodes = LeafInteriorNodes = QuiesceNodes = 0;
    s.Ponder = 0;
    s.SearchStartTime = now;
    if (s.FD) {
        ArmPoll(InitMoveTimer());
        return;
    }
    HardLimitMs = std::max<int64_t>(HardTimeLimit(s) - HardStopLeadMs, 1);
    SetTimeBudget();
}

int SearchRoutines::ProgressiveDeepening(ChessBoard board, int fixedDepth, Bitboard* from,
                                         Bitboard* to, char* promotion) {
    Status& s = MainStatus;
    ResetForMove(board);
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    if (s.xboard) MoveList.InsertHashCodeMoveHistory(upper, lower);
    const int maxDepth =
        fixedDepth > 0 ? std::min(fixedDepth, MaxIterationDepth) : MaxIterationDepth;

    if (s.FD == 0) {
        // First: the poll interval that the budget sets depends on it.
        HardLimitMs = std::max<int64_t>(HardTimeLimit(s) - HardStopLeadMs, 1);
        SetTimeBudget();
    } else {
        s.DepthReached = s.FD;
        HardLimitMs = 0;
        // No budget, but the interface's commands are still read.
        ArmPoll(InitMoveTimer());
    }
    LogPrintf(" Initial Nodes Per Second = %d\n", s.NPS);
    LogPrintf(" Initial NodesPeMove  = %lld   Emergency Threshold = %lld\n",
              static_cast<long long>(NodesPerMove),
              static_cast<long long>(s.EmergencyTimeThreshold));
    LogPrintf("Current TimerPerMove is %d\n", s.TimePerMove);
    NPSCalibrated = 0;
    const bool fromBook = PlayUserBookMove(board, from, to, promotion);

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
        if (d > 1 && !s.Ponder && !s.Analyze && s.FD == 0 && NodeCount() > NodesPerMove) {
            if (NPSCalibrated == 0) {
                MeasureSpeed("Time Consumption for first 7 ply was %f \n");
                NPSCalibrated = 1;
            }
            if (NPSCalibrated == 2 || NodeCount() > NodesPerMove) {
                if (NPSCalibrated == 2 || !FailingLow || TimerExtended || s.ST) break;
                BudgetExceeded();
                NPSCalibrated = 2;
            }
        } else if (s.Analyze) {
            const int64_t seconds = (ClockMs() - s.SearchStartTime + 500) / 1000;
            if (seconds > 0)
                s.NPS = static_cast<int>(std::min<int64_t>(NodeCount() / seconds, 1 << 30));
            if (s.uci) {
                std::printf("info nps %d\ninfo time %lld\n", s.NPS,
                            static_cast<long long>(ClockMs() - s.SearchStartTime));
                std::fflush(stdout);
            }
        }

        s.MaxPlyReached = 0;
        BestChanges = -1;
        FailingLow = 0;
        board.MaxPly = d <= 6 ? 2 * d : 4 * d;
        v = SearchTreeRoot(board.SideToMove, board, -MateValue, MateValue, d, from, to, promotion,
                           board.CastleFlags);
        LastScore = v;
        // A move from the book is played without a search.
        if (BookMove) {
            if (!s.uci) {
                std::printf("tellics kibitz Opening Book Move\n");
                std::fflush(stdout);
            }
            WriteLogFile("Opening Book Move\n");
            break;
        }

        s.TimeLastPly = static_cast<int>(NodeCount() / std::max(s.NPS, 1));
        char text[MaxPVText];
        LineText(text, *from, *to, *promotion);
        if (s.TimeLastPly > 3) {
            LogPrintf("Move Time: %lld milliseconds",
                      static_cast<long long>(ClockMs() - s.SearchStartTime));
            LogPrintf(" %d  %d %d  %lld %s", d, v, s.TimeLastPly,
                      static_cast<long long>(NodeCount()), text);
        }
        if (StopSearch) {
            LogPrintf("New v from PreviousBestValue %d\n", previous);
            v = previous;
        }
        if (!s.uci) {
            if (s.Post && s.TimeLastPly > 3) PrintThinkingLine(d, v, text);
            if (s.Post || s.Analyze) PrintThinkingLine(d, v, text);
        } else if (s.Post || s.Analyze) {
            PrintInfoLine(d, v, text);
        }
        if (Abort) {
            if (!s.Ponder) return v;
            ponderWait = true;
            break;
        }

        bool finished = false;
        if (!s.FD && !s.Ponder) {
            if (s.ST) {
                finished = ClockMs() - s.SearchStartTime > s.ST;
            } else {
                if (d == 1) easyMove = v - EasyMoveMargin > RunnerUp;
                finished = d >= 11 && easyMove && BestChanges == 0 && !FailingLow;
            }
            if (NodeCount() >= NodesPerMove) {
                s.DepthReached = d;
                finished = true;
            }
            if (HardLimitMs > 0 && ClockMs() - s.SearchStartTime >= HardLimitMs) finished = true;
        }
        // A stop (the clock's, a command's or the node limit's) leaves nothing to deepen.
        if (StopSearch) finished = true;
        if (IsMateScore(v) || RootLegalMoves == 1 || (s.Ponder && v == 0 && d > PonderDrawDepth)) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if ((s.FD && d == s.FD) || d + 1 > maxDepth) {
            ponderWait = WaitsForCommand();
            finished = true;
        }
        if (finished) break;
        previous = v;
    }

    if (ponderWait && s.UnderInterface()) {
        // Commands that leave the search waiting (an "isready", a line kept
        // for later) do not end the wait; "ponderhit" ends a ponder search's.
        char line[4096] = "";
        int request = CommandContinuesSearch;
        while (request == CommandContinuesSearch && WaitsForCommand()) {
            if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
            request = CommandHandler ? CommandHandler(line) : CommandAbortsSearch;
        }
        Diagnostic(" Search Aborted due to receiveing following string: %s\n", line);
        AbortSearch();
    }

    // A root without a legal move has no move to play.
    if (v != -MateValue && v != MateValue && v != StalemateValue && *from != *to) {
        uint8_t castleMask;
        MainBoard.MakeMove(*from, *to, *promotion, &castleMask);
        MainBoard.CastleFlags &= castleMask;
    }
    char text[MaxPVText];
    LineText(text, *from, *to, *promotion);
    if (s.Post && !Abort && !s.uci) {
        // A book move's line says where the move comes from.
        char shown[MaxPVText + 8];
        if (BookMove)
            std::snprintf(shown, sizeof shown, " %.*s (book)\n", MoveNameLength(text), text + 1);
        else
            std::snprintf(shown, sizeof shown, "%s", text);
        PrintThinkingLine(IterationDepth, v, shown);
        std::printf("\n");
    }
    if (s.uci) PrintInfoLine(IterationDepth, v, text);
    if (s.Kibitz && !s.uci) {
        if (BookMove)
            std::printf("tellics kibitz Book Move\n");
        else
            std::printf("tellics kibitz ply=%d v=%d centipawns millisecs=%d Nodes=%lld nps=%d %s\n",
                        s.DepthReached, v / 10, std::max(s.TimeLastPly, 1),
                        static_cast<long long>(NodeCount()), s.NPS, text);
    }
    std::fflush(stdout);
    return v;
}

bool SearchRoutines::PlayUserBookMove(const ChessBoard& board, Bitboard* from, Bitboard* to,
                                      char* promotion) {
    const Status& s = MainStatus;
    // A book move is a choice of play: analysis, fixed depths, benchmarks and
    // the searches a UCI interface restricts want the search's own answer.
    const bool allowed = UserBook.IsLoaded() && s.UseBook && !s.NoBook && s.FD == 0 && !s.Bench &&
                         !s.Analyze && !s.Ponder && !s.DoTestSuite && NodeLimit == 0 &&
                         SearchMoveCount == 0;
    PolyglotMove move;
    if (!allowed || !UserBook.Choose(board, s.BookHeaviest, &move)) return false;

    *from = move.From;
    *to = move.To;
    *promotion = move.Promo;
    BookMove = 1;
    BookMovePly = s.GamePly;
    PV[0][0] = PVEntry{static_cast<int16_t>(MoveCode(move.From, move.To)), move.Promo};
    RootPVLength = 1;

    char text[MaxPVText];
    LineText(text, *from, *to, *promotion);
    const int length = MoveNameLength(text);
    LogPrintf("Book move %.*s\n", length, text + 1);
    if (s.uci) {
        std::printf("info string book move %.*s\n", length, text + 1);
        std::fflush(stdout);
    }
    return true;
}

int SearchRoutines::SearchExactDepth(ChessBoard board, int depth, Bitboard* from, Bitboard* to,
                                     char* promotion) {
    const int d = depth > 0 ? depth : MaxSearchPly;
    board.MaxPly = depth > 0 ? 2 * d : 400;
    ResetForMove(board);
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    MoveList.InsertHashCodeMoveHistory(upper, lower);
    MainStatus.DepthReached = MainStatus.FD;
    return SearchTreeRoot(board.SideToMove, board, -MateValue, MateValue, d, from, to, promotion,
                          board.CastleFlags);
}
