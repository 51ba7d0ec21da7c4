#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_util.h"

namespace {

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

std::string FenOf(const ChessBoard& board) {
    char text[128];
    pos2fenString(board, text);
    return text;
}

TEST(Fen, ReadsAndWritesPositions) {
    struct Case {
        const char* fen;
        const char* written;
    } cases[] = {
        {StartFen, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 ; "},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 ; "},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
         "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 ; "},
        {"8/8/8/8/8/8/8/K6k w - -", "8/8/8/8/8/8/8/K6k w - - 0 ; "},
        {"4k3/8/8/8/8/8/8/4K3 B", "4k3/8/8/8/8/8/8/4K3 w - - 0 ; "}, // only "b" is Black
    };
    for (const Case& c : cases) EXPECT_EQ(FenOf(BoardFromFen(c.fen)), c.written) << c.fen;

    std::string printed = CapturedStdout([] { pos2fen(BoardFromFen(StartFen), 1); });
    EXPECT_EQ(printed, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 ; 1 \n");
}

TEST(Fen, SetsCountsTotalsAndDrawFlags) {
    ChessBoard board = BoardFromFen("4k3/8/8/8/8/8/8/4KB2 w - - 12 40");
    EXPECT_EQ(board.WBishopCount, 1);
    EXPECT_EQ(board.WhitePieceTotal, 1);
    EXPECT_EQ(board.BlackPieceTotal, 0);
    EXPECT_EQ(board.DrawFlags, 0); // neither side can mate
    EXPECT_EQ(board.FiftyMoveCount, 12);
    EXPECT_EQ(BoardFromFen("4k3/8/8/8/8/8/8/4K3 w - -").FiftyMoveCount, 0);
}

TEST(Fen, CastlingLettersNeedKingAndRookAtHome) {
    struct Case {
        const char* fen;
        int flags;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 15},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", 9},
        {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KKxq - 0 1", 9},  // a repeated letter changes nothing
        {"r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", 14},  // no rook beside the king on h1's side
        {"r3k2r/8/8/8/8/8/4K3/R6R w KQkq - 0 1", 12}, // king off the first rank
        {"4k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 7},   // no rook on a8's side
        {"r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", 15}, // Shredder-FEN letters for the corners
    };
    for (const Case& c : cases) EXPECT_EQ(BoardFromFen(c.fen).CastleFlags, c.flags) << c.fen;
}

// X-FEN and Shredder-FEN castling fields by the Chess960 rules: the rook of
// each right, and the field written back (X-FEN).
TEST(Fen, Chess960CastlingFieldsNameTheirRooks) {
    struct Case {
        const char* fen;
        int flags;
        int rooks[4]; // by castling index; the corner where a right is not held
        const char* written;
    } cases[] = {
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
         15,
         {H1, F1, H8, F8},
         "KQkq"},
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq - 2 9",
         15,
         {H1, F1, H8, F8},
         "KQkq"},
        // The outermost rook is not the castling one: its file is written.
        {"4k3/8/8/8/8/8/8/4KR1R w F - 0 1", 1, {F1, A1, H8, A8}, "F"},
        {"r1r1k3/8/8/8/8/8/8/4K3 b c - 0 1", 8, {H1, A1, H8, C8}, "c"},
        {"1r2k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", 15, {G1, A1, H8, B8}, "KQkq"},
        {"rk6/8/8/8/8/8/8/4K3 b q - 0 1", 8, {H1, A1, H8, A8}, "q"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 15, {H1, A1, H8, A8}, "KQkq"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(c.fen, CastlingRules::Chess960), SetupOk) << c.fen;
        EXPECT_EQ(MainBoard.CastleFlags, c.flags) << c.fen;
        EXPECT_TRUE(MainBoard.Chess960) << c.fen;
        for (int right = 0; right < 4; ++right)
            EXPECT_EQ(MainBoard.CastleRookSquare[right], c.rooks[right]) << c.fen << " " << right;
        char written[8];
        CastleRights(written, MainBoard);
        EXPECT_STREQ(written, c.written) << c.fen;
    }
    EXPECT_FALSE(BoardFromFen(StartFen).Chess960);
}

// A castling right that the position cannot have is refused by the Chess960
// rules, and castling that only Chess960 has by the standard ones; the board
// stays as it was.
TEST(Fen, RefusesImpossibleCastlingRights) {
    struct Case {
        const char* fen;
        CastlingRules rules;
        int result;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w K - 0 1", CastlingRules::Chess960, SetupCastlingNoRook},
        {"4k3/8/8/8/8/8/8/4K2R w Q - 0 1", CastlingRules::Chess960, SetupCastlingNoRook},
        {"4k3/8/8/8/8/8/8/4K2R w B - 0 1", CastlingRules::Chess960, SetupCastlingNoRook},
        {"4k3/8/8/8/8/8/8/R3K2R w E - 0 1", CastlingRules::Chess960, SetupCastlingNoRook},
        {"4k3/8/8/8/8/8/4K3/R6R w K - 0 1", CastlingRules::Chess960, SetupCastlingKingAway},
        {"4k3/8/8/8/8/8/8/4K1RR w HG - 0 1", CastlingRules::Chess960, SetupCastlingOneSide},
        {"4k3/8/8/8/8/8/8/R3K2R w KX - 0 1", CastlingRules::Chess960, SetupCastlingLetter},
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
         CastlingRules::Standard, SetupCastlingNeeds960},
        {"r3k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", CastlingRules::Standard, SetupCastlingNeeds960},
        {"r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", CastlingRules::Standard, SetupCastlingNeeds960},
        {"1r2k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", CastlingRules::Standard, SetupCastlingNeeds960},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(StartFen), SetupOk);
        const ChessBoard before = MainBoard;
        EXPECT_EQ(SetupBoard(c.fen, c.rules), c.result) << c.fen;
        EXPECT_EQ(std::memcmp(&before, &MainBoard, sizeof before), 0) << c.fen;
        EXPECT_STRNE(SetupResultText(c.result), SetupResultText(-1)) << c.fen;
    }
}

TEST(Fen, EnPassantSquareBecomesTheLastMove) {
    struct Case {
        const char* fen;
        Bitboard lastFrom, lastTo;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", Bit(E2), Bit(E4)},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", Bit(D7), Bit(D5)},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1", 0, 0}, // no Black pawn on e5
        {"4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1", 0, 0}, // Black's own double step, Black to move
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d9 0 1", 0, 0},
        {"4k3/8/3B4/3pP3/8/8/8/4K3 w - d6 0 1", 0, 0}, // the passed square is occupied
        {"4k3/3n4/8/3pP3/8/8/8/4K3 w - d6 0 1", 0, 0}, // so is the start square
        {"4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", 0, 0},
    };
    for (const Case& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        EXPECT_EQ(board.LastFrom, c.lastFrom) << c.fen;
        EXPECT_EQ(board.LastTo, c.lastTo) << c.fen;
    }
}

TEST(Fen, RefusesUnplayablePositionsAndKeepsTheBoard) {
    struct Case {
        const char* fen;
        int result;
    } cases[] = {
        {"8/8/8/8/8/8/8/4K3 w - - 0 1", SetupBadKings},
        {"4k3/8/8/8/8/8/8/4K2K w - - 0 1", SetupBadKings},
        {"", SetupBadKings},
        {" w - - 0 1", SetupBadKings},
        {"4k3/8/8/8/8/8/8/4K3p w - - 0 1", SetupOffBoard},
        {"4k3/8/8/8/8/8/8/4K3/p7 w - - 0 1", SetupOffBoard},
        {"4k3/8/8/8/8/8/8/4K99999999999999999999p w - - 0 1", SetupOffBoard},
        {"4k3/8/8/8/8/8/8/2P1K3 w - - 0 1", SetupPawnOnBackRank},
        {"3pk3/8/8/8/8/8/8/4K3 w - - 0 1", SetupPawnOnBackRank},
        {"4k3/8/8/8/8/8/8/4K2r b - - 0 1", SetupOpponentInCheck},
        {"4k3/8/8/8/8/8/8/3K4 w - - 0 1", SetupOk},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(StartFen), SetupOk);
        const ChessBoard before = MainBoard;
        EXPECT_EQ(SetupBoard(c.fen), c.result) << c.fen;
        if (c.result != SetupOk) {
            EXPECT_EQ(std::memcmp(&before, &MainBoard, sizeof before), 0) << c.fen;
        }
    }
}

TEST(Fen, LongRunsOfDigitsStayOnTheBoard) {
    // A run that passes the h-file carries on into the next row's squares.
    ChessBoard board = BoardFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(board.WKing, Bit(E1));
    EXPECT_EQ(SetupBoard("12k3/8/8/8/8/8/8/4K3 w - - 0 1"), SetupOffBoard);
    EXPECT_EQ(SetupBoard("k11/8/8/8/8/8/8/4K3 w - - 0 1"), SetupOk);
}

TEST(MoveText, CoordinatesPromotionsAndContinuation) {
    char text[MaxPVText];
    struct Case {
        int from, to, promo;
        const char* expected;
    } cases[] = {
        {E2, E4, NoPromotion, " e2e4 \n"},
        {G7, G8, QueenCode, " g7g8q;\n"},
        {B2, B1, KnightCode + BlackCodeOffset, " b2b1n;\n"},
        {A7, A8, 'Q', " a7a8q \n"}, // a move-list letter, as interfaces read it
        {H2, H1, 'q', " h2h1q \n"},
    };
    for (const Case& c : cases) {
        fillmovestring(text, c.from, c.to, c.promo);
        EXPECT_STREQ(text, c.expected);
    }
    const PVEntry pv[] = {{E2 * 64 + E4, NoPromotion},
                          {E7 * 64 + E5, NoPromotion},
                          {G1 * 64 + F3, NoPromotion},
                          {B7 * 64 + B8, 'Q'}};
    fillmovestring(text, E2, E4, NoPromotion, pv, 4);
    EXPECT_STREQ(text, " e2e4 e7e5 g1f3 b7b8q \n");
    fillmovestring(text, E2, E4, NoPromotion, pv, 1);
    EXPECT_STREQ(text, " e2e4 \n");

    char rights[5];
    for (auto [fen, expected] : {std::pair{"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "KQkq"},
                                 std::pair{"r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", "Kq"},
                                 std::pair{"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", "-"}}) {
        CastleRights(rights, BoardFromFen(fen));
        EXPECT_STREQ(rights, expected);
    }
}

} // namespace
