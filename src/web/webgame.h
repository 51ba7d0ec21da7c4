// One page's game: an engine and a search thread of its own, the game's
// positions and clocks, its analysis, and the events the page hears. The
// server's request threads carry out the page's commands; the game's own
// thread searches, so that a command is answered while Vorn thinks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "frontend/frontend.h"
#include "web/webtext.h"

// A command's fields by name, each given once.
using CommandFields = std::map<std::string, std::string>;

// The answer to a command: an HTTP status (200; 400 for a value the command
// cannot take, 409 for a command the game cannot take now, 429 for a flood)
// and a JSON object ({"ok":true,...} or {"error":"..."}).
struct CommandReply {
    int Status = 200;
    std::string Json;
};

// The option rows a page may set, each where the engine's option table has
// it: the lines of an analysis and the playing levels.
constexpr const char* PageOptionNames[] = {"MultiPV", "UCI_LimitStrength", "UCI_Elo",
                                           "Skill Level"};

// The page's commands are refused beyond a burst of this many, refilled at
// this many a second: a page that sends in a loop cannot keep the game's
// lock from its search.
constexpr int CommandBurst = 40;
constexpr int CommandsPerSecond = 20;

class WebGame {
  public:
    // `searchThreads`: the threads of the game's searches.
    explicit WebGame(int searchThreads);
    ~WebGame();
    WebGame(const WebGame&) = delete;
    WebGame& operator=(const WebGame&) = delete;

    // Starts the game's search thread; false when the system gives none.
    bool Start();
    // Stops any search and ends the thread; TakeEvents answers false from now on.
    void Close();
    // Carries out one command of the page: the field "cmd" names it.
    CommandReply Command(const CommandFields& fields);
    // Appends the events that wait to `out`, each as one "data:" block of the
    // event stream, after waiting up to `waitMs` for the first. False once
    // the game is closed.
    bool TakeEvents(std::string* out, int waitMs);

  private:
    // What the game's thread searches for.
    enum class Job : uint8_t { None, Move, Scan, Analysis };
    // A search's job and the versions of the game and of the analysis it
    // was started on: its result counts only while they stand.
    struct JobTicket {
        Job Kind = Job::None;
        uint64_t GameVersion = 0;
        uint64_t AnalysisVersion = 0;
    };
    class Reporter;

    static constexpr int NoSide = -1;

    CommandReply NewGame(const CommandFields& fields);
    CommandReply LoadGame(const CommandFields& fields);
    CommandReply PlayerMove(const CommandFields& fields);
    CommandReply TakeBack(const CommandFields& fields);
    CommandReply Resign(const CommandFields& fields);
    CommandReply MoveNow(const CommandFields& fields);
    CommandReply Analyse(const CommandFields& fields);
    CommandReply Resume(const CommandFields& fields);
    CommandReply SetOption(const CommandFields& fields);

    // The game's thread: searches what the game asks for, or waits.
    static void SearchThreadBody(void* game);
    void SearchLoop();
    void SearchMove(std::unique_lock<std::mutex>& lock);
    void ScanPly(std::unique_lock<std::mutex>& lock, int ply);
    void RunAnalysis(std::unique_lock<std::mutex>& lock);
    // The page's options that a job's searches take: the levels shape
    // Vorn's moves, the lines its analyses; the graph's scan takes neither.
    std::vector<std::pair<std::string, std::string>> ChoicesFor(Job job) const;
    // The request of a search under these options and limits.
    SearchRequest MakeRequest(const SearchLimits& limits, int gamePly,
                              const std::vector<std::pair<std::string, std::string>>& choices);

    // Everything below is guarded by Lock.
    // `fen`: the start as the page wrote it, which it reads back.
    void StartGame(const ChessBoard& start, const std::string& fen, bool chess960, int vornSide);
    void AddMove(const GameMove& move);
    // The repetition record and the position after the first `ply` moves
    // of the game and then `line`.
    void PositionAt(int ply, const std::vector<GameMove>& line, ChessBoard* position,
                    MoveHistory* history) const;
    bool VornToMove() const;
    bool PlayerClockRuns() const;
    // Charges the side to move's clock with the time since its turn began,
    // adds its increment when it moved; false when its flag has fallen.
    bool ChargeClock(bool moved);
    void EndOnTime(int side);
    void JudgePosition();
    // A job's ticket no longer stands: the search that runs for it stops.
    bool Stale(const JobTicket& ticket) const;
    void StopStaleSearch();
    void Push(std::string json);
    void PushState();
    void PushGraphPoint(int ply);
    void PushTablebaseVerdict();
    std::string StateJson() const;
    bool TakeToken();

    std::unique_ptr<Engine> Searcher;
    std::unique_ptr<GameRecord> Record;
    StackThread Thread;
    std::mutex JoinLock; // one Close at a time joins the thread
    mutable std::mutex Lock;
    std::condition_variable SearchWake, EventsWake;
    bool Closed = false;
    // A Command...Search code for the running search, read at its polls.
    std::atomic<int> Interrupt{CommandContinuesSearch};
    Job Running = Job::None;
    JobTicket RunningTicket;
    bool FreshEngine = true; // a new game: the next search starts from a clear engine

    // The game: its start, its positions (the start first) and moves, who
    // plays which side, its end.
    std::string StartFen;
    bool Chess960 = false;
    std::vector<ChessBoard> Boards;
    std::vector<GameMove> Moves;
    std::vector<std::string> MoveWords;
    int VornSide = NoSide; // NoSide: nobody plays (a loaded game, or none yet)
    std::string Result, Reason;
    uint64_t GameVersion = 0;

    // The clocks, in milliseconds; the side to move's runs since TurnStartMs.
    bool Timed = false;
    ClockSetting Clocks[2];
    int64_t LeftMs[2] = {0, 0};
    int64_t TurnStartMs = 0;

    // The analysis: the position after AnalysisPly moves of the game and
    // then AnalysisLine; the game's graph, a score for each of its moves.
    bool Analysing = false;
    int AnalysisPly = 0;
    std::vector<GameMove> AnalysisLine;
    uint64_t AnalysisVersion = 0;
    bool AnalysisDone = false;
    std::vector<std::string> GraphPoints; // by ply - 1; empty: not yet scanned

    std::vector<std::pair<std::string, std::string>> Choices; // the page's options, by name

    std::deque<std::string> Events;
    double Tokens = CommandBurst;
    int64_t TokensAtMs = 0;
};
