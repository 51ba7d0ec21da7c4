// Making and taking back one move on a board. Castling is a two-file king move
// from e1/e8 and en passant a pawn's diagonal step to an empty square right
// after the double step, so a move needs no flags beyond its promotion letter.
#include "board/board.h"

namespace {

// The pawn-and-king key uses the low halves of the hash randoms.
inline uint32_t KeyOf(int code, Bitboard s) {
    return static_cast<uint32_t>(LPStable[code][LowestSquare(s)]);
}

// The hash code's piece part with a piece of `code` put on or taken off s.
inline void TogglePiece(ChessBoard& board, int code, Bitboard s) {
    board.PieceKeyUpper ^= UPStable[code][LowestSquare(s)];
    board.PieceKeyLower ^= LPStable[code][LowestSquare(s)];
}
inline void MovePiece(ChessBoard& board, int code, Bitboard from, Bitboard to) {
    TogglePiece(board, code, from);
    TogglePiece(board, code, to);
}

// Castling rights that survive a capture on each square: taking the rook on
// its corner ends that side's right even though the rook never moved.
constexpr uint8_t CaptureCastleMask(int s) {
    return s == H1 ? 14 : s == A1 ? 13 : s == H8 ? 11 : s == A8 ? 7 : 15;
}

inline void Move(Bitboard& pieces, Bitboard from, Bitboard to) { pieces = (pieces & ~from) | to; }

// Piece counts by piece code (pawn to queen), for captures and promotions.
constexpr int32_t ChessBoard::*CountMembers[12] = {
    &ChessBoard::WPawnCount, &ChessBoard::WKnightCount, &ChessBoard::WBishopCount,
    &ChessBoard::WRookCount, &ChessBoard::WQueenCount,  nullptr,
    &ChessBoard::BPawnCount, &ChessBoard::BKnightCount, &ChessBoard::BBishopCount,
    &ChessBoard::BRookCount, &ChessBoard::BQueenCount,  nullptr};
constexpr int PieceValues[5] = {PawnValue, KnightValue, BishopValue, RookValue, QueenValue};

// The piece a promotion letter names (KnightCode..QueenCode), 0 for none.
constexpr int PromotionKind(char promo) {
    // clang-format off
    switch (promo) {
    case 'N': case 'n': return KnightCode;
    case 'B': case 'b': return BishopCode;
    case 'R': case 'r': return RookCode;
    case 'Q': case 'q': return QueenCode;
    default: return 0;
    }
    // clang-format on
}

} // namespace

void ChessBoard::MakeMove(Bitboard from, Bitboard to, char promo, uint8_t* castleMask) {
    // The undo area.
    PrevWhitePieces = WhitePieces, PrevBlackPieces = BlackPieces, PrevAllPieces = AllPieces;
    PrevWPawns = WPawns, PrevWBishops = WBishops, PrevWKnights = WKnights;
    PrevWRooks = WRooks, PrevWQueens = WQueens, PrevWKing = WKing;
    PrevBPawns = BPawns, PrevBBishops = BBishops, PrevBKnights = BKnights;
    PrevBRooks = BRooks, PrevBQueens = BQueens, PrevBKing = BKing;
    PrevLastFrom = LastFrom, PrevLastTo = LastTo;
    PrevPieceKeyUpper = PieceKeyUpper, PrevPieceKeyLower = PieceKeyLower;
    PrevWhitePieceTotal = WhitePieceTotal, PrevBlackPieceTotal = BlackPieceTotal;
    PrevWQueenCount = WQueenCount, PrevWRookCount = WRookCount, PrevWBishopCount = WBishopCount;
    PrevWKnightCount = WKnightCount, PrevWPawnCount = WPawnCount;
    PrevBQueenCount = BQueenCount, PrevBRookCount = BRookCount, PrevBBishopCount = BBishopCount;
    PrevBKnightCount = BKnightCount, PrevBPawnCount = BPawnCount;
    PrevFiftyMoveCount = FiftyMoveCount;
    PrevPawnKingKey = PawnKingKey;
    PrevCastleFlags = CastleFlags;
    LastFrom = from, LastTo = to;

    // The rights this move keeps, narrowed below.
    uint8_t mask = AllCastling;
    ++FiftyMoveCount;
    CapturedValue = 0;

    // Captures. Kings are never taken off: a capture of one only proves
    // the previous move illegal.
    if (to & (WhitePieces | BlackPieces)) {
        const int offset = (to & WhitePieces) ? 0 : BlackCodeOffset;
        for (int kind = PawnCode; kind <= QueenCode; ++kind) {
            Bitboard& pieces = PieceBits(kind + offset);
            if (!(pieces & to)) continue;
            pieces &= ~to;
            TogglePiece(*this, kind + offset, to);
            CapturedValue = PieceValues[kind];
            --(this->*CountMembers[kind + offset]);
            if (kind == PawnCode) PawnKingKey ^= KeyOf(PawnCode + offset, to);
            break;
        }
        FiftyMoveCount = 0;
        (offset ? BlackPieces : WhitePieces) &= ~to;
        mask &= CaptureCastleMask(LowestSquare(to));
    }

    // White mover.
    if (from & WhitePieces) {
        WhitePieces = (WhitePieces & ~from) | to;
        if (WPawns & from) {
            // En passant: the Black pawn that just made its double step is taken.
            if ((from & RankMask[4]) && (PrevLastFrom & RankMask[6]) &&
                (PrevLastTo & RankMask[4]) && (PrevLastTo & PrevBPawns) &&
                !(to & PrevBlackPieces)) {
                const bool fromRight =
                    !(from & FileMask[0]) && from == (PrevLastTo << 1) && to == (from << 7);
                const bool fromLeft =
                    !(from & FileMask[7]) && from == (PrevLastTo >> 1) && to == (from << 9);
                if (fromRight || fromLeft) {
                    const Bitboard victim = to >> 8;
                    BPawns &= ~victim;
                    BlackPieces &= ~victim;
                    TogglePiece(*this, PawnCode + BlackCodeOffset, victim);
                    PawnKingKey ^= KeyOf(PawnCode + BlackCodeOffset, victim);
                    --BPawnCount;
                }
            }
            Move(WPawns, from, to);
            MovePiece(*this, PawnCode, from, to);
            PawnKingKey ^= KeyOf(PawnCode, from) ^ KeyOf(PawnCode, to);
            FiftyMoveCount = 0;
        } else if (WBishops & from) {
            Move(WBishops, from, to);
            MovePiece(*this, BishopCode, from, to);
        } else if (WKnights & from) {
            Move(WKnights, from, to);
            MovePiece(*this, KnightCode, from, to);
        } else if (WRooks & from) {
            Move(WRooks, from, to);
            MovePiece(*this, RookCode, from, to);
            if (from == Bit(H1)) mask &= 14;
            if (from == Bit(A1)) mask &= 13;
        } else if (WQueens & from) {
            Move(WQueens, from, to);
            MovePiece(*this, QueenCode, from, to);
        } else if (WKing & from) {
            PawnKingKey ^= KeyOf(KingCode, from) ^ KeyOf(KingCode, to);
            Move(WKing, from, to);
            MovePiece(*this, KingCode, from, to);
            mask &= 12;
            if (from == Bit(E1)) {
                if (to == Bit(G1)) {
                    WRooks = (WRooks ^ Bit(H1)) | Bit(F1);
                    MovePiece(*this, RookCode, Bit(H1), Bit(F1));
                }
                if (to == Bit(C1)) {
                    WRooks = (WRooks ^ Bit(A1)) | Bit(D1);
                    MovePiece(*this, RookCode, Bit(A1), Bit(D1));
                }
            }
        }
    } else if (from & BlackPieces) {
        // Black mover.
        BlackPieces = (BlackPieces & ~from) | to;
        if (BPawns & from) {
            if ((from & RankMask[3]) && (PrevLastFrom & RankMask[1]) &&
                (PrevLastTo & RankMask[3]) && (PrevLastTo & PrevWPawns) &&
                !(to & PrevWhitePieces)) {
                const bool fromLeft =
                    !(from & FileMask[7]) && from == (PrevLastTo >> 1) && to == (from >> 7);
                const bool fromRight =
                    !(from & FileMask[0]) && from == (PrevLastTo << 1) && to == (from >> 9);
                if (fromLeft || fromRight) {
                    const Bitboard victim = to << 8;
                    WPawns &= ~victim;
                    WhitePieces &= ~victim;
                    TogglePiece(*this, PawnCode, victim);
                    PawnKingKey ^= KeyOf(PawnCode, victim);
                    --WPawnCount;
                }
            }
            Move(BPawns, from, to);
            MovePiece(*this, PawnCode + BlackCodeOffset, from, to);
            PawnKingKey ^=
                KeyOf(PawnCode + BlackCodeOffset, from) ^ KeyOf(PawnCode + BlackCodeOffset, to);
            FiftyMoveCount = 0;
        } else if (BKnights & from) {
            Move(BKnights, from, to);
            MovePiece(*this, KnightCode + BlackCodeOffset, from, to);
        } else if (BBishops & from) {
            Move(BBishops, from, to);
            MovePiece(*this, BishopCode + BlackCodeOffset, from, to);
        } else if (BRooks & from) {
            Move(BRooks, from, to);
            MovePiece(*this, RookCode + BlackCodeOffset, from, to);
            if (from == Bit(H8)) mask &= 11;
            if (from == Bit(A8)) mask &= 7;
        } else if (BQueens & from) {
            Move(BQueens, from, to);
            MovePiece(*this, QueenCode + BlackCodeOffset, from, to);
        } else if (BKing & from) {
            PawnKingKey ^=
                KeyOf(KingCode + BlackCodeOffset, from) ^ KeyOf(KingCode + BlackCodeOffset, to);
            Move(BKing, from, to);
            MovePiece(*this, KingCode + BlackCodeOffset, from, to);
            mask &= 3;
            if (from == Bit(E8)) {
                if (to == Bit(G8)) {
                    BRooks = (BRooks ^ Bit(H8)) | Bit(F8);
                    MovePiece(*this, RookCode + BlackCodeOffset, Bit(H8), Bit(F8));
                }
                if (to == Bit(C8)) {
                    BRooks = (BRooks ^ Bit(A8)) | Bit(D8);
                    MovePiece(*this, RookCode + BlackCodeOffset, Bit(A8), Bit(D8));
                }
            }
        }
    }

    // Promotion: only queen, rook, bishop and knight letters change the pawn.
    for (int colour = White; colour <= Black; ++colour) {
        const int offset = colour == White ? 0 : BlackCodeOffset;
        if (!(PieceBits(PawnCode + offset) & RankMask[colour == White ? 7 : 0])) continue;
        PawnKingKey ^= KeyOf(PawnCode + offset, to);
        TogglePiece(*this, PawnCode + offset, to);
        if (const int kind = PromotionKind(promo)) {
            Promote(colour, to, kind + offset);
            TogglePiece(*this, kind + offset, to);
            ++(this->*CountMembers[kind + offset]);
            --(this->*CountMembers[PawnCode + offset]);
        }
    }

    // Occupancy and totals from the piece sets.
    WhitePieces = WPawns | WBishops | WKnights | WRooks | WQueens | WKing;
    BlackPieces = BPawns | BBishops | BKnights | BRooks | BQueens | BKing;
    AllPieces = WhitePieces | BlackPieces;
    SumPieceTotals();
    *castleMask = mask;
}

void ChessBoard::UndoMove(int) {
    WhitePieces = PrevWhitePieces, BlackPieces = PrevBlackPieces, AllPieces = PrevAllPieces;
    WPawns = PrevWPawns, WBishops = PrevWBishops, WKnights = PrevWKnights;
    WRooks = PrevWRooks, WQueens = PrevWQueens, WKing = PrevWKing;
    BPawns = PrevBPawns, BBishops = PrevBBishops, BKnights = PrevBKnights;
    BRooks = PrevBRooks, BQueens = PrevBQueens, BKing = PrevBKing;
    LastFrom = PrevLastFrom, LastTo = PrevLastTo;
    PieceKeyUpper = PrevPieceKeyUpper, PieceKeyLower = PrevPieceKeyLower;
    WhitePieceTotal = PrevWhitePieceTotal, BlackPieceTotal = PrevBlackPieceTotal;
    WQueenCount = PrevWQueenCount, WRookCount = PrevWRookCount, WBishopCount = PrevWBishopCount;
    WKnightCount = PrevWKnightCount, WPawnCount = PrevWPawnCount;
    BQueenCount = PrevBQueenCount, BRookCount = PrevBRookCount, BBishopCount = PrevBBishopCount;
    BKnightCount = PrevBKnightCount, BPawnCount = PrevBPawnCount;
    FiftyMoveCount = PrevFiftyMoveCount;
    PawnKingKey = PrevPawnKingKey;
    CastleFlags = PrevCastleFlags;
}

void ChessBoard::Promote(int colour, Bitboard square, int pieceCode) {
    (colour == White ? WPawns : BPawns) &= ~square;
    const int first = colour == White ? KnightCode : KnightCode + BlackCodeOffset;
    if (pieceCode >= first && pieceCode <= first + QueenCode - KnightCode)
        PieceBits(pieceCode) |= square;
}

void ChessBoard::DropPawn(int colour, Bitboard square) {
    (colour == White ? WPawns : BPawns) ^= square;
    (colour == White ? WhitePieces : BlackPieces) ^= square;
    AllPieces ^= square;
}

bool ChessBoard::PawnOn7th(int colour) const {
    return colour == White ? (WPawns & RankMask[6]) : (BPawns & RankMask[1]);
}
