// EPD test suites: each line's position searched (with its move and score
// printed), evaluated, or only shown, as the mode flags ask.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "eval/eval.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "search/search.h"
#include "tools/tools.h"

namespace {

// The longest line kept; the rest of a longer line is read and dropped.
constexpr int EpdLineLength = 263;

// Reads one line into `line` (at most EpdLineLength characters, without its
// line feed and carriage return); false at the end of the file.
bool ReadEpdLine(FILE* file, char* line) {
    int length = 0, c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (length < EpdLineLength) line[length++] = static_cast<char>(c);
    }
    while (length > 0 && line[length - 1] == '\r') --length;
    line[length] = '\0';
    return any;
}

// The first four fields (placement, side, castling, en passant): what follows
// them, operations or FEN counters, never changes the position.
void PositionFields(const char* line, char* out, int size) {
    int fields = 0, length = 0;
    for (const char* p = line; *p && length < size - 1; ++p) {
        const bool blank = *p == ' ' || *p == '\t';
        if (blank && (length == 0 || out[length - 1] == ' ')) continue;
        if (blank && ++fields == 4) break;
        out[length++] = blank ? ' ' : *p;
    }
    while (length > 0 && out[length - 1] == ' ') --length;
    out[length] = '\0';
}

// The moves of one EPD operation ("bm Nf3 Nc3;"), as legal moves of the
// position; moves that name none are left out.
struct OperationMoves {
    static constexpr int Capacity = 16;
    bool Given = false;
    int Count = 0;
    Bitboard From[Capacity], To[Capacity];

    bool Holds(Bitboard from, Bitboard to) const {
        for (int i = 0; i < Count; ++i)
            if (From[i] == from && To[i] == to) return true;
        return false;
    }
};

// Reads operation `name` from the operations after the first four fields of
// `line`. Its moves are in algebraic notation ("Nf3") or coordinates ("g1f3").
OperationMoves ReadOperation(const char* line, const char* name, const ChessBoard& board) {
    OperationMoves moves;
    // The operations begin after the fourth field.
    const char* p = line;
    for (int field = 0; field < 4 && *p; ++field) {
        while (*p == ' ' || *p == '\t') ++p;
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    const size_t nameLength = std::strlen(name);
    for (; *p; ++p) {
        const bool starts = p[-1] == ' ' || p[-1] == '\t' || p[-1] == ';';
        if (!starts || std::strncmp(p, name, nameLength) != 0 || p[nameLength] != ' ') continue;
        moves.Given = true;
        p += nameLength;
        char word[16];
        int length = 0;
        for (;; ++p) {
            const bool end = !*p || *p == ';' || *p == ' ' || *p == '\t';
            if (!end && length < int(sizeof word) - 1) word[length++] = *p;
            if (!end) continue;
            word[length] = '\0';
            Bitboard from, to;
            char promo;
            if (length > 0 && moves.Count < OperationMoves::Capacity &&
                (FindSanMove(board, word, &from, &to, &promo) ||
                 FindCoordinateMove(board, word, &from, &to, &promo))) {
                moves.From[moves.Count] = from;
                moves.To[moves.Count++] = to;
            }
            length = 0;
            if (!*p || *p == ';') break;
        }
        break;
    }
    return moves;
}

} // namespace

void ParseEPDSuite(Engine& engine, const char* filename, const EPDSuiteMode& mode,
                   SearchRequest request, SearchReporter& reporter,
                   void (*show)(const ChessBoard& board)) {
    FILE* file = OpenTextFile(filename);
    if (!file) {
        std::printf("ERROR: opening file %s\n", filename);
        std::exit(1);
    }
    std::printf("## file opened %s\n", filename);
    std::printf("## Entering ParseEPDSuite and Opened data file\n");
    if (mode.Mimic == 1) std::printf("In ParseEPDSuite and Mimic == STUDENT \n");
    std::fflush(stdout);

    int positions = 0, judged = 0, solved = 0;
    char line[EpdLineLength + 1], fen[EpdLineLength + 1];
    for (int lineNumber = 1; ReadEpdLine(file, line); ++lineNumber, ++positions) {
        PositionFields(line, fen, sizeof fen);
        const int setup = SetupBoard(fen);
        if (setup != SetupOk) {
            std::printf("ERROR: invalid position in line %d (%s)\n", lineNumber,
                        SetupResultText(setup));
            std::fflush(stdout);
            continue;
        }
        if (mode.Mimic == 0) show(MainBoard);
        if (mode.Search) {
            const OperationMoves best = ReadOperation(line, "bm", MainBoard);
            const OperationMoves avoid = ReadOperation(line, "am", MainBoard);
            std::printf("%s\n", line);
            if (request.FixedDepth == 0) request.FixedDepth = request.DepthLimit = 3;
            const SearchResult result = engine.Think(MainBoard, MoveHistory(), request, reporter);
            const GameMove& move = result.Move;
            char text[MaxPVText];
            if (move.From)
                fillmovestring(text, LowestSquare(move.From), LowestSquare(move.To), move.Promo,
                               result.Line.Moves, result.Line.Length);
            else
                std::snprintf(text, sizeof text, " 0000 \n");
            std::printf("%d %d   %s", request.FixedDepth, result.Score, text);
            const Bitboard from = move.From, to = move.To;
            std::fflush(stdout);
            if (best.Given || avoid.Given) {
                ++judged;
                solved += (!best.Given || best.Holds(from, to)) && !avoid.Holds(from, to);
            }
        }
        // Evaluated, not shown: the student's and the evaluation runs only
        // exercise the evaluation.
        for (int run = (mode.Mimic == 1) + mode.Pev; run > 0; --run) {
            MainBoard.InitPieceCounts();
            engine.Main.Eval.PosEval(MainBoard.SideToMove, -FullWindow, FullWindow, &MainBoard);
        }
    }
    std::fclose(file);
    std::printf("%d\n", positions);
    // Positions with a best or avoid move: those where the move played is one
    // of the best and none of the avoided.
    if (judged > 0) std::printf("solved %d/%d\n", solved, judged);
    std::fflush(stdout);
}
