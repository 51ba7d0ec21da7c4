// What xboard, the console and the tool modes show of a search: thinking
// lines, kibitz and the analysis status; and the commands that arrive while
// it runs.
#include <cstdio>
#include <cstring>

#include "frontend/session.h"

namespace {

// The length of the first move's name in a line as fillmovestring writes it (" e2e4 ...").
int MoveNameLength(const char* lineText) {
    int n = 0;
    while (lineText[1 + n] && !std::strchr(" ;\n", lineText[1 + n])) ++n;
    return n;
}

} // namespace

void ThinkingReporter::Thinking(const LineReport& line, const char* text) {
    char thought[sizeof LastThought];
    std::snprintf(thought, sizeof thought, "%d %d %s", line.Depth, ThinkingScore(line.Score), text);
    if (std::strcmp(thought, LastThought) == 0) return;
    std::memcpy(LastThought, thought, sizeof thought);
    std::printf("%d %d %lld %lld %s", line.Depth, ThinkingScore(line.Score),
                static_cast<long long>(line.ElapsedMs / 10), static_cast<long long>(line.Nodes),
                text);
    std::fflush(stdout);
}

void ThinkingReporter::Line(LineEvent event, const LineReport& line) {
    const bool post = Settings.Options.Post;
    const bool xboard = Listener == Audience::Xboard;
    switch (event) {
    case LineEvent::NewBest:
        // Early iterations change their minds too often to be worth a line.
        if (xboard && post && line.Depth > 7) Thinking(line, line.Text);
        break;
    case LineEvent::Interrupted:
    case LineEvent::Stopped:
        if (xboard && post) Thinking(line, line.Text);
        break;
    case LineEvent::IterationDone:
        if (post || Settings.Limits.Analyze) Thinking(line, line.Text);
        break;
    case LineEvent::TableMove:
        break;
    }
}

void ThinkingReporter::InternalBookMove() {
    std::printf("tellics kibitz Opening Book Move\n");
    std::fflush(stdout);
}

void ThinkingReporter::Progress(const SearchProgress& progress) {
    if (Listener != Audience::Xboard) return;
    std::printf("stat01: %lld %lld %d %d %d\n", static_cast<long long>(progress.ElapsedMs / 10),
                static_cast<long long>(progress.Nodes), progress.Depth, progress.MovesLeft,
                progress.MoveCount);
    std::fflush(stdout);
}

void ThinkingReporter::Finished(const FinalReport& report) {
    const char* text = report.Line.Text;
    if (Settings.Options.Post && !report.Aborted) {
        // A book move's line says where the move comes from.
        char shown[MaxPVText + 8];
        if (report.FromBook)
            std::snprintf(shown, sizeof shown, " %.*s (book)\n", MoveNameLength(text), text + 1);
        else
            std::snprintf(shown, sizeof shown, "%s", text);
        if (!report.ShownAsLine) Thinking(report.Line, shown);
        // The console sets the move apart; an interface reads lines only.
        if (Listener != Audience::Xboard) std::printf("\n");
    }
    if (Settings.Options.Kibitz) {
        if (report.FromBook)
            std::printf("tellics kibitz Book Move\n");
        else
            std::printf("tellics kibitz ply=%d v=%d centipawns millisecs=%d Nodes=%lld nps=%d %s\n",
                        report.DepthReached, ThinkingScore(report.Line.Score),
                        std::max(report.SecondsSpent, 1), static_cast<long long>(report.OwnNodes),
                        report.NPS, text);
    }
    std::fflush(stdout);
}

void ThinkingReporter::Diagnostic(const char* text) {
    // Only the tool modes print them; a game's player, person or interface,
    // finds them in the log.
    if (Listener != Audience::Tool) {
        WriteLogFile(text);
        return;
    }
    std::fputs(text, stdout);
    std::fflush(stdout);
}

bool ThinkingReporter::PollInput() {
    if (Listener == Audience::Tool || !InputWaiting()) return false;
    char line[CommandLineLength];
    // The end of input is the interface gone: it ends the engine like "quit".
    if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
    ApplyToSearch(*GameSession.Searcher, CommandDuringSearch(line));
    return true;
}

bool ThinkingReporter::AwaitCommand() {
    if (Listener != Audience::Xboard) return false;
    char line[CommandLineLength];
    if (!ReadInputLine(line, sizeof line)) std::snprintf(line, sizeof line, "quit");
    ApplyToSearch(*GameSession.Searcher, CommandDuringSearch(line));
    return true;
}

void ApplyToSearch(Engine& engine, int request) {
    if (request == CommandStopsSearch) engine.Stop();
    if (request == CommandAbortsSearch) engine.Abort();
}
