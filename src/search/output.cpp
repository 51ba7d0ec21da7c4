// What the search shows while it thinks: the line text of the root's best
// move, the xboard thinking line, the UCI info line and the diagnostics.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

void SearchWorker::LineText(char* out, Bitboard from, Bitboard to, char promotion) const {
    // No move (a root without one answers move code 0): the null move as UCI writes it.
    if (!from || !to || from == to) {
        std::snprintf(out, MaxPVText, " 0000 \n");
        return;
    }
    fillmovestring(out, LowestSquare(from), LowestSquare(to), promotion, PV[0], RootPVLength);
}

namespace {

// Scores this close to a mate's are mates within the deepest line.
constexpr int MateThreshold = MateValue - MaxSearchPly;

// A score as UCI reports it: "mate N" for a mate in N moves (negative when
// the side to move is the one mated), else "cp" and centipawns.
void WriteUCIScore(char* out, int size, int score) {
    if (score >= MateThreshold && score <= MateValue)
        std::snprintf(out, size, "mate %d", (MateValue - score + 1) / 2);
    else if (score <= -MateThreshold && score >= -MateValue)
        std::snprintf(out, size, "mate %d", -(MateValue + score) / 2);
    else
        std::snprintf(out, size, "cp %d", score == StalemateValue ? 0 : score / 10);
}

} // namespace

int ThinkingScore(int score) {
    if (score >= MateThreshold && score <= MateValue) return 100000 + (MateValue - score + 1) / 2;
    if (score <= -MateThreshold && score >= -MateValue) return -100000 - (MateValue + score) / 2;
    return score / 10;
}

void SearchWorker::PrintThinkingLine(int depth, int score, const char* lineText) const {
    const int64_t centiseconds = (ClockMs() - Settings.Timing.SearchStartTime) / 10;
    std::printf("%d %d %lld %lld %s", depth, ThinkingScore(score),
                static_cast<long long>(centiseconds), static_cast<long long>(ReportedNodes()),
                lineText);
    std::fflush(stdout);
}

void SearchWorker::PrintInfoLine(int depth, int score, const char* lineText) const {
    char scoreText[32];
    WriteUCIScore(scoreText, sizeof scoreText, score);
    const int64_t ms = std::max<int64_t>(ClockMs() - Settings.Timing.SearchStartTime, 0);
    const int64_t nodes = ReportedNodes();
    char tableText[32] = "";
    if (Tablebases.IsOn())
        std::snprintf(tableText, sizeof tableText, " tbhits %lld",
                      static_cast<long long>(ReportedTableHits()));
    std::printf("info depth %d score %s nodes %lld nps %lld%s time %lld pv%s", depth, scoreText,
                static_cast<long long>(nodes),
                static_cast<long long>(nodes * 1000 / std::max<int64_t>(ms, 1)), tableText,
                static_cast<long long>(ms), lineText);
    std::fflush(stdout);
}

void SearchWorker::Diagnostic(const char* format, ...) const {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Only the tool modes print them; a game's player, person or interface,
    // finds them in the log.
    const Status& m = Settings;
    const bool toolMode = m.Mode.PERFT || m.Mode.Bench == 1 || m.Mode.Bench == 2 ||
                          m.Mode.DoTestSuite || m.Mode.Pev || m.Mode.Mimic;
    if (m.UnderInterface() || !toolMode) {
        WriteLogFile(text);
    } else {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
}
