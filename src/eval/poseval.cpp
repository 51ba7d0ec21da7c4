// The evaluation driver: the order of the terms, the phase blend, the lazy
// exits and the material rules of special endings.
#include "eval/eval.h"

namespace {

constexpr Bitboard CentreSquares = Bit(D4) | Bit(E4) | Bit(D5) | Bit(E5);
constexpr Bitboard FarRanksForWhite = RankMask[6] | RankMask[7];
constexpr Bitboard FarRanksForBlack = RankMask[0] | RankMask[1];

// A side attacks the enemy king while it has two pieces and a queen, or four pieces.
bool KingAttackMaterial(int pieces, int queens) {
    return pieces >= 2 && (queens >= 1 || pieces >= 4);
}

bool OnOppositeWings(int whiteKingSq, int blackKingSq) {
    const int wf = FileOf(whiteKingSq), bf = FileOf(blackKingSq);
    return (wf <= 3 && bf >= 5) || (wf >= 5 && bf <= 3);
}

Bitboard SquareColourOf(Bitboard square) {
    return (square & LightSquares) ? LightSquares : DarkSquares;
}

} // namespace

int PositionEvaluate::MaterialOnly(int side, int, const ChessBoard& board) const {
    const int m = QueenValue * (board.WQueenCount - board.BQueenCount) +
                  RookValue * (board.WRookCount - board.BRookCount) +
                  BishopValue * (board.WBishopCount + board.WKnightCount - board.BBishopCount -
                                 board.BKnightCount) +
                  PawnValue * (board.WPawnCount - board.BPawnCount);
    return side ? -m : m;
}

int PositionEvaluate::SideMaterialValue(int side, const ChessBoard* board) const {
    if (side)
        return QueenValue * board->BQueenCount + RookValue * board->BRookCount +
               BishopValue * (board->BBishopCount + board->BKnightCount);
    return QueenValue * board->WQueenCount + RookValue * board->WRookCount +
           BishopValue * (board->WBishopCount + board->WKnightCount);
}

void PositionEvaluate::AttackMasks() {
    const ChessBoard& b = *Board;
    const Bitboard occupied = b.AllPieces;
    const auto collect = [this](Bitboard pieces, auto attacksFrom) {
        Bitboard all = 0;
        for (; pieces; pieces &= pieces - 1) {
            const int s = LowestSquare(pieces);
            all |= AttFrom[s] = attacksFrom(s);
        }
        return all;
    };
    const auto knight = [](int s) { return AttackTables.Knight[s]; };
    const auto bishop = [occupied](int s) { return BishopAttacks(s, occupied); };
    const auto rook = [occupied](int s) { return RookAttacks(s, occupied); };
    const auto queen = [occupied](int s) {
        return RookAttacks(s, occupied) | BishopAttacks(s, occupied);
    };

    WPawnAtt = ((b.WPawns & ~FileMask[7]) << 9) | ((b.WPawns & ~FileMask[0]) << 7);
    BPawnAtt = ((b.BPawns & ~FileMask[7]) >> 7) | ((b.BPawns & ~FileMask[0]) >> 9);
    WKnightAtt = collect(b.WKnights, knight);
    BKnightAtt = collect(b.BKnights, knight);
    WBishopAtt = collect(b.WBishops, bishop);
    BBishopAtt = collect(b.BBishops, bishop);
    WRookAtt = collect(b.WRooks, rook);
    BRookAtt = collect(b.BRooks, rook);
    WQueenAtt = collect(b.WQueens, queen);
    BQueenAtt = collect(b.BQueens, queen);
    WKingAtt = b.KingMask(b.WKing);
    BKingAtt = b.KingMask(b.BKing);
    WAllAtt = WPawnAtt | WKnightAtt | WBishopAtt | WRookAtt | WQueenAtt | WKingAtt;
    BAllAtt = BPawnAtt | BKnightAtt | BBishopAtt | BRookAtt | BQueenAtt | BKingAtt;
    AttackMasksBuilt = true;
}

bool PositionEvaluate::TwoPieceEndings(int) const {
    const ChessBoard& b = *Board;
    return (b.WRookCount == 1 && (b.BKnightCount == 1 || b.BBishopCount == 1)) ||
           (b.BRookCount == 1 && (b.WKnightCount == 1 || b.WBishopCount == 1));
}

int PositionEvaluate::DynamicPieceAdjustments(int) const {
    const ChessBoard& b = *Board;
    int score = 0;
    const bool whiteLoneBishop =
        b.WBishopCount == 1 && b.WKnightCount + b.WRookCount + b.WQueenCount + b.WPawnCount == 0;
    const bool whiteLoneKnight =
        b.WKnightCount == 1 && b.WBishopCount + b.WRookCount + b.WQueenCount + b.WPawnCount == 0;
    const bool blackLoneBishop =
        b.BBishopCount == 1 && b.BKnightCount + b.BRookCount + b.BQueenCount + b.BPawnCount == 0;
    const bool blackLoneKnight =
        b.BKnightCount == 1 && b.BBishopCount + b.BRookCount + b.BQueenCount + b.BPawnCount == 0;

    // A lone minor piece cannot win against pawns and is often lost to them.
    if (b.BPawnCount > 0 && BPieces == 0)
        score -= whiteLoneBishop ? 750 : whiteLoneKnight ? 800 : 0;
    if (b.WPawnCount > 0 && WPieces == 0)
        score += blackLoneBishop ? 750 : blackLoneKnight ? 800 : 0;

    // Doubled pawns weigh less while heavy pieces can use the half-open files.
    const auto doubledWeight = [](int queens, int rooks) {
        return queens >= 1 || rooks >= 2 ? 62 : rooks == 1 ? 125 : 190;
    };
    score -= doubledWeight(b.WQueenCount, b.WRookCount) * PawnEntry->WDoubled;
    score += doubledWeight(b.BQueenCount, b.BRookCount) * PawnEntry->BDoubled;
    return score;
}

int PositionEvaluate::PosEval(int side, int alpha, int beta, ChessBoard* board) {
    side = side ? Black : White;
    const auto fromSide = [side](int whiteView) { return side ? -whiteView : whiteView; };
    const auto blend = [this](int* s) {
        *s += ((24 - Phase) * MgScore + Phase * EgScore) / 24;
        MgScore = EgScore = 0;
    };

    // The pawn structure is nearly always needed, and its entry is rarely cached.
    PawnTable.Prefetch(board->PawnKingKey);

    // Material and the kings.
    MgScore = EgScore = 0;
    Board = board;
    AttackMasksBuilt = false;
    const ChessBoard& b = *board;
    const int WQ = b.WQueenCount, WR = b.WRookCount, WB = b.WBishopCount, WN = b.WKnightCount,
              WP = b.WPawnCount;
    const int BQ = b.BQueenCount, BR = b.BRookCount, BB = b.BBishopCount, BN = b.BKnightCount,
              BP = b.BPawnCount;
    WKingSq = LowestSquare(b.WKing);
    BKingSq = LowestSquare(b.BKing);
    WKingFile = FileMask[FileOf(WKingSq)];
    BKingFile = FileMask[FileOf(BKingSq)];
    const int m = QueenValue * (WQ - BQ) + RookValue * (WR - BR) + BishopValue * (WB + WN) -
                  BishopValue * (BB + BN);
    WPieces = static_cast<int8_t>(WB + WN + WR + WQ);
    BPieces = static_cast<int8_t>(BB + BN + BR + BQ);

    // Pawnless endings that are decided by material alone.
    if (WP == 0 && BP == 0) {
        const int kings = KingEnding[WKingSq] - KingEnding[BKingSq];
        const int whiteMinors = WB + WN, blackMinors = BB + BN;
        if (whiteMinors == blackMinors && WPieces == BPieces && WR == BR) return fromSide(kings);
        const bool oneMinorMore = whiteMinors - blackMinors == 1 || blackMinors - whiteMinors == 1;
        const bool bishopsAgainstKnight =
            (WB == 2 && BB == 0 && BN == 1) || (WB == 0 && BB == 2 && WN == 1);
        if (WR == BR && WQ == BQ && oneMinorMore && !bishopsAgainstKnight)
            return fromSide(kings + (3 * m) / 4);
    }

    // Pawns, passers and the kings' tables.
    Phase = 24 - (WPieces + BPieces) - (WR + BR) - 3 * (WQ + BQ);
    if (Phase < 1) Phase = 1;
    const int d = WP - BP;
    int s = m + PawnValue * d + (200 * d * Phase) / 24 + PawnStructure(side);
    MgScore += (13 * WPasserScore) / 10 - (13 * BPasserScore) / 10;
    EgScore += (19 * WPasserScore) / 10 - (19 * BPasserScore) / 10;
    s += KingEval(side);
    blend(&s);

    // A rook against a minor piece, nothing else: usually a draw.
    if (WPieces + WP + BPieces + BP <= 3 && WP == 0 && BP == 0 && WPieces + BPieces == 2 &&
        TwoPieceEndings(side))
        return fromSide(s / 2);

    // First lazy exit.
    if (fromSide(s) + 6000 < alpha || fromSide(s) - 6000 > beta) return fromSide(s);

    // Pawn races, bad bishops, trapped pieces.
    NeedAttackMasks();
    s += RuleofSquare(side);
    if (BB == 1) EgScore -= 50 * PopCount(b.WPawns & SquareColourOf(b.BBishops));
    if (WB == 1) EgScore += 50 * PopCount(b.BPawns & SquareColourOf(b.WBishops));
    const int traps = Traps(side);
    EgScore += traps;
    MgScore += traps;

    // King safety; PawnShield leaves the hole count that AttackCounts of
    // the same king reads.
    const bool blackAttacks = KingAttackMaterial(BPieces, BQ);
    const bool whiteAttacks = KingAttackMaterial(WPieces, WQ);
    const bool oppositeWings = OnOppositeWings(WKingSq, BKingSq);
    if (blackAttacks) MgScore -= PawnShield(0);
    if (whiteAttacks) MgScore += PawnShield(1);
    if (blackAttacks) MgScore -= AttackCounts(0);
    if (whiteAttacks) MgScore += AttackCounts(1);
    if (whiteAttacks) MgScore += oppositeWings ? PawnStorm(0) : PawnStorm(0) / 2;
    if (blackAttacks) MgScore -= oppositeWings ? PawnStorm(1) : PawnStorm(1) / 2;

    // Rooks (and a queen) on the seventh and eighth ranks, while the enemy
    // still has pawns on its second rank or its king on its back rank.
    if ((b.BPawns & RankMask[6]) || (b.BKing & RankMask[7])) {
        const int rooks = Majorson7[PopCount(b.WRooks & FarRanksForWhite)];
        EgScore += rooks + ((b.WQueens & FarRanksForWhite) ? 200 : 0);
        MgScore += rooks >> 1;
    }
    if ((b.WPawns & RankMask[1]) || (b.WKing & RankMask[0])) {
        const int rooks = Majorson7[PopCount(b.BRooks & FarRanksForBlack)];
        EgScore -= rooks + ((b.BQueens & FarRanksForBlack) ? 200 : 0);
        MgScore -= rooks >> 1;
    }

    // Material imbalances, second lazy exit.
    s += DynamicPieceAdjustments(Phase);
    blend(&s);
    if (fromSide(s) + 2000 < alpha || fromSide(s) - 2000 > beta) return fromSide(s);

    // Centre control and men left unguarded.
    const int whiteCentre = PopCount(CentreSquares & WKnightAtt) +
                            PopCount(CentreSquares & WBishopAtt) +
                            PopCount(CentreSquares & WRookAtt);
    const int blackCentre = PopCount(CentreSquares & BKnightAtt) +
                            PopCount(CentreSquares & BBishopAtt) +
                            PopCount(CentreSquares & BRookAtt);
    MgScore = 30 * (whiteCentre - blackCentre) - 400 * PopCount(b.WhitePieces & ~WAllAtt) +
              400 * PopCount(b.BlackPieces & ~BAllAtt) + 100 * PopCount(b.WPawns & ~WAllAtt) -
              100 * PopCount(b.BPawns & ~BAllAtt);

    // Pieces, and men under attack.
    s += KnightEval(side);
    s += BishopEval(side);
    s += RookEval(side);
    s += QueenEval(side);
    EgScore += 20 * PopCount(b.BlackPieces & WAllAtt) - 20 * PopCount(b.WhitePieces & BAllAtt);
    blend(&s);

    // Mating material and drawish material.
    if (b.DrawFlags & WhiteCanMate) s += 800;
    if (b.DrawFlags & BlackCanMate) s -= 800;
    if (WP > 0 && BP == 0 && WQ == BQ && WR == BR && WB + WN + 1 == BB + BN)
        s += 1100;
    else if (WP == 0 && BP > 0 && WQ == BQ && WR == BR && BB + BN + 1 == WB + WN)
        s -= 1100;
    const Bitboard bishops = b.WBishops | b.BBishops;
    if (WPieces == BPieces && m == 0 && WB == 1 && BB == 1 && WN + BN == 0 && WR + WQ + BQ == 0 &&
        d <= 3 && d >= -3 && ((b.WPawns | b.BPawns) & ~(FileMask[0] | FileMask[7])) &&
        (bishops & LightSquares) && (bishops & DarkSquares))
        s -= (3 * (s - MaterialOnly(White, alpha, b))) / 4;

    // Whole centipawns: the last digit dropped.
    s = (s / 10) * 10;
    return fromSide(s);
}
