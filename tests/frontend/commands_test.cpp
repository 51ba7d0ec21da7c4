// The front end in-process: moves checked against the position, the
// settings the commands set, edit and setboard, take-backs, and the results
// the game may claim.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/session.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

const std::string ConsoleOffer = "The game is over: new starts another, quit leaves.\n";
constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// A fresh game on `fen` with the moves played, as the interface would send them.
void StartGame(const char* fen, const std::vector<const char*>& moves = {}) {
    Settings = Status{};
    Settings.initVars();
    Settings.setxboard(1);
    GameSession = Session{};
    AttachEngine(TestEngine());
    BoardFromFen(fen);
    StartGameRecord();
    for (const char* text : moves) {
        GameMove move;
        ASSERT_TRUE(ParseGameMove(MainBoard, text, &move)) << text;
        PlayGameMove(move);
    }
}

// What DoCommand prints for `line`.
std::string Command(const std::string& line) {
    return CapturedStdout([&] { DoCommand(line.c_str()); });
}

TEST(MoveText, OnlyLegalMovesOfThePositionAreAccepted) {
    const struct {
        const char* fen;
        const char* text;
        bool legal;
        char promo; // as made, when legal
    } cases[] = {
        {StartFen, "e2e4", true, NoPromotion},
        {StartFen, "g1f3", true, NoPromotion},
        {StartFen, "e2e5", false, 0},
        {StartFen, "e7e5", false, 0},  // not the side to move
        {StartFen, "e1g1", false, 0},  // castling through pieces
        {StartFen, "e2e4q", false, 0}, // a letter on a move that is no promotion
        {StartFen, "e2e4 ", false, 0}, // not the whole text
        {StartFen, "i2i4", false, 0},  // off the board
        {StartFen, "e0e4", false, 0},
        {StartFen, "e2", false, 0},
        {StartFen, "e2e4qq", false, 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", true, NoPromotion},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1", true, NoPromotion},
        {"r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", "e1g1", false, 0}, // through an attacked square
        {"4k3/8/8/8/8/8/8/R3K2R w - - 0 1", "e1g1", false, 0},        // without the right
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", true, NoPromotion},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", "e5d6", false, 0},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8", true, 'Q'},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8n", true, 'n'},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8R", true, 'R'},
        {"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8k", false, 0},
        {"4k3/8/8/8/8/8/p7/4K3 b - - 0 1", "a2a1b", true, 'b'},
        {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", "e1d1", true, NoPromotion},
        {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", "e1f2", false, 0},   // into check
        {"4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1", "e2d3", false, 0}, // a pinned piece
    };
    for (const auto& c : cases) {
        const ChessBoard board = BoardFromFen(c.fen);
        GameMove move{};
        EXPECT_EQ(ParseGameMove(board, c.text, &move), c.legal) << c.fen << " " << c.text;
        if (c.legal) {
            EXPECT_EQ(move.Promo, c.promo) << c.text;
        }
    }
}

TEST(MoveText, AnUnderPromotionIsMadeAsTyped) {
    StartGame("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", {"a7a8n"});
    EXPECT_EQ(MainBoard.WKnights, Bit(A8));
    EXPECT_EQ(MainBoard.WQueens | MainBoard.WPawns, 0u);
    EXPECT_EQ(MainBoard.SideToMove, Black);
}

TEST(Commands, ClockAndDepthSettings) {
    StartGame(StartFen);
    EXPECT_EQ(Command("time 6000"), "");
    EXPECT_EQ(Settings.Limits.TimeLeft, 60000);

    EXPECT_EQ(Command("level 40 5 0"), "");
    EXPECT_EQ(Settings.Limits.MovesPerSession, 40);
    EXPECT_EQ(Settings.Limits.TimeLeft, 5 * 60000);
    EXPECT_EQ(Settings.Limits.TimeIncMs, 0);
    // The moves to the control count down with the game's move number and
    // start again after each control, for either side.
    for (const auto& [gamePly, movesToGo] :
         {std::pair{1, 40}, {2, 40}, {3, 39}, {78, 2}, {79, 1}, {80, 1}, {81, 40}, {159, 1}}) {
        Settings.Game.GamePly = gamePly;
        EXPECT_EQ(RequestFromSettings(Settings, 0).MovesToGo, movesToGo) << "ply " << gamePly;
    }
    Settings.Game.GamePly = 1;

    EXPECT_EQ(Command("st 10"), "");
    EXPECT_EQ(Settings.Limits.ST, 10000);
    EXPECT_EQ(Settings.Limits.TimeLeft, 600000);
    // A level replaces a fixed time per move.
    Command("level 0 1 2.5");
    EXPECT_EQ(Settings.Limits.ST, 0);
    EXPECT_EQ(Settings.Limits.TimeIncMs, 2500);
    Command("level 0 0:30 0.05");
    EXPECT_EQ(Settings.Limits.TimeIncMs, 50);
    // The move overhead comes off the clock, the increment's fraction counts.
    EXPECT_EQ(HardTimeLimit(ClockOf(RequestFromSettings(Settings, 0))),
              (30000 - DefaultMoveOverheadMs) / 3 + 50);

    const int consoleDepth = GameSession.MaxDepth;
    EXPECT_EQ(Command("sd 5"), "");
    EXPECT_EQ(GameSession.DepthLimit, 5);
    EXPECT_EQ(GameSession.MaxDepth, consoleDepth); // the console's depth stays

    // Bad values are refused, out-of-range ones too (never wrapped), and change nothing.
    for (const char* line :
         {"time abc", "time", "time 12x", "time 99999999999999999999", "st -1", "sd 0", "sd 500",
          "level 40 5", "level 0 0 -5", "otim x", "dumpsee 64 1", "memory 0",
          "option Move Overhead=-5", "option Move Overhead=5001", "option Move Overhead=x"}) {
        const Status before = Settings;
        EXPECT_EQ(Command(line), std::string("Error (bad value): ") + line + "\n");
        EXPECT_EQ(Settings.Limits.TimeLeft, before.Limits.TimeLeft) << line;
        EXPECT_EQ(Settings.Limits.ST, before.Limits.ST) << line;
        EXPECT_EQ(Settings.Limits.TimeIncMs, before.Limits.TimeIncMs) << line;
        EXPECT_EQ(Settings.Options.MoveOverheadMs, before.Options.MoveOverheadMs) << line;
    }
    EXPECT_EQ(Command("option Move Overhead=120"), "");
    EXPECT_EQ(Settings.Options.MoveOverheadMs, 120);
    Command("option Move Overhead=30");
    EXPECT_EQ(GameSession.DepthLimit, 5);
    Command("time -50");
    EXPECT_EQ(Settings.Limits.TimeLeft, -500);
}

TEST(Commands, LevelTakesMinutesOrMinutesAndSecondsAndAFractionalIncrement) {
    const struct {
        const char* text;
        bool valid;
        int moves = 0, baseMs = 0, incrementMs = 0;
    } cases[] = {
        {"40 5 0", true, 40, 300000, 0},
        {"40 0:30 0", true, 40, 30000, 0},
        {"0 1 0.1", true, 0, 60000, 100},
        {"0 2:05 0.05", true, 0, 125000, 50},
        {"0 0 12", true, 0, 0, 12000},
        {"0  1\t3.", true, 0, 60000, 3000},
        {"40 5", false},
        {"40 5 0 1", false},
        {"x 5 0", false},
        {"-1 5 0", false},
        {"40 -5 0", false},
        {"40 5:60 0", false},
        {"40 :30 0", false},
        {"40 5: 0", false},
        {"40 5 -1", false},
        {"40 5 .", false},
        {"40 5 0.1.2", false},
        {"40 99999999 0", false},
    };
    for (const auto& c : cases) {
        int moves = -1, base = -1, increment = -1;
        EXPECT_EQ(ParseLevel(c.text, &moves, &base, &increment), c.valid) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(moves, c.moves) << c.text;
        EXPECT_EQ(base, c.baseMs) << c.text;
        EXPECT_EQ(increment, c.incrementMs) << c.text;
    }
}

TEST(Commands, LinesOfOtherKindsAreReadWhole) {
    StartGame(StartFen);
    const ChessBoard before = MainBoard;
    // Words inside these lines are never taken for commands or moves.
    for (const char* line : {"name Fairy-Max 5.0b", "accepted setboard", "rejected e2e4",
                             "result 1-0 {White mates e7e8}", "computer", "option Hash=64",
                             "rating 2100 1800", "ics -", "random", "hard", "easy", "nps 100",
                             "cores 2", "egtpath syzygy /tmp", "playother", "  ", ""})
        EXPECT_EQ(Command(line), "") << line;
    EXPECT_EQ(MainBoard.AllPieces, before.AllPieces);
    EXPECT_EQ(DoCommand("e2e4"), CommandIsMove);
    EXPECT_EQ(DoCommand("usermove e2e4"), CommandIsMove);
    EXPECT_EQ(Command("xyzzy e2e4"), "Error (unknown command): xyzzy\n");
    EXPECT_EQ(Command("Nf3"), "Error (unknown command): Nf3\n");
    EXPECT_EQ(Command("ping 17"), "pong 17\n");
    EXPECT_EQ(DoCommand("quit"), CommandQuits);
}

TEST(Commands, SetboardKeepsThePreviousPositionWhenTheNewOneCannotBePlayed) {
    StartGame(StartFen, {"e2e4"});
    const ChessBoard before = MainBoard;
    for (const char* fen :
         {"", "8/8/8/8/8/8/8/8 w - - 0 1", "4k3/8/8/8/8/8/8/4K2K w - - 0 1",
          "4k3/8/8/8/8/8/8/P3K3 w - - 0 1", "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1", "\x01\x02\xff"}) {
        EXPECT_EQ(Command(std::string("setboard ") + fen), "tellusererror Illegal position\n")
            << fen;
        EXPECT_EQ(MainBoard.AllPieces, before.AllPieces) << fen;
        EXPECT_EQ(MainBoard.SideToMove, Black);
    }
    EXPECT_EQ(Command("setboard 4k3/8/8/8/8/8/8/R3K3 b Q - 12 40"), "");
    EXPECT_EQ(MainBoard.WRooks, Bit(A1));
    EXPECT_EQ(MainBoard.SideToMove, Black);
    EXPECT_EQ(MainBoard.FiftyMoveCount, 12);
    // The game starts afresh there: nothing to take back.
    EXPECT_EQ(Command("undo"), "Error (command not legal now): undo\n");
    EXPECT_EQ(GameHistory.NumMoves, 1);
}

// Castling as interfaces and people write it: king takes rook, O-O, or on a
// Chess960 board the king's step to its target when nothing else is so
// written; the engine writes it O-O there.
TEST(MoveText, Chess960CastlingInEveryForm) {
    const char* both =
        "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w KQkq - 0 1"; // castling rooks b1, g1
    const struct {
        const char* fen;
        CastlingRules rules;
        const char* text;
        int from, to;
    } cases[] = {
        {both, CastlingRules::Chess960, "e1g1", E1, G1},
        {both, CastlingRules::Chess960, "O-O", E1, G1},
        {both, CastlingRules::Chess960, "e1b1", E1, B1},
        {both, CastlingRules::Chess960, "e1c1", E1, B1},
        {both, CastlingRules::Chess960, "O-O-O", E1, B1},
        {both, CastlingRules::Chess960, "0-0-0", E1, B1},
        // b1c1 is also the king's plain step, which it names.
        {"4k3/8/8/8/8/8/8/RK6 w Q - 0 1", CastlingRules::Chess960, "b1c1", B1, C1},
        {"4k3/8/8/8/8/8/8/RK6 w Q - 0 1", CastlingRules::Chess960, "b1a1", B1, A1},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", CastlingRules::Standard, "O-O-O", E8, C8},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", CastlingRules::Chess960, "O-O", E1, H1},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(SetupBoard(c.fen, c.rules), SetupOk) << c.fen;
        GameMove move{};
        ASSERT_TRUE(ParseGameMove(MainBoard, c.text, &move)) << c.fen << " " << c.text;
        EXPECT_EQ(move.From, Bit(c.from)) << c.text;
        EXPECT_EQ(move.To, Bit(c.to)) << c.text;
    }
    for (const char* text : {"O-O-O", "e1c1", "b1c1", "O-O-O-O", "o-o"}) {
        ASSERT_EQ(SetupBoard("4k3/8/8/8/8/8/8/4K2R w K - 0 1", CastlingRules::Chess960), SetupOk);
        GameMove move{};
        EXPECT_FALSE(ParseGameMove(MainBoard, text, &move)) << text;
    }

    const auto engineText = [](const char* fen, CastlingRules rules, int from, int to) {
        EXPECT_EQ(SetupBoard(fen, rules), SetupOk) << fen;
        char text[8];
        EngineMoveText(MainBoard, GameMove{Bit(from), Bit(to), NoPromotion}, text, sizeof text);
        return std::string(text);
    };
    EXPECT_EQ(engineText(both, CastlingRules::Chess960, E1, G1), "O-O");
    EXPECT_EQ(engineText(both, CastlingRules::Chess960, E1, B1), "O-O-O");
    EXPECT_EQ(engineText(both, CastlingRules::Chess960, E1, F1), "e1f1");
    EXPECT_EQ(engineText("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", CastlingRules::Standard, E1, G1),
              "e1g1");
}

// "variant fischerandom" reads positions by Chess960's rules until "variant
// normal"; a castling field either cannot have is refused with its reason.
TEST(Commands, VariantsAndTheirCastlingFields) {
    StartGame(StartFen);
    const char* chess960 = "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1";
    EXPECT_EQ(Command(std::string("setboard ") + chess960),
              "tellusererror Illegal position: castling that only Chess960 has (variant "
              "fischerandom plays it)\n");
    EXPECT_EQ(Command("variant fischerandom"), "");
    EXPECT_EQ(Command(std::string("setboard ") + chess960), "");
    EXPECT_TRUE(MainBoard.Chess960);
    EXPECT_EQ(MainBoard.CastleFlags, AllCastling);
    EXPECT_EQ(Command("setboard 4k3/8/8/8/8/8/8/4K3 w K - 0 1"),
              "tellusererror Illegal position: a castling right without a rook of its colour "
              "where the letter points\n");
    EXPECT_EQ(MainBoard.CastleRookSquare[0], G1); // the board stays
    EXPECT_EQ(DoCommand("new"), CommandEndsInput);
    EXPECT_TRUE(MainBoard.Chess960);
    EXPECT_EQ(Command("variant crazyhouse"), "Error (unsupported variant): crazyhouse\n");
    EXPECT_EQ(Command("variant normal"), "");
    EXPECT_EQ(DoCommand("new"), CommandEndsInput);
    EXPECT_FALSE(MainBoard.Chess960);
}

TEST(Commands, EditBuildsAPositionAndRefusesOneThatCannotBePlayed) {
    StartGame(StartFen);
    for (const char* line : {"#", "Ke1", "Rh1", "Pe4", "c", "Ke8", "Pd4", "xd4", "Qf5 junk", "."})
        QueueLine(line);
    EXPECT_EQ(Command("edit"), "");
    EXPECT_EQ(MainBoard.WKing, Bit(E1));
    EXPECT_EQ(MainBoard.WRooks, Bit(H1));
    EXPECT_EQ(MainBoard.BKing, Bit(E8));
    EXPECT_EQ(MainBoard.BPawns, 0u);
    EXPECT_EQ(MainBoard.BQueens, Bit(F5));
    EXPECT_EQ(MainBoard.CastleFlags, WhiteKingSide);
    EXPECT_EQ(MainBoard.SideToMove, White);
    EXPECT_TRUE(BoardAndKeyAreConsistent(MainBoard));

    // A piece put where another stands replaces it.
    for (const char* line : {"c", "Qe4", "."}) QueueLine(line);
    Command("edit");
    EXPECT_EQ(MainBoard.BQueens, Bit(E4) | Bit(F5));
    EXPECT_EQ(MainBoard.WPawns, 0u);

    const ChessBoard before = MainBoard;
    for (const std::vector<const char*>& edit : std::vector<std::vector<const char*>>{
             {"#", "Ke1", "."},                    // no Black king
             {"#", "Ke1", "Kd1", "c", "Ke8", "."}, // two White kings
             {"#", "Ke1", "Pa8", "c", "Ke8", "."}, // a pawn on the last rank
             {"#", "Ke1", "Re7", "c", "Ke8", "."}, // Black, not to move, in check
         }) {
        for (const char* line : edit) QueueLine(line);
        EXPECT_EQ(Command("edit"), "tellusererror Illegal position\n");
        EXPECT_EQ(MainBoard.AllPieces, before.AllPieces);
    }
}

TEST(Commands, TheColourCommandsRefuseASideWhoseOpponentStandsInCheck) {
    StartGame("4k3/4R3/8/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(Command("white"), "tellusererror Illegal position\n");
    EXPECT_EQ(MainBoard.SideToMove, Black);
    EXPECT_EQ(Command("black"), "");
    StartGame(StartFen);
    EXPECT_EQ(Command("black"), "");
    EXPECT_EQ(MainBoard.SideToMove, Black);
    EXPECT_EQ(GameHistory.NumMoves, 1);
}

TEST(Commands, UndoAndRemoveTakeBackTheBoardTheRecordAndTheCounters) {
    StartGame(StartFen, {"g1f3", "g8f6"});
    const ChessBoard afterTwo = MainBoard;
    const int plyAfterTwo = Settings.Game.GamePly;
    for (const char* text : {"f3g1", "f6g8", "e2e4"}) {
        GameMove move;
        ASSERT_TRUE(ParseGameMove(MainBoard, text, &move));
        PlayGameMove(move);
    }
    EXPECT_EQ(MainBoard.FiftyMoveCount, 0);
    EXPECT_EQ(GameHistory.NumMoves, 6);

    EXPECT_EQ(Command("undo"), "");
    EXPECT_EQ(MainBoard.FiftyMoveCount, 4);
    EXPECT_EQ(MainBoard.SideToMove, White);
    EXPECT_EQ(GameHistory.NumMoves, 5);
    EXPECT_EQ(Command("remove"), "");
    EXPECT_EQ(MainBoard.AllPieces, afterTwo.AllPieces);
    EXPECT_EQ(MainBoard.WKnights, afterTwo.WKnights);
    EXPECT_EQ(MainBoard.FiftyMoveCount, 2);
    EXPECT_EQ(Settings.Game.GamePly, plyAfterTwo);
    EXPECT_EQ(GameHistory.NumMoves, 3);
    EXPECT_EQ(Command("remove"), "");
    EXPECT_EQ(MainBoard.AllPieces, BoardFromFen(StartFen).AllPieces);
    EXPECT_EQ(Command("undo"), "Error (command not legal now): undo\n");
}

TEST(Commands, NewStartsAFreshGameAndClearsTheDepthLimit) {
    StartGame(StartFen, {"e2e4", "e7e5"});
    Command("sd 4");
    Command("force");
    EXPECT_EQ(DoCommand("new"), CommandEndsInput);
    EXPECT_EQ(MainBoard.AllPieces, BoardFromFen(StartFen).AllPieces);
    EXPECT_EQ(Settings.Game.Force, 0);
    EXPECT_EQ(Settings.Game.OpponentToMove, 1);
    EXPECT_EQ(Settings.Game.GamePly, 1);
    EXPECT_EQ(GameSession.DepthLimit, 0);
    EXPECT_EQ(GameHistory.NumMoves, 1);
}

TEST(Commands, AnalysisRunsWithoutAClockAndGivesItBack) {
    StartGame(StartFen);
    Command("st 5");
    EXPECT_EQ(DoCommand("analyze"), CommandEndsInput);
    EXPECT_EQ(Settings.Limits.Analyze, 1);
    EXPECT_EQ(Settings.Options.Post, 1);
    EXPECT_GT(Settings.Limits.ST, 1000000);
    // In analysis a changed position ends the input loop, so the analysis restarts.
    EXPECT_EQ(DoCommand("setboard 4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"), CommandEndsInput);
    EXPECT_EQ(DoCommand("exit"), CommandEndsInput);
    EXPECT_EQ(Settings.Limits.Analyze, 0);
    EXPECT_EQ(Settings.Limits.ST, 5000);
    EXPECT_EQ(Settings.Game.Force, 1);
}

TEST(GameEnd, OnlyResultsTheRulesGiveAreClaimed) {
    const struct {
        const char* fen;
        std::vector<const char*> moves;
        GameVerdict verdict;
    } cases[] = {
        {StartFen, {"e2e4"}, GameGoesOn},
        {StartFen, {"f2f3", "e7e5", "g2g4", "d8h4"}, BlackMates},
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", {"a1a8"}, WhiteMates},
        {"7k/8/6Q1/8/8/8/8/K7 w - - 0 1", {"g6f7"}, Stalemate},
        {"8/8/4k3/8/8/4K3/3r4/4B3 w - - 0 1", {"e1d2"}, DrawByMaterial}, // bishop alone
        {"8/8/4k3/8/8/4K3/3r4/4N3 w - - 0 1", {"e1d3"}, GameGoesOn},
        {"8/8/4k3/8/8/3rK3/8/4N3 w - - 0 1", {"e1d3"}, DrawByMaterial},   // knight alone
        {"8/8/2b1k3/8/8/4K3/3r4/4B3 w - - 0 1", {"e1d2"}, GameGoesOn},    // bishops of both colours
        {"8/8/3bk3/8/8/4K3/3r4/4B3 w - - 0 1", {"e1d2"}, DrawByMaterial}, // bishops on one colour
        {"8/8/3nk3/8/8/3rK3/8/4N3 w - - 0 1", {"e1d3"}, GameGoesOn},      // a knight each
        {"8/8/4k3/8/8/4K3/8/R7 w - - 98 80", {"a1a2"}, GameGoesOn},
        {"8/8/4k3/8/8/4K3/8/R7 w - - 99 80", {"a1a2"}, DrawByFiftyMoves},
        {"8/8/4k3/8/8/4K3/P7/R7 w - - 99 80", {"a2a3"}, GameGoesOn},  // a pawn move
        {"k7/8/1Q6/8/8/8/8/1R2K3 w - - 99 80", {"b6b7"}, WhiteMates}, // mate before the rule
        {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"}, GameGoesOn},
        {StartFen,
         {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"},
         DrawByRepetition},
        // The first position could take en passant; its later repetitions cannot.
        {"4k3/8/8/8/4p3/8/3P4/4K1N1 w - - 0 1",
         {"d2d4", "e8d8", "g1f3", "d8e8", "f3g1", "e8d8", "g1f3", "d8e8", "f3g1"},
         GameGoesOn},
        {"4k3/8/8/8/4p3/8/3P4/4K1N1 w - - 0 1",
         {"d2d4", "e8d8", "g1f3", "d8e8", "f3g1", "e8d8", "g1f3", "d8e8", "f3g1", "e8d8", "g1f3",
          "d8e8", "f3g1"},
         DrawByRepetition},
    };
    for (const auto& c : cases) {
        StartGame(c.fen, c.moves);
        EXPECT_EQ(JudgeGame(), c.verdict) << c.fen << " after " << c.moves.size() << " moves";
    }
}

TEST(GameEnd, TheRepetitionRecordHoldsTheGame) {
    StartGame(StartFen, {"g1f3", "g8f6", "f3g1", "f6g8"});
    ASSERT_EQ(GameHistory.NumMoves, 5);
    Bitboard upper, lower;
    genhashcode(White, AllCastling, &upper, &lower, &MainBoard);
    // The start position stands at the first and the latest entry.
    EXPECT_EQ(GameHistory.Upper[0], upper);
    EXPECT_EQ(GameHistory.Lower[4], lower);
    EXPECT_EQ(GameHistory.ThreeFoldRepDetection(10, upper, lower), 1);
    // The driver adds the root under xboard: the record stops short of it.
    SyncRepetitionRecord(false);
    EXPECT_EQ(GameHistory.NumMoves, 4);
}

TEST(GameEnd, AnnouncedInTheProtocolsForm) {
    const struct {
        GameVerdict verdict;
        bool xboard;
        std::string line;
    } cases[] = {
        {WhiteMates, true, "1-0 {White mates}\n"},
        {BlackMates, true, "0-1 {Black mates}\n"},
        {Stalemate, true, "1/2-1/2 {Stalemate}\n"},
        // The console offers the next game.
        {WhiteMates, false, "White mates!\n" + ConsoleOffer},
        {BlackMates, false, "Black mates!\n" + ConsoleOffer},
        {Stalemate, false, "Stalemate\n" + ConsoleOffer},
        {DrawByMaterial, true, "1/2-1/2 {Draw by insufficient material}\n"},
        {DrawByFiftyMoves, false, "1/2-1/2 {Draw by 50 Move Rule}\n" + ConsoleOffer},
        {DrawByRepetition, true, "1/2-1/2 {Draw by repetition}\n"},
        {GameGoesOn, true, ""},
    };
    for (const auto& c : cases) {
        StartGame(StartFen);
        Settings.Mode.xboard = c.xboard;
        EXPECT_EQ(CapturedStdout([&] { AnnounceVerdict(c.verdict); }), c.line);
        EXPECT_EQ(Settings.Game.GameInProgress, c.verdict == GameGoesOn);
    }
    // A draw is claimed once: an interface that plays on is obeyed.
    StartGame(StartFen);
    CapturedStdout([] { AnnounceVerdict(DrawByRepetition); });
    Settings.Game.GameInProgress = 1;
    EXPECT_EQ(CapturedStdout([] { AnnounceVerdict(DrawByRepetition); }), "");
    EXPECT_EQ(Settings.Game.GameInProgress, 1);
}

} // namespace
