// Start-up of the probing library on the named folders, and the probes of a
// position and of the root's moves.
#include "tablebase/tablebase.h"

#include <gtb-probe.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "tablebase/tablefiles.h"

EndgameTables Tablebases;

namespace {

namespace fs = std::filesystem;

// Share of the library's cache (in 128ths) kept for win-draw-loss probes:
// Vorn probes distances only.
constexpr int WinDrawLossCacheShare = 16;

// The largest table size present, from the availability bits of the library:
// bit 0 for a 3-piece table, bit 2 for a 4-piece one, bit 4 for a 5-piece one.
int LargestTables(unsigned availability) {
    if (availability & 0x30) return 5;
    if (availability & 0x0C) return 4;
    if (availability & 0x03) return 3;
    return 0;
}

// Adds one note to a one-line message, cut to the message's size.
void Append(char* message, size_t size, const std::string& note) {
    std::string all = message;
    all += (all.empty() ? "" : "; ") + note;
    const size_t length = std::min(all.size(), size - 1);
    std::memcpy(message, all.data(), length);
    message[length] = '\0';
}

// The library's piece codes by Vorn's piece code within a colour (pawn 0 ... king 5).
constexpr unsigned char LibraryPiece[6] = {tb_PAWN, tb_KNIGHT, tb_BISHOP,
                                           tb_ROOK, tb_QUEEN,  tb_KING};

// One side's pieces as the library lists them: squares and pieces, each
// list ended by its end mark. The king comes first.
struct PieceList {
    unsigned Squares[17];
    unsigned char Pieces[17];

    PieceList(const ChessBoard& board, int colour) {
        int n = 0;
        for (int kind : {5, 0, 1, 2, 3, 4})
            for (Bitboard b = board.PieceBits(kind + 6 * colour); b; b &= b - 1) {
                Squares[n] = static_cast<unsigned>(LowestSquare(b));
                Pieces[n++] = LibraryPiece[kind];
            }
        Squares[n] = tb_NOSQUARE;
        Pieces[n] = tb_NOPIECE;
    }
};

// The square behind a pawn that has just made its double step, when a pawn
// of the side to move stands beside it to take it; else none.
unsigned EnPassantSquare(const ChessBoard& board, int side) {
    const Bitboard enemyPawns = side == White ? board.BPawns : board.WPawns;
    const Bitboard ownPawns = side == White ? board.WPawns : board.BPawns;
    if (!(board.LastTo & enemyPawns) || !board.LastFrom) return tb_NOSQUARE;
    const int from = LowestSquare(board.LastFrom), to = LowestSquare(board.LastTo);
    if (from - to != 16 && to - from != 16) return tb_NOSQUARE;
    const Bitboard beside =
        ((board.LastTo << 1) & ~FileMask[0]) | ((board.LastTo >> 1) & ~FileMask[7]);
    if (!(beside & ownPawns)) return tb_NOSQUARE;
    return static_cast<unsigned>((from + to) / 2);
}

// How the root's side rates a move whose position has `child` as its
// verdict for the opponent: a quicker mate, then a draw, then a slower loss.
int RootRating(const TableVerdict& child) {
    constexpr int Decided = 100000;
    if (child.Outcome == TableLoss) return Decided - child.Plies;
    if (child.Outcome == TableWin) return -Decided + child.Plies;
    return 0;
}

} // namespace

EndgameTables::~EndgameTables() { Stop(); }

void EndgameTables::Stop() {
    if (LibraryStarted) {
        tbcache_done();
        tb_done();
        LibraryStarted = false;
    }
    if (LibraryPaths) LibraryPaths = tbpaths_done(LibraryPaths);
    if (PrivateFolder[0]) {
        std::error_code error;
        fs::remove_all(PrivateFolder, error);
        PrivateFolder[0] = '\0';
    }
    MaxPieces = 0;
}

int EndgameTables::Start(const char* paths, int cacheMegabytes) {
    Stop();
    Message[0] = '\0';
    if (paths[0] == '\0' || std::strcmp(paths, "<empty>") == 0) return TablesOff;

    LibraryPaths = tbpaths_init();
    bool anyTable = false;
    for (const char* at = paths; *at;) {
        const char* end = std::strchr(at, ';');
        const std::string folder(at, end ? end : at + std::strlen(at));
        at = end ? end + 1 : at + folder.size();
        if (folder.empty()) continue;
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            Append(Message, MaxMessage, "no folder " + folder);
            continue;
        }

        // A folder whose files are all sound is shown as it is; otherwise
        // its sound files are shown through links in a private folder.
        const std::vector<TableFile> tables = TableFilesIn(folder);
        bool broken = false;
        for (const TableFile& file : tables) {
            anyTable = anyTable || file.Sound;
            if (file.Sound) continue;
            broken = true;
            Append(Message, MaxMessage, "broken table file " + file.Path.string() + " left out");
        }
        if (!broken) {
            LibraryPaths = tbpaths_add(LibraryPaths, folder.c_str());
            continue;
        }
        if (!PrivateFolder[0] && !MakeTemporaryFolder(PrivateFolder, sizeof PrivateFolder)) {
            PrivateFolder[0] = '\0';
            Append(Message, MaxMessage, "no temporary folder for the sound tables");
            continue;
        }
        for (const TableFile& file : tables)
            if (file.Sound)
                fs::create_symlink(fs::absolute(file.Path, error),
                                   fs::path(PrivateFolder) / file.Path.filename(), error);
    }
    if (PrivateFolder[0]) LibraryPaths = tbpaths_add(LibraryPaths, PrivateFolder);

    if (anyTable) {
        tb_init(0, tb_CP4, LibraryPaths);
        LibraryStarted = true;
        tbcache_init(size_t(cacheMegabytes) << 20, WinDrawLossCacheShare);
        MaxPieces = LargestTables(tb_availability());
    }
    if (MaxPieces == 0) {
        Append(Message, MaxMessage,
               std::string("no Gaviota table (*") + TableFileEnding + ") in " + paths +
                   ": tablebases off");
        Stop();
        return TablesNotFound;
    }
    LogPrintf("Tablebases: up to %d pieces from %s", MaxPieces, paths);
    return TablesStarted;
}

bool EndgameTables::Probe(const ChessBoard& board, int side, int castleRights,
                          TableVerdict* verdict) const {
    if (MaxPieces == 0 || castleRights || PopCount(board.AllPieces) > MaxPieces) return false;
    const PieceList white(board, White), black(board, Black);
    unsigned info = tb_UNKNOWN, plies = 0;
    if (!tb_probe_hard(side == White ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE,
                       EnPassantSquare(board, side), tb_NOCASTLE, white.Squares, black.Squares,
                       white.Pieces, black.Pieces, &info, &plies))
        return false;
    switch (info) {
    case tb_DRAW:
        *verdict = TableVerdict{TableDraw, 0};
        return true;
    case tb_WMATE:
    case tb_BMATE: {
        const bool sideWins = (info == tb_WMATE) == (side == White);
        *verdict = TableVerdict{sideWins ? TableWin : TableLoss, static_cast<int>(plies)};
        return true;
    }
    default:
        return false;
    }
}

bool EndgameTables::ChooseRootMove(const ChessBoard& board, int side, int castleRights,
                                   Bitboard* from, Bitboard* to, char* promotion,
                                   TableVerdict* verdict, int* probes) const {
    *probes = 0;
    if (MaxPieces == 0 || castleRights || PopCount(board.AllPieces) > MaxPieces) return false;
    ChessBoard position = board;
    position.SideToMove = static_cast<int8_t>(side);
    MoveList list;
    const int count = list.GenerateLegalMoves(&position);
    int bestRating = 0;
    bool found = false;
    TableVerdict bestChild;
    for (int i = 0; i < count; ++i) {
        // The list promotes to a queen only; the tables know where a rook
        // or a knight does better (a queen that would stalemate, say).
        const bool promotes = list.Promo[i] != NoPromotion;
        const char promotions[] = {list.Promo[i], 'r', 'b', 'n'};
        for (int p = 0; p < (promotes ? 4 : 1); ++p) {
            ChessBoard child = board;
            uint8_t castleMask;
            child.MakeMove(list.From[i], list.To[i], promotions[p], &castleMask);
            TableVerdict childVerdict;
            ++*probes;
            if (!Probe(child, side ^ 1, 0, &childVerdict)) return false;
            const int rating = RootRating(childVerdict);
            if (!found || rating > bestRating) {
                found = true;
                bestRating = rating;
                bestChild = childVerdict;
                *from = list.From[i];
                *to = list.To[i];
                *promotion = promotions[p];
            }
        }
    }
    if (!found) return false;
    if (bestChild.Outcome == TableDraw)
        *verdict = TableVerdict{TableDraw, 0};
    else
        *verdict = TableVerdict{bestChild.Outcome == TableLoss ? TableWin : TableLoss,
                                bestChild.Plies + 1};
    return true;
}
