// UCI sessions with the engine itself through pipes: lines written one by
// one, answers read as they come, the log read where the protocol is silent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "frontend/engine_session.h"
#include "frontend/frontend.h"
#include "test_util.h"

namespace {

// Lines up to and including the next one that starts with `prefix`; empty
// when it does not come.
std::vector<std::string> Until(EngineSession& engine, const std::string& prefix) {
    std::vector<std::string> lines;
    const auto wanted = [&](const std::string& line) {
        lines.push_back(line);
        return line.rfind(prefix, 0) == 0;
    };
    if (engine.WaitFor(wanted).empty()) return {};
    return lines;
}

std::string Log(const EngineSession& engine) {
    std::ifstream file(engine.Dir / "match.log");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Has(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// The word after "bestmove" (and after "ponder", when asked for).
std::string BestMove(const std::vector<std::string>& lines, bool ponder = false) {
    if (lines.empty()) return "(none)";
    std::istringstream words(lines.back());
    std::string word, move, reply;
    words >> word >> move >> word >> reply;
    return ponder ? reply : move;
}

bool IsLegalIn(const char* fen, const std::string& move) {
    const ChessBoard saved = MainBoard;
    GameMove parsed;
    const bool legal =
        SetupBoard(fen) == SetupOk && ParseGameMove(MainBoard, move.c_str(), &parsed);
    MainBoard = saved;
    return legal;
}

class UCISession : public testing::Test {
  protected:
    EngineSession engine;

    void SetUp() override {
        engine.Send("uci");
        ASSERT_FALSE(Until(engine, "uciok").empty());
    }
    // The move of a search from `position` limited by `limits`.
    std::string Search(const std::string& position, const std::string& limits) {
        engine.Send(position);
        engine.Send("go " + limits);
        return BestMove(Until(engine, "bestmove"));
    }
};

TEST(UCIHandshake, NamesTheEngineAndItsOptions) {
    EngineSession engine;
    engine.Send("uci");
    const std::vector<std::string> lines = Until(engine, "uciok");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Vorn ");
    EXPECT_TRUE(Has(lines, "id name Vorn "));
    EXPECT_TRUE(Has(lines, "id author "));
    // The options in the order and the words interfaces have always seen.
    const std::vector<std::string> options = {
        "option name Hash type spin default 128 min 1 max 65536",
        "option name Threads type spin default 1 min 1 max 256",
        "option name Move Overhead type spin default 30 min 0 max 5000",
        "option name MultiPV type spin default 1 min 1 max 64",
        "option name Clear Hash type button",
        "option name Skill Level type spin default 20 min 0 max 20",
        "option name UCI_LimitStrength type check default false",
        "option name UCI_Elo type spin default 1500 min 1000 max 2400",
        "option name UCI_AnalyseMode type check default false",
        "option name UCI_Chess960 type check default false",
        "option name OwnBook type check default false",
        "option name SecondaryBook type check default false",
        "option name BookFile type string default <empty>",
        "option name BookBestMove type check default false",
        "option name UCI_ShowCurrLine type check default true",
        "option name UCI_ShowWDL type check default false",
        "option name Ponder type check default false",
        "option name GaviotaTbPath type string default <empty>",
        "option name GaviotaTbCache type spin default 32 min 1 max 1024",
        "option name UCI_EngineAbout type string default Vorn plays chess by alpha-beta search "
        "over bitboards",
    };
    ASSERT_GE(lines.size(), 3 + options.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.begin() + 3 + options.size()),
              options);
    EXPECT_EQ(lines.size(), 24u);
    engine.Send("isready");
    EXPECT_EQ(Until(engine, "readyok").size(), 1u);
    engine.CloseInput();
    EXPECT_EQ(engine.Finish(5000), 0);
}

// The position each command leaves is seen in the move a depth-1 search
// plays: it must be legal there, and for these positions only there.
TEST_F(UCISession, PositionsAndTheirMoves) {
    struct Case {
        const char* command;
        const char* expected; // FEN of the position the command must leave
        const char* info;     // the start of an "info string" it must send, or ""
    };
    const Case cases[] = {
        {"position startpos moves e2e4 e7e5",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", ""},
        {"position startpos moves e2e4",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", ""},
        {"position  startpos\tmoves  e2e4   e7e5 \r",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", ""},
        // An under-promotion with check, then a move the check forbids.
        {"position fen 8/4P1k1/8/8/8/8/8/K7 w - - 0 1 moves e7e8n g7f6 e8d6",
         "4N3/6k1/8/8/8/8/8/K7 b - - 0 1", "info string illegal move g7f6"},
        // The en passant square of the FEN allows the capture at once.
        {"position fen rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3 moves d4e3 "
         "d2e3",
         "rnbqkbnr/ppp1pppp/8/8/8/4P3/PPP2PPP/RNBQKBNR b KQkq - 0 4", ""},
        {"position startpos moves e2e4 e7e5 e4e5 d2d4",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2",
         "info string illegal move e4e5"},
        {"position startpos moves e2e4 e7e5 zz99 d2d4",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2",
         "info string illegal move zz99"},
    };
    for (const Case& c : cases) {
        engine.Send(c.command);
        engine.Send("go depth 1");
        const std::vector<std::string> lines = Until(engine, "bestmove");
        EXPECT_TRUE(IsLegalIn(c.expected, BestMove(lines))) << c.command << ": " << BestMove(lines);
        if (*c.info)
            EXPECT_TRUE(Has(lines, c.info)) << c.command;
        else
            EXPECT_FALSE(Has(lines, "info string")) << c.command;
    }
    // A FEN that cannot be played leaves the position as it was.
    engine.Send("position startpos moves e2e4");
    for (const char* fen : {"garbage", "8/8/8 w - - 0 1", "4k3/8/8/8/8/8/8/R3K2K w - - 0 1", ""}) {
        engine.Send(std::string("position fen ") + fen);
        engine.Send("go depth 1");
        const std::vector<std::string> lines = Until(engine, "bestmove");
        EXPECT_TRUE(Has(lines, "info string invalid FEN")) << fen;
        EXPECT_TRUE(IsLegalIn("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
                              BestMove(lines)))
            << fen;
    }
}

// The clock of the side to move is the one read; the log shows what the
// time control was given.
// The speeds each timed search logs when it has measured its own: that
// figure, and the one the search before handed on.
std::vector<std::pair<long long, long long>> MeasuredSpeeds(const std::string& log) {
    std::vector<std::pair<long long, long long>> speeds;
    const std::string mark = "Speed in the first milliseconds: ";
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
        long long measured = 0, handedOn = -1;
        std::sscanf(log.c_str() + at + mark.size(), "%lld", &measured);
        const size_t last = log.find("(the last search's ", at);
        if (last != std::string::npos) std::sscanf(log.c_str() + last + 19, "%lld", &handedOn);
        speeds.emplace_back(measured, handedOn);
    }
    return speeds;
}

TEST_F(UCISession, EveryTimedSearchMeasuresItsSpeedAndHandsItOn) {
    for (const char* game : {"ucinewgame", "ucinewgame"}) {
        engine.Send(game);
        engine.Send("position startpos");
        engine.Send("go movetime 300");
        const std::vector<std::string> lines = Until(engine, "bestmove");
        // The interface is told the measured figure.
        EXPECT_TRUE(Has(lines, "info nps ")) << game;
    }
    const auto speeds = MeasuredSpeeds(Log(engine));
    ASSERT_EQ(speeds.size(), 2u);
    // The session's first search has no figure before its own; the next
    // game's first search starts from the last one's.
    EXPECT_EQ(speeds[0].second, 0);
    EXPECT_GT(speeds[0].first, 0);
    const std::string log = Log(engine);
    const size_t end = log.find(" nodes/s, depth ", log.find("Clock: planned "));
    ASSERT_NE(end, std::string::npos);
    const long long firstSearchSpeed = std::stoll(log.substr(log.rfind(' ', end - 1) + 1));
    EXPECT_EQ(speeds[1].second, firstSearchSpeed);
}

TEST_F(UCISession, EachGamesClockIsSummedUpInTheLogWhenTheNextBegins) {
    // Two timed moves (a movetime and a depth search are not on the clock).
    for (const char* limits :
         {"wtime 8000 btime 9000", "movetime 50", "depth 2", "wtime 7000 btime 9000"}) {
        engine.Send("position fen 4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
        engine.Send(std::string("go ") + limits);
        ASSERT_FALSE(Until(engine, "bestmove").empty()) << limits;
    }
    engine.Send("ucinewgame");
    engine.Send("isready");
    ASSERT_FALSE(Until(engine, "readyok").empty());
    const std::string log = Log(engine);
    EXPECT_NE(log.find("Game clock: 2 timed moves; left 7.00 s at the last;"), std::string::npos)
        << log;
    EXPECT_NE(log.find("; lowest 7.00 s"), std::string::npos) << log;
    // The new game has no moves yet: quitting adds no line.
    engine.Send("quit");
    engine.Finish();
    EXPECT_EQ(Log(engine).find("Game clock:", log.find("Game clock:") + 1), std::string::npos);
}

TEST_F(UCISession, ClockFieldsOfTheSideToMove) {
    struct Case {
        const char* position;
        const char* limits;
        const char* logged;
    };
    const Case cases[] = {
        {"position startpos", "wtime 4000 btime 9000 winc 2000 binc 5000",
         "MovesPerSession 0 TimeLeft 4000 TimeIncMs 2000"},
        {"position startpos moves e2e4", "wtime 4000 btime 9000 winc 2000 binc 5000",
         "MovesPerSession 0 TimeLeft 9000 TimeIncMs 5000"},
        {"position startpos", "wtime 4000 btime 9000 winc 150 binc 5000",
         "MovesPerSession 0 TimeLeft 4000 TimeIncMs 150"},
        {"position startpos moves e2e4", "wtime 4000 btime 3000 movestogo 7",
         "MovesPerSession 7 TimeLeft 3000 TimeIncMs 0"},
        {"position startpos", "movetime 300", "MovesPerSession 0 TimeLeft 18000 TimeIncMs 0"},
        {"position startpos", "wtime -50 btime x", "MovesPerSession 0 TimeLeft 0 TimeIncMs 0"},
        {"position startpos", "wtime 900 btime 900 winc 999999999999",
         "MovesPerSession 0 TimeLeft 900 TimeIncMs 67108864"},
    };
    for (const Case& c : cases) {
        engine.Send(c.position);
        engine.Send(std::string("go ") + c.limits);
        EXPECT_FALSE(Until(engine, "bestmove").empty()) << c.limits;
        EXPECT_NE(Log(engine).find(c.logged), std::string::npos) << c.limits;
    }
}

// With one thread and with helpers; a count out of the option's range is
// refused, and the helpers stay.
TEST_F(UCISession, StopEndsEverySearchWithOneBestMove) {
    for (const char* threads : {"1", "3", "0"}) {
        engine.Send(std::string("setoption name Threads value ") + threads);
        for (const char* limits :
             {"depth 60", "infinite", "", "wtime 600000 btime 600000", "movetime 600000",
              "nodes 900000000", "ponder wtime 9000 btime 9000"}) {
            engine.Send("position startpos");
            engine.Send(std::string("go ") + limits);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            engine.Send("isready");
            const std::vector<std::string> ready = Until(engine, "readyok");
            ASSERT_FALSE(ready.empty()) << limits;
            EXPECT_FALSE(Has(ready, "bestmove")) << limits;
            engine.Send("stop");
            const std::vector<std::string> lines = Until(engine, "bestmove");
            EXPECT_TRUE(IsLegalIn("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                                  BestMove(lines)))
                << limits;
            // Exactly one answer: a second stop finds nothing to stop.
            engine.Send("stop");
            engine.Send("isready");
            EXPECT_FALSE(Has(Until(engine, "readyok"), "bestmove")) << limits;
        }
    }
}

// A spin option's value that is no number is refused aloud, and the engine
// searches on as before.
TEST_F(UCISession, ASpinValueThatIsNoNumberIsRefused) {
    for (const char* value : {"abc", "2x", ""}) {
        engine.Send(std::string("setoption name Threads value ") + value);
        engine.Send("isready");
        EXPECT_TRUE(
            Has(Until(engine, "readyok"), "info string Threads wants a number from 1 to 256"))
            << value;
    }
    engine.Send("position startpos");
    engine.Send("go depth 3");
    EXPECT_TRUE(IsLegalIn("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                          BestMove(Until(engine, "bestmove"))));
}

// Infinite and ponder searches keep their move, even a mate in one or the
// only legal move, until they are told.
TEST_F(UCISession, InfiniteAndPonderSearchesWait) {
    const std::string mateInOne = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
    const std::string onlyMove = "position fen 7k/8/8/8/8/8/8/K6q w - - 0 1 moves a1a2 h1h2";
    for (const std::string& position : {mateInOne, onlyMove}) {
        for (const char* go : {"go infinite", "go ponder depth 3"}) {
            engine.Send(position);
            engine.Send(go);
            EXPECT_FALSE(Has(engine.Collect(300), "bestmove")) << go;
            engine.Send("isready");
            EXPECT_FALSE(Has(Until(engine, "readyok"), "bestmove")) << go;
            engine.Send(std::string(go) == "go infinite" ? "stop" : "ponderhit");
            EXPECT_FALSE(Until(engine, "bestmove").empty()) << go;
        }
    }
}

TEST_F(UCISession, PonderHitTurnsIntoATimedSearch) {
    engine.Send("setoption name Ponder value true");
    engine.Send("position startpos moves e2e4");
    engine.Send("go ponder wtime 3000 btime 3000");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.Send("ponderhit");
    const std::vector<std::string> lines = Until(engine, "bestmove");
    const char* afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
    ASSERT_TRUE(IsLegalIn(afterE4, BestMove(lines)));
    // The ponder move is a legal reply to the best move.
    ChessBoard saved = MainBoard;
    ASSERT_EQ(SetupBoard(afterE4), SetupOk);
    GameMove best, reply;
    ASSERT_TRUE(ParseGameMove(MainBoard, BestMove(lines).c_str(), &best));
    StartGameRecord();
    PlayGameMove(best);
    EXPECT_TRUE(ParseGameMove(MainBoard, BestMove(lines, true).c_str(), &reply)) << lines.back();
    MainBoard = saved;
}

// A level's budget holds on the opponent's time too: the search ends
// within it and keeps its move until the interface asks for it.
TEST_F(UCISession, ALevelPondersWithinItsBudgetAndWaitsForItsTurn) {
    engine.Send("setoption name UCI_LimitStrength value true");
    engine.Send("setoption name UCI_Elo value 1000");
    const char* afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
    for (const char* end : {"ponderhit", "stop"}) {
        engine.Send("position startpos moves e2e4");
        engine.Send("go ponder wtime 60000 btime 60000");
        EXPECT_FALSE(Has(engine.Collect(300), "bestmove")) << end;
        engine.Send(end);
        const std::vector<std::string> lines = Until(engine, "bestmove");
        ASSERT_GE(lines.size(), 2u) << end;
        EXPECT_TRUE(IsLegalIn(afterE4, BestMove(lines))) << end;
        const std::string& info = lines[lines.size() - 2];
        const size_t at = info.find(" nodes ");
        ASSERT_NE(at, std::string::npos) << info;
        // (Past the budget by no more than the quiescence nodes of a poll.)
        EXPECT_LE(std::stoll(info.substr(at + 7)), LevelOf(1000).Nodes + 100) << info;
    }
}

TEST_F(UCISession, LimitsOfTheSearch) {
    // "searchmoves" restricts the root; its moves are not played.
    const std::string best =
        Search("position startpos moves e2e4 e7e5", "depth 5 searchmoves a2a3 h2h4");
    EXPECT_TRUE(best == "a2a3" || best == "h2h4") << best;
    // A mate in two is reported in moves; the mated side sees it negative.
    engine.Send("position fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1");
    engine.Send("go mate 2");
    std::vector<std::string> lines = Until(engine, "bestmove");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find(" score mate 2 "), std::string::npos)
        << lines[lines.size() - 2];
    EXPECT_EQ(BestMove(lines), "d5f6");
    engine.Send("position fen 7k/5Q2/p5K1/1p6/8/8/8/8 b - - 0 1");
    engine.Send("go depth 3");
    lines = Until(engine, "bestmove");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find(" score mate -1 "), std::string::npos)
        << lines[lines.size() - 2];
    // A node limit gives the same search every time from the same state.
    std::string nodes[2];
    for (std::string& text : nodes) {
        engine.Send("ucinewgame");
        engine.Send("position startpos");
        engine.Send("go nodes 20000");
        lines = Until(engine, "bestmove");
        ASSERT_GE(lines.size(), 2u);
        text = lines[lines.size() - 2].substr(0, lines[lines.size() - 2].find(" nps ")) + " " +
               lines.back();
    }
    EXPECT_EQ(nodes[0], nodes[1]);
    EXPECT_NE(nodes[0].find(" nodes 20"), std::string::npos) << nodes[0];
    // No legal move: mated or stalemated.
    EXPECT_EQ(Search("position fen 7k/8/8/8/8/8/r7/1r5K w - - 0 1", "depth 3"), "0000");
    EXPECT_EQ(Search("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "depth 3"), "0000");
}

TEST_F(UCISession, PerftCountsEachRootMoveThenTheTotal) {
    engine.Send("position startpos moves e2e4\ngo perft 2");
    const std::vector<std::string> lines = Until(engine, "Nodes searched: ");
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], "b8a6: 30"); // the first of Black's twenty replies
    EXPECT_EQ(lines[20], "");
    EXPECT_EQ(lines[21], "Nodes searched: 600");
    // A bad depth is named; nothing is searched.
    engine.Send("go perft x\nisready");
    EXPECT_EQ(engine.WaitFor("info string"), "info string go perft needs a depth from 0 to 100");
    EXPECT_EQ(Until(engine, "readyok").size(), 1u);
}

// UCI_Chess960 reads Chess960 positions and writes castling as the king
// taking its rook, in the standard position too; without it such a
// position is refused with its reason.
TEST_F(UCISession, Chess960PositionsAndCastling) {
    const auto perft = [&](const std::string& position) {
        engine.Send(position + "\ngo perft 1");
        return Until(engine, "Nodes searched: ");
    };
    const std::string corners = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    EXPECT_TRUE(Has(perft(corners), "e1g1: 1"));
    const std::string chess960 =
        "position fen 1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w KQkq - 0 1";
    std::vector<std::string> lines = perft(chess960);
    EXPECT_TRUE(Has(lines, "info string invalid FEN (castling that only Chess960 has: "
                           "UCI_Chess960 plays it)"));

    engine.Send("setoption name UCI_Chess960 value true");
    EXPECT_TRUE(Has(perft(corners), "e1h1: 1"));
    lines = perft(chess960 + " moves e1g1");
    EXPECT_FALSE(Has(lines, "info string")) << lines[0];
    EXPECT_TRUE(Has(lines, "e8g8: 1"));
    EXPECT_TRUE(Has(lines, "e8b8: 1"));
    lines = perft("position fen 4k3/8/8/8/8/8/8/4K3 w K - 0 1");
    EXPECT_TRUE(Has(lines, "info string invalid FEN (a castling right without a rook of its "
                           "colour where the letter points)"));
}

TEST_F(UCISession, LinesDuringASearchWaitForItsEnd) {
    engine.Send("position startpos moves e2e4");
    engine.Send("go infinite");
    engine.Send("ucinewgame");
    engine.Send("position startpos");
    engine.Send("go depth 2");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.Send("stop");
    // The stopped search answers for the position after e2e4, the waiting
    // "go" for the new game's start position.
    EXPECT_TRUE(IsLegalIn("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
                          BestMove(Until(engine, "bestmove"))));
    EXPECT_TRUE(IsLegalIn("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                          BestMove(Until(engine, "bestmove"))));
}

TEST_F(UCISession, OptionsPersistAndUnknownInputIsHarmless) {
    engine.Send("setoption name ponder value TRUE\r");
    engine.Send("ucinewgame");
    engine.Send("setoption name Hash value 64");
    engine.Send("setoption name Move Overhead value 5000");
    engine.Send("setoption name Move Overhead value 99999");
    engine.Send("setoption name move overhead value 4x");
    for (const char* junk :
         {"setoption name NoSuchOption value 3", "setoption name Hash value lots", "frobnicate",
          "stop", "ponderhit", "position", "  ", "\x01\xff"})
        engine.Send(junk);
    engine.Send("isready");
    const std::vector<std::string> lines = Until(engine, "readyok");
    // A Hash the machine can give is taken without a word; a spin value out
    // of range or no number is refused, and said so.
    EXPECT_FALSE(Has(lines, "info string Hash 64"));
    EXPECT_TRUE(Has(lines, "info string position wants startpos or fen"));
    EXPECT_TRUE(Has(lines, "info string Hash wants a number from 1 to 65536, not lots"));
    EXPECT_TRUE(Has(lines,
                    "info string Move Overhead wants a number from 0 to 5000, not 99999: left as "
                    "it was"));
    EXPECT_TRUE(Has(lines, "info string Move Overhead wants a number from 0 to 5000, not 4x"));
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_NE(Log(engine).find("Option Move Overhead set to 5000"), std::string::npos);
    engine.Send("position startpos");
    engine.Send("go movetime 5300");
    EXPECT_FALSE(Until(engine, "bestmove").empty());
    EXPECT_NE(Log(engine).find("Planned 300 ms: "), std::string::npos);
    // "go" with no limit it can read searches until "stop".
    engine.Send("go wtime");
    EXPECT_FALSE(Has(engine.Collect(200), "bestmove"));
    engine.Send("stop");
    EXPECT_FALSE(Until(engine, "bestmove").empty());
    // The Ponder option set before ucinewgame still holds.
    engine.Send("position startpos");
    engine.Send("go depth 5");
    EXPECT_FALSE(BestMove(Until(engine, "bestmove"), true).empty());
}

TEST(UCIEnd, QuitAndEndOfInputEndTheProgram) {
    EngineSession quitting;
    quitting.Send("uci");
    quitting.Send("go infinite");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    quitting.Send("quit");
    EXPECT_EQ(quitting.Finish(5000), 0);

    EngineSession abandoned;
    abandoned.Send("uci");
    abandoned.Send("go ponder");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    abandoned.CloseInput();
    EXPECT_EQ(abandoned.Finish(5000), 0);
}

} // namespace

namespace {

// The fields of an info line that carries a score, in the order of the UCI text.
struct InfoLine {
    int Depth = 0, SelDepth = 0, MultiPV = 0, Score = 0, Hashfull = 0;
    bool Mate = false;
    bool HasWdl = false;
    int Win = 0, Draw = 0, Loss = 0;
    std::string FirstMove;
};

// Whether `text` is a whole number, a sign allowed; its value goes to
// `value` unless that is null (then the number may be of any size).
bool ReadNumber(const std::string& text, int* value) {
    const size_t first = !text.empty() && text[0] == '-';
    if (text.size() == first || text.find_first_not_of("0123456789", first) != std::string::npos)
        return false;
    if (value) *value = std::atoi(text.c_str());
    return true;
}

// A move as UCI writes it: "e2e4", "e7e8q".
bool IsMoveWord(const std::string& w) {
    return (w.size() == 4 || (w.size() == 5 && std::strchr("qrbn", w[4]))) && w[0] >= 'a' &&
           w[0] <= 'h' && w[1] >= '1' && w[1] <= '8' && w[2] >= 'a' && w[2] <= 'h' && w[3] >= '1' &&
           w[3] <= '8';
}

bool ParseInfoLine(const std::string& line, InfoLine* info) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    size_t i = 0;
    // The next word is `name` and the one after it a number.
    const auto field = [&](const char* name, int* value) {
        if (i + 1 >= w.size() || w[i] != name || !ReadNumber(w[i + 1], value)) return false;
        i += 2;
        return true;
    };
    if (w.empty() || w[i++] != "info" || !field("depth", &info->Depth) ||
        !field("seldepth", &info->SelDepth))
        return false;
    info->MultiPV = 0;
    if (i < w.size() && w[i] == "multipv" && !field("multipv", &info->MultiPV)) return false;
    if (i + 2 >= w.size() || w[i] != "score" || (w[i + 1] != "cp" && w[i + 1] != "mate") ||
        !ReadNumber(w[i + 2], &info->Score))
        return false;
    info->Mate = w[i + 1] == "mate";
    i += 3;
    info->HasWdl = i < w.size() && w[i] == "wdl";
    if (info->HasWdl) {
        if (i + 3 >= w.size() || !ReadNumber(w[i + 1], &info->Win) ||
            !ReadNumber(w[i + 2], &info->Draw) || !ReadNumber(w[i + 3], &info->Loss))
            return false;
        i += 4;
    }
    if (!field("nodes", nullptr) || !field("nps", nullptr) || !field("hashfull", &info->Hashfull) ||
        !field("time", nullptr) || i >= w.size() || w[i++] != "pv" || i >= w.size())
        return false;
    info->FirstMove = w[i];
    for (; i < w.size(); ++i)
        if (!IsMoveWord(w[i])) return false;
    return true;
}

// Every info line with a score among `lines`; each must have the fields in order.
std::vector<InfoLine> ScoredLines(const std::vector<std::string>& lines) {
    std::vector<InfoLine> scored;
    for (const std::string& line : lines) {
        if (line.find(" score ") == std::string::npos) continue;
        InfoLine info;
        EXPECT_TRUE(ParseInfoLine(line, &info)) << line;
        scored.push_back(info);
    }
    return scored;
}

constexpr const char* Middlegame =
    "position fen r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";

// UCI_ShowWDL puts the expected result beside every score, in permille
// that sum to 1000; a mate is certain. Off, the lines are as they were.
TEST_F(UCISession, WinDrawLossBesideEveryScoreWhenAskedFor) {
    const auto scored = [&](const char* position) {
        engine.Send(position);
        engine.Send("go depth 6");
        return ScoredLines(Until(engine, "bestmove"));
    };
    const char* quiet = "position startpos moves e2e4";
    const char* mating = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
    for (const InfoLine& info : scored(quiet)) EXPECT_FALSE(info.HasWdl);
    engine.Send("setoption name UCI_ShowWDL value true");
    for (const char* position : {quiet, mating}) {
        const std::vector<InfoLine> lines = scored(position);
        ASSERT_FALSE(lines.empty()) << position;
        for (const InfoLine& info : lines) {
            ASSERT_TRUE(info.HasWdl) << position;
            EXPECT_EQ(info.Win + info.Draw + info.Loss, 1000) << position;
            if (info.Mate && info.Score > 0) {
                EXPECT_EQ(info.Win, 1000) << position;
            }
        }
        if (position == mating) {
            EXPECT_TRUE(lines.back().Mate && lines.back().Win == 1000);
        }
    }
}

} // namespace

// The only reply, under a fixed depth, is searched: the side to move is
// mated in one after it.
TEST_F(UCISession, AForcedReplyIsSearchedWithoutAClock) {
    engine.Send("position fen 1r4k1/5ppp/8/8/8/8/4RPPP/4R1K1 w - - 0 1 moves e2e8");
    engine.Send("go depth 12");
    const std::vector<std::string> lines = Until(engine, "bestmove");
    EXPECT_EQ(BestMove(lines), "b8e8");
    const std::vector<InfoLine> scored = ScoredLines(lines);
    ASSERT_FALSE(scored.empty());
    EXPECT_TRUE(scored.back().Mate);
    EXPECT_EQ(scored.back().Score, -1);
}

// Depth, the deepest ply, score, nodes, speed, the table's use, time and the
// line; a small table shows itself filling, and a new game empties it.
TEST_F(UCISession, InfoLinesCarryTheDeepestPlyAndTheTablesUse) {
    engine.Send("setoption name Hash value 1");
    engine.Send(Middlegame);
    engine.Send("go depth 7");
    std::vector<InfoLine> scored = ScoredLines(Until(engine, "bestmove"));
    ASSERT_FALSE(scored.empty());
    for (const InfoLine& info : scored) {
        EXPECT_GE(info.SelDepth, info.Depth);
        EXPECT_EQ(info.MultiPV, 0) << "one line: no line number";
        EXPECT_LE(info.Hashfull, 1000);
    }
    EXPECT_EQ(scored.back().Depth, 7);
    EXPECT_GT(scored.back().SelDepth, 7) << "the captures beyond the horizon";
    EXPECT_GT(scored.back().Hashfull, 200);

    engine.Send("ucinewgame");
    engine.Send(Middlegame);
    engine.Send("go depth 1");
    scored = ScoredLines(Until(engine, "bestmove"));
    ASSERT_FALSE(scored.empty());
    EXPECT_LT(scored.back().Hashfull, 50);
}

// MultiPV N: after each depth, N lines numbered 1..N, each with another
// first move, best first; the best move is line 1's. Fewer moves to search
// give fewer lines, and MultiPV 1 numbers no line.
TEST_F(UCISession, MultiPVShowsTheBestLinesBestFirst) {
    const auto linesOfLastDepth = [](const std::vector<InfoLine>& scored) {
        std::vector<InfoLine> last;
        for (const InfoLine& info : scored)
            if (info.Depth == scored.back().Depth) last.push_back(info);
        return last;
    };
    engine.Send("setoption name MultiPV value 3");
    for (const char* position : {Middlegame, "position fen 2r2rk1/1bqnbpp1/1p1ppn1p/pP6/N1P1P3/"
                                             "P2B1N1P/1B2QPP1/R2R2K1 b - - 0 1"}) {
        engine.Send(position);
        engine.Send("go depth 6");
        const std::vector<std::string> lines = Until(engine, "bestmove");
        const std::vector<InfoLine> last = linesOfLastDepth(ScoredLines(lines));
        ASSERT_EQ(last.size(), 3u) << position;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(last[k].MultiPV, k + 1);
        EXPECT_NE(last[0].FirstMove, last[1].FirstMove);
        EXPECT_NE(last[0].FirstMove, last[2].FirstMove);
        EXPECT_NE(last[1].FirstMove, last[2].FirstMove);
        EXPECT_GE(last[0].Score, last[1].Score);
        EXPECT_GE(last[1].Score, last[2].Score);
        EXPECT_EQ(BestMove(lines), last[0].FirstMove);
    }

    engine.Send(Middlegame);
    engine.Send("go depth 5 searchmoves a2a3 h2h4");
    std::vector<std::string> lines = Until(engine, "bestmove");
    std::vector<InfoLine> last = linesOfLastDepth(ScoredLines(lines));
    ASSERT_EQ(last.size(), 2u);
    for (const InfoLine& info : last)
        EXPECT_TRUE(info.FirstMove == "a2a3" || info.FirstMove == "h2h4") << info.FirstMove;
    EXPECT_NE(last[0].FirstMove, last[1].FirstMove);

    // A clock or a ponder hit may stop an iteration between its passes: the
    // move played is still the one the last first line shows.
    engine.Send("setoption name Ponder value true");
    for (const char* go : {"go movetime 300", "go ponder wtime 2000 btime 2000"}) {
        engine.Send(Middlegame);
        engine.Send(go);
        if (std::string(go).find("ponder") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            engine.Send("ponderhit");
        }
        lines = Until(engine, "bestmove");
        std::string lastFirstLine;
        for (const InfoLine& info : ScoredLines(lines))
            if (info.MultiPV <= 1) lastFirstLine = info.FirstMove;
        EXPECT_EQ(BestMove(lines), lastFirstLine) << go;
    }

    engine.Send("setoption name MultiPV value 1");
    engine.Send(Middlegame);
    engine.Send("go depth 5");
    lines = Until(engine, "bestmove");
    for (const InfoLine& info : ScoredLines(lines)) EXPECT_EQ(info.MultiPV, 0);
    EXPECT_EQ(linesOfLastDepth(ScoredLines(lines)).back().FirstMove, BestMove(lines));
}
