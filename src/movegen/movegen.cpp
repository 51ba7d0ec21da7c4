// Pseudo-legal generation: piece moves, pawn moves, castling and the two
// drivers that call them in their fixed order.
#include <cassert>
#include <cstdio>

#include "board/board.h"
#include "movegen/movegen.h"

namespace {

constexpr int CastleOrderValue = 800;

// Pawn geometry of one colour, White's numbers mirrored for Black.
struct PawnGeometry {
    Bitboard StartRank;     // double pushes start here
    Bitboard LastRank;      // pushes and captures onto it promote
    Bitboard EnPassantRank; // a pawn here may take en passant
    Bitboard EnemyStart;    // the enemy's double pushes start here
    char Queen;
};

constexpr PawnGeometry PawnGeometryOf[2] = {
    {RankMask[1], RankMask[7], RankMask[4], RankMask[6], 'Q'},
    {RankMask[6], RankMask[0], RankMask[3], RankMask[1], 'q'},
};

// What castling with the king on file k and the rook on file r of the first
// rank asks (Chess960 rules, which standard castling follows too): the
// squares the king and the rook cross or land on, their own squares aside,
// must be empty, and the king's square, path and target not attacked. Black
// shifts the squares to the eighth rank.
struct CastlePath {
    Bitboard MustBeEmpty;
    Bitboard KingPath;
};
struct CastlePathTable {
    CastlePath Path[8][8]; // [king file][rook file]; unused where the two meet
};
constexpr Bitboard FilesBetween(int a, int b) { // a and b included
    Bitboard span = 0;
    for (int f = a < b ? a : b; f <= (a < b ? b : a); ++f) span |= Bit(f);
    return span;
}
constexpr CastlePathTable BuildCastlePaths() {
    CastlePathTable t{};
    for (int k = 0; k < 8; ++k) {
        for (int r = 0; r < 8; ++r) {
            if (r == k) continue;
            const int kingTo = r > k ? 6 : 2, rookTo = r > k ? 5 : 3;
            t.Path[k][r] = {(FilesBetween(k, kingTo) | FilesBetween(r, rookTo)) & ~Bit(k) & ~Bit(r),
                            FilesBetween(k, kingTo)};
        }
    }
    return t;
}
constexpr CastlePathTable CastlePaths = BuildCastlePaths();
static_assert(CastlePaths.Path[4][7].MustBeEmpty == (Bit(F1) | Bit(G1)));
static_assert(CastlePaths.Path[4][0].MustBeEmpty == (Bit(B1) | Bit(C1) | Bit(D1)));
static_assert(CastlePaths.Path[4][0].KingPath == (Bit(C1) | Bit(D1) | Bit(E1)));
static_assert(CastlePaths.Path[5][6].MustBeEmpty == 0); // king and rook swap squares

// Moves of the king(s) of `side` onto `allowed`; a missing or second king is
// reported and generation goes on.
int AddKingMoves(MoveList& list, int side, Bitboard allowed, int index) {
    Bitboard kings = side == White ? list.Board->WKing : list.Board->BKing;
    if (!kings) {
        std::printf("Major Error: There is No king of a given color\n");
        return index;
    }
    for (; kings; kings &= kings - 1) {
        index = list.AddPieceMoves(
            LowestBit(kings), allowed, [](int s) { return AttackTables.King[s]; }, index);
        if (kings & (kings - 1))
            std::printf("Major Error: There is more than one king of a given color\n");
    }
    return index;
}

// The targets of all pawns are found set-wise first, so the per-pawn loop,
// which keeps each pawn's moves together, visits only pawns that have one.
template <int Side> int AddPawnMoves(MoveList& list, int index) {
    constexpr PawnGeometry g = PawnGeometryOf[Side];
    const ChessBoard& b = *list.Board;
    Army enemy = ArmyOf(b, Side ^ 1);
    Bitboard pawns = ArmyOf(b, Side).Pawns;
    Bitboard empty = ~b.AllPieces;
    Bitboard pushes = Forward<Side>(pawns) & empty;
    Bitboard doubles = Forward<Side>(pushes & Forward<Side>(g.StartRank)) & empty;
    Bitboard firstCaptures = FirstCapture<Side>(pawns) & enemy.All;
    Bitboard secondCaptures = SecondCapture<Side>(pawns) & enemy.All;
    // En passant: the last move was a double push that stopped beside the pawn.
    Bitboard enPassant = 0;
    if ((b.LastTo & enemy.Pawns & g.EnPassantRank) && (b.LastFrom & g.EnemyStart)) {
        if (!(b.LastFrom & FileMask[0])) enPassant |= b.LastTo >> 1;
        if (!(b.LastFrom & FileMask[7])) enPassant |= b.LastTo << 1;
        enPassant &= pawns & g.EnPassantRank;
    }
    Bitboard movers = Backward<Side>(pushes) | Backward<Side>(Backward<Side>(doubles)) |
                      FirstCaptureFrom<Side>(firstCaptures) |
                      SecondCaptureFrom<Side>(secondCaptures) | enPassant;
    auto promotion = [&](Bitboard to) { return (to & g.LastRank) ? g.Queen : NoPromotion; };
    for (; movers; movers &= movers - 1) {
        Bitboard pawn = LowestBit(movers);
        Bitboard ahead = Forward<Side>(pawn);
        if (Forward<Side>(ahead) & doubles)
            index = list.AddMove(index, pawn, Forward<Side>(ahead), NoPromotion);
        if (ahead & pushes) index = list.AddMove(index, pawn, ahead, promotion(ahead));
        Bitboard first = FirstCapture<Side>(pawn);
        if (first & firstCaptures) index = list.AddMove(index, pawn, first, promotion(first));
        Bitboard second = SecondCapture<Side>(pawn);
        if (second & secondCaptures) index = list.AddMove(index, pawn, second, promotion(second));
        if (pawn & enPassant) {
            Bitboard behind = Forward<Side>(b.LastTo);
            if (!(b.LastFrom & FileMask[0]) && (b.LastTo >> 1) == pawn)
                index = list.AddMove(index, pawn, behind, NoPromotion);
            if (!(b.LastFrom & FileMask[7]) && (b.LastTo << 1) == pawn)
                index = list.AddMove(index, pawn, behind, NoPromotion);
        }
    }
    return index;
}

} // namespace

int MoveList::GenKnightCaptures(int side, int index) {
    return AddPieceMoves(
        ArmyOf(*Board, side).Knights, ArmyOf(*Board, side ^ 1).All,
        [](int s) { return AttackTables.Knight[s]; }, index);
}

int MoveList::GenBishopCaptures(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Bishops, ArmyOf(*Board, side ^ 1).All,
        [occupied](int s) { return BishopAttacks(s, occupied); }, index);
}

int MoveList::GenRookCaptures(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Rooks, ArmyOf(*Board, side ^ 1).All,
        [occupied](int s) { return RookAttacks(s, occupied); }, index);
}

int MoveList::GenQueenCaptures(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Queens, ArmyOf(*Board, side ^ 1).All,
        [occupied](int s) { return BishopAttacks(s, occupied) | RookAttacks(s, occupied); }, index);
}

int MoveList::GenKingCaptures(int side, int index) {
    return AddKingMoves(*this, side, ArmyOf(*Board, side ^ 1).All, index);
}

int MoveList::GenKnights(int side, int index) {
    return AddPieceMoves(
        ArmyOf(*Board, side).Knights, ~Board->AllPieces,
        [](int s) { return AttackTables.Knight[s]; }, index);
}

int MoveList::GenBishops(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Bishops, ~occupied,
        [occupied](int s) { return BishopAttacks(s, occupied); }, index);
}

int MoveList::GenRooks(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Rooks, ~occupied,
        [occupied](int s) { return RookAttacks(s, occupied); }, index);
}

int MoveList::GenQueens(int side, int index) {
    Bitboard occupied = Board->AllPieces;
    return AddPieceMoves(
        ArmyOf(*Board, side).Queens, ~occupied,
        [occupied](int s) { return BishopAttacks(s, occupied) | RookAttacks(s, occupied); }, index);
}

int MoveList::GenKings(int side, int index) {
    return AddKingMoves(*this, side, ~Board->AllPieces, index);
}

// Each pawn's moves together, pawns by ascending square: double push, push,
// capture towards the a-file (White) or h-file (Black), the other capture,
// en passant. Only queen promotions are made.
int MoveList::GenPawns(int side, int index) {
    return side == White ? AddPawnMoves<White>(*this, index) : AddPawnMoves<Black>(*this, index);
}

// King side first, then queen side. A set right is trusted to mean the king
// stands on its start square; the rook and the empty and unattacked squares
// are tested, the castling rook lifted off the board for the attacks, as it
// may have screened the king's path along the rank. Standard chess writes
// the move as the king's step to its target, Chess960 as the king taking
// the rook.
int MoveList::GenCastle(int side, int index, int castleFlags) {
    const ChessBoard& b = *Board;
    const int base = side == White ? A1 : A8;
    const Bitboard king = side == White ? b.WKing : b.BKing;
    const Bitboard rooks = side == White ? b.WRooks : b.BRooks;
    for (const int right : CastlingIndex[side]) {
        if (!(castleFlags & (1 << right))) continue;
        const int rookSquare = b.CastleRookSquare[right];
        if (!(rooks & Bit(rookSquare))) continue;
        assert(king & RankMask[RankOf(base)]);
        const CastlePath& path = CastlePaths.Path[LowestSquare(king) - base][rookSquare - base];
        if (b.AllPieces & (path.MustBeEmpty << base)) continue;
        const Bitboard occupied = b.AllPieces ^ Bit(rookSquare);
        bool safe = true;
        for (Bitboard s = path.KingPath << base; s && safe; s &= s - 1)
            safe = !SquareAttacked(b, LowestSquare(s), side, occupied, ~Bitboard(0));
        if (!safe) continue;
        const int to = b.Chess960 ? rookSquare : CastlingKingTarget(king, Bit(rookSquare));
        if (index < MaxMoves) Order[index] = CastleOrderValue;
        index = AddMove(index, king, Bit(to), NoPromotion);
    }
    return index;
}

int MoveList::GenerateAllMoves(int side, const ChessBoard* board, int castleFlags) {
    assert(side == White || side == Black);
    Board = board;
    int index = GenKnightCaptures(side, 0);
    index = GenBishopCaptures(side, index);
    index = GenRookCaptures(side, index);
    index = GenQueenCaptures(side, index);
    index = GenKingCaptures(side, index);
    index = GenKnights(side, index);
    index = GenBishops(side, index);
    index = GenRooks(side, index);
    index = GenQueens(side, index);
    index = GenCastle(side, index, castleFlags);
    index = GenKings(side, index);
    index = GenPawns(side, index);
    NumMoves = index;
    return index;
}

// Captures by the most valuable pieces first; the pawn moves include the
// quiet pushes, where the quiescence search stops.
int MoveList::GenerateQuiesceMoves(int side, const ChessBoard* board) {
    assert(side == White || side == Black);
    Board = board;
    int index = GenQueenCaptures(side, 0);
    index = GenRookCaptures(side, index);
    index = GenKnightCaptures(side, index);
    index = GenBishopCaptures(side, index);
    index = GenPawns(side, index);
    return GenKingCaptures(side, index);
}
