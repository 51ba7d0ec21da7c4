// The benchmarks: fixed positions searched under the current settings, with
// node counts, speed and the hit rates of the transposition and pawn tables.
#include <algorithm>
#include <cstdio>

#include "eval/eval.h"
#include "platform/platform.h"
#include "search/search.h"
#include "tools/tools.h"

const char* const BenchPositions[BenchPositionCount] = {
    "3r1k2/4npp1/1ppr3p/p6P/P2PPPP1/1NR5/5K2/2R5 w - - 0 0",
    "rnbqkb1r/p3pppp/1p6/2ppP3/3N4/2P5/PPP1QPPP/R1B1KB1R w KQkq - 0 0",
    "4b3/p3kp2/6p1/3pP2p/2pP1P2/4K1P1/P3N2P/8 w - - 0 0",
    "r3r1k1/ppqb1ppp/8/4p1NQ/8/2P5/PP3PPP/R3R1K1 b - - 0 0",
    "2r2rk1/1bqnbpp1/1p1ppn1p/pP6/N1P1P3/P2B1N1P/1B2QPP1/R2R2K1 b - - 0 0",
    "r1bqk2r/pp2bppp/2p5/3pP3/P2Q1P2/2N1B3/1PP3PP/R4RK1 b kq - 0 0",
};

namespace {

struct NodeTotals {
    int64_t Interior = 0, LeafInterior = 0, Quiesce = 0;
};

// The two search drivers: iterative deepening under the request, and one
// root search to its fixed depth.
enum class SearchDriver { Deepening, ExactDepth };

// Searches benchmark position `number` (1..6) from a clean history and
// repetition record, and clears the table after it.
void RunPosition(Engine& engine, const SearchRequest& request, SearchReporter& reporter, int number,
                 SearchDriver driver, NodeTotals& totals) {
    LogPrintf("======== Pos %d =======\n", number);
    SetupBoard(BenchPositions[number - 1]);
    engine.Main.ClearHistory();
    const SearchResult result =
        driver == SearchDriver::Deepening
            ? engine.Think(MainBoard, MoveHistory(), request, reporter)
            : engine.Main.SearchExactDepth(MoveHistory(), MainBoard, request.FixedDepth);
    totals.Interior += result.Counts.InteriorNodes;
    totals.LeafInterior += result.Counts.LeafInteriorNodes;
    totals.Quiesce += result.Counts.QuiesceNodes;
    engine.Table.ClearTranspositionTables();
}

int64_t NodesPerSecond(int64_t nodes, int64_t elapsed) { return nodes / elapsed * 1000; }

// Maps the tables before the clock starts, as a search under an interface
// finds them: the first touch of their pages is the system's work, not the
// search's. Returns the milliseconds that took.
int64_t MapTables(Engine& engine) {
    const int64_t start = ClockMs();
    engine.Table.MapMemory();
    engine.Main.Eval.PawnTable.MapMemory();
    return ClockMs() - start;
}

void PrintStatistics(Engine& engine, int64_t elapsed, const NodeTotals& totals) {
    if (elapsed <= 0) elapsed = 1;
    const int64_t total = totals.Interior + totals.Quiesce;
    std::printf("    Time Interior Nodes Quiesce Nodes Total Nodes        NPS\n");
    std::printf("%8lld%12lld%14lld%14lld%12lld\n", static_cast<long long>(elapsed),
                static_cast<long long>(totals.Interior), static_cast<long long>(totals.Quiesce),
                static_cast<long long>(total),
                static_cast<long long>(NodesPerSecond(total, elapsed)));
    std::fflush(stdout);
    std::printf("Leaf Interior Nodes searched = %lld\n",
                static_cast<long long>(totals.LeafInterior));
    const long long hits = engine.Main.CacheHits, misses = engine.Main.CacheMisses;
    std::printf("Transposition Table Hits %lld  Misses  %lld", hits, misses);
    // No probe at all reads as one miss.
    if (hits == 0 && misses == 0) engine.Main.CacheMisses = 1;
    std::printf("  Ratio = %lld\n", hits * 100 / (hits + engine.Main.CacheMisses));
    const PawnHashTable& pawns = engine.Main.Eval.PawnTable;
    std::printf("Pawn misses %u Pawn attempts %u Pawn miss rate = %g\n", pawns.Misses,
                pawns.Attempts, pawns.Misses * 100.0 / pawns.Attempts);
    std::fflush(stdout);
}

} // namespace

void Bench(Engine& engine, const SearchRequest& request, SearchReporter& reporter) {
    engine.Main.InteriorNodes = engine.Main.QuiesceNodes = 0;
    // The traditional markers name every position at once; a line of its
    // own for each position as it starts tells how far the run has come,
    // also to a reader that waits for whole lines.
    std::printf("Running benchmark ");
    for (int number = 1; number <= BenchPositionCount; ++number)
        std::printf(number < BenchPositionCount ? "%d " : "%d\n", number);
    std::fflush(stdout);
    const int64_t mapping = MapTables(engine);
    const int64_t start = ClockMs();
    NodeTotals totals;
    for (int number = 1; number <= BenchPositionCount; ++number) {
        std::printf("position %d/%d\n", number, BenchPositionCount);
        std::fflush(stdout);
        RunPosition(engine, request, reporter, number, SearchDriver::Deepening, totals);
    }
    const int64_t elapsed = std::max<int64_t>(ClockMs() - start, 1);
    PrintStatistics(engine, elapsed, totals);
    // Older figures counted the mapping in: what they would read now.
    std::printf("Mapping the tables took %lld ms before the clock started; counted in: %lld ms, "
                "%lld NPS\n",
                static_cast<long long>(mapping), static_cast<long long>(elapsed + mapping),
                static_cast<long long>(
                    NodesPerSecond(totals.Interior + totals.Quiesce, elapsed + mapping)));
    std::fflush(stdout);
}

void Bench2(Engine& engine, const SearchRequest& request, SearchReporter& reporter) {
    const struct {
        const char* Title;
        SearchDriver Driver;
    } runs[] = {
        {"Progressive Deepening", SearchDriver::Deepening},
        {"Search Exact Depth", SearchDriver::ExactDepth},
    };
    for (const auto& run : runs) {
        engine.Main.InteriorNodes = engine.Main.QuiesceNodes = 0;
        std::printf("Running benchmark \n%s\n", run.Title);
        std::fflush(stdout);
        MapTables(engine);
        const int64_t start = ClockMs();
        NodeTotals totals;
        RunPosition(engine, request, reporter, 5, run.Driver, totals);
        PrintStatistics(engine, ClockMs() - start, totals);
    }
}
