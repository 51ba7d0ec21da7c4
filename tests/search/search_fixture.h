// The fixture of the search tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "search/search.h"
#include "test_util.h"

// Fixed-depth searches from clean tables, as a benchmark runs them; the
// settings the search reads are restored afterwards.
class SearchTest : public testing::Test {
  protected:
    void SetUp() override {
        saved = MainStatus;
        MainStatus.initVars();
        MainStatus.xboard = MainStatus.uci = 0;
        PositionCache.ClearTranspositionTables();
        Search.ClearHistory();
        MoveList.Init();
        Search.Repetitions.Init(); // for the nodes searched without a root
    }
    void TearDown() override {
        MainStatus = saved;
        MainBoard.InitRep();
    }

    // One root search of `fen` to `depth`; the chosen move goes to from/to/promo.
    int SearchTo(const std::string& fen, int depth) {
        board = BoardFromFen(fen.c_str());
        MainStatus.FD = depth;
        MoveList.Init();
        return Search.SearchExactDepth(board, depth, &from, &to, &promo);
    }

    Status saved;
    ChessBoard board;
    Bitboard from = 0, to = 0;
    char promo = 0;
};
