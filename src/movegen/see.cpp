// Static exchange evaluation: the swap list of one square, recaptures by the
// least valuable attacker, and sliders joining from behind a capturer.
#include <cassert>

#include "movegen/movegen.h"

int ValueCapturedPiece(int side, Bitboard square, const ChessBoard& board) {
    const int enemy = side ^ 1;
    if (board.IsPawn(enemy, square)) return 800;
    if (board.IsKnight(enemy, square)) return 3250;
    if (board.IsBishop(enemy, square)) return 3250;
    if (board.IsRook(enemy, square)) return 5000;
    if (board.IsQueen(enemy, square)) return 9750;
    if (board.IsKing(enemy, square)) return 1000000;
    return 0;
}

Bitboard ExchangeEvaluator::SquareAttacksDefences(int square) const {
    const ChessBoard& b = Board;
    const Bitboard s = Bit(square);
    Bitboard attackers = (b.RookMask(s) & (b.WRooks | b.BRooks | b.WQueens | b.BQueens)) |
                         (b.BishopMask(s) & (b.WBishops | b.BBishops | b.WQueens | b.BQueens)) |
                         (b.KnightMask(s) & (b.WKnights | b.BKnights)) |
                         (b.KingMask(s) & (b.WKing | b.BKing));
    if (FileOf(square) != 7) attackers |= (b.WPawns & (s >> 7)) | (b.BPawns & (s << 9));
    if (FileOf(square) != 0) attackers |= (b.WPawns & (s >> 9)) | (b.BPawns & (s << 7));
    return attackers;
}

int ExchangeEvaluator::LeastValuablePiece(int side, Bitboard attackers) const {
    const ChessBoard& b = Board;
    const Bitboard kinds[6] = {
        side == White ? b.WPawns : b.BPawns,     side == White ? b.WKnights : b.BKnights,
        side == White ? b.WBishops : b.BBishops, side == White ? b.WRooks : b.BRooks,
        side == White ? b.WQueens : b.BQueens,   side == White ? b.WKing : b.BKing,
    };
    for (Bitboard pieces : kinds)
        if (pieces & attackers) return LowestSquare(pieces & attackers);
    return -1;
}

Bitboard ExchangeEvaluator::AddXrayAttacker(Bitboard attackers, int square, int direction) const {
    const ChessBoard& b = Board;
    const bool straight = direction == 1 || direction == -1 || direction == 8 || direction == -8;
    assert(straight || direction == 7 || direction == -7 || direction == 9 || direction == -9);
    // A step onto this file has wrapped around the board's edge.
    const int wrapFile = (direction == 1 || direction == 9 || direction == -7)    ? 0
                         : (direction == -1 || direction == 7 || direction == -9) ? 7
                                                                                  : -1;
    const Bitboard sliders = straight ? b.WRooks | b.BRooks | b.WQueens | b.BQueens
                                      : b.WBishops | b.BBishops | b.WQueens | b.BQueens;
    for (int s = square + direction; IsSquare(s) && FileOf(s) != wrapFile; s += direction) {
        if (!(b.AllPieces & Bit(s))) continue;
        if (sliders & Bit(s)) attackers ^= Bit(s);
        break;
    }
    return attackers;
}

int ExchangeEvaluator::StaticExchangeEvaluation(int side, Bitboard from, Bitboard to) const {
    const int t = LowestSquare(to), f = LowestSquare(from);
    Bitboard attackers = SquareAttacksDefences(t) ^ from;
    // One gain per capture; at most every piece on the board captures once.
    constexpr int MaxGains = 34;
    int16_t gain[MaxGains];
    gain[0] = static_cast<int16_t>(ValueCapturedPiece(side ^ 1, to, Board));
    int onSquare = ValueCapturedPiece(side, from, Board);
    if (Direction[t][f]) attackers = AddXrayAttacker(attackers, f, Direction[t][f]);

    int colour = side;
    int s = LeastValuablePiece(colour, attackers);
    if (s < 0) return gain[0];
    int d = 1;
    for (; s >= 0 && d < MaxGains; ++d) {
        colour ^= 1;
        attackers &= ~Bit(s);
        // The swap list keeps 16 bits: a capturing king enters as 1000000's low half.
        gain[d] = static_cast<int16_t>(onSquare - gain[d - 1]);
        onSquare = ValueCapturedPiece(colour, Bit(s), Board);
        if (Direction[t][s]) attackers = AddXrayAttacker(attackers, s, Direction[t][s]);
        s = LeastValuablePiece(colour, attackers);
    }
    // Each side declines a recapture that would lose.
    for (int i = d - 1; i >= 1; --i)
        if (gain[i] > -gain[i - 1]) gain[i - 1] = static_cast<int16_t>(-gain[i]);
    return gain[0];
}
