// The opening books. The program's own book: positions known by their hash
// codes, each with a value, found through a binary search tree; at the root
// of its first iteration the search asks it for a move, but no entries are
// loaded, so no position is in it. And a book file in the Polyglot format
// that the user chooses (book/polyglot.h).
#pragma once

#include <cstdint>
#include <functional>

#include "board/board.h"
#include "book/polyglot.h" // IWYU pragma: export

constexpr int BookCapacity = 1000000;

// A book position: its two hash-code halves.
struct BookEntry {
    uint64_t Lower;
    uint64_t Upper;
};

extern BookEntry OpeningBook[BookCapacity];
extern int32_t BookValue[BookCapacity]; // lower is better for the side choosing
extern int32_t booksize;

// Tree order: the lower halves compared unsigned, then the upper halves.
struct treenode {
    int32_t Index; // into OpeningBook
    treenode* Left;
    treenode* Right;
};

// The root stands for entry 0.
extern treenode* treeroot;

// Rebuilds the tree over the (empty) book.
void buildbook();
void buildbooktree(long n);
// Index of the entry holding exactly this hash code, -1 if none.
int BookTreeSearch(const treenode* node, uint64_t lower, uint64_t upper);

// No move of the list leads to a book position.
constexpr int NotInBook = -100;

// The index, in the move list GenerateAllMoves makes for `board`, of the move
// leading to the book position of lowest value; NotInBook if none. With a
// `trace`, each move looked up is reported to it as text.
int InBook(int side, int castleFlags, const ChessBoard& board,
           const std::function<void(const char* text)>& trace = {});
