// The program's settings record, the log file and the command line.
#pragma once

#include <cstdint>

// Settings, mode flags and the time control. Set by the command line and the
// protocol commands, read by the search. Times are milliseconds unless named
// otherwise. The constant board masks live in board.h.
class Status {
  public:
    uint8_t Mimic = 0; // 0 off, 1 student, 2 oracle
    int SearchStartTime = 0;
    int GamePly = 0;
    int DepthReached = 0;
    int TimeLastPly = 0; // seconds
    int TimeInc = 0;     // seconds
    int TimePerMove = 0;
    int TimeLeft = 0;
    int NPS = 1200000;
    int EmergencyTimeThreshold = 0;
    uint8_t xboard = 0;
    uint8_t uci = 0;
    uint8_t GameInProgress = 0;
    uint8_t SelfPlay = 0;
    int8_t FD = 0; // fixed depth in plies, 0 = none
    uint8_t OpponentToMove = 0;
    uint8_t Kibitz = 0;
    uint8_t PERFT = 0;
    uint8_t Bench = 0; // benchmark 1..5 asked for, 0 = none
    uint8_t SATrain = 0;
    uint8_t DoTestSuite = 0;
    uint8_t Post = 0;
    uint8_t Force = 0;
    uint8_t UseBook = 0;
    uint8_t Pev = 0;
    uint8_t Analyze = 0;
    uint8_t NextMatch = 0;
    uint8_t Trace = 0;
    uint8_t Ponder = 0;
    int MovesPerSession = 0;
    int DefaultMovesPerSession = 0;
    int ST = 0; // seconds (xboard), milliseconds (UCI movetime)
    int MaxPlyReached = 0;

    // The reset of a new game. Settings made under UCI survive it.
    void initVars();

    void setPERFT(char v) { PERFT = v; }
    char getPERFT() const { return PERFT; }
    void setFD(char v) { FD = v; }
    char getFD() const { return FD; }
    void setxboard(char v) { xboard = v; }
    char getxboard() const { return xboard; }
    void setDoTestSuite(char v) { DoTestSuite = v; }
    char getDoTestSuite() const { return DoTestSuite; }
};

extern Status MainStatus;

// The test-suite file named on the command line ("-ts", "-pev", "-mimicstudent").
constexpr int MaxPathLength = 1024;
extern char TestSuiteFile[MaxPathLength];

// match.log: every line is flushed so the log is complete even if Vorn is killed.
void OpenLogFile();
void WriteLogFile(const char* text);
void CloseLogFile();

// Result codes of ParseCommandLine.
enum CommandLineResult : int {
    CommandLineOk = 0,
    CommandLineHelp,         // the help text was printed: end with status 0
    CommandLineMissingValue, // an option lacked its value: end with status 1
};

int ParseCommandLine(int argc, char** argv);
void PrintHelp();

// The first word read from standard input; the UCI handler reads it again.
constexpr int FirstWordLength = 256;
extern char FirstWord[FirstWordLength];

// Runs the tool mode or the games the settings ask for; returns the exit status.
int MatchLoop();
