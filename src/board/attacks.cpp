// Attack sets. The sliding sets come from precomputed rays: a ray is cut at its
// first occupied square, which stays in the set whatever its colour, exactly
// as a square-by-square walk that stops at a blocker or the board edge.
#include <cassert>

#include "board/board.h"

namespace {

// Directions: the four diagonals first, then the four lines.
enum Direction : int { UpLeft, UpRight, DownRight, DownLeft, Up, Right, Down, Left };
constexpr int FileStep[8] = {-1, 1, 1, -1, 0, 1, 0, -1};
constexpr int RankStep[8] = {1, 1, -1, -1, 1, 0, -1, 0};
// Rays towards higher square numbers find their first blocker with the lowest bit.
constexpr bool Ascending[8] = {true, true, false, false, true, true, false, false};

constexpr Bitboard StepsFrom(int s, const int (*steps)[2], int count) {
    Bitboard b = 0;
    for (int i = 0; i < count; ++i) {
        int f = FileOf(s) + steps[i][0], r = RankOf(s) + steps[i][1];
        if (f >= 0 && f < 8 && r >= 0 && r < 8) b |= Bit(r * 8 + f);
    }
    return b;
}

constexpr int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                   {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int KingSteps[8][2] = {{0, 1},  {1, 1},   {1, 0},  {1, -1},
                                 {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};

struct AttackTables {
    Bitboard Knight[64];
    Bitboard King[64];
    Bitboard Ray[8][64];
};

constexpr AttackTables BuildAttackTables() {
    AttackTables t{};
    for (int s = 0; s < 64; ++s) {
        t.Knight[s] = StepsFrom(s, KnightSteps, 8);
        t.King[s] = StepsFrom(s, KingSteps, 8);
        for (int d = 0; d < 8; ++d) {
            int f = FileOf(s) + FileStep[d], r = RankOf(s) + RankStep[d];
            for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += FileStep[d], r += RankStep[d])
                t.Ray[d][s] |= Bit(r * 8 + f);
        }
    }
    return t;
}

constexpr AttackTables Tables = BuildAttackTables();

static_assert(Tables.Knight[A1] == (Bit(B3) | Bit(C2)));
static_assert(Tables.Knight[H8] == (Bit(G6) | Bit(F7)));
static_assert(Tables.King[A1] == (Bit(A2) | Bit(B1) | Bit(B2)));
static_assert(Tables.Ray[UpRight][A1] == 0x8040201008040200ULL);

// The ray from s in direction d, cut after its first occupied square.
inline Bitboard RayAttacks(int d, int s, Bitboard occupied) {
    Bitboard ray = Tables.Ray[d][s];
    Bitboard blockers = ray & occupied;
    if (!blockers) return ray;
    int first = Ascending[d] ? LowestSquare(blockers) : BSR(blockers);
    return ray ^ Tables.Ray[d][first];
}

// Union of the rays in directions [first, first + 4) that meet `target`.
inline Bitboard CheckRays(int first, int s, Bitboard occupied, Bitboard target) {
    Bitboard result = 0;
    for (int d = first; d < first + 4; ++d) {
        Bitboard ray = RayAttacks(d, s, occupied);
        if (ray & target) result |= ray;
    }
    return result;
}

} // namespace

Bitboard ChessBoard::KnightMask(Bitboard s) const { return s ? Tables.Knight[LowestSquare(s)] : 0; }

Bitboard ChessBoard::KingMask(Bitboard s) const { return s ? Tables.King[LowestSquare(s)] : 0; }

Bitboard ChessBoard::BishopMask(Bitboard s) const {
    if (!s) return 0;
    int sq = LowestSquare(s);
    return RayAttacks(UpLeft, sq, AllPieces) | RayAttacks(UpRight, sq, AllPieces) |
           RayAttacks(DownRight, sq, AllPieces) | RayAttacks(DownLeft, sq, AllPieces);
}

Bitboard ChessBoard::RookMask(Bitboard s) const {
    if (!s) return 0;
    int sq = LowestSquare(s);
    return RayAttacks(Up, sq, AllPieces) | RayAttacks(Right, sq, AllPieces) |
           RayAttacks(Down, sq, AllPieces) | RayAttacks(Left, sq, AllPieces);
}

Bitboard ChessBoard::BishopCheckMask(Bitboard s, Bitboard target) const {
    return s ? CheckRays(UpLeft, LowestSquare(s), AllPieces, target) : 0;
}

Bitboard ChessBoard::RookCheckMask(Bitboard s, Bitboard target) const {
    return s ? CheckRays(Up, LowestSquare(s), AllPieces, target) : 0;
}

int ChessBoard::InCheck(Bitboard s, int colour) const {
    assert(s);
    if (colour == Black) {
        Bitboard pawnSquares = ((s & ~FileMask[7]) >> 7) | ((s & ~FileMask[0]) >> 9);
        if (pawnSquares & WPawns) return 1;
        if (KnightMask(s) & WKnights) return 1;
        if (BishopMask(s) & (WBishops | WQueens)) return 1;
        if (RookMask(s) & (WRooks | WQueens)) return 1;
        return (KingMask(s) & WKing) ? 1 : 0;
    }
    Bitboard pawnSquares = ((s & ~FileMask[0]) << 7) | ((s & ~FileMask[7]) << 9);
    if (pawnSquares & BPawns) return 1;
    if (KnightMask(s) & BKnights) return 1;
    if (BishopMask(s) & (BBishops | BQueens)) return 1;
    if (RookMask(s) & (BRooks | BQueens)) return 1;
    return (KingMask(s) & BKing) ? 1 : 0;
}

Bitboard ChessBoard::NorthAttacks(Bitboard gen, Bitboard empty) const {
    gen |= empty & (gen << 8);
    empty &= empty << 8;
    gen |= empty & (gen << 16);
    empty &= empty << 16;
    gen |= empty & (gen << 32);
    return gen << 8;
}

Bitboard ChessBoard::SouthAttacks(Bitboard gen, Bitboard empty) const {
    gen |= empty & (gen >> 8);
    empty &= empty >> 8;
    gen |= empty & (gen >> 16);
    empty &= empty >> 16;
    gen |= empty & (gen >> 32);
    return gen >> 8;
}

// Squares a rook or queen on s reaches that do not hold a piece of its own colour.
int ChessBoard::RookAttackCount(Bitboard s) const {
    Bitboard own = (s & (WRooks | WQueens)) ? WhitePieces : BlackPieces;
    return PopCount(RookMask(s) & ~own);
}
