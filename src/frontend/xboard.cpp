// The commands of the xboard protocol and of console play. Each command line
// is one command word with its values on the same line. The table keeps the
// commands in their traditional order; the first word that matches acts.
//
//   .  ?  ClearGameInfo  InitGameInfo  abort  analyze  beep  bk  black  bogus
//   displayboard  draw  dumpsee  easy  edit  exit  force  fullrand  go  hard
//   hint  level  name  new  nopost  otim  ponder  post  quit  random  remove
//   selfplay  setboard  Depth  DEPTH  sd  sfd  st  time  traceflag  undo
//   white  xboard, then protover  ping  accepted  rejected  result  memory  option
//   usermove  egtpath  cores  variant, the console's board  d  strength, and
//   the protocol's commands Vorn has no use for.
#include <climits>
#include <cstdio>
#include <cstring>

#include "frontend/options.h"
#include "frontend/session.h"

Session GameSession;

namespace {

// How a command read during a search is dealt with.
enum class DuringSearch {
    AtOnce,      // harmless to the search: done at once
    AfterSearch, // waits for the search to end; the search goes on
    Interrupts,  // waits, and the search stops without a move
};

struct Command {
    const char* Name;
    int (*Run)(const Words& words);
    DuringSearch Timing;
};

// Analysis has no clock: the search runs until a command stops it.
constexpr int AnalysisMs = 1209600000;

// Protocol numbers are refused outside these ranges rather than wrapped.
constexpr int64_t MaxCentiseconds = 200000000;
constexpr int MaxSecondsPerMove = 35000;
constexpr int MaxIncrementMs = 1000000000;
constexpr int MaxMovesPerSession = 100000;

// The first `length` characters of `text`, all digits (at least one).
bool ParseCount(const char* text, size_t length, int64_t* value) {
    if (length == 0) return false;
    int64_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        n = n < INT_MAX ? n * 10 + (text[i] - '0') : n;
    }
    *value = n;
    return true;
}

// Strict integers: an optional sign and digits, nothing else; magnitudes
// beyond the int range saturate.
bool ParseInteger(const char* text, int64_t* value) {
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (!ParseCount(text, std::strlen(text), value)) return false;
    if (negative) *value = -*value;
    return true;
}

// An integer value in [low, high], or the protocol's error line.
bool ReadValue(const Words& words, int index, int64_t low, int64_t high, int64_t* value) {
    if (ParseInteger(words[index], value) && *value >= low && *value <= high) return true;
    std::printf("Error (bad value): %s\n", words.From(0));
    return false;
}

// A decimal number of seconds ("0.05", "2", "1.") in milliseconds.
bool ParseSeconds(const char* text, int* ms) {
    int64_t whole = 0, fraction = 0, scale = 1000;
    const char* p = text;
    if (!*p) return false;
    for (; *p >= '0' && *p <= '9'; ++p)
        whole = whole < MaxIncrementMs ? whole * 10 + (*p - '0') : whole;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            if (scale > 1) fraction += (scale /= 10) * (*p - '0');
    if (*p || p == text || (p == text + 1 && *text == '.')) return false;
    const int64_t total = whole * 1000 + fraction;
    if (total > MaxIncrementMs) return false;
    *ms = static_cast<int>(total);
    return true;
}

// The stat01 line: time in centiseconds, nodes, depth, root moves left and in all.
int ReportSearchStatus(const Words&) {
    const SearchProgress progress = GameSession.Searcher->Progress();
    std::printf("stat01: %lld %lld %d %d %d\n", static_cast<long long>(progress.ElapsedMs / 10),
                static_cast<long long>(progress.Nodes), progress.Depth, progress.MovesLeft,
                progress.MoveCount);
    std::fflush(stdout);
    return CommandHandled;
}

// "?" between searches: there is no search to cut short.
int MoveNow(const Words&) { return CommandEndsInput; }

int Nothing(const Words&) { return CommandHandled; }

int Hard(const Words&) {
    GameSession.PonderOn = true;
    return CommandHandled;
}

int Easy(const Words&) {
    GameSession.PonderOn = false;
    return CommandHandled;
}

// Commands that change the position end the input loop in analysis mode,
// so that the analysis starts again on the new position.
int PositionChanged() { return Settings.Limits.Analyze ? CommandEndsInput : CommandHandled; }

// The opening position, White to move, the engine to play Black.
void StartNewGame() {
    GameSession.Searcher->GameOver();
    MainBoard.InitRep();
    MainBoard.Chess960 = GameSession.Chess960;
    GameSession.MaxDepth = ConsoleShownDepth;
    Settings.initVars();
    Settings.Game.OpponentToMove = 1;
    Settings.Game.GameInProgress = 1;
    Settings.Game.Force = 0;
    MainBoard.FiftyMoveCount = 0;
    MainBoard.SideToMove = White;
    GameSession.DrawClaimed = false;
    StartGameRecord();
}

int Abort(const Words&) {
    StartNewGame();
    return CommandEndsInput;
}

int Analyze(const Words& words) {
    // Analysis is offered to interfaces only.
    if (!Settings.Mode.xboard) {
        std::printf("Error (command not legal now): %s\n", words[0]);
        return CommandHandled;
    }
    if (!Settings.Limits.Analyze) GameSession.StBeforeAnalysis = Settings.Limits.ST;
    Settings.Limits.Analyze = 1;
    Settings.Options.Post = 1;
    Settings.Game.Force = 0;
    Settings.Game.OpponentToMove = 0;
    Settings.Limits.ST = AnalysisMs;
    return CommandEndsInput;
}

int Book(const Words&) {
    if (!Settings.Limits.Analyze) Settings.Options.UseBook ^= 1;
    return CommandHandled;
}

// The obsolete colour commands: that side is to move, and the game's
// record starts from here, unless the other side would stand in check.
int SideToMove(int side) {
    ChessBoard board = MainBoard;
    board.SideToMove = static_cast<int8_t>(side);
    if (!AdoptPosition(board)) TellIllegalPosition();
    return CommandHandled;
}
int Black(const Words&) { return SideToMove(::Black); }
int White(const Words&) { return SideToMove(::White); }

int ShowBoard(const Words&) {
    DisplayPosition(MainBoard);
    return CommandHandled;
}

constexpr const char* ConsoleHelp[] = {
    "Moves are typed as from and to squares: e2e4, e1g1 (castling), e7e8q (promotion).",
    "  new             a new game, Vorn plays Black",
    "  go              Vorn plays the side to move",
    "  force           Vorn plays neither side; moves are made for both",
    "  undo, remove    take back one move, or one of each side",
    "  setboard FEN    play on from a position",
    "  board, d        show the board",
    "  st N            N seconds a move",
    "  sd N            search at most N plies deep",
    "  level M B I     M moves in B minutes, I seconds added a move",
    "  post, nopost    show or hide Vorn's thinking (scores in centipawns)",
    "  strength N      play at about N Elo, 1000 to 2400 (strength full: full strength)",
    "  quit            leave",
};

int Help(const Words&) {
    for (const char* line : ConsoleHelp) std::printf("%s\n", line);
    PrintConsoleTimeControl();
    PrintConsoleStrength();
    return CommandHandled;
}

int DumpSee(const Words& words) {
    int64_t from, to;
    if (!ReadValue(words, 1, 0, 63, &from) || !ReadValue(words, 2, 0, 63, &to))
        return CommandHandled;
    const int side = MainBoard.PieceColor(Bit(static_cast<int>(to)));
    std::printf("SEE value = %d\n",
                ExchangeEvaluator(MainBoard).StaticExchangeEvaluation(
                    side, Bit(static_cast<int>(from)), Bit(static_cast<int>(to))));
    return CommandHandled;
}

int Edit(const Words&) {
    SetupBoardFromEdit();
    ShowConsoleBoard();
    return PositionChanged();
}

int Exit(const Words&) {
    if (Settings.Limits.Analyze) {
        LeaveAnalysis();
        // Out of analysis the engine plays neither side until told to.
        Settings.Game.Force = 1;
    }
    return CommandEndsInput;
}

int Force(const Words&) {
    Settings.Game.Force = 1;
    return CommandHandled;
}

int Go(const Words&) {
    Settings.Game.Force = 0;
    Settings.Game.OpponentToMove = 0;
    Settings.Game.GameInProgress = 1;
    return CommandEndsInput;
}

int Level(const Words& words) {
    int moves, baseMs, incrementMs;
    if (!ParseLevel(words.From(1), &moves, &baseMs, &incrementMs)) {
        std::printf("Error (bad value): %s\n", words.From(0));
        return CommandHandled;
    }
    Settings.Limits.MovesPerSession = moves;
    Settings.Limits.TimeLeft = baseMs;
    Settings.Limits.TimeIncMs = incrementMs;
    Settings.Limits.ST = 0;
    GameSession.ClockGiven = true;
    LogPrintf("MovesPerSession %d TimeLeft %d TimeIncMs %d \n", Settings.Limits.MovesPerSession,
              Settings.Limits.TimeLeft, Settings.Limits.TimeIncMs);
    return CommandHandled;
}

int New(const Words&) {
    GameSession.Searcher->ClearHistory();
    if (Settings.Limits.Analyze) LeaveAnalysis();
    StartNewGame();
    GameSession.DepthLimit = 0;
    ShowConsoleBoard();
    return CommandEndsInput;
}

int NoPost(const Words&) {
    Settings.Options.Post = 0;
    return CommandHandled;
}

int Post(const Words&) {
    Settings.Options.Post = 1;
    return CommandHandled;
}

int OpponentTime(const Words& words) {
    int64_t centiseconds;
    if (ReadValue(words, 1, -MaxCentiseconds, MaxCentiseconds, &centiseconds))
        LogPrintf(" %d\n", static_cast<int>(centiseconds));
    return CommandHandled;
}

int Quit(const Words&) {
    GameSession.Searcher->GameOver();
    Settings.Mode.NextMatch = 0;
    Settings.Game.GameInProgress = 0;
    GameSession.QuitRequested = true;
    return CommandQuits;
}

int TakeBack(int plies, const Words& words) {
    if (!TakeBackMoves(plies)) {
        std::printf("Error (command not legal now): %s\n", words[0]);
        return CommandHandled;
    }
    Settings.Game.GameInProgress = 1;
    GameSession.DrawClaimed = false;
    ShowConsoleBoard();
    return PositionChanged();
}
int Remove(const Words& words) { return TakeBack(2, words); }
int Undo(const Words& words) { return TakeBack(1, words); }

int SelfPlay(const Words&) {
    Settings.Game.SelfPlay = 1;
    return CommandEndsInput;
}

int SetBoard(const Words& words) {
    const char* fen = words.From(1);
    LogPrintf("setboard %s", fen);
    if (const int result = SetupBoard(fen, SessionRules()); result != SetupOk) {
        TellIllegalPosition(result);
        return CommandHandled;
    }
    Settings.Game.GamePly = MainBoard.SideToMove == ::White ? 1 : 2;
    Settings.Game.GameInProgress = 1;
    GameSession.DrawClaimed = false;
    StartGameRecord();
    ShowConsoleBoard();
    return PositionChanged();
}

// "sd N": the deepest iteration of a timed search. The console also shows it.
int SearchDepth(const Words& words) {
    if (!Settings.Mode.xboard) LogPrintf("setting MAXDEPTH\nscanstring %s", words[0]);
    int64_t depth;
    if (words.Count > 1 && ReadValue(words, 1, 1, MaxIterationDepth, &depth)) {
        GameSession.DepthLimit = static_cast<int>(depth);
        if (!Settings.Mode.xboard) {
            GameSession.MaxDepth = GameSession.DepthLimit;
            std::printf("Vorn searches at most %d plies deep.\n", GameSession.DepthLimit);
        }
    }
    if (!Settings.Mode.xboard) LogPrintf("MAXDEPTH %d", GameSession.MaxDepth);
    GameSession.EngineMove = GameMove{};
    return CommandHandled;
}

int FixedDepth(const Words& words) {
    if (!Settings.Mode.xboard) {
        LogPrintf("setting MAXDEPTH\nscanstring %s", words[0]);
        int64_t depth;
        if (ReadValue(words, 1, 1, MaxIterationDepth, &depth))
            GameSession.MaxDepth = static_cast<int>(depth);
        LogPrintf("MAXDEPTH %d", GameSession.MaxDepth);
    }
    GameSession.EngineMove = GameMove{};
    return CommandHandled;
}

int SecondsPerMove(const Words& words) {
    int64_t seconds;
    if (!ReadValue(words, 1, 0, MaxSecondsPerMove, &seconds)) return CommandHandled;
    Settings.Limits.ST = static_cast<int>(seconds) * 1000;
    Settings.Limits.TimeLeft = static_cast<int>(seconds) * 60000;
    GameSession.ConsoleSeconds = static_cast<int>(seconds);
    GameSession.ClockGiven = false;
    return CommandHandled;
}

int Time(const Words& words) {
    int64_t centiseconds;
    if (ReadValue(words, 1, -MaxCentiseconds, MaxCentiseconds, &centiseconds)) {
        Settings.Limits.TimeLeft = static_cast<int>(centiseconds * 10);
        GameSession.ClockGiven = true;
        // A ponder search plans with the clock as it stands at the ponder hit.
        if (GameSession.Searching) GameSession.Searcher->UpdateClock(Settings.Limits.TimeLeft);
    }
    return CommandHandled;
}

// "strength ELO": play at about that Elo, as UCI_LimitStrength with
// UCI_Elo does; "strength full": full strength, Skill Level back at its top.
int Strength(const Words& words) {
    EngineOptions& options = Settings.Options;
    int64_t elo;
    if (words.Count == 2 && std::strcmp(words[1], "full") == 0) {
        options.LimitStrength = false;
        options.SkillLevel = MaxSkillLevel;
    } else if (words.Count == 2 && ParseInteger(words[1], &elo) && elo >= MinStrengthElo &&
               elo <= FullStrengthElo) {
        options.LimitStrength = true;
        options.LimitElo = static_cast<int>(elo);
    } else {
        std::printf("Error (bad value): %s\n", words.From(0));
        if (!Settings.Mode.xboard)
            std::printf("strength takes an Elo from %d to %d, or full\n", MinStrengthElo,
                        FullStrengthElo);
        return CommandHandled;
    }
    if (!Settings.Mode.xboard) PrintConsoleStrength();
    return CommandHandled;
}

int TraceFlag(const Words&) {
    Settings.Mode.Trace ^= 1;
    return CommandHandled;
}

int Xboard(const Words&) {
    Settings.setxboard(1);
    return CommandHandled;
}

int Protover(const Words& words) {
    int64_t version;
    GameSession.ProtocolVersion2 = !ParseInteger(words[1], &version) || version >= 2;
    std::printf("feature done=0\n"
                "feature myname=\"Vorn %s\" setboard=1 ping=1 usermove=0 san=0 time=1 draw=0 "
                "sigint=0 sigterm=0 reuse=1 analyze=1 colors=0 memory=1 smp=1 ics=0 name=0 pause=0 "
                "egt=\"gaviota\" variants=\"normal,fischerandom\"\n",
                VornVersion);
    ProtocolOptions.PrintXboard();
    std::printf("feature done=1\n");
    // Only now is it known that the interface reads "telluser".
    TellBookFailure();
    TellTablesMessage();
    return CommandHandled;
}

int Ping(const Words& words) {
    std::printf(words.Count > 1 ? "pong %s\n" : "pong\n", words[1]);
    return CommandHandled;
}

// "result": the interface has ended the game; its text is not read.
int Result(const Words&) {
    GameSession.Searcher->GameOver();
    Settings.Game.GameInProgress = 0;
    return CommandEndsInput;
}

// What a setter could not do, in a line the interface shows its user.
void TellUser(const char* text) {
    std::printf("telluser %s\n", text);
    std::fflush(stdout);
}

// "memory N": the transposition table takes the largest size that fits in N MB.
int Memory(const Words& words) {
    int64_t megabytes;
    if (ReadValue(words, 1, 1, INT_MAX, &megabytes))
        SetHashSize(*GameSession.Searcher, megabytes, TellUser);
    return CommandHandled;
}

// "cores N": the threads of the searches from now on (read after a search ends).
int Cores(const Words& words) {
    int64_t threads;
    if (ReadValue(words, 1, 1, MaxThreads, &threads))
        SetSearchThreads(*GameSession.Searcher, threads, TellUser);
    return CommandHandled;
}

int UserMove(const Words&) { return CommandIsMove; }

// "variant normal" or "variant fischerandom", before "new" or "setboard".
int Variant(const Words& words) {
    if (std::strcmp(words[1], "normal") == 0 || std::strcmp(words[1], "fischerandom") == 0)
        GameSession.Chess960 = words[1][0] == 'f';
    else
        std::printf("Error (unsupported variant): %s\n", words.From(1));
    return CommandHandled;
}

// "option NAME=VALUE", or "option NAME" for a button: the options the
// features declare; any other name is ignored.
int SetOption(const Words& words) {
    char name[CommandLineLength];
    std::snprintf(name, sizeof name, "%s", words.From(1));
    // Blanks at the end of the line belong to neither the name nor the value.
    for (size_t length = std::strlen(name);
         length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t');)
        name[--length] = '\0';
    char* equals = std::strchr(name, '=');
    const char* value = "";
    if (equals) {
        *equals = '\0';
        value = equals + 1;
    }
    if (ProtocolOptions.Set(*GameSession.Searcher, ForXboard, name, value, TellUser).Result ==
        OptionBadValue)
        std::printf("Error (bad value): %s\n", words.From(0));
    return CommandHandled;
}

// "egtpath gaviota PATH": the folders of the Gaviota tables; other kinds of
// tables are not read.
int TablePath(const Words& words) {
    if (std::strcmp(words[1], "gaviota") != 0) {
        LogPrintf("egtpath %s: Vorn reads only Gaviota tables", words[1]);
        return CommandHandled;
    }
    std::snprintf(TablePaths, sizeof TablePaths, "%s", words.From(2));
    StartTables();
    TellTablesMessage();
    return CommandHandled;
}

constexpr DuringSearch Now = DuringSearch::AtOnce;
constexpr DuringSearch After = DuringSearch::AfterSearch;
constexpr DuringSearch Stop = DuringSearch::Interrupts;

constexpr Command Commands[] = {
    {".", ReportSearchStatus, Now},
    {"?", MoveNow, Stop},
    {"ClearGameInfo", Nothing, Now},
    {"InitGameInfo", Nothing, Now},
    {"abort", Abort, Stop},
    {"analyze", Analyze, Stop},
    {"beep", Nothing, Now},
    {"bk", Book, Now},
    {"black", Black, Stop},
    {"bogus", Nothing, Now},
    {"displayboard", ShowBoard, Now},
    {"draw", Nothing, Now},
    {"dumpsee", DumpSee, Now},
    {"easy", Easy, Now},
    {"edit", Edit, Stop},
    {"exit", Exit, Stop},
    {"force", Force, Stop},
    {"fullrand", Nothing, Now},
    {"go", Go, Stop},
    {"hard", Hard, Now},
    {"help", Help, Now},
    {"hint", Nothing, Now},
    {"level", Level, After},
    {"name", Nothing, Now},
    {"new", New, Stop},
    {"nopost", NoPost, Now},
    {"otim", OpponentTime, Now},
    {"ponder", Nothing, Now},
    {"post", Post, Now},
    {"quit", Quit, Stop},
    {"random", Nothing, Now},
    {"remove", Remove, Stop},
    {"selfplay", SelfPlay, Stop},
    {"setboard", SetBoard, Stop},
    {"Depth", SearchDepth, After},
    {"DEPTH", SearchDepth, After},
    {"sd", SearchDepth, After},
    {"sfd", FixedDepth, After},
    {"st", SecondsPerMove, After},
    // The clock comes before the opponent's move, which may hit the ponder search.
    {"time", Time, Now},
    {"traceflag", TraceFlag, Now},
    {"undo", Undo, Stop},
    {"white", White, Stop},
    {"xboard", Xboard, Now},
    {"protover", Protover, Now},
    {"ping", Ping, After},
    {"accepted", Nothing, Now},
    {"rejected", Nothing, Now},
    {"result", Result, Stop},
    {"memory", Memory, After},
    {"option", SetOption, After},
    {"usermove", UserMove, After},
    {"egtpath", TablePath, After},
    {"cores", Cores, After},
    {"variant", Variant, After},
    // The console's own.
    {"board", ShowBoard, Now},
    {"d", ShowBoard, Now},
    {"strength", Strength, After},
    // Protocol commands for features Vorn does not offer: accepted, no effect.
    {"computer", Nothing, Now},
    {"rating", Nothing, Now},
    {"ics", Nothing, Now},
    {"nps", Nothing, Now},
    {"playother", Nothing, Now},
    {"pause", Nothing, Now},
    {"resume", Nothing, Now},
    {"exclude", Nothing, Now},
    {"include", Nothing, Now},
    {"setscore", Nothing, Now},
    {"lift", Nothing, Now},
    {"put", Nothing, Now},
    {"hover", Nothing, Now},
};

const Command* FindCommand(const char* word) {
    for (const Command& c : Commands)
        if (std::strcmp(c.Name, word) == 0) return &c;
    return nullptr;
}

// Lines waiting for the end of a search.
constexpr int QueueCapacity = 32;
char Queue[QueueCapacity][CommandLineLength];
int QueueStart = 0, QueueCount = 0;

} // namespace

Words::Words(const char* line) {
    std::snprintf(Text, sizeof Text, "%s", line);
    char* p = Text;
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (Count < MaxWords) {
        while (*p && blank(*p)) ++p;
        if (!*p) break;
        Rest[Count] = line + (p - Text);
        Word[Count++] = p;
        while (*p && !blank(*p)) ++p;
        if (*p) *p++ = '\0';
    }
}

void QueueLine(const char* line) {
    if (QueueCount == QueueCapacity) return;
    std::snprintf(Queue[(QueueStart + QueueCount++) % QueueCapacity], CommandLineLength, "%s",
                  line);
}

int QueuedLines() { return QueueCount; }

bool ReadCommandLine(char* line, int size) {
    if (QueueCount > 0) {
        std::snprintf(line, size, "%s", Queue[QueueStart]);
        QueueStart = (QueueStart + 1) % QueueCapacity;
        --QueueCount;
        return true;
    }
    return ReadInputLine(line, size);
}

void ShowConsoleBoard() {
    if (!Settings.Mode.xboard) DisplayPosition(MainBoard);
}

void TellIllegalPosition(int result) {
    const char* prefix = Settings.Mode.xboard ? "tellusererror " : "";
    if (result >= SetupCastlingNoRook)
        std::printf("%sIllegal position: %s%s\n", prefix, SetupResultText(result),
                    result == SetupCastlingNeeds960 ? " (variant fischerandom plays it)" : "");
    else
        std::printf("%sIllegal position\n", prefix);
}

void PrintConsoleTimeControl() {
    if (Settings.Limits.FD)
        std::printf("Vorn searches %d plies deep a move.\n", Settings.Limits.FD);
    else if (GameSession.ClockGiven)
        std::printf("Vorn plays on the clock that level and time set.\n");
    else {
        const int seconds =
            Settings.Limits.ST ? Settings.Limits.ST / 1000 : GameSession.ConsoleSeconds;
        std::printf("Vorn thinks %d second%s a move (st N to change it).\n", seconds,
                    seconds == 1 ? "" : "s");
    }
}

void PrintConsoleStrength() {
    const int elo = PlayingElo(Settings.Options);
    if (elo)
        std::printf("Vorn plays at about %d Elo (strength full for its full strength).\n", elo);
    else
        std::printf("Vorn plays at full strength (strength N for about N Elo).\n");
}

void LeaveAnalysis() {
    Settings.Limits.Analyze = 0;
    Settings.Options.Post = 0;
    Settings.Limits.ST = GameSession.StBeforeAnalysis;
}

bool ParseLevel(const char* line, int* movesPerSession, int* baseMs, int* incrementMs) {
    const Words words(line);
    if (words.Count != 3) return false;
    int64_t moves, minutes, seconds = 0;
    if (!ParseCount(words[0], std::strlen(words[0]), &moves) || moves > MaxMovesPerSession)
        return false;
    // The base is minutes, or minutes and seconds ("0:30").
    const char* colon = std::strchr(words[1], ':');
    const size_t minutesLength = colon ? colon - words[1] : std::strlen(words[1]);
    if (!ParseCount(words[1], minutesLength, &minutes)) return false;
    if (colon && (!ParseCount(colon + 1, std::strlen(colon + 1), &seconds) || seconds > 59))
        return false;
    const int64_t base = (minutes * 60 + seconds) * 1000;
    if (base > INT_MAX || !ParseSeconds(words[2], incrementMs)) return false;
    *movesPerSession = static_cast<int>(moves);
    *baseMs = static_cast<int>(base);
    return true;
}

int DoCommand(const char* line) {
    WriteLogFile(line);
    const Words words(line);
    if (words.Count == 0) return CommandHandled;
    if (const Command* command = FindCommand(words[0])) return command->Run(words);
    if (LooksLikeMove(words[0])) return CommandIsMove;
    std::printf("Error (unknown command): %s\n", words[0]);
    if (!Settings.Mode.xboard) TellMoveForm(words[0]);
    return CommandHandled;
}

namespace {

// The opponent's move arrives while the engine ponders: the expected one
// turns the search into the engine's own, any other ends it.
int OpponentMoveWhilePondering(const char* line, const Words& words) {
    const char* text = std::strcmp(words[0], "usermove") == 0 ? words[1] : words[0];
    GameMove move;
    if (ParseGameMove(GameSession.PonderFrom, text, &move) &&
        SameMove(move, GameSession.PonderGuess)) {
        WriteLogFile(line);
        GameSession.PonderHit = true;
        GameSession.Searcher->PonderHit(true);
        return CommandContinuesSearch;
    }
    QueueLine(line);
    Settings.Limits.Ponder = 0;
    return CommandAbortsSearch;
}

// What a line does to a search on the opponent's time: whatever would end
// the engine's own search ends it without a move, and the wait too.
int OnPonderSearch(int request) {
    if (request == CommandContinuesSearch) return request;
    Settings.Limits.Ponder = 0;
    return CommandAbortsSearch;
}

} // namespace

int CommandDuringSearch(const char* line) {
    const Words words(line);
    if (words.Count == 0) return CommandContinuesSearch;
    const Command* command = FindCommand(words[0]);
    const bool analysing = Settings.Limits.Analyze;
    const bool pondering = Settings.Limits.Ponder;
    DuringSearch timing = command ? command->Timing : DuringSearch::AtOnce;
    const bool move = LooksLikeMove(words[0]) || (command && command->Run == UserMove);
    if (move && pondering) return OpponentMoveWhilePondering(line, words);
    if (move) timing = analysing ? DuringSearch::Interrupts : DuringSearch::AfterSearch;

    if (command && command->Run == MoveNow) {
        // Move now: the search ends with the best move found so far. An
        // analysis, or a search on the opponent's time, has no move to make.
        WriteLogFile(line);
        return analysing || pondering ? CommandContinuesSearch : CommandStopsSearch;
    }
    if (command && command->Run == Easy && pondering) {
        DoCommand(line);
        return OnPonderSearch(CommandAbortsSearch);
    }
    if (command && command->Run == Exit && !analysing) timing = DuringSearch::AfterSearch;
    // Pondering and analysing answer a ping at once, thinking after the move.
    if (command && command->Run == Ping && (analysing || pondering) && QueuedLines() == 0)
        timing = DuringSearch::AtOnce;

    if (timing == DuringSearch::AtOnce) {
        DoCommand(line);
        std::fflush(stdout);
        return CommandContinuesSearch;
    }
    QueueLine(line);
    if (timing == DuringSearch::Interrupts) return OnPonderSearch(CommandAbortsSearch);
    // A full queue takes no more: the search ends and the lines are read.
    return QueuedLines() >= QueueCapacity - 1 ? OnPonderSearch(CommandStopsSearch)
                                              : CommandContinuesSearch;
}
