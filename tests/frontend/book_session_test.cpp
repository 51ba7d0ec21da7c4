// The user's Polyglot book in play, through pipes as the interfaces use it:
// which searches take a book move, how it is reported, and bad files.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/engine_session.h"

namespace {

const std::string TestBook = VORN_TEST_DATA "/book.bin";
// The test book's moves from the start position; e2e4 is the heaviest.
const std::set<std::string> StartBookMoves = {"e2e4", "d2d4", "c2c4", "g1f3"};
// The legal first moves of White.
const std::set<std::string> StartMoves = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                                          "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                                          "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};

bool StartsWith(const std::string& line, const std::string& prefix) {
    return line.rfind(prefix, 0) == 0;
}

// Every line up to and including the next one that starts with `prefix`.
std::vector<std::string> Until(EngineSession& engine, const std::string& prefix) {
    std::vector<std::string> lines;
    engine.WaitFor([&](const std::string& line) {
        lines.push_back(line);
        return StartsWith(line, prefix);
    });
    return lines;
}

// The last word of the line that starts with `prefix` ("" when none does).
std::string WordAfter(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (StartsWith(line, prefix)) {
            std::istringstream words(line.substr(prefix.size()));
            std::string word;
            words >> word;
            return word;
        }
    return "";
}

class UCIBook : public testing::Test {
  protected:
    EngineSession engine;

    void SetUp() override {
        engine.Send("uci");
        ASSERT_FALSE(engine.WaitFor("uciok").empty());
    }
    // The lines of one search from the start position, to its bestmove.
    std::vector<std::string> SearchStart(const std::string& limits) {
        engine.Send("position startpos");
        engine.Send("go " + limits);
        return Until(engine, "bestmove");
    }
};

TEST_F(UCIBook, OwnBookWithABookFilePlaysAndReportsABookMove) {
    engine.Send("setoption name OwnBook value true");
    engine.Send("setoption name BookFile value " + TestBook);
    for (int game = 0; game < 3; ++game) {
        const std::vector<std::string> lines = SearchStart("wtime 10000 btime 10000");
        const std::string move = WordAfter(lines, "bestmove ");
        EXPECT_EQ(WordAfter(lines, "info string book move "), move);
        EXPECT_TRUE(StartBookMoves.contains(move)) << move;
    }

    engine.Send("setoption name BookBestMove value true");
    std::vector<std::string> lines = SearchStart("wtime 10000 btime 10000");
    EXPECT_EQ(WordAfter(lines, "info string book move "), "e2e4");
    EXPECT_EQ(WordAfter(lines, "bestmove "), "e2e4");

    // Restricted searches want the search's own answer.
    for (const char* limits :
         {"depth 2", "nodes 2000", "wtime 10000 btime 10000 searchmoves h2h3"}) {
        lines = SearchStart(limits);
        EXPECT_EQ(WordAfter(lines, "info string book move "), "") << limits;
        EXPECT_TRUE(StartMoves.contains(WordAfter(lines, "bestmove "))) << limits;
    }

    // A book holds standard chess: Chess960 searches, from the standard start too.
    engine.Send("setoption name UCI_Chess960 value true");
    lines = SearchStart("wtime 1000 btime 1000");
    EXPECT_EQ(WordAfter(lines, "info string book move "), "");
    EXPECT_TRUE(StartMoves.contains(WordAfter(lines, "bestmove ")));
    engine.Send("setoption name UCI_Chess960 value false");

    engine.Send("setoption name OwnBook value false");
    lines = SearchStart("wtime 1000 btime 1000");
    EXPECT_EQ(WordAfter(lines, "info string book move "), "");
}

TEST_F(UCIBook, ABadBookFileIsReportedAndPlayGoesOnWithout) {
    const std::string empty = (engine.Dir / "empty.bin").string();
    const std::string truncated = (engine.Dir / "truncated.bin").string();
    std::ofstream(empty, std::ios::binary).flush();
    std::ifstream good(TestBook, std::ios::binary);
    std::string bytes(17, '\0');
    good.read(bytes.data(), 17);
    std::ofstream(truncated, std::ios::binary) << bytes;

    engine.Send("setoption name OwnBook value true");
    for (const std::string& path : {engine.Dir.string() + "/missing.bin", empty, truncated}) {
        engine.Send("setoption name BookFile value " + TestBook);
        engine.Send("setoption name BookFile value " + path);
        const std::string info = engine.WaitFor("info string");
        EXPECT_NE(info.find(path), std::string::npos) << info;
        const std::vector<std::string> lines = SearchStart("wtime 1000 btime 1000");
        EXPECT_EQ(WordAfter(lines, "info string book move "), "") << path;
        EXPECT_TRUE(StartMoves.contains(WordAfter(lines, "bestmove "))) << path;
    }
}

// The move of an xboard game's first "go", with the lines before it.
std::vector<std::string> XboardFirstMove(EngineSession& engine) {
    engine.Send("xboard\nprotover 2\nnew\npost\nst 1\ngo");
    return Until(engine, "move ");
}

TEST(XboardBook, TheCommandLineBookGivesTheFirstMove) {
    EngineSession engine("-book '" + TestBook + "'");
    const std::vector<std::string> lines = XboardFirstMove(engine);
    const std::string move = WordAfter(lines, "move ");
    EXPECT_TRUE(StartBookMoves.contains(move)) << move;
    bool saysBook = false;
    for (const std::string& line : lines)
        saysBook = saysBook || line.find(move + " (book)") != std::string::npos;
    EXPECT_TRUE(saysBook);
}

TEST(XboardBook, NoBookAndABadBookLeaveTheMoveToTheSearch) {
    for (const std::string& args :
         {"-nobook -book '" + TestBook + "'", std::string("-book missing.bin")}) {
        EngineSession engine(args);
        const std::vector<std::string> lines = XboardFirstMove(engine);
        EXPECT_TRUE(StartMoves.contains(WordAfter(lines, "move "))) << args;
        for (const std::string& line : lines)
            EXPECT_EQ(line.find("(book)"), std::string::npos) << args << ": " << line;
        if (args.starts_with("-book")) {
            EXPECT_EQ(WordAfter(lines, "telluser book file "), "missing.bin:") << args;
        }
    }
}

} // namespace
