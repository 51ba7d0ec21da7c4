// The time control: a move's time budget turned into node counts through the
// speed estimate, the periodic check that compares them during the search,
// and a hard limit on the wall clock in case the estimate is wrong.
#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

namespace {

// Fewest nodes between two polls: the poll and the clock cost next to nothing.
constexpr int64_t MinPollInterval = 4096;
// What the hard limit leaves on the clock for the move to reach the interface.
constexpr int64_t ClockMarginMs = 50;

int64_t ElapsedMs() { return ClockMs() - MainStatus.SearchStartTime; }

} // namespace

int64_t HardTimeLimit(const Status& status) {
    if (status.ST > 0) return status.ST;
    const int64_t left = status.TimeLeft;
    // A session's last move may use half of what is left, others a third,
    // plus the increment that comes back; never more than the clock holds.
    int64_t limit =
        left / (status.MovesPerSession == 1 ? 2 : 3) + 1000LL * std::max(status.TimeInc, 0);
    limit = std::min(limit, left - ClockMarginMs);
    return std::max<int64_t>(limit, std::max<int64_t>(left / 4, 1));
}

void SearchRoutines::RearmPoll() {
    NodesToPoll = std::min(InitMoveTimer(), std::max(NodesPerMove / 8, MinPollInterval));
}

void SearchRoutines::MeasureSpeed(const char* logFormat) {
    Status& s = MainStatus;
    const int64_t seconds = (ElapsedMs() + 500) / 1000;
    LogPrintf(logFormat, static_cast<double>(seconds));
    if (seconds <= 0) return;
    LogPrintf("Current TimerPerMove is %d\n", s.TimePerMove);
    LogPrintf("Previous NPS was %d\n", s.NPS);
    LogPrintf("Previous NodesPerMove was %lld\n", static_cast<long long>(NodesPerMove));
    LogPrintf("Nodes for the first 7 ply %lld\n", static_cast<long long>(NodeCount()));
    s.NPS = static_cast<int>(std::min<int64_t>(NodeCount() / seconds, 1 << 30));
    NodesPerMove = static_cast<int64_t>(s.NPS / 1000) * s.TimePerMove;
    if (s.uci) {
        std::printf("info nps %d time %lld\n", s.NPS, static_cast<long long>(seconds * 1000));
        std::fflush(stdout);
    } else {
        Diagnostic("info nps %d time %f\n", s.NPS, static_cast<double>(seconds * 1000));
    }
    LogPrintf(" Dynamic Nodes Per Second = %d\n", s.NPS);
    s.EmergencyTimeThreshold = 2 * NodesPerMove;
    LogPrintf(" NodesPeMove after Dynamic Adjustment = %lld   Emergency Threshold = %lld\n",
              static_cast<long long>(NodesPerMove),
              static_cast<long long>(s.EmergencyTimeThreshold));
}

// The node budget is spent: stretch it once while the root fails low, else
// mark the time up. True when the search must stop at once.
bool SearchRoutines::BudgetExceeded() {
    Status& s = MainStatus;
    if (s.ST) {
        StopSearch = TimeUp = 1;
        return true;
    }
    if (FailingLow && !TimerExtended) {
        const int doublings = TimeUp ? 2 : 1;
        for (int i = 0; i < doublings; ++i) {
            s.TimePerMove *= 2;
            NodesPerMove *= 2;
            s.EmergencyTimeThreshold *= 2;
        }
        TimerExtended = 1;
        TimeUp = 0;
        WriteLogFile("Timer Extended - Failing Low\n");
    } else {
        TimeUp = 1;
    }
    return false;
}

bool SearchRoutines::PeriodicCheck() {
    Status& s = MainStatus;
    bool inputRead = false;
    if (CommandHandler && InputDetected()) {
        char line[4096];
        // The end of input is the interface gone: it ends the engine like "quit".
        if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
        const int request = CommandHandler(line);
        if (request == CommandAbortsSearch) {
            Diagnostic(" Search Aborted due to receiveing following string: %s\n", line);
            Abort = StopSearch = TimeUp = 1;
            return true;
        }
        if (request == CommandStopsSearch) {
            StopSearch = TimeUp = 1;
            return true;
        }
        if (s.xboard) std::fflush(stdout);
        inputRead = true;
    }
    if (!inputRead && IterationDepth > 7 && s.Analyze && s.xboard) {
        std::printf("stat01: %lld %lld %d %d %d\n", static_cast<long long>(ElapsedMs() / 10),
                    static_cast<long long>(NodeCount()), IterationDepth,
                    RootMoveCount - RootMoveIndex, RootMoveCount);
        std::fflush(stdout);
    }
    if (s.Analyze || s.Ponder) {
        NodesToPoll = InitMoveTimer();
        return false;
    }
    // Whatever the node counts say, the clock has the last word.
    if (HardLimitMs > 0 && ElapsedMs() >= HardLimitMs) {
        StopSearch = TimeUp = 1;
        return true;
    }

    const bool overBudget = NodeCount() > NodesPerMove;
    if (!NPSCalibrated) {
        if (overBudget || Abort) {
            MeasureSpeed("Time Consumption for first half of search was %f \n");
            NPSCalibrated = 1;
            if ((NodeCount() > NodesPerMove || Abort) && BudgetExceeded()) return true;
        }
        RearmPoll();
        return false;
    }
    if ((overBudget || Abort) && BudgetExceeded()) return true;
    if (NodeCount() < s.EmergencyTimeThreshold && !Abort) {
        RearmPoll();
        return false;
    }
    StopSearch = 1;
    return true;
}
