#include <gtest/gtest.h>

#include "test_util.h"

namespace {

// XOR of the key entries of every pawn and king: what MakeMove keeps up to date.
uint32_t PawnKingHash(const ChessBoard& b) {
    uint32_t key = 0;
    for (int code : {PawnCode, KingCode, PawnCode + BlackCodeOffset, KingCode + BlackCodeOffset})
        for (Bitboard p = b.PieceBits(code); p; p &= p - 1)
            key ^= static_cast<uint32_t>(LPStable[code][LowestSquare(p)]);
    return key;
}

struct MoveCase {
    const char* name;
    const char* fen;
    int from, to;
    char promo;
    // What must hold after the move.
    int code;         // piece code expected on `to`
    Bitboard emptied; // squares that must be empty afterwards (besides `from`)
    int extraCode;    // another piece expected afterwards (castling rook), -1 for none
    int extraSquare;
    uint8_t mask; // castling mask written
    int captured; // value of the piece taken on `to`, 0 for none (en passant too)
    int whiteTotalDelta, blackTotalDelta;
};

const MoveCase MoveCases[] = {
    {"double step", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 5 1", E2, E4, NoPromotion,
     PawnCode, 0, -1, 0, 15, 0, 0, 0},
    {"en passant from the left", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6, NoPromotion, PawnCode,
     Bit(D5), -1, 0, 15, 0, 0, -1},
    {"en passant from the right", "4k3/8/8/2Pp4/8/8/8/4K3 w - d6 0 1", C5, D6, NoPromotion,
     PawnCode, Bit(D5), -1, 0, 15, 0, 0, -1},
    {"black en passant", "4k3/8/8/8/4Pp2/8/8/4K3 b - e3 0 1", F4, E3, NoPromotion, PawnCode + 6,
     Bit(E4), -1, 0, 15, 0, -1, 0},
    {"white short castling", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", E1, G1, NoPromotion, KingCode,
     Bit(H1) | Bit(E1), RookCode, F1, 12, 0, 0, 0},
    {"white long castling", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", E1, C1, NoPromotion, KingCode,
     Bit(A1) | Bit(B1), RookCode, D1, 12, 0, 0, 0},
    {"black short castling", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", E8, G8, NoPromotion,
     KingCode + 6, Bit(H8), RookCode + 6, F8, 3, 0, 0, 0},
    {"black long castling", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", E8, C8, NoPromotion,
     KingCode + 6, Bit(A8), RookCode + 6, D8, 3, 0, 0, 0},
    {"rook leaves h1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", H1, H4, NoPromotion, RookCode, 0, -1,
     0, 14, 0, 0, 0},
    {"rook leaves a8", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", A8, A4, NoPromotion, RookCode + 6, 0,
     -1, 0, 7, 0, 0, 0},
    {"rook takes rook on the corner", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", H1, H8, NoPromotion,
     RookCode, 0, -1, 0, 10, RookValue, 0, -1},
    {"bishop takes rook on a1", "4k3/8/8/8/8/8/1b6/R3K3 b Q - 0 1", B2, A1, NoPromotion,
     BishopCode + 6, 0, -1, 0, 13, RookValue, -1, 0},
    {"queen promotion", "4k3/6P1/8/8/8/8/8/4K3 w - - 0 1", G7, G8, 'q', QueenCode, 0, -1, 0, 15, 0,
     0, 0},
    {"knight promotion with capture", "4k2r/6P1/8/8/8/8/8/4K3 w - - 0 1", G7, H8, 'N', KnightCode,
     0, -1, 0, 11, RookValue, 0, -1},
    {"black rook promotion", "4k3/8/8/8/8/8/3p4/K7 b - - 0 1", D2, D1, 'r', RookCode + 6, 0, -1, 0,
     15, 0, 0, 0},
    {"queen captured", "4k3/8/8/3q4/8/8/8/3QK3 w - - 30 1", D1, D5, NoPromotion, QueenCode, 0, -1,
     0, 15, QueenValue, 0, -1},
    {"king step", "4k3/8/8/8/8/8/8/4K3 w - - 7 1", E1, F2, NoPromotion, KingCode, 0, -1, 0, 12, 0,
     0, 0},
};

TEST(MakeMove, EffectsOnEveryField) {
    for (const MoveCase& c : MoveCases) {
        ChessBoard before = BoardFromFen(c.fen);
        before.PawnKingKey = PawnKingHash(before);
        ChessBoard board = before;
        uint8_t mask = 0;
        board.MakeMove(Bit(c.from), Bit(c.to), c.promo, &mask);

        EXPECT_TRUE(board.PieceBits(c.code) & Bit(c.to)) << c.name;
        EXPECT_FALSE(board.AllPieces & (Bit(c.from) | c.emptied)) << c.name;
        if (c.extraCode >= 0) {
            EXPECT_TRUE(board.PieceBits(c.extraCode) & Bit(c.extraSquare)) << c.name;
        }
        EXPECT_EQ(mask, c.mask) << c.name;
        EXPECT_EQ(board.LastFrom, Bit(c.from)) << c.name;
        EXPECT_EQ(board.LastTo, Bit(c.to)) << c.name;
        EXPECT_EQ(board.PawnKingKey, PawnKingHash(board)) << c.name;
        EXPECT_EQ(board.WhitePieceTotal - before.WhitePieceTotal, c.whiteTotalDelta) << c.name;
        EXPECT_EQ(board.BlackPieceTotal - before.BlackPieceTotal, c.blackTotalDelta) << c.name;
        EXPECT_TRUE(BoardAndKeyAreConsistent(board)) << c.name;
        const bool pawnOrCapture = (before.WPawns | before.BPawns) & Bit(c.from) || c.captured ||
                                   c.whiteTotalDelta || c.blackTotalDelta;
        EXPECT_EQ(board.FiftyMoveCount, pawnOrCapture ? 0 : before.FiftyMoveCount + 1) << c.name;
    }
}

// Chess960 castling is the king taking its own rook: the king ends on the
// g- or c-file and the rook beside it, whichever squares they left.
TEST(MakeMove, Chess960CastlingPutsKingAndRookOnTheirFiles) {
    struct Case {
        const char* name;
        const char* fen;
        int from, to, kingTo, rookTo;
        uint8_t mask;
    } cases[] = {
        {"king already on its target", "4k3/8/8/8/8/8/8/6KR w K - 3 1", G1, H1, G1, F1, 12},
        {"rook already on its target", "4k3/8/8/8/8/8/8/4KR2 w K - 3 1", E1, F1, G1, F1, 12},
        {"swap on the king side", "4k3/8/8/8/8/8/8/5KR1 w K - 3 1", F1, G1, G1, F1, 12},
        {"swap on the queen side", "4k3/8/8/8/8/8/8/2RK4 w Q - 3 1", D1, C1, C1, D1, 12},
        {"long way on the king side", "4k3/8/8/8/8/8/8/1K5R w K - 3 1", B1, H1, G1, F1, 12},
        {"Black on the queen side", "rk6/8/8/8/8/8/8/4K3 b q - 3 1", B8, A8, C8, D8, 3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(c.fen, CastlingRules::Chess960), SetupOk) << c.name;
        ChessBoard board = MainBoard;
        const int side = board.SideToMove;
        uint8_t mask = 0;
        board.MakeMove(Bit(c.from), Bit(c.to), NoPromotion, &mask);
        EXPECT_EQ(board.PieceBits(KingCode + side * BlackCodeOffset), Bit(c.kingTo)) << c.name;
        EXPECT_EQ(board.PieceBits(RookCode + side * BlackCodeOffset) & RankMask[RankOf(c.kingTo)],
                  Bit(c.rookTo))
            << c.name;
        EXPECT_EQ(mask, c.mask) << c.name;
        EXPECT_EQ(board.FiftyMoveCount, 4) << c.name;
        EXPECT_EQ(board.PawnKingKey, PawnKingHash(board)) << c.name;
        EXPECT_TRUE(BoardAndKeyAreConsistent(board)) << c.name;
    }
}

// A right ends when its rook leaves its square or is taken there; the other
// rook of a side may come and go.
TEST(MakeMove, Chess960RightsFollowTheirRooks) {
    struct Case {
        const char* name;
        const char* fen;
        int from, to;
        uint8_t mask;
    } cases[] = {
        {"castling rook moves off its file", "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w KQkq - 0 1", G1, G4,
         14},
        {"castling rook moves along the rank", "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w KQkq - 0 1", B1, A1,
         13},
        {"castling rook taken", "1r2k1r1/8/8/8/8/8/8/1R2K1R1 b KQkq - 0 1", G8, G1, 10},
        {"the other rook moves", "1r2k1r1/8/8/8/8/8/8/RR2K1R1 w Bkq - 0 1", A1, A4, 15},
        {"the other rook taken", "rr2k1r1/8/8/8/8/8/8/RR2K1R1 w Bb - 0 1", A1, A8, 15},
        {"the king steps", "1r2k1r1/8/8/8/8/8/8/1R2K1R1 b KQkq - 0 1", E8, E7, 3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetupBoard(c.fen, CastlingRules::Chess960), SetupOk) << c.name;
        ChessBoard board = MainBoard;
        uint8_t mask = 0;
        board.MakeMove(Bit(c.from), Bit(c.to), NoPromotion, &mask);
        EXPECT_EQ(mask, c.mask) << c.name;
    }
}

TEST(MakeMove, EnPassantOnlyRightAfterTheDoubleStep) {
    ChessBoard board = BoardFromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
    uint8_t mask;
    board.MakeMove(Bit(D7), Bit(D5), NoPromotion, &mask);
    ChessBoard now = board;
    now.MakeMove(Bit(E5), Bit(D6), NoPromotion, &mask);
    EXPECT_FALSE(now.BPawns & Bit(D5));
    EXPECT_EQ(now.BPawnCount, 0);

    // A move in between: the diagonal step is an ordinary move to an empty square.
    board.MakeMove(Bit(E1), Bit(E2), NoPromotion, &mask);
    board.MakeMove(Bit(E8), Bit(E7), NoPromotion, &mask);
    board.MakeMove(Bit(E5), Bit(D6), NoPromotion, &mask);
    EXPECT_TRUE(board.BPawns & Bit(D5));

    // Two single steps are no double step.
    ChessBoard slow = BoardFromFen("4k3/8/3p4/4P3/8/8/8/4K3 b - - 0 1");
    slow.MakeMove(Bit(D6), Bit(D5), NoPromotion, &mask);
    slow.MakeMove(Bit(E5), Bit(D6), NoPromotion, &mask);
    EXPECT_TRUE(slow.BPawns & Bit(D5));
}

TEST(MakeMove, PromoteDropPawnAndSeventhRank) {
    ChessBoard board = BoardFromFen("4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1");
    EXPECT_TRUE(board.PawnOn7th(White));
    EXPECT_TRUE(board.PawnOn7th(Black));
    board.Promote(White, Bit(B7), BishopCode);
    EXPECT_EQ(board.WBishops, Bit(B7));
    EXPECT_EQ(board.WPawns, 0u);
    board.Promote(Black, Bit(G2), 0); // any other code only removes the pawn
    EXPECT_EQ(board.BPawns, 0u);
    EXPECT_FALSE(board.PawnOn7th(White));
    board.DropPawn(White, Bit(C4));
    EXPECT_TRUE(board.WPawns & board.WhitePieces & board.AllPieces & Bit(C4));
    board.DropPawn(White, Bit(C4));
    EXPECT_FALSE((board.WPawns | board.WhitePieces) & Bit(C4));
}

} // namespace

namespace {

TEST(BoardConsistency, CatchesEachKindOfCorruption) {
    const ChessBoard good = BoardFromFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1");
    ASSERT_TRUE(BoardIsConsistent(good));
    struct Case {
        const char* name;
        void (*corrupt)(ChessBoard&);
    } cases[] = {
        {"square in two boards", [](ChessBoard& b) { b.WQueens |= Bit(A1); }},
        {"stale occupancy", [](ChessBoard& b) { b.AllPieces &= ~Bit(E1); }},
        {"second king",
         [](ChessBoard& b) {
             b.BKing |= Bit(E5), b.BlackPieces |= Bit(E5), b.AllPieces |= Bit(E5);
         }},
        {"stale count", [](ChessBoard& b) { ++b.BPawnCount; }},
        {"stale total", [](ChessBoard& b) { --b.WhitePieceTotal; }},
    };
    for (const Case& c : cases) {
        ChessBoard board = good;
        c.corrupt(board);
        EXPECT_FALSE(BoardIsConsistent(board)) << c.name;
    }
}

} // namespace
