// The engine's name and options: the answer to "uci" and the "setoption" command.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "book/book.h"
#include "frontend/frontend.h"

namespace {

constexpr const char* Author = "the Vorn developers";

constexpr int64_t MaxHashMegabytes = 65536;

enum class OptionKind { Check, Spin, Button, String };

struct UCIOption {
    const char* Name;
    OptionKind Kind;
    const char* Declaration; // what follows "type" in the option line
    // The value as a check, a spin or a string option reads it.
    void (*Apply)(bool flag, int64_t number, const char* text);
    int64_t Min = 0, Max = 0; // a spin's range: values beyond it are taken at its bound
};

void SetUseBook(bool flag, int64_t, const char*) { Settings.Options.UseBook = flag; }
void SetBookHeaviest(bool flag, int64_t, const char*) { Settings.Options.BookHeaviest = flag; }
void SetShowCurrLine(bool flag, int64_t, const char*) { UCI.ShowCurrLine = flag; }
void SetPonder(bool flag, int64_t, const char*) { UCI.PonderOption = flag; }
void SetAnalyseMode(bool flag, int64_t, const char*) { UCI.AnalyseMode = flag; }
void ClearHash(bool, int64_t, const char*) { TheEngine.Table.ClearTranspositionTables(); }
void KeepAbout(bool, int64_t, const char*) {}

// An empty value (or "<empty>", as some interfaces send it) unloads the book.
void SetBookFile(bool, int64_t, const char* path) {
    if (path[0] == '\0' || std::strcmp(path, "<empty>") == 0) {
        UserBook.Unload();
        return;
    }
    if (UserBook.Load(path) != BookLoaded) InfoString("%s", UserBook.Message);
}

void SetMoveOverhead(bool, int64_t ms, const char*) {
    Settings.Options.MoveOverheadMs = static_cast<int>(ms);
}

void SetMultiPV(bool, int64_t lines, const char*) {
    Settings.Options.MultiPV = static_cast<int>(lines);
}

// An empty value (or "<empty>") turns the tables off.
void SetTablePath(bool, int64_t, const char* paths) {
    std::snprintf(TablePaths, sizeof TablePaths, "%s", std::strcmp(paths, "<empty>") ? paths : "");
    StartTables();
    TellTablesMessage();
}

// The cache takes the new size at once when the tables are in use.
void SetTableCache(bool, int64_t megabytes, const char*) {
    TableCacheMegabytes = static_cast<int>(std::min<int64_t>(megabytes, MaxTableCacheMegabytes));
    if (Tablebases.IsOn()) StartTables();
}

void SetHash(bool, int64_t megabytes, const char*) {
    if (TheEngine.Table.Resize(megabytes)) {
        TheEngine.Table.MapMemory();
        return;
    }
    InfoString("Hash %lld MB cannot be had; the table keeps its %lld MB",
               static_cast<long long>(megabytes),
               static_cast<long long>(TheEngine.Table.Megabytes()));
}

// Waits for no search: a line that changes an option waits until the search ends.
void SetThreads(bool, int64_t threads, const char*) {
    if (!TheEngine.Helpers.SetThreadCount(static_cast<int>(threads)))
        InfoString("Threads %lld cannot be had; searching with %d", static_cast<long long>(threads),
                   TheEngine.Helpers.ThreadCount());
}

constexpr UCIOption Options[] = {
    {"Hash", OptionKind::Spin, "spin default 128 min 1 max 65536", SetHash, 1, MaxHashMegabytes},
    {"Threads", OptionKind::Spin, "spin default 1 min 1 max 256", SetThreads, 1, MaxThreads},
    {"Move Overhead", OptionKind::Spin, "spin default 30 min 0 max 5000", SetMoveOverhead, 0,
     MaxMoveOverheadMs},
    {"MultiPV", OptionKind::Spin, "spin default 1 min 1 max 64", SetMultiPV, 1, MaxMultiPV},
    {"Clear Hash", OptionKind::Button, "button", ClearHash},
    {"UCI_AnalyseMode", OptionKind::Check, "check default false", SetAnalyseMode},
    {"OwnBook", OptionKind::Check, "check default false", SetUseBook},
    {"SecondaryBook", OptionKind::Check, "check default false", SetUseBook},
    {"BookFile", OptionKind::String, "string default <empty>", SetBookFile},
    {"BookBestMove", OptionKind::Check, "check default false", SetBookHeaviest},
    {"UCI_ShowCurrLine", OptionKind::Check, "check default true", SetShowCurrLine},
    {"Ponder", OptionKind::Check, "check default false", SetPonder},
    {"GaviotaTbPath", OptionKind::String, "string default <empty>", SetTablePath},
    {"GaviotaTbCache", OptionKind::Spin, "spin default 32 min 1 max 1024", SetTableCache},
    {"UCI_EngineAbout", OptionKind::String,
     "string default Vorn plays chess by alpha-beta search over bitboards", KeepAbout},
};

static_assert(MaxThreads == 256, "the Threads line declares the range");
static_assert(DefaultMoveOverheadMs == 30 && MaxMoveOverheadMs == 5000,
              "the Move Overhead line declares the default and the range");
static_assert(MaxMultiPV == 64, "the MultiPV line declares the range");

} // namespace

void UCIProtocol::Identify() {
    std::printf("id name Vorn %s\n", VornVersion);
    std::printf("id author %s\n", Author);
    for (const UCIOption& option : Options)
        std::printf("option name %s type %s\n", option.Name, option.Declaration);
    std::printf("uciok\n");
    std::fflush(stdout);
    WriteLogFile("Sent uciok\n");
    TellTablesMessage();
    State = WAITING;
    Settings.Options.UseBook = 0;
}

// "setoption name <id> [value <x>]": the name may hold blanks and is
// compared without regard to case; unknown options and bad values are ignored.
void UCIProtocol::SetOption() {
    const int nameAt = Words.Find("name");
    const int valueAt = Words.Find("value", nameAt);
    char name[256], value[MaxPathLength];
    Words.Join(nameAt + 1, valueAt, name, sizeof name);
    Words.Join(valueAt + 1, Words.Count, value, sizeof value);

    const UCIOption* option = nullptr;
    for (const UCIOption& o : Options)
        if (strcasecmp(o.Name, name) == 0) option = &o;
    if (!option) {
        LogPrintf("Unknown option ignored: %s", name);
        return;
    }
    bool flag = false;
    int64_t number = 0;
    switch (option->Kind) {
    case OptionKind::Check:
        if (strcasecmp(value, "true") != 0 && strcasecmp(value, "false") != 0) {
            LogPrintf("Option %s: not a check value: %s", option->Name, value);
            return;
        }
        flag = strcasecmp(value, "true") == 0;
        break;
    case OptionKind::Spin:
        if (valueAt + 2 != Words.Count || !Words.Number(valueAt + 1, &number)) {
            InfoString("%s wants a number from %lld to %lld, not %.200s: left as it was",
                       option->Name, static_cast<long long>(option->Min),
                       static_cast<long long>(option->Max), value);
            return;
        }
        number = std::clamp(number, option->Min, option->Max);
        break;
    case OptionKind::Button:
    case OptionKind::String:
        break;
    }
    option->Apply(flag, number, value);
    LogPrintf("Option %s set to %s", option->Name, value);
}
