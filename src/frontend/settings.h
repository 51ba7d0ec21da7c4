// The front end's settings: the protocol and the tool mode, the user's
// choices, the game's state and the limits of the next search, from which
// each search's request is made.
#pragma once

#include <cstdint>

#include "search/search.h"

// How the program runs: the front end and the tool mode, chosen at start.
struct RunMode {
    uint8_t xboard = 0;
    uint8_t uci = 0;
    uint8_t PERFT = 0;
    uint8_t Bench = 0; // benchmark 1..5 asked for, 0 = none
    uint8_t SATrain = 0;
    uint8_t DoTestSuite = 0;
    uint8_t Pev = 0;
    uint8_t Mimic = 0; // 0 off, 1 student, 2 oracle
    uint8_t Trace = 0;
    uint8_t NextMatch = 0;
};

// The strength a person may ask for: "Skill Level" 0 to 20 plays at the Elo
// of its step from MinStrengthElo up to full strength at 20.
constexpr int MaxSkillLevel = 20;
constexpr int SkillLevelElo(int level) {
    return MinStrengthElo + level * (FullStrengthElo - MinStrengthElo) / MaxSkillLevel;
}
static_assert(SkillLevelElo(MaxSkillLevel) == FullStrengthElo);
// UCI_Elo's value before an interface sets it.
constexpr int DefaultLimitElo = 1500;

// What the user chose about play and output.
struct EngineOptions {
    uint8_t Post = 0;
    uint8_t Kibitz = 0;
    uint8_t UseBook = 0;
    // "-nobook": no book at all, whatever a protocol later sets UseBook to.
    uint8_t NoBook = 0;
    // The user's book plays its heaviest move instead of a weighted random one.
    uint8_t BookHeaviest = 0;
    // What a GUI or a network takes to pass a move on: set aside before any
    // time is planned.
    int MoveOverheadMs = DefaultMoveOverheadMs;
    // How many of the root's best moves the main search reports, each with
    // its own line (MultiPV).
    int MultiPV = 1;
    // The strength of play: UCI_LimitStrength with UCI_Elo (the console's
    // "strength" and "-elo" set both), else Skill Level.
    bool LimitStrength = false;
    int LimitElo = DefaultLimitElo;
    int SkillLevel = MaxSkillLevel;
    // Seeds the choices of a level below full strength (from the clock at start).
    uint64_t StrengthSeed = 0;
};

// The Elo the options ask Vorn to play at; 0 for full strength.
int PlayingElo(const EngineOptions& options);

// Where the game stands, as the search needs to know it.
struct GameState {
    int GamePly = 0;
    uint8_t GameInProgress = 0;
    uint8_t SelfPlay = 0;
    uint8_t OpponentToMove = 0;
    uint8_t Force = 0;
};

// What limits the next search: the clock (milliseconds), a fixed time or
// depth, or none at all (analysis, pondering).
struct SearchLimits {
    int TimeLeft = 0;
    int TimeIncMs = 0; // the increment, with its fraction
    int MovesPerSession = 0;
    int DefaultMovesPerSession = 0;
    int ST = 0; // fixed time per move, 0 = none
    int FD = 0; // fixed depth in plies, 0 = none
    uint8_t Analyze = 0;
    uint8_t Ponder = 0;
};

// The settings record: set by the command line and the protocol commands;
// each search's request is made from it.
class Status {
  public:
    RunMode Mode;
    EngineOptions Options;
    GameState Game;
    SearchLimits Limits;

    // The reset of a new game. Settings made under UCI survive it.
    void initVars();

    void setPERFT(char v) { Mode.PERFT = v; }
    char getPERFT() const { return Mode.PERFT; }
    void setFD(int v) { Limits.FD = v; }
    int getFD() const { return Limits.FD; }
    void setxboard(char v) { Mode.xboard = v; }
    char getxboard() const { return Mode.xboard; }
    void setDoTestSuite(char v) { Mode.DoTestSuite = v; }
    char getDoTestSuite() const { return Mode.DoTestSuite; }

    // Whether an interface reads standard output: then it carries protocol only.
    bool UnderInterface() const { return Mode.xboard || Mode.uci; }
};

extern Status Settings;

// The request of a search of the game's position under these settings:
// the clock, a fixed time or depth (capped at `depthLimit` when it is not
// 0), analysis or pondering, and the user's choices.
SearchRequest RequestFromSettings(const Status& status, int depthLimit);
