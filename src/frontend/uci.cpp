// The UCI dialogue: lines in, one command each, dispatched on the first word.
//
//   uci         names the engine and its options, then "uciok"
//   isready     "readyok", at once, in every state
//   setoption   name <id> [value <x>]                  (ucioptions.cpp)
//   ucinewgame  a new game: start position, cleared tables
//   position    startpos | fen <FEN>, then moves ...    (uciposition.cpp)
//   go          searches and answers "bestmove"         (ucigo.cpp)
//   stop        ends the search in progress with its best move
//   ponderhit   the pondered move was played: the clock starts now
//   quit        ends the program, also during a search
//   debug, register: accepted, no effect; any other line is ignored.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "eval/eval.h"
#include "frontend/frontend.h"

UCIProtocol UCI;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct UCICommand {
    const char* Word;
    void (UCIProtocol::*Run)();
};

} // namespace

void UCIWords::Split(const char* line) {
    std::snprintf(Text, sizeof Text, "%s", line);
    Count = 0;
    for (char* p = Text; *p && Count < MaxWords;) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;
        Word[Count++] = p;
        while (*p && !IsBlank(*p)) ++p;
        if (*p) *p++ = '\0';
    }
}

int UCIWords::Find(const char* word, int first) const {
    for (int i = first; i < Count; ++i)
        if (std::strcmp(Word[i], word) == 0) return i;
    return Count;
}

bool UCIWords::Number(int i, int64_t* value) const {
    const char* p = (*this)[i];
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!*p) return false;
    constexpr int64_t Limit = int64_t(1) << 50;
    int64_t n = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        n = std::min(n * 10 + (*p - '0'), Limit);
    }
    *value = negative ? -n : n;
    return true;
}

void UCIWords::Join(int first, int last, char* out, int size) const {
    int length = 0;
    out[0] = '\0';
    for (int i = first; i < last && i < Count && length < size - 1; ++i)
        length += std::snprintf(out + length, size - length, i > first ? " %s" : "%s", Word[i]);
}

void InfoString(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::printf("info string %s\n", text);
    std::fflush(stdout);
    WriteLogFile(text);
}

int UCIProtocol::Dialogue(const char* firstWord) {
    UCIPrep(firstWord);
    char line[UCIWords::LineLength];
    while (Running) {
        // The end of input is the interface gone: it ends Vorn like "quit".
        if (!NextLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
        UCIPrep(line);
    }
    WriteLogFile("Bye\n");
    CloseLogFile();
    return 0;
}

int UCIProtocol::UCIPrep(const char* text) {
    std::snprintf(CommandBuffer, sizeof CommandBuffer, "%s", text);
    WriteLogFile(CommandBuffer);
    return UCICore();
}

int UCIProtocol::UCICore() {
    Words.Split(CommandBuffer);
    if (Words.Count == 0) return CommandContinuesSearch;
    if (State != WAITING) return DuringSearch();

    static constexpr UCICommand Commands[] = {
        {"uci", &UCIProtocol::Identify},        {"isready", &UCIProtocol::IsReady},
        {"setoption", &UCIProtocol::SetOption}, {"ucinewgame", &UCIProtocol::NewGame},
        {"position", &UCIProtocol::Position},   {"go", &UCIProtocol::Go},
        {"stop", &UCIProtocol::Ignore},         {"ponderhit", &UCIProtocol::Ignore},
        {"quit", &UCIProtocol::Quit},           {"debug", &UCIProtocol::Ignore},
        {"register", &UCIProtocol::Ignore},
    };
    for (const UCICommand& command : Commands) {
        if (std::strcmp(Words[0], command.Word) != 0) continue;
        (this->*command.Run)();
        return CommandContinuesSearch;
    }
    LogPrintf("Unknown command ignored: %s", Words[0]);
    return CommandContinuesSearch;
}

// A search runs: only four commands act now, the others wait for its end.
int UCIProtocol::DuringSearch() {
    const char* command = Words[0];
    if (std::strcmp(command, "isready") == 0) {
        IsReady();
        return CommandContinuesSearch;
    }
    if (std::strcmp(command, "stop") == 0) {
        WriteLogFile("Received stop: the search ends with its best move\n");
        Settings.Limits.Ponder = Settings.Limits.Analyze = 0;
        State = SEARCHING;
        return CommandStopsSearch;
    }
    if (std::strcmp(command, "ponderhit") == 0) {
        if (State == PONDERING) {
            State = SEARCHING;
            UCI.Searcher->PonderHit(false);
        }
        return CommandContinuesSearch;
    }
    if (std::strcmp(command, "quit") == 0) {
        Running = 0;
        Settings.Limits.Ponder = Settings.Limits.Analyze = 0;
        State = SEARCHING;
        return CommandAbortsSearch;
    }
    Keep(CommandBuffer);
    return CommandContinuesSearch;
}

void UCIProtocol::Keep(const char* line) {
    const int length = static_cast<int>(std::strlen(line)) + 1;
    if (PendingStart == PendingEnd) PendingStart = PendingEnd = 0;
    if (PendingEnd + length > static_cast<int>(sizeof Pending)) {
        LogPrintf("Too many lines during the search; dropped: %s", line);
        return;
    }
    std::memcpy(Pending + PendingEnd, line, length);
    PendingEnd += length;
}

bool UCIProtocol::NextLine(char* line, int size) {
    if (PendingStart < PendingEnd) {
        std::snprintf(line, size, "%s", Pending + PendingStart);
        PendingStart += static_cast<int>(std::strlen(Pending + PendingStart)) + 1;
        return true;
    }
    return ReadInputLine(line, size);
}

void UCIProtocol::IsReady() {
    std::printf("readyok\n");
    std::fflush(stdout);
    WriteLogFile("Sent readyok\n");
}

void UCIProtocol::NewGame() {
    UCI.Searcher->GameOver();
    MainBoard.InitRep();
    MainBoard.FiftyMoveCount = 0;
    Settings.initVars();
    Settings.Game.OpponentToMove = 1;
    StartGameRecord();
    UCI.Searcher->NewGame();
    WriteLogFile("Processing ucinewgame\n");
}

// "stop" and "ponderhit" with no search running, "debug" and "register":
// nothing to do.
void UCIProtocol::Ignore() {}

void UCIProtocol::Quit() {
    UCI.Searcher->GameOver();
    Running = 0;
    Settings.Mode.NextMatch = Settings.Game.GameInProgress = 0;
}
