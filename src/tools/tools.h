// Tool modes run from the command line instead of a protocol.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "search/search.h"

// Counts the move paths of MainBoard to a fixed depth and prints the report:
// each root move's count as it finishes ("e2e4: 20", the form interfaces
// and scripts read), a blank line, then the node totals and the speed.
// "-trace" prints one nested element per legal move instead of the root lines.
class PerfT {
  public:
    uint64_t TotalNodes = 0; // legal moves made at every ply from 1 to the depth
    uint64_t LeafNodes = 0;  // positions reached at the full depth

    // Runs the whole test on MainBoard to `depth` and prints the report.
    PerfT(int depth, bool trace);
    // An empty count, for CountByRootMove alone.
    PerfT() = default;

    // Counts `board` to `depth`, printing each root move's leaf count as it
    // finishes, then a blank line.
    void CountByRootMove(const ChessBoard& board, int depth);

    // The recursive count on this node's own copy of the board.
    void PerformanceTest(int side, int depth, const ChessBoard& board, int castleFlags);

    // With the trace every move is made, tested with InCheck and printed;
    // without it the last ply is counted by a legality test instead of
    // making each move, with the same counts.
    bool Trace = false;
};

// The benchmark positions (FEN), in the order Bench searches them.
constexpr int BenchPositionCount = 6;
extern const char* const BenchPositions[BenchPositionCount];

// The benchmarks: Bench searches six fixed positions, Bench2 the fifth with
// each of the two search drivers; both print node counts, speed and the hit
// rates of the tables. Each search runs under `request` (-fd).
void Bench(Engine& engine, const SearchRequest& request, SearchReporter& reporter);
void Bench2(Engine& engine, const SearchRequest& request, SearchReporter& reporter);

// What an EPD run does with each position: "-ts" searches it, "-pev" shows
// and evaluates it, "-mimicstudent" (Mimic 1) only evaluates it.
struct EPDSuiteMode {
    bool Search = false;
    bool Pev = false;
    int Mimic = 0;
};

// Runs the file of EPD positions named by `filename` as `mode` says, each
// search under `request` (to depth 3 unless it names a fixed depth); ends
// the program with status 1 when the file cannot be read. `show` prints a
// position (the front end's display).
void ParseEPDSuite(Engine& engine, const char* filename, const EPDSuiteMode& mode,
                   SearchRequest request, SearchReporter& reporter,
                   void (*show)(const ChessBoard& board));
