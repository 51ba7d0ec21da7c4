// The win/draw/loss model. For a score of s centipawns
//
//     win  = 1 / (1 + exp((a - s) / b))
//     loss = 1 / (1 + exp((a + s) / b))
//     draw = 1 - win - loss
//
// where a is the score at which a win is as likely as not and b how quickly
// the result turns with the score, both polynomials in the material. The
// constants are scripts/fit-wdl's maximum-likelihood fit to
// scripts/data/wdl-selfplay.txt, 3000 games of Vorn against itself at 20000
// nodes a move; the file's header says how they were played. A change to the
// evaluation or the search that moves the scores asks for new games and a
// new fit.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "search/search.h"
#include "search/wdl.h"

namespace {

// The material is clamped: below 8 (kings with a few pawns or one piece) the
// results follow it no further, and the fit clamped there beat those clamped
// at 0, 4 and 12; above 78 (after promotions) a polynomial would be read where
// it was never fitted.
constexpr int LowMaterial = 8;
constexpr int HighMaterial = 78;

// a(t) and b(t), cubics in centipawns, t = clamped material / HighMaterial, the
// coefficient of t^0 first.
constexpr double EvenScore[] = {412.675, -1504.119, 2287.240, -1123.008};
constexpr double Spread[] = {133.872, -266.255, 490.119, -214.996};

template <size_t Size> constexpr double Polynomial(const double (&coefficients)[Size], double t) {
    double value = 0;
    for (size_t i = Size; i-- > 0;) value = value * t + coefficients[i];
    return value;
}

// With a and b positive the win and loss shares of every score add up to
// less than one, so that rounding each of them leaves a draw share of at
// least 0.
constexpr bool PositiveAtEveryMaterial() {
    for (int m = LowMaterial; m <= HighMaterial; ++m) {
        const double t = double(m) / HighMaterial;
        if (Polynomial(EvenScore, t) <= 0 || Polynomial(Spread, t) <= 0) return false;
    }
    return true;
}
static_assert(PositiveAtEveryMaterial());

// The win share in permille; the loss share is the same at the negated
// score, which makes the model exactly symmetric.
int WinPermille(double centipawns, double a, double b) {
    return static_cast<int>(std::lround(1000 / (1 + std::exp((a - centipawns) / b))));
}

} // namespace

int WdlMaterial(const ChessBoard& board) {
    return PopCount(board.WPawns | board.BPawns) +
           3 * PopCount(board.WKnights | board.BKnights | board.WBishops | board.BBishops) +
           5 * PopCount(board.WRooks | board.BRooks) + 9 * PopCount(board.WQueens | board.BQueens);
}

WinDrawLoss ScoreToWinDrawLoss(int score, int material) {
    const int mate = MateInMoves(score);
    if (mate > 0) return {1000, 0, 0};
    if (mate < 0) return {0, 0, 1000};
    const double centipawns = score == StalemateValue ? 0 : score / 10.0;
    const double t = double(std::clamp(material, LowMaterial, HighMaterial)) / HighMaterial;
    const double a = Polynomial(EvenScore, t), b = Polynomial(Spread, t);
    const int win = WinPermille(centipawns, a, b), loss = WinPermille(-centipawns, a, b);
    assert(win + loss <= 1000);
    return {win, 1000 - win - loss, loss};
}
