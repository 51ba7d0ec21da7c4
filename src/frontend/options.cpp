// Vorn's option table, its printers for UCI and xboard, the validation of a
// value, and the setters. Adding an option is one row of Rows.
#include <algorithm>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "book/book.h"
#include "frontend/options.h"

namespace {

constexpr int64_t DefaultHashMegabytes = 128; // the table the engine starts with
constexpr int64_t MaxHashMegabytes = 65536;

// A check's two values as a protocol spells them.
struct CheckWords {
    const char* True;
    const char* False;
};
constexpr CheckWords UCICheck{"true", "false"};
constexpr CheckWords XboardCheck{"1", "0"};

const CheckWords& CheckWordsOf(OptionProtocols protocol) {
    return protocol == ForXboard ? XboardCheck : UCICheck;
}

constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Option names, and a combo's choices, are compared without regard to case.
constexpr bool SameName(const char* a, const char* b) {
    for (; *a && Lower(*a) == Lower(*b); ++a, ++b) {
    }
    return Lower(*a) == Lower(*b);
}

void Tell(OptionTeller tell, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Tell(OptionTeller tell, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    tell(text);
}

void SetUseBook(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.UseBook = value.Flag;
}

void SetBookHeaviest(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.BookHeaviest = value.Flag;
}

void SetShowCurrLine(Engine&, const OptionValue& value, OptionTeller) {
    UCI.ShowCurrLine = value.Flag;
}

void SetShowWDL(Engine&, const OptionValue& value, OptionTeller) { UCI.ShowWDL = value.Flag; }

void SetChess960(Engine&, const OptionValue& value, OptionTeller) { UCI.Chess960 = value.Flag; }

void SetPonder(Engine&, const OptionValue& value, OptionTeller) { UCI.PonderOption = value.Flag; }

void SetAnalyseMode(Engine&, const OptionValue& value, OptionTeller) {
    UCI.AnalyseMode = value.Flag;
}

// The next search is the one a fresh engine would make: the shared table
// and every thread's history, killers and pawn table are emptied, as for a
// new game, while the game itself stays.
void ClearHash(Engine& engine, const OptionValue&, OptionTeller) { engine.NewGame(); }

// The about text is shown, never set.
void KeepAbout(Engine&, const OptionValue&, OptionTeller) {}

// An empty path unloads the book.
void SetBookFile(Engine&, const OptionValue& value, OptionTeller tell) {
    if (!value.Text[0]) {
        UserBook.Unload();
        return;
    }
    if (UserBook.Load(value.Text) != BookLoaded) tell(UserBook.Message);
}

void SetMoveOverhead(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.MoveOverheadMs = static_cast<int>(value.Number);
}

void SetMultiPV(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.MultiPV = static_cast<int>(value.Number);
}

// UCI_LimitStrength with UCI_Elo sets the level; without it Skill Level does.
void SetLimitStrength(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.LimitStrength = value.Flag;
}

void SetLimitElo(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.LimitElo = static_cast<int>(value.Number);
}

void SetSkillLevel(Engine&, const OptionValue& value, OptionTeller) {
    Settings.Options.SkillLevel = static_cast<int>(value.Number);
}

// An empty path turns the tables off.
void SetTablePath(Engine&, const OptionValue& value, OptionTeller tell) {
    std::snprintf(TablePaths, sizeof TablePaths, "%s", value.Text);
    StartTables();
    if (Tablebases.Message[0]) tell(Tablebases.Message);
}

// The cache takes the new size at once when the tables are in use.
void SetTableCache(Engine&, const OptionValue& value, OptionTeller) {
    TableCacheMegabytes = static_cast<int>(value.Number);
    if (Tablebases.IsOn()) StartTables();
}

void SetHash(Engine& engine, const OptionValue& value, OptionTeller tell) {
    SetHashSize(engine, value.Number, tell);
}

void SetThreads(Engine& engine, const OptionValue& value, OptionTeller tell) {
    SetSearchThreads(engine, value.Number, tell);
}

constexpr OptionRow Rows[] = {
    SpinOption("Hash", DefaultHashMegabytes, 1, MaxHashMegabytes, SetHash),
    SpinOption("Threads", 1, 1, MaxThreads, SetThreads),
    SpinOption("Move Overhead", DefaultMoveOverheadMs, 0, MaxMoveOverheadMs, SetMoveOverhead,
               ForBoth),
    SpinOption("MultiPV", 1, 1, MaxMultiPV, SetMultiPV, ForBoth),
    ButtonOption("Clear Hash", ClearHash, ForBoth),
    SpinOption("Skill Level", MaxSkillLevel, 0, MaxSkillLevel, SetSkillLevel, ForBoth),
    CheckOption("UCI_LimitStrength", false, SetLimitStrength, ForBoth),
    SpinOption("UCI_Elo", DefaultLimitElo, MinStrengthElo, FullStrengthElo, SetLimitElo, ForBoth),
    CheckOption("UCI_AnalyseMode", false, SetAnalyseMode),
    CheckOption("UCI_Chess960", false, SetChess960),
    CheckOption("OwnBook", false, SetUseBook),
    CheckOption("SecondaryBook", false, SetUseBook),
    StringOption("BookFile", "", SetBookFile),
    CheckOption("BookBestMove", false, SetBookHeaviest),
    CheckOption("UCI_ShowCurrLine", true, SetShowCurrLine),
    CheckOption("UCI_ShowWDL", false, SetShowWDL),
    CheckOption("Ponder", false, SetPonder),
    StringOption("GaviotaTbPath", "", SetTablePath),
    SpinOption("GaviotaTbCache", EndgameTables::DefaultCacheMegabytes, 1, MaxTableCacheMegabytes,
               SetTableCache),
    StringOption("UCI_EngineAbout", "Vorn plays chess by alpha-beta search over bitboards",
                 KeepAbout),
};

// What the printers and the validation rely on: every row has a setter and
// a protocol, a name no other row has, and a default its option takes.
constexpr bool RowsAreSound(std::span<const OptionRow> rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const OptionRow& row = rows[i];
        if (!row.Apply || !(row.Protocols & ForBoth)) return false;
        for (size_t j = 0; j < i; ++j)
            if (SameName(rows[j].Name, row.Name)) return false;
        bool defaultTaken = true;
        if (row.Kind == OptionKind::Check) defaultTaken = row.Default == 0 || row.Default == 1;
        if (row.Kind == OptionKind::Spin)
            defaultTaken = row.Min <= row.Default && row.Default <= row.Max;
        if (row.Kind == OptionKind::Combo)
            defaultTaken = std::any_of(row.Choices.begin(), row.Choices.end(), [&](const char* c) {
                return c && SameName(c, row.DefaultText);
            });
        if (!defaultTaken) return false;
    }
    return true;
}
static_assert(RowsAreSound(Rows), "a row of the option table contradicts itself");

// A whole number: an optional sign, then digits only; saturated far beyond
// any option's range.
bool ParseWholeNumber(const char* text, int64_t* value) {
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (!*text) return false;
    constexpr int64_t Limit = int64_t(1) << 50;
    int64_t n = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
        n = std::min(n * 10 + (*text - '0'), Limit);
    }
    *value = negative ? -n : n;
    return true;
}

// `text` as `row` takes it under `protocol`; false when it is no value of the option.
bool ReadOptionValue(const OptionRow& row, OptionProtocols protocol, const char* text,
                     OptionValue* value) {
    switch (row.Kind) {
    case OptionKind::Check: {
        const CheckWords& words = CheckWordsOf(protocol);
        value->Flag = SameName(text, words.True);
        return value->Flag || SameName(text, words.False);
    }
    case OptionKind::Spin:
        return ParseWholeNumber(text, &value->Number) && value->Number >= row.Min &&
               value->Number <= row.Max;
    case OptionKind::Combo:
        for (int i = 0; i < MaxOptionChoices && row.Choices[i]; ++i) {
            if (!SameName(text, row.Choices[i])) continue;
            value->Number = i;
            value->Text = row.Choices[i];
            return true;
        }
        return false;
    case OptionKind::String:
        // Some interfaces send back the "<empty>" that UCI shows for nothing.
        value->Text = std::strcmp(text, "<empty>") == 0 ? "" : text;
        return true;
    case OptionKind::Button:
        return true;
    }
    return false;
}

// What `row` takes, for a refusal: "a number from 1 to 64".
void DescribeValues(const OptionRow& row, OptionProtocols protocol, char* text, int size) {
    switch (row.Kind) {
    case OptionKind::Check: {
        const CheckWords& words = CheckWordsOf(protocol);
        std::snprintf(text, size, "%s or %s", words.True, words.False);
        return;
    }
    case OptionKind::Spin:
        std::snprintf(text, size, "a number from %lld to %lld", static_cast<long long>(row.Min),
                      static_cast<long long>(row.Max));
        return;
    case OptionKind::Combo: {
        int length = 0;
        for (int i = 0; i < MaxOptionChoices && row.Choices[i] && length < size; ++i)
            length += std::snprintf(text + length, size - length, i ? ", %s" : "one of %s",
                                    row.Choices[i]);
        return;
    }
    case OptionKind::String:
    case OptionKind::Button:
        break;
    }
    assert(false && "strings and buttons take any value");
}

} // namespace

const OptionTable ProtocolOptions{Rows};

void OptionTable::PrintUCI() const {
    for (const OptionRow& row : Rows) {
        if (!(row.Protocols & ForUCI)) continue;
        std::printf("option name %s type ", row.Name);
        switch (row.Kind) {
        case OptionKind::Check:
            std::printf("check default %s", row.Default ? UCICheck.True : UCICheck.False);
            break;
        case OptionKind::Spin:
            std::printf("spin default %lld min %lld max %lld", static_cast<long long>(row.Default),
                        static_cast<long long>(row.Min), static_cast<long long>(row.Max));
            break;
        case OptionKind::Combo:
            std::printf("combo default %s", row.DefaultText);
            for (const char* choice : row.Choices)
                if (choice) std::printf(" var %s", choice);
            break;
        case OptionKind::String:
            std::printf("string default %s", row.DefaultText[0] ? row.DefaultText : "<empty>");
            break;
        case OptionKind::Button:
            std::printf("button");
            break;
        }
        std::printf("\n");
    }
}

// xboard marks a combo's default with an asterisk and separates the choices by " /// ".
void OptionTable::PrintXboard() const {
    for (const OptionRow& row : Rows) {
        if (!(row.Protocols & ForXboard)) continue;
        std::printf("feature option=\"%s ", row.Name);
        switch (row.Kind) {
        case OptionKind::Check:
            std::printf("-check %s", row.Default ? XboardCheck.True : XboardCheck.False);
            break;
        case OptionKind::Spin:
            std::printf("-spin %lld %lld %lld", static_cast<long long>(row.Default),
                        static_cast<long long>(row.Min), static_cast<long long>(row.Max));
            break;
        case OptionKind::Combo:
            std::printf("-combo");
            for (int i = 0; i < MaxOptionChoices && row.Choices[i]; ++i)
                std::printf("%s %s%s", i ? " ///" : "",
                            SameName(row.Choices[i], row.DefaultText) ? "*" : "", row.Choices[i]);
            break;
        case OptionKind::String:
            std::printf("-string %s", row.DefaultText);
            break;
        case OptionKind::Button:
            std::printf("-button");
            break;
        }
        std::printf("\"\n");
    }
}

namespace {

// The row and the value that `value` is for it; a reply other than OptionSet
// when the table has no such row or the row takes no such value.
OptionReply ReadOption(const OptionTable& table, OptionProtocols protocol, const char* name,
                       const char* value, const OptionRow** row, OptionValue* parsed) {
    assert(protocol == ForUCI || protocol == ForXboard);
    OptionReply reply;
    *row = table.Find(protocol, name);
    if (!*row) {
        reply.Result = OptionUnknown;
        return reply;
    }
    if (!ReadOptionValue(**row, protocol, value, parsed)) {
        char wanted[256];
        DescribeValues(**row, protocol, wanted, sizeof wanted);
        std::snprintf(reply.Refusal, sizeof reply.Refusal, "%s wants %s, not %.200s", (*row)->Name,
                      wanted, value);
        reply.Result = OptionBadValue;
    }
    return reply;
}

} // namespace

OptionReply OptionTable::Set(Engine& engine, OptionProtocols protocol, const char* name,
                             const char* value, OptionTeller tell) const {
    const OptionRow* row;
    OptionValue parsed;
    const OptionReply reply = ReadOption(*this, protocol, name, value, &row, &parsed);
    if (reply.Result == OptionUnknown) LogPrintf("Unknown option ignored: %s", name);
    if (reply.Result != OptionSet) return reply;
    row->Apply(engine, parsed, tell);
    LogPrintf("Option %s set to %s", row->Name, value);
    return reply;
}

OptionReply OptionTable::Check(OptionProtocols protocol, const char* name,
                               const char* value) const {
    const OptionRow* row;
    OptionValue parsed;
    return ReadOption(*this, protocol, name, value, &row, &parsed);
}

const OptionRow* OptionTable::Find(OptionProtocols protocol, const char* name) const {
    const auto row = std::find_if(Rows.begin(), Rows.end(), [&](const OptionRow& r) {
        return (r.Protocols & protocol) && SameName(r.Name, name);
    });
    return row == Rows.end() ? nullptr : &*row;
}

void SetHashSize(Engine& engine, int64_t megabytes, OptionTeller tell) {
    assert(megabytes >= 1);
    if (!engine.Table.Resize(megabytes)) {
        Tell(tell, "Vorn cannot have a table for %lld MB; it keeps %lld MB",
             static_cast<long long>(megabytes), static_cast<long long>(engine.Table.Megabytes()));
        return;
    }
    engine.Table.MapMemory();
    LogPrintf("Hash %lld MB: the transposition table has %lld MB",
              static_cast<long long>(megabytes), static_cast<long long>(engine.Table.Megabytes()));
}

// Waits for no search: the protocols keep a line that changes the threads
// until the search has ended.
void SetSearchThreads(Engine& engine, int64_t threads, OptionTeller tell) {
    assert(threads >= 1 && threads <= MaxThreads);
    if (!engine.Helpers.SetThreadCount(static_cast<int>(threads)))
        Tell(tell, "Vorn cannot have %lld threads; it searches with %d",
             static_cast<long long>(threads), engine.Helpers.ThreadCount());
    LogPrintf("Threads %lld: the searches have %d threads", static_cast<long long>(threads),
              engine.Helpers.ThreadCount());
}
