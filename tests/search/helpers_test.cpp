// The helper threads of a search: they search beside the main thread, stop
// when it decides its move, and leave a one-thread search as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "movegen/movegen.h"
#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

constexpr const char* MiddlegameFen =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 1 8";

// A tool-mode search (no input read) from a clean table and history.
class HelperThreadsTest : public testing::Test {
  protected:
    void SetUp() override { Fresh(); }
    void TearDown() override {
        ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(1));
        MainBoard.InitRep();
    }
    void Fresh() {
        TestEngine().Main.ClearHistory();
        for (auto& killers : TestEngine().Main.Killers)
            killers[0] = killers[1] = 0; // they carry over
        TestEngine().Table.ClearTranspositionTables();
    }

    // Searches `fen` to a fixed depth, or for a fixed time when it is 0,
    // and returns whether the move chosen is one of the position's legal moves.
    bool PlaysALegalMove(const char* fen, int fixedDepth) {
        const ChessBoard before = BoardFromFen(fen);
        SearchRequest request;
        request.FixedDepth = request.DepthLimit = fixedDepth;
        request.MoveTimeMs = fixedDepth ? 0 : 300;
        SearchReporter quiet;
        const GameMove move = TestEngine().Think(before, MoveHistory(), request, quiet).Move;
        MoveList list;
        ChessBoard position = before;
        const int count = list.GenerateLegalMoves(&position);
        bool legal = false;
        for (int i = 0; i < count; ++i)
            legal |=
                list.From[i] == move.From && list.To[i] == move.To && list.Promo[i] == move.Promo;
        return legal;
    }
};

TEST_F(HelperThreadsTest, HelpersSearchBesideTheMainSearchAndStopWithIt) {
    for (int threads : {2, 4}) {
        ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(threads));
        EXPECT_EQ(TestEngine().Helpers.ThreadCount(), threads);
        for (const int fixedDepth : {0, 7}) {
            Fresh();
            EXPECT_TRUE(PlaysALegalMove(MiddlegameFen, fixedDepth))
                << threads << " threads, depth " << fixedDepth;
            const int64_t helperNodes = TestEngine().Helpers.NodeCount();
            EXPECT_GT(helperNodes, 0) << threads << " threads, depth " << fixedDepth;
            EXPECT_EQ(TestEngine().Main.ReportedNodes(),
                      TestEngine().Main.NodeCount() + helperNodes);
            // Stopped with the main search: nothing more is searched.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(TestEngine().Helpers.NodeCount(), helperNodes)
                << threads << " threads still searching";
        }
    }
}

// One thread is the search as it always was: the same nodes at a fixed
// depth before helpers existed and after they are gone.
TEST_F(HelperThreadsTest, OneThreadSearchesAloneAndAsBefore) {
    ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(1));
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    const int64_t alone = TestEngine().Main.NodeCount();
    ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(3));
    Fresh();
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(1));
    Fresh();
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    EXPECT_EQ(TestEngine().Main.NodeCount(), alone);
    EXPECT_EQ(TestEngine().Main.ReportedNodes(), alone);
}

// A new game leaves no thread anything of the last one: what a helper
// learnt would otherwise steer its next game's search.
TEST_F(HelperThreadsTest, ANewGameClearsWhatEveryThreadLearnt) {
    ASSERT_TRUE(TestEngine().Helpers.SetThreadCount(3));
    // Long enough for every helper to cut off somewhere.
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 10));
    const auto learnt = [](const SearchWorker& worker) {
        bool any = worker.HistoryMax > 0;
        for (const auto& killers : worker.Killers) any |= killers[0] != 0 || killers[1] != 0;
        return any;
    };
    int helpersThatLearnt = 0;
    TestEngine().Helpers.ForEachWorker([&](SearchWorker& w) { helpersThatLearnt += learnt(w); });
    ASSERT_EQ(helpersThatLearnt, 2);

    TestEngine().NewGame();
    EXPECT_FALSE(learnt(TestEngine().Main));
    TestEngine().Helpers.ForEachWorker([&](SearchWorker& w) {
        EXPECT_FALSE(learnt(w));
        for (const auto& row : w.History)
            for (int32_t counter : row) ASSERT_EQ(counter, 0);
    });
}

} // namespace
