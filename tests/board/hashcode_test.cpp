#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "movegen/movegen.h"
#include "test_util.h"

namespace {

struct Code {
    Bitboard upper, lower;
    bool operator==(const Code&) const = default;
};

Code HashOf(const ChessBoard& board, int side, int castle) {
    Code c;
    genhashcode(side, castle, &c.upper, &c.lower, &board);
    return c;
}

TEST(HashCode, FixedRandomSequence) {
    // The tables are filled from the first numbers of the sequence, high half first:
    // 60494271, 1217451684 for UPStable[0][0], then 928226186, 2816712964.
    EXPECT_EQ(UPStable[0][0], 0x039B11BF4890D6A4ULL);
    EXPECT_EQ(LPStable[0][0], 0x37539B8AA7E3A104ULL);
    EXPECT_EQ(UPStable[0][0] >> 32, 60494271u);
    EXPECT_EQ(LPStable[0][0] & 0xFFFFFFFF, 2816712964u);
}

TEST(HashCode, SideCastlingAndTranspositions) {
    ChessBoard empty{};
    EXPECT_EQ(HashOf(empty, White, 0), (Code{WtoMove ^ CastleCode[0], WtoMove ^ CastleCode[0]}));

    ChessBoard start{};
    start.InitRep();
    const Code white = HashOf(start, White, 15), black = HashOf(start, Black, 15);
    EXPECT_EQ(white.upper ^ black.upper, WtoMove ^ BtoMove);
    EXPECT_EQ(white.lower ^ black.lower, WtoMove ^ BtoMove);
    const Code noCastle = HashOf(start, White, 0);
    EXPECT_EQ(white.upper ^ noCastle.upper, CastleCode[15] ^ CastleCode[0]);
    EXPECT_NE(white.upper, white.lower);

    // 1. Nf3 Nf6 2. Nc3 and 1. Nc3 Nf6 2. Nf3 reach the same position.
    auto play = [](ChessBoard board, std::initializer_list<std::pair<int, int>> moves) {
        uint8_t mask;
        for (auto [from, to] : moves) board.MakeMove(Bit(from), Bit(to), NoPromotion, &mask);
        return board;
    };
    const ChessBoard a = play(start, {{G1, F3}, {G8, F6}, {B1, C3}});
    const ChessBoard b = play(start, {{B1, C3}, {G8, F6}, {G1, F3}});
    EXPECT_EQ(HashOf(a, Black, 15), HashOf(b, Black, 15));
    EXPECT_NE(HashOf(a, Black, 15), HashOf(start, Black, 15));

    // En passant is not part of the code.
    EXPECT_EQ(HashOf(BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"), White, 0),
              HashOf(BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"), White, 0));
}

// The moves of a tree that change more than two squares' pieces.
struct SpecialMoves {
    int castlings = 0, enPassants = 0, promotions = 0;
};

// Walks every legal line `depth` plies deep and checks after each move that
// the code MakeMove kept equals the one computed from scratch. Each child is
// made on a copy of its parent, as the search's are.
void ExpectKeptCodesOverTree(const ChessBoard& board, int side, int castle, int depth,
                             SpecialMoves& seen, const std::string& line) {
    if (depth == 0) return;
    MoveList list;
    const Bitboard king = side == White ? board.WKing : board.BKing;
    const int count = board.InCheck(king, side) ? list.GenCheckEvasions(side, &board)
                                                : list.GenerateAllMoves(side, &board, castle);
    for (int i = 0; i < count; ++i) {
        Bitboard from, to;
        char promotion;
        uint8_t mask;
        list.GetMove(i, &from, &to, &promotion);
        ChessBoard child = board;
        child.MakeMove(from, to, promotion, &mask);
        if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
        const std::string here = line + " " + std::to_string(LowestSquare(from)) + "-" +
                                 std::to_string(LowestSquare(to));
        seen.castlings += IsCastling(board, from, to);
        seen.enPassants += board.IsPawn(side, from) && board.IsEmptySquare(to) &&
                           FileOf(LowestSquare(from)) != FileOf(LowestSquare(to));
        seen.promotions += promotion != NoPromotion;
        Code kept;
        BoardHashCode(side ^ 1, castle & mask, child, &kept.upper, &kept.lower);
        ASSERT_EQ(kept, HashOf(child, side ^ 1, castle & mask)) << here;
        ExpectKeptCodesOverTree(child, side ^ 1, castle & mask, depth - 1, seen, here);
    }
}

TEST(HashCode, MakeMoveKeepsTheCodeOverPerftTrees) {
    std::ifstream positions(VORN_TEST_DATA "/perft.epd");
    SpecialMoves seen;
    int trees = 0;
    for (std::string line; std::getline(positions, line); ++trees) {
        const std::string fen = line.substr(0, line.find(';'));
        ChessBoard board = BoardFromFen(fen.c_str());
        ExpectKeptCodesOverTree(board, board.SideToMove, board.CastleFlags, 3, seen, fen);
    }
    EXPECT_EQ(trees, 5);
    // The trees hold every move that moves a second piece or changes one.
    EXPECT_GT(seen.castlings, 0);
    EXPECT_GT(seen.enPassants, 0);
    EXPECT_GT(seen.promotions, 0);
}

// The Chess960 positions: castling moves the king onto its target and the
// rook beside it from wherever they stood.
TEST(HashCode, MakeMoveKeepsTheCodeOverChess960Trees) {
    std::ifstream positions(VORN_TEST_DATA "/perft960.epd");
    SpecialMoves seen;
    int trees = 0;
    for (std::string line; std::getline(positions, line) && trees < 12;) {
        if (line.empty() || line[0] == '#') continue;
        const std::string fen = line.substr(0, line.find(';'));
        ASSERT_EQ(SetupBoard(fen.c_str(), CastlingRules::Chess960), SetupOk) << fen;
        const ChessBoard board = MainBoard;
        ExpectKeptCodesOverTree(board, board.SideToMove, board.CastleFlags, 3, seen, fen);
        ++trees;
    }
    EXPECT_EQ(trees, 12);
    EXPECT_GT(seen.castlings, 0);
}

// A right's code tells which rook it belongs to; standard chess keeps the
// codes it has always had, however its castling field is written.
TEST(HashCode, Chess960RightsAreCodedByTheirRook) {
    const auto codeOf = [](const char* fen, CastlingRules rules) {
        EXPECT_EQ(SetupBoard(fen, rules), SetupOk) << fen;
        return HashOf(MainBoard, MainBoard.SideToMove, MainBoard.CastleFlags);
    };
    const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    ChessBoard standard{};
    standard.InitRep();
    const Code standardCode = HashOf(standard, White, AllCastling);
    EXPECT_EQ(codeOf(start, CastlingRules::Standard), standardCode);
    EXPECT_EQ(codeOf(start, CastlingRules::Chess960), standardCode);
    EXPECT_EQ(
        codeOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1", CastlingRules::Chess960),
        standardCode);

    // The same pieces and the same right (White's queen side), another rook.
    const Code outer = codeOf("4k3/8/8/8/8/8/8/RR2K3 w Q - 0 1", CastlingRules::Chess960);
    const Code inner = codeOf("4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", CastlingRules::Chess960);
    EXPECT_NE(outer, inner);
    EXPECT_EQ(outer, codeOf("4k3/8/8/8/8/8/8/RR2K3 w A - 0 1", CastlingRules::Chess960));
}

} // namespace
