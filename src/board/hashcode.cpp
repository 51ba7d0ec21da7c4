// Zobrist hash codes. The randoms come from a fixed lagged Fibonacci sequence,
// so codes are the same in every run.
#include <cassert>

#include "board/board.h"

Bitboard LPStable[12][64];
Bitboard UPStable[12][64];
Bitboard CastleCode[16];
Bitboard CastleRookCode[4][8];
Bitboard WtoMove;
Bitboard BtoMove;

namespace {

constexpr uint32_t SeedTable[55] = {
    1410651636, 3012776752, 3497475623, 2892145026, 1571949714, 3253082284, 3489895018, 387949491,
    2597396737, 1981903553, 3160251843, 129444464,  1851443344, 4156445905, 224604922,  1455067070,
    3953493484, 1460937157, 2528362617, 317430674,  3229354360, 117491133,  832845075,  1961600170,
    1321557429, 747750121,  545747446,  810476036,  503334515,  4088144633, 2824216555, 3738252341,
    3493754131, 3672533954, 29494241,   1180928407, 4213624418, 33062851,   3221315737, 1145213552,
    2957984897, 4078668503, 2262661702, 65478801,   2527208841, 1960622036, 315685891,  1196037864,
    804614524,  1421733266, 2017105031, 3882325900, 810735053,  384606609,  2393861397,
};

// Two consecutive draws, the first as the high half.
Bitboard Random64() {
    const Bitboard high = BetterRandom32();
    return (high << 32) | BetterRandom32();
}

} // namespace

// Additive lagged Fibonacci generator with lags 24 and 55.
uint32_t BetterRandom32() {
    static uint32_t y[55];
    static int k = 54, j = 23;
    static bool init = true;
    if (init) {
        init = false;
        for (int i = 0; i < 55; ++i) y[i] = SeedTable[i];
    }
    const uint32_t result = y[k] += y[j];
    if (--j < 0) j = 54;
    if (--k < 0) k = 54;
    return result;
}

void initPStable() {
    for (int piece = 0; piece < 12; ++piece) {
        for (int s = 0; s < 64; ++s) {
            UPStable[piece][s] = Random64();
            LPStable[piece][s] = Random64();
        }
    }
    for (Bitboard& code : CastleCode) code = Random64();
    BtoMove = Random64();
    WtoMove = Random64();
    // Drawn after the others, which keep the values standard chess has always had.
    for (auto& codes : CastleRookCode)
        for (Bitboard& code : codes) code = Random64();
}

void genpiecehashcode(const ChessBoard& board, Bitboard* upper, Bitboard* lower) {
    Bitboard up = 0, low = 0;
    for (int code = 0; code < 12; ++code) {
        for (Bitboard b = board.PieceBits(code); b; b &= b - 1) {
            const int s = LowestSquare(b);
            up ^= UPStable[code][s];
            low ^= LPStable[code][s];
        }
    }
    // A right names its side of the king; its rook, when not in the corner,
    // is told by the game's castling squares.
    for (int right = 0; right < 4 && board.Chess960; ++right) {
        const int rookSquare = board.CastleRookSquare[right];
        if (rookSquare == StandardCastleRookSquare[right]) continue;
        up ^= CastleRookCode[right][FileOf(rookSquare)];
        low ^= CastleRookCode[right][FileOf(rookSquare)];
    }
    *upper = up;
    *lower = low;
}

void genhashcode(int side, int castleFlags, Bitboard* upper, Bitboard* lower,
                 const ChessBoard* board) {
    assert(castleFlags >= 0 && castleFlags <= AllCastling);
    Bitboard up, low;
    genpiecehashcode(*board, &up, &low);
    const Bitboard rest = SideAndCastleCode(side, castleFlags);
    *upper = up ^ rest;
    *lower = low ^ rest;
}

void genpawnhashcode(int, const ChessBoard& board, uint32_t* code) {
    uint32_t key = 0;
    for (Bitboard p = board.WPawns; p; p &= p - 1)
        key ^= static_cast<uint32_t>(LPStable[PawnCode][LowestSquare(p)]);
    for (Bitboard p = board.BPawns; p; p &= p - 1)
        key ^= static_cast<uint32_t>(LPStable[PawnCode + BlackCodeOffset][LowestSquare(p)]);
    // The cached structure depends on the king squares (shelter zones, rook-pawn
    // penalties), so the kings are part of the key as MakeMove keeps it.
    if (board.WKing) key ^= static_cast<uint32_t>(LPStable[KingCode][LowestSquare(board.WKing)]);
    if (board.BKing)
        key ^=
            static_cast<uint32_t>(LPStable[KingCode + BlackCodeOffset][LowestSquare(board.BKing)]);
    *code = key;
}
