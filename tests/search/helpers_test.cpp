// The helper threads of a search: they search beside the main thread, stop
// when it decides its move, and leave a one-thread search as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "movegen/movegen.h"
#include "search/search.h"
#include "test_util.h"

namespace {

constexpr const char* MiddlegameFen =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 1 8";

// A tool-mode search (no input read) from a clean table and history.
class SearchHelpersTest : public testing::Test {
  protected:
    void SetUp() override {
        saved = MainStatus;
        MainStatus.initVars();
        MainStatus.xboard = MainStatus.uci = 0;
        MainStatus.UseBook = 0;
        Fresh();
    }
    void TearDown() override {
        ASSERT_TRUE(Helpers.SetThreadCount(1));
        MainStatus = saved;
        MainBoard.InitRep();
        MoveList.Init();
    }
    void Fresh() {
        MoveList.Init();
        Search.ClearHistory();
        for (auto& killers : Search.Killers) killers[0] = killers[1] = 0; // they carry over
        PositionCache.ClearTranspositionTables();
    }

    // Searches `fen` under the settings and returns whether the move played
    // on MainBoard is one of the position's legal moves.
    bool PlaysALegalMove(const char* fen, int fixedDepth) {
        const ChessBoard before = BoardFromFen(fen);
        MainBoard = before;
        Bitboard from = 0, to = 0;
        char promotion = NoPromotion;
        Search.ProgressiveDeepening(MainBoard, fixedDepth, &from, &to, &promotion);
        MoveGen list;
        ChessBoard position = before;
        const int count = list.GenerateLegalMoves(&position);
        bool legal = false;
        for (int i = 0; i < count; ++i)
            legal |= list.From[i] == from && list.To[i] == to && list.Promo[i] == promotion;
        return legal && MainBoard.AllPieces != before.AllPieces;
    }

    Status saved;
};

TEST_F(SearchHelpersTest, HelpersSearchBesideTheMainSearchAndStopWithIt) {
    for (int threads : {2, 4}) {
        ASSERT_TRUE(Helpers.SetThreadCount(threads));
        EXPECT_EQ(Helpers.ThreadCount(), threads);
        for (const int fixedDepth : {0, 7}) {
            Fresh();
            MainStatus.FD = fixedDepth;
            MainStatus.ST = fixedDepth ? 0 : 300; // a fixed time or a fixed depth
            EXPECT_TRUE(PlaysALegalMove(MiddlegameFen, fixedDepth))
                << threads << " threads, depth " << fixedDepth;
            const int64_t helperNodes = Helpers.NodeCount();
            EXPECT_GT(helperNodes, 0) << threads << " threads, depth " << fixedDepth;
            EXPECT_EQ(Search.ReportedNodes(), Search.NodeCount() + helperNodes);
            // Stopped with the main search: nothing more is searched.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(Helpers.NodeCount(), helperNodes) << threads << " threads still searching";
        }
    }
}

// One thread is the search as it always was: the same nodes at a fixed
// depth before helpers existed and after they are gone.
TEST_F(SearchHelpersTest, OneThreadSearchesAloneAndAsBefore) {
    MainStatus.FD = 5;
    ASSERT_TRUE(Helpers.SetThreadCount(1));
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    const int64_t alone = Search.NodeCount();
    ASSERT_TRUE(Helpers.SetThreadCount(3));
    Fresh();
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    ASSERT_TRUE(Helpers.SetThreadCount(1));
    Fresh();
    ASSERT_TRUE(PlaysALegalMove(MiddlegameFen, 5));
    EXPECT_EQ(Search.NodeCount(), alone);
    EXPECT_EQ(Search.ReportedNodes(), alone);
}

} // namespace
