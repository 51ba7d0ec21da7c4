// What the search shows while it thinks: the line text of the root's best
// move, the xboard thinking line and the UCI info line.
#include <cstdio>

#include "search/search.h"

void SearchRoutines::LineText(char* out, Bitboard from, Bitboard to, char promotion) const {
    // No move (a root without one answers move code 0): the null move as UCI writes it.
    if (!from || !to || from == to) {
        std::snprintf(out, MaxPVText, " 0000 \n");
        return;
    }
    fillmovestring(out, LowestSquare(from), LowestSquare(to), promotion, PV[0], RootPVLength);
}

void SearchRoutines::PrintThinkingLine(int depth, int score, const char* lineText) const {
    std::printf("%d %d %d %lld %s", depth, score / 10, MainStatus.TimeLastPly,
                static_cast<long long>(NodeCount()), lineText);
    std::fflush(stdout);
}

void SearchRoutines::PrintInfoLine(int depth, int score, bool withTime,
                                   const char* lineText) const {
    std::printf("info depth %d score cp %d", depth, score / 10);
    if (withTime) std::printf(" time %d", MainStatus.TimeLastPly * 1000);
    std::printf(" nodes %lld pv%s", static_cast<long long>(NodeCount()), lineText);
    std::fflush(stdout);
}
