// The evaluation weights that are data rather than code: piece-square tables,
// mobility by number of target squares, rooks on the far ranks, and the pawn
// tables by file or by rank. Move ordering reads a few of them too.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

using SquareTable = std::array<int, 64>;

// Turns a grid written as a diagram from White's side (first row the eighth
// rank) into a table indexed by square, and a White table into its Black twin:
// both are the exchange of rank r with rank 7 - r.
constexpr SquareTable FlipRanks(const SquareTable& t) {
    SquareTable flipped{};
    for (int s = 0; s < 64; ++s) flipped[s] = t[s ^ 56];
    return flipped;
}

constexpr bool IsMirrorSymmetric(const SquareTable& t) {
    for (int s = 0; s < 64; ++s)
        if (t[s] != t[s ^ 56] || t[s] != t[s ^ 7]) return false;
    return true;
}

// clang-format off
// ---------------------------------------------------------------------------
// Piece-square tables. Each colour reads its own table with the raw square.
// ---------------------------------------------------------------------------

inline constexpr SquareTable WPawnSquare = FlipRanks({
    0, 0, 0, 0,   0,   0, 0, 0,
    0, 0, 0, 60,  60,  0, 0, 0,
    0, 0, 0, 60,  60,  0, 0, 0,
    0, 0, 0, 152, 152, 0, 0, 0,
    0, 0, 0, 187, 187, 0, 0, 0,
    0, 3, 0, 112, 112, 0, 3, 0,
    0, 0, 0, -10, -10, 0, 0, 0,
    0, 0, 0, 0,   0,   0, 0, 0,
});

inline constexpr SquareTable WKnightSquare = FlipRanks({
    -250, -250, -200, -150, -150, -200, -250, -250,
    -200, -100, -50,  -50,  -50,  -50,  -100, -200,
    -100, 50,   30,   40,   40,   30,   50,   -100,
    -100, 50,   30,   80,   80,   30,   50,   -100,
    -100, 0,    60,   100,  100,  60,   0,    -100,
    -150, -100, 0,    50,   50,   0,    -100, -150,
    -200, -200, -150, -100, -100, -150, -200, -200,
    -400, -400, -300, -250, -250, -300, -400, -400,
});

inline constexpr SquareTable KnightEnding = FlipRanks({
    -250, -250, -250, -250, -250, -250, -250, -250,
    -250, -50,  -50,  -50,  -50,  -50,  -50,  -250,
    -250, -50,  50,   50,   50,   50,   -50,  -250,
    -250, -50,  50,   150,  150,  50,   -50,  -250,
    -250, -50,  50,   150,  150,  50,   -50,  -250,
    -250, -50,  50,   50,   50,   50,   -50,  -250,
    -250, -50,  -50,  -50,  -50,  -50,  -50,  -250,
    -250, -250, -250, -250, -250, -250, -250, -250,
});

inline constexpr SquareTable WKnightPost = FlipRanks({
    0, 0, 0,   0,   0,   0,   0, 0,
    0, 0, 64,  90,  90,  64,  0, 0,
    0, 0, 120, 160, 160, 120, 0, 0,
    0, 0, 80,  120, 120, 80,  0, 0,
    0, 0, 60,  80,  80,  60,  0, 0,
    0, 0, 0,   0,   0,   0,   0, 0,
    0, 0, 0,   0,   0,   0,   0, 0,
    0, 0, 0,   0,   0,   0,   0, 0,
});

inline constexpr SquareTable WBishopSquare = FlipRanks({
    -100, -100, -70,  -40,  -40,  -70,  -100, -100,
    -100, 25,   -30,  0,    0,    -30,  25,   -100,
    -60,  -20,  50,   20,   20,   50,   -20,  -60,
    -30,  5,    20,   80,   80,   20,   5,    -30,
    -30,  3,    20,   80,   80,   20,   3,    -30,
    -60,  -20,  50,   20,   20,   50,   -20,  -60,
    -100, 25,   -30,  0,    0,    -30,  25,   -100,
    -200, -200, -200, -150, -150, -200, -200, -200,
});

inline constexpr SquareTable BishopEnding = FlipRanks({
    -150, -150, -120, -100, -100, -120, -150, -150,
    -150, -50,  0,    10,   10,   0,    -50,  -150,
    -120, 0,    10,   30,   30,   10,   0,    -120,
    -100, 10,   20,   60,   60,   20,   10,   -100,
    -100, 10,   20,   60,   60,   20,   10,   -100,
    -120, 0,    10,   30,   30,   10,   0,    -120,
    -150, -50,  0,    10,   10,   0,    -50,  -150,
    -150, -150, -120, -100, -100, -120, -150, -150,
});

inline constexpr SquareTable WKingSquare = FlipRanks({
    -700, -700, -700, -700, -700, -700, -700, -700,
    -700, -700, -700, -700, -700, -700, -700, -700,
    -600, -600, -600, -600, -600, -600, -600, -600,
    -500, -500, -500, -500, -500, -500, -500, -500,
    -400, -400, -400, -400, -400, -400, -400, -400,
    -100, -100, -100, -100, -100, -100, -100, -100,
    -100, -100, -100, -120, -120, -120, -100, -100,
    180,  210,  130,  -210, -210, 130,  210,  180,
});

inline constexpr SquareTable KingEnding = FlipRanks({
    -250, -150, -80, -50, -50, -80, -150, -250,
    -150, -70,  12,  12,  12,  12,  -70,  -150,
    -80,  12,   12,  32,  32,  12,  12,   -80,
    -50,  12,   32,  80,  80,  32,  12,   -50,
    -50,  12,   32,  80,  80,  32,  12,   -50,
    -80,  12,   12,  32,  32,  12,  12,   -80,
    -150, -70,  12,  12,  12,  12,  -70,  -150,
    -250, -150, -80, -50, -50, -80, -150, -250,
});

// clang-format on

inline constexpr SquareTable BPawnSquare = FlipRanks(WPawnSquare);
inline constexpr SquareTable BKnightSquare = FlipRanks(WKnightSquare);
inline constexpr SquareTable BKnightPost = FlipRanks(WKnightPost);
inline constexpr SquareTable BBishopSquare = FlipRanks(WBishopSquare);
inline constexpr SquareTable BKingSquare = FlipRanks(WKingSquare);

static_assert(WKnightSquare[B1] == -400 && BKnightSquare[B8] == -400);
static_assert(WPawnSquare[E4] == 187 && BPawnSquare[E5] == 187 && BPawnSquare[G6] == 3);
static_assert(WKingSquare[C2] == -100 && WKingSquare[D2] == -120 && WKingSquare[F2] == -120);
static_assert(BKingSquare[G8] == 210 && BKingSquare[D7] == -120);
static_assert(WKnightPost[D6] == 160 && BKnightPost[D3] == 160 && BKnightPost[D6] == 0);
static_assert(WBishopSquare[B2] == 25 && BBishopSquare[B7] == 25 && WBishopSquare[A1] == -200);
static_assert(IsMirrorSymmetric(KnightEnding) && IsMirrorSymmetric(BishopEnding) &&
              IsMirrorSymmetric(KingEnding));

// ---------------------------------------------------------------------------
// Mobility by number of target squares; entries past a piece's reach are never read.
// ---------------------------------------------------------------------------

inline constexpr int KnightMobility[16] = {-180, -70, -20, 0,   20,  50,  70,  100,
                                           120,  75,  100, 120, 135, 150, 165, 0};
inline constexpr int BishopMobility[16] = {-200, -110, -70, -30, 0,  30, 60, 90,
                                           90,   90,   90,  90,  90, 90, 90, 0};
inline constexpr int RookMobility[16] = {-220, -120, -80, -30, 0,   30,  70,  100,
                                         120,  140,  170, 190, 210, 230, 240, 0};
inline constexpr int QueenMobility[32] = {-140, -120, -100, -80, -60, -40, -20, 0,   20,  40,  60,
                                          80,   100,  120,  140, 160, 180, 200, 220, 240, 260, 280,
                                          280,  280,  280,  280, 280, 280, 280, 0,   0,   0};

// Index: number of the side's rooks on its seventh and eighth ranks together.
inline constexpr int16_t Majorson7[16] = {0,    350,  650,  950, 1250, 1400, 1450, 1500,
                                          1500, 1500, 1500, 0,   0,    0,    0,    0};

// ---------------------------------------------------------------------------
// Pawn tables: by file (a-h), or by rank counted from the pawn's own side
// (1 = starting rank, 6 = one step from promotion).
// ---------------------------------------------------------------------------

inline constexpr int IsolatedPawn[8] = {90, 100, 100, 110, 110, 100, 100, 90};
inline constexpr int OpenFileControl[8] = {185, 185, 190, 200, 200, 190, 185, 185};
inline constexpr int Passers[8] = {0, 40, 80, 160, 270, 550, 1100, 0};
inline constexpr int ProtectedPassers[8] = {0, 50, 90, 170, 300, 600, 1200, 0};
inline constexpr int ConnectedPassers[8] = {0, 60, 100, 180, 320, 640, 1280, 0};
inline constexpr int KingProximityPasserPenalty[8] = {0, 17, 34, 54, 81, 120, 184, 0};

static_assert(QueenMobility[21] == 280 && QueenMobility[28] == 280 && QueenMobility[29] == 0);
static_assert(Majorson7[10] == 1500 && Majorson7[11] == 0);
