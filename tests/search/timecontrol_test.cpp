// The time control's rules: the plan and the hard limit a clock gives (pure
// functions, from tables of cases), the plan read on the wall clock, the poll
// interval and the stops of the periodic check. Nothing here asserts on how
// long anything took.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The clock of a move at ply 30, out of the book. The formulas' figures come
// out exactly without a move overhead; the overhead has its own cases.
MoveClock ClockFor(const Clock& clock, int overheadMs = 0) {
    MoveClock c;
    c.MoveTimeMs = clock.Fixed;
    c.TimeLeftMs = clock.Left;
    c.IncrementMs = clock.IncMs;
    c.MovesToGo = clock.MovesToGo;
    c.MoveOverheadMs = overheadMs;
    c.GamePly = 30;
    c.LongerOutOfBook = true;
    return c;
}

struct PlanCase {
    const char* name;
    Clock clock;
    int overheadMs;
    int plan;
};

// Ply 30 (move 15), out of the book: the clock is spread over 35 moves
// ahead.
const PlanCase PlanCases[] = {
    // Three increments stay on the clock: 59700 / 35 = 1705, and the
    // increment added whole.
    {"level 0 1 0.1", {0, 60000, 100, 0}, 0, 1805},
    {"level 0 0:10 0.1", {0, 10000, 100, 0}, 0, 377},
    // 95 % of the session's 300000 over its 40 moves, and the increment.
    {"level 40 5 0.5", {0, 300000, 500, 40}, 0, 7625},
    {"the third move before a control", {0, 6000, 0, 3}, 0, 1900},
    {"the last move before a control: half the clock", {0, 6000, 0, 1}, 0, 3000},
    // An increment beyond the clock counts for half the clock, and half the
    // clock stays on it: 500 / 35 + 500.
    {"an increment beyond the clock", {0, 1000, 5000, 0}, 0, 514},
    {"st 1", {1000, 0, 0, 0}, 0, 1000},
    {"st 1, 30 ms of overhead", {1000, 0, 0, 0}, 30, 970},
    {"movetime 1 ms beneath the overhead", {1, 0, 0, 0}, 30, 1},
    {"a minute, a second of overhead", {0, 60000, 0, 0}, 1000, 1685},
    // The overhead comes off the increment too: 70 ms of it are left here.
    {"level 0 0:10 0.1, 30 ms of overhead", {0, 10000, 100, 0}, 30, 348},
    // An increment below the overhead buys nothing: 970 / 35.
    {"level 0 0:01 0.01, 30 ms of overhead", {0, 1000, 10, 0}, 30, 27},
    {"a clock at zero", {0, 0, 0, 0}, 0, 0},
    {"a clock past zero", {0, -500, 0, 40}, 30, 0},
    // Within the flag's margin the hard limit leaves a millisecond.
    {"a clock past zero, an increment", {0, -500, 2000, 0}, 0, 1},
};

TEST(TimePlan, SpreadsTheClockOverTheMovesAheadAndSetsTheOverheadAside) {
    for (const PlanCase& c : PlanCases) {
        const TimePlan plan = PlanMove(ClockFor(c.clock, c.overheadMs));
        EXPECT_EQ(plan.PlannedMs, c.plan) << c.name;
        EXPECT_EQ(plan.EmergencyMs, 2LL * c.plan) << c.name;
    }
}

TEST(TimePlan, CountsTheMovesAheadByTheGamesMoveAndThinksLongerOutOfTheBook) {
    struct Case {
        const char* name;
        int gamePly, lastBookPly;
        bool longerOutOfBook;
        int left, plan;
    };
    const Case cases[] = {
        // Move 1: 49 moves ahead, 90000 / 49 = 1836 on average (under
        // xboard the first plies count as just out of the book).
        {"the first move", 1, 0, false, 90000, 1836},
        {"the first move, xboard", 1, 0, true, 90000, 2754},
        // Move 6: 44 ahead, 2045 on average, half as long again out of the book.
        {"just out of the book", 12, 8, true, 90000, 3067},
        {"seven plies after the book", 15, 8, true, 90000, 3213},
        {"eight plies after it", 16, 8, true, 90000, 2142},
        {"a UCI interface plans its openings", 12, 8, false, 90000, 2045},
        // From move 30 on, 20 moves ahead.
        {"move 30", 59, 0, true, 90000, 4500},
        {"move 61", 121, 0, true, 90000, 4500},
    };
    for (const Case& c : cases) {
        MoveClock clock = ClockFor({0, c.left, 0, 0});
        clock.GamePly = c.gamePly;
        clock.LastBookPly = c.lastBookPly;
        clock.LongerOutOfBook = c.longerOutOfBook;
        EXPECT_EQ(PlanMove(clock).PlannedMs, c.plan) << c.name;
    }
}

// A game played on the time manager's arithmetic alone: each move takes
// `usePercent` of its plan (within its hard limit) and `lagMs` more that
// the clock sees and the engine does not (the interface's few
// milliseconds). The clock left before each of the side's moves.
std::vector<int64_t> ClockBeforeEachMove(const Clock& control, int usePercent, int lagMs) {
    constexpr int Moves = 150;
    std::vector<int64_t> before;
    TimeManager time;
    int64_t left = control.Left, now = 0;
    for (int move = 1; move <= Moves; ++move) {
        MoveClock clock =
            ClockFor({0, static_cast<int>(left), control.IncMs, 0}, DefaultMoveOverheadMs);
        clock.GamePly = 2 * move - 1;
        if (control.MovesToGo > 0)
            clock.MovesToGo = control.MovesToGo - (move - 1) % control.MovesToGo;
        before.push_back(left);
        time.Start(clock, true, now);
        const int64_t used =
            std::min<int64_t>(time.Plan().PlannedMs * usePercent / 100, time.Plan().HardLimitMs);
        now += used;
        time.TimedMovePlayed(now);
        left += control.IncMs - used - lagMs;
        if (control.MovesToGo > 0 && move % control.MovesToGo == 0) left += control.Left;
    }
    return before;
}

TEST(TimePlan, SpendsTheBaseTimeByMoveFortyAndKeepsAClockToTheEnd) {
    struct Case {
        const char* name;
        Clock control;
        int64_t mostLeftAtMove40;
    };
    const Case cases[] = {
        {"1 min + 2 s", {0, 60000, 2000, 0}, 30000},
        {"30 s + 1 s", {0, 30000, 1000, 0}, 15000},
        {"40 moves in 2 min", {0, 120000, 0, 40}, 18000},
        {"10 s + 0.1 s", {0, 10000, 100, 0}, 5000},
        {"1 s + 0.01 s", {0, 1000, 10, 0}, 500},
    };
    // Whether the search stops well short of its plans or overruns them,
    // the plans follow: the base is spent and a clock kept all the same.
    for (const Case& c : cases) {
        for (const int usePercent : {60, 100, 140}) {
            const std::vector<int64_t> before = ClockBeforeEachMove(c.control, usePercent, 5);
            EXPECT_LE(before[39], c.mostLeftAtMove40) << c.name << ", " << usePercent << " %";
            // Long games keep a clock: the plan shrinks with it, and with
            // an increment it keeps more than one and a half increments.
            const int64_t lowest = *std::min_element(before.begin(), before.end());
            EXPECT_GT(lowest, 0) << c.name << ", " << usePercent << " %";
            EXPECT_GE(2 * lowest, 3 * c.control.IncMs) << c.name << ", " << usePercent << " %";
        }
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

TEST(TimePlan, HardLimitIsTheFixedTimeOrASafeShareOfTheClock) {
    for (const HardLimitCase& c : HardLimitCases) {
        const MoveClock clock = ClockFor(c.clock);
        const int64_t limit = HardTimeLimit(clock);
        EXPECT_EQ(limit, c.limit) << c.name;
        EXPECT_GE(limit, 1) << c.name; // 0 would mean no limit at all
        if (clock.MoveTimeMs == 0 && clock.TimeLeftMs > 50) {
            EXPECT_LE(limit, clock.TimeLeftMs - 50) << c.name;
        }
    }
    // The overhead comes off first: off a fixed time, and off the clock.
    EXPECT_EQ(HardTimeLimit(ClockFor({1000, 0, 0, 0}, 30)), 970);
    EXPECT_EQ(HardTimeLimit(ClockFor({20, 0, 0, 0}, 30)), 1);
    EXPECT_EQ(HardTimeLimit(ClockFor({0, 60000, 0, 0}, 1000)), 59000 / 3);
    EXPECT_EQ(HardTimeLimit(ClockFor({0, 80, 0, 0}, 30)), 1);
    // The search stops a little before the limit, so that the move is out by then.
    EXPECT_EQ(PlanMove(ClockFor({0, 60000, 0, 0})).HardLimitMs, 20000 - 20);
    EXPECT_EQ(PlanMove(ClockFor({0, 100, 0, 0})).HardLimitMs, 33 - 8);
    EXPECT_EQ(PlanMove(ClockFor({0, 20, 0, 0})).HardLimitMs, 1);
}

TEST(TimePlan, HardLimitNeverCutsIntoTheTimeTheClockPlansForTheMove) {
    // The planned time alone ends a move that goes to plan.
    const Clock clocks[] = {{0, 1000, 0, 0},      {0, 1000, 1000, 0},    {0, 5000, 0, 1},
                            {0, 5000, 0, 2},      {0, 5000, 0, 3},       {0, 25000, 10000, 0},
                            {0, 25000, 30000, 0}, {0, 180000, 2000, 40}, {0, 180000, 0, 0},
                            {0, 10000, 100, 0},   {0, 1000, 10, 0}};
    for (const Clock& clock : clocks)
        EXPECT_LE(PlanMove(ClockFor(clock)).PlannedMs, HardTimeLimit(ClockFor(clock)))
            << clock.Left << " ms + " << clock.IncMs << " ms, movestogo " << clock.MovesToGo;
}

// A clock whose plan is `planMs`: late in a game the clock is spread over
// 20 moves.
MoveClock ClockPlanning(int planMs) {
    MoveClock clock = ClockFor({0, planMs * 20, 0, 0});
    clock.GamePly = 121;
    return clock;
}

TEST(TimeManager, APonderHitPlansFromThePonderingAndLimitsFromNow) {
    const MoveClock clock = ClockPlanning(2000); // 40 s left
    TimeManager time;
    // Pondered for three seconds, then the expected move came.
    time.Start(clock, true, 10000);
    time.PonderHit(true, 13000);
    EXPECT_EQ(time.Plan().PlannedMs, 2000);
    EXPECT_EQ(time.ElapsedMs(13000), 3000);           // the plan counts the pondering
    EXPECT_EQ(time.Plan().HardLimitMs, 3000 + 13313); // the hard limit runs from the hit
    // The clock the interface sent during the pondering plans the move.
    time.Start(clock, true, 10000);
    time.UpdateClock(20000);
    time.PonderHit(false, 13000);
    EXPECT_EQ(time.Plan().PlannedMs, 1000);
    EXPECT_EQ(time.ElapsedMs(13000), 0); // a new search from the hit
    EXPECT_EQ(time.Plan().HardLimitMs, 6646);
    // A fixed depth has no plan, before or after.
    time.Start(clock, false, 10000);
    time.PonderHit(true, 13000);
    EXPECT_EQ(time.Plan().PlannedMs, 0);
    EXPECT_EQ(time.Plan().HardLimitMs, 0);
}

TEST(TimeManager, ASpentPlanIsExtendedOnceForAFailingRoot) {
    TimeManager time;
    time.Start(ClockPlanning(2000), true, 0);
    EXPECT_FALSE(time.HalfSpent(999));
    EXPECT_TRUE(time.HalfSpent(1000));
    EXPECT_EQ(time.PlanSpent(false, false), ClockVerdict::FinishIteration);
    EXPECT_EQ(time.PlanSpent(true, false), ClockVerdict::Continue);
    EXPECT_EQ(time.Plan().PlannedMs, 4000);
    EXPECT_EQ(time.Plan().EmergencyMs, 8000);
    EXPECT_TRUE(time.Extended());
    EXPECT_EQ(time.PlanSpent(true, false), ClockVerdict::FinishIteration); // once only
    // Already up when the root began to fail: four times the plan.
    time.Start(ClockPlanning(2000), true, 0);
    EXPECT_EQ(time.PlanSpent(true, true), ClockVerdict::Continue);
    EXPECT_EQ(time.Plan().PlannedMs, 8000);
    // A fixed time a move is over at its end.
    time.Start(ClockFor({500, 0, 0, 0}), true, 0);
    EXPECT_EQ(time.PlanSpent(true, false), ClockVerdict::StopNow);
}

TEST(GameClock, SumsUpTheClockAtMoves20_40_60AndTheLastAndTheMeanOverTheFirst40) {
    auto describe = [](const GameClockRecord& record) {
        char text[256];
        record.Describe(text, sizeof text);
        return std::string(text);
    };
    EXPECT_EQ(describe(GameClockRecord{}), "");
    GameClockRecord game;
    // Move i: 60 - i seconds left before it, 10 i ms used (a mean of 205 ms
    // over the first 40) of a plan of 20 i; a dip to 5 s at move 30 is the
    // lowest clock. The plans' use is measured from the fourth move on.
    for (int move = 1; move <= 45; ++move) {
        EXPECT_EQ(game.PlanUsePercent(), move <= 4 ? 100 : 50) << move;
        game.MovePlayed(move == 30 ? 5000 : 60000 - 1000 * move, 10 * move, 20 * move);
    }
    EXPECT_EQ(describe(game), "Game clock: 45 timed moves; left 40.00 s at move 20, 20.00 s at "
                              "move 40, 15.00 s at the last; 205 ms a move over moves 1-40; "
                              "lowest 5.00 s");
    // A game of a few moves, timed through the manager: a ponder hit
    // charges from the hit.
    TimeManager time;
    time.Start(ClockPlanning(2000), true, 1000);
    time.PonderHit(true, 4000);
    time.TimedMovePlayed(4500);
    EXPECT_EQ(describe(time.EndGame()), "Game clock: 1 timed moves; left 40.00 s at the last; "
                                        "500 ms a move over moves 1-1; lowest 40.00 s");
    EXPECT_EQ(describe(time.EndGame()), ""); // the next game starts empty
}

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

// A search under a clock at ply 30, in a clean engine.
class TimeControl : public testing::Test {
  protected:
    void SetUp() override {
        TestEngine().Main.ClearHistory();
        TestEngine().Table.ClearTranspositionTables();
        TestEngine().Time.EndGame(); // no plans of earlier tests' moves stretch these
    }
    void TearDown() override {
        TestEngine().Main.Abort = TestEngine().Main.StopSearch = TestEngine().Main.TimeUp = 0;
        TestEngine().Main.InteriorNodes = TestEngine().Main.QuiesceNodes = 0;
    }

    static SearchRequest RequestFor(const Clock& clock, int overheadMs = 0) {
        SearchRequest request;
        request.MoveTimeMs = clock.Fixed;
        request.TimeLeftMs = clock.Left;
        request.IncrementMs = clock.IncMs;
        request.MovesToGo = clock.MovesToGo;
        request.MoveOverheadMs = overheadMs;
        request.GamePly = 30;
        request.LongerOutOfBook = true;
        return request;
    }

    // Runs the driver under the request from `fen`; true when it chose a
    // legal move of that position.
    bool Think(const char* fen, const SearchRequest& request) {
        const ChessBoard before = BoardFromFen(fen);
        const SearchResult result = TestEngine().Think(before, MoveHistory(), request, Quiet);
        const GameMove& move = result.Move;
        if (result.Aborted || move.From == move.To) return false;
        ChessBoard played = before;
        uint8_t castleMask;
        played.MakeMove(move.From, move.To, move.Promo, &castleMask);
        const int side = before.SideToMove;
        if (played.InCheck(side == White ? played.WKing : played.BKing, side)) return false;
        MoveList list;
        ChessBoard generated = before;
        const int count = list.GenerateAllMoves(side, &generated, before.CastleFlags);
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed |=
                list.From[i] == move.From && list.To[i] == move.To && list.Promo[i] == move.Promo;
        return listed;
    }

    // A timed search under `clock`, in progress for `elapsedMs` with `nodes`
    // behind it, its speed measured (at the figure it had) or not.
    void SearchUnderWay(int64_t elapsedMs, int64_t nodes, const MoveClock& clock,
                        bool speedMeasured = true) {
        // The engine's request: a timed one (a single reply, played at once).
        Think(OneMoveFen, RequestFor({0, 60000, 0, 0}));
        TimeManager& time = TestEngine().Time;
        const int nps = time.NodesPerSecond();
        // A game of its own: the plans of the tests before do not stretch this one.
        time.EndGame();
        time.Start(clock, true, ClockMs() - elapsedMs);
        if (speedMeasured) time.MeasureSpeed(int64_t(nps) * 10, time.StartTime() + 10000);
        SearchWorker& main = TestEngine().Main;
        main.InteriorNodes = nodes;
        main.QuiesceNodes = 0;
        main.Abort = main.StopSearch = main.TimeUp = 0;
        main.Pondering = main.Analysing = 0;
        main.FailingLow = 0;
    }
    void SearchUnderWay(int64_t elapsedMs, int64_t nodes, int planMs = 60000,
                        bool speedMeasured = true) {
        SearchUnderWay(elapsedMs, nodes, ClockPlanning(planMs), speedMeasured);
    }
    // The last move before a control, 400 ms left: the plan is the hard
    // limit's 185 ms, and the search stops at 165 ms, before it.
    static MoveClock HardLimitFirst() { return ClockFor({0, 400, 0, 1}); }

    SearchReporter Quiet;
};

TEST_F(TimeControl, TheClocksPlanIsSaidInTheLog) {
    SearchRequest request = RequestFor({0, 40000, 0, 0});
    request.GamePly = 121; // the 40 s spread over 20 moves
    bool moved = false;
    const std::string log = LoggedBy([&] { moved = Think(OneMoveFen, request); });
    EXPECT_TRUE(moved);
    EXPECT_EQ(TestEngine().Time.Plan().PlannedMs, 2000);
    EXPECT_EQ(TestEngine().Time.Plan().EmergencyMs, 4000);
    // Each move says what it planned and what it used.
    EXPECT_NE(log.find("Planned 2000 ms: no new iteration after 1000 ms"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Clock: planned 2000 ms, used "), std::string::npos) << log;
}

TEST_F(TimeControl, SearchMeasuresItsSpeedAfterItsFirstMilliseconds) {
    TimeManager& time = TestEngine().Time;
    // Too soon to tell: a figure handed on stands, and the polls come often.
    // (Started, as the clock reads it, a second from now: however slow the
    // machine, the check comes too soon. The figure is handed on after the
    // helper's own search, which measures its speed when it runs long.)
    SearchUnderWay(-1000, 100, 60000, false);
    time.SetNodesPerSecond(50000000);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_EQ(time.NodesPerSecond(), 50000000);
    EXPECT_EQ(TestEngine().Main.NodesToPoll, 256);
    // 1500000 nodes in a second (the test's own run may add some milliseconds).
    SearchUnderWay(1000, 1500000, 60000, false);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_NEAR(time.NodesPerSecond(), 1500000, 75000);
    // The polls now follow the speed: every half second of search.
    EXPECT_NEAR(TestEngine().Main.NodesToPoll, 750000, 37500);
}

TEST_F(TimeControl, PollsCloseInOnTheNextDeadline) {
    TimeManager& time = TestEngine().Time;
    time.SetNodesPerSecond(1000000);
    // Far from every deadline: input every half second of search.
    SearchUnderWay(100, 100000);
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_EQ(TestEngine().Main.NodesToPoll, time.NodesPerSecond() / 2);
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
    // The hard limit before the plan's deadlines: 80 ms left of it.
    SearchUnderWay(100, 100000, HardLimitFirst());
    ASSERT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_LE(TestEngine().Main.NodesToPoll, 10000);
    // A deadline at hand: never fewer than a fraction of a millisecond's worth.
    SearchUnderWay(179, 100000, HardLimitFirst());
    TestEngine().Main.PeriodicCheck();
    EXPECT_EQ(TestEngine().Main.NodesToPoll, 256);
}

TEST_F(TimeControl, PeriodicCheckReadsThePlanOnTheClock) {
    TestEngine().Time.SetNodesPerSecond(1000000);
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
    EXPECT_TRUE(TestEngine().Time.Extended());
    EXPECT_EQ(TestEngine().Time.Plan().PlannedMs, 1000);
    EXPECT_EQ(TestEngine().Time.Plan().EmergencyMs, 2000);
    // A fixed time per move stops at once at its end.
    SearchUnderWay(600, 600000, ClockFor({530, 0, 0, 0}));
    EXPECT_TRUE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.StopSearch);
}

TEST_F(TimeControl, PeriodicCheckPastTheHardLimitStopsTheSearchButKeepsTheMove) {
    SearchUnderWay(150, 1000, HardLimitFirst());
    EXPECT_FALSE(TestEngine().Main.PeriodicCheck());
    EXPECT_FALSE(TestEngine().Main.StopSearch);

    SearchUnderWay(185, 1000, HardLimitFirst());
    EXPECT_TRUE(TestEngine().Main.PeriodicCheck());
    EXPECT_TRUE(TestEngine().Main.StopSearch);
    EXPECT_TRUE(TestEngine().Main.TimeUp);
    EXPECT_FALSE(TestEngine().Main.Abort);
}

TEST_F(TimeControl, EveryStopStillPlaysAMove) {
    // A clock run below zero plans nothing: the first iteration must run
    // all the same, and no other.
    EXPECT_TRUE(Think(MiddlegameFen, RequestFor({0, -500, 0, 40})));
    EXPECT_EQ(TestEngine().Main.IterationDepth, 1);

    // A millisecond per move, beneath the overhead: a move all the same.
    EXPECT_TRUE(Think(ChecksAtRootFen, RequestFor({1, 0, 0, 0}, 30)));
    EXPECT_EQ(TestEngine().Time.Plan().HardLimitMs, 1);
}

TEST_F(TimeControl, AWrongSpeedHandedOnChangesNothingAndIsCorrected) {
    // At this figure 50 ms would be tens of millions of nodes; the plan is
    // read on the clock, and the search measures its own speed.
    TestEngine().Time.SetNodesPerSecond(1 << 30);
    const std::string log = LoggedBy([&] {
        EXPECT_TRUE(Think(MiddlegameFen, RequestFor({50, 0, 0, 0})));
    });
    EXPECT_EQ(TestEngine().Time.Plan().PlannedMs, 50);
    EXPECT_LT(TestEngine().Time.NodesPerSecond(), 1 << 30);
    // Measured once, at the first poll past a few milliseconds, or at the end
    // when a crowded machine gave the search no poll that late.
    const size_t speed = log.find("Speed ");
    ASSERT_NE(speed, std::string::npos) << log;
    const auto at = [&](const std::string& text) {
        return log.compare(speed, text.size(), text) == 0;
    };
    EXPECT_TRUE(at("Speed in the first milliseconds: ") || at("Speed at the end: ")) << log;
    EXPECT_NE(log.find("(the last search's 1073741824)"), std::string::npos) << log;
    EXPECT_EQ(log.find("Speed ", speed + 1), std::string::npos) << log; // once only
}

} // namespace
