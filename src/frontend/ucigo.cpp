// "go": the limits of the search, the search itself and the "bestmove" line.
//
// With several limits the first one reached ends the search. A clock
// (wtime/btime/winc/binc/movestogo) or movetime makes a timed search, capped
// by depth, mate and nodes when they are given; depth, mate or nodes alone
// make a search without a clock; "infinite", or no limit at all, searches
// until "stop". "ponder" searches on the opponent's time until "ponderhit"
// (then the limits apply, the clock starting at that moment) or "stop".
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "eval/eval.h"
#include "frontend/frontend.h"
#include "tools/tools.h"

namespace {

// Bounds that keep every product the time control forms within its integers.
constexpr int64_t MaxClockMs = int64_t(1) << 28;     // three days
constexpr int64_t MaxIncrementMs = int64_t(1) << 26; // eighteen hours
constexpr int64_t MaxMoveTimeMs = int64_t(1) << 25;  // its sixtyfold is the clock
constexpr int64_t MaxMovesToGo = 1000;
// A search that only "stop" ends: two weeks of fixed time, never reached.
constexpr int UntilStoppedMs = 1209600000;

struct GoLimits {
    int64_t Time[2] = {-1, -1}; // wtime, btime; -1 when not given
    int64_t Increment[2] = {-1, -1};
    int64_t MovesToGo = -1, MoveTime = -1, Depth = -1, Nodes = -1, Mate = -1;
    bool Infinite = false, Ponder = false;
    int Mimic = 0; // 1 "Mimic Student", 2 "Mimic Oracle"
    int SearchMovesAt = -1;

    bool Clock() const {
        return Time[0] >= 0 || Time[1] >= 0 || Increment[0] >= 0 || Increment[1] >= 0 ||
               MovesToGo >= 0;
    }
    bool Timed() const { return Clock() || MoveTime >= 0; }
    bool Limited() const { return Timed() || Depth >= 0 || Nodes >= 0 || Mate >= 0; }
};

// The words that end a "searchmoves" list.
bool IsParameterWord(const char* word) {
    static constexpr const char* Parameters[] = {
        "wtime", "btime", "winc",   "binc",     "movestogo",   "depth", "movetime",
        "nodes", "mate",  "ponder", "infinite", "searchmoves", "Mimic"};
    for (const char* parameter : Parameters)
        if (std::strcmp(word, parameter) == 0) return true;
    return false;
}

// Unknown words and numbers that do not parse are passed over.
GoLimits ReadLimits(const UCIWords& words) {
    GoLimits limits;
    for (int i = 1; i < words.Count; ++i) {
        const char* word = words[i];
        int64_t value;
        const auto number = [&](int64_t& field) {
            if (words.Number(i + 1, &value)) {
                field = std::max<int64_t>(value, 0);
                ++i;
            }
        };
        if (std::strcmp(word, "wtime") == 0)
            number(limits.Time[White]);
        else if (std::strcmp(word, "btime") == 0)
            number(limits.Time[Black]);
        else if (std::strcmp(word, "winc") == 0)
            number(limits.Increment[White]);
        else if (std::strcmp(word, "binc") == 0)
            number(limits.Increment[Black]);
        else if (std::strcmp(word, "movestogo") == 0)
            number(limits.MovesToGo);
        else if (std::strcmp(word, "movetime") == 0)
            number(limits.MoveTime);
        else if (std::strcmp(word, "depth") == 0)
            number(limits.Depth);
        else if (std::strcmp(word, "nodes") == 0)
            number(limits.Nodes);
        else if (std::strcmp(word, "mate") == 0)
            number(limits.Mate);
        else if (std::strcmp(word, "infinite") == 0)
            limits.Infinite = true;
        else if (std::strcmp(word, "ponder") == 0)
            limits.Ponder = true;
        else if (std::strcmp(word, "searchmoves") == 0)
            limits.SearchMovesAt = i + 1;
        else if (std::strcmp(word, "Mimic") == 0) {
            if (std::strcmp(words[i + 1], "Student") == 0) limits.Mimic = 1;
            if (std::strcmp(words[i + 1], "Oracle") == 0) limits.Mimic = 2;
        }
    }
    return limits;
}

// The root moves "searchmoves" names that are legal here; the search's own
// move list holds promotions as queen moves, so an under-promotion is
// searched as the queen's.
void RestrictRoot(const UCIWords& words, int first, SearchRequest* request) {
    request->SearchMoveCount = 0;
    for (int i = first; i < words.Count && !IsParameterWord(words[i]); ++i) {
        GameMove move;
        if (!ParseGameMove(MainBoard, words[i], &move)) {
            InfoString("searchmoves: %.20s is no legal move here", words[i]);
            continue;
        }
        const int code = MoveCode(move.From, move.To);
        int16_t* end = request->SearchMoves + request->SearchMoveCount;
        if (std::find(request->SearchMoves, end, code) == end)
            request->SearchMoves[request->SearchMoveCount++] = static_cast<int16_t>(code);
    }
    if (request->SearchMoveCount == 0 && first < words.Count)
        InfoString("searchmoves names no legal move: every move is searched");
}

// A move as UCI writes it: "e2e4", "e7e8q", and "0000" for none.
void WriteMove(char* out, Bitboard from, Bitboard to, char promo) {
    if (!from || !to || from == to) {
        std::snprintf(out, 8, "0000");
        return;
    }
    char text[MaxPVText];
    fillmovestring(text, LowestSquare(from), LowestSquare(to), promo);
    std::sscanf(text, "%7s", out);
}

// The reply the search expects to the move played from `position`: the
// second move of its line, when that is a legal move there. Empty otherwise.
void PonderMove(char* out, const ChessBoard& position, const SearchResult& result) {
    out[0] = '\0';
    const GameMove& move = result.Move;
    ChessBoard after = position;
    MakeGameMove(after, move);
    GameMove reply;
    if (ExpectedReply(after, result.Line, move, &reply))
        WriteMove(out, reply.From, reply.To, reply.Promo);
}

// The private mimic modes: the position's evaluation, no search.
void Mimic(int mode) {
    ChessBoard board = MainBoard;
    board.RefreshMaterial();
    Settings.Mode.Mimic = static_cast<uint8_t>(mode);
    const int v = UCI.Searcher->Main.Eval.PosEval(board.SideToMove, -MateValue, MateValue, &board);
    if (mode == 1)
        std::printf("Mimic info Student\n");
    else
        std::printf("Mimic info Oracle %d\n", v);
    std::fflush(stdout);
}

// "go perft N": the move paths of the position to depth N, each root move's
// count as it finishes, a blank line, then the total. No search runs and no
// bestmove follows.
void Perft(const UCIWords& words) {
    int64_t depth;
    if (!words.Number(2, &depth) || depth < 0 || depth > MaxIterationDepth) {
        InfoString("go perft needs a depth from 0 to %d", MaxIterationDepth);
        return;
    }
    PerfT perft;
    perft.CountByRootMove(MainBoard, static_cast<int>(depth));
    std::printf("Nodes searched: %llu\n", static_cast<unsigned long long>(perft.LeafNodes));
    std::fflush(stdout);
}

// What a UCI interface reads of a search: "info" lines, and the commands
// it sends while the search runs.
class UCIReporter : public SearchReporter {
  public:
    // `material`: the root's, which the expected results are read at.
    UCIReporter(UCIProtocol& protocol, int material) : Protocol(protocol), Material(material) {}

    void IterationStarted(int depth) override {
        std::printf("info depth %d\n", depth);
        std::fflush(stdout);
    }

    void Line(LineEvent event, const LineReport& line) override {
        switch (event) {
        case LineEvent::NewBest:
        case LineEvent::Stopped:
        case LineEvent::TableMove:
            Info(line);
            break;
        case LineEvent::Interrupted:
            if (line.Interruption == 2 || line.Depth > 7) Info(line);
            if (line.Interruption == 1 && line.Depth > 7)
                std::printf("info currmovenumber %d\n", line.MoveNumber);
            break;
        case LineEvent::IterationDone:
            // MultiPV's lines always; the single line only in an analysis,
            // whose move has no bestmove soon after it.
            if (line.MultiPV > 0 || Settings.Options.Post ||
                Protocol.State == UCIProtocol::INFINITE)
                Info(line);
            break;
        }
        std::fflush(stdout);
    }

    void CurrentMove(const char* move, int number) override {
        if (!Protocol.ShowCurrLine) return;
        std::printf("info currmove %s currmovenumber %d\n", move, number);
        std::fflush(stdout);
    }

    void SpeedMeasured(int nodesPerSecond, int64_t elapsedMs) override {
        std::printf("info nps %d time %lld\n", nodesPerSecond, static_cast<long long>(elapsedMs));
        std::fflush(stdout);
    }

    void AnalysisSpeed(int nodesPerSecond, int64_t elapsedMs) override {
        std::printf("info nps %d\ninfo time %lld\n", nodesPerSecond,
                    static_cast<long long>(elapsedMs));
        std::fflush(stdout);
    }

    void BookMove(const char* move) override {
        std::printf("info string book move %s\n", move);
        std::fflush(stdout);
    }

    void Finished(const FinalReport& report) override {
        if (!report.ShownAsLine) Info(report.Line);
    }

    bool PollInput() override {
        if (!InputWaiting()) return false;
        Carry(ReadLine());
        return true;
    }

    bool AwaitCommand() override {
        Carry(ReadLine());
        return true;
    }

  private:
    // The next line; the end of input is the interface gone, which ends
    // Vorn like "quit".
    static const char* ReadLine() {
        static char line[UCIWords::LineLength];
        if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
        return line;
    }

    // A line read during the search, carried out on it.
    void Carry(const char* line) { ApplyToSearch(*Protocol.Searcher, Protocol.UCIPrep(line)); }

    // The info line: depth, the deepest ply, the line's number under
    // MultiPV, score, nodes, speed, the table's use, the endgame tables'
    // hits, milliseconds and the line.
    void Info(const LineReport& line) const {
        char score[64];
        const int moves = MateInMoves(line.Score);
        const int length =
            moves ? std::snprintf(score, sizeof score, "mate %d", moves)
                  : std::snprintf(score, sizeof score, "cp %d", ThinkingScore(line.Score));
        if (Protocol.ShowWDL) {
            const WinDrawLoss expected = ScoreToWinDrawLoss(line.Score, Material);
            std::snprintf(score + length, sizeof score - length, " wdl %d %d %d", expected.Win,
                          expected.Draw, expected.Loss);
        }
        char lineNumber[32] = "";
        if (line.MultiPV > 0)
            std::snprintf(lineNumber, sizeof lineNumber, " multipv %d", line.MultiPV);
        char tableText[32] = "";
        if (line.TableHits >= 0)
            std::snprintf(tableText, sizeof tableText, " tbhits %lld",
                          static_cast<long long>(line.TableHits));
        std::printf(
            "info depth %d seldepth %d%s score %s nodes %lld nps %lld hashfull %d%s time "
            "%lld pv%s",
            line.Depth, line.SelDepth, lineNumber, score, static_cast<long long>(line.Nodes),
            static_cast<long long>(line.Nodes * 1000 / std::max<int64_t>(line.ElapsedMs, 1)),
            line.Hashfull, tableText, static_cast<long long>(line.ElapsedMs), line.Text);
        std::fflush(stdout);
    }

    UCIProtocol& Protocol;
    const int Material;
};

} // namespace

void UCIProtocol::Go() {
    if (std::strcmp(Words[1], "perft") == 0) {
        Perft(Words);
        return;
    }
    const GoLimits limits = ReadLimits(Words);
    if (limits.Mimic) {
        Mimic(limits.Mimic);
        return;
    }

    Status& s = Settings;
    const int side = MainBoard.SideToMove;
    s.Limits.TimeIncMs = s.Limits.TimeLeft = s.Limits.ST = s.Limits.FD = s.Limits.MovesPerSession =
        0;
    s.Limits.Analyze = s.Limits.Ponder = 0;
    int64_t nodeLimit = 0;
    State = SEARCHING;
    int depthCap = 0;
    if (limits.Depth >= 0)
        depthCap = static_cast<int>(std::clamp<int64_t>(limits.Depth, 1, MaxIterationDepth));

    if (limits.Infinite || !limits.Limited()) {
        s.Limits.ST = UntilStoppedMs;
        depthCap = 0;
        if (!limits.Ponder) {
            s.Limits.Analyze = 1;
            State = INFINITE;
        }
    } else if (limits.Timed()) {
        s.Limits.TimeLeft =
            static_cast<int>(std::min(std::max<int64_t>(limits.Time[side], 0), MaxClockMs));
        s.Limits.TimeIncMs = static_cast<int>(
            std::min(std::max<int64_t>(limits.Increment[side], 0), MaxIncrementMs));
        s.Limits.MovesPerSession =
            static_cast<int>(std::min(std::max<int64_t>(limits.MovesToGo, 0), MaxMovesToGo));
        if (limits.MoveTime >= 0) {
            int64_t moveTime = std::clamp<int64_t>(limits.MoveTime, 1, MaxMoveTimeMs);
            // A clock as well: the move may not take more than the clock
            // allows. The overhead comes off the fixed time later.
            if (limits.Clock())
                moveTime = std::min(moveTime, HardTimeLimit(ClockOf(RequestFromSettings(s, 0))) +
                                                  s.Options.MoveOverheadMs);
            s.Limits.ST = static_cast<int>(moveTime);
            s.Limits.TimeLeft = s.Limits.ST * 60;
        }
        if (limits.Nodes >= 0) nodeLimit = std::max<int64_t>(limits.Nodes, 1);
    } else {
        s.Limits.FD = depthCap ? depthCap : MaxIterationDepth;
        depthCap = s.Limits.FD;
        if (limits.Nodes >= 0) nodeLimit = std::max<int64_t>(limits.Nodes, 1);
    }
    if (limits.Ponder) {
        s.Limits.Ponder = 1;
        State = PONDERING;
    }
    SearchRequest request = RequestFromSettings(s, depthCap);
    request.Nodes = nodeLimit;
    // "mate N": the search goes on until it proves a mate in N moves or fewer.
    if (limits.Mate >= 0) request.Mate = static_cast<int>(std::clamp<int64_t>(limits.Mate, 1, 500));
    // An infinite search that runs out of depth (or finds a mate) keeps its
    // move until "stop".
    request.KeepsResultUntilStopped = true;
    if (limits.SearchMovesAt >= 0) RestrictRoot(Words, limits.SearchMovesAt, &request);
    LogPrintf("MovesPerSession %d TimeLeft %d TimeIncMs %d \n", s.Limits.MovesPerSession,
              s.Limits.TimeLeft, s.Limits.TimeIncMs);

    // The interface sends every position anew, and a second "go" searches the same one.
    const ChessBoard position = MainBoard;
    UCIReporter reporter(*this, WdlMaterial(position));
    const SearchResult result = UCI.Searcher->Think(position, GameHistory, request, reporter);
    State = WAITING;
    s.Limits.Analyze = s.Limits.Ponder = 0;
    if (!Running) return; // "quit" came during the search

    char move[8], reply[8] = "";
    WriteMove(move, result.Move.From, result.Move.To, result.Move.Promo);
    if (PonderOption && std::strcmp(move, "0000") != 0) PonderMove(reply, position, result);
    std::printf("bestmove %s%s%s\n", move, *reply ? " ponder " : "", reply);
    std::fflush(stdout);
    LogPrintf("Sent bestmove %s%s%s", move, *reply ? " ponder " : "", reply);
}
