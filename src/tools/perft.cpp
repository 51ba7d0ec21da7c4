// The perft tool: move-path counts of a position, to check the generator and
// MakeMove against known numbers and to measure their speed.
#include <cinttypes>
#include <cstdio>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "tools/tools.h"

PerfT::PerfT(int depth, bool trace) : Trace(trace) {
    std::printf("Starting PerfT test \n");
    int64_t start = ClockMs();
    if (Trace) {
        std::printf("<Trace name=\"Perft\">\n");
        PerformanceTest(MainBoard.SideToMove, depth, MainBoard, MainBoard.CastleFlags);
        std::printf("</Trace>\n");
    } else {
        CountByRootMove(MainBoard, depth);
    }
    int64_t elapsed = ClockMs() - start;
    // A run shorter than the clock's resolution counts as one millisecond.
    uint64_t elapsedMs = elapsed > 0 ? static_cast<uint64_t>(elapsed) : 1;
    std::printf("%" PRIu64 " Total Nodes at Depth = %d\n", TotalNodes, depth);
    std::printf("%" PRIu64 " Leaf Nodes at Depth = %d\n", LeafNodes, depth);
    std::printf("%" PRIu64 " NPS\n", TotalNodes / elapsedMs * 1000);
    std::fflush(stdout);
}

void PerfT::CountByRootMove(const ChessBoard& root, int depth) {
    if (depth <= 0) {
        PerformanceTest(root.SideToMove, depth, root, root.CastleFlags);
    } else {
        const int side = root.SideToMove;
        const ChessBoard& board = root;
        MoveList list;
        const Bitboard king = side == White ? board.WKing : board.BKing;
        const int count = board.InCheck(king, side)
                              ? list.GenCheckEvasions(side, &board)
                              : list.GenerateAllMoves(side, &board, root.CastleFlags);
        for (int i = 0; i < count; ++i) {
            Bitboard from, to;
            char promotion;
            uint8_t castleMask = 0;
            list.GetMove(i, &from, &to, &promotion);
            ChessBoard child = board;
            child.MakeMove(from, to, promotion, &castleMask);
            if (!child.InCheck(side == White ? child.WKing : child.BKing, side)) {
                ++TotalNodes;
                const uint64_t before = LeafNodes;
                PerformanceTest(side ^ 1, depth - 1, child, root.CastleFlags & castleMask);
                std::printf("%c%d%c%d%s: %" PRIu64 "\n", 'a' + LowestSquare(from) % 8,
                            LowestSquare(from) / 8 + 1, 'a' + LowestSquare(to) % 8,
                            LowestSquare(to) / 8 + 1, PromotionSuffix(promotion),
                            LeafNodes - before);
                std::fflush(stdout);
            }
        }
    }
    std::printf("\n");
}

void PerfT::PerformanceTest(int side, int depth, const ChessBoard& board, int castleFlags) {
    if (depth <= 0) {
        ++LeafNodes;
        return;
    }
    MoveList list;
    uint8_t castleMask = 0;
    const Bitboard king = side == White ? board.WKing : board.BKing;
    const int count = board.InCheck(king, side) ? list.GenCheckEvasions(side, &board)
                                                : list.GenerateAllMoves(side, &board, castleFlags);

    if (depth == 1 && !Trace) {
        const int legal = list.LegalMoveCount(side, count);
        TotalNodes += legal;
        LeafNodes += legal;
        return;
    }

    for (int i = 0; i < count; ++i) {
        Bitboard from, to;
        char promotion;
        list.GetMove(i, &from, &to, &promotion);
        ChessBoard child = board;
        child.MakeMove(from, to, promotion, &castleMask);
        if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
        ++TotalNodes;
        if (Trace) {
            char text[MaxPVText];
            fillmovestring(text, LowestSquare(from), LowestSquare(to), promotion);
            std::printf("<Move name=\"{ %snodes %" PRIu64 "\">\n", text, TotalNodes);
        }
        PerformanceTest(side ^ 1, depth - 1, child, castleFlags & castleMask);
        if (Trace) std::printf("</Move >\n} \n");
    }
}
