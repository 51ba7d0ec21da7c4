// Whole sessions through pipes, as an xboard interface and a console user
// hold them: every line Vorn prints is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frontend/engine_session.h"
#include "frontend/frontend.h"
#include "test_util.h"

namespace {

constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* MateInOne = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";

// Move text as the engine writes it: "e2e4", "e7e8q".
bool IsMoveText(const std::string& text) {
    const bool squares = text.size() >= 4 && text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' &&
                         text[1] <= '8' && text[2] >= 'a' && text[2] <= 'h' && text[3] >= '1' &&
                         text[3] <= '8';
    return squares && (text.size() == 4 || (text.size() == 5 && std::strchr("qrbn", text[4])));
}

// The first move of a thinking line (depth, score, centiseconds, nodes, then
// the line of moves), "" for any other line.
std::string FirstMoveOf(const std::string& line) {
    std::istringstream in(line);
    long long depth, score, time, nodes;
    std::string move;
    if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0])) ||
        !(in >> depth >> score >> time >> nodes >> move) || !IsMoveText(move))
        return "";
    return move;
}

bool IsThinkingLine(const std::string& line) { return !FirstMoveOf(line).empty(); }

// The legacy move line, "1. ... e7e5 ".
bool IsNumberedMoveLine(const std::string& line) {
    const size_t dots = line.find(". ... ");
    return dots != std::string::npos && dots > 0 && line.find_first_not_of("0123456789") == dots &&
           line.size() == dots + 11 && IsMoveText(line.substr(dots + 6, 4)) && line.back() == ' ';
}

// Whether `text` is a legal move after `moves` from `fen`.
bool IsLegalAfter(const std::string& text, const char* fen, const std::vector<const char*>& moves) {
    BoardFromFen(fen);
    StartGameRecord();
    GameMove move;
    for (const char* played : moves) {
        if (!ParseGameMove(MainBoard, played, &move)) return false;
        PlayGameMove(move);
    }
    return ParseGameMove(MainBoard, text.c_str(), &move);
}

// What a thinking line says: its depth, score and moves (not the time and
// nodes, which change on their own).
std::string ThoughtOf(const std::string& line) {
    std::istringstream in(line);
    long long depth, score, time, nodes;
    in >> depth >> score >> time >> nodes;
    std::string moves;
    std::getline(in, moves);
    return std::to_string(depth) + " " + std::to_string(score) + moves;
}

// A thinking line's score: centipawns, which never pass 10000, or a mate in
// N moves as 100000 + N (-100000 - N), N from 1 to the deepest line.
bool IsThinkingScore(long long score) {
    const long long magnitude = score < 0 ? -score : score;
    return magnitude <= 10000 || (magnitude > 100000 && magnitude <= 100000 + 100);
}

// Under an interface nothing but protocol reaches standard output: no blank
// line, thinking lines with scores as xboard reads them, and never one that
// says what the line before it said.
void ExpectProtocolOnly(const std::vector<std::string>& lines) {
    static const char* const prefixes[] = {"feature ",       "pong",           "Error (",
                                           "Illegal move: ", "tellusererror ", "1-0 {",
                                           "0-1 {",          "1/2-1/2 {",      "stat01: "};
    std::string lastThought;
    for (const std::string& line : lines) {
        bool protocol = line == "Vorn " || IsThinkingLine(line) || IsNumberedMoveLine(line) ||
                        (line.rfind("move ", 0) == 0 && IsMoveText(line.substr(5)));
        for (const char* prefix : prefixes) protocol = protocol || line.rfind(prefix, 0) == 0;
        EXPECT_TRUE(protocol) << "[" << line << "]";
        if (!IsThinkingLine(line)) {
            lastThought.clear();
            continue;
        }
        long long depth, score;
        std::istringstream(line) >> depth >> score;
        EXPECT_TRUE(IsThinkingScore(score)) << line;
        EXPECT_NE(ThoughtOf(line), lastThought) << line;
        lastThought = ThoughtOf(line);
    }
}

std::string MoveOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

TEST(XboardSession, TheEnginesMoveLineBeforeAndAfterProtover) {
    EngineSession e;
    e.Send("xboard\nnew\nsd 2\ne2e4");
    std::string line = e.WaitFor(IsNumberedMoveLine);
    ASSERT_EQ(line.substr(0, 7), "1. ... ");
    EXPECT_TRUE(IsLegalAfter(line.substr(7, 4), StartFen, {"e2e4"})) << line;

    e.Send("new\nsd 2\ngo");
    line = e.WaitFor(IsNumberedMoveLine);
    ASSERT_EQ(line.substr(0, 7), "1. ... ");
    EXPECT_TRUE(IsLegalAfter(line.substr(7, 4), StartFen, {})) << line;

    e.Send("protover 2");
    EXPECT_EQ(e.WaitFor("feature"), "feature done=0");
    EXPECT_EQ(e.WaitFor(""), "feature myname=\"Vorn 1.0\" setboard=1 ping=1 usermove=0 san=0 "
                             "time=1 draw=0 sigint=0 sigterm=0 reuse=1 analyze=1 colors=0 "
                             "memory=1 smp=1 ics=0 name=0 pause=0 egt=\"gaviota\" "
                             "variants=\"normal,fischerandom\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"Move Overhead -spin 30 0 5000\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"MultiPV -spin 1 1 64\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"Clear Hash -button\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"Skill Level -spin 20 0 20\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"UCI_LimitStrength -check 0\"");
    EXPECT_EQ(e.WaitFor(""), "feature option=\"UCI_Elo -spin 1500 1000 2400\"");
    EXPECT_EQ(e.WaitFor(""), "feature done=1");

    // A ping sent while the engine thinks is answered after its move.
    e.Send("new\nsd 2\ne2e4\nping 5");
    line =
        e.WaitFor([](const std::string& l) { return l.rfind("move ", 0) == 0 || l == "pong 5"; });
    EXPECT_EQ(line.substr(0, 5), "move ");
    EXPECT_TRUE(IsLegalAfter(MoveOf(line), StartFen, {"e2e4"})) << line;
    EXPECT_EQ(e.WaitFor("pong"), "pong 5");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, LinesThatAreNeitherCommandsNorMovesChangeNothing) {
    EngineSession e;
    e.Send("xboard\nprotover 2\naccepted setboard\nrejected e2e4\nname Fairy-Max 5.0b\n"
           "computer\nfoo bar\ne2e5\ne7e5\ne2e4x\nh9h1\nsetboard 8/8/8/8/8/8/8/8 w - - 0 1\n"
           "level 40 0:30 0\nlevel 0 1 0.1\nlevel 40 5\ntime 6000\notim 5000\nst 10\nsd 5\n"
           "cores abc\ncores 0\nundo\nping 1");
    e.WaitFor("pong");
    const std::vector<std::string> expected = {
        "Error (unknown command): foo",
        "Illegal move: e2e5",
        "Illegal move: e7e5",
        "Illegal move: e2e4x",
        "Illegal move: h9h1",
        "tellusererror Illegal position",
        "Error (bad value): level 40 5",
        "Error (bad value): cores abc",
        "Error (bad value): cores 0",
        "Error (command not legal now): undo",
        "pong 1",
    };
    const std::vector<std::string> answers(e.Lines.end() - expected.size(), e.Lines.end());
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(e.Lines.end()[-int(expected.size()) - 1], "feature done=1");
    e.CloseInput();
    EXPECT_EQ(e.Finish(), 0);
}

TEST(XboardSession, ForceGoSetboardAndADepthCap) {
    EngineSession e;
    e.Send("xboard\nprotover 2\nnew\nforce\ne2e4\ne7e5\nsd 2\ngo");
    std::string line = e.WaitFor("move ");
    EXPECT_TRUE(IsLegalAfter(MoveOf(line), StartFen, {"e2e4", "e7e5"})) << line;

    // A clock of ten minutes, capped at three plies, searched by three threads.
    e.Send("new\npost\ncores 3\nlevel 0 10 0\ntime 60000\notim 60000\nsd 3\ngo");
    line = e.WaitFor("move ");
    EXPECT_TRUE(IsLegalAfter(MoveOf(line), StartFen, {})) << line;
    for (const std::string& l : e.Lines) {
        if (IsThinkingLine(l)) {
            EXPECT_LE(std::stoi(l), 3) << l;
        }
    }

    e.Send("setboard 4k3/8/8/8/8/8/8/R3K3 b Q - 0 1\nsd 2\ngo");
    line = e.WaitFor("move ");
    EXPECT_TRUE(IsLegalAfter(MoveOf(line), "4k3/8/8/8/8/8/8/R3K3 b Q - 0 1", {})) << line;

    // The clock may change while helpers analyse beside the main search.
    e.Send("new\nforce\ncores 2\nsd 30\nanalyze");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    e.Send("time 5000\notim 5000\nexit\nping 7");
    e.WaitFor("pong 7");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, MoveNowEndsTheSearchWithItsBestMove) {
    EngineSession e;
    e.Send("xboard\nprotover 2\nnew\npost\nst 300\ngo");
    // Once the search has done some iterations, "?" asks for its move.
    ASSERT_NE(
        e.WaitFor([](const std::string& l) { return IsThinkingLine(l) && std::stoi(l) >= 4; }), "");
    e.Send("?");
    const std::string line = e.WaitFor("move ", 20000);
    EXPECT_TRUE(IsLegalAfter(MoveOf(line), StartFen, {})) << line;
    // A "?" with no search running changes nothing.
    e.Send("?\nping 3");
    EXPECT_EQ(e.WaitFor("pong"), "pong 3");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, AnalysisFollowsTheBoardAndNeverMoves) {
    EngineSession e;
    const auto whiteLine = [](const std::string& l) {
        return IsThinkingLine(l) && IsLegalAfter(FirstMoveOf(l), StartFen, {});
    };
    const auto blackLine = [](const std::string& l) {
        return IsThinkingLine(l) && IsLegalAfter(FirstMoveOf(l), StartFen, {"e2e4"});
    };
    e.Send("xboard\nprotover 2\nnew\nforce\npost\nanalyze");
    EXPECT_NE(e.WaitFor(whiteLine), "");
    e.Send("e2e4");
    EXPECT_NE(e.WaitFor(blackLine), "");
    e.Send("undo");
    EXPECT_NE(e.WaitFor(whiteLine), "");
    e.Send(".");
    EXPECT_NE(e.WaitFor("stat01: "), "");
    e.Send("setboard " + std::string(MateInOne));
    EXPECT_NE(e.WaitFor([](const std::string& l) { return FirstMoveOf(l) == "a1a8"; }), "");
    e.Send("exit\nping 9");
    EXPECT_EQ(e.WaitFor("pong"), "pong 9");
    // Out of analysis the engine waits: no more thinking, and never a move.
    for (const std::string& l : e.Collect(300)) EXPECT_FALSE(IsThinkingLine(l)) << l;
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    for (const std::string& l : e.Lines) EXPECT_NE(l.substr(0, 5), "move ") << l;
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, AFinishedGameIsFollowedByTheNext) {
    EngineSession e;
    e.Send("xboard\nprotover 2\npost\nsetboard " + std::string(MateInOne) + "\ngo");
    // The mate is shown as 100000 plus the moves to it, and claimed after it.
    EXPECT_NE(e.WaitFor([](const std::string& l) {
        return IsThinkingLine(l) && l.find(" 100001 ") != std::string::npos;
    }),
              "");
    EXPECT_EQ(e.WaitFor("move "), "move a1a8");
    EXPECT_EQ(e.WaitFor("1-0"), "1-0 {White mates}");

    e.Send("result 1-0 {White mates}\nnew\nsd 2\ngo");
    EXPECT_TRUE(IsLegalAfter(MoveOf(e.WaitFor("move ")), StartFen, {}));

    // The opponent's mate ends the game too; the engine waits for the next.
    e.Send("new\nforce\nf2f3\ne7e5\ng2g4\nd8h4");
    EXPECT_EQ(e.WaitFor("0-1"), "0-1 {Black mates}");
    e.Send("go\nping 2");
    EXPECT_EQ(e.WaitFor("pong"), "pong 2");
    e.Send("new\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\nping 4");
    EXPECT_EQ(
        e.WaitFor([](const std::string& l) { return l.rfind("1/2", 0) == 0 || l == "pong 4"; }),
        "1/2-1/2 {Draw by repetition}");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, TheEndOfInputEndsTheEngineEvenDuringASearch) {
    EngineSession idle;
    idle.Send("xboard\nprotover 2");
    idle.WaitFor("feature done=1");
    idle.CloseInput();
    EXPECT_EQ(idle.Finish(), 0);

    EngineSession e;
    e.Send("xboard\nprotover 2\nnew\npost\nst 300\ngo");
    ASSERT_NE(e.WaitFor(IsThinkingLine), "");
    e.CloseInput();
    EXPECT_EQ(e.Finish(20000), 0);
    for (const std::string& l : e.Lines) EXPECT_NE(l.substr(0, 5), "move ") << l;
    ExpectProtocolOnly(e.Lines);
}

// The engine's move and the reply its line expects: the move line and the
// second move of the last thinking line before it.
struct EngineMove {
    std::string Move, ExpectedReply;
};
EngineMove NextEngineMove(EngineSession& e) {
    EngineMove result;
    const std::string line = e.WaitFor([&](const std::string& l) {
        if (IsThinkingLine(l)) {
            std::istringstream in(l);
            std::string field;
            for (int i = 0; i < 6 && in >> field;) ++i;
            result.ExpectedReply = IsMoveText(field) ? field : "";
        }
        return l.rfind("move ", 0) == 0;
    });
    result.Move = line.empty() ? "" : MoveOf(line);
    return result;
}

std::string Log(const EngineSession& e) {
    std::stringstream text;
    text << std::ifstream(e.Dir / "match.log").rdbuf();
    return text.str();
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(XboardSession, AGamesClockIsSummedUpInTheLogOnceAtItsResult) {
    EngineSession e;
    e.Send("xboard\nprotover 2\nsetboard 4k3/8/8/8/8/8/3P4/4K3 w - - 0 1\nlevel 0 1 0");
    e.Send("time 4500\notim 6000\ngo");
    ASSERT_NE(e.WaitFor("move "), "");
    // The result ends the game; "new" and "quit" after it have nothing to add.
    e.Send("result 1/2-1/2 {agreed}\nnew\nquit");
    EXPECT_EQ(e.Finish(), 0);
    const std::string log = Log(e);
    EXPECT_EQ(Occurrences(log, "Game clock: "), 1) << log;
    EXPECT_NE(log.find("Game clock: 1 timed moves; left 45.00 s at the last;"), std::string::npos)
        << log;
}

TEST(XboardSession, PonderingGoesOnAfterTheExpectedReplyAndStopsAfterAnother) {
    EngineSession e;
    e.Send("xboard\nprotover 2\nnew\nhard\npost\nlevel 0 1 0\ngo");
    const EngineMove first = NextEngineMove(e);
    ASSERT_TRUE(IsLegalAfter(first.Move, StartFen, {})) << first.Move;
    ASSERT_TRUE(IsLegalAfter(first.ExpectedReply, StartFen, {first.Move.c_str()}));
    // Thinking on the opponent's time, about the position after the reply.
    const std::string pondering = e.WaitFor(IsThinkingLine, 5000);
    EXPECT_TRUE(IsLegalAfter(FirstMoveOf(pondering), StartFen,
                             {first.Move.c_str(), first.ExpectedReply.c_str()}))
        << pondering;

    // The expected reply: the search goes on as the engine's.
    e.Send("time 5900\notim 5900\n" + first.ExpectedReply);
    const EngineMove second = NextEngineMove(e);
    std::vector<const char*> game = {first.Move.c_str(), first.ExpectedReply.c_str()};
    ASSERT_TRUE(IsLegalAfter(second.Move, StartFen, game)) << second.Move;
    EXPECT_EQ(Occurrences(Log(e), "Pondering on " + first.ExpectedReply), 1);
    EXPECT_EQ(Occurrences(Log(e), "Ponder hit after "), 1);

    // Another reply: the ponder search stops, and the real position is searched.
    game.push_back(second.Move.c_str());
    ASSERT_NE(e.WaitFor(IsThinkingLine, 5000), "");
    BoardFromFen(StartFen);
    StartGameRecord();
    GameMove played;
    for (const char* move : game) {
        ASSERT_TRUE(ParseGameMove(MainBoard, move, &played));
        PlayGameMove(played);
    }
    GameMove moves[MoveList::MaxMoves];
    const int count = GenerateLegalMoves(MainBoard, moves);
    std::string other;
    for (int i = 0; i < count && other.empty(); ++i) {
        char text[MaxPVText];
        fillmovestring(text, LowestSquare(moves[i].From), LowestSquare(moves[i].To),
                       moves[i].Promo);
        std::istringstream(text) >> other;
        if (other == second.ExpectedReply) other.clear();
    }
    e.Send("time 5800\notim 5800\n" + other);
    game.push_back(other.c_str());
    const EngineMove third = NextEngineMove(e);
    EXPECT_TRUE(IsLegalAfter(third.Move, StartFen, game)) << other << " " << third.Move;
    EXPECT_EQ(Occurrences(Log(e), "Ponder hit after "), 1);
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(XboardSession, PonderingOnlyAfterHardAndNotAfterEasy) {
    // Without "hard" the engine thinks only on its own time.
    EngineSession e;
    e.Send("xboard\nprotover 2\nnew\npost\nsd 6\ngo");
    ASSERT_NE(NextEngineMove(e).Move, "");
    for (const std::string& l : e.Collect(500)) EXPECT_FALSE(IsThinkingLine(l)) << l;
    EXPECT_EQ(Occurrences(Log(e), "Pondering on"), 0);

    // "hard": thinking after the move; a ping is answered at once; "easy"
    // ends it.
    e.Send("new\nhard\npost\nlevel 0 1 0\ngo");
    ASSERT_NE(NextEngineMove(e).Move, "");
    ASSERT_NE(e.WaitFor(IsThinkingLine, 5000), "");
    e.Send("ping 4");
    EXPECT_EQ(e.WaitFor("pong", 5000), "pong 4");
    e.Send("easy\nping 5");
    EXPECT_EQ(e.WaitFor("pong", 5000), "pong 5");
    for (const std::string& l : e.Collect(500)) EXPECT_FALSE(IsThinkingLine(l)) << l;
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    ExpectProtocolOnly(e.Lines);
}

TEST(ConsoleSession, ASearchReadsItsInputAsUnderXboard) {
    // A 60-ply search never ends by itself: only the input ends it.
    const auto searching = [](EngineSession& e) {
        e.Send("hello\ne2e4");
        ASSERT_NE(e.WaitFor("Game Score"), "");
    };
    EngineSession e("-fd 60");
    searching(e);
    // A move typed during the search waits for the engine's; "?" asks for it.
    e.Send("d2d4\n?");
    ASSERT_NE(e.WaitFor("Game Score"), "");
    EXPECT_NE(e.WaitFor("Enter Move: d2d4"), "");
    EXPECT_NE(e.WaitFor("4  - - - P P - - -  4"), "");
    e.Send("?");
    ASSERT_NE(e.WaitFor("Game Score"), "");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    EXPECT_EQ(e.Lines.back(), "Bye, Thanks for the match.");

    // "quit" ends Vorn in the middle of the search, with no move.
    EngineSession quitting("-fd 60");
    searching(quitting);
    quitting.Send("quit");
    EXPECT_EQ(quitting.Finish(), 0);
    // The board after the user's move only.
    EXPECT_EQ(std::count_if(quitting.Lines.begin(), quitting.Lines.end(),
                            [](const std::string& l) { return l.rfind("Game Score", 0) == 0; }),
              1);
}

// The text between the first `from` at or after `start` and the next `to`.
std::string Between(const std::string& text, const std::string& from, const std::string& to,
                    size_t start = 0) {
    const size_t a = text.find(from, start);
    if (a == std::string::npos) return "";
    const size_t b = text.find(to, a + from.size());
    return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

TEST(ConsoleSession, APersonPlaysAMoveTakesItBackAndHearsVornsReply) {
    const ProgramRun run = RunVorn("-fd 2", "hello\nhelp\ne2e4\nundo\nNf6\ne4\nboard\nquit\n");
    EXPECT_EQ(run.status, 0);
    const std::string& out = run.out;
    EXPECT_NE(out.find("Hello! I am Vorn\nVorn searches 2 plies deep a move.\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("MAXDEPTH"), std::string::npos) << "a diagnostic for the log";
    // The prompt, and help with the commands and the time control.
    const std::string help = Between(out, "Enter Move: help\nMoves are typed", "Enter Move: ");
    for (const char* command : {"\n  new ", "\n  undo, remove ", "\n  board, d ", "\n  st N ",
                                "\n  quit ", "Vorn searches 2 plies deep a move.\n"})
        EXPECT_NE(help.find(command), std::string::npos) << command << "\n" << help;
    // Input from a pipe is echoed (a terminal shows it itself); Vorn's reply
    // is named, scored in centipawns and drawn.
    const std::string reply = Between(out, "Enter Move: e2e4\nGame Score ", "Enter Move: ");
    EXPECT_NE(reply.find("4  - - - - P - - -  4\n"), std::string::npos) << reply;
    const size_t plays = reply.find("Vorn plays ");
    ASSERT_NE(plays, std::string::npos) << reply;
    const std::string move = reply.substr(plays + 11, 4);
    EXPECT_NE(reply.find("Game Score ", plays), std::string::npos) << reply;
    // undo takes Vorn's move back and redraws: e2e4 stays, Black's pieces are home.
    const std::string undone =
        Between(out, "   A B C D E F G H",
                "Enter Move: ", out.find("Enter Move: ", out.find("Vorn plays ")));
    EXPECT_NE(undone.find("7  p p p p p p p p  7\n"), std::string::npos) << move << "\n" << undone;
    EXPECT_NE(undone.find("4  - - - - P - - -  4\n"), std::string::npos) << undone;
    // Algebraic notation gets the coordinate form when it names a legal move.
    EXPECT_NE(out.find("Error (unknown command): Nf6\nMoves are typed as from and to squares: "
                       "g8f6 for Nf6.\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Illegal move: e4\nMoves are typed as from and to squares"),
              std::string::npos)
        << out;
    for (const char* diagnostic : {"Time Per Move", "info nps", "scanstring", "tellusererror"})
        EXPECT_EQ(out.find(diagnostic), std::string::npos) << diagnostic;
    EXPECT_TRUE(out.ends_with("Bye, Thanks for the match.\n"));
}

TEST(ConsoleSession, AFinishedGameOffersTheNext) {
    const std::filesystem::path fen =
        std::filesystem::temp_directory_path() / ("vorn-mate-" + std::to_string(getpid()) + ".fen");
    std::ofstream(fen) << MateInOne << "\n";
    const ProgramRun run =
        RunVorn("-fd 2 -lpf " + fen.string(), "hello\na1a8\ne2e4\nnew\nsd 2\ne2e4\nquit\n");
    std::filesystem::remove(fen);
    EXPECT_EQ(run.status, 0);
    const std::string& out = run.out;
    const size_t mate =
        out.find("White mates!\nThe game is over: new starts another, quit leaves.\n");
    ASSERT_NE(mate, std::string::npos) << out;
    // A move after the end is refused; "new" draws the opening position and play goes on.
    EXPECT_NE(out.find("Enter Move: e2e4\nThe game is over: new starts another, quit leaves.\n"
                       "Enter Move: ",
                       mate),
              std::string::npos)
        << out;
    const size_t fresh = out.find("8  r n b q k b n r  8\n", mate);
    EXPECT_NE(fresh, std::string::npos) << out;
    EXPECT_NE(out.find("Vorn plays ", fresh), std::string::npos) << out;
    EXPECT_TRUE(out.ends_with("Bye, Thanks for the match.\n"));
}

TEST(ConsoleSession, WithoutAClockVornThinksSecondsAMove) {
    const ProgramRun run = RunVorn("", "hello\nst 1\nhelp\ne2e4\nquit\n");
    EXPECT_NE(run.out.find("Hello! I am Vorn\nVorn thinks 5 seconds a move (st N to change it).\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Vorn thinks 1 second a move"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Vorn plays "), std::string::npos) << run.out;
}

// A level set on the command line is greeted, plays its moves in the game
// and gives way to full strength.
TEST(ConsoleSession, ALevelFromTheCommandLinePlaysUntilStrengthFull) {
    const ProgramRun run = RunVorn("-elo 1200", "hello\nst 1\ne2e4\nstrength full\nd2d4\nquit\n");
    EXPECT_NE(run.out.find("Vorn thinks 5 seconds a move (st N to change it).\nVorn plays at about "
                           "1200 Elo (strength full for its full strength).\n"),
              std::string::npos)
        << run.out;
    // "Vorn plays " and a move, from `from` on.
    const auto moveLine = [&](size_t from) {
        for (size_t at = run.out.find("Vorn plays ", from); at != std::string::npos;
             at = run.out.find("Vorn plays ", at + 1))
            if (run.out[at + 11] >= 'a' && run.out[at + 11] <= 'h') return at;
        return std::string::npos;
    };
    const size_t full = run.out.find("Vorn plays at full strength");
    ASSERT_NE(full, std::string::npos) << run.out;
    EXPECT_LT(moveLine(0), full) << run.out;
    EXPECT_NE(moveLine(full), std::string::npos) << run.out;
}

// A game that runs into a won queen ending, its moves in coordinate form.
constexpr const char* QueenEnding =
    "d2d4 g8f6 g1f3 d7d5 c2c4 d5c4 b1c3 b8d7 e2e4 d7b6 f1c4 b6c4 d1a4 c7c6 a4c4 b7b5 c4c6 "
    "c8d7 c6a6 b5b4 c3d5 f6d5 e4d5 d8b8 c1d2 d7b5 a6a5 b8b7 d2b4 e7e6 b4f8 h8f8 e1d2 b7d5 "
    "a1c1 b5c6 a5c7 c6b7 c1c5 d5d7 c7d7 e8d7 h1c1 b7f3 c5c7 d7d6 g2f3 a7a5 c1c6 d6d5 d2d3 "
    "f8b8 c6c2 d5d6 c7f7 b8f8 f7c7 g7g5 c2c6 d6d5 c6c5 d5d6 d3c4 a8a6 c4b5 f8a8 c7g7 a5a4 "
    "g7g5 a6a5 b5b4 a5a7 b4a3 a7f7 c5c3 a8f8 g5g3 d6d5 c3d3 d5c4 d3e3 c4d4 g3g4 d4d5 g4g5 "
    "d5d4 a3a4 f7f3 e3f3 f8f3 g5g2 f3d3 b2b4 d4c4 g2g8 d3f3 g8g4 c4d5 g4g2 h7h5 h2h4 e6e5 "
    "b4b5 f3f4 a4a5 f4h4 b5b6 h4h1 b6b7 h1b1 a5a6 b1b2 a2a4 b2b4 a4a5 d5c6 g2g8 h5h4 b7b8q "
    "b4b8 g8b8 e5e4 b8c8 c6d6 a6b6 d6d7 a5a6 d7c8 a6a7 c8d7 a7a8q d7d6 a8e4 h4h3 f2f4 d6d7 "
    "f4f5 d7d8 f5f6 h3h2 ";

// A game of two threads in which a mate score came through the table as
// exactly the score of a root without a legal move: the engine then made no
// move and lost on time. It must always move, whatever the score says.
TEST(XboardSession, AMateScoreOfTheNoMoveKindStillMoves) {
    const std::string game = QueenEnding;
    std::vector<std::string> moves;
    std::string lines; // xboard takes a move a line
    std::istringstream words(game);
    for (std::string move; words >> move;) {
        moves.push_back(move);
        lines += move + "\n";
    }
    EngineSession e("-threads 2");
    e.Send("xboard\nprotover 2");
    for (int run = 0; run < 20; ++run) {
        e.Send("new\npost\nlevel 0 0:10 0.1\nforce\n" + lines + "time 397\notim 385\ngo");
        const std::string line = e.WaitFor("move ", 5000);
        std::vector<const char*> played;
        for (const std::string& move : moves) played.push_back(move.c_str());
        EXPECT_TRUE(IsLegalAfter(MoveOf(line), StartFen, played)) << run << ": " << line;
    }
}

// Thinking lines through a game's middlegame and its ending, where mates
// come and go in the scores: each depth's line once, scores as xboard reads
// them, and a mate in two as 100002.
TEST(XboardSession, ThinkingLinesSayEachThingOnceWithScoresAsXboardReadsThem) {
    const std::string game = QueenEnding;
    std::istringstream words(game);
    std::string played;
    EngineSession e;
    e.Send("xboard\nprotover 2");
    int ply = 0;
    for (std::string move; words >> move; ++ply) {
        played += move + "\n";
        if (ply % 12 != 11) continue;
        e.Send("new\npost\nforce\n" + played + "st 1\nsd 7\ngo");
        ASSERT_NE(e.WaitFor("move "), "") << ply;
    }
    e.Send("new\npost\nst 1\nsetboard "
           "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1\ngo");
    EXPECT_NE(e.WaitFor([](const std::string& l) {
        return IsThinkingLine(l) && l.find(" 100002 ") != std::string::npos;
    }),
              "");
    EXPECT_EQ(e.WaitFor("move "), "move d5f6");
    e.Send("quit");
    EXPECT_EQ(e.Finish(), 0);
    int thinking = 0;
    for (const std::string& line : e.Lines) thinking += IsThinkingLine(line);
    EXPECT_GT(thinking, 50);
    ExpectProtocolOnly(e.Lines);
}

// MultiPV under xboard: set through the option the features declare, it
// gives as many thinking lines of each depth, each with another first move.
TEST(XboardSession, MultiPVLinesInAnalysis) {
    EngineSession e;
    e.Send("xboard\nprotover 2\noption MultiPV=0\noption MultiPV=65\noption MultiPV=3");
    EXPECT_EQ(e.WaitFor("Error"), "Error (bad value): option MultiPV=0");
    EXPECT_EQ(e.WaitFor("Error"), "Error (bad value): option MultiPV=65");
    e.Send("new\nforce\nsetboard "
           "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4\npost\nanalyze");
    std::vector<std::string> firstMoves;
    e.WaitFor([&](const std::string& l) {
        if (IsThinkingLine(l) && l.rfind("5 ", 0) == 0) firstMoves.push_back(FirstMoveOf(l));
        return firstMoves.size() == 3;
    });
    e.Send("exit\nquit");
    EXPECT_EQ(e.Finish(), 0);
    ASSERT_EQ(firstMoves.size(), 3u);
    EXPECT_NE(firstMoves[0], firstMoves[1]);
    EXPECT_NE(firstMoves[0], firstMoves[2]);
    EXPECT_NE(firstMoves[1], firstMoves[2]);
    ExpectProtocolOnly(e.Lines);
}

} // namespace
