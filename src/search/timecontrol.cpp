// The time control's rules: the plan of a move, the hard limit, and how the
// plan is read while the search runs.
#include "search/timecontrol.h"

#include <algorithm>
#include <climits>
#include <cstdio>

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

// The moves a clock without moves to go is spread over: a game still has
// about this many at its start, fewer as it goes on, and never fewer than
// the last figure (a long endgame still needs its time).
constexpr int MovesAheadAtStart = 50;
constexpr int FewestMovesAhead = 20;
// A session's last moves must not find its clock spent: this share of it
// stays in reserve until the control.
constexpr int SessionReservePercent = 5;
// With an increment the clock need not run low, where a busy machine's
// delay alone can lose it: this many increments stay on it (up to half of
// what is left), and only the rest is spread over the moves ahead.
constexpr int IncrementsKept = 3;
// A plan stretches to at most twice the average for a search that stops
// short of its plans, and shrinks by at most a third for one that overruns
// them: the measure is of a few moves, and the clock's limits stand anyway.
constexpr int FewestPlanUsePercent = 50;
constexpr int MostPlanUsePercent = 150;
// Just out of the book the position is new to the search: half as long
// again for these plies.
constexpr int LongerOutOfBookPlies = 7;

// The moves the clock left now has to last: to the control, or an estimate
// of the game's remaining moves.
int MovesAhead(const MoveClock& clock) {
    if (clock.MovesToGo > 0) return std::min(clock.MovesToGo, MovesAheadAtStart);
    return std::max(MovesAheadAtStart - MoveNumberOfPly(clock.GamePly), FewestMovesAhead);
}

// The time a move should take on average: the clock spread over the moves
// ahead, with each increment spent as it comes back (on the moves still to
// come before a control too; the control's last move gets its own).
int64_t AverageMoveTime(const MoveClock& clock, int64_t left, int64_t increment) {
    if (left <= 0) return increment * 3 / 10;
    const int movesAhead = MovesAhead(clock);
    const int64_t kept = std::min(left / 2, IncrementsKept * increment);
    const int64_t spread =
        clock.MovesToGo > 0 ? left * (100 - SessionReservePercent) / 100 : left - kept;
    // An increment beyond what the clock holds is not counted on in full:
    // a move that runs long would spend time that is not there yet.
    return spread / movesAhead + std::min(increment, left / 2);
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
    } else {
        // A search ends anywhere between half its plan and twice it: the
        // plan is the average a move should take, stretched by what the
        // game's moves have shown the search to use of it.
        planned = AverageMoveTime(clock, left, increment) * 100 /
                  std::clamp(clock.PlanUsePercent, FewestPlanUsePercent, MostPlanUsePercent);
        if (clock.LongerOutOfBook && clock.GamePly <= clock.LastBookPly + LongerOutOfBookPlies)
            planned = planned * 3 / 2;
        // The plan ends a move that goes to plan before the clock's limit does.
        planned = std::min(planned, HardTimeLimit(clock));
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
    StartMs = ChargedFromMs = now;
    Planned = planned;
    PlanExtended = false;
    SpeedState = SpeedUnknown;
    Clock.PlanUsePercent = GameClock.PlanUsePercent();
    MovePlan = planned ? PlanMove(Clock) : TimePlan{};
    FirstPlanMs = MovePlan.PlannedMs;
}

void TimeManager::PonderHit(bool countPondered, int64_t now) {
    const int64_t pondered = countPondered ? ElapsedMs(now) : 0;
    ChargedFromMs = now;
    // Not counted: the move's time runs from now, as if the search began here.
    if (!countPondered) StartMs = now;
    if (!Planned) return;
    // The plan counts from the start of the pondering, the clock from now.
    MovePlan = PlanMove(Clock);
    FirstPlanMs = MovePlan.PlannedMs;
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

void GameClockRecord::MovePlayed(int leftMs, int64_t usedMs, int plannedMs) {
    ++MovesPlayed;
    UsedMs += usedMs;
    PlannedMs += plannedMs;
    for (size_t i = 0; i < std::size(ReportedMoves); ++i)
        if (MovesPlayed == ReportedMoves[i]) LeftAt[i] = leftMs;
    if (MovesPlayed <= MeanOverMoves) UsedOverFirstMovesMs += usedMs;
    LowestLeftMs = MovesPlayed == 1 ? leftMs : std::min(LowestLeftMs, leftMs);
    LastLeftMs = leftMs;
}

int GameClockRecord::PlanUsePercent() const {
    if (MovesPlayed < MovesBeforePlanUse || PlannedMs <= 0) return 100;
    return static_cast<int>(std::clamp<int64_t>(UsedMs * 100 / PlannedMs, 1, 1000));
}

void GameClockRecord::Describe(char* text, int size) const {
    if (size <= 0) return;
    text[0] = '\0';
    if (MovesPlayed == 0) return;
    int length = std::snprintf(text, size, "Game clock: %d timed moves; left", MovesPlayed);
    for (size_t i = 0; i < std::size(ReportedMoves) && length < size; ++i) {
        if (MovesPlayed >= ReportedMoves[i])
            length += std::snprintf(text + length, size - length, " %.2f s at move %d,",
                                    LeftAt[i] / 1000.0, ReportedMoves[i]);
    }
    if (length >= size) return;
    const int meanMoves = std::min(MovesPlayed, MeanOverMoves);
    std::snprintf(text + length, size - length,
                  " %.2f s at the last; %lld ms a move over moves 1-%d; lowest %.2f s",
                  LastLeftMs / 1000.0, static_cast<long long>(UsedOverFirstMovesMs / meanMoves),
                  meanMoves, LowestLeftMs / 1000.0);
}
