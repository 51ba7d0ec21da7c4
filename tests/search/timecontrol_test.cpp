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
    int Fixed, Left, Inc, MovesToGo;
};

Status StatusFor(const Clock& clock) {
    Status s;
    s.ST = clock.Fixed;
    s.TimeLeft = clock.Left;
    s.TimeInc = clock.Inc;
    s.TimeIncMs = clock.Inc * 1000;
    s.MovesPerSession = clock.MovesToGo;
    return s;
}

// The settings of an xboard game at ply 30, and a clean search to run in.
class TimeControl : public testing::Test {
  protected:
    void SetUp() override {
        saved = MainStatus;
        MainStatus.initVars();
        MainStatus.xboard = 1;
        MainStatus.UseBook = 0;
        MainStatus.GamePly = 30;
        MainStatus.NPS = 1200000;
        MoveList.Init();
        Search.ClearHistory();
        PositionCache.ClearTranspositionTables();
    }
    void TearDown() override {
        MainStatus = saved;
        Search.HardLimitMs = 0;
        Search.Abort = Search.StopSearch = Search.TimeUp = 0;
        Search.InteriorNodes = Search.QuiesceNodes = 0;
        MoveList.Init();
    }

    void SetClock(const Clock& clock) {
        MainStatus.ST = clock.Fixed;
        MainStatus.TimeLeft = clock.Left;
        MainStatus.TimeInc = clock.Inc;
        MainStatus.TimeIncMs = clock.Inc * 1000;
        MainStatus.MovesPerSession = clock.MovesToGo;
    }

    // Runs the driver under the clock from `fen`; true when it played a
    // legal move of that position on MainBoard.
    bool Think(const char* fen) {
        const ChessBoard before = BoardFromFen(fen);
        Bitboard from = 0, to = 0;
        char promotion = NoPromotion;
        Search.ProgressiveDeepening(MainBoard, 0, &from, &to, &promotion);
        if (Search.Abort || from == to) return false;
        ChessBoard played = before;
        uint8_t castleMask;
        played.MakeMove(from, to, promotion, &castleMask);
        const int side = before.SideToMove;
        if (played.InCheck(side == White ? played.WKing : played.BKing, side)) return false;
        MoveGen list;
        ChessBoard generated = before;
        const int count = list.GenerateAllMoves(side, &generated, before.CastleFlags);
        bool listed = false;
        for (int i = 0; i < count; ++i)
            listed |= list.From[i] == from && list.To[i] == to && list.Promo[i] == promotion;
        return listed && MainBoard.AllPieces == played.AllPieces &&
               MainBoard.WhitePieces == played.WhitePieces;
    }

    // A minute's clock with a node budget far out of reach: only the wall
    // clock and the poll rules are at work.
    void AmpleBudget(uint8_t speedMeasured) {
        SetClock({0, 60000, 0, 0});
        Search.NodesPerMove = 100000000;
        MainStatus.EmergencyTimeThreshold = 200000000;
        Search.NPSCalibrated = speedMeasured;
    }

    // A search in progress for `elapsedMs` with `nodes` behind it.
    void SearchUnderWay(int64_t elapsedMs, int64_t nodes) {
        MainStatus.SearchStartTime = ClockMs() - elapsedMs;
        Search.InteriorNodes = nodes;
        Search.QuiesceNodes = 0;
        Search.Abort = Search.StopSearch = Search.TimeUp = 0;
        Search.FailingLow = Search.TimerExtended = 0;
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

TEST_F(TimeControl, AMinuteLeftGivesTwoSecondsAndNodeBudgetsAtTheInitialSpeed) {
    SetClock({0, 60000, 0, 0});
    bool moved = false;
    const std::string log = LoggedBy([&] { moved = Think(OneMoveFen); });
    EXPECT_TRUE(moved);
    // A thirtieth of the clock, and twice that as the emergency time, before
    // either becomes a node count.
    EXPECT_NE(log.find(" TimePerMove Before Inc = 2000 \n"), std::string::npos) << log;
    EXPECT_NE(log.find(" EmergencyTimeThreshold = 4000 \n"), std::string::npos) << log;
    EXPECT_EQ(MainStatus.TimePerMove, 2000);
    // The nodes of half the time at 1200000 per second, and twice that.
    EXPECT_EQ(Search.NodesPerMove, 1200000);
    EXPECT_EQ(MainStatus.EmergencyTimeThreshold, 2400000);
    EXPECT_EQ(HardTimeLimit(MainStatus), 20000);
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
    {"a third and the increment", {0, 60000, 2, 0}, 22000},
    {"movestogo 40", {0, 60000, 0, 40}, 20000},
    {"movestogo 1: half", {0, 60000, 0, 1}, 30000},
    {"movestogo 1 with an increment", {0, 5000, 3, 1}, 4950},
    {"a second and a large increment", {0, 1000, 5, 0}, 950},
    {"a third of a second", {0, 1000, 0, 0}, 333},
    {"a tenth of a second", {0, 100, 0, 0}, 33},
    {"barely more than the margin", {0, 60, 0, 0}, 10},
    {"one millisecond over the margin", {0, 51, 0, 1}, 1},
    {"the margin exactly", {0, 50, 1, 0}, 1},
    {"below the margin", {0, 20, 0, 0}, 1},
    {"the clock run out", {0, 0, 0, 40}, 1},
    {"the clock past zero", {0, -300, 2, 0}, 1},
};

TEST_F(TimeControl, HardLimitIsTheFixedTimeOrASafeShareOfTheClock) {
    for (const HardLimitCase& c : HardLimitCases) {
        const Status s = StatusFor(c.clock);
        const int64_t limit = HardTimeLimit(s);
        EXPECT_EQ(limit, c.limit) << c.name;
        EXPECT_GE(limit, 1) << c.name; // 0 would mean no limit at all
        if (s.ST == 0 && s.TimeLeft > 50) {
            EXPECT_LE(limit, s.TimeLeft - 50) << c.name;
        }
    }
}

TEST_F(TimeControl, HardLimitNeverCutsIntoTheTimeTheClockPlansForTheMove) {
    // With a right speed estimate the node budget alone ends the move.
    const Clock clocks[] = {{0, 1000, 0, 0},   {0, 1000, 1, 0},    {0, 5000, 0, 1},
                            {0, 5000, 0, 2},   {0, 5000, 0, 3},    {0, 25000, 10, 0},
                            {0, 25000, 30, 0}, {0, 180000, 2, 40}, {0, 180000, 0, 0}};
    for (const Clock& clock : clocks) {
        SetClock(clock);
        ASSERT_TRUE(Think(OneMoveFen));
        EXPECT_LE(MainStatus.TimePerMove, HardTimeLimit(MainStatus))
            << clock.Left << " ms + " << clock.Inc << " s, movestogo " << clock.MovesToGo;
    }
}

TEST_F(TimeControl, PollComesWithinAnEighthOfTheBudgetUnderAClock) {
    const Clock clocks[] = {{0, 100, 0, 0},    {0, 1000, 0, 0},   {0, 5000, 2, 0},
                            {0, 30000, 0, 40}, {0, 180000, 0, 0}, {0, 600000, 10, 1}};
    for (const Clock& clock : clocks) {
        SetClock(clock);
        ASSERT_TRUE(Think(OneMoveFen));
        // A poll below the budget, the budget's rule alone (no hard limit).
        SearchUnderWay(1, 100);
        Search.HardLimitMs = 0;
        ASSERT_FALSE(Search.PeriodicCheck());
        const int64_t eighth = std::max<int64_t>(Search.NodesPerMove / 8, 4096);
        EXPECT_GT(Search.NodesToPoll, 0) << clock.Left;
        EXPECT_LE(Search.NodesToPoll, eighth) << clock.Left;
        EXPECT_LE(Search.NodesToPoll, MainStatus.NPS / 2) << clock.Left;
    }
}

TEST_F(TimeControl, PollsCloseInOnTheHardLimit) {
    AmpleBudget(1);
    // Far from the limit the budget's rule alone sets the interval: NPS / 2.
    SearchUnderWay(100, 100000);
    Search.HardLimitMs = 1000000;
    ASSERT_FALSE(Search.PeriodicCheck());
    EXPECT_EQ(Search.NodesToPoll, 600000);
    // 1000 nodes a millisecond so far and a second to go: at most an eighth
    // of the nodes left (fewer as the clock moves on while the test runs).
    SearchUnderWay(100, 100000);
    Search.HardLimitMs = 1100;
    ASSERT_FALSE(Search.PeriodicCheck());
    EXPECT_LE(Search.NodesToPoll, 125000);
    EXPECT_GE(Search.NodesToPoll, 256);
    // A node a millisecond: never fewer than a fraction of a millisecond's
    // worth at full speed.
    SearchUnderWay(100, 100);
    ASSERT_FALSE(Search.PeriodicCheck());
    EXPECT_EQ(Search.NodesToPoll, 256);
}

TEST_F(TimeControl, PeriodicCheckPastTheHardLimitStopsTheSearchButKeepsTheMove) {
    AmpleBudget(1);

    SearchUnderWay(200, 1000);
    Search.HardLimitMs = 60000;
    EXPECT_FALSE(Search.PeriodicCheck());
    EXPECT_FALSE(Search.StopSearch);

    SearchUnderWay(200, 1000);
    Search.HardLimitMs = 150;
    EXPECT_TRUE(Search.PeriodicCheck());
    EXPECT_TRUE(Search.StopSearch);
    EXPECT_TRUE(Search.TimeUp);
    EXPECT_FALSE(Search.Abort);
}

TEST_F(TimeControl, HardStopOfAnUnmeasuredSearchCorrectsTheSpeedEstimate) {
    // An estimate far too high: the node budget was never reached, so only
    // the hard stop can measure the real speed for the next move.
    AmpleBudget(0);
    MainStatus.NPS = 50000000;
    SearchUnderWay(2000, 3000000);
    Search.HardLimitMs = 1500;
    EXPECT_TRUE(Search.PeriodicCheck());
    EXPECT_TRUE(Search.StopSearch);
    EXPECT_EQ(MainStatus.NPS, 1500000);
    EXPECT_EQ(Search.NPSCalibrated, 1);
}

TEST_F(TimeControl, EveryStopStillPlaysAMove) {
    // A clock run below zero gives a negative node budget: the first
    // iteration must run all the same.
    SetClock({0, -500, 0, 40});
    EXPECT_TRUE(Think(MiddlegameFen));
    EXPECT_EQ(Search.IterationDepth, 1);

    // A speed estimate of two nodes a second polls at once; under a fixed
    // time the budget then stops the first iteration inside its first check.
    SetClock({1000, 0, 0, 0});
    MainStatus.NPS = 2;
    EXPECT_TRUE(Think(ChecksAtRootFen));
    EXPECT_TRUE(Search.StopSearch);
    EXPECT_EQ(Search.IterationDepth, 1);
}

TEST_F(TimeControl, WrongSpeedEstimateIsStoppedByTheClockNotTheNodes) {
    // At this estimate 50 ms are tens of millions of nodes, far more than
    // the search can do in that time: only the hard limit can end it.
    SetClock({50, 0, 0, 0});
    MainStatus.NPS = 1 << 30;
    EXPECT_TRUE(Think(MiddlegameFen));
    // (How many nodes it managed depends on the machine's load, and a stop
    // corrects the estimate from what it saw: no node count is asserted.)
    EXPECT_TRUE(Search.StopSearch);
    EXPECT_GT(Search.HardLimitMs, 0);
    EXPECT_LE(Search.HardLimitMs, 50);
}

} // namespace
