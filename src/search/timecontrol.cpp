// The time control: the move's planned time read on the wall clock by the
// periodic check, a hard limit in case the plan is too generous for the
// clock, and the speed every search measures and hands on.
//
// The plan (TimePerMove, T) is read this way: no iteration starts once half
// of T has passed, since the next one would most likely need more than the
// rest; at T the time is up, and the root plays its best move once the move
// it is searching is done; at twice T (the emergency threshold) the search
// stops at once. While the root fails low, T and the threshold double once.
// Under a fixed time per move the search stops at once at T.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

namespace {

// Fewest nodes between two polls: a fraction of a millisecond at full speed,
// a few milliseconds on a crowded machine. A search polls this often until
// it knows its own speed.
constexpr int64_t MinPollInterval = 256;
// A search measures its speed once it has run this long: the clock's
// millisecond is then a small error, and even the shortest move's polls
// already use the figure.
constexpr int64_t SpeedSampleMs = 4;
// Near a deadline a poll comes after at most this share of the nodes left
// before it at the speed seen so far: the engine may lose up to this factor
// of its speed to a busy machine and still stop in time.
constexpr int64_t DeadlinePollDivisor = 8;
// What the hard limit leaves on the clock for the move to reach the interface.
constexpr int64_t ClockMarginMs = 50;

} // namespace

int64_t HardTimeLimit(const Status& status) {
    const int64_t overhead = std::max(status.Options.MoveOverheadMs, 0);
    if (status.Limits.ST > 0) return std::max<int64_t>(status.Limits.ST - overhead, 1);
    const int64_t left = int64_t(status.Limits.TimeLeft) - overhead;
    // With no more than the margin left, any thought risks the flag: move at once.
    if (left <= ClockMarginMs) return 1;
    // A session's last move may use half of what is left, others a third,
    // plus the increment that comes back; never more than the clock holds.
    const int64_t share =
        left / (status.Limits.MovesPerSession == 1 ? 2 : 3) + std::max(status.Limits.TimeIncMs, 0);
    return std::min(share, left - ClockMarginMs);
}

bool SearchWorker::Timed() const {
    return !Settings.Limits.Analyze && !Settings.Limits.Ponder && !Settings.Limits.FD;
}

int64_t SearchWorker::ElapsedMs() const { return ClockMs() - Settings.Timing.SearchStartTime; }

bool SearchWorker::HalfTheTimeSpent() const {
    return ElapsedMs() * 2 >= Settings.Timing.TimePerMove;
}

void SearchWorker::RearmPoll() {
    // Until a timed search knows its speed it polls often, to learn it
    // before the clock matters; a search without a clock has no use for it.
    if (!NPSCalibrated && Timed()) {
        ArmPoll(MinPollInterval);
        return;
    }
    int64_t interval = std::max(InitMoveTimer(), MinPollInterval);
    if (Timed()) {
        // The polls close in on the next moment the clock matters, so that
        // the stop comes within a millisecond or so of it.
        const Status& s = Settings;
        int64_t deadline = s.Timing.EmergencyTimeThreshold;
        if (!TimeUp) deadline = std::min<int64_t>(deadline, s.Timing.TimePerMove);
        if (HardLimitMs > 0) deadline = std::min(deadline, HardLimitMs);
        const int64_t nodesToDeadline = (deadline - ElapsedMs()) * s.Timing.NPS / 1000;
        interval =
            std::min(interval, std::max(nodesToDeadline / DeadlinePollDivisor, MinPollInterval));
    }
    ArmPoll(interval);
}

void SearchWorker::ArmPoll(int64_t nodes) {
    NodesToPoll =
        NodeLimit > 0 ? std::min(nodes, std::max<int64_t>(NodeLimit - NodeCount(), 1)) : nodes;
}

void SearchWorker::MeasureSpeed(const char* context) {
    const int64_t elapsed = ElapsedMs();
    if (elapsed < SpeedSampleMs) return;
    Status& s = Settings;
    const int previous = s.Timing.NPS;
    s.Timing.NPS = static_cast<int>(std::clamp<int64_t>(NodeCount() * 1000 / elapsed, 1, INT_MAX));
    if (NPSCalibrated) return;
    NPSCalibrated = 1;
    if (!Timed()) return;
    LogPrintf("Speed %s: %d nodes/s after %lld ms (the last search's %d); the plan of %d ms is "
              "about %lld nodes",
              context, s.Timing.NPS, static_cast<long long>(elapsed), previous,
              s.Timing.TimePerMove,
              static_cast<long long>(int64_t(s.Timing.NPS) * s.Timing.TimePerMove / 1000));
    if (s.Mode.uci) {
        std::printf("info nps %d time %lld\n", s.Timing.NPS, static_cast<long long>(elapsed));
        std::fflush(stdout);
    }
}

// The planned time is spent: stretch it once while the root fails low, else
// mark the time up. True when the search must stop at once.
bool SearchWorker::BudgetExceeded() {
    Status& s = Settings;
    if (s.Limits.ST) {
        StopSearch = TimeUp = 1;
        return true;
    }
    if (FailingLow && !TimerExtended) {
        const int doublings = TimeUp ? 2 : 1;
        for (int i = 0; i < doublings; ++i) {
            s.Timing.TimePerMove =
                static_cast<int>(std::min<int64_t>(2LL * s.Timing.TimePerMove, INT_MAX));
            s.Timing.EmergencyTimeThreshold *= 2;
        }
        TimerExtended = 1;
        TimeUp = 0;
        WriteLogFile("Timer Extended - Failing Low\n");
    } else {
        TimeUp = 1;
    }
    return false;
}

bool SearchWorker::PeriodicCheck() {
    Status& s = Settings;
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
        if (s.Mode.xboard) std::fflush(stdout);
        inputRead = true;
    }
    if (!inputRead && IterationDepth > 7 && s.Limits.Analyze && s.Mode.xboard) {
        std::printf("stat01: %lld %lld %d %d %d\n", static_cast<long long>(ElapsedMs() / 10),
                    static_cast<long long>(NodeCount()), IterationDepth,
                    RootMoveCount - RootMoveIndex, RootMoveCount);
        std::fflush(stdout);
    }
    // The interface's limit on the nodes is one of the first limits reached;
    // a ponder search has no limits until the move is known.
    if (NodeLimit > 0 && !s.Limits.Ponder && NodeCount() >= NodeLimit) {
        StopSearch = TimeUp = 1;
        return true;
    }
    MeasureSpeed("in the first milliseconds");
    // No budget: an analysis, a ponder search, a fixed depth.
    if (!Timed()) {
        RearmPoll();
        return false;
    }
    const int64_t elapsed = ElapsedMs();
    // Whatever the plan says, the clock's limit has the last word.
    if (HardLimitMs > 0 && elapsed >= HardLimitMs) {
        StopSearch = TimeUp = 1;
        return true;
    }
    if ((elapsed >= s.Timing.TimePerMove || Abort) && BudgetExceeded()) return true;
    if (elapsed < s.Timing.EmergencyTimeThreshold && !Abort) {
        RearmPoll();
        return false;
    }
    StopSearch = 1;
    return true;
}
