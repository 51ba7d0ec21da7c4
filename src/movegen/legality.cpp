// Legality without making the move, for perft's last ply. The answer must be
// the one MakeMove followed by InCheck gives, so the moves whose making has
// side effects on other squares (castling, en passant) are still made.

#include "board/board.h"
#include "movegen/movegen.h"

namespace {

// Own pieces that alone stand between the king and an enemy slider.
Bitboard PinnedPieces(const ChessBoard& b, int side, int kingSquare) {
    Army enemy = ArmyOf(b, side ^ 1);
    Bitboard snipers = (RookAttacks(kingSquare, 0) & (enemy.Rooks | enemy.Queens)) |
                       (BishopAttacks(kingSquare, 0) & (enemy.Bishops | enemy.Queens));
    Bitboard pinned = 0;
    for (; snipers; snipers &= snipers - 1) {
        Bitboard between = AttackTables.Between[kingSquare][LowestSquare(snipers)] & b.AllPieces;
        if (between && !(between & (between - 1))) pinned |= between;
    }
    return pinned & ArmyOf(b, side).All;
}

// Whether making the move on a copy of the board leaves the king of `side` safe.
bool LegalByMaking(const ChessBoard& board, int side, Bitboard from, Bitboard to, char promo) {
    ChessBoard copy = board;
    uint8_t castleMask = 0;
    copy.MakeMove(from, to, promo, &castleMask);
    return !copy.InCheck(side == White ? copy.WKing : copy.BKing, side);
}

} // namespace

// Out of check, a move is legal unless it moves the king, leaves a pin line,
// castles or takes en passant; only moves from those squares are examined.
int MoveList::LegalMoveCount(int side, int count) const {
    const ChessBoard& b = *Board;
    Army own = ArmyOf(b, side);
    int kingSquare = LowestSquare(own.King);
    bool inCheck = b.InCheck(own.King, side);
    Bitboard enPassantRank = side == White ? RankMask[4] : RankMask[3];
    Bitboard careful = inCheck ? ~Bitboard(0)
                               : PinnedPieces(b, side, kingSquare) | own.King | Bit(E1) | Bit(E8) |
                                     (own.Pawns & enPassantRank);
    int legal = 0;
    for (int i = 0; i < count; ++i) {
        Bitboard from = From[i], to = To[i];
        if (!(from & careful)) {
            ++legal;
        } else if ((from & (Bit(E1) | Bit(E8))) && (to == from << 2 || to == from >> 2)) {
            // Castling entries leave e1 (e8) by two files, whatever stands there.
            legal += LegalByMaking(b, side, from, to, Promo[i]);
        } else if (from == own.King) {
            // (Chess960 castling takes the king onto its own rook.)
            legal += (to & own.All)
                         ? LegalByMaking(b, side, from, to, Promo[i])
                         : !SquareAttacked(b, LowestSquare(to), side, b.AllPieces ^ from, ~to);
        } else if ((from & own.Pawns) && !(to & b.AllPieces) &&
                   FileOf(LowestSquare(from)) != FileOf(LowestSquare(to))) { // en passant
            legal += LegalByMaking(b, side, from, to, Promo[i]);
        } else {
            legal += !SquareAttacked(b, kingSquare, side, (b.AllPieces ^ from) | to, ~to);
        }
    }
    return legal;
}

int MoveList::GenerateLegalMoves(const ChessBoard* board) {
    const int side = board->SideToMove;
    const int count = board->InCheck(side == White ? board->WKing : board->BKing, side)
                          ? GenCheckEvasions(side, board)
                          : GenerateAllMoves(side, board, board->CastleFlags);
    int legal = 0;
    for (int i = 0; i < count; ++i) {
        if (!LegalByMaking(*board, side, From[i], To[i], Promo[i])) continue;
        From[legal] = From[i];
        To[legal] = To[i];
        Promo[legal++] = Promo[i];
    }
    NumMoves = legal;
    return legal;
}
