// The opening book's index: the tree over its entries and the root's lookup.
#include <gtest/gtest.h>

#include "book/book.h"
#include "movegen/movegen.h"
#include "test_util.h"

namespace {

// Loads `count` entries and rebuilds the tree; the book is emptied again after.
class BookTest : public testing::Test {
  protected:
    void TearDown() override {
        for (int i = 0; i < 8; ++i) OpeningBook[i] = BookEntry{0, 0}, BookValue[i] = 0;
        buildbook();
    }
    void Load(std::initializer_list<std::pair<BookEntry, int>> entries) {
        int n = 0;
        for (const auto& [entry, value] : entries) {
            OpeningBook[n] = entry;
            BookValue[n++] = value;
        }
        booksize = n;
        buildbooktree(n);
    }
};

TEST_F(BookTest, TheEmptyBookKnowsNoPosition) {
    buildbook();
    EXPECT_EQ(booksize, 0);
    const ChessBoard start = BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(InBook(White, AllCastling, start), NotInBook);
    // No legal move, nothing to look up.
    EXPECT_EQ(InBook(Black, 0, BoardFromFen("7k/8/6QK/8/8/8/8/8 b - -")), NotInBook);
}

TEST_F(BookTest, TreeFindsExactlyItsEntries) {
    Load({{{50, 1}, 0}, {{20, 2}, 0}, {{80, 3}, 0}, {{20, 2}, 0}, {{10, 4}, 0}, {{90, 5}, 0}});
    for (auto [lower, upper, index] :
         {std::tuple{50, 1, 0}, {20, 2, 1}, {80, 3, 2}, {10, 4, 4}, {90, 5, 5}})
        EXPECT_EQ(BookTreeSearch(treeroot, lower, upper), index) << lower;
    EXPECT_EQ(BookTreeSearch(treeroot, 20, 3), -1); // same lower half, other upper half
    EXPECT_EQ(BookTreeSearch(treeroot, 30, 1), -1);
    EXPECT_EQ(BookTreeSearch(nullptr, 50, 1), -1);
}

TEST_F(BookTest, RootPicksTheLowestValueEarliestFirst) {
    ChessBoard start = BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    MoveList list;
    const int count = list.GenerateAllMoves(White, &start, AllCastling);
    // The positions after the list's moves 3, 5 and 7; 5 and 7 share the lowest value.
    std::pair<BookEntry, int> entries[3];
    const int values[3] = {-4, -9, -9};
    for (int k = 0; k < 3; ++k) {
        ChessBoard after = start;
        uint8_t mask;
        const int i = 3 + 2 * k;
        ASSERT_LT(i, count);
        after.MakeMove(list.From[i], list.To[i], list.Promo[i], &mask);
        Bitboard upper, lower;
        genhashcode(Black, AllCastling & mask, &upper, &lower, &after);
        entries[k] = {BookEntry{lower, upper}, values[k]};
    }
    Load({entries[0], entries[1], entries[2]});
    EXPECT_EQ(InBook(White, AllCastling, start), 5);
}

} // namespace
