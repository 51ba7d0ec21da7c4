// A page's game: the commands that change it, the thread that searches for
// it, and the events that tell the page.
#include "web/webgame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frontend/options.h"

namespace {

constexpr const char* StartFenText = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The longest game the page may play or load, in plies: its positions must
// fit the record that takes moves back and judges repetitions.
constexpr int MaxGamePlies = 2 * MaxGameMoves;
// Each position of the game is scanned for the graph with this many nodes
// (a few milliseconds), before the analysis of the position shown starts.
constexpr int64_t ScanNodes = 10000;
// An analysis that only a change of position or a stop ends.
constexpr int UntilStoppedMs = 1209600000;
// Events kept for a page that does not read them; the oldest go first.
constexpr size_t MaxWaitingEvents = 4096;
// The fewest positions behind a searched one that the repetition record
// needs: a repetition never reaches back past a capture or a pawn move.
constexpr int HistoryReach = 400;

// The protocols' settings record is the one place where the option rows
// write: a game's search sets its page's options there, makes its request
// and puts the record back, one game at a time.
std::mutex SettingsLock;

const char* SideName(int side) { return side == White ? "white" : "black"; }

CommandReply Ok(const std::string& extra = "") { return {200, "{\"ok\":true" + extra + "}"}; }
CommandReply Refused(int status, const std::string& why) {
    return {status, "{\"error\":" + JsonString(why) + "}"};
}

// The field `name`, or null when the command has none.
const std::string* Field(const CommandFields& fields, const char* name) {
    const auto found = fields.find(name);
    return found == fields.end() ? nullptr : &found->second;
}

// A move as the page and UCI write it: "e2e4", "e7e8q"; castling as the
// board's rules write it (the king taking its rook in Chess960).
std::string MoveWord(const GameMove& move) {
    char text[MaxPVText], word[8] = "";
    fillmovestring(text, LowestSquare(move.From), LowestSquare(move.To), move.Promo);
    std::sscanf(text, " %7[a-h1-8qrbn]", word);
    return word;
}

// The moves of a line as the search writes them (" e2e4 e7e8q;g1f3 \n"):
// words of four or five letters.
std::string LineJson(const char* text) {
    std::string json = "[";
    const char* p = text;
    while (*p) {
        while (*p && !std::strchr("abcdefgh", *p)) ++p;
        const char* start = p;
        while (*p && std::strchr("abcdefgh12345678qrbn", *p)) ++p;
        if (p - start < 4) continue;
        if (json.size() > 1) json += ',';
        json += JsonString(std::string_view(start, p - start));
    }
    return json + "]";
}

bool ReadMoves(const ChessBoard& from, const std::vector<std::string>& words,
               std::vector<GameMove>* moves, std::string* problem) {
    ChessBoard board = from;
    moves->clear();
    for (size_t i = 0; i < words.size(); ++i) {
        GameMove move;
        if (!ParseGameMove(board, words[i].c_str(), &move)) {
            *problem = "move " + std::to_string(i + 1) + " (" + words[i] + ") is not legal there";
            return false;
        }
        board = PositionAfter(board, move);
        moves->push_back(move);
    }
    return true;
}

// A side that has its king and at most one knight or bishop cannot mate:
// the other side's fallen flag then draws.
bool CannotMate(const ChessBoard& b, int side) {
    const bool white = side == White;
    if ((white ? b.WPawns | b.WRooks | b.WQueens : b.BPawns | b.BRooks | b.BQueens) != 0)
        return false;
    return PopCount(white ? b.WKnights | b.WBishops : b.BKnights | b.BBishops) <= 1;
}

void LogTold(const char* text) { WriteLogFile(text); }

} // namespace

// The game's search tells the page its lines, and reads its interrupts.
class WebGame::Reporter : public SearchReporter {
  public:
    // `kind`: "analysis" or "thinking"; `id` tells the page which analysis
    // a line belongs to; `side`: who is to move at the root.
    Reporter(WebGame& game, Engine& engine, const char* kind, uint64_t id, int side)
        : Game(game), Searcher(engine), Kind(kind), Id(id), Side(side) {}

    void Line(LineEvent event, const LineReport& line) override {
        if (event == LineEvent::Interrupted) return;
        Send(line);
    }

    void Finished(const FinalReport& report) override {
        if (!report.ShownAsLine && !report.Aborted && report.Line.Depth > 0) Send(report.Line);
    }

    bool PollInput() override {
        const int request = Game.Interrupt.exchange(CommandContinuesSearch);
        if (request == CommandContinuesSearch) return false;
        ApplyToSearch(Searcher, request);
        return true;
    }

  private:
    void Send(const LineReport& line) {
        char head[320];
        std::snprintf(
            head, sizeof head,
            "{\"type\":\"line\",\"kind\":\"%s\",\"id\":%llu,\"multipv\":%d,"
            "\"depth\":%d,\"seldepth\":%d,\"nodes\":%lld,\"nps\":%lld,\"time\":%lld,"
            "\"tbhits\":%lld,\"score\":",
            Kind, static_cast<unsigned long long>(Id), std::max(line.MultiPV, 1), line.Depth,
            line.SelDepth, static_cast<long long>(line.Nodes),
            static_cast<long long>(line.Nodes * 1000 / std::max<int64_t>(line.ElapsedMs, 1)),
            static_cast<long long>(line.ElapsedMs),
            static_cast<long long>(std::max<int64_t>(line.TableHits, 0)));
        const std::unique_lock<std::mutex> lock(Game.Lock);
        Game.Push(head + ScoreJson(line.Score, Side) + ",\"pv\":" + LineJson(line.Text) + "}");
    }

    WebGame& Game;
    Engine& Searcher;
    const char* Kind;
    uint64_t Id;
    int Side;
};

WebGame::WebGame(int searchThreads)
    : Searcher(std::make_unique<Engine>()), Record(std::make_unique<GameRecord>()) {
    Searcher->Helpers.SetThreadCount(searchThreads);
    ChessBoard start{};
    const int result = SetupPosition(&start, StartFenText, CastlingRules::Standard);
    assert(result == SetupOk);
    (void)result;
    StartGame(start, StartFenText, false, NoSide);
    PushState();
    TokensAtMs = ClockMs();
}

WebGame::~WebGame() { Close(); }

bool WebGame::Start() { return Thread.Start(SearchThreadBody, this, SearchStackBytes); }

void WebGame::Close() {
    {
        const std::unique_lock<std::mutex> lock(Lock);
        Closed = true;
        Interrupt = CommandAbortsSearch;
    }
    SearchWake.notify_all();
    EventsWake.notify_all();
    // The server's stop and the end of the page's stream may close a game at once.
    const std::lock_guard<std::mutex> joining(JoinLock);
    Thread.Join();
}

bool WebGame::TakeEvents(std::string* out, int waitMs) {
    std::unique_lock<std::mutex> lock(Lock);
    EventsWake.wait_for(lock, std::chrono::milliseconds(waitMs),
                        [&] { return Closed || !Events.empty(); });
    if (Closed) return false;
    for (const std::string& event : Events) *out += "data: " + event + "\n\n";
    Events.clear();
    return true;
}

CommandReply WebGame::Command(const CommandFields& fields) {
    const std::string* name = Field(fields, "cmd");
    const std::unique_lock<std::mutex> lock(Lock);
    if (Closed) return Refused(409, "the game is closed");
    if (!TakeToken()) return Refused(429, "too many commands: wait a moment");
    if (!name) return Refused(400, "no command");
    using Handler = CommandReply (WebGame::*)(const CommandFields&);
    struct Entry {
        const char* Name;
        Handler Run;
    };
    static constexpr Entry Commands[] = {
        {"new", &WebGame::NewGame},      {"load", &WebGame::LoadGame},
        {"move", &WebGame::PlayerMove},  {"undo", &WebGame::TakeBack},
        {"resign", &WebGame::Resign},    {"movenow", &WebGame::MoveNow},
        {"analyse", &WebGame::Analyse},  {"play", &WebGame::Resume},
        {"option", &WebGame::SetOption},
    };
    for (const Entry& entry : Commands) {
        if (*name != entry.Name) continue;
        CommandReply reply = (this->*entry.Run)(fields);
        StopStaleSearch();
        SearchWake.notify_all();
        return reply;
    }
    return Refused(400, "unknown command");
}

// ---------------------------------------------------------------------------
// Commands (under Lock)
// ---------------------------------------------------------------------------

CommandReply WebGame::NewGame(const CommandFields& fields) {
    const std::string* side = Field(fields, "side");
    if (!side || (*side != "white" && *side != "black"))
        return Refused(400, "side must be white or black");
    ClockSetting clocks[2];
    const std::string* clock = Field(fields, "clock");
    if (!clock || !ReadClock(*clock, &clocks[0]))
        return Refused(400, "the clock is MIN+INC (5+3), MIN:SEC+INC (1:30+1) or 0.5+0.2");
    clocks[1] = clocks[0];
    if (const std::string* vornClock = Field(fields, "vornclock"))
        if (!vornClock->empty() && !ReadClock(*vornClock, &clocks[1]))
            return Refused(400, "Vorn's clock is MIN+INC (5+3), MIN:SEC+INC or 0.5+0.2");
    const std::string* chess960 = Field(fields, "chess960");
    if (chess960 && *chess960 != "0" && *chess960 != "1") return Refused(400, "chess960 is 0 or 1");
    const bool is960 = chess960 && *chess960 == "1";
    const std::string* fen = Field(fields, "fen");
    const std::string text = fen && !fen->empty() ? *fen : "";
    if (text.empty() && is960) return Refused(400, "a Chess960 game needs its start position");
    ChessBoard start{};
    if (!text.empty() && !FenIsWellFormed(text)) return Refused(400, "the FEN is malformed");
    const int result = SetupPosition(&start, text.empty() ? StartFenText : text.c_str(),
                                     is960 ? CastlingRules::Chess960 : CastlingRules::Standard);
    if (result != SetupOk)
        return Refused(400,
                       std::string("the position cannot be played: ") + SetupResultText(result));
    const int playerSide = *side == "white" ? White : Black;
    StartGame(start, text.empty() ? StartFenText : text, is960, 1 - playerSide);
    Timed = true;
    Clocks[playerSide] = clocks[0];
    Clocks[1 - playerSide] = clocks[1];
    for (int s : {White, Black}) LeftMs[s] = Clocks[s].BaseMs;
    TurnStartMs = ClockMs();
    JudgePosition();
    PushState();
    return Ok();
}

CommandReply WebGame::LoadGame(const CommandFields& fields) {
    const std::string* chess960 = Field(fields, "chess960");
    if (chess960 && *chess960 != "0" && *chess960 != "1") return Refused(400, "chess960 is 0 or 1");
    const bool is960 = chess960 && *chess960 == "1";
    const std::string* fen = Field(fields, "fen");
    const std::string text = fen && !fen->empty() ? *fen : StartFenText;
    if (!FenIsWellFormed(text)) return Refused(400, "the FEN is malformed");
    ChessBoard start{};
    const int result = SetupPosition(&start, text.c_str(),
                                     is960 ? CastlingRules::Chess960 : CastlingRules::Standard);
    if (result != SetupOk)
        return Refused(400,
                       std::string("the position cannot be played: ") + SetupResultText(result));
    std::vector<std::string> words;
    const std::string* movesText = Field(fields, "moves");
    if (movesText && !ReadMoveWords(*movesText, MaxGamePlies, &words))
        return Refused(400, "moves are coordinates (e2e4 e7e5), at most " +
                                std::to_string(MaxGamePlies));
    std::vector<GameMove> moves;
    std::string problem;
    if (!ReadMoves(start, words, &moves, &problem)) return Refused(400, "the game's " + problem);
    StartGame(start, text, is960, NoSide);
    for (const GameMove& move : moves) AddMove(move);
    JudgePosition();
    Analysing = true;
    AnalysisPly = static_cast<int>(Moves.size());
    AnalysisLine.clear();
    ++AnalysisVersion;
    PushState();
    PushTablebaseVerdict();
    return Ok(",\"id\":" + std::to_string(AnalysisVersion));
}

CommandReply WebGame::PlayerMove(const CommandFields& fields) {
    const std::string* text = Field(fields, "move");
    std::vector<std::string> words;
    if (!text || !ReadMoveWords(*text, 1, &words) || words.size() != 1)
        return Refused(400, "a move is its squares: e2e4, e7e8q");
    if (VornSide == NoSide) return Refused(409, "no game is being played: start a new one");
    if (!Result.empty()) return Refused(409, "the game is over");
    if (Analysing) return Refused(409, "the game waits while you analyse: go back to it first");
    if (Boards.back().SideToMove == VornSide) return Refused(409, "it is Vorn's move");
    GameMove move;
    if (!ParseGameMove(Boards.back(), words[0].c_str(), &move))
        return Refused(400, words[0] + " is not a legal move here");
    if (!ChargeClock(true)) {
        PushState();
        return Refused(409, "your flag fell before the move");
    }
    AddMove(move);
    JudgePosition();
    PushState();
    return Ok();
}

CommandReply WebGame::TakeBack(const CommandFields&) {
    if (VornSide == NoSide || Analysing) return Refused(409, "no game is being played");
    const int plies = static_cast<int>(Moves.size());
    // Back to the player's turn: the player's last move, and Vorn's reply
    // to it when there is one.
    const int back = Boards.back().SideToMove == VornSide ? 1 : 2;
    if (plies < back) return Refused(409, "there is no move of yours to take back");
    if (Result.empty() && !ChargeClock(false)) {
        PushState();
        return Refused(409, "the game is over");
    }
    Record->TakeBack(back);
    Boards.resize(Boards.size() - back);
    Moves.resize(plies - back);
    MoveWords.resize(plies - back);
    GraphPoints.resize(std::min(GraphPoints.size(), Moves.size()));
    Result.clear();
    Reason.clear();
    TurnStartMs = ClockMs();
    ++GameVersion;
    PushState();
    return Ok();
}

CommandReply WebGame::Resign(const CommandFields&) {
    if (VornSide == NoSide || !Result.empty()) return Refused(409, "no game is being played");
    if (!Analysing) ChargeClock(false);
    const int player = 1 - VornSide;
    Result = player == White ? "0-1" : "1-0";
    Reason = std::string(player == White ? "White" : "Black") + " resigns";
    ++GameVersion;
    PushState();
    return Ok();
}

CommandReply WebGame::MoveNow(const CommandFields&) {
    if (Running != Job::Move) return Refused(409, "Vorn is not thinking");
    Interrupt = CommandStopsSearch;
    return Ok();
}

CommandReply WebGame::Analyse(const CommandFields& fields) {
    int ply = static_cast<int>(Moves.size());
    if (const std::string* text = Field(fields, "ply"))
        if (!ReadWholeNumber(*text, 0, static_cast<int>(Moves.size()), &ply))
            return Refused(400,
                           "ply is a position of the game: 0 to " + std::to_string(Moves.size()));
    std::vector<std::string> words;
    const std::string* lineText = Field(fields, "line");
    if (lineText && !ReadMoveWords(*lineText, MaxGameMoves, &words))
        return Refused(400, "a line is moves in coordinates (e2e4 e7e5), at most " +
                                std::to_string(MaxGameMoves));
    if (static_cast<int>(Moves.size() + words.size()) > MaxGamePlies)
        return Refused(400, "the game and the line are too long");
    std::vector<GameMove> line;
    std::string problem;
    if (!ReadMoves(Boards[ply], words, &line, &problem))
        return Refused(400, "the line's " + problem);
    // The game waits, its clock stopped, while its player analyses.
    if (!Analysing && VornSide != NoSide && Result.empty() && Timed && !ChargeClock(false)) {
        PushState();
        return Refused(409, "the flag fell");
    }
    const bool entering = !Analysing;
    Analysing = true;
    AnalysisPly = ply;
    AnalysisLine = line;
    ++AnalysisVersion;
    AnalysisDone = false;
    if (entering) {
        PushState();
        for (int p = 1; p <= static_cast<int>(GraphPoints.size()); ++p)
            if (!GraphPoints[p - 1].empty()) PushGraphPoint(p);
    }
    PushTablebaseVerdict();
    return Ok(",\"id\":" + std::to_string(AnalysisVersion));
}

CommandReply WebGame::Resume(const CommandFields&) {
    if (!Analysing) return Refused(409, "no analysis runs");
    if (VornSide == NoSide) return Refused(409, "this game is not played: start a new one");
    Analysing = false;
    TurnStartMs = ClockMs();
    PushState();
    return Ok();
}

CommandReply WebGame::SetOption(const CommandFields& fields) {
    const std::string* name = Field(fields, "name");
    const std::string* value = Field(fields, "value");
    if (!name || !value) return Refused(400, "an option needs a name and a value");
    const auto allowed = std::find_if(std::begin(PageOptionNames), std::end(PageOptionNames),
                                      [&](const char* n) { return *name == n; });
    if (allowed == std::end(PageOptionNames) || !ProtocolOptions.Find(ForUCI, name->c_str()))
        return Refused(400, "the page sets no option of that name");
    if (value->size() > 64 || value->find('\0') != std::string::npos)
        return Refused(400, "that is no value of the option");
    const OptionReply reply = ProtocolOptions.Check(ForUCI, name->c_str(), value->c_str());
    if (reply.Result != OptionSet) return Refused(400, reply.Refusal);
    const auto same = std::find_if(Choices.begin(), Choices.end(),
                                   [&](const auto& choice) { return choice.first == *name; });
    if (same != Choices.end())
        same->second = *value;
    else
        Choices.emplace_back(*name, *value);
    // The analysis starts again under the new option.
    if (Analysing) {
        ++AnalysisVersion;
        AnalysisDone = false;
    }
    return Ok(Analysing ? ",\"id\":" + std::to_string(AnalysisVersion) : "");
}

// ---------------------------------------------------------------------------
// The game's state (under Lock)
// ---------------------------------------------------------------------------

void WebGame::StartGame(const ChessBoard& start, const std::string& fen, bool chess960,
                        int vornSide) {
    StartFen = fen;
    Chess960 = chess960;
    Boards.assign(1, start);
    Moves.clear();
    MoveWords.clear();
    Record->Start(start, 1);
    VornSide = vornSide;
    Result.clear();
    Reason.clear();
    Timed = false;
    Analysing = false;
    AnalysisPly = 0;
    AnalysisLine.clear();
    AnalysisDone = false;
    GraphPoints.clear();
    FreshEngine = true;
    ++GameVersion;
    ++AnalysisVersion;
}

void WebGame::AddMove(const GameMove& move) {
    Boards.push_back(PositionAfter(Boards.back(), move));
    Moves.push_back(move);
    MoveWords.push_back(MoveWord(move));
    Record->Add(Boards.back(), static_cast<int>(Boards.size()));
    ++GameVersion;
}

void WebGame::PositionAt(int ply, const std::vector<GameMove>& line, ChessBoard* position,
                         MoveHistory* history) const {
    const int first = std::max(ply - HistoryReach, 0);
    const auto record = std::make_unique<GameRecord>();
    GameRecord& scratch = *record;
    scratch.Start(Boards[first], first + 1);
    for (int p = first + 1; p <= ply; ++p) scratch.Add(Boards[p], p + 1);
    ChessBoard board = Boards[ply];
    for (const GameMove& move : line) {
        board = PositionAfter(board, move);
        scratch.Add(board, 0);
    }
    scratch.FillHistory(history, true);
    *position = board;
}

bool WebGame::VornToMove() const {
    return VornSide != NoSide && !Analysing && Result.empty() &&
           Boards.back().SideToMove == VornSide;
}

bool WebGame::PlayerClockRuns() const {
    return Timed && VornSide != NoSide && !Analysing && Result.empty() &&
           Boards.back().SideToMove != VornSide;
}

bool WebGame::ChargeClock(bool moved) {
    if (!Timed) return true;
    const int side = Boards.back().SideToMove;
    const int64_t now = ClockMs();
    LeftMs[side] -= now - TurnStartMs;
    TurnStartMs = now;
    if (LeftMs[side] <= 0) {
        LeftMs[side] = 0;
        EndOnTime(side);
        return false;
    }
    if (moved) LeftMs[side] += Clocks[side].IncrementMs;
    return true;
}

void WebGame::EndOnTime(int side) {
    const ChessBoard& board = Boards.back();
    if (CannotMate(board, 1 - side)) {
        Result = "1/2-1/2";
        Reason = std::string(side == White ? "White's" : "Black's") + " flag fell, and " +
                 (side == White ? "Black" : "White") + " cannot mate";
    } else {
        Result = side == White ? "0-1" : "1-0";
        Reason = std::string(side == White ? "White's" : "Black's") + " flag fell";
    }
    ++GameVersion;
}

void WebGame::JudgePosition() {
    struct Ending {
        GameVerdict Verdict;
        const char* Result;
        const char* Reason;
    };
    static constexpr Ending Endings[] = {
        {WhiteMates, "1-0", "White mates"},
        {BlackMates, "0-1", "Black mates"},
        {Stalemate, "1/2-1/2", "Stalemate"},
        {DrawByMaterial, "1/2-1/2", "Neither side has the pieces to mate"},
        {DrawByFiftyMoves, "1/2-1/2", "Fifty moves without a capture or a pawn move"},
        {DrawByRepetition, "1/2-1/2", "The same position for the third time"},
    };
    const GameVerdict verdict = Record->Judge(Boards.back());
    for (const Ending& ending : Endings)
        if (ending.Verdict == verdict) {
            Result = ending.Result;
            Reason = ending.Reason;
        }
    if (Result.empty() && static_cast<int>(Moves.size()) >= MaxGamePlies) {
        Result = "1/2-1/2";
        Reason = "The game reached " + std::to_string(MaxGamePlies) + " plies";
    }
}

bool WebGame::Stale(const JobTicket& ticket) const {
    if (Closed) return true;
    switch (ticket.Kind) {
    case Job::Move:
        return ticket.GameVersion != GameVersion || !VornToMove();
    case Job::Scan:
        return ticket.GameVersion != GameVersion || !Analysing;
    case Job::Analysis:
        return ticket.GameVersion != GameVersion || ticket.AnalysisVersion != AnalysisVersion ||
               !Analysing;
    case Job::None:
        break;
    }
    return false;
}

void WebGame::StopStaleSearch() {
    if (Running != Job::None && Stale(RunningTicket)) Interrupt = CommandAbortsSearch;
}

void WebGame::Push(std::string json) {
    if (Events.size() >= MaxWaitingEvents) Events.pop_front();
    Events.push_back(std::move(json));
    EventsWake.notify_all();
}

void WebGame::PushState() { Push(StateJson()); }

void WebGame::PushGraphPoint(int ply) {
    Push("{\"type\":\"graph\",\"ply\":" + std::to_string(ply) +
         ",\"score\":" + GraphPoints[ply - 1] + "}");
}

// What the endgame tables say of the analysed position, when they know it.
void WebGame::PushTablebaseVerdict() {
    if (!Tablebases.IsOn()) return;
    ChessBoard position;
    MoveHistory history;
    PositionAt(AnalysisPly, AnalysisLine, &position, &history);
    TableVerdict verdict;
    if (!Tablebases.Probe(position, position.SideToMove, position.CastleFlags, &verdict)) return;
    const int mover = position.SideToMove;
    const char* winner = verdict.Outcome == TableDraw  ? "draw"
                         : verdict.Outcome == TableWin ? SideName(mover)
                                                       : SideName(1 - mover);
    Push("{\"type\":\"tablebase\",\"id\":" + std::to_string(AnalysisVersion) + ",\"winner\":\"" +
         winner + "\",\"plies\":" + std::to_string(verdict.Plies) + "}");
}

std::string WebGame::StateJson() const {
    std::string moves = "[";
    for (size_t i = 0; i < MoveWords.size(); ++i) moves += (i ? ",\"" : "\"") + MoveWords[i] + "\"";
    moves += "]";
    std::string clock = "null";
    if (Timed) {
        // The running clock as it stands now; the page counts it down.
        int64_t left[2] = {LeftMs[White], LeftMs[Black]};
        const bool runs = VornSide != NoSide && !Analysing && Result.empty();
        const int mover = Boards.back().SideToMove;
        if (runs) left[mover] = std::max<int64_t>(left[mover] - (ClockMs() - TurnStartMs), 0);
        char text[256];
        std::snprintf(text, sizeof text,
                      "{\"white\":%lld,\"black\":%lld,\"running\":\"%s\",\"increment\":{"
                      "\"white\":%d,\"black\":%d}}",
                      static_cast<long long>(left[White]), static_cast<long long>(left[Black]),
                      runs ? SideName(mover) : "", Clocks[White].IncrementMs,
                      Clocks[Black].IncrementMs);
        clock = text;
    }
    const char* vorn = VornSide == NoSide ? "none" : SideName(VornSide);
    return "{\"type\":\"state\",\"start\":" + JsonString(StartFen) +
           ",\"chess960\":" + (Chess960 ? "true" : "false") + ",\"moves\":" + moves +
           ",\"vorn\":\"" + vorn + "\",\"analysing\":" + (Analysing ? "true" : "false") +
           ",\"result\":" + JsonString(Result) + ",\"reason\":" + JsonString(Reason) +
           ",\"clock\":" + clock + ",\"thinking\":" + (VornToMove() ? "true" : "false") + "}";
}

bool WebGame::TakeToken() {
    const int64_t now = ClockMs();
    Tokens = std::min<double>(CommandBurst, Tokens + static_cast<double>(now - TokensAtMs) *
                                                         CommandsPerSecond / 1000.0);
    TokensAtMs = now;
    if (Tokens < 1) return false;
    Tokens -= 1;
    return true;
}

// ---------------------------------------------------------------------------
// The game's thread
// ---------------------------------------------------------------------------

void WebGame::SearchThreadBody(void* game) { static_cast<WebGame*>(game)->SearchLoop(); }

void WebGame::SearchLoop() {
    std::unique_lock<std::mutex> lock(Lock);
    while (!Closed) {
        if (FreshEngine) {
            FreshEngine = false;
            lock.unlock();
            Searcher->NewGame();
            lock.lock();
            continue;
        }
        if (VornToMove()) {
            SearchMove(lock);
            continue;
        }
        if (Analysing) {
            GraphPoints.resize(Moves.size());
            const auto unscanned = std::find(GraphPoints.begin(), GraphPoints.end(), "");
            if (unscanned != GraphPoints.end()) {
                ScanPly(lock, static_cast<int>(unscanned - GraphPoints.begin()) + 1);
                continue;
            }
            if (!AnalysisDone) {
                RunAnalysis(lock);
                continue;
            }
        }
        if (PlayerClockRuns()) {
            const int player = 1 - VornSide;
            const int64_t left = LeftMs[player] - (ClockMs() - TurnStartMs);
            if (left <= 0) {
                ChargeClock(false);
                PushState();
                continue;
            }
            SearchWake.wait_for(lock, std::chrono::milliseconds(left));
            continue;
        }
        SearchWake.wait(lock);
    }
}

std::vector<std::pair<std::string, std::string>> WebGame::ChoicesFor(Job job) const {
    std::vector<std::pair<std::string, std::string>> chosen;
    for (const auto& choice : Choices)
        if ((choice.first == "MultiPV") == (job == Job::Analysis)) chosen.push_back(choice);
    return chosen;
}

SearchRequest
WebGame::MakeRequest(const SearchLimits& limits, int gamePly,
                     const std::vector<std::pair<std::string, std::string>>& choices) {
    const std::lock_guard<std::mutex> guard(SettingsLock);
    const Status baseline = Settings;
    for (const auto& [name, value] : choices)
        ProtocolOptions.Set(*Searcher, ForUCI, name.c_str(), value.c_str(), LogTold);
    Settings.Limits = limits;
    Settings.Game.GamePly = gamePly;
    SearchRequest request = RequestFromSettings(Settings, 0);
    Settings = baseline;
    // A command from the page reaches the search within milliseconds.
    request.QuickPolls = true;
    return request;
}

void WebGame::SearchMove(std::unique_lock<std::mutex>& lock) {
    const JobTicket ticket{Job::Move, GameVersion, AnalysisVersion};
    const ChessBoard position = Boards.back();
    MoveHistory history;
    Record->FillHistory(&history, true);
    SearchLimits limits;
    limits.TimeLeft =
        static_cast<int>(std::max<int64_t>(LeftMs[VornSide] - (ClockMs() - TurnStartMs), 1));
    limits.TimeIncMs = Clocks[VornSide].IncrementMs;
    const int gamePly = static_cast<int>(Boards.size());
    const auto choices = ChoicesFor(Job::Move);
    Running = Job::Move;
    RunningTicket = ticket;
    Interrupt = CommandContinuesSearch;
    PushState();
    lock.unlock();

    const SearchRequest request = MakeRequest(limits, gamePly, choices);
    Reporter reporter(*this, *Searcher, "thinking", ticket.GameVersion, position.SideToMove);
    const SearchResult result = Searcher->Think(position, history, request, reporter);

    lock.lock();
    Running = Job::None;
    if (Stale(ticket) || result.Aborted || !result.Move.From) return;
    const GameMove move = result.Move;
    if (!ChargeClock(true)) {
        PushState();
        return;
    }
    AddMove(move);
    JudgePosition();
    PushState();
}

void WebGame::ScanPly(std::unique_lock<std::mutex>& lock, int ply) {
    const JobTicket ticket{Job::Scan, GameVersion, AnalysisVersion};
    ChessBoard position;
    MoveHistory history;
    PositionAt(ply, {}, &position, &history);
    // A game's last position may have no move: its end is its score.
    GameMove moves[MoveList::MaxMoves];
    if (GenerateLegalMoves(position, moves) == 0) {
        const int mover = position.SideToMove;
        const bool mated =
            position.InCheck(mover == White ? position.WKing : position.BKing, mover);
        GraphPoints[ply - 1] = !mated           ? "{\"cp\":0}"
                               : mover == White ? "{\"won\":\"black\"}"
                                                : "{\"won\":\"white\"}";
        PushGraphPoint(ply);
        return;
    }
    Running = Job::Scan;
    RunningTicket = ticket;
    Interrupt = CommandContinuesSearch;
    lock.unlock();

    SearchLimits limits;
    limits.FD = MaxIterationDepth;
    SearchRequest request = MakeRequest(limits, ply + 1, {});
    request.Nodes = ScanNodes;
    request.MultiPV = 1;
    // The graph judges the game: it searches at full strength whatever level Vorn plays at.
    request.StrengthElo = 0;
    SearchReporter quiet;
    const SearchResult result = Searcher->Think(position, history, request, quiet);

    lock.lock();
    Running = Job::None;
    if (Stale(ticket) || result.Aborted) return;
    GraphPoints[ply - 1] = ScoreJson(result.Score, position.SideToMove);
    PushGraphPoint(ply);
}

void WebGame::RunAnalysis(std::unique_lock<std::mutex>& lock) {
    const JobTicket ticket{Job::Analysis, GameVersion, AnalysisVersion};
    ChessBoard position;
    MoveHistory history;
    PositionAt(AnalysisPly, AnalysisLine, &position, &history);
    const int gamePly = AnalysisPly + static_cast<int>(AnalysisLine.size()) + 1;
    const auto choices = ChoicesFor(Job::Analysis);
    Running = Job::Analysis;
    RunningTicket = ticket;
    Interrupt = CommandContinuesSearch;
    lock.unlock();

    GameMove moves[MoveList::MaxMoves];
    if (GenerateLegalMoves(position, moves) > 0) {
        SearchLimits limits;
        limits.Analyze = 1;
        limits.ST = UntilStoppedMs;
        SearchRequest request = MakeRequest(limits, gamePly, choices);
        // Analysis tells the truth about a position, as the graph does.
        request.StrengthElo = 0;
        Reporter reporter(*this, *Searcher, "analysis", ticket.AnalysisVersion,
                          position.SideToMove);
        Searcher->Think(position, history, request, reporter);
    }

    lock.lock();
    Running = Job::None;
    if (!Stale(ticket)) AnalysisDone = true;
}
