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

struct OrderHints;

// One position's move list, owned by the frame of the node that fills it.
// The order in which the generators write is behaviour: it breaks ties in
// the move picker, it is the order perft walks, and the book answers with an
// index into it. Entries are (From, To, Promo); Promo is 'Q' or 'q' for a
// queen promotion and NoPromotion for every other move.
class MoveList {
  public:
    static constexpr int MaxMoves = 335;

    const ChessBoard* Board = nullptr;
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
    int GenerateAllMoves(int side, const ChessBoard* board, int castleFlags);
    int GenerateQuiesceMoves(int side, const ChessBoard* board);
    // Only for a side in check: king moves to safe squares and, against a
    // single check, captures of the checker and interpositions.
    int GenCheckEvasions(int side, const ChessBoard* board);
    // The legal moves of the side to move of `board` (evasions in check),
    // in generation order: each move made on a copy and kept when the own
    // king is safe. Interfaces check their input against it.
    int GenerateLegalMoves(const ChessBoard* board);

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

    // Order values of entries 0 .. count - 1 for the alpha-beta search (the
    // root passes hints of ply 0, no hash move and node type 1).
    void AssignMoveOrderValues(int count, const OrderHints& hints, Bitboard opponentKing,
                               int hashMove, int nodeType);
    // Order values for the quiescence search: captures by victim, then attacker.
    void QuiesceAssignMoveOrderValues(int count);
    // Brings the best of entries index .. count - 1 to index (the earliest of
    // equal values) and returns it.
    void NextMove(int index, int count, Bitboard* from, Bitboard* to, char* promotion);
};

// ---------------------------------------------------------------------------
// Capture values, exchange evaluation, move ordering
// ---------------------------------------------------------------------------

// Value of the piece of the colour opposite to `side` on `square`, 0 if
// none: what a move of `side` to `square` captures. Pawn 800, knight and
// bishop 3250, rook 5000, queen 9750, king 1000000.
int ValueCapturedPiece(int side, Bitboard square, const ChessBoard& board);

// The material outcome of a capture on one position when both sides
// recapture on the square with their least valuable piece, each free to stop.
class ExchangeEvaluator {
  public:
    explicit ExchangeEvaluator(const ChessBoard& board) : Board(board) {}

    // Gain for the side that moves from `from` to `to`; `side` is the colour
    // that owns the piece on `to` and recaptures first.
    int StaticExchangeEvaluation(int side, Bitboard from, Bitboard to) const;
    // Every piece of either colour that attacks `square`.
    Bitboard SquareAttacksDefences(int square) const;
    // Square of the least valuable piece of `side` among `attackers`, -1 if none.
    int LeastValuablePiece(int side, Bitboard attackers) const;
    // `attackers` with the first rook/bishop-like slider beyond `square` in
    // `direction` toggled in.
    Bitboard AddXrayAttacker(Bitboard attackers, int square, int direction) const;

  private:
    const ChessBoard& Board;
};

// Direction[to][from]: the step from `to` towards `from` along a shared rank,
// file or diagonal (+-1, +-7, +-8, +-9), 0 when they share none.
struct DirectionTable {
    int16_t Step[64][64];
    constexpr const int16_t* operator[](int to) const { return Step[to]; }
};
constexpr DirectionTable BuildDirections() {
    DirectionTable t{};
    for (int to = 0; to < 64; ++to) {
        for (int from = 0; from < 64; ++from) {
            const int dr = RankOf(from) - RankOf(to), df = FileOf(from) - FileOf(to);
            const int sr = (dr > 0) - (dr < 0), sf = (df > 0) - (df < 0);
            if (from == to || (dr != 0 && df != 0 && dr != df && dr != -df)) continue;
            t.Step[to][from] = static_cast<int16_t>(8 * sr + sf);
        }
    }
    return t;
}
inline constexpr DirectionTable Direction = BuildDirections();

// The squares ahead of a pawn of `colour` on `square`, on its own and the
// neighbouring files up to the far edge: where an enemy pawn stops a passer.
struct FrontSpanTable {
    Bitboard Span[2][64];
};
constexpr FrontSpanTable BuildFrontSpans() {
    FrontSpanTable t{};
    for (int colour = White; colour <= Black; ++colour) {
        const int step = colour == White ? 1 : -1;
        for (int s = 0; s < 64; ++s)
            for (int r = RankOf(s) + step; r >= 0 && r < 8; r += step)
                for (int f = FileOf(s) - 1; f <= FileOf(s) + 1; ++f)
                    if (f >= 0 && f < 8) t.Span[colour][s] |= Bit(r * 8 + f);
    }
    return t;
}
inline constexpr FrontSpanTable FrontSpans = BuildFrontSpans();
inline Bitboard PawnFrontSpan(int colour, int square) { return FrontSpans.Span[colour][square]; }

// What the search knows about a node that shapes its move order.
struct OrderHints {
    PVEntry PVMove;                 // this ply's move of the previous line
    int16_t Killers[2];             // this ply's killer moves
    const int32_t (*History)[4096]; // history counters by colour and move code
};

// The legal move of `board` that `san` names in standard algebraic notation
// ("Nf3", "exd5", "Rad1", "O-O", "e8=Q+"; "O-O" is castling on the h-side
// in Chess960 too). False when the text names no legal
// move or more than one. Only queen promotions are generated, so a text that
// promotes to another piece names none.
bool FindSanMove(const ChessBoard& board, const char* san, Bitboard* from, Bitboard* to,
                 char* promo);

// The legal move of `board` that `text` names in coordinates ("e2e4",
// "e7e8n"; a promotion without a letter is a queen's, and a letter is kept
// as typed). On a Chess960 board castling is the king taking its rook
// ("b1a1"), or the king's step to its target ("b1c1") when no other move is
// written so. False for a malformed or illegal move.
bool FindCoordinateMove(const ChessBoard& board, const char* text, Bitboard* from, Bitboard* to,
                        char* promo);
