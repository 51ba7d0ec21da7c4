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
#include "frontend/session.h"

char TestSuiteFile[MaxPathLength];
char BookFile[MaxPathLength];
char TablePaths[MaxPathLength];
int TableCacheMegabytes = EndgameTables::DefaultCacheMegabytes;
char LogFileName[MaxPathLength];
char FirstWord[FirstWordLength];
WebCommandLine WebChoice;

namespace {

bool Contains(const char* arg, const char* option) { return std::strstr(arg, option) != nullptr; }
bool Equals(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

// A whole decimal number in [low, high] (a sign, then digits only); false
// for anything else, so that a mistyped value is named instead of read as 0.
bool ReadNumber(const char* text, int low, int high, int* value) {
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (!*text) return false;
    int64_t n = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
        n = std::min<int64_t>(n * 10 + (*text - '0'), int64_t(INT_MAX) + 1);
    }
    if (negative) n = -n;
    if (n < low || n > high) return false;
    *value = static_cast<int>(n);
    return true;
}

// A host name or address: letters, digits, '.', '-' and ':' only.
bool ReadHost(const char* text, char* host) {
    const size_t length = std::strlen(text);
    if (length == 0 || length >= MaxHostLength) return false;
    for (const char* p = text; *p; ++p)
        if (!std::isalnum(static_cast<unsigned char>(*p)) && !std::strchr(".-:", *p)) return false;
    std::memcpy(host, text, length + 1);
    return true;
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

// The options that came after the traditional nine lines.
constexpr const char* AddedHelpLines[] = {
    "-perft  counts the move paths to the -fd depth, with a count per root move",
    "-st  n   n seconds a move",
    "-post  prints thinking output",
    "-book filename  plays from a Polyglot opening book",
    "-nobook  consults no opening book",
    "-gtb folders  probes the Gaviota endgame tables in these folders, separated by ;",
    "-log filename  writes the log to filename instead of match.log",
    "-threads n  searches with n threads (1 to 256; 1 by default)",
    "-elo n  plays at about n Elo (1000 to 2400, where 2400 is full strength)",
    "-trace  trace output (perft, search, book)",
    "-kibitz  sends the search's kibitz lines",
    "-bench2  searches one position under each search driver",
    "-mimicstudent  filename  only evaluates every position of a testsuite",
    "-tc  n   accepted and ignored",
    "--web  serves a page with a board, the game and its analysis (http://127.0.0.1:8960/)",
    "--port n  the web page's port (8960; 0: any free port)",
    "--host address  the address the web page is served on (127.0.0.1: this machine only)",
    "--version  prints the version and exits",
    "--help, -h  prints this text and exits",
};

// The largest "-st" value whose derived clock time still fits an int.
// The time per move is kept in milliseconds.
constexpr int MaxSecondsPerMove = 35000;

} // namespace

void PrintHelp() {
    for (const char* line : HelpLines) std::printf("%s\n", line);
    for (const char* line : AddedHelpLines) std::printf("%s\n", line);
}

void PrintVersion() {
    if (VornCommit[0])
        std::printf("Vorn %s (commit %s)\n", VornVersion, VornCommit);
    else
        std::printf("Vorn %s\n", VornVersion);
}

void SeedStrength() {
    Settings.Options.StrengthSeed =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
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
    if (Settings.Mode.uci)
        InfoString("%s", Tablebases.Message);
    else if (Settings.Mode.xboard)
        std::printf("telluser %s\n", Tablebases.Message);
    else
        std::fprintf(stderr, "%s\n", Tablebases.Message);
    std::fflush(stdout);
}

int ParseCommandLine(int argc, char** argv, Engine& engine) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* option = arg;
        bool missing = false, known = false, badValue = false;
        // Moves on to the option's value; a missing one is reported, not read past argv.
        auto takeValue = [&]() {
            known = true;
            if (i + 1 >= argc) {
                missing = true;
                return false;
            }
            arg = argv[++i];
            return true;
        };
        auto equals = [&](const char* name) { return Equals(arg, name) && (known = true); };
        auto contains = [&](const char* name) { return Contains(arg, name) && (known = true); };
        auto number = [&](int low, int high, int* value) {
            badValue = !ReadNumber(arg, low, high, value);
            return !badValue;
        };

        // main answers these before anything else.
        if (equals("--version") || equals("-v")) continue;
        if (equals("-satrain")) Settings.Mode.SATrain = 1;
        if (equals("-bench")) Settings.Mode.Bench = 1;
        if (equals("-bench2")) Settings.Mode.Bench = 2;
        if (equals("-bench3")) Settings.Mode.Bench = 3;
        if (equals("-bench4")) Settings.Mode.Bench = 4;
        if (equals("-bench5")) Settings.Mode.Bench = 5;
        int value;
        // Beyond the deepest iteration a fixed depth could never be reached.
        if (equals("-fd") && takeValue() && number(0, MaxIterationDepth, &value)) {
            Settings.setFD(value);
            GameSession.MaxDepth = value;
        }
        if (equals("-help") || equals("-h") || equals("--help")) {
            PrintHelp();
            return CommandLineHelp;
        }
        contains("-HPC"); // accepted, changes nothing
        if (contains("-kibitz")) Settings.Options.Kibitz = 1;
        if (contains("-lpf") && takeValue()) LoadPositionFile(arg);
        if (contains("-nobook")) {
            Settings.Options.UseBook = 0;
            Settings.Options.NoBook = 1;
        }
        if (equals("-perft")) Settings.setPERFT(1);
        if (equals("-mimicstudent") && takeValue()) {
            std::printf("## Mimic Student option detected \n");
            Settings.Mode.Mimic = 1;
            SetTestSuiteFile(arg);
        }
        if (equals("-pev") && takeValue()) {
            Settings.Mode.Pev = 1;
            SetTestSuiteFile(arg);
        }
        if (contains("-post")) Settings.Options.Post = 1;
        if (contains("-sd") && takeValue() && number(1, MaxIterationDepth, &value))
            GameSession.MaxDepth = value;
        if (contains("-sp")) Settings.Game.SelfPlay = 1;
        if (contains("-trace")) Settings.Mode.Trace = 1;
        if (contains("-st") && takeValue() && number(0, MaxSecondsPerMove, &value)) {
            Settings.Limits.ST = value * 1000;
            Settings.Limits.TimeLeft = value * 60000;
        }
        if (contains("-tc")) takeValue();
        if (contains("-ts") && takeValue()) {
            Settings.setDoTestSuite(1);
            SetTestSuiteFile(arg);
        }
        if (contains("xboard")) Settings.setxboard(1);
        if (contains("-uci")) Settings.Mode.uci = 1;
        if (equals("-book") && takeValue()) std::snprintf(BookFile, sizeof BookFile, "%s", arg);
        if (equals("-gtb") && takeValue()) std::snprintf(TablePaths, sizeof TablePaths, "%s", arg);
        if (equals("-threads") && takeValue() && number(1, MaxThreads, &value) &&
            !engine.Helpers.SetThreadCount(value))
            std::fprintf(stderr, "vorn: %d threads cannot be had; searching with %d\n", value,
                         engine.Helpers.ThreadCount());
        if (equals("-elo") && takeValue() && number(MinStrengthElo, FullStrengthElo, &value)) {
            Settings.Options.LimitStrength = true;
            Settings.Options.LimitElo = value;
        }
        if (equals("-log") && takeValue())
            std::snprintf(LogFileName, sizeof LogFileName, "%s", arg);
        if (equals("--web")) WebChoice.Serve = true;
        if (equals("--port") && takeValue() && number(0, 65535, &value)) WebChoice.Port = value;
        if (equals("--host") && takeValue()) badValue = !ReadHost(arg, WebChoice.Host);

        if (missing) {
            std::fprintf(stderr, "vorn: missing value after %s\n", option);
            return CommandLineBadUsage;
        }
        if (badValue) {
            std::fprintf(stderr, "vorn: bad value for %s: %s\n", option, arg);
            return CommandLineBadUsage;
        }
        if (!known) {
            std::fprintf(stderr, "vorn: unknown option %s (vorn --help lists the options)\n",
                         option);
            return CommandLineBadUsage;
        }
    }
    return CommandLineOk;
}
