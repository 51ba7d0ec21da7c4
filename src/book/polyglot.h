// Opening books in the Polyglot format, the one that interfaces, engines and
// book tools share: a file of 16-byte big-endian entries (key, move, weight,
// learn) sorted by key, where the key is a Zobrist code of the position made
// from a published table of 781 random numbers. The program's own book index
// stays beside it; this one is loaded from a file the user names.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "board/board.h"
#include "movegen/movegen.h"

// The Polyglot key of a position: its pieces, castling rights, side to move
// and, only when a pawn of the side to move stands beside the pawn that has
// just made a double step, the file of that pawn.
uint64_t PolyglotKey(const ChessBoard& board);

// One entry of a book file, in host byte order once loaded. The move field
// holds the to-file in bits 0-2, the to-rank in 3-5, the from-file in 6-8,
// the from-rank in 9-11 and the promotion piece in 12-14 (1 knight, 2 bishop,
// 3 rook, 4 queen); castling is written as the king taking its own rook.
struct PolyglotEntry {
    uint64_t Key;
    uint16_t Move;
    uint16_t Weight;
    uint32_t Learn;
};

// A book move that Vorn can play, as its move lists hold it.
struct PolyglotMove {
    Bitboard From, To;
    char Promo;      // 'Q' or 'q' for a promotion, NoPromotion otherwise
    uint32_t Weight; // the sum over the entries that name the move
};

// Result codes of PolyglotBook::Load.
enum BookLoadResult : int {
    BookLoaded = 0,
    BookMissing,    // no file by that name
    BookUnreadable, // it exists but cannot be read (or is a directory)
    BookEmpty,
    BookTruncated, // its size is not a whole number of entries
    BookUnsorted,  // a key is smaller than the one before it
};

// A book file held in memory: read whole once, then probed without file access.
class PolyglotBook {
  public:
    static constexpr int MaxMessage = 1200;

    std::vector<PolyglotEntry> Entries; // sorted by key; empty when no book is loaded
    char Message[MaxMessage] = "";      // why the last Load refused its file, one line
    uint64_t RandomState = 0;           // the weighted choice's generator

    // Replaces the book by the file's entries; on any fault the book is left
    // empty, Message says what was wrong and the result names the fault.
    int Load(const char* path);
    // Empties the book and gives its memory back.
    void Unload() { Entries = {}; }
    bool IsLoaded() const { return !Entries.empty(); }

    // The entries stored under `key` (binary search).
    std::span<const PolyglotEntry> Find(uint64_t key) const;
    // The book's moves for `board` that are legal and that Vorn makes, each
    // once; returns their number. Entries naming an illegal move, a square
    // without a piece of the side to move or an under-promotion (Vorn's
    // generator promotes only to queens) are left out.
    int Moves(const ChessBoard& board, PolyglotMove moves[MoveList::MaxMoves]) const;
    // A move of the position: the heaviest (the earliest entry among equals),
    // or a random one with probability proportional to its weight. False
    // when the position has no such move of positive weight.
    bool Choose(const ChessBoard& board, bool heaviest, PolyglotMove* move);
    // Restarts the random choice's sequence: the same seed, the same choices.
    void Seed(uint64_t seed) { RandomState = seed; }
};

// The book file chosen by the user ("-book", the UCI option "BookFile").
extern PolyglotBook UserBook;
