// The periodic check of the main search: the front end's input, the node
// limit and the clock, every so many nodes.
#include <algorithm>

#include "platform/platform.h"
#include "search/search.h"

namespace {

// Nodes between two looks at the input when an interface expects its
// commands answered within milliseconds, and during a ponder search, whose
// end starts the engine's clock.
constexpr int64_t QuickPollInterval = 4096;

} // namespace

int64_t SearchWorker::InputPollInterval() const {
    // Input is read every half second of search, every eighth in analysis.
    // A fixed count for quick polls, not one from the measured speed, so
    // that a node limit stops at the same node in every run.
    const int nps = Owner.Time.NodesPerSecond();
    const int64_t nodes = Analysing ? nps >> 3 : nps / 2;
    return Request().QuickPolls || Pondering ? QuickPollInterval : nodes;
}

void SearchWorker::RearmPoll() {
    ArmPoll(Owner.Time.PollInterval(InputPollInterval(), ClockMs(), Timed(), TimeUp));
}

void SearchWorker::ArmPoll(int64_t nodes) {
    if (NodeLimit <= 0) {
        NodesToPoll = nodes;
        return;
    }
    // Only interior nodes count down to a poll, so the quiescence nodes
    // between two polls run past the limit. A level's small budgets would
    // overrun by half: it polls at a quarter of what is left.
    const int64_t left = std::max<int64_t>(NodeLimit - NodeCount(), 1);
    NodesToPoll = std::min(nodes, Level.Active ? std::max<int64_t>(left / 4, 1) : left);
}

void SearchWorker::MeasureSpeed(const char* context) {
    TimeManager& time = Owner.Time;
    const int previous = time.NodesPerSecond();
    const int64_t elapsed = time.ElapsedMs(ClockMs());
    if (!time.MeasureSpeed(NodeCount(), ClockMs()) || !Timed()) return;
    const int nps = time.NodesPerSecond();
    Log("Speed %s: %d nodes/s after %lld ms (the last search's %d); the plan of %d ms is about "
        "%lld nodes",
        context, nps, static_cast<long long>(elapsed), previous, time.Plan().PlannedMs,
        static_cast<long long>(int64_t(nps) * time.Plan().PlannedMs / 1000));
    Reporter().SpeedMeasured(nps, elapsed);
}

bool SearchWorker::PeriodicCheck() {
    bool inputRead = false;
    // A search that is stopping reads no more: what waits is for what comes next.
    if (!StopSearch) {
        inputRead = Reporter().PollInput();
        if (StopSearch) return true;
    }
    if (!inputRead && IterationDepth > 7 && Analysing) Reporter().Progress(Owner.Progress());
    // The interface's limit on the nodes is one of the first limits reached;
    // a ponder search has no limits until the move is known, but a level's
    // budget holds on the opponent's time too.
    if (NodeLimit > 0 && (!Pondering || Level.Active) && NodeCount() >= NodeLimit) {
        StopSearch = TimeUp = 1;
        return true;
    }
    MeasureSpeed("in the first milliseconds");
    // No plan: an analysis, a ponder search, a fixed depth.
    if (!Timed()) {
        RearmPoll();
        return false;
    }
    TimeManager& time = Owner.Time;
    const int64_t now = ClockMs();
    // Whatever the plan says, the clock's limit has the last word.
    if (time.HardLimitReached(now)) {
        StopSearch = TimeUp = 1;
        return true;
    }
    if (time.PlanReached(now)) {
        switch (time.PlanSpent(FailingLow, TimeUp)) {
        case ClockVerdict::StopNow:
            StopSearch = TimeUp = 1;
            return true;
        case ClockVerdict::FinishIteration:
            TimeUp = 1;
            break;
        case ClockVerdict::Continue:
            TimeUp = 0;
            Log("Timer Extended - Failing Low");
            break;
        }
    }
    if (!time.EmergencyReached(now)) {
        RearmPoll();
        return false;
    }
    StopSearch = 1;
    return true;
}
