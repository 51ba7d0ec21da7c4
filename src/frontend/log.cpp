// match.log: the game, the protocol traffic and the search's decisions.
#include <cstdio>

#include "frontend/frontend.h"

namespace {
FILE* LogFile = nullptr;
}

void OpenLogFile() {
    LogFile = std::fopen("match.log", "w");
    if (!LogFile) std::fprintf(stderr, "Vorn: cannot create match.log; running without a log\n");
}

void WriteLogFile(const char* text) {
    if (!LogFile) return;
    std::fputs(text, LogFile);
    std::fputc('\n', LogFile);
    std::fflush(LogFile);
}

void CloseLogFile() {
    if (LogFile) std::fclose(LogFile);
    LogFile = nullptr;
}
