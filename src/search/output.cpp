// What the search hands its reporter: the text of the root's line, the line
// reports, the log and the diagnostics.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

namespace {

// A line of the log or a diagnostic, printf-style.
struct FormattedText {
    char Text[4096];
    FormattedText(const char* format, va_list args) {
        std::vsnprintf(Text, sizeof Text, format, args);
    }
};

} // namespace

const SearchRequest& SearchWorker::Request() const { return Owner.Request(); }

SearchReporter& SearchWorker::Reporter() const { return Owner.Reporter(); }

void SearchWorker::LineText(char* out, const GameMove& move) const {
    // No move (a root without one answers move code 0): the null move as UCI writes it.
    if (!move.From || !move.To || move.From == move.To) {
        std::snprintf(out, MaxPVText, " 0000 \n");
        return;
    }
    fillmovestring(out, LowestSquare(move.From), LowestSquare(move.To), move.Promo, PV[0],
                   RootPVLength);
}

LineReport SearchWorker::ReportOf(int depth, int score, const char* text, int multiPV) const {
    LineReport line;
    line.Depth = depth;
    line.SelDepth = SelDepth;
    line.Score = score;
    line.MultiPV = multiPV;
    line.Nodes = ReportedNodes();
    line.ElapsedMs = std::max<int64_t>(Owner.Time.ElapsedMs(ClockMs()), 0);
    line.Hashfull = Table.Hashfull();
    line.TableHits = Tablebases.IsOn() ? ReportedTableHits() : -1;
    line.Text = text;
    return line;
}

void SearchWorker::ReportRootLines() {
    // A level may look at more lines than MultiPV shows; a single line is
    // shown as a search without MultiPV shows it.
    const int asked = Request().MultiPV;
    for (int k = 0; k < std::min<int>(LineCount, asked); ++k) {
        const RootLine& line = Lines[k];
        const GameMove first = GameMoveOf(line.Moves[0]);
        char text[MaxPVText];
        fillmovestring(text, LowestSquare(first.From), LowestSquare(first.To), first.Promo,
                       line.Moves, line.Length);
        Reporter().Line(LineEvent::IterationDone,
                        ReportOf(line.Depth, line.Score, text, asked > 1 ? k + 1 : 0));
    }
}

void SearchWorker::Log(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    Reporter().Log(FormattedText(format, args).Text);
    va_end(args);
}

void SearchWorker::Diagnostic(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    Reporter().Diagnostic(FormattedText(format, args).Text);
    va_end(args);
}
