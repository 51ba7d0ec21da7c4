// Helpers of the move-generation and perft tests.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "test_util.h"

// Entries 0 .. count - 1 as "e2e4" texts joined by blanks; a queen
// promotion adds its letter ("b7b8Q").
inline std::string ListText(const MoveList& list, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        int from = LowestSquare(list.From[i]), to = LowestSquare(list.To[i]);
        if (i) text += ' ';
        text += {files[FileOf(from)], char('1' + RankOf(from)), files[FileOf(to)],
                 char('1' + RankOf(to))};
        if (list.Promo[i] != NoPromotion) text += list.Promo[i];
    }
    return text;
}

// One line of a perft suite: "FEN ;D1 n ;D2 n ...".
struct PerftCase {
    std::string Fen;
    std::vector<uint64_t> Leaves; // Leaves[d - 1] is the count at depth d
};

inline std::vector<PerftCase> ReadPerftSuite(const std::string& path) {
    std::vector<PerftCase> cases;
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        PerftCase c;
        std::getline(fields, c.Fen, ';');
        for (std::string field; std::getline(fields, field, ';');) {
            std::istringstream depthAndCount(field);
            std::string label;
            uint64_t count = 0;
            depthAndCount >> label >> count;
            EXPECT_EQ(label.substr(0, 1), "D") << line;
            EXPECT_EQ(label.substr(1), std::to_string(c.Leaves.size() + 1)) << line;
            c.Leaves.push_back(count);
        }
        cases.push_back(c);
    }
    EXPECT_FALSE(cases.empty()) << path;
    return cases;
}

inline std::string PerftSuitePath() { return std::string(VORN_TEST_DATA) + "/perft.epd"; }
