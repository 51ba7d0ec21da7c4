// The transposition table entry by entry: bounds, windows and depths, which
// entry answers after each store, aging, mate scores stored at one ply and
// probed at another, and the null-move hint.
#include <gtest/gtest.h>

#include "search/search.h"

namespace {

constexpr int Untouched = -777777; // what a probe must leave alone when it has nothing to say

struct Key {
    uint64_t upper, lower;
};
constexpr Key P{0x1111, 0x2222};
constexpr Key Q{0x3333, 0x2222};                // P's bucket and lower half, another upper half
constexpr Key R{0x1111, 0x2222 + (1ull << 40)}; // P's bucket and upper half, another lower half

struct Probe {
    int result, value, move;
};

// A table of its own per test, so no test sees another's entries.
class TableEntries : public testing::Test {
  protected:
    TranspositionTable table;

    void Store(Key k, int depth, int move, int value, int bound, int ply = 0) {
        table.InsertTranspositionTables(k.upper, k.lower, depth, ply, move, value, bound);
    }
    Probe ProbeOf(Key k, int depth, int alpha, int beta, int ply = 0) {
        Probe p{0, Untouched, Untouched};
        p.result = table.SearchTranspositionTables(k.upper, k.lower, depth, ply, alpha, beta,
                                                   &p.value, &p.move);
        return p;
    }
    // A probe of an unknown position: no cut-off, and nothing written.
    void ExpectUnknown(Key k) {
        const Probe p = ProbeOf(k, 0, -1000, 1000);
        EXPECT_EQ(p.result, ProbeNoCut);
        EXPECT_EQ(p.value, Untouched);
        EXPECT_EQ(p.move, Untouched);
    }
};

TEST_F(TableEntries, UnknownPositionAnswersNoCutAndWritesNothing) {
    ExpectUnknown(P);

    // The whole 128-bit key must match, not the bucket or one half of it.
    Store(P, 5, 77, 123, ExactBound);
    ExpectUnknown(Q);
    ExpectUnknown(R);
}

TEST_F(TableEntries, CutOffsByBoundWindowAndDepth) {
    struct Case {
        const char* name;
        int bound, stored, storedDepth;
        int depth, alpha, beta;
        int result, value;
    } cases[] = {
        {"exact at its depth", ExactBound, 123, 5, 5, -1000, 1000, ProbeExact, 123},
        {"exact, shallower probe", ExactBound, 123, 5, 4, -1000, 1000, ProbeExact, 123},
        {"exact, deeper probe", ExactBound, 123, 5, 6, -1000, 1000, ProbeNoCut, Untouched},
        {"lower bound at beta", LowerBound, 300, 4, 4, 0, 300, ProbeBetaCut, 300},
        {"lower bound under beta", LowerBound, 300, 4, 4, 0, 301, ProbeNoCut, Untouched},
        {"lower bound over beta gives beta", LowerBound, 300, 4, 4, 0, 200, ProbeBetaCut, 200},
        {"lower bound, deeper probe", LowerBound, 300, 4, 5, 0, 300, ProbeNoCut, Untouched},
        {"upper bound at alpha", UpperBound, 300, 4, 4, 300, 1000, ProbeAlphaCut, 300},
        {"upper bound under alpha gives alpha", UpperBound, 300, 4, 4, 400, 1000, ProbeAlphaCut,
         400},
        {"upper bound over alpha", UpperBound, 300, 4, 4, 299, 1000, ProbeNoCut, Untouched},
        {"upper bound, deeper probe", UpperBound, 300, 4, 5, 300, 1000, ProbeNoCut, Untouched},
    };
    uint64_t lower = 1;
    for (const Case& c : cases) {
        const Key k{7, ++lower}; // a bucket of its own
        Store(k, c.storedDepth, 1234, c.stored, c.bound);
        const Probe p = ProbeOf(k, c.depth, c.alpha, c.beta);
        EXPECT_EQ(p.result, c.result) << c.name;
        EXPECT_EQ(p.value, c.value) << c.name;
        EXPECT_EQ(p.move, 1234) << c.name << ": the move comes with or without a cut-off";
    }
}

// A bucket keeps the deepest entry of a position in its first slot, out of
// reach of other positions until it ages; other stores take the later
// slots. A probe reads the slots in order and answers from the first that
// cuts, with the move of the deepest.
TEST_F(TableEntries, ReplacementKeepsTheDeepestEntry) {
    struct Step {
        const char* name;
        Key stored;
        int depth, move; // stored exact, with the value 10 * move
        Key probed;
        int probeDepth, value, givenMove;
    } steps[] = {
        {"first store", P, 3, 1, P, 3, 10, 1},
        {"deeper: the new entry answers", P, 5, 2, P, 3, 20, 2},
        {"as deep: the new entry answers", P, 5, 3, P, 5, 30, 3},
        {"shallower: the deeper one still answers first", P, 4, 4, P, 4, 30, 3},
        {"the older entries are not deep enough", P, 4, 5, P, 6, Untouched, 3},
        {"another position takes a later slot", Q, 9, 6, Q, 9, 60, 6},
        {"the deep entry stays", R, 9, 7, P, 5, 30, 3},
        {"and stays", Q, 1, 8, P, 5, 30, 3},
        {"two later stores push it out of the later slots", R, 1, 9, R, 9, Untouched, 9},
    };
    for (const Step& s : steps) {
        Store(s.stored, s.depth, s.move, 10 * s.move, ExactBound);
        const Probe p = ProbeOf(s.probed, s.probeDepth, -1000, 1000);
        EXPECT_EQ(p.value, s.value) << s.name;
        EXPECT_EQ(p.move, s.givenMove) << s.name;
    }
}

TEST_F(TableEntries, AgedEntriesKeepTheirMovesButCutNothing) {
    Store(P, 5, 7, 123, ExactBound);
    table.AgeTranspositionTables();
    Probe p = ProbeOf(P, 5, -1000, 1000);
    EXPECT_EQ(p.result, ProbeNoCut);
    EXPECT_EQ(p.value, Untouched);
    EXPECT_EQ(p.move, 7);

    // An aged first slot gives way even to a shallower store, which then
    // answers first; a probe it cannot answer hands out the deeper entry's move.
    Store(P, 2, 9, 50, ExactBound);
    p = ProbeOf(P, 2, -1000, 1000);
    EXPECT_EQ(p.value, 50);
    EXPECT_EQ(p.move, 9);
    p = ProbeOf(P, 3, -1000, 1000);
    EXPECT_EQ(p.result, ProbeNoCut);
    EXPECT_EQ(p.move, 7);
}

// A mate is stored counted from its node, whatever the depth searched, and
// comes back counted from the root of the probe: a probe at ply 0 shows what
// the table holds. Past 109800 either way a score is a mate, going in and
// coming out alike.
TEST_F(TableEntries, MateScoresCountFromTheNodeThatStoredThem) {
    struct Case {
        int value, storedAt, probedAt, found;
    } cases[] = {
        {110000 - 9, 4, 4, 110000 - 9},
        {110000 - 9, 4, 0, 110000 - 5},
        {110000 - 9, 4, 10, 110000 - 15},
        {-(110000 - 8), 4, 2, -(110000 - 6)},
        {-(110000 - 8), 4, 7, -(110000 - 11)},
        {109801, 4, 0, 109805},
        {109800, 4, 0, 109800},
        {-109801, 4, 0, -109805},
        {-109800, 4, 0, -109800},
        {109801, 0, 3, 109798},
        {-109801, 0, 3, -109798},
        {109800, 0, 3, 109800},
        {35, 4, 9, 35},
    };
    for (const Case& c : cases) {
        Store(P, 6, 0, c.value, ExactBound, c.storedAt);
        const Probe p = ProbeOf(P, 6, -200000, 200000, c.probedAt);
        EXPECT_EQ(p.result, ProbeExact) << c.value << " stored at " << c.storedAt;
        EXPECT_EQ(p.value, c.found)
            << c.value << " stored at " << c.storedAt << ", probed at " << c.probedAt;
    }
}

// A bound on a mate decides a cut-off by the score counted from the probe's
// root, and cuts with the window's edge as it is. Stored at ply 10, a win of
// 110000 - 15 is a mate 5 plies from its node.
TEST_F(TableEntries, MateBoundsCutOnTheScoreCountedFromTheProbe) {
    struct Case {
        const char* name;
        int bound, value, probedAt, alpha, beta;
        int result, found;
    } cases[] = {
        {"win, nearer the root", LowerBound, 110000 - 15, 4, 0, 110000 - 9, ProbeBetaCut,
         110000 - 9},
        {"win, nearer the root, beta beyond", LowerBound, 110000 - 15, 4, 0, 110000 - 8, ProbeNoCut,
         Untouched},
        {"win, deeper", LowerBound, 110000 - 15, 20, 0, 110000 - 20, ProbeNoCut, Untouched},
        {"win, deeper, beta below", LowerBound, 110000 - 15, 20, 0, 110000 - 25, ProbeBetaCut,
         110000 - 25},
        {"loss, deeper", UpperBound, -(110000 - 15), 16, -(110000 - 20), 0, ProbeNoCut, Untouched},
        {"loss, deeper, alpha above", UpperBound, -(110000 - 15), 16, -(110000 - 21), 0,
         ProbeAlphaCut, -(110000 - 21)},
        {"loss, alpha above by a mate", UpperBound, -(110000 - 15), 16, -(110000 - 30), 0,
         ProbeAlphaCut, -(110000 - 30)},
        {"loss, nearer the root", UpperBound, -(110000 - 15), 2, -(110000 - 8), 0, ProbeAlphaCut,
         -(110000 - 8)},
        {"exact win, deeper", ExactBound, 110000 - 15, 13, 0, 1, ProbeExact, 110000 - 18},
    };
    uint64_t lower = 1;
    for (const Case& c : cases) {
        const Key k{9, ++lower}; // a bucket of its own
        Store(k, 4, 0, c.value, c.bound, 10);
        const Probe p = ProbeOf(k, 4, c.alpha, c.beta, c.probedAt);
        EXPECT_EQ(p.result, c.result) << c.name;
        EXPECT_EQ(p.value, c.found) << c.name;
    }

    // The null-move hint reads the bound the same way (the whole bucket holds it).
    for (int i = 0; i < 3; ++i) Store(P, 4, 0, -(110000 - 15), UpperBound, 10);
    EXPECT_EQ(ProbeOf(P, 4, -110000, -(110000 - 20), 16).result, ProbeNoCut);
    EXPECT_EQ(ProbeOf(P, 4, -110000, -(110000 - 22), 16).result, ProbeNoNull);
}

// A live upper bound below beta, deep enough, says a null move would fail;
// the probe reports it only when the position also lies live in slot 2.
TEST_F(TableEntries, NullMoveHintNeedsTheWholeBucket) {
    Store(P, 2, 0, 100, UpperBound);
    Store(P, 3, 0, 100, UpperBound);
    EXPECT_EQ(ProbeOf(P, 3, 50, 200).result, ProbeNoCut) << "slot 2 empty";
    Store(P, 4, 0, 100, UpperBound);
    EXPECT_EQ(ProbeOf(P, 3, 50, 200).result, ProbeNoNull);
    table.AgeTranspositionTables();
    EXPECT_EQ(ProbeOf(P, 3, 50, 200).result, ProbeNoCut) << "aged";
}

// The entry must reach the probe's depth less 2, or less 3 past depth 5.
TEST_F(TableEntries, NullMoveHintDepthAndWindow) {
    constexpr Key S{0x5555, 0x6666}; // a bucket of its own
    for (int i = 0; i < 3; ++i) {
        Store(P, 3, 0, 100, UpperBound);
        Store(S, 2, 0, 100, UpperBound);
    }
    struct Case {
        const char* name;
        Key key;
        int depth, alpha, beta, result;
    } cases[] = {
        {"depth 4 over entries of depth 2", S, 4, 50, 200, ProbeNoNull},
        {"depth 5 over entries of depth 2", S, 5, 50, 200, ProbeNoCut},
        {"depth 6 over entries of depth 3", P, 6, 50, 200, ProbeNoNull},
        {"depth 7 over entries of depth 3", P, 7, 50, 200, ProbeNoCut},
        {"bound not below beta", P, 3, 50, 100, ProbeNoCut},
        {"bound at alpha cuts instead", P, 3, 100, 200, ProbeAlphaCut},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProbeOf(c.key, c.depth, c.alpha, c.beta).result, c.result) << c.name;
}

TEST_F(TableEntries, ClearForgetsEveryEntry) {
    Store(P, 5, 1, 10, ExactBound);
    Store(Q, 5, 2, 20, ExactBound);
    Store(R, 5, 3, 30, ExactBound);
    ProbeOf(P, 5, -1000, 1000);
    table.ClearTranspositionTables();
    for (Key k : {P, Q, R}) ExpectUnknown(k);

    Store(P, 5, 4, 40, ExactBound);
    EXPECT_EQ(ProbeOf(P, 5, -1000, 1000).value, 40) << "usable after clearing";
}

// The share of the sampled buckets' slots in use: what a clear empties
// counts no more, what aging only marks still does, and buckets past the
// sample are not looked at.
TEST_F(TableEntries, HashfullCountsTheSampledSlotsInUse) {
    EXPECT_EQ(table.Hashfull(), 0);
    const auto fill = [&](uint64_t firstBucket, uint64_t buckets) {
        for (uint64_t index = firstBucket; index < firstBucket + buckets; ++index)
            for (uint64_t upper = 1; upper <= 3; ++upper)
                Store(Key{upper, index | (1ull << 40)}, 5, 1, 10, ExactBound);
    };
    fill(0, 500);
    EXPECT_EQ(table.Hashfull(), 500);
    fill(5000, 500);
    EXPECT_EQ(table.Hashfull(), 500) << "past the sample";
    table.AgeTranspositionTables();
    EXPECT_EQ(table.Hashfull(), 500) << "aged entries still fill their slots";
    table.ClearTranspositionTables();
    EXPECT_EQ(table.Hashfull(), 0);
    fill(0, 1000);
    EXPECT_EQ(table.Hashfull(), 1000);
}

} // namespace
