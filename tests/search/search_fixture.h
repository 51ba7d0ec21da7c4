// The fixture of the search tests.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "search/search.h"
#include "test_engine.h"
#include "test_util.h"

// Fixed-depth searches from clean tables, as a benchmark runs them; the
// settings the search reads are restored afterwards.
class SearchTest : public testing::Test {
  protected:
    void SetUp() override {
        TestEngine().Table.ClearTranspositionTables();
        TestEngine().Main.ClearHistory();
        TestEngine().Main.Repetitions.Init();      // for the nodes searched without a root
        TestEngine().Main.NodesToPoll = INT64_MAX; // nor a driver: nothing polls
    }
    void TearDown() override { MainBoard.InitRep(); }

    // One root search of `fen` to `depth`; the chosen move goes to from/to/promo.
    int SearchTo(const std::string& fen, int depth) {
        board = BoardFromFen(fen.c_str());
        return Take(TestEngine().Main.SearchExactDepth(MoveHistory(), board, depth));
    }
    // The driver's search of `position` under `request`.
    int Think(const ChessBoard& position, const SearchRequest& request) {
        SearchReporter quiet;
        return Take(TestEngine().Think(position, MoveHistory(), request, quiet));
    }
    // A fixed-depth request.
    static SearchRequest ToDepth(int depth) {
        SearchRequest request;
        request.FixedDepth = request.DepthLimit = depth;
        return request;
    }
    int Take(const SearchResult& result) {
        from = result.Move.From;
        to = result.Move.To;
        promo = result.Move.Promo;
        return result.Score;
    }

    ChessBoard board;
    Bitboard from = 0, to = 0;
    char promo = 0;
};
