// Draws recognised without search: no mating material, the fifty-move rule,
// and the rook pawn whose bishop cannot control the promotion corner.
#include <cstdlib>

#include "board/board.h"

namespace {

// Whether a side without pawns, rooks and queens keeps its mating-material bit:
// up to two knights alone, or a lone bishop, cannot force mate.
bool MinorsCanMate(int bishops, int knights) {
    return bishops == 0 ? knights > 2 : !(bishops == 1 && knights == 0);
}

// King, bishop and rook pawn against the bare king: drawn when the bishop does
// not control the promotion corner and the defending king stands next to it.
int WrongBishopDraw(Bitboard pawn, Bitboard bishop, Bitboard defendingKing, bool whitePawn) {
    const Bitboard hCorner = whitePawn ? (SqG8 | SqH8 | SqG7 | SqH7) : (SqG1 | SqH1 | SqG2 | SqH2);
    const Bitboard aCorner = whitePawn ? (SqB8 | SqA8 | SqB7 | SqA7) : (SqB1 | SqA1 | SqB2 | SqA2);
    // h8 and a1 are dark, a8 and h1 light: the bishop of the other colour is the wrong one.
    const Bitboard hWrongColour = whitePawn ? LightSquares : DarkSquares;
    const Bitboard aWrongColour = whitePawn ? DarkSquares : LightSquares;
    if (pawn & FileMask[7]) {
        if (!(bishop & hWrongColour)) return NoDraw;
        return (defendingKing & hCorner) ? MaterialDraw : NoDraw;
    }
    if (pawn & FileMask[0]) {
        if (!(bishop & aWrongColour)) return NoDraw;
        return (defendingKing & aCorner) ? MaterialDraw : NoDraw;
    }
    return NoDraw;
}

} // namespace

int ChessBoard::CheckDraw(char) {
    DrawFlags = WhiteCanMate | BlackCanMate;
    if (WPawnCount == 0 && WQueenCount == 0 && WRookCount == 0 &&
        !MinorsCanMate(WBishopCount, WKnightCount))
        DrawFlags &= ~WhiteCanMate;
    if (BPawnCount == 0 && BQueenCount == 0 && BRookCount == 0) {
        if (!MinorsCanMate(BBishopCount, BKnightCount)) DrawFlags &= ~BlackCanMate;
        if (DrawFlags == 0) {
            if (!((WKing | BKing) & Corners)) return MaterialDraw;
            // A king in the corner with the other two squares away may be mated.
            const int w = LowestSquare(WKing), b = LowestSquare(BKing);
            const int fileDistance = std::abs(FileOf(w) - FileOf(b));
            const int rankDistance = std::abs(RankOf(w) - RankOf(b));
            const int distance = fileDistance > rankDistance ? fileDistance : rankDistance;
            if (distance != 2) return MaterialDraw;
        }
    }
    if (FiftyMoveCount > 99) return FiftyMoveDraw;
    if (WPawnCount == 1 && BPawnCount == 0 && WQueenCount == 0 && WRookCount == 0 &&
        WKnightCount == 0 && WBishopCount == 1 && BlackPieceTotal == 0)
        return WrongBishopDraw(WPawns, WBishops, BKing, true);
    if (WPawnCount == 0 && BPawnCount == 1 && BQueenCount == 0 && BRookCount == 0 &&
        BKnightCount == 0 && BBishopCount == 1 && WhitePieceTotal == 0)
        return WrongBishopDraw(BPawns, BBishops, WKing, false);
    return NoDraw;
}

bool ChessBoard::Test50MoveRule(int from, int to) {
    if (((WPawns | BPawns) & Bit(from)) || (AllPieces & Bit(to))) {
        FiftyMoveCount = 0;
        return false;
    }
    return ++FiftyMoveCount > 99;
}
