// The command line. Options are tested in a fixed order against the current
// string; an option that takes a value makes the value the current string, so
// the remaining tests of that argument see the value (an "-lpf" file whose
// name holds "xboard" also selects xboard). Exact tests compare the whole
// string, the others look for the option text anywhere in it.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "book/book.h"
#include "frontend/frontend.h"

char TestSuiteFile[MaxPathLength];
char BookFile[MaxPathLength];
char TablePaths[MaxPathLength];
int TableCacheMegabytes = EndgameTables::DefaultCacheMegabytes;
char FirstWord[FirstWordLength];

namespace {

bool Contains(const char* arg, const char* option) { return std::strstr(arg, option) != nullptr; }
bool Equals(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

// Numbers follow the atoi rule: leading white space, a sign, the digits that
// follow, 0 if none. A value past the range of int saturates instead of
// overflowing.
int ReadNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    constexpr int64_t Limit = int64_t(INT_MAX) + 1;
    int64_t n = 0;
    for (; *text >= '0' && *text <= '9'; ++text) n = std::min(n * 10 + (*text - '0'), Limit);
    return static_cast<int>(negative ? -n : std::min(n, Limit - 1));
}

void SetTestSuiteFile(const char* path) {
    std::snprintf(TestSuiteFile, sizeof TestSuiteFile, "%s", path);
}

constexpr const char* HelpLines[] = {
    "xboard   used when interfacing with xboard",
    "-uci   used when interfacing with an UCI based GUI",
    "-bench  run an internal benchmark suite",
    "-fd  n    fixes search depth to n ply (min n = 3)",
    "-lpf filename  loads a position from file",
    "-pev  filename - run through a testsuite (EPD Format) & output full evaluation detail per "
    "position",
    "-sd  n   sets max search depth to n ply (min n = 3)",
    "-sp  self play",
    "-ts  filename run through a testsuite (EPD Format)",
};

// The largest "-st" magnitude whose derived clock time still fits an int.
// The time per move is kept in milliseconds.
constexpr int MaxSecondsPerMove = 35000;

} // namespace

void PrintHelp() {
    for (const char* line : HelpLines) std::printf("%s\n", line);
}

void LoadCommandLineBook() {
    UserBook.Seed(
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    if (BookFile[0] && UserBook.Load(BookFile) != BookLoaded)
        std::fprintf(stderr, "%s\n", UserBook.Message);
}

void TellBookFailure() {
    if (BookFile[0] && !UserBook.IsLoaded()) std::printf("telluser %s\n", UserBook.Message);
}

void StartTables() { Tablebases.Start(TablePaths, TableCacheMegabytes); }

void TellTablesMessage() {
    if (!Tablebases.Message[0]) return;
    if (MainStatus.uci)
        InfoString("%s", Tablebases.Message);
    else if (MainStatus.xboard)
        std::printf("telluser %s\n", Tablebases.Message);
    else
        std::fprintf(stderr, "%s\n", Tablebases.Message);
    std::fflush(stdout);
}

int ParseCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* option = arg;
        bool missing = false;
        // Moves on to the option's value; a missing one is reported, not read past argv.
        auto takeValue = [&]() {
            if (i + 1 >= argc) {
                missing = true;
                return false;
            }
            arg = argv[++i];
            return true;
        };

        if (Equals(arg, "-satrain")) MainStatus.SATrain = 1;
        if (Equals(arg, "-bench")) MainStatus.Bench = 1;
        if (Equals(arg, "-bench2")) MainStatus.Bench = 2;
        if (Equals(arg, "-bench3")) MainStatus.Bench = 3;
        if (Equals(arg, "-bench4")) MainStatus.Bench = 4;
        if (Equals(arg, "-bench5")) MainStatus.Bench = 5;
        if (Equals(arg, "-fd") && takeValue()) {
            // Beyond the deepest iteration a fixed depth could never be reached.
            const int depth = std::clamp(ReadNumber(arg), 0, MaxIterationDepth);
            MainStatus.setFD(depth);
            MainBoard.MaxDepth = MainBoard.FixedDepth = depth;
        }
        if (Equals(arg, "-help") || Equals(arg, "-h")) {
            PrintHelp();
            return CommandLineHelp;
        }
        // "-HPC" is accepted and changes nothing.
        if (Contains(arg, "-kibitz")) MainStatus.Kibitz = 1;
        if (Contains(arg, "-lpf") && takeValue()) LoadPositionFile(arg);
        if (Contains(arg, "-nobook")) {
            MainStatus.UseBook = 0;
            MainStatus.NoBook = 1;
        }
        if (Equals(arg, "-perft")) MainStatus.setPERFT(1);
        if (Equals(arg, "-mimicstudent") && takeValue()) {
            std::printf("## Mimic Student option detected \n");
            MainStatus.Mimic = 1;
            SetTestSuiteFile(arg);
        }
        if (Equals(arg, "-pev") && takeValue()) {
            MainStatus.Pev = 1;
            SetTestSuiteFile(arg);
        }
        if (Contains(arg, "-post")) MainStatus.Post = 1;
        if (Contains(arg, "-sd") && takeValue()) MainBoard.MaxDepth = ReadNumber(arg);
        if (Contains(arg, "-sp")) MainStatus.SelfPlay = 1;
        if (Contains(arg, "-trace")) MainStatus.Trace = 1;
        if (Contains(arg, "-st") && takeValue()) {
            const int seconds = std::clamp(ReadNumber(arg), -MaxSecondsPerMove, MaxSecondsPerMove);
            MainStatus.ST = seconds * 1000;
            MainStatus.TimePerMove = seconds * 900;
            MainStatus.TimeLeft = seconds * 60000;
        }
        if (Contains(arg, "-tc")) takeValue();
        if (Contains(arg, "-ts") && takeValue()) {
            MainStatus.setDoTestSuite(1);
            SetTestSuiteFile(arg);
        }
        if (Contains(arg, "xboard")) MainStatus.setxboard(1);
        if (Contains(arg, "-uci")) MainStatus.uci = 1;
        if (Equals(arg, "-book") && takeValue())
            std::snprintf(BookFile, sizeof BookFile, "%s", arg);
        if (Equals(arg, "-gtb") && takeValue())
            std::snprintf(TablePaths, sizeof TablePaths, "%s", arg);

        if (missing) {
            std::printf("ERROR: missing value after %s\n", option);
            return CommandLineMissingValue;
        }
    }
    return CommandLineOk;
}
