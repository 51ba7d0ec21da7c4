// Endgame tables: the Gaviota tables (compression scheme 4), read through
// Debian's probing library. They know the exact outcome of every position
// with few enough pieces: who mates, in how many plies, or that it is drawn.
#pragma once

#include <cstdint>

#include "board/board.h"

// Result codes of EndgameTables::Start.
enum TablesStartResult : int {
    TablesStarted = 0, // at least one table can be probed
    TablesOff,         // no folder was named: the tables are off, and nothing is wrong
    TablesNotFound,    // no named folder holds a table that can be read: the tables are off
};

// Outcomes for the side to move.
enum TableOutcome : int { TableLoss = -1, TableDraw = 0, TableWin = 1 };

struct TableVerdict {
    int Outcome = TableDraw;
    // Plies to the mate: 0 for a draw and for a side that is mated already.
    int Plies = 0;
};

class EndgameTables {
  public:
    static constexpr int DefaultCacheMegabytes = 32;
    static constexpr int MaxMessage = 1200;

    // Why the last Start left out a folder or a file, or found nothing; one
    // line, empty when all went well.
    char Message[MaxMessage] = "";

    EndgameTables() = default;
    ~EndgameTables();
    EndgameTables(const EndgameTables&) = delete;
    EndgameTables& operator=(const EndgameTables&) = delete;

    // Stops any tables in use, then starts on the folders of `paths`
    // (separated by ';'). A folder that does not exist is left out; a table
    // file whose index is broken (cut short, overwritten) is hidden from the
    // library, which would crash on it: its positions are not in the tables.
    int Start(const char* paths, int cacheMegabytes);
    void Stop();
    bool IsOn() const { return MaxPieces > 0; }

    // What the tables say of `board` with `side` to move. False when the
    // position is not in them: too many pieces, a castling right, a table
    // that is missing or cannot be read.
    bool Probe(const ChessBoard& board, int side, int castleRights, TableVerdict* verdict) const;

    // The move that keeps the root's verdict: the fastest mate when it wins,
    // the longest resistance when it loses, a drawing move when it draws;
    // every legal move's position is probed, under-promotions included.
    // False when one of those positions is not in the tables or there is no
    // legal move. `probes` receives the number of positions probed.
    bool ChooseRootMove(const ChessBoard& board, int side, int castleRights, Bitboard* from,
                        Bitboard* to, char* promotion, TableVerdict* verdict, int* probes) const;

  private:
    int MaxPieces = 0; // of the largest tables found; 0 while off
    const char** LibraryPaths = nullptr;
    bool LibraryStarted = false;
    char PrivateFolder[1024] = ""; // links to the sound files of folders with broken ones
};

extern EndgameTables Tablebases;
