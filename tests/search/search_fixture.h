// The fixture of the search tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"

// Fixed-depth searches from clean tables, as a benchmark runs them; the
// settings the search reads are restored afterwards.
class SearchTest : public testing::Test {
  protected:
    void SetUp() override {
        saved = TestEngine().Settings;
        TestEngine().Settings.initVars();
        TestEngine().Settings.Mode.xboard = TestEngine().Settings.Mode.uci = 0;
        TestEngine().Table.ClearTranspositionTables();
        TestEngine().Main.ClearHistory();
        TestEngine().Main.Repetitions.Init(); // for the nodes searched without a root
    }
    void TearDown() override {
        TestEngine().Settings = saved;
        MainBoard.InitRep();
    }

    // One root search of `fen` to `depth`; the chosen move goes to from/to/promo.
    int SearchTo(const std::string& fen, int depth) {
        board = BoardFromFen(fen.c_str());
        TestEngine().Settings.Limits.FD = depth;
        return TestEngine().Main.SearchExactDepth(MoveHistory(), board, depth, &from, &to, &promo);
    }

    Status saved;
    ChessBoard board;
    Bitboard from = 0, to = 0;
    char promo = 0;
};
