// The engine's name and options: the answer to "uci" and the "setoption" command.
#include <cstdio>

#include "frontend/options.h"

namespace {

constexpr const char* Author = "the Vorn developers";

void TellInfoString(const char* text) { InfoString("%s", text); }

} // namespace

void UCIProtocol::Identify() {
    std::printf("id name Vorn %s\n", VornVersion);
    std::printf("id author %s\n", Author);
    ProtocolOptions.PrintUCI();
    std::printf("uciok\n");
    std::fflush(stdout);
    WriteLogFile("Sent uciok\n");
    TellTablesMessage();
    State = WAITING;
    Settings.Options.UseBook = 0;
}

// "setoption name <id> [value <x>]": the name may hold blanks. Unknown
// options are ignored; a bad value is refused aloud and changes nothing.
void UCIProtocol::SetOption() {
    const int nameAt = Words.Find("name");
    const int valueAt = Words.Find("value", nameAt);
    char name[256], value[MaxPathLength];
    Words.Join(nameAt + 1, valueAt, name, sizeof name);
    Words.Join(valueAt + 1, Words.Count, value, sizeof value);
    const OptionReply reply =
        ProtocolOptions.Set(*UCI.Searcher, ForUCI, name, value, TellInfoString);
    if (reply.Result == OptionBadValue) InfoString("%s: left as it was", reply.Refusal);
}
