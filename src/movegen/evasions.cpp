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
int MoveGen::GenCheckEvasions(int side, ChessBoard* board) {
    assert(side == White || side == Black);
    Board = board;
    const ChessBoard& b = *board;
    Army enemy = ArmyOf(b, side ^ 1);
    Bitboard king = ArmyOf(b, side).King;
    assert(PopCount(king) == 1);
    int kingSquare = LowestSquare(king);
    int count = 0;
    Bitboard target = 0;

    // Pawn checkers: White's king looks at +7 (not from the a-file) and +9
    // (not from the h-file), Black's at -7 (not from the h-file) and -9 (not
    // from the a-file).
    Bitboard pawnFirst = side == White ? (king & ~FileMask[0]) << 7 : (king & ~FileMask[7]) >> 7;
    Bitboard pawnSecond = side == White ? (king & ~FileMask[7]) << 9 : (king & ~FileMask[0]) >> 9;
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
int MoveGen::GenKingEvasions(int side, Bitboard, int index) {
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

int MoveGen::GenKnightEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    return AddPieceMoves(
        own.Knights, ~own.All & target, [](int s) { return AttackTables.Knight[s]; }, index);
}

int MoveGen::GenBishopEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Bishops, ~own.All & target, [occupied](int s) { return BishopAttacks(s, occupied); },
        index);
}

int MoveGen::GenRookEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Rooks, ~own.All & target, [occupied](int s) { return RookAttacks(s, occupied); },
        index);
}

int MoveGen::GenQueenEvasions(int side, Bitboard target, int index) {
    Army own = ArmyOf(*Board, side);
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        own.Queens, ~own.All & target,
        [occupied](int s) { return BishopAttacks(s, occupied) | RookAttacks(s, occupied); }, index);
}

// Written for White; Black steps the other way on mirrored ranks. En passant
// is only an answer to a pawn check, taking the checking pawn; then pushes,
// double pushes and the two captures, each ordered by target square.
int MoveGen::GenPawnEvasions(int side, Bitboard target, Bitboard ownPawns, Bitboard enemyPieces,
                             int index) {
    const ChessBoard& b = *Board;
    bool white = side == White;
    Bitboard king = ArmyOf(b, side).King;
    Bitboard enemyPawns = ArmyOf(b, side ^ 1).Pawns;
    Bitboard empty = ~b.AllPieces;
    auto forward = [white](Bitboard s, int ranks) {
        return white ? s << (8 * ranks) : s >> (8 * ranks);
    };
    auto back = [white](Bitboard s, int steps) { return white ? s >> steps : s << steps; };
    Bitboard kingRank = white ? RankMask[3] : RankMask[4];
    Bitboard fifthRank = white ? RankMask[4] : RankMask[3];
    Bitboard enemyStart = white ? RankMask[6] : RankMask[1];
    Bitboard lastRank = white ? RankMask[7] : RankMask[0];
    char queen = white ? 'Q' : 'q';
    auto promotion = [&](Bitboard to) { return (to & lastRank) ? queen : NoPromotion; };

    // 1. En passant against a checking pawn, the one at +7 (-7) before +9 (-9).
    if (king & kingRank) {
        Bitboard checkers[2] = {
            white ? (king & ~FileMask[0]) << 7 : (king & ~FileMask[7]) >> 7,
            white ? (king & ~FileMask[7]) << 9 : (king & ~FileMask[0]) >> 9,
        };
        bool doublePush = (b.LastTo & enemyPawns & fifthRank) && (b.LastFrom & enemyStart);
        for (Bitboard checker : checkers) {
            if (!(checker & enemyPawns) || !doublePush) continue;
            Bitboard beside = ((checker & ~FileMask[0]) >> 1) | ((checker & ~FileMask[7]) << 1);
            for (Bitboard c = beside & ownPawns & fifthRank; c; c &= c - 1) {
                Bitboard pawn = LowestBit(c);
                Bitboard behind = forward(b.LastTo, 1);
                if (!(b.LastFrom & FileMask[0]) && (b.LastTo >> 1) == pawn)
                    index = AddMove(index, pawn, behind, NoPromotion);
                if (!(b.LastFrom & FileMask[7]) && (b.LastTo << 1) == pawn)
                    index = AddMove(index, pawn, behind, NoPromotion);
            }
        }
    }

    // 2. Pushes onto the target.
    for (Bitboard t = target & empty & forward(ownPawns, 1); t; t &= t - 1)
        index = AddMove(index, back(LowestBit(t), 8), LowestBit(t), promotion(LowestBit(t)));

    // 3. Double pushes from the second (seventh) rank over an empty square.
    Bitboard startRank = white ? RankMask[1] : RankMask[6];
    Bitboard doubleTargets = forward(forward(ownPawns & startRank, 1) & empty, 1);
    for (Bitboard t = target & empty & doubleTargets; t; t &= t - 1)
        index = AddMove(index, back(LowestBit(t), 16), LowestBit(t), NoPromotion);

    // 4. and 5. Captures: White from t-7 (pawns off the a-file) then t-9 (off
    // the h-file); Black from t+7 (off the h-file) then t+9 (off the a-file).
    Bitboard fromFirst = white ? (ownPawns & ~FileMask[0]) << 7 : (ownPawns & ~FileMask[7]) >> 7;
    Bitboard fromSecond = white ? (ownPawns & ~FileMask[7]) << 9 : (ownPawns & ~FileMask[0]) >> 9;
    for (Bitboard t = target & enemyPieces & fromFirst; t; t &= t - 1)
        index = AddMove(index, back(LowestBit(t), 7), LowestBit(t), promotion(LowestBit(t)));
    for (Bitboard t = target & enemyPieces & fromSecond; t; t &= t - 1)
        index = AddMove(index, back(LowestBit(t), 9), LowestBit(t), promotion(LowestBit(t)));
    return index;
}
