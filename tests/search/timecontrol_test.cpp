// The time control's logic: the budget a clock gives, the hard limit on the
// wall clock, the poll interval and the stops of the periodic check. Nothing
// here asserts on how long anything took.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

// Black's only move is Kg8: the driver plays it after the first iteration,
// long before any poll, so the budget stays as the clock set it.
constexpr const char* OneMoveFen = "7k/8/5P2/8/8/8/8/K6R b - - 0 1";
// White has checks at the root, so the first iteration enters the full
// search, where the periodic check runs.
constexpr const char* ChecksAtRootFen =
    "rnbqkbnr/ppp2ppp/8/3pp3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3";
constexpr const char* MiddlegameFen =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 1 8";

struct Clock {
    int Fixed, Left, IncMs, MovesToGo;
};

// The formulas' figures come out exactly without a move overhead; the
// overhead has its own cases.
Status StatusFor(const Clock& clock, int overheadMs = 0) {
    Status s;
    s.Limits.ST = clock.Fixed;
    s.Limits.TimeLeft = clock.Left;
    s.Limits.TimeIncMs = clock.IncMs;
    s.Limits.MovesPerSession = clock.MovesToGo;
    s.Options.MoveOverheadMs = overheadMs;
    return s;
}

// The settings of an xboard game at ply 30, and a clean search to run in.
class TimeControl : public testing::Test {
  protected:
    void SetUp() override {
        saved = TestEngine().Settings;
        TestEngine().Settings.initVars();
        TestEngine().Settings.Mode.xboard = 1;
        TestEngine().Settings.Options.UseBook = 0;
        TestEngine().Settings.Game.GamePly = 30;
        TestEngine().Settings.Options.MoveOverheadMs = 0;
        TestEngine().Main.ClearHistory();
        TestEngine().Table.ClearTranspositionTables();
    }
    void TearDown() override {
        TestEngine().Settings = saved;
        TestEngine().Main.HardLimitMs = 0;
        TestEngine().Main.Abort = TestEngine().Main.StopSearch = TestEngine().Main.TimeUp = 0;
        TestEngine().Main.InteriorNodes = TestEngine().Main.QuiesceNodes = 0;
    }

    void SetClock(const Clock& clock, int overheadMs = 0) {
        const Status s = StatusFor(clock, overheadMs);
        TestEngine().Settings.Limits.ST = s.Limits.ST;
        TestEngine().Settings.Limits.TimeLeft = s.Limits.TimeLeft;
        TestEngine().Settings.Limits.TimeIncMs = s.Limits.TimeIncMs;
        TestEngine().Settings.Limits.MovesPerSession = s.Limits.MovesPerSession;
        TestEngine().Settings.Options.MoveOverheadMs = s.Options.MoveOverheadMs;
    }

    // Runs the driver under the clock from `fen`; true when it chose a
    // legal move of that position.
    bool Think(const char* fen) {
        const ChessBoard before = BoardFromFen(fen);
        Bitboard from = 0, to = 0;
        char promotion = NoPromotion;
        TestEngine().Main.ProgressiveDeepening(MoveHistory(), MainBoard, 0, &from, &to, &promotion);
        if (TestEngine().Main.Abort || from == to) return false;
        ChessBoard played = before;
        uint8_t castleMask;
        played.MakeMove(from, to, promotion, &castleMask);
        const int side = before.SideToMove;
        if (played.InCheck(side == White ? played.WKing : played.BKing, side)) return false;
        MoveList list;
        ChessBoard generated = before;
        const int count = list.GenerateAllMoves(side, &generated, before.CastleFlags);
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed |= list.From[i] == from && list.To[i] == to && list.Promo[i] == promotion;
        return listed;
    }

    // A search in progress for `elapsedMs` with `nodes` behind it, under a
    // plan of `planMs` (and twice that as the emergency stop), no hard limit,
    // its speed measured or not.
    void SearchUnderWay(int64_t elapsedMs, int64_t nodes, int planMs = 60000,
                        uint8_t speedMeasured = 1) {
        TestEngine().Settings.Limits.ST = 0;
        TestEngine().Settings.Timing.TimePerMove = planMs;
        TestEngine().Settings.Timing.EmergencyTimeThreshold = 2LL * planMs;
        TestEngine().Settings.Timing.SearchStartTime = ClockMs() - elapsedMs;
        TestEngine().Main.HardLimitMs = 0;
        TestEngine().Main.NPSCalibrated = speedMeasured;
        TestEngine().Main.InteriorNodes = nodes;
        TestEngine().Main.QuiesceNodes = 0;
        TestEngine().Main.Abort = TestEngine().Main.StopSearch = TestEngine().Main.TimeUp = 0;
        TestEngine().Main.FailingLow = TestEngine().Main.TimerExtended = 0;
    }

    Status saved;
};

// The match.log lines a call writes, in a scratch directory of its own.
template <typename Work> std::string LoggedBy(Work work) {
    const auto previous = std::filesystem::current_path();
    const auto dir =
        std::filesystem::temp_directory_path() / ("vorn-timecontrol-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    OpenLogFile();
    work();
    CloseLogFile();
    std::stringstream log;
    log << std::ifstream("match.log").rdbuf();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
    return log.str();
}

TEST_F(TimeControl, AMinuteLeftPlansTwoSecondsAndStopsAtOnceAtFour) {
    SetClock({0, 60000, 0, 0});
    bool moved = false;
    const std::string log = LoggedBy([&] { moved = Think(OneMoveFen); });
    EXPECT_TRUE(moved);
    // A thirtieth of the clock, and twice that as the emergency time.
    EXPECT_NE(log.find(" TimePerMove Before Inc = 2000 \n"), std::string::npos) << log;
    EXPECT_NE(log.find(" EmergencyTimeThreshold = 4000 \n"), std::string::npos) << log;
    EXPECT_EQ(TestEngine().Settings.Timing.TimePerMove, 2000);
    EXPECT_EQ(TestEngine().Settings.Timing.EmergencyTimeThreshold, 4000);
    EXPECT_EQ(HardTimeLimit(TestEngine().Settings), 20000);
    // Each move says what it planned and what it used.
    EXPECT_NE(log.find("Clock: planned 2000 ms, used "), std::string::npos) << log;
}

struct PlanCase {
    const char* name;
    Clock clock;
    int overheadMs;
    int plan;
};

// Ply 30, out of the book; increments in milliseconds.
const PlanCase PlanCases[] = {
    // 60000 / 30 = 2000, the increment added whole: 2100 (not 2000, as a
    // whole-second increment of 0 would give).
    {"level 0 1 0.1", {0, 60000, 100, 0}, 0, 2100},
    // 333 a move; the emergency cap (100 + 666 <= 333 + 1000) gives half of 766.
    {"level 0 0:10 0.1", {0, 10000, 100, 0}, 0, 383},
    // 300000 * 95 / 40 / 100: a session's share; the increment is not in it.
    {"level 40 5 0.5", {0, 300000, 500, 40}, 0, 7125},
    {"the last three moves of a session: half shares", {0, 6000, 0, 3}, 0, 950},
    {"an increment beyond the clock: a thirtieth of the clock", {0, 1000, 5000, 0}, 0, 33},
    {"st 1", {1000, 0, 0, 0}, 0, 1000},
    {"st 1, 30 ms of overhead", {1000, 0, 0, 0}, 30, 970},
    {"movetime 1 ms beneath the overhead", {1, 0, 0, 0}, 30, 1},
    {"a minute, a second of overhead", {0, 60000, 0, 0}, 1000, 1966},
    // The overhead comes off the increment too: 70 ms of it are left here.
    {"level 0 0:10 0.1, 30 ms of overhead", {0, 10000, 100, 0}, 30, 367},
    // An increment below the overhead buys nothing: 970 / 30.
    {"level 0 0:01 0.01, 30 ms of overhead", {0, 1000, 10, 0}, 30, 32},
    {"a clock at zero", {0, 0, 0, 0}, 0, 0},
    {"a clock past zero", {0, -500, 0, 40}, 30, 0},
    {"a clock past zero, an increment", {0, -500, 2000, 0}, 0, 300},
};

TEST_F(TimeControl, PlanCountsTheIncrementsFractionAndSetsTheOverheadAside) {
    for (const PlanCase& c : PlanCases) {
        SetClock(c.clock, c.overheadMs);
        ASSERT_TRUE(Think(OneMoveFen)) << c.name;
        EXPECT_EQ(TestEngine().Settings.Timing.TimePerMove, c.plan) << c.name;
        EXPECT_EQ(TestEngine().Settings.Timing.EmergencyTimeThreshold, 2LL * c.plan) << c.name;
    }
}

struct HardLimitCase {
    const char* name;
    Clock clock;
    int64_t limit;
};

const HardLimitCase HardLimitCases[] = {
    {"fixed 50 ms", {50, 0, 0, 0}, 50},
    {"fixed 10 s, a clock beside it", {10000, 500, 0, 0}, 10000},
    {"a third of a minute", {0, 60000, 0, 0}, 20000},
    {"a third and the increment", {0, 60000, 2000, 0}, 22000},
    {"a third and an increment's fraction", {0, 60000, 150, 0}, 20150},
    {"movestogo 40", {0, 60000, 0, 40}, 20000},
    {"movestogo 1: half", {0, 60000, 0, 1}, 30000},
    {"movestogo 1 with an increment", {0, 5000, 3000, 1}, 4950},
    {"a second and a large increment", {0, 1000, 5000, 0}, 950},
    {"a third of a second", {0, 1000, 0, 0}, 333},
    {"a tenth of a second", {0, 100, 0, 0}, 33},
    {"barely more than the margin", {0, 60, 0, 0}, 10},
    {"one millisecond over the margin", {0, 51, 0, 1}, 1},
    {"the margin exactly", {0, 50, 1000, 0}, 1},
    {"below the margin", {0, 20, 0, 0}, 1},
    {"the clock run out", {0, 0, 0, 40}, 1},
    {"the clock past zero", {0, -300, 2000, 0}, 1},
};

TEST_F(TimeControl, HardLimitIsTheFixedTimeOrASafeShareOfTheClock) {
    for (const HardLimitCase& c : HardLimitCases) {
        const Status s = StatusFor(c.clock);
        const int64_t limit = HardTimeLimit(s);
        EXPECT_EQ(limit, c.limit) << c.name;
        EXPECT_GE(limit, 1) << c.name; // 0 would mean no limit at all
        if (s.Limits.ST == 0 && s.Limits.TimeLeft > 50) {
            EXPECT_LE(limit, s.Limits.TimeLeft - 50) << c.name;
        }
    }
    // The overhead comes off first: off a fixed time, and off the clock.
    EXPECT_EQ(HardTimeLimit(StatusFor({1000, 0, 0, 0}, 30)), 970);
    EXPECT_EQ(HardTimeLimit(StatusFor({20, 0, 0, 0}, 30)), 1);
    EXPECT_EQ(HardTimeLimit(StatusFor({0, 60000, 0, 0}, 1000)), 59000 / 3);
    EXPECT_EQ(HardTimeLimit(StatusFor({0, 80, 0, 0}, 30)), 1);
}

TEST_F(TimeControl, HardLimitNeverCutsIntoTheTimeTheClockPlansForTheMove) {
    // The planned time alone ends a move that goes to plan.
    const Clock clocks[] = {{0, 1000, 0, 0},      {0, 1000, 1000, 0},    {0, 5000, 0, 1},
                            {0, 5000, 0, 2},      {0, 5000, 0, 3},       {0, 25000, 10000, 0},
                            {0, 25000, 30000, 0}, {0, 180000, 2000, 40}, {0, 180000, 0, 0},
                            {0, 10000, 100, 0},   {0, 1000, 10, 0}};
    for (const Clock& clock : clocks) {
        SetClock(clock);
        ASSERT_TRUE(Think(OneMoveFen));
        EXPECT_LE(TestEngine().Settings.Timing.TimePerMove, HardTimeLimit(TestEngine().Settings))
            << clock.Left << " ms + " << clock.IncMs << " ms, movestogo " << clock.MovesToGo;
    }
}

TEST_F(TimeControl, SearchMeasuresItsSpeedAfterItsFirstMilliseconds) {
    TestEngine().Settings.Timing.NPS = 50000000; // a figure handed on, far from this search's
    // Too soon to tell: the figure stands, and the polls come often.
    SearchUnderWay(0, 100, 60000, 0);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_EQ(TestEngine().Settings.Timing.NPS, 50000000);
    EXPECT_EQ(TestEngine().Main.NPSCalibrated, 0);
    EXPECT_EQ(TestEngine().Main.NodesToPoll, 256);
    // 1500000 nodes in a second (the test's own run may add some milliseconds).
    SearchUnderWay(1000, 1500000, 60000, 0);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_NEAR(TestEngine().Settings.Timing.NPS, 1500000, 75000);
    EXPECT_EQ(TestEngine().Main.NPSCalibrated, 1);
    // A fixed depth measures too, for its polls and the next search.
    TestEngine().Settings.Limits.FD = 9;
    SearchUnderWay(1000, 500000, 60000, 0);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_NEAR(TestEngine().Settings.Timing.NPS, 500000, 25000);
    EXPECT_EQ(TestEngine().Main.NPSCalibrated, 1);
}

TEST_F(TimeControl, PollsCloseInOnTheNextDeadline) {
    TestEngine().Settings.Timing.NPS = 1000000;
    // Far from every deadline: input every half second of search.
    SearchUnderWay(100, 100000);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_EQ(TestEngine().Main.NodesToPoll, TestEngine().Settings.Timing.NPS / 2);
    // 1000 nodes a millisecond and a plan of 1100 ms: at most an eighth of
    // the nodes of the second left (fewer as the clock moves on).
    SearchUnderWay(100, 100000, 1100);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_LE(TestEngine().Main.NodesToPoll, 125000);
    EXPECT_GT(TestEngine().Main.NodesToPoll, 100000);
    // Time up at the plan: the next deadline is the emergency stop.
    SearchUnderWay(1000, 1000000, 1000);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.TimeUp);
    EXPECT_LE(TestEngine().Main.NodesToPoll, 125000);
    EXPECT_GT(TestEngine().Main.NodesToPoll, 100000);
    // The hard limit before the plan's deadlines.
    SearchUnderWay(100, 100000);
    TestEngine().Main.HardLimitMs = 300;
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_LE(TestEngine().Main.NodesToPoll, 25000);
    // A deadline at hand: never fewer than a fraction of a millisecond's worth.
    SearchUnderWay(100, 100000);
    TestEngine().Main.HardLimitMs = 101;
    TestEngine().Main.PeriodicCheck();
    EXPECT_EQ(TestEngine().Main.NodesToPoll, 256);
}

TEST_F(TimeControl, PeriodicCheckReadsThePlanOnTheClock) {
    TestEngine().Settings.Timing.NPS = 1000000;
    // Within the plan: on.
    SearchUnderWay(300, 300000, 500);
    EXPECT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_FALSE(TestEngine().Main.TimeUp);
    // Past the plan: the time is up, the root finishes its move.
    SearchUnderWay(600, 600000, 500);
    EXPECT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.TimeUp);
    EXPECT_FALSE(TestEngine().Main.StopSearch);
    // Past twice the plan: the emergency stop.
    SearchUnderWay(1001, 1000000, 500);
    EXPECT_TRUE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.StopSearch);
    EXPECT_FALSE(TestEngine().Main.Abort);
    // A failing root doubles the plan once instead.
    SearchUnderWay(600, 600000, 500);
    TestEngine().Main.FailingLow = 1;
    EXPECT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_FALSE(TestEngine().Main.TimeUp);
    EXPECT_TRUE(TestEngine().Main.TimerExtended);
    EXPECT_EQ(TestEngine().Settings.Timing.TimePerMove, 1000);
    EXPECT_EQ(TestEngine().Settings.Timing.EmergencyTimeThreshold, 2000);
    // A fixed time per move stops at once at its end.
    SearchUnderWay(600, 600000, 500);
    TestEngine().Settings.Limits.ST = 530;
    EXPECT_TRUE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.StopSearch);
}

TEST_F(TimeControl, PeriodicCheckPastTheHardLimitStopsTheSearchButKeepsTheMove) {
    SearchUnderWay(200, 1000);
    TestEngine().Main.HardLimitMs = 60000;
    EXPECT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_FALSE(TestEngine().Main.StopSearch);

    SearchUnderWay(200, 1000);
    TestEngine().Main.HardLimitMs = 150;
    EXPECT_TRUE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.StopSearch);
    EXPECT_TRUE(TestEngine().Main.TimeUp);
    EXPECT_FALSE(TestEngine().Main.Abort);
}

TEST_F(TimeControl, EveryStopStillPlaysAMove) {
    // A clock run below zero plans nothing: the first iteration must run
    // all the same, and no other.
    SetClock({0, -500, 0, 40});
    EXPECT_TRUE(Think(MiddlegameFen));
    EXPECT_EQ(TestEngine().Main.IterationDepth, 1);

    // A millisecond per move, beneath the overhead: a move all the same.
    SetClock({1, 0, 0, 0}, 30);
    EXPECT_TRUE(Think(ChecksAtRootFen));
    EXPECT_EQ(TestEngine().Main.HardLimitMs, 1);
}

TEST_F(TimeControl, AWrongSpeedHandedOnChangesNothingAndIsCorrected) {
    // At this figure 50 ms would be tens of millions of nodes; the plan is
    // read on the clock, and the search measures its own speed.
    SetClock({50, 0, 0, 0});
    TestEngine().Settings.Timing.NPS = 1 << 30;
    const std::string log = LoggedBy([&] { EXPECT_TRUE(Think(MiddlegameFen)); });
    EXPECT_EQ(TestEngine().Settings.Timing.TimePerMove, 50);
    EXPECT_LT(TestEngine().Settings.Timing.NPS, 1 << 30);
    EXPECT_EQ(TestEngine().Main.NPSCalibrated, 1);
    EXPECT_NE(log.find("Speed in the first milliseconds: "), std::string::npos) << log;
    EXPECT_NE(log.find("(the last search's 1073741824)"), std::string::npos) << log;
}

} // namespace
