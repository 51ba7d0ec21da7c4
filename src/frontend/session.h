// What the front end's files share about the xboard or console session:
// its state, the lines that wait for a search to end, and the words of a line.
#pragma once

#include "frontend/frontend.h"

// Longest command line kept; the rest of a longer line is dropped.
constexpr int CommandLineLength = 4096;

// The depth the console shows its user ("MAXDEPTH") until "-fd", "-sd" or "sfd" sets another.
constexpr int ConsoleShownDepth = 56;

// A person at the console gets real play without setting a clock.
constexpr int DefaultConsoleSeconds = 5;

struct Session {
    Engine* Searcher = nullptr;    // main's engine, handed over by AttachEngine
    bool ProtocolVersion2 = false; // "protover" was seen: the engine's moves go out as "move e2e4"
    int DepthLimit = 0;            // "sd": the deepest iteration of a timed search, 0 for none
    int MaxDepth = ConsoleShownDepth; // shown only; the search's limits are DepthLimit and FD
    int LastScore = 0;                // the last engine search's value, shown at the console
    bool QuitRequested = false;
    bool Searching = false;   // a search runs: commands read now reach it through the engine
    int StBeforeAnalysis = 0; // analysis runs without a clock; ST comes back afterwards
    bool DrawClaimed = false; // claimed once: an interface that plays on is obeyed
    bool TablesStale = false; // a search ran since the tables were last aged
    // Pondering: "hard" turns it on, "easy" off.
    bool PonderOn = false;
    GameMove EngineMove{};    // the last engine search's choice (none after "sd" or "sfd")
    RootLine EngineLine;      // and its line, the move first
    bool Aborted = false;     // the last search was stopped with no move to make
    int DepthReached = 0;     // the depth its time control saw finished
    bool PonderReady = false; // the engine has just moved: its line holds the expected reply
    bool PonderHit = false;   // the opponent played the expected reply
    ChessBoard PonderFrom;    // the position the reply is played from
    GameMove PonderGuess{};
    bool ClockGiven = false; // "level" or "time" set a clock; the console then follows it
    // "variant fischerandom": positions are read, and castling played and
    // written, by the rules of Chess960 (back to standard at "variant normal").
    bool Chess960 = false;
    int ConsoleSeconds = DefaultConsoleSeconds; // the console's time a move without a clock
};

extern Session GameSession;

// The blank-separated words of one line, each with the rest of the line from it on.
struct Words {
    static constexpr int MaxWords = 8;
    char Text[CommandLineLength];
    const char* Word[MaxWords];
    const char* Rest[MaxWords];
    int Count = 0;

    explicit Words(const char* line);
    const char* operator[](int i) const { return i < Count ? Word[i] : ""; }
    const char* From(int i) const { return i < Count ? Rest[i] : ""; }
};

// Lines read during a search that must wait for its end, in arrival order.
void QueueLine(const char* line);
int QueuedLines();
// The next command line: a waiting one first, then standard input. False at
// the end of input.
bool ReadCommandLine(char* line, int size);

// Makes `board` the game's position and starts the game's record there; false
// (and nothing changed) for a position that cannot be played.
bool AdoptPosition(const ChessBoard& board);
// How "setboard" and "edit" read castling: by the variant in force.
inline CastlingRules SessionRules() {
    return GameSession.Chess960 ? CastlingRules::Chess960 : CastlingRules::Standard;
}

// Leaves analysis mode: the clock settings come back.
void LeaveAnalysis();
// Prints the line of a game's end, once the game is over.
void AnnounceVerdict(GameVerdict verdict);

// The console shows the board after anything that changed it; an interface
// draws its own.
void ShowConsoleBoard();
// A position refused: the interface's error line, or plain words at the
// console; the SetupBoard result, when given, adds the reason of a castling
// field refused.
void TellIllegalPosition(int result = SetupOk);
// The console's hint for a word that is no move as Vorn reads them: the
// coordinate form of a move typed in algebraic notation ("Nf3": g1f3).
void TellMoveForm(const char* word);
// What the console says of itself after the greeting and under "help".
void PrintConsoleTimeControl();
// The strength Vorn plays at, under "help" (and in the greeting below full strength).
void PrintConsoleStrength();

// The reporter of the xboard protocol, the console and the tool modes: the
// thinking lines ("post"), kibitz, the analysis status line, and the input
// read while the search runs (xboard and the console).
class ThinkingReporter : public SearchReporter {
  public:
    enum class Audience { Xboard, Console, Tool };
    explicit ThinkingReporter(Audience audience) : Listener(audience) {}

    void SearchStarted() override { LastThought[0] = '\0'; }
    void Line(LineEvent event, const LineReport& line) override;
    void InternalBookMove() override;
    void Progress(const SearchProgress& progress) override;
    void Finished(const FinalReport& report) override;
    void Diagnostic(const char* text) override;
    bool PollInput() override;
    bool AwaitCommand() override;

  private:
    // The thinking line; one that would say again what the line before it
    // said (depth, score and moves) is left out.
    void Thinking(const LineReport& line, const char* text);

    Audience Listener;
    char LastThought[MaxPVText + 32] = "";
};
