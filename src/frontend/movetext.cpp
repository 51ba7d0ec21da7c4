// Moves as the interface and the console type them, checked against the legal
// moves of the position before anything is made.
#include <cstring>

#include <cstdio>

#include "frontend/session.h"

namespace {

bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }

} // namespace

int GenerateLegalMoves(const ChessBoard& board, GameMove moves[MoveList::MaxMoves]) {
    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    for (int i = 0; i < count; ++i) moves[i] = GameMove{list.From[i], list.To[i], list.Promo[i]};
    return count;
}

bool ExpectedReply(const ChessBoard& after, const RootLine& line, const GameMove& move,
                   GameMove* reply) {
    if (line.Length < 2 || line.Moves[0].Move != MoveCode(move.From, move.To)) return false;
    GameMove moves[MoveList::MaxMoves];
    const int count = GenerateLegalMoves(after, moves);
    for (int i = 0; i < count; ++i) {
        if (MoveCode(moves[i].From, moves[i].To) != line.Moves[1].Move) continue;
        *reply = moves[i];
        return true;
    }
    return false;
}

bool SameMove(const GameMove& a, const GameMove& b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.From == b.From && a.To == b.To && lower(a.Promo) == lower(b.Promo);
}

bool LooksLikeMove(const char* word) {
    return IsFileLetter(word[0]) && word[1] >= '0' && word[1] <= '9';
}

bool ParseGameMove(const ChessBoard& board, const char* text, GameMove* move) {
    return FindCoordinateMove(board, text, &move->From, &move->To, &move->Promo);
}

void TellMoveForm(const char* word) {
    Bitboard from, to;
    char promo;
    if (FindSanMove(MainBoard, word, &from, &to, &promo))
        std::printf("Moves are typed as from and to squares: %c%d%c%d%s for %s.\n",
                    'a' + LowestSquare(from) % 8, LowestSquare(from) / 8 + 1,
                    'a' + LowestSquare(to) % 8, LowestSquare(to) / 8 + 1, PromotionSuffix(promo),
                    word);
    else
        std::printf("Moves are typed as from and to squares (g1f3, e7e8q); help lists the "
                    "commands.\n");
}
