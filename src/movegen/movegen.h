// Move lists: pseudo-legal moves of one position in a fixed generation order,
// the check evasions, and the fast legality count used by perft.
#pragma once

#include <cstdint>

#include "board/board.h"

// Pawn steps of one colour, as constants once the colour is a template argument.
template <int Side> constexpr Bitboard Forward(Bitboard b) {
    return Side == White ? b << 8 : b >> 8;
}
template <int Side> constexpr Bitboard Backward(Bitboard b) {
    return Side == White ? b >> 8 : b << 8;
}
// White's +7 and Black's -7 capture, then White's +9 and Black's -9, and back.
template <int Side> constexpr Bitboard FirstCapture(Bitboard b) {
    return Side == White ? (b & ~FileMask[0]) << 7 : (b & ~FileMask[7]) >> 7;
}
template <int Side> constexpr Bitboard SecondCapture(Bitboard b) {
    return Side == White ? (b & ~FileMask[7]) << 9 : (b & ~FileMask[0]) >> 9;
}
template <int Side> constexpr Bitboard FirstCaptureFrom(Bitboard b) {
    return Side == White ? b >> 7 : b << 7;
}
template <int Side> constexpr Bitboard SecondCaptureFrom(Bitboard b) {
    return Side == White ? b >> 9 : b << 9;
}

// One position's move list, owned by the frame of the node that fills it.
// The order in which the generators write is behaviour: it breaks ties in
// the move picker, it is the order perft walks, and the book answers with an
// index into it. Entries are (From, To, Promo); Promo is 'Q' or 'q' for a
// queen promotion and NoPromotion for every other move.
class MoveGen {
  public:
    static constexpr int MaxMoves = 335;

    ChessBoard* Board = nullptr;
    Bitboard From[MaxMoves];
    Bitboard To[MaxMoves];
    char Promo[MaxMoves];
    int32_t Order[MaxMoves];
    int32_t NumMoves = 0;

    // Writes entry `index` and returns the next free index. A full list keeps
    // its entries and drops the move, so no position can write past the arrays.
    int AddMove(int index, Bitboard from, Bitboard to, char promo) {
        if (index >= MaxMoves) return index;
        From[index] = from;
        To[index] = to;
        Promo[index] = promo;
        return index + 1;
    }

    // Moves of every piece of `pieces` (ascending squares) to the squares of
    // attacks(square) & allowed (ascending): the loop of all piece generators.
    template <typename AttackSet>
    int AddPieceMoves(Bitboard pieces, Bitboard allowed, AttackSet attacks, int index) {
        for (; pieces; pieces &= pieces - 1) {
            Bitboard from = LowestBit(pieces);
            for (Bitboard targets = attacks(LowestSquare(from)) & allowed; targets;
                 targets &= targets - 1)
                index = AddMove(index, from, LowestBit(targets), NoPromotion);
        }
        return index;
    }

    // Drivers: fill the list from index 0 and return the count.
    int GenerateAllMoves(int side, ChessBoard* board, int castleFlags);
    int GenerateQuiesceMoves(int side, ChessBoard* board);
    // Only for a side in check: king moves to safe squares and, against a
    // single check, captures of the checker and interpositions.
    int GenCheckEvasions(int side, ChessBoard* board);

    // Piece generators: write from `index` on and return the new count.
    int GenKnightCaptures(int side, int index);
    int GenBishopCaptures(int side, int index);
    int GenRookCaptures(int side, int index);
    int GenQueenCaptures(int side, int index);
    int GenKingCaptures(int side, int index);
    int GenKnights(int side, int index);
    int GenBishops(int side, int index);
    int GenRooks(int side, int index);
    int GenQueens(int side, int index);
    int GenKings(int side, int index);
    int GenPawns(int side, int index);
    int GenCastle(int side, int index, int castleFlags);

    int GenKingEvasions(int side, Bitboard target, int index);
    int GenKnightEvasions(int side, Bitboard target, int index);
    int GenBishopEvasions(int side, Bitboard target, int index);
    int GenRookEvasions(int side, Bitboard target, int index);
    int GenQueenEvasions(int side, Bitboard target, int index);
    int GenPawnEvasions(int side, Bitboard target, Bitboard ownPawns, Bitboard enemyPieces,
                        int index);

    // Entry `index` in generation order; returns 0.
    int GetMove(int index, Bitboard* from, Bitboard* to, char* promotion) const {
        *from = From[index];
        *to = To[index];
        *promotion = Promo[index];
        return 0;
    }

    // How many of entries 0 .. count - 1 leave the king of `side` safe: the
    // number that making each move on Board and testing InCheck would find,
    // without making the ordinary moves.
    int LegalMoveCount(int side, int count) const;
};
