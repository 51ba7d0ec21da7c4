// Knights, bishops, rooks and queens: square tables, mobility, outposts, the
// bishop pair, open files, rooks behind passers, trapped queens, and the fixed
// trapped-piece patterns.
#include "eval/eval.h"

namespace {

// One colour's view of the board for the piece terms; Black's terms are
// subtracted (Sign) from the White-view accumulators.
template <int Us> struct PieceView {
    static constexpr int Sign = Us == White ? 1 : -1;
    static Bitboard Own(const ChessBoard& b) { return Us == White ? b.WhitePieces : b.BlackPieces; }
    static Bitboard Enemy(const ChessBoard& b) {
        return Us == White ? b.BlackPieces : b.WhitePieces;
    }
    static Bitboard EnemyPawns(const ChessBoard& b) { return Us == White ? b.BPawns : b.WPawns; }
    static Bitboard Forward(Bitboard s) { return Us == White ? s << 8 : s >> 8; }

    // Squares the piece on s attacks that hold no own man and are enemy men
    // or not covered by an enemy pawn.
    static Bitboard Targets(const PositionEvaluate& pe, int s) {
        const ChessBoard& b = *pe.Board;
        const Bitboard enemyPawnAttacks = Us == White ? pe.BPawnAttacks : pe.WPawnAttacks;
        return pe.AttFrom[s] & ~Own(b) & (Enemy(b) | ~enemyPawnAttacks);
    }
};

template <int Us> void KnightTerms(PositionEvaluate& pe) {
    using V = PieceView<Us>;
    const ChessBoard& b = *pe.Board;
    const SquareTable& squares = Us == White ? WKnightSquare : BKnightSquare;
    const SquareTable& posts = Us == White ? WKnightPost : BKnightPost;
    for (Bitboard p = Us == White ? b.WKnights : b.BKnights; p; p &= p - 1) {
        const int s = LowestSquare(p);
        pe.MgScore += V::Sign * squares[s];
        pe.EgScore += V::Sign * KnightEnding[s];
        // An outpost: no enemy pawn on the squares from which one would attack it.
        const Bitboard guards =
            Us == White ? (Bit(s) << 7) | (Bit(s) << 9) : (Bit(s) >> 7) | (Bit(s) >> 9);
        if (posts[s] != 0 && !(V::EnemyPawns(b) & guards)) pe.MgScore += V::Sign * posts[s];
        const int m = KnightMobility[PopCount(V::Targets(pe, s))];
        pe.MgScore += V::Sign * m;
        pe.EgScore += V::Sign * m;
    }
}

template <int Us> void FillBishopRecord(PositionEvaluate& pe, BishopRecord* rec) {
    using V = PieceView<Us>;
    const ChessBoard& b = *pe.Board;
    const SquareTable& squares = Us == White ? WBishopSquare : BBishopSquare;
    *rec = BishopRecord{};
    rec->FianchettoSquare = Us == White ? G2 : G7;
    rec->Bishops = Us == White ? b.WBishops : b.BBishops;
    rec->Pawns = Us == White ? b.WPawns : b.BPawns;
    rec->FianchettoPawnRank = RankMask[Us == White ? 2 : 5];
    rec->FianchettoWingRank = RankMask[Us == White ? 1 : 6];
    for (Bitboard p = rec->Bishops; p; p &= p - 1) {
        const int s = LowestSquare(p);
        ++rec->Counter;
        rec->MgSum += squares[s];
        rec->EgSum += BishopEnding[s];
        const int m = BishopMobility[PopCount(V::Targets(pe, s))];
        rec->MgSum += m;
        rec->EgSum += m;
        if (s == rec->FianchettoSquare && (rec->Pawns & rec->FianchettoPawnRank & FileMask[6]) &&
            (rec->Pawns & rec->FianchettoWingRank & (FileMask[5] | FileMask[7])))
            rec->MgSum += 200;
    }
    if (rec->Counter > 1) rec->PairScore += 500;
}

// Returns the colour's half-open-file score.
template <int Us> int RookTerms(PositionEvaluate& pe) {
    using V = PieceView<Us>;
    const ChessBoard& b = *pe.Board;
    const PawnHashEntry& pawns = *pe.PawnEntry;
    const uint8_t* ownPasser = Us == White ? pawns.WPasserRank : pawns.BPasserRank;
    const uint8_t* enemyPasser = Us == White ? pawns.BPasserRank : pawns.WPasserRank;
    const Bitboard ownPawnless = Us == White ? pe.WPawnlessFiles : pe.BPawnlessFiles;
    const int homeRank = Us == White ? 0 : 7;
    // Rank r is behind a pawn on rank p, as seen from the pawn's owner.
    const auto behindOwn = [](int r, int p) { return Us == White ? r < p : r > p; };
    const auto behindEnemy = [](int r, int p) { return Us == White ? r > p : r < p; };
    int halfOpen = 0;
    for (Bitboard p = Us == White ? b.WRooks : b.BRooks; p; p &= p - 1) {
        const int s = LowestSquare(p), r = RankOf(s), f = FileOf(s);
        const int m = RookMobility[PopCount(V::Targets(pe, s))];
        pe.MgScore += V::Sign * m;
        pe.EgScore += V::Sign * ((m * 14) / 10);
        if (pe.OpenFiles & Bit(s)) {
            pe.MgScore += V::Sign * 320;
            pe.EgScore += V::Sign * 140;
        } else {
            if (r == homeRank && (V::EnemyPawns(b) & V::Forward(Bit(s)))) {
                pe.MgScore -= V::Sign * 100;
                pe.EgScore -= V::Sign * 200;
            }
            if (ownPawnless & Bit(s)) halfOpen += 50;
        }
        if (ownPasser[f] && behindOwn(r, ownPasser[f])) {
            pe.MgScore += V::Sign * 37;
            pe.EgScore += V::Sign * 75;
        }
        if (enemyPasser[f] && behindEnemy(r, enemyPasser[f])) {
            pe.MgScore += V::Sign * 18;
            pe.EgScore += V::Sign * 37;
        }
    }
    return halfOpen;
}

template <int Us> void QueenTerms(PositionEvaluate& pe) {
    using V = PieceView<Us>;
    const ChessBoard& b = *pe.Board;
    const Bitboard enemyHalf = Us == White ? BlackHalf : WhiteHalf;
    const Bitboard enemyAttacks = Us == White ? pe.BAllAtt : pe.WAllAtt;
    for (Bitboard p = Us == White ? b.WQueens : b.BQueens; p; p &= p - 1) {
        const int s = LowestSquare(p);
        const Bitboard targets = V::Targets(pe, s);
        const int q = QueenMobility[PopCount(targets)];
        pe.MgScore += V::Sign * q;
        pe.EgScore += V::Sign * q;
        // Deep in the enemy half with at most one safe square: about to be lost.
        const int u = PopCount(targets & ~enemyAttacks);
        if ((Bit(s) & enemyHalf) && u < 2) pe.EgScore += V::Sign * (u - 2) * 3250;
    }
}

// The rook beside its own king on the back rank, walled in by its pawns.
bool RookShutIn(Bitboard king, Bitboard rooks, Bitboard pawns, int colour) {
    const int back = colour == White ? 0 : 7;
    const Bitboard backRank = RankMask[back];
    const Bitboard pawnRank = RankMask[colour == White ? 1 : 6];
    if (!(king & backRank)) return false;
    if ((king & (FileMask[5] | FileMask[6])) && (rooks & backRank & FilesGH))
        return (pawns & pawnRank & FilesFGH) != 0;
    return (king & (FileMask[1] | FileMask[2])) && (rooks & backRank & FilesAB) &&
           (pawns & pawnRank & FilesABC);
}

} // namespace

int PositionEvaluate::KnightEval(int) {
    KnightTerms<White>(*this);
    KnightTerms<Black>(*this);
    return 0;
}

int PositionEvaluate::BishopEval(int) {
    FillBishopRecord<White>(*this, &WBishopRecord);
    FillBishopRecord<Black>(*this, &BBishopRecord);
    MgScore += WBishopRecord.MgSum - BBishopRecord.MgSum;
    EgScore += WBishopRecord.EgSum - BBishopRecord.EgSum;
    return WBishopRecord.PairScore - BBishopRecord.PairScore;
}

int PositionEvaluate::RookEval(int) {
    const int white = RookTerms<White>(*this);
    return white - RookTerms<Black>(*this);
}

int PositionEvaluate::QueenEval(int) {
    QueenTerms<White>(*this);
    QueenTerms<Black>(*this);
    return 0;
}

int PositionEvaluate::Traps(int) const {
    const ChessBoard& b = *Board;
    const Bitboard wn = b.WKnights, bn = b.BKnights, wbs = b.WBishops, bbs = b.BBishops;
    const Bitboard wp = b.WPawns, bp = b.BPawns;
    constexpr int Knight = 1219, Bishop = 1600, Rook = 1670;
    int t = 0;

    // Knights in a corner, cut off by enemy pawns. (Most positions have no
    // minor piece on any of these squares, and skip the tests.)
    if (wn & (SqH8 | SqH7 | SqG7 | SqA8 | SqA7 | SqB7)) {
        if ((wn & SqH8) && (bp & (SqH7 | SqF7))) t -= Knight;
        if ((wn & SqH7) && (bp & SqG7) && (bp & (SqH6 | SqF6))) t -= Knight;
        if ((wn & SqG7) && (bp & SqH7) && (bp & SqG6) && (bp & SqF7)) t -= Knight;
        if ((wn & SqA8) && (bp & (SqA7 | SqC7))) t -= Knight;
        if ((wn & SqA7) && (bp & SqB7) && (bp & (SqA6 | SqC6))) t -= Knight;
        if ((wn & SqB7) && (bp & SqA7) && (bp & SqB6) && (bp & SqC7)) t -= Knight;
    }
    if (bn & (SqH1 | SqH2 | SqG2 | SqA1 | SqA2 | SqB2)) {
        if ((bn & SqH1) && (wp & (SqH2 | SqF2))) t += Knight;
        if ((bn & SqH2) && (wp & SqG2) && (wp & (SqH3 | SqF3))) t += Knight;
        if ((bn & SqG2) && (wp & SqG3) && (wp & SqH2) && (wp & SqF2)) t += Knight;
        if ((bn & SqA1) && (wp & (SqA2 | SqC2))) t += Knight;
        if ((bn & SqA2) && (wp & SqB2) && (wp & (SqA3 | SqC3))) t += Knight;
        if ((bn & SqB2) && (wp & SqB3) && (wp & SqA2) && (wp & SqC2)) t += Knight;
    }

    // Bishops that took a rook pawn and are shut in by the b/g-pawn advance.
    if (wbs & (SqA7 | SqB8 | SqH7 | SqG8)) {
        if ((wbs & (SqA7 | SqB8)) && (bp & SqB6) && (bp & SqC7)) t -= Bishop;
        if ((wbs & (SqH7 | SqG8)) && (bp & SqG6) && (bp & SqF7)) t -= Bishop;
    }
    if (bbs & (SqA2 | SqB1 | SqH2 | SqG1)) {
        if ((bbs & (SqA2 | SqB1)) && (wp & SqB3) && (wp & SqC2)) t += Bishop;
        if ((bbs & (SqH2 | SqG1)) && (wp & SqG3) && (wp & SqF2)) t += Bishop;
    }

    // Only a matter while the enemy has heavy pieces to use the extra tempo.
    if ((b.BQueens | b.BRooks) && RookShutIn(b.WKing, b.WRooks, wp, White)) t -= Rook;
    if ((b.WQueens | b.WRooks) && RookShutIn(b.BKing, b.BRooks, bp, Black)) t += Rook;
    return t;
}
