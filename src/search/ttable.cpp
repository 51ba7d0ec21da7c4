// The transposition table: buckets of three slots keyed by the full 128-bit
// hash code, probed before a node is searched and filled after.
#include <algorithm>
#include <cassert>

#include "platform/platform.h"
#include "search/search.h"

// One bucket fills one cache line, so a probe costs a single memory access.
// In the default table (2^21 buckets) and larger ones every key of a bucket
// has the same low 21 bits of its lower half (they chose the bucket), so a
// slot keeps only the lower half's higher bits and packs the entry's small
// fields into the low ones:
//
//   Lower[i]  bits 21-63  the lower half's bits 21-63
//             bit  20     written since the bucket was last emptied
//             bit  19     live: the age mark is above 0 (written, and not aged since)
//             bits 16-18  bound
//             bits  0-15  move code, read back sign-extended
//
// In a table of fewer buckets the index leaves some of bits 0-20 out; the
// value word keeps them above the value itself:
//
//   Value[i]  bits 18-31  the key's bits 0-20 that the bucket index leaves out
//             bits  0-17  the value, read back sign-extended (|value| < 2^17)
//
// The probe asks of an age mark only whether it is above 0, so one bit
// keeps it. A slot never written reads as the all-zero slot: the key (0, 0),
// move 0, an upper bound of 0 at depth 0, not live.
//
// A clear only advances the table's generation: a bucket that carries an
// older one is emptied when it is next used, as if the clear had zeroed it.
struct alignas(64) TTBucket {
    uint64_t Upper[3];
    uint64_t Lower[3];
    int32_t Value[3];
    int8_t Depth[3]; // low byte of the depth
    uint8_t Generation;
};
static_assert(sizeof(TTBucket) == 64);

namespace {

constexpr uint64_t IndexBits = TranspositionTables::DefaultMask;
constexpr uint64_t MoveBits = 0xFFFF;
constexpr int BoundShift = 16;
constexpr uint64_t LiveBit = uint64_t(1) << 19;
constexpr uint64_t WrittenBit = uint64_t(1) << 20;
static_assert((MoveBits | uint64_t(7) << BoundShift | LiveBit | WrittenBit) == IndexBits);

constexpr int ValueBits = 18;
constexpr uint32_t ValueMask = (uint32_t(1) << ValueBits) - 1;

// The bits of the key's low 21 that a bucket index of `mask` leaves out,
// moved down to bit 0 (at most 14 of them: the smallest table has 2^7 buckets).
uint32_t KeyTag(uint64_t lower, uint64_t mask) {
    const uint64_t left = IndexBits & ~mask;
    return left ? static_cast<uint32_t>((lower & left) >> __builtin_ctzll(left)) : 0;
}

// Whether slot i holds the key: written with it, or never written while the
// key is (0, 0), the key of a zeroed slot.
bool Holds(const TTBucket& b, int i, uint64_t upper, uint64_t lower, uint64_t mask) {
    return b.Upper[i] == upper && ((b.Lower[i] ^ lower) & ~IndexBits) == 0 &&
           (static_cast<uint32_t>(b.Value[i]) >> ValueBits) == KeyTag(lower, mask) &&
           ((b.Lower[i] & WrittenBit) || lower == 0);
}

int ValueOf(const TTBucket& b, int i) {
    return static_cast<int32_t>(static_cast<uint32_t>(b.Value[i]) << (32 - ValueBits)) >>
           (32 - ValueBits);
}

int MoveOf(const TTBucket& b, int i) { return static_cast<int16_t>(b.Lower[i] & MoveBits); }
int BoundOf(const TTBucket& b, int i) { return static_cast<int>(b.Lower[i] >> BoundShift) & 7; }
bool IsLive(const TTBucket& b, int i) { return b.Lower[i] & LiveBit; }

void CopySlot(TTBucket& b, int from, int to) {
    b.Upper[to] = b.Upper[from];
    b.Lower[to] = b.Lower[from];
    b.Value[to] = b.Value[from];
    b.Depth[to] = b.Depth[from];
}

// The cut-off a live slot allows at `depth` in the window, or ProbeNoCut.
int CutOff(const TTBucket& b, int i, int depth, int alpha, int beta, int* value) {
    if (b.Depth[i] < depth) return ProbeNoCut;
    const int bound = BoundOf(b, i);
    if (bound == ExactBound) {
        *value = ValueOf(b, i);
        return ProbeExact;
    }
    if (bound == UpperBound && ValueOf(b, i) <= alpha) {
        *value = alpha;
        return ProbeAlphaCut;
    }
    if (bound == LowerBound && ValueOf(b, i) >= beta) {
        *value = beta;
        return ProbeBetaCut;
    }
    return ProbeNoCut;
}

// A live upper bound below beta: deep enough, it says a null move would fail.
int NullMoveHint(const TTBucket& b, int i, int depth, int beta, int reduction, int result) {
    if (BoundOf(b, i) != UpperBound || ValueOf(b, i) >= beta) return result;
    return b.Depth[i] >= depth - reduction ? ProbeNoNull : ProbeNoCut;
}

} // namespace

TranspositionTables PositionCache;

TranspositionTables::TranspositionTables() {
    // Zero pages: "vorn -h" or a perft run never touches the table's memory.
    // Zeroed buckets are empty ones of generation 0.
    Buckets = static_cast<TTBucket*>(AllocateZeroedPages(DefaultBuckets * sizeof(TTBucket)));
    BucketCount = Buckets ? DefaultBuckets : 0;
}

TranspositionTables::~TranspositionTables() {
    FreeZeroedPages(Buckets, BucketCount * sizeof(TTBucket));
}

TTBucket& TranspositionTables::CurrentBucket(uint64_t lower) {
    const uint64_t index = static_cast<uint32_t>(lower) & Mask;
    assert(index < BucketCount);
    TTBucket& b = Buckets[index];
    if (b.Generation != Generation) {
        b = TTBucket{};
        b.Generation = Generation;
    }
    return b;
}

bool TranspositionTables::Resize(int64_t megabytes) {
    const uint64_t bytes = static_cast<uint64_t>(std::max<int64_t>(megabytes, 1)) << 20;
    uint64_t mask = BucketMasks[0];
    for (uint64_t candidate : BucketMasks)
        if ((candidate + 1) * sizeof(TTBucket) <= bytes) mask = candidate;
    // The key tag above a value holds at most 14 bits: at least 2^7 buckets.
    mask = std::max<uint64_t>(mask, 127);
    if (mask == Mask && Buckets) return true;
    const uint64_t count = mask == DefaultMask ? DefaultBuckets : mask + 1;
    // The system would promise more and end the engine when it is used.
    if (count * sizeof(TTBucket) > PhysicalMemoryBytes() / 2) return false;
    auto* buckets = static_cast<TTBucket*>(AllocateZeroedPages(count * sizeof(TTBucket)));
    if (!buckets) return false;
    FreeZeroedPages(Buckets, BucketCount * sizeof(TTBucket));
    Buckets = buckets;
    BucketCount = count;
    Mask = mask;
    Generation = 0;
    return true;
}

int64_t TranspositionTables::Megabytes() const {
    return static_cast<int64_t>((BucketCount * sizeof(TTBucket)) >> 20);
}

void TranspositionTables::ClearTranspositionTables() {
    WriteLogFile("Clearing Transposition Tables\n");
    // Once the generations wrap around, an old bucket could pass for a
    // current one: then the pages go back to zero for real.
    if (++Generation == 0) ZeroPages(Buckets, BucketCount * sizeof(TTBucket));
}

void TranspositionTables::MapMemory() {
    constexpr size_t PageBytes = 4096;
    auto* bytes = reinterpret_cast<volatile unsigned char*>(Buckets);
    for (size_t i = 0; i < BucketCount * sizeof(TTBucket); i += PageBytes) bytes[i] = bytes[i];
}

void TranspositionTables::AgeTranspositionTables() {
    for (uint64_t index = 0; index < BucketCount; ++index) {
        TTBucket& b = Buckets[index];
        if (b.Generation != Generation) continue;
        for (uint64_t& lower : b.Lower) lower &= ~LiveBit;
    }
}

void TranspositionTables::InsertTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                    int move, int value, int bound) {
    assert(bound >= UpperBound && bound <= ExactBound);
    TTBucket& b = CurrentBucket(lower);
    // Mate scores are stored relative to this node's depth.
    if (value > 109800)
        value += depth;
    else if (value <= -109801)
        value -= depth;
    CopySlot(b, 1, 2);
    int slot = 1;
    if (!IsLive(b, 0) || (Holds(b, 0, upper, lower, Mask) && b.Depth[0] <= depth)) {
        CopySlot(b, 0, 1);
        slot = 0;
    }
    b.Upper[slot] = upper;
    b.Lower[slot] = (lower & ~IndexBits) | WrittenBit | LiveBit |
                    static_cast<uint64_t>(bound) << BoundShift | static_cast<uint16_t>(move);
    // The tag goes above the value: the value's sign is in its 18 low bits.
    assert(value > -(1 << (ValueBits - 1)) && value < (1 << (ValueBits - 1)));
    b.Value[slot] = static_cast<int32_t>(KeyTag(lower, Mask) << ValueBits |
                                         (static_cast<uint32_t>(value) & ValueMask));
    b.Depth[slot] = static_cast<int8_t>(depth);
}

int TranspositionTables::SearchTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                   int alpha, int beta, int* value, int* move) {
    TTBucket& b = CurrentBucket(lower);
    const int reduction = depth <= 5 ? 2 : 3;
    int result = ProbeNoCut;
    int bestDepth = -1;
    for (int i = 0; i < 3; ++i) {
        if (!Holds(b, i, upper, lower, Mask)) continue;
        // Slot 0's move always; a later slot's when it was searched deeper.
        if (i == 0 || b.Depth[i] > bestDepth) {
            *move = MoveOf(b, i);
            bestDepth = b.Depth[i];
        }
        if (!IsLive(b, i)) continue;
        result = NullMoveHint(b, i, depth, beta, reduction, result);
        const int cut = CutOff(b, i, depth, alpha, beta, value);
        // (A cut-off would renew slot 0's age mark, which is live already.)
        if (cut != ProbeNoCut) {
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
