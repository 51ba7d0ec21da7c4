// The time control's rules: the plan of a move, the hard limit, and how the
// plan is read while the search runs.
#include "search/timecontrol.h"

#include <algorithm>
#include <climits>

namespace {

// What the hard limit leaves on the clock for the move to reach the interface.
constexpr int64_t ClockMarginMs = 50;
// How long before the hard limit the search stops, so that the move is out
// by then: the unwinding and the output take next to nothing, but on a busy
// machine the engine can wait a dozen milliseconds or more for its turn. A
// limit of a few dozen milliseconds keeps three quarters of itself (the move
// overhead already stands between it and the clock).
constexpr int64_t HardStopLeadMs = 20;
// A search measures its speed once it has run this long: the clock's
// millisecond is then a small error, and even the shortest move's polls
// already use the figure.
constexpr int64_t SpeedSampleMs = 4;
// Fewest nodes between two polls: a fraction of a millisecond at full speed,
// a few milliseconds on a crowded machine.
constexpr int64_t MinPollInterval = 256;
// Near a deadline a poll comes after at most this share of the nodes left
// before it at the speed seen so far: the engine may lose up to this factor
// of its speed to a busy machine and still stop in time.
constexpr int64_t DeadlinePollDivisor = 8;

// The hard limit less the lead that gets the move out before it.
int64_t HardStopMs(const MoveClock& clock) {
    const int64_t limit = HardTimeLimit(clock);
    return std::max<int64_t>(limit - std::min(HardStopLeadMs, limit / 4), 1);
}

// The planned time of a move under a clock without moves to go: a thirtieth
// of what is left (a fortieth late in a game without increment), more just
// out of the book and now and then in a long game, plus the increment while
// the clock allows, within twice that share and the increment.
int64_t SuddenDeathShare(const MoveClock& clock, int64_t left, int64_t increment) {
    int64_t perMove = clock.GamePly <= 120 || increment > 0 ? left / 30 : left / 40;
    if (clock.LongerOutOfBook && clock.GamePly <= clock.LastBookPly + 7)
        perMove = perMove * 3 / 2;
    else if ((clock.GamePly % 10 == 0 || clock.GamePly % 9 == 0) && left > 60000)
        perMove = perMove * 7 / 4;
    // The cap: twice the share of the clock and the increment, or less than
    // the increment when even that is more than the clock holds.
    int64_t cap = increment + 2 * perMove;
    if (cap > left) cap = increment * 3 / 10;
    if (increment > 0) {
        if (left > 20000)
            perMove += increment;
        else if (left > 10000)
            perMove += increment / 2;
    }
    if (cap <= perMove + 1000) perMove = cap / 2;
    return std::clamp<int64_t>(perMove, 0, INT32_MAX);
}

} // namespace

int64_t HardTimeLimit(const MoveClock& clock) {
    const int64_t overhead = std::max(clock.MoveOverheadMs, 0);
    if (clock.MoveTimeMs > 0) return std::max<int64_t>(clock.MoveTimeMs - overhead, 1);
    const int64_t left = int64_t(clock.TimeLeftMs) - overhead;
    // With no more than the margin left, any thought risks the flag: move at once.
    if (left <= ClockMarginMs) return 1;
    // A control's last move may use half of what is left, others a third,
    // plus the increment that comes back; never more than the clock holds.
    const int64_t share = left / (clock.MovesToGo == 1 ? 2 : 3) + std::max(clock.IncrementMs, 0);
    return std::min(share, left - ClockMarginMs);
}

TimePlan PlanMove(const MoveClock& clock) {
    // The overhead is time the clock loses whatever the engine does: on this
    // move, and on each move whose increment comes back (an increment below
    // it buys no thinking at all).
    const int64_t overhead = std::max(clock.MoveOverheadMs, 0);
    const int64_t left = clock.TimeLeftMs - overhead;
    const int64_t increment = std::max<int64_t>(clock.IncrementMs - overhead, 0);
    int64_t planned;
    if (clock.MoveTimeMs > 0) {
        planned = std::max<int64_t>(clock.MoveTimeMs - overhead, 1);
    } else if (clock.MovesToGo > 0) {
        // A share of the session, kept small for its last moves.
        const int64_t share = left * 95 / clock.MovesToGo;
        planned = share / (clock.MovesToGo <= 3 ? 200 : 100);
    } else {
        planned = SuddenDeathShare(clock, left, increment);
    }
    TimePlan plan;
    plan.PlannedMs = static_cast<int>(std::clamp<int64_t>(planned, 0, INT32_MAX));
    plan.EmergencyMs = 2LL * plan.PlannedMs;
    plan.HardLimitMs = HardStopMs(clock);
    return plan;
}

void TimeManager::Start(const MoveClock& clock, bool planned, int64_t now) {
    Clock = clock;
    Clock.LastBookPly = LastBookPly;
    StartMs = now;
    Planned = planned;
    PlanExtended = false;
    SpeedState = SpeedUnknown;
    MovePlan = planned ? PlanMove(Clock) : TimePlan{};
}

void TimeManager::PonderHit(bool countPondered, int64_t now) {
    const int64_t pondered = countPondered ? ElapsedMs(now) : 0;
    // Not counted: the move's time runs from now, as if the search began here.
    if (!countPondered) StartMs = now;
    if (!Planned) return;
    // The plan counts from the start of the pondering, the clock from now.
    MovePlan = PlanMove(Clock);
    MovePlan.HardLimitMs += pondered;
}

ClockVerdict TimeManager::PlanSpent(bool failingLow, bool timeUpAlready) {
    if (Clock.MoveTimeMs > 0) return ClockVerdict::StopNow;
    if (!failingLow || PlanExtended) return ClockVerdict::FinishIteration;
    // Twice the plan, or four times it when the time was already up.
    const int doublings = timeUpAlready ? 2 : 1;
    for (int i = 0; i < doublings; ++i) {
        MovePlan.PlannedMs = static_cast<int>(std::min<int64_t>(2LL * MovePlan.PlannedMs, INT_MAX));
        MovePlan.EmergencyMs *= 2;
    }
    PlanExtended = true;
    return ClockVerdict::Continue;
}

bool TimeManager::EndsBeforeIteration(bool failingLow, bool timeUpAlready) {
    if (SpeedState == SpeedAndExtension || !failingLow || PlanExtended || Clock.MoveTimeMs > 0)
        return true;
    PlanSpent(failingLow, timeUpAlready);
    SpeedState = SpeedAndExtension;
    return false;
}

int64_t TimeManager::PollInterval(int64_t interval, int64_t now, bool timed, bool timeUp) const {
    // A search without a clock has no use for its speed.
    if (!timed) return std::max(interval, MinPollInterval);
    if (SpeedState == SpeedUnknown) return MinPollInterval;
    // The polls close in on the next moment the clock matters, so that the
    // stop comes within a millisecond or so of it.
    int64_t deadline = MovePlan.EmergencyMs;
    if (!timeUp) deadline = std::min<int64_t>(deadline, MovePlan.PlannedMs);
    if (MovePlan.HardLimitMs > 0) deadline = std::min(deadline, MovePlan.HardLimitMs);
    const int64_t nodesToDeadline = (deadline - ElapsedMs(now)) * NPS / 1000;
    return std::min(std::max(interval, MinPollInterval),
                    std::max(nodesToDeadline / DeadlinePollDivisor, MinPollInterval));
}

bool TimeManager::MeasureSpeed(int64_t nodes, int64_t now) {
    const int64_t elapsed = ElapsedMs(now);
    if (elapsed < SpeedSampleMs) return false;
    NPS = static_cast<int>(std::clamp<int64_t>(nodes * 1000 / elapsed, 1, INT_MAX));
    if (SpeedState != SpeedUnknown) return false;
    SpeedState = SpeedMeasuredOnce;
    return true;
}
