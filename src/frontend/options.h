// The engine's options, each declared once for both protocols: one row gives
// the name, the kind, the default, the range or the choices, the protocols
// that show it and the setter. The table prints UCI's "option name ..."
// lines and xboard's "feature option=..." lines, and sets an option from
// either protocol through one validation.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "frontend/frontend.h"

enum class OptionKind : uint8_t { Check, Spin, Combo, String, Button };

// The protocols an option is shown to; the others do not know its name.
enum OptionProtocols : uint8_t {
    ForUCI = 1,
    ForXboard = 2,
    ForBoth = ForUCI | ForXboard,
};

// A value that passed its option's validation.
struct OptionValue {
    bool Flag = false;     // a check's
    int64_t Number = 0;    // a spin's, or the index of a combo's choice
    const char* Text = ""; // a string's (empty for none) or a combo's choice
};

// How a setter says what it could not do: one line, which the protocol that
// asked passes on as its own ("info string ...", "telluser ...").
using OptionTeller = void (*)(const char* text);
using OptionSetter = void (*)(Engine& engine, const OptionValue& value, OptionTeller tell);

constexpr int MaxOptionChoices = 8;

// One option; the functions below build a row of each kind.
struct OptionRow {
    const char* Name;
    OptionKind Kind;
    OptionSetter Apply;
    uint8_t Protocols = ForUCI;
    int64_t Default = 0;          // a check's (0 or 1) or a spin's
    int64_t Min = 0, Max = 0;     // a spin's range; a value beyond it is refused
    const char* DefaultText = ""; // a string's or a combo's
    std::array<const char*, MaxOptionChoices> Choices{}; // a combo's, then null
};

constexpr OptionRow CheckOption(const char* name, bool byDefault, OptionSetter apply,
                                uint8_t protocols = ForUCI) {
    return {.Name = name,
            .Kind = OptionKind::Check,
            .Apply = apply,
            .Protocols = protocols,
            .Default = byDefault};
}

constexpr OptionRow SpinOption(const char* name, int64_t byDefault, int64_t min, int64_t max,
                               OptionSetter apply, uint8_t protocols = ForUCI) {
    return {.Name = name,
            .Kind = OptionKind::Spin,
            .Apply = apply,
            .Protocols = protocols,
            .Default = byDefault,
            .Min = min,
            .Max = max};
}

constexpr OptionRow ComboOption(const char* name, const char* byDefault,
                                std::array<const char*, MaxOptionChoices> choices,
                                OptionSetter apply, uint8_t protocols = ForUCI) {
    return {.Name = name,
            .Kind = OptionKind::Combo,
            .Apply = apply,
            .Protocols = protocols,
            .DefaultText = byDefault,
            .Choices = choices};
}

// A string option; an empty default shows as "<empty>" under UCI.
constexpr OptionRow StringOption(const char* name, const char* byDefault, OptionSetter apply,
                                 uint8_t protocols = ForUCI) {
    return {.Name = name,
            .Kind = OptionKind::String,
            .Apply = apply,
            .Protocols = protocols,
            .DefaultText = byDefault};
}

constexpr OptionRow ButtonOption(const char* name, OptionSetter apply, uint8_t protocols = ForUCI) {
    return {.Name = name, .Kind = OptionKind::Button, .Apply = apply, .Protocols = protocols};
}

// Result codes of OptionTable::Set.
enum OptionResult : int {
    OptionSet = 0,
    OptionUnknown,  // no option of the protocol has that name: ignored, and logged
    OptionBadValue, // not a value the option takes: nothing changed
};

struct OptionReply {
    int Result = OptionSet;
    // For OptionBadValue, what the option takes: "MultiPV wants a number
    // from 1 to 64, not 0".
    char Refusal[512] = "";
};

class OptionTable {
  public:
    constexpr explicit OptionTable(std::span<const OptionRow> rows) : Rows(rows) {}

    // The "option name X type ..." line of each option UCI shows.
    void PrintUCI() const;
    // The "feature option=..." line of each option xboard shows.
    void PrintXboard() const;
    // Sets the option of `protocol` named `name` (without regard to case)
    // to `value`: "" when none was given (a button takes none; a string is
    // then empty). A spin takes a whole number in its range, a check true or
    // false under UCI and 1 or 0 under xboard (as each protocol spells it), a
    // combo one of its choices, a string any text ("<empty>" for none).
    OptionReply Set(Engine& engine, OptionProtocols protocol, const char* name, const char* value,
                    OptionTeller tell) const;
    // What Set would answer, without setting anything.
    OptionReply Check(OptionProtocols protocol, const char* name, const char* value) const;
    // The row of `protocol` named `name` (without regard to case); null when
    // the table has none.
    const OptionRow* Find(OptionProtocols protocol, const char* name) const;

  private:
    std::span<const OptionRow> Rows;
};

// Vorn's options, in the order UCI lists them.
extern const OptionTable ProtocolOptions;

// The setters that protocol commands share with the options: UCI Hash and
// xboard "memory" (the table's size in megabytes), UCI Threads and xboard
// "cores" (the threads of the searches from now on).
void SetHashSize(Engine& engine, int64_t megabytes, OptionTeller tell);
void SetSearchThreads(Engine& engine, int64_t threads, OptionTeller tell);
