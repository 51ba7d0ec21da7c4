// Portable bit scans and the bit-grid display used when debugging.
#include <cassert>
#include <cstdio>

#include "board/board.h"

// 1 + index of the lowest set bit, by halving the search range.
int MybitScanForward(Bitboard b) {
    assert(b);
    int index = 1;
    if (!(b & 0xFFFFFFFFULL)) {
        b >>= 32;
        index += 32;
    }
    if (!(b & 0xFFFFULL)) {
        b >>= 16;
        index += 16;
    }
    if (!(b & 0xFFULL)) {
        b >>= 8;
        index += 8;
    }
    while (!(b & 1)) {
        b >>= 1;
        ++index;
    }
    return index;
}

int SimpleBitCount(Bitboard b) {
    int count = 0;
    for (; b; b &= b - 1) ++count;
    return count;
}

void DisplayBit(int index, Bitboard b) { std::fputs((b >> index) & 1 ? "1 " : "- ", stdout); }

void Displaybits(Bitboard b) {
    DisplayGrid([b](int square) { DisplayBit(square, b); });
    std::fflush(stdout);
}
