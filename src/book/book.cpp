// The opening book's index and its lookup at the root.
#include <cstdio>
#include <vector>

#include "book/book.h"
#include "movegen/movegen.h"

BookEntry OpeningBook[BookCapacity];
int32_t BookValue[BookCapacity];
int32_t booksize = 0;
treenode* treeroot = nullptr;

namespace {

// The tree's nodes; a rebuild starts it afresh.
std::vector<treenode> TreeNodes;

// Whether entry a comes before entry b in tree order.
bool Before(const BookEntry& a, const BookEntry& b) {
    return a.Lower != b.Lower ? a.Lower < b.Lower : a.Upper < b.Upper;
}

} // namespace

void buildbook() {
    booksize = 0;
    buildbooktree(booksize);
}

void buildbooktree(long n) {
    TreeNodes.clear();
    TreeNodes.reserve(n > 1 ? static_cast<size_t>(n) : 1);
    TreeNodes.push_back(treenode{0, nullptr, nullptr});
    for (long i = 1; i < n && i < BookCapacity; ++i) {
        const BookEntry& entry = OpeningBook[i];
        treenode* node = &TreeNodes[0];
        for (;;) {
            const BookEntry& here = OpeningBook[node->Index];
            if (here.Lower == entry.Lower && here.Upper == entry.Upper) break; // already in
            treenode*& child = Before(entry, here) ? node->Left : node->Right;
            if (!child) {
                TreeNodes.push_back(treenode{static_cast<int32_t>(i), nullptr, nullptr});
                child = &TreeNodes.back();
                break;
            }
            node = child;
        }
    }
    treeroot = &TreeNodes[0];
}

int BookTreeSearch(const treenode* node, uint64_t lower, uint64_t upper) {
    while (node) {
        const BookEntry& here = OpeningBook[node->Index];
        if (lower == here.Lower) return upper == here.Upper ? node->Index : -1;
        node = lower < here.Lower ? node->Left : node->Right;
    }
    return -1;
}

int InBook(int side, int castleFlags, const ChessBoard& board,
           const std::function<void(const char* text)>& trace) {
    MoveList list;
    const int count = list.GenerateAllMoves(side, &board, castleFlags);
    int best = NotInBook, bestValue = 110000;
    for (int i = 0; i < count; ++i) {
        Bitboard from, to;
        char promotion;
        uint8_t castleMask;
        list.GetMove(i, &from, &to, &promotion);
        ChessBoard child = board;
        child.MakeMove(from, to, promotion, &castleMask);
        char move[MaxPVText], text[MaxPVText + 32];
        fillmovestring(move, LowestSquare(from), LowestSquare(to), promotion);
        if (trace) {
            std::snprintf(text, sizeof text, "  {%s", move);
            trace(text);
        }
        Bitboard upper, lower;
        genhashcode(side ^ 1, castleFlags & castleMask, &upper, &lower, &child);
        const int entry = BookTreeSearch(treeroot, lower, upper);
        if (trace) {
            std::snprintf(text, sizeof text, "  %s%d%s}\n", entry < 0 ? "Not in Book: " : "",
                          entry < 0 ? 0 : BookValue[entry], move);
            trace(text);
        }
        if (entry >= 0 && BookValue[entry] < bestValue) {
            best = i;
            bestValue = BookValue[entry];
        }
    }
    return best;
}
