// The transposition table that every thread of a search shares: what a
// search found about a position, kept for the searches after it.
#pragma once

#include <cstddef>
#include <cstdint>

// Bound kinds of a stored score.
constexpr uint8_t UpperBound = 0; // the search failed low
constexpr uint8_t LowerBound = 1; // the search failed high
constexpr uint8_t ExactBound = 2;

// Probe results.
constexpr int ProbeAlphaCut = 0; // a stored upper bound not above alpha: value = alpha
constexpr int ProbeBetaCut = 1;  // a stored lower bound not below beta: value = beta
constexpr int ProbeExact = 2;    // value = the stored score (a mate counted from the root)
constexpr int ProbeNoCut = 3;
constexpr int ProbeNoNull = 4; // no cut, and a null move is pointless here

// Three slots of one bucket: slot 0 keeps the deepest entry, slot 1 the
// latest other one, slot 2 what slot 1 held before (laid out in ttable.cpp).
struct TTBucket;

// One table serves every thread of a search: inserts and probes may run at
// the same time, and a probe never answers from an entry that another
// thread's write has left half done. Sizing, clearing, aging and mapping
// must not run while a search does.

class TranspositionTable {
  public:
    static constexpr int MaskCount = 24;
    static constexpr uint64_t BucketMasks[MaskCount] = {
        3,        63,       255,      511,       1023,      2047,      4095,      8191,
        16383,    32767,    65535,    0x1FFFF,   0x3FFFF,   0x7FFFF,   0xFFFFF,   0x1FFFFF,
        0x3FFFFF, 0x7FFFFF, 0xFFFFFF, 0x1FFFFFF, 0x3FFFFFF, 0x7FFFFFF, 0xFFFFFFF, 0xFFFFFFFF,
    };
    static constexpr uint64_t DefaultMask = 0x1FFFFF;
    static constexpr uint64_t DefaultBuckets = 0x200003; // the mask's buckets and three spare
    static constexpr size_t BucketBytes = 64;            // one cache line

    TTBucket* Buckets = nullptr;
    uint64_t BucketCount = 0;
    uint64_t Mask = DefaultMask; // the bucket of a key: its lower half's low 32 bits AND this
    // Buckets written under another generation have been cleared since.
    uint8_t Generation = 0;

    // Allocates the default table; its pages are mapped as they are first used.
    TranspositionTable();
    ~TranspositionTable();
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    void ClearTranspositionTables();
    // Sizes the table to the largest mask of BucketMasks whose buckets fit
    // in `megabytes` (128 MB gives the default table); an empty table when
    // it changes size. False, with the table as it was, when the memory
    // cannot be had or passes half the machine's.
    bool Resize(int64_t megabytes);
    // The table's size in megabytes.
    int64_t Megabytes() const;
    // Has the system map the whole table now, before any clock runs: the
    // first touch of its pages during a timed search could cost the move
    // hundreds of milliseconds. The entries stay as they are.
    void MapMemory();
    // Entries keep their moves but can no longer cut the search off.
    void AgeTranspositionTables();
    // The node at `ply` stores its score: a mate is kept counted from the
    // node, and a probe at any ply counts it from the root again.
    void InsertTranspositionTables(uint64_t upper, uint64_t lower, int depth, int ply, int move,
                                   int value, int bound);
    // One of the probe results; writes the value on a cut-off and the best
    // stored move of the position whenever one of its slots is found. A
    // cut-off (ProbeExact or below) is a hit, any other result a miss. The
    // window and the value are the node's at `ply`, mates counted from the root.
    int SearchTranspositionTables(uint64_t upper, uint64_t lower, int depth, int ply, int alpha,
                                  int beta, int* value, int* move);
    // Permille of the entries in use since the last clear, from a sample of
    // the first buckets (UCI "hashfull").
    int Hashfull() const;
    // Starts loading the bucket of a key, so that a probe soon after finds
    // it in the cache instead of waiting for memory.
    void Prefetch(uint64_t lower) const {
        const uint64_t index = static_cast<uint32_t>(lower) & Mask;
        __builtin_prefetch(reinterpret_cast<const char*>(Buckets) + index * BucketBytes);
    }

  private:
    // The bucket of a key, emptied first when a clear has passed since it was written.
    TTBucket& CurrentBucket(uint64_t lower);
};
