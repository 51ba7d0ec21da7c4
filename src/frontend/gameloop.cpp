// The game loop of xboard and console play: the opponent's moves, the
// engine's searches, analysis, and the end of a game.
#include <cstdio>
#include <cstring>

#include "frontend/session.h"

namespace {

// The depth the driver is given: the fixed depth, else the "sd" cap (0, no
// cap, leaves the clock alone in charge).
int DriverDepth() { return Settings.Limits.FD ? Settings.Limits.FD : GameSession.DepthLimit; }

// One run of the iterative-deepening driver on MainBoard. The game record
// makes the move, so that both sides' moves take one path. True when the
// driver chose a move.
bool RunSearch(GameMove* move, int* score) {
    // Under xboard the search adds the root to the repetition record itself.
    SyncRepetitionRecord(!Settings.Mode.xboard);
    ThinkingReporter reporter(Settings.Mode.xboard ? ThinkingReporter::Audience::Xboard
                                                   : ThinkingReporter::Audience::Console);
    GameSession.Searching = true;
    const SearchResult result = GameSession.Searcher->Think(
        MainBoard, GameHistory, RequestFromSettings(Settings, DriverDepth()), reporter);
    GameSession.Searching = false;
    GameSession.Aborted = result.Aborted;
    GameSession.DepthReached = result.DepthReached;
    // A root without a legal move answers no move.
    const bool moved = result.Move.From != 0;
    SyncRepetitionRecord(true);
    GameSession.TablesStale = true;
    *score = result.Score;
    *move = result.Move;
    GameSession.EngineMove = *move;
    GameSession.EngineLine = result.Line;
    return moved;
}

// After a move of either side: the console shows the board, and a game that
// has ended says so.
void AfterMove() {
    if (!Settings.Mode.xboard) {
        // In centipawns, as the thinking lines give it.
        std::printf("Game Score %d\n", ThinkingScore(GameSession.LastScore));
        DisplayPosition(MainBoard);
    }
    AnnounceVerdict(JudgeGame());
}

// The end of the engine's search: its move is made and told.
void FinishEngineTurn(bool moved, const GameMove& move, int score) {
    GameSession.LastScore = score;
    Settings.Game.OpponentToMove = 1;
    if (moved) {
        if (Settings.Mode.xboard) {
            MakeGUIMove(move.From, move.To, move.Promo, score);
        } else {
            char text[8];
            EngineMoveText(MainBoard, move, text, sizeof text);
            std::printf("Vorn plays %s \n", text);
        }
        PlayGameMove(move);
        GameSession.PonderReady = true;
        AfterMove();
    } else if (!GameSession.Aborted) {
        // No move to make: the game is over on the board.
        AnnounceVerdict(JudgeGame());
    }
}

// A person who set no clock gets a fixed time a move: without one the search
// would stop after its first iteration.
void ApplyConsoleClock() {
    Status& s = Settings;
    if (s.Mode.xboard || s.Limits.FD || s.Limits.ST || GameSession.ClockGiven) return;
    s.Limits.ST = GameSession.ConsoleSeconds * 1000;
    s.Limits.TimeLeft = GameSession.ConsoleSeconds * 60000;
}

void EngineTurn() {
    ApplyConsoleClock();
    GameMove move;
    int score;
    const bool moved = RunSearch(&move, &score);
    FinishEngineTurn(moved, move, score);
}

// Right after the engine's move, with pondering on: the reply its line
// expects is played on the board and searched while the opponent thinks.
// When the opponent plays it, that search goes on as the engine's; else the
// reply is taken back and the opponent's line, which waits, is read next.
// False when there is nothing to ponder on.
bool Ponder() {
    const Status& s = Settings;
    const bool ready = GameSession.PonderReady;
    GameSession.PonderReady = false;
    GameMove reply;
    if (!ready || !GameSession.PonderOn || !s.Mode.xboard || s.Game.Force || s.Limits.Analyze ||
        s.Game.SelfPlay || !s.Game.GameInProgress || QueuedLines() > 0 ||
        !ExpectedReply(MainBoard, GameSession.EngineLine, GameSession.EngineMove, &reply))
        return false;
    GameSession.PonderFrom = MainBoard;
    GameSession.PonderGuess = reply;
    GameSession.PonderHit = false;
    PlayGameMove(reply);
    // A reply that ends the game leaves nothing to think about.
    if (JudgeGame() != GameGoesOn) {
        TakeBackMoves(1);
        return false;
    }
    char text[MaxPVText];
    fillmovestring(text, LowestSquare(reply.From), LowestSquare(reply.To), reply.Promo);
    LogPrintf("Pondering on%s", text);
    Settings.Limits.Ponder = 1;
    GameMove move;
    int score;
    const bool moved = RunSearch(&move, &score);
    Settings.Limits.Ponder = 0;
    if (!GameSession.PonderHit) {
        TakeBackMoves(1);
        return true;
    }
    FinishEngineTurn(moved, move, score);
    return true;
}

// Analysis searches until a command stops it; the commands that waited then
// run before it starts again. A search that ended by itself (a mate found, a
// single reply) waits for the next command. Nothing is played on the board.
void Analyse() {
    GameMove move;
    int score;
    RunSearch(&move, &score);
    if (!GameSession.Aborted && QueuedLines() == 0) HumanMove();
}

// A terminal shows what the person types; input from a pipe or a file is
// written after the prompt, so that the transcript reads as a dialogue.
void EchoConsoleLine(const char* line) {
    if (!Settings.Mode.xboard && !InputIsTerminal()) std::printf("%s\n", line);
}

// After a move of the opponent (or of either side in force mode).
void AfterOpponentMove() {
    if (Settings.Limits.Analyze) return;
    if (!Settings.Game.Force) Settings.Game.OpponentToMove = 0;
    AfterMove();
}

// One command line; a move in it is made if it is legal.
int TakeCommand(const char* line) {
    // Whatever the line does, the engine's line no longer follows the game.
    GameSession.PonderReady = false;
    const int result = DoCommand(line);
    std::fflush(stdout);
    if (result != CommandIsMove) return result;
    const Words words(line);
    const char* text = std::strcmp(words[0], "usermove") == 0 ? words[1] : words[0];
    GameMove move;
    // At the console a finished game takes no more moves.
    if (!Settings.Mode.xboard && !Settings.Game.GameInProgress) {
        std::printf("The game is over: new starts another, quit leaves.\n");
        return CommandHandled;
    }
    if (!ParseGameMove(MainBoard, text, &move)) {
        std::printf("Illegal move: %s\n", text);
        if (!Settings.Mode.xboard) TellMoveForm(text);
        std::fflush(stdout);
        return CommandHandled;
    }
    PlayGameMove(move);
    Settings.Game.GameInProgress = 1;
    return CommandIsMove;
}

} // namespace

void AnnounceVerdict(GameVerdict verdict) {
    if (verdict == GameGoesOn) return;
    const bool draw = verdict >= DrawByMaterial;
    // An interface that plays on after a claimed draw has its way.
    if (draw && GameSession.DrawClaimed) return;
    GameSession.DrawClaimed = draw;
    Settings.Game.GameInProgress = 0;
    const bool xboard = Settings.Mode.xboard;
    switch (verdict) {
    case WhiteMates:
        std::printf(xboard ? "1-0 {White mates}\n" : "White mates!\n");
        break;
    case BlackMates:
        std::printf(xboard ? "0-1 {Black mates}\n" : "Black mates!\n");
        break;
    case Stalemate:
        std::printf(xboard ? "1/2-1/2 {Stalemate}\n" : "Stalemate\n");
        break;
    case DrawByMaterial:
        std::printf("1/2-1/2 {Draw by insufficient material}\n");
        break;
    case DrawByFiftyMoves:
        std::printf("1/2-1/2 {Draw by 50 Move Rule}\n");
        break;
    case DrawByRepetition:
        std::printf("1/2-1/2 {Draw by repetition}\n");
        break;
    case GameGoesOn:
        break;
    }
    if (!xboard) std::printf("The game is over: new starts another, quit leaves.\n");
    std::fflush(stdout);
}

void MakeGUIMove(Bitboard from, Bitboard to, char promo, int score) {
    char text[MaxPVText];
    fillmovestring(text, LowestSquare(from), LowestSquare(to), promo);
    char move[8];
    EngineMoveText(MainBoard, GameMove{from, to, promo}, move, sizeof move);
    if (GameSession.ProtocolVersion2)
        std::printf("move %s\n", move);
    else
        std::printf("%d. ... %s \n", (Settings.Game.GamePly + 1) / 2, move);
    LogPrintf("Move Made: %d %d %d %s", GameSession.DepthReached, ThinkingScore(score), 0, text);
    std::fflush(stdout);
}

int HumanMove() {
    char line[CommandLineLength];
    for (;;) {
        if (!Settings.Mode.xboard) {
            std::printf("Enter Move: ");
            std::fflush(stdout);
        }
        // The end of input is the interface or the user gone.
        if (!ReadCommandLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
        EchoConsoleLine(line);
        const int result = TakeCommand(line);
        if (result != CommandHandled) return result;
    }
}

void GameLoop() {
    StartGameRecord();
    char line[CommandLineLength];
    while (!GameSession.QuitRequested) {
        genpawnhashcode(MainBoard.SideToMove, MainBoard, &MainBoard.PawnKingKey);
        if (Settings.Game.SelfPlay) Settings.Game.OpponentToMove = 0;
        // Lines that waited for the end of a search come before the next one.
        if (QueuedLines() > 0) {
            // A line typed during the search is shown as if typed at the prompt.
            ReadCommandLine(line, sizeof line);
            if (!Settings.Mode.xboard && !InputIsTerminal()) std::printf("Enter Move: ");
            EchoConsoleLine(line);
            if (TakeCommand(line) == CommandIsMove) AfterOpponentMove();
            continue;
        }
        if (Settings.Limits.Analyze) {
            Analyse();
            continue;
        }
        if (!Settings.Game.OpponentToMove && !Settings.Game.Force && Settings.Game.GameInProgress) {
            EngineTurn();
            continue;
        }
        // About to read the opponent's move: old entries keep their moves
        // but no longer cut the search off.
        if (GameSession.TablesStale) {
            GameSession.Searcher->Table.AgeTranspositionTables();
            GameSession.Searcher->ClearHistory();
            GameSession.TablesStale = false;
        }
        if (Ponder()) continue;
        if (HumanMove() == CommandIsMove) AfterOpponentMove();
    }
}
