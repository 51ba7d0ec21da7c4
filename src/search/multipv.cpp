// MultiPV: the root's best lines, one pass of the root search for each,
// every pass leaving out the moves the passes before it took.
#include <algorithm>
#include <vector>

#include "search/search.h"

namespace {

// The root's line as the root search reads and writes it (row 0 of PV).
RootLine LineOfRoot(const PVEntry* row, int length, int depth, int score) {
    RootLine line;
    line.Depth = depth;
    line.Score = score;
    line.Length = std::clamp(length, 1, MaxSearchPly);
    std::copy(row, row + line.Length, line.Moves);
    return line;
}

} // namespace

int SearchWorker::SearchableRootMoves(const ChessBoard& board) const {
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    bool seen[4096] = {};
    int searchable = 0;
    for (int i = 0; i < count; ++i) {
        const int code = MoveCode(list.From[i], list.To[i]);
        if (seen[code] || !SearchesRootMove(code)) continue;
        seen[code] = true;
        ++searchable;
    }
    return searchable;
}

RootAnswer SearchWorker::SearchRootLines(const ChessBoard& board, int depth) {
    std::vector<RootLine> found;
    RootAnswer first;
    int bestChanges = 0, runnerUp = WorstScore, legalMoves = 0;
    uint8_t failingLow = 0;
    ExcludedCount = 0;
    for (int k = 0; k < RootLineTarget; ++k) {
        // Each pass tries first the move of its line at the depth before.
        if (k < LineCount) {
            std::copy(Lines[k].Moves, Lines[k].Moves + Lines[k].Length, PV[0]);
            RootPVLength = Lines[k].Length;
        }
        const RootAnswer pass = SearchTreeRoot(board, depth);
        if (k == 0) {
            // The first pass is the search without MultiPV: its move and the
            // figures the time control reads are those of the iteration.
            first = pass;
            bestChanges = BestChanges;
            runnerUp = RunnerUp;
            failingLow = FailingLow;
            legalMoves = RootLegalMoves;
        }
        if (Abort || StopSearch || TimeUp || BookMove || TableRoot) break;
        found.push_back(LineOfRoot(PV[0], RootPVLength, depth, pass.Score));
        ExcludedMoves[ExcludedCount++] = PV[0][0].Move;
    }
    ExcludedCount = 0;
    PassesDone = static_cast<int>(found.size());
    BestChanges = bestChanges;
    RunnerUp = runnerUp;
    FailingLow = failingLow;
    RootLegalMoves = legalMoves;
    // An unfinished first pass answers as the root does without MultiPV.
    if (found.empty()) return first;

    // A complete iteration's lines best first. After a stop, the lines this
    // depth finished come first, then those of the depth before for other moves.
    if (PassesDone == RootLineTarget)
        std::stable_sort(found.begin(), found.end(),
                         [](const RootLine& a, const RootLine& b) { return a.Score > b.Score; });
    for (int k = 0; k < LineCount && static_cast<int>(found.size()) < RootLineTarget; ++k) {
        const auto sameFirstMove = [&](const RootLine& line) {
            return line.Moves[0].Move == Lines[k].Moves[0].Move;
        };
        if (std::none_of(found.begin(), found.end(), sameFirstMove)) found.push_back(Lines[k]);
    }
    LineCount = static_cast<int>(found.size());
    std::copy(found.begin(), found.end(), Lines);

    const RootLine& best = Lines[0];
    std::copy(best.Moves, best.Moves + best.Length, PV[0]);
    RootPVLength = best.Length;
    return RootAnswer{best.Score, GameMoveOf(best.Moves[0])};
}
