// King safety: the pawn shield, the attack on the squares around the king,
// pawn storms, and the king tables. All of it is middlegame knowledge except
// the king tables' ending half and the mating distance.
#include "eval/eval.h"

namespace {

// A king's wing: its file and both neighbours, kept on the board.
constexpr std::array<Bitboard, 8> MakeWingFiles() {
    std::array<Bitboard, 8> t{};
    for (int f = 0; f < 8; ++f) {
        const int centre = f < 1 ? 1 : f > 6 ? 6 : f;
        t[f] = FileMask[centre - 1] | FileMask[centre] | FileMask[centre + 1];
    }
    return t;
}
constexpr std::array<Bitboard, 8> WingFiles = MakeWingFiles();
static_assert(WingFiles[0] == FilesABC && WingFiles[1] == FilesABC && WingFiles[7] == FilesFGH);

// Diagonals that point at a castled king's corner.
constexpr Bitboard KingsideDiagonals = KingDiagonals[0] | KingDiagonals[1] | KingDiagonals[2];
constexpr Bitboard QueensideDiagonals = KingDiagonals[3] | KingDiagonals[4] | KingDiagonals[5];

} // namespace

int PositionEvaluate::PawnFilePenalty(int side, Bitboard pawns) {
    int& holes = side ? BShieldHoles : WShieldHoles;
    if (!pawns) {
        ++holes;
        return 350;
    }
    if (side == White) {
        const int r = RankOf(LowestSquare(pawns));
        if (r > 3) ++holes;
        return (r - 1) * 35;
    }
    const int r = RankOf(BSR(pawns));
    if (r < 4) ++holes;
    return (6 - r) * 35;
}

int PositionEvaluate::PawnShield(int side) {
    const ChessBoard& b = *Board;
    const Bitboard pawns = side ? b.BPawns : b.WPawns;
    const Bitboard pieces = side ? b.BlackPieces & ~b.BPawns : b.WhitePieces & ~b.WPawns;
    const int kingSq = side ? BKingSq : WKingSq;
    const int f = FileOf(kingSq);
    (side ? BShieldHoles : WShieldHoles) = 0;

    // The own file counts double, unless a piece in front of the king stands
    // in for the missing pawn. A king on its last rank has nothing in front.
    const int p = PawnFilePenalty(side, pawns & FileMask[f]);
    const Bitboard front = side ? Bit(kingSq) >> 8 : Bit(kingSq) << 8;
    int penalty = (pieces & front) && 2 * p > 350 ? p : 2 * p;

    const int rightFile = f == 7 ? 5 : f + 1;
    const int leftFile = f == 0 ? 2 : f - 1;
    penalty += PawnFilePenalty(side, pawns & FileMask[rightFile]);
    penalty += PawnFilePenalty(side, pawns & FileMask[leftFile]);
    return penalty;
}

int PositionEvaluate::AttackCounts(int side) const {
    const ChessBoard& b = *Board;
    const bool white = side == White; // the defender
    const Bitboard zone = white ? WKingAtt : BKingAtt;
    const int holes = white ? WShieldHoles : BShieldHoles;
    const int kingSq = white ? WKingSq : BKingSq;
    const Bitboard pawnAtt = white ? BPawnAtt : WPawnAtt;
    const Bitboard knightAtt = white ? BKnightAtt : WKnightAtt;
    const Bitboard bishopAtt = white ? BBishopAtt : WBishopAtt;
    const Bitboard rookAtt = white ? BRookAtt : WRookAtt;
    const Bitboard queenAtt = white ? BQueenAtt : WQueenAtt;
    const Bitboard allAtt = white ? BAllAtt : WAllAtt;
    const Bitboard knights = white ? b.BKnights : b.WKnights;
    const Bitboard bishops = white ? b.BBishops : b.WBishops;
    const Bitboard rooks = white ? b.BRooks : b.WRooks;
    const Bitboard queens = white ? b.BQueens : b.WQueens;
    const int knightCount = white ? b.BKnightCount : b.WKnightCount;
    const int bishopCount = white ? b.BBishopCount : b.WBishopCount;
    const int rookCount = white ? b.BRookCount : b.WRookCount;
    const int queenCount = white ? b.BQueenCount : b.WQueenCount;

    // Kinds of attackers on the zone, each once.
    const bool pawnType = pawnAtt & zone;
    const bool knightType = (knightAtt & (zone | Bit(kingSq))) || (knights & zone);
    const bool bishopType = bishopAtt & zone;
    const bool rookType = rookAtt & zone;
    const bool queenType = queenAtt & zone;
    const int n = pawnType + knightType + bishopType + rookType + queenType;
    const int w = pawnType + knightType + bishopType + 2 * rookType + 4 * queenType;

    // The attack weight: men and attacks in the zone, scaled by the shield's
    // holes, and heavy pieces still at home.
    int a = (PopCount(zone & allAtt) + w) * 110 * (holes + 1);
    if (rookType && queenType) a += 360;
    const Bitboard homeRanks = white ? RankMask[0] | RankMask[1] : RankMask[6] | RankMask[7];
    if (queens & homeRanks)
        a += (rooks & homeRanks) ? 1620 : 1080;
    else if (rooks & homeRanks)
        a += 720;
    if (n <= 1)
        a = 0;
    else if (n <= 3)
        a = n * a / 4;

    // Attackers near the king, and heavy pieces on its wing's open files.
    const Bitboard wing = WingFiles[FileOf(kingSq)];
    const Bitboard noAttackerPawn = white ? BPawnlessFiles : WPawnlessFiles;
    int t = a + 5 * holes * (knightCount + bishopCount + rookCount + 2 * queenCount) +
            10 * holes * PopCount((knights | bishops | rooks | queens) & wing) +
            30 * (holes + 1) * (PopCount((rooks | queens) & wing & noAttackerPawn) - 1);

    // Bishops and queens on the diagonals towards a castled king's corner.
    const int rank = RankOf(kingSq);
    if (white ? rank <= 1 : rank >= 6) {
        const Bitboard kingside = white ? KingsideDiagonals : QueensideDiagonals;
        const Bitboard queenside = white ? QueensideDiagonals : KingsideDiagonals;
        const Bitboard aimers = bishops | queens;
        if (Bit(kingSq) & FilesFGH)
            t += 10 * (holes + 1) * PopCount(aimers & kingside);
        else if (Bit(kingSq) & FilesABC)
            t += 10 * (holes + 1) * PopCount(aimers & queenside);
    }

    // Without a queen an attack is worth half.
    if (queenCount == 0) t = t / 2;

    // Defenders.
    const Bitboard ownPieces = white ? b.WKnights | b.WBishops | b.WRooks | b.WQueens
                                     : b.BKnights | b.BBishops | b.BRooks | b.BQueens;
    int d = 0;
    d += ((white ? WBishopAtt : BBishopAtt) & zone) ? 100 : 0;
    d += ((white ? WKnightAtt : BKnightAtt) & zone) ? 100 : 0;
    d += ((white ? WRookAtt : BRookAtt) & zone) ? 100 : 0;
    d += ((white ? WQueenAtt : BQueenAtt) & zone) ? 500 : 0;
    d += 100 * PopCount(ownPieces & zone);
    return t - d;
}

int PositionEvaluate::PawnStorm(int side) const {
    const ChessBoard& b = *Board;
    if (side == White) {
        const Bitboard storm = b.WPawns & WingFiles[FileOf(BKingSq)];
        return 600 * PopCount(storm & RankMask[5]) + 300 * PopCount(storm & RankMask[4]) +
               100 * PopCount(storm & RankMask[3]);
    }
    const Bitboard storm = b.BPawns & WingFiles[FileOf(WKingSq)];
    return 600 * PopCount(storm & RankMask[2]) + 300 * PopCount(storm & RankMask[3]) +
           100 * PopCount(storm & RankMask[4]);
}

int PositionEvaluate::KingEval(int) {
    MgScore += WKingSquare[WKingSq] - BKingSquare[BKingSq];
    EgScore += KingEnding[WKingSq] - KingEnding[BKingSq];

    // Without pawns, the side with pieces drives the lone king: keep the kings close.
    if (Board->WPawns | Board->BPawns) return 0;
    const int d = KingDistance(WKingSq, BKingSq);
    if (BPieces == 0 && WPieces >= 1) return -80 * d;
    if (WPieces == 0 && BPieces >= 1) return 80 * d;
    return 0;
}
