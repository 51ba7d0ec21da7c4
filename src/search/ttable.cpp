// The transposition table: buckets of three slots keyed by the full 128-bit
// hash code, probed before a node is searched and filled after.
#include <cassert>

#include "platform/platform.h"
#include "search/search.h"

TranspositionTables PositionCache;

TranspositionTables::TranspositionTables() {
    // Zero pages: "vorn -h" or a perft run never touches the table's memory.
    Buckets = static_cast<TTBucket*>(AllocateZeroedPages(DefaultBuckets * sizeof(TTBucket)));
    BucketCount = Buckets ? DefaultBuckets : 0;
}

TranspositionTables::~TranspositionTables() {
    FreeZeroedPages(Buckets, BucketCount * sizeof(TTBucket));
}

void TranspositionTables::ClearTranspositionTables() {
    WriteLogFile("Clearing Transposition Tables\n");
    ZeroPages(Buckets, BucketCount * sizeof(TTBucket));
}

void TranspositionTables::AgeTranspositionTables() {
    for (uint64_t i = 0; i < BucketCount; ++i)
        for (TTSlot& slot : Buckets[i].Slot) slot.Age = 0;
}

void TranspositionTables::InsertTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                    int move, int value, int bound) {
    assert((static_cast<uint32_t>(lower) & Mask) < BucketCount);
    TTSlot* slot = BucketOf(lower).Slot;
    // Mate scores are stored relative to this node's depth.
    if (value > 109800)
        value += depth;
    else if (value <= -109801)
        value -= depth;
    const TTSlot entry{upper, lower, static_cast<int16_t>(move), static_cast<uint8_t>(bound),
                       0,     value, static_cast<int8_t>(depth)};
    slot[2] = slot[1];
    const bool samePosition = slot[0].Upper == upper && slot[0].Lower == lower;
    if (slot[0].Age == 0 || (samePosition && slot[0].Depth <= depth)) {
        slot[1] = slot[0];
        slot[0] = entry;
        slot[0].Age = 2;
    } else {
        slot[1] = entry;
        slot[1].Age = 4;
    }
}

namespace {

// The cut-off a live slot allows at `depth` in the window, or ProbeNoCut.
int CutOff(const TTSlot& slot, int depth, int alpha, int beta, int* value) {
    if (slot.Depth < depth) return ProbeNoCut;
    if (slot.Bound == ExactBound) {
        *value = slot.Value;
        return ProbeExact;
    }
    if (slot.Bound == UpperBound && slot.Value <= alpha) {
        *value = alpha;
        return ProbeAlphaCut;
    }
    if (slot.Bound == LowerBound && slot.Value >= beta) {
        *value = beta;
        return ProbeBetaCut;
    }
    return ProbeNoCut;
}

// A live upper bound below beta: deep enough, it says a null move would fail.
int NullMoveHint(const TTSlot& slot, int depth, int beta, int reduction, int result) {
    if (slot.Bound != UpperBound || slot.Value >= beta) return result;
    return slot.Depth >= depth - reduction ? ProbeNoNull : ProbeNoCut;
}

} // namespace

int TranspositionTables::SearchTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                   int alpha, int beta, int* value, int* move) {
    assert((static_cast<uint32_t>(lower) & Mask) < BucketCount);
    TTSlot* slot = BucketOf(lower).Slot;
    const int reduction = depth <= 5 ? 2 : 3;
    int result = ProbeNoCut;
    int bestDepth = -1;
    for (int i = 0; i < 3; ++i) {
        TTSlot& s = slot[i];
        if (s.Upper != upper || s.Lower != lower) continue;
        // Slot 0's move always; a later slot's when it was searched deeper.
        if (i == 0 || s.Depth > bestDepth) {
            *move = s.Move;
            bestDepth = s.Depth;
        }
        if (s.Age <= 0) continue;
        result = NullMoveHint(s, depth, beta, reduction, result);
        const int cut = CutOff(s, depth, alpha, beta, value);
        if (cut != ProbeNoCut) {
            if (i == 0) s.Age = 2;
            ++Hits;
            return cut;
        }
        if (i == 2) {
            ++Misses;
            return result;
        }
    }
    ++Misses;
    return ProbeNoCut;
}
