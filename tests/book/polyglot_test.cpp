// Polyglot books: the published key values, a book made by the polyglot tool
// from our own games, refused files, and the choice among a position's moves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "book/book.h"
#include "test_util.h"

namespace {

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string ToolBook = VORN_TEST_DATA "/book.bin";

int SquareOf(const char* text) { return (text[1] - '1') * 8 + (text[0] - 'a'); }

std::string MoveText(const PolyglotMove& move) {
    std::string text{
        files[FileOf(LowestSquare(move.From))], char('1' + RankOf(LowestSquare(move.From))),
        files[FileOf(LowestSquare(move.To))], char('1' + RankOf(LowestSquare(move.To)))};
    if (move.Promo != NoPromotion) text += 'q';
    return text;
}

// Makes a move as the game does: the rights it keeps and the other side to move.
void Play(ChessBoard& board, Bitboard from, Bitboard to, char promo) {
    uint8_t castleMask;
    board.MakeMove(from, to, promo, &castleMask);
    board.CastleFlags &= castleMask;
    board.SideToMove ^= 1;
}

// The board after coordinate moves ("e2e4 d7d5") from the start position.
ChessBoard AfterMoves(const std::string& moves) {
    ChessBoard board = BoardFromFen(StartFen);
    for (size_t at = 0; at + 4 <= moves.size(); at += 5)
        Play(board, Bit(SquareOf(&moves[at])), Bit(SquareOf(&moves[at + 2])), NoPromotion);
    return board;
}

// The move field of a coordinate move with a Polyglot promotion piece.
uint16_t Field(const char* move, int promotion = 0) {
    return static_cast<uint16_t>(promotion << 12 | SquareOf(move) << 6 | SquareOf(move + 2));
}

// Writes entries as a book file stores them, in the order given.
void WriteBook(const std::filesystem::path& path, const std::vector<PolyglotEntry>& entries) {
    std::ofstream file(path, std::ios::binary);
    for (const PolyglotEntry& entry : entries) {
        unsigned char bytes[16];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(entry.Key >> (56 - 8 * i));
        bytes[8] = static_cast<unsigned char>(entry.Move >> 8), bytes[9] = entry.Move & 255;
        bytes[10] = static_cast<unsigned char>(entry.Weight >> 8), bytes[11] = entry.Weight & 255;
        for (int i = 0; i < 4; ++i)
            bytes[12 + i] = static_cast<unsigned char>(entry.Learn >> (24 - 8 * i));
        file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
}

class PolyglotBookTest : public testing::Test {
  protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vorn-polyglot-" + std::to_string(getpid()));
    PolyglotBook book;

    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // How often each move was drawn in `trials` weighted choices.
    std::map<std::string, int> Draws(const ChessBoard& board, int trials) {
        std::map<std::string, int> counts;
        for (int i = 0; i < trials; ++i) {
            PolyglotMove move;
            if (book.Choose(board, false, &move)) ++counts[MoveText(move)];
        }
        return counts;
    }
};

TEST(PolyglotKeyTest, MatchesThePublishedValues) {
    // Played from the start (the en passant file follows the last double
    // step) and set up from FEN (it follows the FEN field): both must count
    // the file only when a pawn of the side to move stands beside the pawn.
    const struct {
        const char* moves;
        const char* fen;
        uint64_t key;
    } cases[] = {
        {"", StartFen, 0x463b96181691fc9c},
        {"e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 0x823c9b50fd114196},
        {"e2e4 d7d5", "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2",
         0x0756b94461c50fb0},
        {"e2e4 d7d5 e4e5", "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2",
         0x662fafb965db29d4},
        {"e2e4 d7d5 e4e5 f7f5", "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
         0x22a48b5a8e47ff78},
        {"e2e4 d7d5 e4e5 f7f5 e1e2", "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR b kq - 0 3",
         0x652a607ca3f242c1},
        {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7",
         "rnbq1bnr/ppp1pkpp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR w - - 0 4", 0x00fdd303c946bdd9},
        {"a2a4 b7b5 h2h4 b5b4 c2c4",
         "rnbqkbnr/p1pppppp/8/8/PpP4P/8/1P1PPPP1/RNBQKBNR b KQkq c3 0 3", 0x3c8123ea7b067637},
        {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3",
         "rnbqkbnr/p1pppppp/8/8/P6P/R1p5/1P1PPPP1/1NBQKBNR b Kkq - 0 4", 0x5c3f9b829b279560},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PolyglotKey(AfterMoves(c.moves)), c.key) << "after \"" << c.moves << "\"";
        EXPECT_EQ(PolyglotKey(BoardFromFen(c.fen)), c.key) << c.fen;
    }
}

// The book that polyglot make-book built from tests/data/book-games.pgn is
// walked from the start position through its own moves: every position it
// holds must be reached (so the keys agree with the tool's after castling,
// en passant and promotion too), and every entry must come back as a legal
// move, except the one under-promotion, which Vorn does not make.
TEST_F(PolyglotBookTest, ToolMadeBookIsFoundAndLegal) {
    ASSERT_EQ(book.Load(ToolBook.c_str()), BookLoaded) << book.Message;
    EXPECT_STREQ(book.Message, "");
    ASSERT_EQ(book.Entries.size(), 54u);

    std::set<uint64_t> reached;
    std::set<std::string> played;
    int underPromotions = 0;
    std::vector<ChessBoard> pending{BoardFromFen(StartFen)};
    while (!pending.empty()) {
        const ChessBoard board = pending.back();
        pending.pop_back();
        const uint64_t key = PolyglotKey(board);
        const auto entries = book.Find(key);
        if (entries.empty() || !reached.insert(key).second) continue;
        int expected = 0;
        for (const PolyglotEntry& entry : entries) {
            const int promotion = entry.Move >> 12;
            underPromotions += promotion > 0 && promotion < QueenCode;
            expected += promotion == 0 || promotion == QueenCode;
        }
        PolyglotMove moves[MoveList::MaxMoves];
        const int count = book.Moves(board, moves);
        EXPECT_EQ(count, expected) << "key " << std::hex << key;
        for (int i = 0; i < count; ++i) {
            EXPECT_GT(moves[i].Weight, 0u);
            played.insert(MoveText(moves[i]));
            ChessBoard after = board;
            Play(after, moves[i].From, moves[i].To, moves[i].Promo);
            pending.push_back(after);
        }
    }
    std::set<uint64_t> keys;
    for (const PolyglotEntry& entry : book.Entries) keys.insert(entry.Key);
    EXPECT_EQ(reached, keys);
    EXPECT_EQ(underPromotions, 1);
    // Both castlings of both sides, en passant by each side, a queen promotion.
    for (const char* move : {"e1g1", "e8g8", "e1c1", "e8c8", "e5d6", "d4e3", "b7a8q"})
        EXPECT_TRUE(played.count(move)) << move;
}

TEST_F(PolyglotBookTest, BadFilesAreRefusedAndLeaveNoBook) {
    const std::filesystem::path empty = dir / "empty.bin", truncated = dir / "truncated.bin",
                                unsorted = dir / "unsorted.bin";
    std::ofstream(empty, std::ios::binary).flush();
    std::filesystem::copy_file(ToolBook, truncated);
    std::filesystem::resize_file(truncated, 16 * 54 - 3);
    WriteBook(unsorted, {{0x20, Field("e2e4"), 1, 0}, {0x10, Field("d2d4"), 1, 0}});
    const struct {
        std::filesystem::path path;
        int result;
        const char* says;
    } cases[] = {
        {dir / "absent.bin", BookMissing, "not found"},
        {dir, BookUnreadable, "cannot be read"},
        {empty, BookEmpty, "empty"},
        {truncated, BookTruncated, "truncated (861 bytes, not a whole number of 16-byte entries)"},
        {unsorted, BookUnsorted, "not sorted by key (the entry at byte 16"},
    };
    const ChessBoard start = BoardFromFen(StartFen);
    for (const auto& c : cases) {
        ASSERT_EQ(book.Load(ToolBook.c_str()), BookLoaded);
        EXPECT_EQ(book.Load(c.path.c_str()), c.result) << c.path;
        EXPECT_NE(std::string(book.Message).find("book file " + c.path.string() + ": " + c.says),
                  std::string::npos)
            << book.Message;
        EXPECT_FALSE(book.IsLoaded()) << c.path;
        PolyglotMove move;
        EXPECT_FALSE(book.Choose(start, false, &move)) << c.path;
    }
}

TEST_F(PolyglotBookTest, WeightedDrawsFollowTheWeights) {
    ASSERT_EQ(book.Load(ToolBook.c_str()), BookLoaded);
    const ChessBoard start = BoardFromFen(StartFen);
    // The start position's weights count the games: 4 e4, 2 d4, 1 c4, 1 Nf3.
    const std::map<std::string, double> share = {
        {"e2e4", 4 / 8.0}, {"d2d4", 2 / 8.0}, {"c2c4", 1 / 8.0}, {"g1f3", 1 / 8.0}};
    constexpr int Trials = 40000;
    book.Seed(2024);
    const std::map<std::string, int> counts = Draws(start, Trials);
    ASSERT_EQ(counts.size(), share.size());
    for (const auto& [move, expected] : share) {
        ASSERT_TRUE(counts.count(move)) << move;
        EXPECT_NEAR(counts.at(move) / double(Trials), expected, 0.01) << move;
    }

    book.Seed(2024);
    EXPECT_EQ(Draws(start, Trials), counts); // the same seed, the same choices
    PolyglotMove move;
    ASSERT_TRUE(book.Choose(start, true, &move));
    EXPECT_EQ(MoveText(move), "e2e4");
}

TEST_F(PolyglotBookTest, IllegalAndUnderPromotionEntriesAreNeverChosen) {
    const ChessBoard start = BoardFromFen(StartFen);
    // A white pawn on b7 that may take on a8 or step to b8.
    const ChessBoard promotion = BoardFromFen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    const uint64_t startKey = PolyglotKey(start), promotionKey = PolyglotKey(promotion);
    std::vector<PolyglotEntry> entries = {
        {startKey, Field("e2e5"), 60000, 0}, // no such pawn move
        {startKey, Field("e7e5"), 60000, 0}, // the other side's move
        {startKey, Field("a3a4"), 60000, 0}, // an empty square
        {startKey, Field("e1h1"), 60000, 0}, // castling through its own pieces
        {startKey, Field("d2d4"), 0, 0},     // legal, but of no weight
        {startKey, Field("g1f3"), 1, 0},
        {promotionKey, Field("b7a8", KnightCode), 60000, 0},
        {promotionKey, Field("b7b8", RookCode), 60000, 0},
        {promotionKey, Field("b7b8", 7), 60000, 0}, // no piece has this code
        {promotionKey, Field("b7a8", QueenCode), 1, 0},
        {promotionKey, Field("b7b8"), 60000, 0}, // a promotion without its piece
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.Key < b.Key; });
    WriteBook(dir / "traps.bin", entries);
    ASSERT_EQ(book.Load((dir / "traps.bin").c_str()), BookLoaded) << book.Message;
    book.Seed(7);
    EXPECT_EQ(Draws(start, 1000), (std::map<std::string, int>{{"g1f3", 1000}}));
    EXPECT_EQ(Draws(promotion, 1000), (std::map<std::string, int>{{"b7a8q", 1000}}));
    PolyglotMove move;
    ASSERT_TRUE(book.Choose(promotion, true, &move));
    EXPECT_EQ(MoveText(move), "b7a8q");

    // Nothing playable left: the position counts as out of the book.
    WriteBook(dir / "under.bin", {{promotionKey, Field("b7a8", KnightCode), 100, 0},
                                  {promotionKey, Field("b7b8", BishopCode), 100, 0}});
    ASSERT_EQ(book.Load((dir / "under.bin").c_str()), BookLoaded);
    EXPECT_FALSE(book.Choose(promotion, false, &move));
    EXPECT_FALSE(book.Choose(promotion, true, &move));
}

} // namespace
