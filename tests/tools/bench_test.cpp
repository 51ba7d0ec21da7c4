// The benchmarks and the search's behaviour signature: fixed-depth node
// counts, moves and scores of the benchmark positions. A change to these
// figures is a change of the search or the evaluation: make it on purpose and
// give the new figures and the reason in the commit message.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"
#include "tools/tools.h"

namespace {

TEST(Bench, SignatureAtDepthFive) {
    // Searched as the benchmark does: killers carried from one position to the
    // next, history and table cleared for each.
    const struct {
        const char* move;
        int score;
        int64_t interior, leafInterior, quiesce;
    } expected[BenchPositionCount] = {
        {"f2f3", 720, 1551, 406, 1714},    {"d4b3", -210, 6196, 869, 6745},
        {"f4f5", 230, 1704, 563, 2410},    {"d7f5", 20, 8049, 1264, 9867},
        {"f8e8", -330, 5378, 1319, 17083}, {"e8g8", -300, 1407, 418, 1367},
    };
    SearchRequest request;
    request.FixedDepth = request.DepthLimit = 5;
    SearchReporter quiet;
    for (auto& killers : TestEngine().Main.Killers) killers[0] = killers[1] = 0;
    TestEngine().Table.ClearTranspositionTables();
    for (int k = 0; k < BenchPositionCount; ++k) {
        ASSERT_EQ(SetupBoard(BenchPositions[k]), SetupOk);
        TestEngine().Main.ClearHistory();
        const SearchResult result = TestEngine().Think(MainBoard, MoveHistory(), request, quiet);
        const GameMove& move = result.Move;
        char text[MaxPVText], wanted[16];
        fillmovestring(text, LowestSquare(move.From), LowestSquare(move.To), move.Promo);
        std::snprintf(wanted, sizeof wanted, " %s \n", expected[k].move);
        EXPECT_STREQ(text, wanted) << k + 1;
        EXPECT_EQ(result.Score, expected[k].score) << k + 1;
        EXPECT_EQ(result.Counts.InteriorNodes, expected[k].interior) << k + 1;
        EXPECT_EQ(result.Counts.LeafInteriorNodes, expected[k].leafInterior) << k + 1;
        EXPECT_EQ(result.Counts.QuiesceNodes, expected[k].quiesce) << k + 1;
        TestEngine().Table.ClearTranspositionTables();
    }
    MainBoard.InitRep();
}

TEST(Bench, StatisticsBlocksFromTheCommandLine) {
    ProgramRun run = RunVorn("-bench -fd 4");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Vorn \nRunning benchmark 1 2 3 4 5 6\nposition 1/6\nposition 2/6\n"
                           "position 3/6\nposition 4/6\nposition 5/6\nposition 6/6\n"
                           "    Time Interior Nodes Quiesce Nodes Total Nodes        NPS\n"),
              std::string::npos)
        << run.out;
    // Interior, quiescence and total nodes; then the leaves and the table's counters.
    EXPECT_NE(run.out.find("        8641         11207         19848"), std::string::npos);
    EXPECT_NE(run.out.find("\nLeaf Interior Nodes searched = 1621\n"
                           "Transposition Table Hits 221  Misses  3584  Ratio = 5\n"
                           "Pawn misses "),
              std::string::npos);
    // The tables are mapped before the clock starts, and the time with the
    // mapping counted in is given too.
    EXPECT_NE(run.out.find("\nMapping the tables took "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" ms before the clock started; counted in: "), std::string::npos);

    // Benchmark 2: position 5 under each driver, one block each.
    run = RunVorn("-bench2 -fd 4");
    EXPECT_EQ(run.status, 0);
    const size_t second = run.out.find("Running benchmark \nSearch Exact Depth\n");
    ASSERT_NE(second, std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Running benchmark \nProgressive Deepening\n"), std::string::npos);
    EXPECT_LT(run.out.find("        1317          2118          3435"), second);

    // "-satrain" runs benchmark 1.
    run = RunVorn("-satrain -fd 1");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("         192           257           449"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Transposition Table Hits 0  Misses  1  Ratio = 0\n"),
              std::string::npos);
}

} // namespace
