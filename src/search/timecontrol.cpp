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
// Near the hard limit a poll comes after at most this share of the nodes
// left before it at the speed seen so far: the engine may lose up to this
// factor of its speed to a busy machine and still stop in time.
constexpr int64_t HardLimitPollDivisor = 8;
// Fewest nodes between two polls near the hard limit, and the nodes before
// the first poll of a move, when its speed is still unknown: a fraction of a
// millisecond at full speed, a few milliseconds on a crowded machine.
constexpr int64_t MinPollNearHardLimit = 256;
// What the hard limit leaves on the clock for the move to reach the interface.
constexpr int64_t ClockMarginMs = 50;

int64_t ElapsedMs() { return ClockMs() - MainStatus.SearchStartTime; }

} // namespace

int64_t HardTimeLimit(const Status& status) {
    if (status.ST > 0) return status.ST;
    const int64_t left = status.TimeLeft;
    // With no more than the margin left, any thought risks the flag: move at once.
    if (left <= ClockMarginMs) return 1;
    // A session's last move may use half of what is left, others a third,
    // plus the increment that comes back; never more than the clock holds.
    const int64_t share =
        left / (status.MovesPerSession == 1 ? 2 : 3) + std::max(status.TimeIncMs, 0);
    return std::min(share, left - ClockMarginMs);
}

void SearchRoutines::RearmPoll() {
    NodesToPoll = std::min(InitMoveTimer(), std::max(NodesPerMove / 8, MinPollInterval));
    if (HardLimitMs > 0) {
        // The budget's interval rests on the speed estimate and can be far
        // too long when the estimate is wrong (or the search is slow to
        // start, while the table's pages are first touched). So the first
        // poll comes soon, to see the real speed, and each later one covers
        // only a share of what is left before the hard limit at that speed:
        // the polls close in on the limit, and the stop comes within a
        // millisecond or so of it.
        const int64_t elapsed = ElapsedMs();
        if (elapsed <= 0) {
            NodesToPoll = std::min(NodesToPoll, MinPollNearHardLimit);
        } else {
            const int64_t nodesToLimit = (HardLimitMs - elapsed) * (NodeCount() / elapsed);
            NodesToPoll = std::min(
                NodesToPoll, std::max(nodesToLimit / HardLimitPollDivisor, MinPollNearHardLimit));
        }
    }
    ArmPoll(NodesToPoll);
}

void SearchRoutines::ArmPoll(int64_t nodes) {
    NodesToPoll =
        NodeLimit > 0 ? std::min(nodes, std::max<int64_t>(NodeLimit - NodeCount(), 1)) : nodes;
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
    // A search that is stopping reads no more: what waits is for what comes next.
    if (CommandHandler && !StopSearch && InputDetected()) {
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
    // The interface's limit on the nodes is one of the first limits reached;
    // a ponder search has no limits until the move is known.
    if (NodeLimit > 0 && !s.Ponder && NodeCount() >= NodeLimit) {
        StopSearch = TimeUp = 1;
        return true;
    }
    // No budget: an analysis, a ponder search, a fixed depth.
    if (s.Analyze || s.Ponder || s.FD) {
        ArmPoll(InitMoveTimer());
        return false;
    }
    // Whatever the node counts say, the clock has the last word.
    if (HardLimitMs > 0 && ElapsedMs() >= HardLimitMs) {
        // A speed estimate so high that the node budget was never reached
        // would otherwise stay wrong and send every move to the hard limit.
        if (!NPSCalibrated) {
            MeasureSpeed("Time Consumption until the hard limit was %f \n");
            NPSCalibrated = 1;
        }
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
