// The option table: its lines for both protocols and its validation, on a
// table with one option of each kind; bad values of Vorn's own options
// refused alike by UCI and xboard; Clear Hash under both protocols.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/engine_session.h"
#include "frontend/options.h"
#include "frontend/session.h"
#include "test_engine.h"
#include "test_util.h"

namespace {

// The setters of the test table say what they were given through the
// teller, as a setter's message goes out.
std::string Told;
void Teller(const char* text) { Told += text; }

void TellFlag(Engine&, const OptionValue& value, OptionTeller tell) {
    tell(value.Flag ? "on" : "off");
}
void TellNumber(Engine&, const OptionValue& value, OptionTeller tell) {
    tell(std::to_string(value.Number).c_str());
}
void TellChoice(Engine&, const OptionValue& value, OptionTeller tell) {
    tell((std::to_string(value.Number) + " " + value.Text).c_str());
}
void TellText(Engine&, const OptionValue& value, OptionTeller tell) {
    std::string text = "[";
    text.append(value.Text).append("]");
    tell(text.c_str());
}
void TellPressed(Engine&, const OptionValue&, OptionTeller tell) { tell("pressed"); }

constexpr OptionRow TestRows[] = {
    CheckOption("Nullmove", true, TellFlag, ForBoth),
    SpinOption("Selectivity", 2, 0, 4, TellNumber, ForBoth),
    ComboOption("Style", "Normal", {"Solid", "Normal", "Risky"}, TellChoice, ForBoth),
    StringOption("Table Path", "", TellText, ForBoth),
    ButtonOption("Clear Hash", TellPressed, ForBoth),
    SpinOption("Contempt", -5, -100, 100, TellNumber),
};
const OptionTable TestOptions{TestRows};

TEST(OptionTable, PrintsEachKindAsEachProtocolDeclaresIt) {
    EXPECT_EQ(CapturedStdout([] { TestOptions.PrintUCI(); }),
              "option name Nullmove type check default true\n"
              "option name Selectivity type spin default 2 min 0 max 4\n"
              "option name Style type combo default Normal var Solid var Normal var Risky\n"
              "option name Table Path type string default <empty>\n"
              "option name Clear Hash type button\n"
              "option name Contempt type spin default -5 min -100 max 100\n");
    EXPECT_EQ(CapturedStdout([] { TestOptions.PrintXboard(); }),
              "feature option=\"Nullmove -check 1\"\n"
              "feature option=\"Selectivity -spin 2 0 4\"\n"
              "feature option=\"Style -combo Solid /// *Normal /// Risky\"\n"
              "feature option=\"Table Path -string \"\n"
              "feature option=\"Clear Hash -button\"\n");
}

TEST(OptionTable, OneValidationForBothProtocols) {
    const struct {
        OptionProtocols protocol;
        const char* name;
        const char* value;
        int result;
        const char* expected; // what the setter was given, or the refusal
    } cases[] = {
        {ForUCI, "nullmove", "TRUE", OptionSet, "on"},
        {ForUCI, "Nullmove", "false", OptionSet, "off"},
        {ForUCI, "Nullmove", "1", OptionBadValue, "Nullmove wants true or false, not 1"},
        {ForXboard, "Nullmove", "1", OptionSet, "on"},
        {ForXboard, "Nullmove", "0", OptionSet, "off"},
        {ForXboard, "Nullmove", "true", OptionBadValue, "Nullmove wants 1 or 0, not true"},
        {ForUCI, "Selectivity", "4", OptionSet, "4"},
        {ForXboard, "SELECTIVITY", "+0", OptionSet, "0"},
        {ForUCI, "Selectivity", "5", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not 5"},
        {ForXboard, "Selectivity", "-1", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not -1"},
        {ForUCI, "Selectivity", "3x", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not 3x"},
        {ForXboard, "Selectivity", "", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not "},
        {ForUCI, "Selectivity", "1 2", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not 1 2"},
        {ForXboard, "Selectivity", "99999999999999999999999", OptionBadValue,
         "Selectivity wants a number from 0 to 4, not 99999999999999999999999"},
        {ForUCI, "Contempt", "-100", OptionSet, "-100"},
        {ForUCI, "style", "risky", OptionSet, "2 Risky"},
        {ForXboard, "Style", "Solid", OptionSet, "0 Solid"},
        {ForXboard, "Style", "Reckless", OptionBadValue,
         "Style wants one of Solid, Normal, Risky, not Reckless"},
        {ForUCI, "Table Path", "/tables/a b", OptionSet, "[/tables/a b]"},
        {ForUCI, "table path", "<empty>", OptionSet, "[]"},
        {ForXboard, "Table Path", "", OptionSet, "[]"},
        {ForUCI, "Clear Hash", "", OptionSet, "pressed"},
        {ForXboard, "clear hash", "", OptionSet, "pressed"},
        // Names that the protocol does not show are no options of it.
        {ForXboard, "Contempt", "0", OptionUnknown, ""},
        {ForUCI, "Clear", "", OptionUnknown, ""},
        {ForUCI, "Clear Hash Now", "", OptionUnknown, ""},
    };
    for (const auto& c : cases) {
        Told.clear();
        const OptionReply reply =
            TestOptions.Set(TestEngine(), c.protocol, c.name, c.value, Teller);
        std::ostringstream where;
        where << c.name << "=" << c.value << (c.protocol == ForUCI ? " (UCI)" : " (xboard)");
        EXPECT_EQ(reply.Result, c.result) << where.str();
        EXPECT_EQ(c.result == OptionBadValue ? reply.Refusal : Told, c.expected) << where.str();
        if (c.result != OptionSet) {
            EXPECT_EQ(Told, "") << where.str() << ": the setter ran";
        }
    }
}

// What the refused lines must leave as it was.
struct OptionState {
    int MultiPV, MoveOverheadMs, Threads;
    int64_t HashMegabytes;
    uint8_t Ponder;
    bool LimitStrength;
    int LimitElo, SkillLevel;
    bool operator==(const OptionState&) const = default;
};

OptionState StateNow() {
    const EngineOptions& options = Settings.Options;
    return {options.MultiPV,
            options.MoveOverheadMs,
            TestEngine().Helpers.ThreadCount(),
            TestEngine().Table.Megabytes(),
            UCI.PonderOption,
            options.LimitStrength,
            options.LimitElo,
            options.SkillLevel};
}

TEST(OptionRefusals, ABadValueIsRefusedAlikeUnderBothProtocolsAndChangesNothing) {
    const struct {
        const char* uci;    // after "setoption name "
        const char* xboard; // after "option ", for the options xboard shows
        const char* refusal;
    } cases[] = {
        {"MultiPV value many", "MultiPV=many", "MultiPV wants a number from 1 to 64, not many"},
        {"MultiPV value 0", "MultiPV=0", "MultiPV wants a number from 1 to 64, not 0"},
        {"multipv value 65", "multipv=65", "MultiPV wants a number from 1 to 64, not 65"},
        {"MultiPV", "MultiPV", "MultiPV wants a number from 1 to 64, not "},
        {"Move Overhead value 5001", "Move Overhead=5001",
         "Move Overhead wants a number from 0 to 5000, not 5001"},
        {"Move Overhead value -1", "Move Overhead=-1",
         "Move Overhead wants a number from 0 to 5000, not -1"},
        {"Threads value 257", nullptr, "Threads wants a number from 1 to 256, not 257"},
        {"Hash value 0", nullptr, "Hash wants a number from 1 to 65536, not 0"},
        {"Ponder value yes", nullptr, "Ponder wants true or false, not yes"},
        {"UCI_Elo value 999", "UCI_Elo=999", "UCI_Elo wants a number from 1000 to 2400, not 999"},
        {"uci_elo value 2401", "uci_elo=2401",
         "UCI_Elo wants a number from 1000 to 2400, not 2401"},
        {"Skill Level value 21", "Skill Level=21",
         "Skill Level wants a number from 0 to 20, not 21"},
        {"Skill Level value -1", "Skill Level=-1",
         "Skill Level wants a number from 0 to 20, not -1"},
        {"UCI_LimitStrength value 1", "UCI_LimitStrength=true",
         "UCI_LimitStrength wants true or false, not 1"},
    };
    const OptionState before = StateNow();
    for (const auto& c : cases) {
        const std::string uci = std::string("setoption name ") + c.uci;
        EXPECT_EQ(CapturedStdout([&] { UCI.UCIPrep(uci.c_str()); }),
                  std::string("info string ") + c.refusal + ": left as it was\n");
        EXPECT_TRUE(StateNow() == before) << uci;
        if (!c.xboard) continue;
        const std::string xboard = std::string("option ") + c.xboard;
        EXPECT_EQ(CapturedStdout([&] { DoCommand(xboard.c_str()); }),
                  "Error (bad value): " + xboard + "\n");
        EXPECT_TRUE(StateNow() == before) << xboard;
    }
    // Names a protocol does not show are ignored without a word.
    for (const char* line : {"setoption name NoSuchOption value 3", "setoption name Hash2 value 1"})
        EXPECT_EQ(CapturedStdout([&] { UCI.UCIPrep(line); }), "") << line;
    for (const char* line : {"option Hash=1", "option Threads=4", "option Ponder=1", "option"})
        EXPECT_EQ(CapturedStdout([&] { DoCommand(line); }), "") << line;
    EXPECT_TRUE(StateNow() == before);
}

// The strength the next search asks for after some lines of UCI, xboard or
// the console (separated by "|"), from the defaults: UCI_LimitStrength with
// UCI_Elo overrides Skill Level, and the top of either is full strength (0).
TEST(StrengthSettings, EveryFrontEndSetsTheLevelOfTheNextSearch) {
    const struct {
        const char* lines;
        int elo;
    } cases[] = {
        {"", 0},
        {"setoption name UCI_LimitStrength value true|setoption name UCI_Elo value 1400", 1400},
        {"setoption name UCI_Elo value 1400", 0},
        {"setoption name UCI_LimitStrength value true", DefaultLimitElo},
        {"setoption name Skill Level value 10", 1700},
        {"setoption name skill level value 0", 1000},
        {"setoption name Skill Level value 5|setoption name UCI_LimitStrength value "
         "true|setoption name UCI_Elo value 2000",
         2000},
        {"setoption name UCI_LimitStrength value true|setoption name UCI_Elo value "
         "2400|setoption name Skill Level value 3",
         0},
        {"setoption name UCI_LimitStrength value true|setoption name UCI_LimitStrength value "
         "false|setoption name Skill Level value 20",
         0},
        {"option UCI_LimitStrength=1|option UCI_Elo=1200", 1200},
        {"option UCI_Elo=1200|option UCI_LimitStrength=1|option UCI_LimitStrength=0", 0},
        {"option Skill Level=19", 2330},
        {"strength 1600", 1600},
        {"strength 1000", 1000},
        {"strength 2400", 0},
        {"setoption name Skill Level value 3|strength 1800|strength full", 0},
    };
    AttachEngine(TestEngine());
    for (const auto& c : cases) {
        Settings = Status{};
        const std::string lines = c.lines;
        for (size_t start = 0, end; start < lines.size(); start = end + 1) {
            end = std::min(lines.find('|', start), lines.size());
            const std::string line = lines.substr(start, end - start);
            CapturedStdout([&] {
                if (line.rfind("setoption", 0) == 0)
                    UCI.UCIPrep(line.c_str());
                else
                    DoCommand(line.c_str());
            });
        }
        EXPECT_EQ(RequestFromSettings(Settings, 0).StrengthElo, c.elo) << c.lines;
    }
    // The tools measure the search at full strength whatever is set.
    Settings = Status{};
    Settings.Options.SkillLevel = 0;
    Settings.Mode.Bench = 1;
    EXPECT_EQ(RequestFromSettings(Settings, 0).StrengthElo, 0);
    Settings = Status{};
}

TEST(StrengthSettings, TheConsoleSaysWhatStrengthItPlaysAtAndRefusesOtherValues) {
    Settings = Status{};
    EXPECT_EQ(CapturedStdout([] { DoCommand("strength 1350"); }),
              "Vorn plays at about 1350 Elo (strength full for its full strength).\n");
    EXPECT_EQ(CapturedStdout([] { DoCommand("strength full"); }),
              "Vorn plays at full strength (strength N for about N Elo).\n");
    DoCommand("strength 1350");
    const OptionState before = StateNow();
    for (const char* line : {"strength 999", "strength 2401", "strength abc", "strength",
                             "strength 1500 1600", "strength Full", "strength 14OO"}) {
        EXPECT_EQ(CapturedStdout([&] { DoCommand(line); }),
                  std::string("Error (bad value): ") + line +
                      "\nstrength takes an Elo from 1000 to 2400, or full\n");
        EXPECT_TRUE(StateNow() == before) << line;
    }
    // An interface gets the protocol's error line alone.
    Settings.setxboard(1);
    EXPECT_EQ(CapturedStdout([] { DoCommand("strength 900"); }),
              "Error (bad value): strength 900\n");
    EXPECT_EQ(CapturedStdout([] { DoCommand("strength 1500"); }), "");
    EXPECT_EQ(PlayingElo(Settings.Options), 1500);
    Settings = Status{};
}

// The node count of each depth of a search and its move, as the protocol
// shows them; "" when the move does not come.
using SearchSummary = std::string (*)(EngineSession& engine);

std::string UCISearch(EngineSession& engine) {
    std::string summary;
    const std::string move = engine.WaitFor([&](const std::string& line) {
        const size_t nodes = line.find(" nodes ");
        if (line.rfind("info depth", 0) == 0 && nodes != std::string::npos)
            summary += line.substr(nodes + 7, line.find(' ', nodes + 7) - nodes - 7) + " ";
        return line.rfind("bestmove", 0) == 0;
    });
    return move.empty() ? "" : summary + move;
}

// Thinking lines: depth, score, centiseconds, nodes, then the line.
std::string XboardSearch(EngineSession& engine) {
    std::string summary;
    const std::string move = engine.WaitFor([&](const std::string& line) {
        std::istringstream words(line);
        long long depth, score, time, nodes;
        if (words >> depth >> score >> time >> nodes) summary += std::to_string(nodes) + " ";
        return line.rfind("move ", 0) == 0;
    });
    return move.empty() ? "" : summary + move;
}

TEST(OptionSessions, ClearHashMakesTheNextSearchAFreshEnginesSearch) {
    constexpr const char* Fen =
        "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    const struct {
        const char* protocol;
        const char* args;
        std::string start, search, clear;
        SearchSummary summary;
    } cases[] = {
        {"UCI", "", "uci", std::string("position fen ") + Fen + "\ngo depth 7",
         "setoption name Clear Hash", UCISearch},
        {"xboard", "-fd 7", "xboard\nprotover 2\npost",
         std::string("force\nsetboard ") + Fen + "\ngo", "option Clear Hash", XboardSearch},
    };
    for (const auto& c : cases) {
        EngineSession engine(c.args);
        engine.Send(c.start);
        engine.Send(c.search);
        const std::string fresh = c.summary(engine);
        ASSERT_NE(fresh, "") << c.protocol;
        // What the first search learnt changes the second: the clear has
        // something to undo.
        engine.Send(c.search);
        EXPECT_NE(c.summary(engine), fresh) << c.protocol;
        engine.Send(c.clear);
        engine.Send(c.search);
        EXPECT_EQ(c.summary(engine), fresh) << c.protocol;
        engine.Send("quit");
        EXPECT_EQ(engine.Finish(), 0) << c.protocol;
    }
}

} // namespace
