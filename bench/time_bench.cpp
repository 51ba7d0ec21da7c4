// How long the iterative-deepening driver really thinks under one time
// control, against the time it planned and the hard limit on the wall
// clock: one line per position, from a fresh board each time.
//
//   vorn_time_bench [--nps N] [--cold] st MS
//   vorn_time_bench [--nps N] [--cold] clock LEFT_MS INC_MS MOVESTOGO
//
// The measured speed carries over from one position to the next, as it does
// from move to move in a game; --nps N hands every position N nodes per
// second instead, to show that a wrong figure does not change the plan.
//
// Before the timed runs a short fixed-depth search maps the transposition
// table's pages, as the first search of an engine process does; --cold leaves
// that to the first timed run, to show what it costs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "board/board.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

constexpr const char* Positions[] = {
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 1 8",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
};

// Away from the book and from the plies whose budget the clock stretches.
constexpr int MidgamePly = 25;
// Deep enough to write into every part of the table.
constexpr int WarmUpDepth = 7;
constexpr size_t BenchStackBytes = size_t(256) << 20;

struct TimeControl {
    char Label[64] = "";
    int FixedMs = 0; // time per move, 0 under a clock
    int LeftMs = 0;
    int IncMs = 0;
    int MovesToGo = 0;
    int StartNps = 0; // 0: keep the estimate of the previous position
    bool Cold = false;
};

TimeControl Control;
Engine Timed;

// The request an xboard front end makes under the control; the search
// itself is measured, without a book.
SearchRequest RequestFor(const TimeControl& control) {
    SearchRequest request;
    request.GamePly = MidgamePly;
    request.MoveTimeMs = control.FixedMs;
    request.TimeLeftMs = control.LeftMs;
    request.IncrementMs = control.IncMs;
    request.MovesToGo = control.MovesToGo;
    request.LongerOutOfBook = true;
    return request;
}

// Whether (from, to, promotion) is a legal move of `before`.
bool IsLegalMove(ChessBoard before, Bitboard from, Bitboard to, char promotion) {
    const int side = before.SideToMove;
    MoveList list;
    const int count = list.GenerateAllMoves(side, &before, before.CastleFlags);
    for (int i = 0; i < count; ++i) {
        if (list.From[i] != from || list.To[i] != to || list.Promo[i] != promotion) continue;
        ChessBoard played = before;
        uint8_t castleMask;
        played.MakeMove(from, to, promotion, &castleMask);
        return !played.InCheck(side == White ? played.WKing : played.BKing, side);
    }
    return false;
}

void MoveText(char* out, Bitboard from, Bitboard to, char promotion) {
    if (from == to) {
        std::strcpy(out, "-");
        return;
    }
    const int f = LowestSquare(from), t = LowestSquare(to);
    std::sprintf(out, "%c%d%c%d", files[FileOf(f)], RankOf(f) + 1, files[FileOf(t)], RankOf(t) + 1);
    if (promotion == 'Q' || promotion == 'q') std::strcat(out, "q");
}

// A fixed-depth search, which runs without the clock, from the first position.
void WarmUp() {
    SearchRequest request = RequestFor(TimeControl{});
    request.FixedDepth = request.DepthLimit = WarmUpDepth;
    SetupBoard(Positions[0]);
    SearchReporter quiet;
    Timed.Think(MainBoard, MoveHistory(), request, quiet);
}

int RunControl() {
    initPStable();
    if (!Control.Cold) WarmUp();
    for (size_t number = 0; number < std::size(Positions); ++number) {
        const SearchRequest request = RequestFor(Control);
        if (Control.StartNps > 0) Timed.Time.SetNodesPerSecond(Control.StartNps);
        if (SetupBoard(Positions[number]) != SetupOk) {
            std::fprintf(stderr, "vorn_time_bench: bad position %s\n", Positions[number]);
            return 1;
        }
        Timed.Main.ClearHistory();
        Timed.Table.ClearTranspositionTables();
        const ChessBoard before = MainBoard;
        const int64_t hardLimit = HardTimeLimit(ClockOf(request));

        SearchReporter quiet;
        const int64_t start = ClockMs();
        const SearchResult result = Timed.Think(MainBoard, MoveHistory(), request, quiet);
        const int64_t taken = ClockMs() - start;

        const GameMove& played = result.Move;
        const bool legal =
            !result.Aborted && IsLegalMove(before, played.From, played.To, played.Promo);
        char move[8];
        MoveText(move, played.From, played.To, played.Promo);
        const int plan = Timed.Time.Plan().PlannedMs;
        std::printf(
            "%-26s %3zu %7d%s %7lld %7lld %5.2f %+6lld %5d %10lld %8d %-6s %s\n", Control.Label,
            number + 1, plan, Timed.Time.Extended() ? "*" : " ", static_cast<long long>(hardLimit),
            static_cast<long long>(taken), plan > 0 ? static_cast<double>(taken) / plan : 0.0,
            static_cast<long long>(taken - hardLimit), result.Depth,
            static_cast<long long>(result.Counts.InteriorNodes + result.Counts.QuiesceNodes),
            Timed.Time.NodesPerSecond(), move, legal ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: vorn_time_bench [--nps N] [--cold] st MS\n"
                 "       vorn_time_bench [--nps N] [--cold] clock LEFT_MS INC_MS MOVESTOGO\n"
                 "       vorn_time_bench --header\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--header") == 0) {
        std::printf("%-26s %3s %8s %7s %7s %5s %6s %5s %10s %8s %-6s %s\n", "control", "pos",
                    "plan", "hard", "taken", "/plan", "over", "depth", "nodes", "nps", "move",
                    "legal");
        return 0;
    }
    int arg = 1;
    for (;; ++arg) {
        if (arg + 1 < argc && std::strcmp(argv[arg], "--nps") == 0)
            Control.StartNps = std::atoi(argv[++arg]);
        else if (arg < argc && std::strcmp(argv[arg], "--cold") == 0)
            Control.Cold = true;
        else
            break;
    }
    int used = 0;
    if (arg + 1 < argc && std::strcmp(argv[arg], "st") == 0) {
        Control.FixedMs = std::atoi(argv[arg + 1]);
        used = std::snprintf(Control.Label, sizeof Control.Label, "st %d", Control.FixedMs);
    } else if (arg + 3 < argc && std::strcmp(argv[arg], "clock") == 0) {
        Control.LeftMs = std::atoi(argv[arg + 1]);
        Control.IncMs = std::atoi(argv[arg + 2]);
        Control.MovesToGo = std::atoi(argv[arg + 3]);
        used = std::snprintf(Control.Label, sizeof Control.Label, "clock %d+%d/%d", Control.LeftMs,
                             Control.IncMs, Control.MovesToGo);
    } else {
        return Usage();
    }
    if (Control.StartNps > 0)
        used += std::snprintf(Control.Label + used, sizeof Control.Label - used, " nps %dk",
                              Control.StartNps / 1000);
    if (Control.Cold) std::snprintf(Control.Label + used, sizeof Control.Label - used, " cold");
    // The search recurses deeper than a default stack allows.
    return RunWithStack([](void*) { return RunControl(); }, nullptr, BenchStackBytes);
}
