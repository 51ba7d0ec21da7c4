// The repetition record: the hash codes of a game's positions and of the
// line being searched, for the draw by repetition.
#pragma once

#include <cstdint>

#include "board/board.h"

constexpr int GameRecordLength = 600; // entries of the repetition and move records

// Hash codes of the positions of a game and of the line being searched.
// Inserts past the capacity are not stored but still counted, so that every
// RetractMove pairs with its insert.
class MoveHistory {
  public:
    Bitboard Upper[GameRecordLength];
    Bitboard Lower[GameRecordLength];
    int32_t NumMoves = 0;

    void Init() { NumMoves = 0; }
    void InsertHashCodeMoveHistory(Bitboard upper, Bitboard lower);
    void RetractMove() { --NumMoves; }
    // Earlier occurrences of the position with the same side to move among
    // the last n entries (the current position, inserted last, counts itself
    // away): -1 + the matches at NumMoves - 1, NumMoves - 3, ...
    int ThreeFoldRepDetection(int n, Bitboard upper, Bitboard lower) const;
};
