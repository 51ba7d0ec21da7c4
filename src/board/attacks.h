// Attack sets from tables built at compile time. They serve the board's masks
// and, on an occupancy that differs from the board's (a king stepping away, a
// piece lifted off its square), the move generator's legality tests. The
// sliding sets equal a square-by-square walk of each ray that stops after the
// first occupied square: the tests hold the two side by side, on every
// blocker pattern of every line.
// Included by board.h; other subsystems include board.h.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>

#include "board/board.h"

// A line through a square split at the square: the part with lower square
// numbers and the part with higher ones, the square itself in neither.
struct LineHalves {
    Bitboard Lower;
    Bitboard Upper;
};

struct AttackTableSet {
    Bitboard Knight[64];
    Bitboard King[64];
    Bitboard Pawn[2][64];
    LineHalves Lines[64][4];
    Bitboard LineMask[64][4]; // the two halves together
    Bitboard Between[64][64]; // squares strictly between two squares on one line, else 0
    // The sliders' tables, indexed by a square's file or rank and the
    // blockers on the six inner squares of one line, as a 6-bit pattern
    // (bit i: the square i + 1 along the line):
    // the attacked squares of a rank on the first rank,
    uint8_t FirstRank[8][64];
    // the same on every rank, to be cut down to a diagonal,
    Bitboard FirstRankOnEveryRank[8][64];
    // and the attacked squares of the a-file, by rank.
    Bitboard FileA[8][64];
};

// The four lines through a square, as indices of AttackTableSet::Lines.
constexpr int RankLine = 0, FileLine = 1, DiagonalLine = 2, AntiDiagonalLine = 3;

namespace AttackBuild {

constexpr bool OnBoard(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

// Squares reached by single steps (file, rank) from s.
template <std::size_t N> constexpr Bitboard StepTargets(int s, const int (&steps)[N][2]) {
    Bitboard b = 0;
    for (const auto& step : steps)
        if (OnBoard(FileOf(s) + step[0], RankOf(s) + step[1])) b |= Bit(s + step[0] + 8 * step[1]);
    return b;
}

// Squares from s along (df, dr) up to the edge, s excluded.
constexpr Bitboard RayToEdge(int s, int df, int dr) {
    Bitboard b = 0;
    for (int f = FileOf(s) + df, r = RankOf(s) + dr; OnBoard(f, r); f += df, r += dr)
        b |= Bit(r * 8 + f);
    return b;
}

constexpr int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                   {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int KingSteps[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                 {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
// Capture steps of a White and of a Black pawn.
constexpr int PawnSteps[2][2][2] = {{{-1, 1}, {1, 1}}, {{-1, -1}, {1, -1}}};

// The four lines through a square: rank, file, diagonal (a1-h8 sense), anti-diagonal.
constexpr int LineDirections[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};

// The attacked squares of a line of eight, from place `from` (0..7), with the
// inner places 1..6 occupied as `inner` says (bit i: place i + 1), as 8 bits.
constexpr int LineOfEightAttacks(int from, int inner) {
    const int occupied = inner << 1;
    int attacks = 0;
    for (int p = from + 1; p < 8; ++p) {
        attacks |= 1 << p;
        if (occupied & (1 << p)) break;
    }
    for (int p = from - 1; p >= 0; --p) {
        attacks |= 1 << p;
        if (occupied & (1 << p)) break;
    }
    return attacks;
}

// Places 0..7 of a line of eight as the squares of the a-file.
constexpr Bitboard OnFileA(int places) {
    Bitboard b = 0;
    for (int p = 0; p < 8; ++p)
        if (places & (1 << p)) b |= Bit(8 * p);
    return b;
}

constexpr AttackTableSet BuildAttackTables() {
    AttackTableSet t{};
    for (int s = 0; s < 64; ++s) {
        t.Knight[s] = StepTargets(s, KnightSteps);
        t.King[s] = StepTargets(s, KingSteps);
        t.Pawn[White][s] = StepTargets(s, PawnSteps[White]);
        t.Pawn[Black][s] = StepTargets(s, PawnSteps[Black]);
        for (int l = 0; l < 4; ++l) {
            int df = LineDirections[l][0], dr = LineDirections[l][1];
            // Each positive direction (df, dr) leads to higher square numbers.
            t.Lines[s][l] = {RayToEdge(s, -df, -dr), RayToEdge(s, df, dr)};
            t.LineMask[s][l] = t.Lines[s][l].Lower | t.Lines[s][l].Upper;
            for (int sign = -1; sign <= 1; sign += 2) {
                Bitboard between = 0;
                int f = FileOf(s) + sign * df, r = RankOf(s) + sign * dr;
                for (; OnBoard(f, r); f += sign * df, r += sign * dr) {
                    t.Between[s][r * 8 + f] = between;
                    between |= Bit(r * 8 + f);
                }
            }
        }
    }
    for (int place = 0; place < 8; ++place) {
        for (int inner = 0; inner < 64; ++inner) {
            const int attacks = LineOfEightAttacks(place, inner);
            t.FirstRank[place][inner] = static_cast<uint8_t>(attacks);
            t.FirstRankOnEveryRank[place][inner] = attacks * FileMask[0];
            t.FileA[place][inner] = OnFileA(attacks);
        }
    }
    return t;
}

} // namespace AttackBuild

inline constexpr AttackTableSet AttackTables = AttackBuild::BuildAttackTables();

static_assert(AttackTables.Knight[A1] == (Bit(B3) | Bit(C2)));
static_assert(AttackTables.Knight[H8] == (Bit(G6) | Bit(F7)));
static_assert(AttackTables.King[A1] == (Bit(A2) | Bit(B1) | Bit(B2)));
static_assert(AttackTables.Pawn[White][A2] == Bit(B3));
static_assert(AttackTables.Pawn[Black][E7] == (Bit(D6) | Bit(F6)));
static_assert(AttackTables.Between[E1][A5] == (Bit(D2) | Bit(C3) | Bit(B4)));
static_assert(AttackTables.Between[E1][B5] == 0);

// Attacks along one line through s on `occupied`, up to and including the
// nearest blocker on each side. Each gathers the blockers on the line's six
// inner squares into a 6-bit pattern and looks the attacks up:
// - a rank: its inner squares are adjacent bits;
// - a file: moved onto the a-file, its squares a2..a7 (bits 8, 16, .., 48)
//   are carried to bits 58..63 by the multiplication, each by its own
//   partial product (bit 8k meets 2^(50 - 7i) at 58 + i only for k = i + 1),
//   and no two partial products share a bit, so nothing carries;
// - a diagonal has one square per file: multiplied by the b-file, the square
//   of file j reaches bit 57 + j (the top rank, one file right), files b..g
//   land on bits 58..63, and again no two partial products share a bit.
// The rank's attacks, repeated on every rank, cut down to the diagonal are
// the diagonal's attacks, since the diagonal meets each file once and in
// file order.
constexpr Bitboard InnerFileGather = 0x0004081020408000;

constexpr Bitboard RankAttacks(int s, Bitboard occupied) {
    const int inner = static_cast<int>(occupied >> (8 * RankOf(s) + 1)) & 63;
    return Bitboard(AttackTables.FirstRank[FileOf(s)][inner]) << (8 * RankOf(s));
}

constexpr Bitboard FileAttacks(int s, Bitboard occupied) {
    const Bitboard onFileA = (occupied >> FileOf(s)) & FileMask[0];
    const int inner = static_cast<int>((onFileA * InnerFileGather) >> 58);
    return AttackTables.FileA[RankOf(s)][inner] << FileOf(s);
}

constexpr Bitboard DiagonalLineAttacks(int s, int line, Bitboard occupied) {
    const Bitboard diagonal = AttackTables.LineMask[s][line];
    const int inner = static_cast<int>(((occupied & diagonal) * FileMask[1]) >> 58);
    return diagonal & AttackTables.FirstRankOnEveryRank[FileOf(s)][inner];
}

// Attacks along line `line` (RankLine .. AntiDiagonalLine) through s.
constexpr Bitboard LineAttacks(int s, int line, Bitboard occupied) {
    if (line == RankLine) return RankAttacks(s, occupied);
    if (line == FileLine) return FileAttacks(s, occupied);
    return DiagonalLineAttacks(s, line, occupied);
}

constexpr Bitboard BishopAttacks(int s, Bitboard occupied) {
    return DiagonalLineAttacks(s, DiagonalLine, occupied) |
           DiagonalLineAttacks(s, AntiDiagonalLine, occupied);
}

constexpr Bitboard RookAttacks(int s, Bitboard occupied) {
    return RankAttacks(s, occupied) | FileAttacks(s, occupied);
}

static_assert(std::popcount(BishopAttacks(D4, 0)) == 13);
static_assert(FileAttacks(E4, Bit(E2) | Bit(E7) | Bit(E8)) ==
              (Bit(E2) | Bit(E3) | Bit(E5) | Bit(E6) | Bit(E7)));
static_assert(BishopAttacks(C1, Bit(B2) | Bit(E3) | Bit(H6)) == (Bit(B2) | Bit(D2) | Bit(E3)));
static_assert(BishopAttacks(H1, Bit(D5)) == (Bit(G2) | Bit(F3) | Bit(E4) | Bit(D5)));
static_assert(RookAttacks(A1, Bit(A2) | Bit(B1) | Bit(C1)) == (Bit(A2) | Bit(B1)));
static_assert(RookAttacks(H8, 0) == ((FileMask[7] | RankMask[7]) & ~Bit(H8)));

// The pieces of one colour, so that the generators read the board once per side.
struct Army {
    Bitboard Pawns, Knights, Bishops, Rooks, Queens, King, All;
};

inline Army ArmyOf(const ChessBoard& b, int colour) {
    if (colour == White)
        return {b.WPawns, b.WKnights, b.WBishops, b.WRooks, b.WQueens, b.WKing, b.WhitePieces};
    return {b.BPawns, b.BKnights, b.BBishops, b.BRooks, b.BQueens, b.BKing, b.BlackPieces};
}

// Whether square s is attacked by the colour opposite to `colour`, with
// `occupied` as the blockers and `enemyMask` applied to the attacking pawns,
// knights and sliders (to drop one just captured). The king is never masked,
// as MakeMove never removes a king.
inline bool SquareAttacked(const ChessBoard& board, int s, int colour, Bitboard occupied,
                           Bitboard enemyMask) {
    assert(colour == White || colour == Black);
    const Army enemy = ArmyOf(board, colour ^ 1);
    // A slider off every line through s needs no look at the blockers.
    const Bitboard diagonal = (enemy.Bishops | enemy.Queens) & enemyMask;
    const Bitboard straight = (enemy.Rooks | enemy.Queens) & enemyMask;
    const Bitboard* lines = AttackTables.LineMask[s];
    return (AttackTables.Pawn[colour][s] & enemy.Pawns & enemyMask) ||
           (AttackTables.Knight[s] & enemy.Knights & enemyMask) ||
           ((diagonal & (lines[DiagonalLine] | lines[AntiDiagonalLine])) &&
            (BishopAttacks(s, occupied) & diagonal)) ||
           ((straight & (lines[RankLine] | lines[FileLine])) &&
            (RookAttacks(s, occupied) & straight)) ||
           (AttackTables.King[s] & enemy.King);
}

// ---------------------------------------------------------------------------
// The board's masks. A square argument is a one-bit bitboard; 0 gives 0.
// ---------------------------------------------------------------------------

inline Bitboard ChessBoard::KnightMask(Bitboard s) const {
    return s ? AttackTables.Knight[LowestSquare(s)] : 0;
}

inline Bitboard ChessBoard::KingMask(Bitboard s) const {
    return s ? AttackTables.King[LowestSquare(s)] : 0;
}

inline Bitboard ChessBoard::BishopMask(Bitboard s) const {
    return s ? BishopAttacks(LowestSquare(s), AllPieces) : 0;
}

inline Bitboard ChessBoard::RookMask(Bitboard s) const {
    return s ? RookAttacks(LowestSquare(s), AllPieces) : 0;
}

// The rays from s along two lines, each cut at its first blocker, that meet
// `target`. Each half of a line through s is one ray from s.
inline Bitboard RaysMeeting(int s, int firstLine, Bitboard occupied, Bitboard target) {
    Bitboard result = 0;
    for (int l = firstLine; l < firstLine + 2; ++l) {
        const LineHalves& line = AttackTables.Lines[s][l];
        const Bitboard attacks = LineAttacks(s, l, occupied);
        if (attacks & line.Lower & target) result |= attacks & line.Lower;
        if (attacks & line.Upper & target) result |= attacks & line.Upper;
    }
    return result;
}

inline Bitboard ChessBoard::BishopCheckMask(Bitboard s, Bitboard target) const {
    return s ? RaysMeeting(LowestSquare(s), DiagonalLine, AllPieces, target) : 0;
}

inline Bitboard ChessBoard::RookCheckMask(Bitboard s, Bitboard target) const {
    return s ? RaysMeeting(LowestSquare(s), RankLine, AllPieces, target) : 0;
}

// An empty square argument answers 0, as all its masks are empty; it must
// not reach the tables as an index.
inline int ChessBoard::InCheck(Bitboard s, int colour) const {
    return s && SquareAttacked(*this, LowestSquare(s), colour, AllPieces, ~Bitboard(0)) ? 1 : 0;
}
