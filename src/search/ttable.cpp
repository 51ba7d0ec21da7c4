// The transposition table: buckets of three slots keyed by the full 128-bit
// hash code, probed before a node is searched and filled after.
#include <algorithm>
#include <atomic>
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
// Threads read and write the buckets without locks, word by word, so a slot
// may be read while another thread rewrites it and mix the words of two
// entries. The upper half of the key is therefore stored exclusive-or the
// slot's other words: a slot whose words do not come from one write decodes
// to another key and is not found. (Two writes of one position differ in
// Lower's bits 0-20 and in the value and depth, which the check packs into
// bits 24-63, so no mix of them can cancel out.)
//
// A clear only advances the table's generation: a bucket that carries an
// older one is emptied when it is next used, as if the clear had zeroed it.
struct alignas(64) TTBucket {
    uint64_t Check[3]; // the upper half of the key ^ Lower ^ the value and depth
    uint64_t Lower[3];
    int32_t Value[3];
    int8_t Depth[3]; // low byte of the depth
    uint8_t Generation;
};
static_assert(sizeof(TTBucket) == TranspositionTable::BucketBytes);

namespace {

constexpr uint64_t IndexBits = TranspositionTable::DefaultMask;
constexpr uint64_t MoveBits = 0xFFFF;
constexpr int BoundShift = 16;
constexpr uint64_t LiveBit = uint64_t(1) << 19;
constexpr uint64_t WrittenBit = uint64_t(1) << 20;
static_assert((MoveBits | uint64_t(7) << BoundShift | LiveBit | WrittenBit) == IndexBits);

constexpr int ValueBits = 18;
constexpr uint32_t ValueMask = (uint32_t(1) << ValueBits) - 1;

// Every access to a bucket's words is atomic (and relaxed: the check above,
// not the order of the accesses, is what keeps a mixed slot out).
template <typename T> T Load(const T& word) {
    return std::atomic_ref<T>(const_cast<T&>(word)).load(std::memory_order_relaxed);
}
template <typename T> void Store(T& word, T value) {
    std::atomic_ref<T>(word).store(value, std::memory_order_relaxed);
}

// One slot as read from the bucket, its key decoded.
struct Slot {
    uint64_t Upper = 0, Lower = 0;
    int32_t Value = 0;
    int8_t Depth = 0;
};

uint64_t CheckBits(uint64_t lower, int32_t value, int8_t depth) {
    return lower ^ (uint64_t(static_cast<uint32_t>(value)) << 32) ^
           (uint64_t(static_cast<uint8_t>(depth)) << 24);
}

Slot ReadSlot(const TTBucket& b, int i) {
    Slot s;
    const uint64_t check = Load(b.Check[i]);
    s.Lower = Load(b.Lower[i]);
    s.Value = Load(b.Value[i]);
    s.Depth = Load(b.Depth[i]);
    s.Upper = check ^ CheckBits(s.Lower, s.Value, s.Depth);
    return s;
}

void WriteSlot(TTBucket& b, int i, const Slot& s) {
    Store(b.Check[i], s.Upper ^ CheckBits(s.Lower, s.Value, s.Depth));
    Store(b.Lower[i], s.Lower);
    Store(b.Value[i], s.Value);
    Store(b.Depth[i], s.Depth);
}

// The bits of the key's low 21 that a bucket index of `mask` leaves out,
// moved down to bit 0 (at most 14 of them: the smallest table has 2^7 buckets).
uint32_t KeyTag(uint64_t lower, uint64_t mask) {
    const uint64_t left = IndexBits & ~mask;
    return left ? static_cast<uint32_t>((lower & left) >> __builtin_ctzll(left)) : 0;
}

// Whether the slot holds the key: written with it, or never written while
// the key is (0, 0), the key of a zeroed slot.
bool Holds(const Slot& s, uint64_t upper, uint64_t lower, uint64_t mask) {
    return s.Upper == upper && ((s.Lower ^ lower) & ~IndexBits) == 0 &&
           (static_cast<uint32_t>(s.Value) >> ValueBits) == KeyTag(lower, mask) &&
           ((s.Lower & WrittenBit) || lower == 0);
}

int ValueOf(const Slot& s) {
    return static_cast<int32_t>(static_cast<uint32_t>(s.Value) << (32 - ValueBits)) >>
           (32 - ValueBits);
}

int MoveOf(const Slot& s) { return static_cast<int16_t>(s.Lower & MoveBits); }
int BoundOf(const Slot& s) { return static_cast<int>(s.Lower >> BoundShift) & 7; }
bool IsLive(const Slot& s) { return s.Lower & LiveBit; }

// A mate score moved `plies` further from its origin: a win grows by them,
// a loss falls by them.
int ShiftMate(int value, int plies) {
    if (value > TableMateBound) return value + plies;
    if (value < -TableMateBound) return value - plies;
    return value;
}

// The cut-off a live slot allows at `depth` in the window, or ProbeNoCut;
// `value` is the slot's, counted from the root. A bound answers with the
// window's edge, not with what it stored.
int CutOff(const Slot& s, int value, int depth, int alpha, int beta, int* out) {
    if (s.Depth < depth) return ProbeNoCut;
    const int bound = BoundOf(s);
    if (bound == ExactBound) {
        *out = value;
        return ProbeExact;
    }
    if (bound == UpperBound && value <= alpha) {
        *out = alpha;
        return ProbeAlphaCut;
    }
    if (bound == LowerBound && value >= beta) {
        *out = beta;
        return ProbeBetaCut;
    }
    return ProbeNoCut;
}

// A live upper bound below beta (`value` counted from the root): deep
// enough, it says a null move would fail.
int NullMoveHint(const Slot& s, int value, int depth, int beta, int reduction, int result) {
    if (BoundOf(s) != UpperBound || value >= beta) return result;
    return s.Depth >= depth - reduction ? ProbeNoNull : ProbeNoCut;
}

} // namespace

TranspositionTable::TranspositionTable() {
    // Zero pages: "vorn -h" or a perft run never touches the table's memory.
    // Zeroed buckets are empty ones of generation 0.
    Buckets = static_cast<TTBucket*>(AllocateZeroedHugePages(DefaultBuckets * sizeof(TTBucket)));
    BucketCount = Buckets ? DefaultBuckets : 0;
}

TranspositionTable::~TranspositionTable() {
    FreeZeroedPages(Buckets, BucketCount * sizeof(TTBucket));
}

TTBucket& TranspositionTable::CurrentBucket(uint64_t lower) {
    const uint64_t index = static_cast<uint32_t>(lower) & Mask;
    assert(index < BucketCount);
    TTBucket& b = Buckets[index];
    if (Load(b.Generation) != Generation) {
        for (int i = 0; i < 3; ++i) WriteSlot(b, i, Slot{});
        Store(b.Generation, Generation);
    }
    return b;
}

bool TranspositionTable::Resize(int64_t megabytes) {
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
    auto* buckets = static_cast<TTBucket*>(AllocateZeroedHugePages(count * sizeof(TTBucket)));
    if (!buckets) return false;
    FreeZeroedPages(Buckets, BucketCount * sizeof(TTBucket));
    Buckets = buckets;
    BucketCount = count;
    Mask = mask;
    Generation = 0;
    return true;
}

int64_t TranspositionTable::Megabytes() const {
    return static_cast<int64_t>((BucketCount * sizeof(TTBucket)) >> 20);
}

void TranspositionTable::ClearTranspositionTables() {
    WriteLogFile("Clearing Transposition Tables\n");
    // Once the generations wrap around, an old bucket could pass for a
    // current one: then the pages go back to zero for real.
    if (++Generation == 0) ZeroPages(Buckets, BucketCount * sizeof(TTBucket));
}

void TranspositionTable::MapMemory() { TouchPages(Buckets, BucketCount * sizeof(TTBucket)); }

void TranspositionTable::AgeTranspositionTables() {
    for (uint64_t index = 0; index < BucketCount; ++index) {
        TTBucket& b = Buckets[index];
        if (Load(b.Generation) != Generation) continue;
        for (int i = 0; i < 3; ++i) {
            Slot s = ReadSlot(b, i);
            s.Lower &= ~LiveBit;
            WriteSlot(b, i, s);
        }
    }
}

void TranspositionTable::InsertTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                   int ply, int move, int value, int bound) {
    assert(bound >= UpperBound && bound <= ExactBound);
    TTBucket& b = CurrentBucket(lower);
    value = ShiftMate(value, ply);
    const Slot first = ReadSlot(b, 0);
    WriteSlot(b, 2, ReadSlot(b, 1));
    int slot = 1;
    if (!IsLive(first) || (Holds(first, upper, lower, Mask) && first.Depth <= depth)) {
        WriteSlot(b, 1, first);
        slot = 0;
    }
    Slot entry;
    entry.Upper = upper;
    entry.Lower = (lower & ~IndexBits) | WrittenBit | LiveBit |
                  static_cast<uint64_t>(bound) << BoundShift | static_cast<uint16_t>(move);
    // The tag goes above the value: the value's sign is in its 18 low bits.
    assert(value > -(1 << (ValueBits - 1)) && value < (1 << (ValueBits - 1)));
    entry.Value = static_cast<int32_t>(KeyTag(lower, Mask) << ValueBits |
                                       (static_cast<uint32_t>(value) & ValueMask));
    entry.Depth = static_cast<int8_t>(depth);
    WriteSlot(b, slot, entry);
}

int TranspositionTable::SearchTranspositionTables(uint64_t upper, uint64_t lower, int depth,
                                                  int ply, int alpha, int beta, int* value,
                                                  int* move) {
    const TTBucket& b = CurrentBucket(lower);
    const int reduction = depth <= 5 ? 2 : 3;
    int result = ProbeNoCut;
    int bestDepth = -1;
    for (int i = 0; i < 3; ++i) {
        const Slot s = ReadSlot(b, i);
        if (!Holds(s, upper, lower, Mask)) continue;
        // Slot 0's move always; a later slot's when it was searched deeper.
        if (i == 0 || s.Depth > bestDepth) {
            *move = MoveOf(s);
            bestDepth = s.Depth;
        }
        if (!IsLive(s)) continue;
        const int rootValue = ShiftMate(ValueOf(s), -ply);
        result = NullMoveHint(s, rootValue, depth, beta, reduction, result);
        const int cut = CutOff(s, rootValue, depth, alpha, beta, value);
        // (A cut-off would renew slot 0's age mark, which is live already.)
        if (cut != ProbeNoCut) return cut;
        if (i == 2) return result;
    }
    return ProbeNoCut;
}

int TranspositionTable::Hashfull() const {
    constexpr uint64_t SampleBuckets = 1000;
    const uint64_t sampled = std::min(SampleBuckets, BucketCount);
    if (sampled == 0) return 0;
    uint64_t used = 0;
    for (uint64_t index = 0; index < sampled; ++index) {
        const TTBucket& b = Buckets[index];
        if (Load(b.Generation) != Generation) continue;
        for (int i = 0; i < 3; ++i) used += (Load(b.Lower[i]) & WrittenBit) != 0;
    }
    return static_cast<int>(used * 1000 / (3 * sampled));
}
