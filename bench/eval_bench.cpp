// Speed of the static evaluation at a leaf: full-window calls over a fixed set
// of positions from every stage of the game, with the pawn hash warm as it is
// inside a search.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"

namespace {

const char* const Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 6 5",
    "rnbq1rk1/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQ - 4 6",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 1 8",
    "2kr3r/pppq1ppp/2n1bn2/4p3/4P3/2NP1N2/PPPQ1PPP/2KR3R b - - 4 11",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2r2rk1/pp3pp1/2n1b2p/q2pP3/3P4/P1PB1N2/5PPP/R2Q1RK1 w - - 1 18",
    "r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1B3/PPP2PPP/R2Q1RK1 w - - 0 12",
    "6k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 40",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/4k3/3p4/3P4/4K3/8/8 b - - 0 50",
    "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 45",
    "4k3/8/8/1P6/8/8/6p1/4K3 w - - 0 60",
    "8/8/8/3k4/8/8/3K4/3R4 b - - 0 70",
    "8/8/3k4/8/8/2B5/3K4/3R4 w - - 0 70",
    "2r3k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 30",
    "r4rk1/ppp2ppp/8/8/8/8/PPP2PPP/R4RK1 w - - 0 20",
    "3q2k1/5ppp/8/8/8/8/5PPP/3Q2K1 w - - 0 30",
    "8/pp3k2/2p5/3b4/3B4/2P5/PP3K2/8 w - - 0 35",
    "1k6/1pp5/8/8/8/8/5PPP/5NK1 w - - 0 40",
    "r1b2rk1/2q1bppp/p2p1n2/np2p3/3PP3/5N1P/PPB2PP1/RNBQR1K1 w - - 0 13",
    "rn1qk2r/pbppbppp/1p2pn2/8/2PP4/5NP1/PP2PPBP/RNBQ1RK1 b kq - 0 6",
};

std::vector<ChessBoard> SetUpPositions() {
    std::vector<ChessBoard> boards;
    for (const char* fen : Positions) {
        if (SetupBoard(fen) != SetupOk) {
            std::printf("position refused: %s\n", fen);
            continue;
        }
        ChessBoard board = MainBoard;
        genpawnhashcode(0, board, &board.PawnKingKey);
        boards.push_back(board);
    }
    return boards;
}

void FullWindowEvaluations(benchmark::State& state) {
    std::vector<ChessBoard> boards = SetUpPositions();
    PositionEvaluate evaluator;
    int sum = 0;
    for (auto _ : state)
        for (ChessBoard& board : boards)
            sum += evaluator.PosEval(board.SideToMove, -FullWindow, FullWindow, &board);
    benchmark::DoNotOptimize(sum);
    state.counters["evals/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * boards.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(FullWindowEvaluations)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    initPStable();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
