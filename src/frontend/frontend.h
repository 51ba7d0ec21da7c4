// The program's entry: the command line, the match loop and the protocols.
#pragma once

#include <cstdint>

#include "frontend/settings.h"
#include "frontend/uci.h" // IWYU pragma: export
#include "platform/platform.h"
#include "search/search.h"

// The test-suite file named on the command line ("-ts", "-pev", "-mimicstudent").
constexpr int MaxPathLength = 1024;
extern char TestSuiteFile[MaxPathLength];
// The Polyglot book named by "-book"; empty when none was named.
extern char BookFile[MaxPathLength];
// Loads BookFile at start-up (a failure is told on standard error, and Vorn
// plays on without a book) and seeds the book's choice from the clock.
void LoadCommandLineBook();
// Seeds the choices of a level below full strength from the clock, so that
// games against it differ.
void SeedStrength();
// One "telluser" line with the reason, when the "-book" file was refused.
void TellBookFailure();

// The endgame-table folders ("-gtb", UCI GaviotaTbPath, xboard egtpath),
// separated by ';', and the size of the tables' cache (UCI GaviotaTbCache).
extern char TablePaths[MaxPathLength];
extern int TableCacheMegabytes;
constexpr int MaxTableCacheMegabytes = 1024;
// Starts the tables on TablePaths; an empty path turns them off. What went
// wrong, if anything, is in Tablebases.Message.
void StartTables();
// Tells Tablebases.Message, when there is one, as the protocol in use
// expects: an "info string" line, a "telluser" line, or a console line.
void TellTablesMessage();
// The log file named by "-log"; empty for match.log where it can be written.
extern char LogFileName[MaxPathLength];

// The project's version ("1.0") and the commit the program was built from
// (empty outside a git checkout).
extern const char* const VornVersion;
extern const char* const VornCommit;

// Result codes of ParseCommandLine.
enum CommandLineResult : int {
    CommandLineOk = 0,
    CommandLineHelp,     // the help text was printed: end with status 0
    CommandLineBadUsage, // an unknown option, a bad or a missing value: end with status 2
};

// `engine` takes the threads "-threads" asks for.
int ParseCommandLine(int argc, char** argv, Engine& engine);
// The traditional nine lines, then the options added since.
void PrintHelp();
// "Vorn 1.0 (commit ...)".
void PrintVersion();

// "--web", "--port N", "--host H": the web page's server (web/web.h)
// instead of a protocol.
constexpr int DefaultWebPort = 8960;
constexpr int MaxHostLength = 256;
struct WebCommandLine {
    bool Serve = false;
    int Port = DefaultWebPort;
    char Host[MaxHostLength] = "127.0.0.1";
};
extern WebCommandLine WebChoice;

// The first word read from standard input; the UCI handler reads it again.
constexpr int FirstWordLength = 256;
extern char FirstWord[FirstWordLength];

// Runs the tool mode or the games the settings ask for with `engine`, which
// main made and the front end searches with; returns the exit status.
int MatchLoop(Engine& engine);
// Hands `engine` to the protocols' sessions (MatchLoop does it first).
void AttachEngine(Engine& engine);

// ---------------------------------------------------------------------------
// Presenting positions
// ---------------------------------------------------------------------------

// The board as the console shows it, ranks 8 to 1, with the evaluation from
// White's view beneath (left out while an EPD run shows positions, "-pev").
void DisplayPosition(const ChessBoard& board);

// ---------------------------------------------------------------------------
// The game: its moves, their text and its end
// ---------------------------------------------------------------------------

// The legal moves of the side to move of `board`; returns their number. A
// promotion is listed once, with the queen's letter.
int GenerateLegalMoves(const ChessBoard& board, GameMove moves[MoveList::MaxMoves]);

// The reply a search expects to its move: the second move of its line (the
// move first), when that is a legal move of `after`, the position the move
// led to.
bool ExpectedReply(const ChessBoard& after, const RootLine& line, const GameMove& move,
                   GameMove* reply);
// Whether two moves are the same, a promotion's letter in either case.
bool SameMove(const GameMove& a, const GameMove& b);

// Whether a word has the shape of a move: a file letter, then a digit, or
// castling ("O-O", "O-O-O", "0-0", "0-0-0").
bool LooksLikeMove(const char* word);
// The legal move of `board` that `text` names ("e2e4", "e7e8n"; a promotion
// without a letter is a queen's; castling also as "O-O" and "O-O-O", and on
// a Chess960 board as the king taking its rook). False for a malformed or
// illegal move.
bool ParseGameMove(const ChessBoard& board, const char* text, GameMove* move);
// The engine's move as xboard and the console get it: coordinates, and on a
// Chess960 board castling as "O-O" or "O-O-O". At most 7 characters.
void EngineMoveText(const ChessBoard& board, const GameMove& move, char* out, int size);

// How a game stands after a move.
enum GameVerdict : int {
    GameGoesOn = 0,
    WhiteMates,
    BlackMates,
    Stalemate,
    DrawByMaterial,   // neither side can ever mate: kings with at most one minor piece, or bishops
                      // all on one colour
    DrawByFiftyMoves, // a hundred plies without a capture or a pawn move
    DrawByRepetition, // the position stands for the third time
};

// The positions of one game since its start or since a position was set up:
// they let moves be taken back, and feed the search's repetition record and
// the draw claims. The protocols keep one for MainBoard (the functions
// below); every game of the web page keeps its own.
class GameRecord {
  public:
    // The record holds `board` alone, at the game's ply `gamePly`.
    void Start(const ChessBoard& board, int gamePly);
    // Adds the position a move led to.
    void Add(const ChessBoard& board, int gamePly);
    // Takes back `plies` positions; false (and nothing changed) when the
    // record is shorter.
    bool TakeBack(int plies);
    // The latest position and its ply.
    const ChessBoard& Current() const { return Positions[Count - 1].Board; }
    int CurrentPly() const { return Positions[Count - 1].GamePly; }
    // The record's positions as the search's repetition record takes them;
    // `withCurrent`: with the latest one as its last entry.
    void FillHistory(MoveHistory* history, bool withCurrent) const;
    // How the game stands at `board`, the record's latest position.
    GameVerdict Judge(const ChessBoard& board) const;

  private:
    // One position of the game, as it stood before the move of its ply.
    struct RecordedPosition {
        ChessBoard Board;
        int GamePly;
        Bitboard Upper, Lower; // hash code: pieces, side to move, castling rights
        int EnPassantFile;     // file of a legal en passant capture, -1 for none
    };
    // Longer games drop their oldest positions: they can no longer be taken
    // back, and no repetition reaches that far behind the last pawn move.
    static constexpr int Capacity = 1024;

    // Earlier occurrences of the latest position since the last capture or
    // pawn move.
    int Repetitions() const;

    RecordedPosition Positions[Capacity];
    int Count = 0;
};

// The game of MainBoard since its start (or since "setboard" or "edit").
void StartGameRecord();
// Makes a legal move of the side to move on MainBoard and records it.
void PlayGameMove(const GameMove& move);
// Takes back `plies` moves; false (and nothing changed) when the record is shorter.
bool TakeBackMoves(int plies);
// The game's positions as the search's repetition record takes them.
extern MoveHistory GameHistory;
// Fills GameHistory from the game. `withCurrent`: with the position on the
// board as its latest entry (the xboard driver adds it itself when it starts).
void SyncRepetitionRecord(bool withCurrent);
GameVerdict JudgeGame();

// ---------------------------------------------------------------------------
// xboard protocol and console play
// ---------------------------------------------------------------------------

// Result codes of DoCommand.
enum CommandResult : int {
    CommandIsMove = 0,    // the line is a move: its first word looks like one
    CommandEndsInput = 2, // the turn or the game changed: the caller leaves its input loop
    CommandQuits = 3,     // "quit"
    CommandHandled = 4,   // handled or refused; the caller reads the next line
};

// Runs one command line: the first word is the command, its values follow on
// the same line.
int DoCommand(const char* line);
// Reads lines until a legal move is made (0) or a command ends the input
// (CommandEndsInput, CommandQuits).
int HumanMove();
// The edit mode: reads edit lines until ".", then keeps the position if it
// can be played.
void SetupBoardFromEdit();
// Prints the engine's move as the interface expects it and logs it.
void MakeGUIMove(Bitboard from, Bitboard to, char promo, int score);
// The game loop of xboard and console play; returns at "quit", at the end of
// input, or (at the console) when the game is over.
void GameLoop();

// What a command read during a search asks of it.
constexpr int CommandContinuesSearch = 0;
constexpr int CommandStopsSearch = 1;  // stop now and play the best move found so far
constexpr int CommandAbortsSearch = 2; // stop now and make no move

// What a line read during a search asks of it (one of the Command...Search
// codes). Lines the search cannot act on wait for its end.
int CommandDuringSearch(const char* line);
// Carries a Command...Search code out on the search `engine` runs.
void ApplyToSearch(Engine& engine, int request);

// Time-control values as xboard sends them. False for a malformed value.
bool ParseLevel(const char* line, int* movesPerSession, int* baseMs, int* incrementMs);
