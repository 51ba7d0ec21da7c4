#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

TEST(HistoryTable, RowHalvesOnlyPastTheLimit) {
    auto search = std::make_unique<SearchWorker>(TestEngine(), false);
    constexpr int move = E2 * 64 + E4, other = G1 * 64 + F3;
    search->AddHistory(White, other, 3);
    search->AddHistory(Black, move, 5);

    search->AddHistory(White, move, 256);
    EXPECT_EQ(search->History[White][move], 65536) << "at the limit: no halving";
    EXPECT_EQ(search->HistoryMax, 65536);
    EXPECT_EQ(search->History[White][other], 9);

    search->AddHistory(White, move, 1);
    EXPECT_EQ(search->History[White][move], 32768);
    EXPECT_EQ(search->HistoryMax, 32768); // 65537 halved
    EXPECT_EQ(search->History[White][other], 4) << "the whole row halves";
    EXPECT_EQ(search->History[Black][move], 25) << "the other side's row stays";

    search->ClearHistory();
    EXPECT_EQ(search->HistoryMax, 0);
    EXPECT_EQ(search->History[White][move], 0);
    EXPECT_EQ(search->History[White][other], 0);
    EXPECT_EQ(search->History[Black][move], 0);
}

// Entries whose halves are (i, 1000 + i), and the query pair (7, 7).
class RepetitionRecord : public testing::Test {
  protected:
    MoveHistory record;

    void Fill(int count) {
        for (int i = 0; i < count; ++i) record.InsertHashCodeMoveHistory(i, 1000 + i);
    }
    void Plant(int index) {
        record.Upper[index] = 7;
        record.Lower[index] = 7;
    }
};

// With ten entries and a window of four, entries 9 and 7 count: the most
// recent and every second one back within the window.
TEST_F(RepetitionRecord, ComparesEverySecondEntryOfTheWindow) {
    struct Case {
        const char* name;
        std::vector<int> planted;
        int count;
    } cases[] = {
        {"none", {}, -1},
        {"the latest", {9}, 0},
        {"two back", {7}, 0},
        {"both", {9, 7}, 1},
        {"odd distance", {8}, -1},
        {"four back", {6}, -1},
        {"outside the window", {5}, -1},
        {"all but the counted", {8, 6, 5, 4}, -1},
    };
    for (const Case& c : cases) {
        record.Init();
        Fill(10);
        for (int index : c.planted) Plant(index);
        EXPECT_EQ(record.ThreeFoldRepDetection(4, 7, 7), c.count) << c.name;
    }
}

TEST_F(RepetitionRecord, BothHalvesMustMatch) {
    Fill(3);
    EXPECT_EQ(record.ThreeFoldRepDetection(4, 2, 1002), 0);
    EXPECT_EQ(record.ThreeFoldRepDetection(4, 2, 1003), -1) << "lower half differs";
    EXPECT_EQ(record.ThreeFoldRepDetection(4, 3, 1002), -1) << "upper half differs";
}

TEST_F(RepetitionRecord, CountsEarlierOccurrencesOfTheCurrentPosition) {
    record.InsertHashCodeMoveHistory(1, 1);
    record.InsertHashCodeMoveHistory(2, 2);
    record.InsertHashCodeMoveHistory(3, 3);
    EXPECT_EQ(record.ThreeFoldRepDetection(100, 3, 3), 0) << "just inserted, never seen";
    record.InsertHashCodeMoveHistory(4, 4);
    record.InsertHashCodeMoveHistory(3, 3);
    EXPECT_EQ(record.ThreeFoldRepDetection(100, 3, 3), 1) << "seen two plies earlier";
    EXPECT_EQ(record.ThreeFoldRepDetection(2, 3, 3), 0) << "the earlier one outside the window";
    EXPECT_EQ(record.ThreeFoldRepDetection(0, 3, 3), -1) << "an empty window";
    record.RetractMove();
    record.RetractMove();
    EXPECT_EQ(record.NumMoves, 3);
    EXPECT_EQ(record.ThreeFoldRepDetection(100, 3, 3), 0);
}

// Past the capacity inserts are counted but not stored, so retracts still
// pair with them; while the record overflows no repetition is known.
TEST_F(RepetitionRecord, OverflowIsCountedNotStored) {
    // The warning as the record fills up goes to the log: the record knows
    // no mode, and standard output may be a protocol's.
    Fill(590);
    Plant(586);
    Plant(588);
    EXPECT_EQ(CapturedStdout([&] {
                  for (int i = 590; i < 610; ++i)
                      record.InsertHashCodeMoveHistory(i == 590 ? 7 : i, i == 590 ? 7 : 1000 + i);
              }),
              "");
    EXPECT_EQ(record.NumMoves, 610);
    // The upper halves are followed by the lower ones and the lower by the
    // count: a write past either array would show here.
    EXPECT_EQ(record.Lower[0], 1000u);
    EXPECT_EQ(record.Lower[599], 1599u);
    EXPECT_EQ(record.ThreeFoldRepDetection(100, 7, 7), 0);

    for (int i = 0; i < 19; ++i) record.RetractMove();
    EXPECT_EQ(record.NumMoves, 591);
    EXPECT_EQ(record.ThreeFoldRepDetection(100, 7, 7), 2) << "entries 590, 588 and 586";
}

} // namespace
