// The transposition table against a plain model of it: buckets of three
// slots that hold the whole 128-bit key and every field at full width, zeroed
// by a clear. Long random runs of inserts, probes, clears and agings over a
// few crowded buckets must give the same result codes, values and moves from
// both. Then the table under threads that write and read it at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "search/search.h"

namespace {

struct ModelSlot {
    uint64_t Upper = 0, Lower = 0;
    int32_t Move = 0;
    uint8_t Bound = 0;
    int8_t Age = 0;
    int32_t Value = 0;
    int8_t Depth = 0;

    bool Holds(uint64_t upper, uint64_t lower) const { return Upper == upper && Lower == lower; }
};

// The table's rules written out slot by slot, as simply as they can be.
class ModelTable {
  public:
    explicit ModelTable(uint64_t mask) : Mask(mask) {}
    uint64_t Mask;

    void Clear() { buckets.clear(); }

    void Age() {
        for (auto& [index, bucket] : buckets)
            for (ModelSlot& slot : bucket) slot.Age = 0;
    }

    // Mates are kept counted from the node at `ply`.
    void Insert(uint64_t upper, uint64_t lower, int depth, int ply, int move, int value,
                int bound) {
        ModelSlot* slot = Bucket(lower);
        if (value > 109800)
            value += ply;
        else if (value < -109800)
            value -= ply;
        const ModelSlot entry{upper, lower, static_cast<int16_t>(move), static_cast<uint8_t>(bound),
                              0,     value, static_cast<int8_t>(depth)};
        slot[2] = slot[1];
        if (slot[0].Age == 0 || (slot[0].Holds(upper, lower) && slot[0].Depth <= depth)) {
            slot[1] = slot[0];
            slot[0] = entry;
            slot[0].Age = 2;
        } else {
            slot[1] = entry;
            slot[1].Age = 4;
        }
    }

    int Probe(uint64_t upper, uint64_t lower, int depth, int ply, int alpha, int beta, int* value,
              int* move) {
        ModelSlot* slot = Bucket(lower);
        const int reduction = depth <= 5 ? 2 : 3;
        int result = ProbeNoCut, bestDepth = -1;
        for (int i = 0; i < 3; ++i) {
            ModelSlot& s = slot[i];
            if (!s.Holds(upper, lower)) continue;
            if (i == 0 || s.Depth > bestDepth) {
                *move = s.Move;
                bestDepth = s.Depth;
            }
            if (s.Age <= 0) continue;
            // Counted from the root again before any comparison.
            const int fromRoot = s.Value > 109800    ? s.Value - ply
                                 : s.Value < -109800 ? s.Value + ply
                                                     : s.Value;
            if (s.Bound == UpperBound && fromRoot < beta)
                result = s.Depth >= depth - reduction ? ProbeNoNull : ProbeNoCut;
            int cut = ProbeNoCut;
            if (s.Depth >= depth) {
                if (s.Bound == ExactBound) {
                    *value = fromRoot;
                    cut = ProbeExact;
                } else if (s.Bound == UpperBound && fromRoot <= alpha) {
                    *value = alpha;
                    cut = ProbeAlphaCut;
                } else if (s.Bound == LowerBound && fromRoot >= beta) {
                    *value = beta;
                    cut = ProbeBetaCut;
                }
            }
            if (cut != ProbeNoCut) {
                if (i == 0) s.Age = 2;
                return cut;
            }
            if (i == 2) return result;
        }
        return ProbeNoCut;
    }

  private:
    std::map<uint32_t, ModelSlot[3]> buckets;

    ModelSlot* Bucket(uint64_t lower) { return buckets[static_cast<uint32_t>(lower) & Mask]; }
};

// Keys crowded into a few buckets (the first and the last among them), with
// halves that differ only above the bucket bits, and the all-zero key that a
// cleared slot holds.
class KeyPool {
  public:
    // A table of fewer buckets also sees keys that differ just above its index.
    KeyPool(std::mt19937_64& random, uint64_t mask) {
        const uint64_t buckets[] = {0, 1, mask};
        const uint64_t highs[] = {0, uint64_t(1) << 63, random() << 21,
                                  (mask + 1) << (random() % 3)};
        const uint64_t uppers[] = {0, random()};
        for (uint64_t bucket : buckets)
            for (uint64_t high : highs)
                for (uint64_t upper : uppers) keys.push_back({upper, high | bucket});
    }
    std::pair<uint64_t, uint64_t> Pick(std::mt19937_64& random) const {
        return keys[random() % keys.size()];
    }

  private:
    std::vector<std::pair<uint64_t, uint64_t>> keys;
};

int Pick(std::mt19937_64& random, std::initializer_list<int> choices) {
    return choices.begin()[random() % choices.size()];
}

// The default table, a small one (the key bits above its index kept beside
// the value) and a large one.
TEST(TranspositionTable, FollowsTheModelThroughRandomRuns) {
    TranspositionTable table;
    for (uint64_t seed = 1; seed <= 21; ++seed) {
        const int64_t megabytes[] = {128, 1, 256};
        ASSERT_TRUE(table.Resize(megabytes[seed % 3]));
        std::mt19937_64 random(seed);
        const KeyPool pool(random, table.Mask);
        ModelTable model(table.Mask);
        table.ClearTranspositionTables();
        for (int step = 0; step < 3000; ++step) {
            const auto [upper, lower] = pool.Pick(random);
            // Depths from below the horizon (null-move stores) to past a byte.
            const int depth = static_cast<int>(random() % 20) - 4 + (random() % 50 == 0 ? 250 : 0);
            // The same position stored and probed at other plies.
            const int ply = static_cast<int>(random() % 12) + (random() % 50 == 0 ? 180 : 0);
            const int value = Pick(random, {0, 35, -35, 300, 109800, -109800, 109801, -109801,
                                            110000 - 3, -(110000 - 7), 110000, -110000,
                                            static_cast<int>(random() % 2001) - 1000});
            // Agings walk the whole table, so they are rare.
            const int kind = static_cast<int>(random() % 1500);
            if (kind < 600) {
                const int move = Pick(
                    random, {0, 12 * 64 + 28, 4095, 40000, -5, static_cast<int>(random() % 4096)});
                const int bound = static_cast<int>(random() % 3);
                table.InsertTranspositionTables(upper, lower, depth, ply, move, value, bound);
                model.Insert(upper, lower, depth, ply, move, value, bound);
            } else if (kind < 1485) {
                const int alpha = value - Pick(random, {1, 0, 50, 400});
                const int beta = alpha + Pick(random, {1, 2, 300});
                int tableValue = -77, tableMove = -77, modelValue = -77, modelMove = -77;
                const int tableResult = table.SearchTranspositionTables(
                    upper, lower, depth, ply, alpha, beta, &tableValue, &tableMove);
                const int modelResult =
                    model.Probe(upper, lower, depth, ply, alpha, beta, &modelValue, &modelMove);
                ASSERT_EQ(tableResult, modelResult) << "seed " << seed << " step " << step;
                ASSERT_EQ(tableValue, modelValue) << "seed " << seed << " step " << step;
                ASSERT_EQ(tableMove, modelMove) << "seed " << seed << " step " << step;
            } else if (kind == 1485) {
                table.AgeTranspositionTables();
                model.Age();
            } else {
                table.ClearTranspositionTables();
                model.Clear();
            }
        }
    }
}

// An entry is gone after any number of clears, also when as many clears
// have passed as a small generation counter can count.
TEST(TranspositionTable, ClearsForgetEveryEarlierEntry) {
    TranspositionTable table;
    const uint64_t upper = 0x0123456789ABCDEF, lower = 0xFEDCBA9876543210;
    for (int clears : {1, 2, 255, 256, 257, 511, 512, 513, 1000}) {
        table.InsertTranspositionTables(upper, lower, 7, 0, 100, 50, ExactBound);
        for (int i = 0; i < clears; ++i) table.ClearTranspositionTables();
        int value = -1, move = -1;
        EXPECT_EQ(table.SearchTranspositionTables(upper, lower, 1, 0, -1000, 1000, &value, &move),
                  ProbeNoCut)
            << "after " << clears;
        EXPECT_EQ(move, -1) << "after " << clears;
        EXPECT_EQ(value, -1) << "after " << clears;
    }
}

// Sizes as "memory N" and the Hash option ask for them: the largest list
// mask that fits, the default at 128 MB, the table emptied only by a change.
TEST(TranspositionTable, ResizesToTheLargestMaskThatFits) {
    TranspositionTable table;
    const struct {
        int64_t megabytes;
        uint64_t mask;
    } cases[] = {{128, TranspositionTable::DefaultMask},
                 {1, 16383},
                 {127, 0xFFFFF},
                 {256, 0x3FFFFF},
                 {300, 0x3FFFFF},
                 {0, 16383}};
    for (const auto& c : cases) {
        ASSERT_TRUE(table.Resize(c.megabytes)) << c.megabytes;
        EXPECT_EQ(table.Mask, c.mask) << c.megabytes;
        EXPECT_LE(table.Megabytes(), std::max<int64_t>(c.megabytes, 1)) << c.megabytes;
    }
    ASSERT_TRUE(table.Resize(128));
    EXPECT_EQ(table.BucketCount, TranspositionTable::DefaultBuckets);
    table.InsertTranspositionTables(5, 9, 3, 0, 77, -1234, ExactBound);
    ASSERT_TRUE(table.Resize(128)); // no change, no loss
    int value = 0, move = 0;
    EXPECT_EQ(table.SearchTranspositionTables(5, 9, 3, 0, -5000, 5000, &value, &move), ProbeExact);
    EXPECT_EQ(value, -1234);
    ASSERT_TRUE(table.Resize(64));
    value = move = 0;
    EXPECT_EQ(table.SearchTranspositionTables(5, 9, 3, 0, -5000, 5000, &value, &move), ProbeNoCut);
    EXPECT_EQ(move, 0);
}

// Threads store and probe keys crowded into one bucket, each store with a
// fresh move whose value and depth follow from the move and the key. A
// probe that cuts off must give a value that belongs to its move and its
// key: a slot mixed from two writes would not.
TEST(TranspositionTable, ConcurrentWritersNeverShowAMixedEntry) {
    TranspositionTable table;
    ASSERT_TRUE(table.Resize(1));
    constexpr int KeyCount = 3;
    uint64_t uppers[KeyCount], lowers[KeyCount];
    std::mt19937_64 keys(7);
    for (int k = 0; k < KeyCount; ++k) {
        uppers[k] = keys();
        lowers[k] = (keys() << 21) | 1;
    }
    const auto valueOf = [](int key, int move) { return (move * 7 + key * 1013) % 60000 - 30000; };
    const auto depthOf = [](int key, int move) { return (move + key) % 40 + 1; };

    constexpr int Threads = 4, Steps = 1000000;
    std::vector<int> mixed(Threads, 0), found(Threads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937_64 random(100 + t);
            for (int step = 0; step < Steps; ++step) {
                const int k = static_cast<int>(random() % KeyCount);
                if (random() % 2) {
                    const int move = static_cast<int>(random() % 4096);
                    table.InsertTranspositionTables(uppers[k], lowers[k], depthOf(k, move), 0, move,
                                                    valueOf(k, move), ExactBound);
                    continue;
                }
                int value = 0, move = -1;
                if (table.SearchTranspositionTables(uppers[k], lowers[k], 0, 0, -100000, 100000,
                                                    &value, &move) != ProbeExact)
                    continue;
                ++found[t];
                if (value != valueOf(k, move)) ++mixed[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < Threads; ++t) {
        EXPECT_EQ(mixed[t], 0) << "thread " << t;
        EXPECT_GT(found[t], Steps / 10) << "thread " << t << " found too few entries to judge";
    }
}

} // namespace
