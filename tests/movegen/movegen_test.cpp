#include <gtest/gtest.h>

#include "movegen/movegen_test_util.h"

namespace {

struct OrderCase {
    const char* name;
    const char* fen;
    const char* expected; // the list, in generation order
};

TEST(MoveList, GenerateAllMovesKeepsTheGeneratorOrder) {
    const OrderCase cases[] = {
        {"start position: knights, then each pawn's double push before its push",
         "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
         "b1a3 b1c3 g1f3 g1h3 a2a4 a2a3 b2b4 b2b3 c2c4 c2c3 d2d4 d2d3 e2e4 e2e3 f2f4 f2f3 g2g4 "
         "g2g3 "
         "h2h4 h2h3"},
        {"captures by knight and bishop, then knight, bishop and rook moves, castling, king",
         "4k3/8/8/3p4/8/2N5/8/R3K2B w Q - 0 1",
         "c3d5 h1d5 c3b1 c3d1 c3a2 c3e2 c3a4 c3e4 c3b5 h1g2 h1f3 h1e4 a1b1 a1c1 a1d1 a1a2 a1a3 "
         "a1a4 "
         "a1a5 a1a6 a1a7 a1a8 e1c1 e1d1 e1f1 e1d2 e1e2 e1f2"},
        {"Black: captures by rook then queen, then rook, queen and king moves",
         "4k3/8/8/4N3/8/2q5/8/r5RK b - - 0 1",
         "a1g1 c3e5 a1b1 a1c1 a1d1 a1e1 a1f1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 c3c1 c3e1 c3b2 "
         "c3c2 "
         "c3d2 c3a3 c3b3 c3d3 c3e3 c3f3 c3g3 c3h3 c3b4 c3c4 c3d4 c3a5 c3c5 c3c6 c3c7 c3c8 e8d7 "
         "e8e7 "
         "e8f7 e8d8 e8f8"},
        {"lone king in a corner", "7k/8/8/8/8/8/8/K7 w - - 0 1", "a1b1 a1a2 a1b2"},
    };
    for (const OrderCase& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        MoveList list;
        int count = list.GenerateAllMoves(board.SideToMove, &board, board.CastleFlags);
        EXPECT_EQ(ListText(list, count), c.expected) << c.name;
        EXPECT_EQ(list.NumMoves, count) << c.name;
        for (int i = 0; i < count; ++i) {
            Bitboard from, to;
            char promo;
            EXPECT_EQ(list.GetMove(i, &from, &to, &promo), 0);
            EXPECT_EQ(from, list.From[i]);
            EXPECT_EQ(to, list.To[i]);
            EXPECT_EQ(promo, list.Promo[i]);
        }
    }
}

TEST(MoveList, QuiesceMovesAreCapturesByQueenRookKnightBishopThenPawnsThenKing) {
    ChessBoard board = BoardFromFen("4k3/8/r7/3p4/2P5/2N5/8/R2QK2B w - - 0 1");
    MoveList list;
    int count = list.GenerateQuiesceMoves(White, &board);
    EXPECT_EQ(ListText(list, count), "d1d5 a1a6 c3d5 h1d5 c4c5 c4d5");
    EXPECT_EQ(list.NumMoves, 0) << "only GenerateAllMoves sets the count";

    // The king's captures come last; without captures only pushes remain.
    board = BoardFromFen("4k3/8/8/8/8/8/3pP3/4K3 w - - 0 1");
    count = list.GenerateQuiesceMoves(White, &board);
    EXPECT_EQ(ListText(list, count), "e2e4 e2e3 e1d2");
    board = BoardFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(list.GenerateQuiesceMoves(White, &board), 0);
}

TEST(MoveList, PawnMovesPerPawnInOrder) {
    const OrderCase cases[] = {
        {"double push before push, pawns by square", "4k3/8/8/8/8/8/PP6/4K3 w - - 0 1",
         "a2a4 a2a3 b2b4 b2b3"},
        {"blocked two squares ahead", "4k3/8/8/8/4p3/8/4P3/4K3 w - - 0 1", "e2e3"},
        {"blocked one square ahead", "4k3/8/8/8/8/4p3/4P3/4K3 w - - 0 1", ""},
        {"White promotes pushing, then taking +7, then +9", "n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1",
         "b7b8Q b7a8Q b7c8Q"},
        {"Black promotes pushing, then taking -7, then -9", "4k3/8/8/8/8/8/6p1/4KN1N b - - 0 1",
         "g2g1q g2h1q g2f1q"},
        {"en passant after a double push", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5e6 e5d6"},
        {"no en passant without the double push", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", "e5e6"},
        {"en passant from both sides", "4k3/8/8/2PpP3/8/8/8/4K3 w - d6 0 1", "c5c6 c5d6 e5e6 e5d6"},
        {"Black en passant", "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", "e4e3 e4d3"},
        {"no wrap from the h-file to the a-file", "4k3/8/8/P6p/8/8/8/4K3 w - h6 0 1", "a5a6"},
    };
    for (const OrderCase& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        MoveList list;
        list.Board = &board;
        EXPECT_EQ(ListText(list, list.GenPawns(board.SideToMove, 0)), c.expected) << c.name;
    }
}

TEST(MoveList, EnPassantNeedsTheDoublePushAsLastMove) {
    // d7-d6-d5 in two moves: the last move started on d6.
    ChessBoard board = BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    board.LastFrom = Bit(D6);
    MoveList list;
    list.Board = &board;
    EXPECT_EQ(ListText(list, list.GenPawns(White, 0)), "e5e6");
    // The double push was made by a piece that is not a pawn.
    board = BoardFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    board.BPawns ^= Bit(D5);
    board.BRooks ^= Bit(D5);
    EXPECT_EQ(ListText(list, list.GenPawns(White, 0)), "e5e6");
}

TEST(MoveList, CastlingOrderAndSquareTests) {
    const OrderCase cases[] = {
        {"White: king side, then queen side", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1 e1c1"},
        {"Black: king side, then queen side", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8g8 e8c8"},
        {"attacked f1", "r3kr2/8/8/8/8/8/8/R3K2R w KQq - 0 1", "e1c1"},
        {"attacked d1", "r3k2r/8/8/8/3r4/8/8/R3K2R w KQkq - 0 1", "e1g1"},
        {"attacked b1 is allowed", "rr2k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1 e1c1"},
        {"king in check", "r3k2r/8/8/8/4r3/8/8/R3K2R w KQkq - 0 1", ""},
        {"occupied b1", "r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", "e1g1"},
        {"occupied g1", "r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1", "e1c1"},
        {"Black: attacked f8", "r3k2r/8/8/8/8/8/5R2/R3K2R b KQkq - 0 1", "e8c8"},
        {"no rights", "r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", ""},
    };
    for (const OrderCase& c : cases) {
        ChessBoard board = BoardFromFen(c.fen);
        MoveList list;
        list.Board = &board;
        int count = list.GenCastle(board.SideToMove, 0, board.CastleFlags);
        EXPECT_EQ(ListText(list, count), c.expected) << c.name;
        for (int i = 0; i < count; ++i) EXPECT_EQ(list.Order[i], 800) << c.name;
    }

    // A right whose rook has gone is not enough.
    ChessBoard board = BoardFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    board.WRooks ^= Bit(H1);
    board.WhitePieces ^= Bit(H1);
    board.AllPieces ^= Bit(H1);
    MoveList list;
    list.Board = &board;
    EXPECT_EQ(ListText(list, list.GenCastle(White, 0, AllCastling)), "e1c1");
}

// Chess960 castling among the legal moves, written as the king taking its
// rook: what must be empty, what must not be attacked, and the squares that
// may be either.
TEST(MoveList, Chess960CastlingPathsAndAttacks) {
    struct Case {
        const char* name;
        const char* fen;
        const char* castlings;
    } cases[] = {
        {"king already on its target", "4k3/8/8/8/8/8/8/6KR w K - 0 1", "g1h1"},
        {"rook already on its target", "4k3/8/8/8/8/8/8/3RK3 w Q - 0 1", "e1d1"},
        {"king and rook swap squares", "4k3/8/8/8/8/8/8/5KR1 w K - 0 1", "f1g1"},
        {"queen side swap", "4k3/8/8/8/8/8/8/2RK4 w Q - 0 1", "d1c1"},
        {"both sides from b1", "4k3/8/8/8/8/8/8/RK5R w KQ - 0 1", "b1h1 b1a1"},
        {"Black from g8", "rk4r1/8/8/8/8/8/8/4K3 b kq - 0 1", "b8g8 b8a8"},
        {"a piece on the rook's target", "4k3/8/8/8/8/8/8/RK1N4 w Q - 0 1", ""},
        {"a piece on the king's path", "4k3/8/8/8/8/8/8/1K3N1R w K - 0 1", ""},
        {"the rook's own square attacked", "4k2r/8/8/8/8/8/8/5K1R w K - 0 1", "f1h1"},
        {"the king's target attacked", "4k1r1/8/8/8/8/8/8/5K1R w K - 0 1", ""},
        {"a square the king crosses attacked", "4kr2/8/8/8/8/8/8/RK5R w KQ - 0 1", "b1a1"},
        // After castling the king would stand in the rook's former shadow.
        {"the castling rook screened an attack", "4k3/8/8/8/8/8/8/rR2K3 w Q - 0 1", ""},
        {"the king in check", "4k3/8/8/8/8/8/8/r5KR w K - 0 1", ""},
        {"a second rook outside the castling one", "4k3/8/8/8/8/8/8/4KR1R w F - 0 1", "e1f1"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(c.fen, CastlingRules::Chess960), SetupOk) << c.name;
        const ChessBoard board = MainBoard;
        MoveList list;
        const int count = list.GenerateLegalMoves(&board);
        std::string castlings;
        for (int i = 0; i < count; ++i) {
            if (!IsCastling(board, list.From[i], list.To[i])) continue;
            if (!castlings.empty()) castlings += ' ';
            castlings += ListText(list, count).substr(5 * i, 4);
        }
        EXPECT_EQ(castlings, c.castlings) << c.name;
        // Perft's count without making the ordinary moves agrees.
        const int pseudo =
            board.InCheck(board.SideToMove == White ? board.WKing : board.BKing, board.SideToMove)
                ? list.GenCheckEvasions(board.SideToMove, &board)
                : list.GenerateAllMoves(board.SideToMove, &board, board.CastleFlags);
        EXPECT_EQ(list.LegalMoveCount(board.SideToMove, pseudo), count) << c.name;
    }
}

TEST(MoveList, MissingOrSecondKingIsReportedAndGenerationGoesOn) {
    ChessBoard board{};
    board.WKnights = Bit(B1);
    board.BKing = Bit(H8);
    board.WhitePieces = board.WKnights;
    board.BlackPieces = board.BKing;
    board.AllPieces = board.WhitePieces | board.BlackPieces;
    MoveList list;
    int count = 0;
    std::string out = CapturedStdout([&] { count = list.GenerateAllMoves(White, &board, 0); });
    EXPECT_EQ(out, "Major Error: There is No king of a given color\n"
                   "Major Error: There is No king of a given color\n");
    EXPECT_EQ(ListText(list, count), "b1d2 b1a3 b1c3");

    board.WKing = Bit(A1) | Bit(H1);
    board.WhitePieces |= board.WKing;
    board.AllPieces |= board.WKing;
    out = CapturedStdout([&] { count = list.GenKings(White, 0); });
    EXPECT_EQ(out, "Major Error: There is more than one king of a given color\n");
    EXPECT_EQ(ListText(list, count), "a1a2 a1b2 h1g1 h1g2 h1h2");
}

TEST(MoveList, AFullListDropsFurtherMovesInsteadOfOverrunning) {
    // No position has 335 pseudo-legal moves, but a generator may be asked
    // to append to a list that is nearly full.
    ChessBoard board = BoardFromFen("QQ2Q1Q1/3Q3Q/Q4Q1Q/Q1Q4Q/Q6Q/1Q4Q1/8/K6k b - - 0 1");
    MoveList fresh, list;
    fresh.Board = list.Board = &board;
    int all = fresh.GenQueens(White, 0);
    ASSERT_GT(all, 10);
    constexpr int Room = 10;
    EXPECT_EQ(list.GenQueens(White, MoveList::MaxMoves - Room), MoveList::MaxMoves);
    for (int i = 0; i < Room; ++i) {
        EXPECT_EQ(list.From[MoveList::MaxMoves - Room + i], fresh.From[i]) << i;
        EXPECT_EQ(list.To[MoveList::MaxMoves - Room + i], fresh.To[i]) << i;
    }
    EXPECT_EQ(list.AddMove(MoveList::MaxMoves, Bit(A1), Bit(A2), NoPromotion), MoveList::MaxMoves);
}

} // namespace
