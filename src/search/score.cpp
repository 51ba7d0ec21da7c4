// The forms in which the protocols show a score.
#include "search/score.h"

#include <algorithm>

int MateInMoves(int score) {
    if (score == StalemateValue || (score <= MateScoreFloor && score >= -MateScoreFloor)) return 0;
    if (score > 0) return std::max((MateValue - score + 1) / 2, 1);
    return -std::max((MateValue + score) / 2, 1);
}

int ThinkingScore(int score) {
    const int moves = MateInMoves(score);
    if (moves > 0) return MateScoreFloor + moves;
    if (moves < 0) return -MateScoreFloor + moves;
    return score == StalemateValue ? 0 : score / 10;
}
