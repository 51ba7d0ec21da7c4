// Making one move on a board. Castling is a two-file king move from e1/e8
// in standard chess and the king taking its own rook in Chess960, and en
// passant a pawn's diagonal step to an empty square right after the double
// step, so a move needs no flags beyond its promotion letter.
#include <cassert>

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

// The rights of `colour` whose rook starts on s: a rook that leaves that
// square, or is taken on it, ends them. A right held always has its rook
// there, so any other piece on the square belongs to rights long gone.
inline uint8_t RightsOfRookSquare(const ChessBoard& b, int colour, Bitboard s) {
    const int kingSide = CastlingIndex[colour][0], queenSide = CastlingIndex[colour][1];
    return static_cast<uint8_t>((s == Bit(b.CastleRookSquare[kingSide]) ? 1 << kingSide : 0) |
                                (s == Bit(b.CastleRookSquare[queenSide]) ? 1 << queenSide : 0));
}

inline void Move(Bitboard& pieces, Bitboard from, Bitboard to) { pieces = (pieces & ~from) | to; }

// Piece counts by piece code (pawn to queen), for captures and promotions.
constexpr int32_t ChessBoard::*CountMembers[12] = {
    &ChessBoard::WPawnCount, &ChessBoard::WKnightCount, &ChessBoard::WBishopCount,
    &ChessBoard::WRookCount, &ChessBoard::WQueenCount,  nullptr,
    &ChessBoard::BPawnCount, &ChessBoard::BKnightCount, &ChessBoard::BBishopCount,
    &ChessBoard::BRookCount, &ChessBoard::BQueenCount,  nullptr};

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

// The mover's part of MakeMove, after any capture on `to`: the piece of
// colour Side on `from` goes to `to` with what moves beside it (the castling
// rook, the pawn taken en passant) and what it becomes (a promotion).
// LastFrom and LastTo still hold the previous move; the occupancy sets are
// left to MakeMove. Narrows *mask by the castling rights the move gives up.
template <int Side>
void MoveOwnPiece(ChessBoard& b, Bitboard from, Bitboard to, char promo, uint8_t* mask) {
    constexpr int Own = Side == White ? 0 : BlackCodeOffset;
    constexpr int Enemy = BlackCodeOffset - Own;
    constexpr int BackRank = Side == White ? 0 : 56; // a1 or a8
    constexpr uint8_t KingSide = Side == White ? WhiteKingSide : BlackKingSide;
    constexpr uint8_t QueenSide = Side == White ? WhiteQueenSide : BlackQueenSide;
    const auto ahead = [](Bitboard s) { return Side == White ? s << 8 : s >> 8; };

    Bitboard& pawns = b.PieceBits(PawnCode + Own);
    if (pawns & from) {
        // En passant: the enemy pawn that has just made its double step
        // beside this one is taken as this one passes it.
        constexpr Bitboard FifthRank = RankMask[Side == White ? 4 : 3];
        constexpr Bitboard EnemyStart = RankMask[Side == White ? 6 : 1];
        const Bitboard lastTo = b.LastTo;
        const Bitboard enemyPawns = b.PieceBits(PawnCode + Enemy);
        // (The occupancy sets are still those before the move.)
        if ((from & FifthRank) && (b.LastFrom & EnemyStart) && (lastTo & FifthRank) &&
            (lastTo & enemyPawns) && !(to & b.AllPieces)) {
            const bool beside = (from == (lastTo << 1) && !(from & FileMask[0])) ||
                                (from == (lastTo >> 1) && !(from & FileMask[7]));
            if (beside && to == ahead(lastTo)) {
                b.PieceBits(PawnCode + Enemy) &= ~lastTo;
                b.PawnKingKey ^= KeyOf(PawnCode + Enemy, lastTo);
                TogglePiece(b, PawnCode + Enemy, lastTo);
                --(b.*CountMembers[PawnCode + Enemy]);
            }
        }
        Move(pawns, from, to);
        MovePiece(b, PawnCode + Own, from, to);
        b.PawnKingKey ^= KeyOf(PawnCode + Own, from) ^ KeyOf(PawnCode + Own, to);
        b.FiftyMoveCount = 0;

        // Promotion: only queen, rook, bishop and knight letters change the pawn.
        if (to & RankMask[Side == White ? 7 : 0]) {
            b.PawnKingKey ^= KeyOf(PawnCode + Own, to);
            if (const int kind = PromotionKind(promo)) {
                b.Promote(Side, to, kind + Own);
                TogglePiece(b, PawnCode + Own, to);
                TogglePiece(b, kind + Own, to);
                ++(b.*CountMembers[kind + Own]);
                --(b.*CountMembers[PawnCode + Own]);
            }
        }
        return;
    }
    for (int kind = KnightCode; kind <= QueenCode; ++kind) {
        Bitboard& pieces = b.PieceBits(kind + Own);
        if (!(pieces & from)) continue;
        Move(pieces, from, to);
        MovePiece(b, kind + Own, from, to);
        if (kind == RookCode) *mask &= ~RightsOfRookSquare(b, Side, from);
        return;
    }
    Bitboard& king = b.PieceBits(KingCode + Own);
    if (!(king & from)) return;
    b.PawnKingKey ^= KeyOf(KingCode + Own, from) ^ KeyOf(KingCode + Own, to);
    Move(king, from, to);
    MovePiece(b, KingCode + Own, from, to);
    *mask &= ~(KingSide | QueenSide);
    if (from != Bit(BackRank + E1)) return;
    // Castling: the rook crosses the king.
    Bitboard& rooks = b.PieceBits(RookCode + Own);
    if (to == Bit(BackRank + G1)) {
        rooks = (rooks ^ Bit(BackRank + H1)) | Bit(BackRank + F1);
        MovePiece(b, RookCode + Own, Bit(BackRank + H1), Bit(BackRank + F1));
    }
    if (to == Bit(BackRank + C1)) {
        rooks = (rooks ^ Bit(BackRank + A1)) | Bit(BackRank + D1);
        MovePiece(b, RookCode + Own, Bit(BackRank + A1), Bit(BackRank + D1));
    }
}

// Chess960 castling, the king of colour Side on `king` taking its own rook
// on `rook`: the king goes to the g- or c-file, the rook to the f- or
// d-file, either of which may be where the other one stood, or its own square.
template <int Side> void CastleWithRook(ChessBoard& b, Bitboard king, Bitboard rook) {
    constexpr int Own = Side == White ? 0 : BlackCodeOffset;
    const bool kingSide = rook > king;
    const Bitboard kingTo = Bit(CastlingKingTarget(king, rook));
    const Bitboard rookTo = kingSide ? kingTo >> 1 : kingTo << 1;
    b.PieceBits(KingCode + Own) = kingTo;
    Bitboard& rooks = b.PieceBits(RookCode + Own);
    rooks = (rooks & ~rook) | rookTo;
    MovePiece(b, KingCode + Own, king, kingTo);
    MovePiece(b, RookCode + Own, rook, rookTo);
    b.PawnKingKey ^= KeyOf(KingCode + Own, king) ^ KeyOf(KingCode + Own, kingTo);
}

} // namespace

void ChessBoard::MakeMove(Bitboard from, Bitboard to, char promo, uint8_t* castleMask) {
    // The rights this move keeps, narrowed below.
    uint8_t mask = AllCastling;
    ++FiftyMoveCount;

    const Bitboard own = (from & WhitePieces)   ? WhitePieces
                         : (from & BlackPieces) ? BlackPieces
                                                : 0;
    if (to & own) {
        // Only Chess960 castling lands on an own piece.
        assert(from & (WKing | BKing));
        if (own == WhitePieces)
            CastleWithRook<White>(*this, from, to);
        else
            CastleWithRook<Black>(*this, from, to);
        mask &= own == WhitePieces ? ~(WhiteKingSide | WhiteQueenSide)
                                   : ~(BlackKingSide | BlackQueenSide);
    } else {
        // Captures. Kings are never taken off: a capture of one only proves
        // the previous move illegal.
        if (to & (WhitePieces | BlackPieces)) {
            const int offset = (to & WhitePieces) ? 0 : BlackCodeOffset;
            for (int kind = PawnCode; kind <= QueenCode; ++kind) {
                Bitboard& pieces = PieceBits(kind + offset);
                if (!(pieces & to)) continue;
                pieces &= ~to;
                TogglePiece(*this, kind + offset, to);
                --(this->*CountMembers[kind + offset]);
                if (kind == PawnCode) PawnKingKey ^= KeyOf(PawnCode + offset, to);
                if (kind == RookCode)
                    mask &= ~RightsOfRookSquare(*this, offset ? Black : White, to);
                break;
            }
            FiftyMoveCount = 0;
            (offset ? BlackPieces : WhitePieces) &= ~to;
        }
        if (from & WhitePieces)
            MoveOwnPiece<White>(*this, from, to, promo, &mask);
        else if (from & BlackPieces)
            MoveOwnPiece<Black>(*this, from, to, promo, &mask);
    }
    LastFrom = from, LastTo = to;

    // Occupancy and totals from the piece sets.
    WhitePieces = WPawns | WBishops | WKnights | WRooks | WQueens | WKing;
    BlackPieces = BPawns | BBishops | BKnights | BRooks | BQueens | BKing;
    AllPieces = WhitePieces | BlackPieces;
    SumPieceTotals();
    *castleMask = mask;
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

ChessBoard PositionAfter(const ChessBoard& board, const GameMove& move) {
    ChessBoard after = board;
    uint8_t castleMask;
    after.MakeMove(move.From, move.To, move.Promo, &castleMask);
    after.CastleFlags &= castleMask;
    after.SideToMove ^= 1;
    return after;
}
