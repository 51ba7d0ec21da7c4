// The time control: every rule about how long a move may think. The plan
// is a pure function of the clock and the game; the TimeManager reads it on
// the wall clock for the search and answers its questions (start another
// iteration? is the time up? must it stop at once?).
//
// The plan (P) is read this way: no iteration starts once half of P has
// passed, since the next one would most likely need more than the rest; at
// P the time is up, and the root plays its best move once the move it is
// searching is done; at twice P (the emergency threshold) the search stops
// at once. While the root fails low, P and the threshold double once. Under
// a fixed time a move the search stops at once at P. A hard limit, from the
// clock alone, stops the search whatever the plan says.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

// The move number of a game's ply, counted from the position the game
// started from (plies 1 and 2 are move 1).
constexpr int MoveNumberOfPly(int gamePly) { return (std::max(gamePly, 1) + 1) / 2; }

// The clock of one move as the side to move has it (milliseconds).
struct MoveClock {
    int TimeLeftMs = 0;
    int IncrementMs = 0;
    int MovesToGo = 0;  // to the next control; 0: the rest of the game
    int MoveTimeMs = 0; // a fixed time a move; 0: none
    int MoveOverheadMs = 0;
    int GamePly = 1;
    // The ply of the last move played from the book: the first moves after
    // it get half as long again when LongerOutOfBook is set.
    int LastBookPly = 0;
    bool LongerOutOfBook = false;
    // How much of their plans this game's timed moves have taken (percent;
    // 100 until there is a measure). A search that stops short of its plans
    // gets longer ones, so that its moves take the average a move should.
    int PlanUsePercent = 100;
};

// A move's time, from the start of its search.
struct TimePlan {
    int PlannedMs = 0;       // no iteration starts past half of it; the time is up at it
    int64_t EmergencyMs = 0; // the search stops at once
    int64_t HardLimitMs = 0; // the clock's last word: stop, whatever the plan
};

// The wall-clock limit of one move: a fixed time less the overhead, else a
// third of the clock (half before a control's last move) plus the increment,
// never closer than 50 ms to the flag.
int64_t HardTimeLimit(const MoveClock& clock);
// The plan of a timed move.
TimePlan PlanMove(const MoveClock& clock);

// What the clock says at a poll of a timed search.
enum class ClockVerdict {
    Continue,
    FinishIteration, // the time is up: the root plays its move once the current one is searched
    StopNow,
};

// The clock of one game as the engine played it, summed up in the log at
// the game's end: the clock before its moves 20, 40 and 60 and its last,
// the mean time a move over its first 40, the lowest clock.
class GameClockRecord {
  public:
    // A timed move played with `leftMs` on the clock before it, `usedMs`
    // of which the clock was charged for it, against its plan of `plannedMs`.
    void MovePlayed(int leftMs, int64_t usedMs, int plannedMs);
    // How much of their plans the moves so far have taken, in percent; 100
    // until a few moves tell.
    int PlanUsePercent() const;
    // One line of text; empty before the first timed move.
    void Describe(char* text, int size) const;

  private:
    static constexpr int ReportedMoves[] = {20, 40, 60};
    static constexpr int MeanOverMoves = 40;
    static constexpr int MovesBeforePlanUse = 4;
    int MovesPlayed = 0;
    int LeftAt[std::size(ReportedMoves)] = {};
    int LastLeftMs = 0;
    int LowestLeftMs = 0;
    int64_t UsedOverFirstMovesMs = 0;
    int64_t UsedMs = 0, PlannedMs = 0; // over all the moves
};

// The clock of one search at a time, with the speed that each search
// measures and hands on to the next.
class TimeManager {
  public:
    // A new search at `now`, planned unless it searches to a fixed depth
    // (an analysis and a ponder search have a plan that nothing reads until
    // a ponder hit).
    void Start(const MoveClock& clock, bool planned, int64_t now);
    // The opponent played the move pondered on: the search is timed from now
    // on. `countPondered`: the plan counts from the start of the pondering
    // (the hard limit still runs from now); else from now, as a new search.
    void PonderHit(bool countPondered, int64_t now);
    // The clock the interface sent during the search (a ponder search's, say).
    void UpdateClock(int timeLeftMs) { Clock.TimeLeftMs = timeLeftMs; }
    // A move was played from the book at this ply.
    void BookMovePlayed(int gamePly) { LastBookPly = gamePly; }
    // A timed search ended with its move at `now`: the game's record takes
    // it, with the time the clock charged (from the start or the ponder hit).
    void TimedMovePlayed(int64_t now) {
        GameClock.MovePlayed(Clock.TimeLeftMs, now - ChargedFromMs, FirstPlanMs);
    }
    // The game is over (or a new one begins): its clock record is handed
    // back and a new one begins.
    GameClockRecord EndGame() { return std::exchange(GameClock, GameClockRecord{}); }

    int64_t ElapsedMs(int64_t now) const { return now - StartMs; }
    int64_t StartTime() const { return StartMs; }
    const MoveClock& ClockOfMove() const { return Clock; }
    const TimePlan& Plan() const { return MovePlan; }

    // Half the plan has passed: no new iteration starts.
    bool HalfSpent(int64_t now) const { return ElapsedMs(now) * 2 >= MovePlan.PlannedMs; }
    // The plan has been spent: it is doubled once while the root fails low
    // (Continue), else the time is up (FinishIteration), or over at once
    // under a fixed time (StopNow).
    ClockVerdict PlanSpent(bool failingLow, bool timeUpAlready);
    // The periodic check's tests of a timed search, in the order it asks them.
    bool HardLimitReached(int64_t now) const {
        return MovePlan.HardLimitMs > 0 && ElapsedMs(now) >= MovePlan.HardLimitMs;
    }
    bool PlanReached(int64_t now) const { return ElapsedMs(now) >= MovePlan.PlannedMs; }
    bool EmergencyReached(int64_t now) const { return ElapsedMs(now) >= MovePlan.EmergencyMs; }
    // Past half the plan, before another iteration: true when the move is
    // over; a root failing low has the plan doubled once instead.
    bool EndsBeforeIteration(bool failingLow, bool timeUpAlready);

    // Nodes until the next poll: `interval` (the input's), and for a timed
    // search closing in on the next moment the clock matters at the last
    // speed seen; until it knows its speed, a timed search polls often.
    int64_t PollInterval(int64_t interval, int64_t now, bool timed, bool timeUp) const;
    // Takes the speed of this search, once it has run long enough to tell.
    // True the first time: the caller reports it for a timed search.
    bool MeasureSpeed(int64_t nodes, int64_t now);
    int NodesPerSecond() const { return NPS; }
    // A speed from elsewhere (a benchmark's), for the next plan's polls.
    void SetNodesPerSecond(int nps) { NPS = nps; }
    // Whether the plan was extended for a failing root.
    bool Extended() const { return PlanExtended; }

  private:
    // The speed is measured once a search; the iterations' extension for a
    // failing root happens at most once after that.
    enum : uint8_t { SpeedUnknown, SpeedMeasuredOnce, SpeedAndExtension };
    MoveClock Clock;
    TimePlan MovePlan;
    int64_t StartMs = 0;
    int64_t ChargedFromMs = 0; // the start, or the ponder hit
    int FirstPlanMs = 0;       // the plan before any extension
    bool Planned = false;
    bool PlanExtended = false;
    uint8_t SpeedState = SpeedUnknown;
    int LastBookPly = 0;
    // Nodes per second measured by the searches, each handing its figure on
    // to the next; 0 until the first search has run a few milliseconds.
    int NPS = 0;
    GameClockRecord GameClock;
};
