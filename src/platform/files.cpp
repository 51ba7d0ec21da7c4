// Files: positions and suites to read, and match.log, the running record of
// the game, the protocol traffic and the search's decisions.
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {
FILE* LogFile = nullptr;
}

FILE* OpenTextFile(const char* path) {
    FILE* file = std::fopen(path, "r");
    struct stat status;
    if (file && (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
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

void LogPrintf(const char* format, ...) {
    if (!LogFile) return;
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    WriteLogFile(text);
}

void CloseLogFile() {
    if (LogFile) std::fclose(LogFile);
    LogFile = nullptr;
}

bool MakeTemporaryFolder(char* path, int size) {
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base) base = "/tmp";
    if (std::snprintf(path, size, "%s/vorn-XXXXXX", base) >= size) return false;
    return mkdtemp(path) != nullptr;
}
