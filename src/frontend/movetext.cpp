// Moves as the interface and the console type them, checked against the legal
// moves of the position before anything is made.
#include <cstring>

#include <cstdio>

#include "frontend/session.h"

namespace {

bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }
bool IsRankDigit(char c) { return c >= '1' && c <= '8'; }

// The promotion letters a move may end in, in either case.
bool IsPromotionLetter(char c) { return c && std::strchr("qrbnQRBN", c); }

} // namespace

int GenerateLegalMoves(const ChessBoard& board, GameMove moves[MoveGen::MaxMoves]) {
    ChessBoard position = board;
    MoveGen list;
    const int count = list.GenerateLegalMoves(&position);
    for (int i = 0; i < count; ++i) moves[i] = GameMove{list.From[i], list.To[i], list.Promo[i]};
    return count;
}

bool ExpectedReply(const ChessBoard& after, Bitboard from, Bitboard to, GameMove* reply) {
    const PVEntry* line = Search.PV[0];
    if (Search.RootPVLength < 2 || line[0].Move != MoveCode(from, to)) return false;
    GameMove moves[MoveGen::MaxMoves];
    const int count = GenerateLegalMoves(after, moves);
    for (int i = 0; i < count; ++i) {
        if (MoveCode(moves[i].From, moves[i].To) != line[1].Move) continue;
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
    const size_t length = std::strlen(text);
    if (length != 4 && length != 5) return false;
    if (!IsFileLetter(text[0]) || !IsRankDigit(text[1]) || !IsFileLetter(text[2]) ||
        !IsRankDigit(text[3]))
        return false;
    const char letter = text[4];
    if (letter && !IsPromotionLetter(letter)) return false;
    const Bitboard from = Bit((text[1] - '1') * 8 + (text[0] - 'a'));
    const Bitboard to = Bit((text[3] - '1') * 8 + (text[2] - 'a'));

    GameMove moves[MoveGen::MaxMoves];
    const int count = GenerateLegalMoves(board, moves);
    for (int i = 0; i < count; ++i) {
        if (moves[i].From != from || moves[i].To != to) continue;
        const bool promotion = moves[i].Promo != NoPromotion;
        // A letter belongs to a promotion; a promotion without one is a queen's.
        if (letter && !promotion) return false;
        *move = moves[i];
        if (letter) move->Promo = letter;
        return true;
    }
    return false;
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
