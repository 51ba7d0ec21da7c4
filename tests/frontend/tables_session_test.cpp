// The endgame tables as the interfaces set them and read their verdicts:
// "-gtb", UCI GaviotaTbPath and xboard's egtpath, mate scores in both
// protocols' forms, and a folder that does not exist, after which Vorn
// plays on without the tables.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "frontend/engine_session.h"
#include "frontend/frontend.h"
#include "tablebase/tablebase.h"
#include "test_util.h"

namespace {

constexpr const char* DebianTables = "/usr/share/gaviotatb/gtb4";

// Lines up to and including the next one that starts with `prefix`.
std::vector<std::string> Until(EngineSession& engine, const std::string& prefix) {
    std::vector<std::string> lines;
    engine.WaitFor([&](const std::string& line) {
        lines.push_back(line);
        return line.rfind(prefix, 0) == 0;
    });
    return lines;
}

bool AnyContains(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// The last word of a line ("bestmove e1e2" gives e1e2).
std::string LastWord(const std::string& line) {
    std::istringstream words(line);
    std::string word, last;
    while (words >> word) last = word;
    return last;
}

// The tables' verdict of the position after `move` from `fen`, for the side
// that moved: what the move keeps.
TableVerdict VerdictAfter(const char* fen, const std::string& move) {
    EXPECT_EQ(Tablebases.Start(DebianTables, 4), TablesStarted);
    const ChessBoard board = BoardFromFen(fen);
    GameMove parsed{};
    EXPECT_TRUE(ParseGameMove(board, move.c_str(), &parsed)) << move;
    ChessBoard child = board;
    uint8_t mask;
    child.MakeMove(parsed.From, parsed.To, parsed.Promo, &mask);
    TableVerdict verdict{};
    EXPECT_TRUE(Tablebases.Probe(child, board.SideToMove ^ 1, 0, &verdict)) << move;
    Tablebases.Stop();
    MainBoard.InitRep();
    return verdict;
}

TEST(TablesSession, UCIScoresFromTheTablesAndPlaysOnWithoutThem) {
    EngineSession engine(std::string("-gtb ") + DebianTables);
    engine.Send("uci");
    ASSERT_FALSE(Until(engine, "uciok").empty());

    struct Case {
        const char* fen;
        const char* score;
        int pliesAfter; // of the opponent's loss or win after the move
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "score mate 8 ", 14},
        {"4k3/8/8/8/8/8/8/R3K3 b - - 0 1", "score mate -14 ", 27},
    };
    for (const Case& c : cases) {
        // A new cache size restarts the tables on the same folders.
        if (&c != cases) engine.Send("setoption name GaviotaTbCache value 8");
        engine.Send(std::string("position fen ") + c.fen);
        engine.Send("go depth 12");
        const std::vector<std::string> lines = Until(engine, "bestmove");
        ASSERT_FALSE(lines.empty()) << c.fen;
        EXPECT_NE(lines[lines.size() - 2].find(c.score), std::string::npos) << lines.back();
        EXPECT_TRUE(AnyContains(lines, " tbhits ")) << c.fen;
        EXPECT_EQ(VerdictAfter(c.fen, LastWord(lines.back())).Plies, c.pliesAfter) << c.fen;
    }

    // A drawn root under infinite analysis waits for "stop" like any other.
    engine.Send("position fen 8/8/8/8/8/8/6kR/K7 b - - 0 1");
    engine.Send("go infinite");
    EXPECT_FALSE(AnyContains(engine.Collect(300), "bestmove"));
    engine.Send("stop");
    std::vector<std::string> lines = Until(engine, "bestmove");
    EXPECT_EQ(lines.back(), "bestmove g2h2");
    EXPECT_TRUE(AnyContains(lines, "score cp 0 "));

    engine.Send("setoption name GaviotaTbPath value /no/such/folder");
    EXPECT_NE(engine.WaitFor("info string").find("no folder /no/such/folder"), std::string::npos);
    engine.Send("position fen 4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    engine.Send("go depth 3");
    lines = Until(engine, "bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_FALSE(AnyContains(lines, "tbhits"));
    EXPECT_FALSE(AnyContains(lines, "score mate"));
    EXPECT_EQ(LastWord(lines.back()).size(), 4u);

    engine.Send("quit");
    EXPECT_EQ(engine.Finish(5000), 0);
}

TEST(TablesSession, XboardTakesTheFolderFromEgtpath) {
    EngineSession engine("-gtb /no/such/folder");
    engine.Send("xboard\nprotover 2");
    EXPECT_NE(engine.WaitFor("feature myname").find(" egt=\"gaviota\""), std::string::npos);
    EXPECT_NE(engine.WaitFor("telluser").find("no folder /no/such/folder"), std::string::npos);

    engine.Send(std::string("egtpath gaviota ") + DebianTables);
    engine.Send("post\nsetboard 4k3/8/8/8/8/8/8/3QK3 w - - 0 1\ngo");
    const std::vector<std::string> lines = Until(engine, "move ");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(" 100008 "), std::string::npos) << lines[0];
    EXPECT_EQ(VerdictAfter("4k3/8/8/8/8/8/8/3QK3 w - - 0 1", LastWord(lines.back())).Plies, 14);

    engine.Send("egtpath gaviota /no/such/folder");
    EXPECT_NE(engine.WaitFor("telluser").find("no folder /no/such/folder"), std::string::npos);
    engine.Send("quit");
    EXPECT_EQ(engine.Finish(5000), 0);
}

} // namespace
