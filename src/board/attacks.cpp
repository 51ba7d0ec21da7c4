// Fills and reaches built on the attack sets.
#include "board/board.h"

Bitboard ChessBoard::NorthAttacks(Bitboard gen, Bitboard empty) const {
    gen |= empty & (gen << 8);
    empty &= empty << 8;
    gen |= empty & (gen << 16);
    empty &= empty << 16;
    gen |= empty & (gen << 32);
    return gen << 8;
}

Bitboard ChessBoard::SouthAttacks(Bitboard gen, Bitboard empty) const {
    gen |= empty & (gen >> 8);
    empty &= empty >> 8;
    gen |= empty & (gen >> 16);
    empty &= empty >> 16;
    gen |= empty & (gen >> 32);
    return gen >> 8;
}

// Squares a rook or queen on s reaches that do not hold a piece of its own colour.
int ChessBoard::RookAttackCount(Bitboard s) const {
    Bitboard own = (s & (WRooks | WQueens)) ? WhitePieces : BlackPieces;
    return PopCount(RookMask(s) & ~own);
}
