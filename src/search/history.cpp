// The history table and the repetition record: the search's small services.
#include <algorithm>
#include <iterator>

#include "platform/platform.h"
#include "search/search.h"

SearchWorker::SearchWorker(Engine& engine, bool helper)
    : Owner(engine), Table(engine.Table), Helper(helper) {}

void SearchWorker::ClearHistory() {
    HistoryMax = 0;
    for (auto& row : History) std::fill(std::begin(row), std::end(row), 0);
}

void SearchWorker::ForgetGame() {
    ClearHistory();
    for (auto& killers : Killers) killers[0] = killers[1] = 0;
    Eval.PawnTable.Clear();
}

void SearchWorker::AddHistory(int side, int move, int depth) {
    int32_t& counter = History[side][move];
    counter += depth * depth;
    if (counter > HistoryMax) HistoryMax = counter;
    // Halving keeps the counters, read shifted by 7 bits, below the capture band.
    if (counter > 0x10000) {
        HistoryMax >>= 1;
        for (int32_t& c : History[side]) c >>= 1;
    }
}

void MoveHistory::InsertHashCodeMoveHistory(Bitboard upper, Bitboard lower) {
    if (NumMoves >= 0 && NumMoves < GameRecordLength) {
        Upper[NumMoves] = upper;
        Lower[NumMoves] = lower;
    }
    ++NumMoves;
    // Said once as the record fills up, not again at every node beyond.
    if (NumMoves == 591) LogPrintf("MAJOR ERROR: NumMoves > 590 in InsertHashCodeMoveHistor \n");
    if (NumMoves < 0) LogPrintf("MAJOR ERROR: NumMoves < 0 in InsertHashCodeMoveHistor \n");
}

int MoveHistory::ThreeFoldRepDetection(int n, Bitboard upper, Bitboard lower) const {
    // Past the capacity the latest positions are not stored: no repetition is known.
    if (NumMoves > GameRecordLength) return 0;
    const int lo = std::max(NumMoves - n, 0);
    int count = -1;
    for (int i = NumMoves - 1; i >= lo; i -= 2)
        if (Upper[i] == upper && Lower[i] == lower) ++count;
    return count;
}
