// The settings record, its new-game reset and the channel for diagnostics.
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

Status MainStatus;

void Status::initVars() {
    Mimic = 0;
    GamePly = 1;
    GameInProgress = 1;
    SelfPlay = 0;
    OpponentToMove = 1;
    PERFT = 0;
    Bench = 0;
    SATrain = 0;
    DoTestSuite = 0;
    Post = 0;
    Pev = 0;
    Trace = 0;
    // A UCI interface sets these once; a new game must not undo them.
    if (uci != 1) {
        TimePerMove = 0;
        FD = 0;
        UseBook = 1;
        MovesPerSession = 0;
        DefaultMovesPerSession = 50;
        ST = 0;
    }
}

void Diagnostic(const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Only the tool modes print them; a game's player, person or interface,
    // finds them in the log.
    const Status& m = MainStatus;
    const bool toolMode =
        m.PERFT || m.Bench == 1 || m.Bench == 2 || m.DoTestSuite || m.Pev || m.Mimic;
    if (m.UnderInterface() || !toolMode) {
        WriteLogFile(text);
    } else {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
}
