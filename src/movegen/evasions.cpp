// Check evasions: the list of a side in check. King moves are fully legal;
// the other evasions are pseudo-legal (a pinned piece may be among them) and
// are rejected by the caller's make-and-test like any other move.
#include <cassert>

#include "board/board.h"
#include "movegen/movegen.h"

namespace {

// The squares from the king up to and including each checking slider: where
// the check can be blocked or the checker taken.
Bitboard CheckRays(int kingSquare, Bitboard checkers) {
    Bitboard rays = 0;
    for (; checkers; checkers &= checkers - 1)
        rays |= AttackTables.Between[kingSquare][LowestSquare(checkers)] | LowestBit(checkers);
    return rays;
}

} // namespace

// The checker count counts kinds of check: each checking pawn one, all
// checking knights together one, the straight and the diagonal sliders one
// each. Only a count of exactly one lets pieces other than the king answer.
int MoveList::GenCheckEvasions(int side, const ChessBoard* board) {
    assert(side == White || side == Black);
    Board = board;
    const ChessBoard& b = *board;
    Army enemy = ArmyOf(b, side ^ 1);
    Bitboard king = ArmyOf(b, side).King;
    assert(PopCount(king) == 1);
    int kingSquare = LowestSquare(king);
    int count = 0;
    Bitboard target = 0;

    // Pawn checkers stand where the king's own pawn would capture: White's
    // king looks at +7 and +9, Black's at -7 and -9.
    Bitboard pawnFirst = side == White ? FirstCapture<White>(king) : FirstCapture<Black>(king);
    Bitboard pawnSecond = side == White ? SecondCapture<White>(king) : SecondCapture<Black>(king);
    if (pawnFirst & enemy.Pawns) {
        target |= pawnFirst;
        count = 1;
    }
    if (pawnSecond & enemy.Pawns) {
        target |= pawnSecond;
        ++count;
    }

    Bitboard knights = AttackTables.Knight[kingSquare] & enemy.Knights;
    if (knights) ++count;
    target |= knights;

    Bitboard straight = RookAttacks(kingSquare, b.AllPieces) & (enemy.Rooks | enemy.Queens);
    if (straight) {
        target |= CheckRays(kingSquare, straight);
        ++count;
    }
    Bitboard diagonal = BishopAttacks(kingSquare, b.AllPieces) & (enemy.Bishops | enemy.Queens);
    if (diagonal) {
        target |= CheckRays(kingSquare, diagonal);
        ++count;
    }

    int index = GenKingEvasions(side, target, 0);
    if (count == 1) {
        index = GenKnightEvasions(side, target, index);
        index = GenRookEvasions(side, target, index);
        index = GenBishopEvasions(side, target, index);
        index = GenPawnEvasions(side, target, ArmyOf(b, side).Pawns, enemy.All, index);
        index = GenQueenEvasions(side, target, index);
    }
    return index;
}

// The king is lifted off the board while its destinations are tested, so a
// slider checking along a line also covers the squares behind the king.
int MoveList::GenKingEvasions(int side, Bitboard, int index) {
    const ChessBoard& b = *Board;
    Army own = ArmyOf(b, side);
    for (Bitboard kings = own.King; kings; kings &= kings - 1) {
        Bitboard king = LowestBit(kings);
        Bitboard occupied = b.AllPieces ^ king;
        for (Bitboard d = AttackTables.King[LowestSquare(king)] & ~own.All; d; d &= d - 1) {
            if (!SquareAttacked(b, LowestSquare(d), side, occupied, ~Bitboard(0)))
                index = AddMove(index, king, LowestBit(d), NoPromotion);
        }
    }
    return index;
}

int MoveList::GenKnightEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    return AddPieceMoves(
        own.Knights, ~own.All & target, [](int s) { return AttackTables.Knight[s]; }, index);
}

int MoveList::GenBishopEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Bishops, ~own.All & target, [occupied](int s) { return BishopAttacks(s, occupied); },
        index);
}

int MoveList::GenRookEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Rooks, ~own.All & target, [occupied](int s) { return RookAttacks(s, occupied); },
        index);
}

int MoveList::GenQueenEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Queens, ~own.All & target,
        [occupied](int s) { return BishopAttacks(s, occupied) | RookAttacks(s, occupied); }, index);
}

namespace {

// Black steps the other way on mirrored ranks. En passant is only an answer to
// a pawn check, taking the checking pawn; then pushes, double pushes and the
// two captures, each ordered by target square.
template <int Side>
int AddPawnEvasions(MoveList& list, Bitboard target, Bitboard ownPawns, Bitboard enemyPieces,
                    int index) {
    const ChessBoard& b = *list.Board;
    const Bitboard king = ArmyOf(b, Side).King;
    const Bitboard enemyPawns = ArmyOf(b, Side ^ 1).Pawns;
    const Bitboard empty = ~b.AllPieces;
    const Bitboard fifthRank = RankMask[Side == White ? 4 : 3];
    const Bitboard lastRank = RankMask[Side == White ? 7 : 0];
    const char queen = Side == White ? 'Q' : 'q';
    auto promotion = [&](Bitboard to) { return (to & lastRank) ? queen : NoPromotion; };

    // En passant against a checking pawn, the one at +7 (-7) before +9 (-9).
    if (king & RankMask[Side == White ? 3 : 4]) {
        const Bitboard enemyStart = RankMask[Side == White ? 6 : 1];
        const bool doublePush = (b.LastTo & enemyPawns & fifthRank) && (b.LastFrom & enemyStart);
        const Bitboard checkers[2] = {FirstCapture<Side>(king), SecondCapture<Side>(king)};
        for (Bitboard checker : checkers) {
            if (!(checker & enemyPawns) || !doublePush) continue;
            Bitboard beside = ((checker & ~FileMask[0]) >> 1) | ((checker & ~FileMask[7]) << 1);
            for (Bitboard c = beside & ownPawns & fifthRank; c; c &= c - 1) {
                Bitboard pawn = LowestBit(c);
                Bitboard behind = Forward<Side>(b.LastTo);
                if (!(b.LastFrom & FileMask[0]) && (b.LastTo >> 1) == pawn)
                    index = list.AddMove(index, pawn, behind, NoPromotion);
                if (!(b.LastFrom & FileMask[7]) && (b.LastTo << 1) == pawn)
                    index = list.AddMove(index, pawn, behind, NoPromotion);
            }
        }
    }

    // Pushes onto the target.
    for (Bitboard t = target & empty & Forward<Side>(ownPawns); t; t &= t - 1)
        index = list.AddMove(index, Backward<Side>(LowestBit(t)), LowestBit(t),
                             promotion(LowestBit(t)));

    // Double pushes from the second (seventh) rank over an empty square.
    const Bitboard startRank = RankMask[Side == White ? 1 : 6];
    const Bitboard doubleTargets = Forward<Side>(Forward<Side>(ownPawns & startRank) & empty);
    for (Bitboard t = target & empty & doubleTargets; t; t &= t - 1)
        index = list.AddMove(index, Backward<Side>(Backward<Side>(LowestBit(t))), LowestBit(t),
                             NoPromotion);

    // and 5. Captures: White from t-7 (pawns off the a-file) then t-9 (off
    // the h-file); Black from t+7 (off the h-file) then t+9 (off the a-file).
    for (Bitboard t = target & enemyPieces & FirstCapture<Side>(ownPawns); t; t &= t - 1)
        index = list.AddMove(index, FirstCaptureFrom<Side>(LowestBit(t)), LowestBit(t),
                             promotion(LowestBit(t)));
    for (Bitboard t = target & enemyPieces & SecondCapture<Side>(ownPawns); t; t &= t - 1)
        index = list.AddMove(index, SecondCaptureFrom<Side>(LowestBit(t)), LowestBit(t),
                             promotion(LowestBit(t)));
    return index;
}

} // namespace

int MoveList::GenPawnEvasions(int side, Bitboard target, Bitboard ownPawns, Bitboard enemyPieces,
                              int index) {
    return side == White ? AddPawnEvasions<White>(*this, target, ownPawns, enemyPieces, index)
                         : AddPawnEvasions<Black>(*this, target, ownPawns, enemyPieces, index);
}
