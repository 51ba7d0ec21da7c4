// What the search shows while it thinks: the line text of the root's best
// move, the xboard thinking line, the UCI info line and the diagnostics.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

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

// No evaluation of a real game comes near this: material alone passes it
// only with eight queens and every other piece against a bare king (a queen
// 9750, a rook 5000, a minor piece 3250). A score beyond it can only be a
// mate, also one whose distance the table has shifted on the way (those may
// fall short of MateValue - MaxSearchPly or pass MateValue).
constexpr int MateScoreFloor = 100000;

// A score as UCI reports it: "mate N" for a mate in N moves (negative when
// the side to move is the one mated), else "cp" and centipawns.
void WriteUCIScore(char* out, int size, int score) {
    const int moves = MateInMoves(score);
    if (moves)
        std::snprintf(out, size, "mate %d", moves);
    else
        std::snprintf(out, size, "cp %d", ThinkingScore(score)); // centipawns: no mate
}

} // namespace

int MateInMoves(int score) {
    if (score == StalemateValue || (score <= MateScoreFloor && score >= -MateScoreFloor)) return 0;
    if (score > 0) return std::max((MateValue - score + 1) / 2, 1);
    return -std::max((MateValue + score) / 2, 1);
}

int ThinkingScore(int score) {
    const int moves = MateInMoves(score);
    if (moves > 0) return 100000 + moves;
    if (moves < 0) return -100000 + moves;
    return score == StalemateValue ? 0 : score / 10;
}

void SearchWorker::PrintThinkingLine(int depth, int score, const char* lineText) {
    char thought[sizeof LastThought];
    std::snprintf(thought, sizeof thought, "%d %d %s", depth, ThinkingScore(score), lineText);
    if (std::strcmp(thought, LastThought) == 0) return;
    std::memcpy(LastThought, thought, sizeof thought);
    const int64_t centiseconds = (ClockMs() - Settings.Timing.SearchStartTime) / 10;
    std::printf("%d %d %lld %lld %s", depth, ThinkingScore(score),
                static_cast<long long>(centiseconds), static_cast<long long>(ReportedNodes()),
                lineText);
    std::fflush(stdout);
}

void SearchWorker::PrintInfoLine(int depth, int score, const char* lineText, int multiPV) const {
    char scoreText[32];
    WriteUCIScore(scoreText, sizeof scoreText, score);
    const int64_t ms = std::max<int64_t>(ClockMs() - Settings.Timing.SearchStartTime, 0);
    const int64_t nodes = ReportedNodes();
    char lineNumber[32] = "";
    if (multiPV > 0) std::snprintf(lineNumber, sizeof lineNumber, " multipv %d", multiPV);
    char tableText[32] = "";
    if (Tablebases.IsOn())
        std::snprintf(tableText, sizeof tableText, " tbhits %lld",
                      static_cast<long long>(ReportedTableHits()));
    std::printf("info depth %d seldepth %d%s score %s nodes %lld nps %lld hashfull %d%s time %lld "
                "pv%s",
                depth, SelDepth, lineNumber, scoreText, static_cast<long long>(nodes),
                static_cast<long long>(nodes * 1000 / std::max<int64_t>(ms, 1)), Table.Hashfull(),
                tableText, static_cast<long long>(ms), lineText);
    std::fflush(stdout);
}

void SearchWorker::PrintRootLines() {
    for (int k = 0; k < LineCount; ++k) {
        const RootLine& line = Lines[k];
        const PVEntry& first = line.Moves[0];
        char text[MaxPVText];
        fillmovestring(text, (first.Move >> 6) & 63, first.Move & 63, first.Promo, line.Moves,
                       line.Length);
        if (Settings.Mode.uci)
            PrintInfoLine(line.Depth, line.Score, text, k + 1);
        else
            PrintThinkingLine(line.Depth, line.Score, text);
    }
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
