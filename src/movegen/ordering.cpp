// Move ordering: order values for the alpha-beta and quiescence searches, and
// the lazy selection sort that hands moves out best first.
#include <cassert>
#include <utility>

#include "eval/tables.h"
#include "movegen/movegen.h"

namespace {

constexpr int TableMoveValue = 29000;
constexpr int PVMoveValue = 28998;
constexpr int FirstKillerValue = 1020;
constexpr int SecondKillerValue = 1010;
constexpr int CaptureBase = 9750;
constexpr int QueenPromotionValue = 4875;
constexpr int UnderPromotionValue = 500;
constexpr int RoyalLineBonus = 28; // a rook or queen onto the enemy king's file or rank
constexpr int QuiescePromotionValue = 750;

// The kind (PawnCode .. KingCode) of the piece of `colour` on `square`, -1 if
// none. Every set is tested, as at most one holds the square: a scan without
// early exits has no branch to mispredict.
int KindOn(const ChessBoard& b, int colour, Bitboard square) {
    const int offset = colour == White ? 0 : BlackCodeOffset;
    int found = -1;
    for (int kind = PawnCode; kind <= KingCode; ++kind)
        found = (b.PieceBits(kind + offset) & square) ? kind : found;
    return found;
}

// Victims by kind: a knight a shade below a bishop, so that of two equal
// captures the bishop is taken first. The alpha-beta ordering never meets a
// king victim (the move before it was refused); the quiescence search does.
constexpr int VictimValue[6] = {800, 3248, 3250, 5000, 9750, 10000};
// What the quiescence ordering takes off for the capturing piece, by kind.
constexpr int AttackerPenalty[6] = {3, 12, 12, 19, 38, 38};

int OrderVictim(const ChessBoard& b, int enemy, Bitboard to) {
    const int kind = KindOn(b, enemy, to);
    return kind >= PawnCode && kind < KingCode ? VictimValue[kind] : 0;
}

// What the capturing piece, of `kind`, adds: knights their outpost value,
// rooks an open file and the seventh rank, pawns the rise in passed-pawn value.
int CaptureAdjustment(const ChessBoard& b, int mover, int kind, Bitboard from, Bitboard to) {
    const int t = LowestSquare(to);
    switch (kind) {
    case BishopCode:
        return -12;
    case KnightCode:
        return (mover == White ? WKnightPost : BKnightPost)[t] - 10;
    case RookCode: {
        int value = -19;
        if (!((b.WPawns | b.BPawns) & FileMask[FileOf(t)])) value += OpenFileControl[FileOf(t)];
        if (to & RankMask[mover == White ? 6 : 1]) value += Majorson7[1];
        return value;
    }
    case PawnCode: {
        const Bitboard enemyPawns = mover == White ? b.BPawns : b.WPawns;
        if (PawnFrontSpan(mover, t) & enemyPawns) return -3;
        const int f = LowestSquare(from);
        const int toRank = mover == White ? RankOf(t) : 7 - RankOf(t);
        const int fromRank = mover == White ? RankOf(f) : 7 - RankOf(f);
        return Passers[toRank] - Passers[fromRank] - 3;
    }
    case QueenCode:
        return -38;
    case KingCode:
        return -14625;
    default:
        return 0;
    }
}

} // namespace

void MoveList::AssignMoveOrderValues(int count, const OrderHints& hints, Bitboard opponentKing,
                                     int hashMove, int nodeType) {
    const ChessBoard& b = *Board;
    const int kingSquare = LowestSquare(opponentKing);
    const Bitboard royalLines = FileMask[FileOf(kingSquare)] | RankMask[RankOf(kingSquare)];
    bool pvFound = false, hashFound = false, firstKillerFound = false, secondKillerFound = false;
    for (int i = 0; i < count; ++i) {
        const int code = MoveCode(From[i], To[i]);
        if (!pvFound && nodeType != 3 && code == hints.PVMove.Move &&
            Promo[i] == hints.PVMove.Promo) {
            Order[i] = PVMoveValue;
            pvFound = true;
            continue;
        }
        if (hashMove && !hashFound && code == hashMove) {
            Order[i] = TableMoveValue;
            hashFound = true;
            continue;
        }
        if (!firstKillerFound && code == hints.Killers[0]) {
            Order[i] = FirstKillerValue;
            firstKillerFound = true;
            continue;
        }
        if (!secondKillerFound && code == hints.Killers[1]) {
            Order[i] = SecondKillerValue;
            secondKillerFound = true;
            continue;
        }
        const int mover = b.PieceColor(From[i]);
        const int enemy = mover ^ 1;
        const int kind = KindOn(b, mover, From[i]);
        if (!(To[i] & (enemy == White ? b.WhitePieces : b.BlackPieces))) {
            if (Promo[i] == 'Q' || Promo[i] == 'q')
                Order[i] = QueenPromotionValue;
            else if (Promo[i] == NoPromotion)
                Order[i] = hints.History[mover][code] >> 7;
            else
                Order[i] = UnderPromotionValue;
        } else {
            Order[i] = CaptureBase + OrderVictim(b, enemy, To[i]) +
                       CaptureAdjustment(b, mover, kind, From[i], To[i]);
        }
        if ((kind == RookCode || kind == QueenCode) && (To[i] & royalLines))
            Order[i] += RoyalLineBonus;
    }
}

void MoveList::QuiesceAssignMoveOrderValues(int count) {
    const ChessBoard& b = *Board;
    for (int i = 0; i < count; ++i) {
        const Bitboard from = From[i], to = To[i];
        const int mover = b.PieceColor(from);
        const int enemy = mover ^ 1;
        if (!(to & (enemy == White ? b.WhitePieces : b.BlackPieces))) {
            const bool promotes = b.IsPawn(mover, from) && (to & RankMask[mover == White ? 7 : 0]);
            Order[i] = promotes ? QuiescePromotionValue : 0;
            continue;
        }
        const int victim = KindOn(b, enemy, to), attacker = KindOn(b, mover, from);
        Order[i] = (victim >= 0 ? VictimValue[victim] : 0) -
                   (attacker >= 0 ? AttackerPenalty[attacker] : 0) + 10;
    }
}

void MoveList::NextMove(int index, int count, Bitboard* from, Bitboard* to, char* promotion) {
    assert(index >= 0 && index < MaxMoves);
    if (index < count) {
        // The first of the highest values, found without a branch per entry.
        int best = index, bestValue = Order[index];
        for (int i = index + 1; i < count; ++i) {
            const bool higher = Order[i] > bestValue;
            best = higher ? i : best;
            bestValue = higher ? Order[i] : bestValue;
        }
        if (best != index) {
            std::swap(From[index], From[best]);
            std::swap(To[index], To[best]);
            std::swap(Promo[index], Promo[best]);
            std::swap(Order[index], Order[best]);
        }
    }
    *from = From[index];
    *to = To[index];
    *promotion = Promo[index];
}
