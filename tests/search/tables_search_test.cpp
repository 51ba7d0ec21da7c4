// The search with the endgame tables: a root in the tables takes their
// verdict and a move that keeps it; a node in them below the root scores
// exactly, so a capture into a table is scored as the table says.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "search/search.h"
#include "search/search_fixture.h"
#include "tablebase/tablebase.h"
#include "test_engine.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* DebianTables = "/usr/share/gaviotatb/gtb4";

class TablesSearchTest : public SearchTest {
  protected:
    void SetUp() override {
        SearchTest::SetUp();
        ASSERT_EQ(Tablebases.Start(DebianTables, 4), TablesStarted);
    }
    void TearDown() override {
        Tablebases.Stop();
        SearchTest::TearDown();
    }
};

TEST_F(TablesSearchTest, TheRootTakesTheTablesVerdictAndKeepsIt) {
    struct Case {
        const char* fen;
        int score;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", MateValue - 15}, // mate in 8
        {"4k3/8/8/8/8/8/8/R3K3 b - - 0 1", 28 - MateValue}, // mated in 14
        {"8/8/8/8/8/8/6kR/K7 b - - 0 1", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchTo(c.fen, 4), c.score) << c.fen;
        EXPECT_TRUE(TestEngine().Main.TableRoot) << c.fen;
        EXPECT_GT(TestEngine().Main.TableHits, 0) << c.fen;
        EXPECT_EQ(TestEngine().Main.InteriorNodes, 0) << c.fen;
        // The line starts with the move, and the move keeps the score.
        EXPECT_EQ(TestEngine().Main.PV[0][0].Move, MoveCode(from, to)) << c.fen;
        ChessBoard child = board;
        uint8_t mask;
        child.MakeMove(from, to, promo, &mask);
        TableVerdict after;
        ASSERT_TRUE(Tablebases.Probe(child, board.SideToMove ^ 1, 0, &after)) << c.fen;
        EXPECT_EQ(-TableScore(after, 1), c.score) << c.fen;
    }
}

// The rook pawn is a draw that the evaluation, a pawn up, counts as a win.
TEST_F(TablesSearchTest, AKnownDrawScoresZero) {
    const char* fen = "7k/8/8/8/8/8/7P/7K w - - 0 1";
    EXPECT_EQ(SearchTo(fen, 6), 0);
    Tablebases.Stop();
    EXPECT_GT(SearchTo(fen, 6), 500);
    EXPECT_FALSE(TestEngine().Main.TableRoot);
    EXPECT_EQ(TestEngine().Main.TableHits, 0);
}

// Qxa2 leaves KQK with a mate in 6 plies for White: a mate in 4 in all, as
// Stockfish finds it. A search of 3 plies sees it through the table.
TEST_F(TablesSearchTest, ACaptureIntoATableIsScoredAsTheTableSays) {
    const char* fen = "8/8/8/8/8/8/r7/Q3K2k w - - 0 1";
    EXPECT_EQ(SearchTo(fen, 3), MateValue - 7);
    EXPECT_EQ(from, Bit(A1));
    EXPECT_EQ(to, Bit(A2));
    EXPECT_FALSE(TestEngine().Main.TableRoot);
    EXPECT_GT(TestEngine().Main.TableHits, 0);
    // The line ends at the table's node: whatever its row held is no line.
    EXPECT_EQ(TestEngine().Main.RootPVLength, 1);

    // Without the tables the table entries of that search must not help.
    Tablebases.Stop();
    TestEngine().Table.ClearTranspositionTables();
    EXPECT_LT(SearchTo(fen, 3), MateValue - MaxSearchPly);

    // A truncated KQK table leaves the search as it is without tables.
    const fs::path folder =
        fs::temp_directory_path() / ("vorn-search-tables-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(std::string(DebianTables) + "/krk.gtb.cp4", folder / "krk.gtb.cp4",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(std::string(DebianTables) + "/kqk.gtb.cp4", folder / "kqk.gtb.cp4",
                  fs::copy_options::overwrite_existing);
    fs::resize_file(folder / "kqk.gtb.cp4", 4000);
    ASSERT_EQ(Tablebases.Start(folder.c_str(), 4), TablesStarted);
    TestEngine().Table.ClearTranspositionTables();
    EXPECT_LT(SearchTo(fen, 3), MateValue - MaxSearchPly);
    EXPECT_EQ(from, Bit(A1));
    EXPECT_EQ(to, Bit(A2));
    Tablebases.Stop();
    fs::remove_all(folder);
}

} // namespace
