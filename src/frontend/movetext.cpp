// Moves as the interface and the console type them, checked against the legal
// moves of the position before anything is made.
#include <cstring>

#include <cstdio>

#include "frontend/session.h"

namespace {

bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }

// Castling as people and xboard write it: "O-O", "O-O-O", or with zeros.
bool IsCastlingText(const char* word) {
    for (const char* text : {"O-O", "O-O-O", "0-0", "0-0-0"})
        if (std::strcmp(word, text) == 0) return true;
    return false;
}

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
    return (IsFileLetter(word[0]) && word[1] >= '0' && word[1] <= '9') || IsCastlingText(word);
}

bool ParseGameMove(const ChessBoard& board, const char* text, GameMove* move) {
    if (IsCastlingText(text)) return FindSanMove(board, text, &move->From, &move->To, &move->Promo);
    return FindCoordinateMove(board, text, &move->From, &move->To, &move->Promo);
}

void EngineMoveText(const ChessBoard& board, const GameMove& move, char* out, int size) {
    if (board.Chess960 && IsCastling(board, move.From, move.To)) {
        std::snprintf(out, size, "%s", move.To > move.From ? "O-O" : "O-O-O");
        return;
    }
    char text[MaxPVText];
    fillmovestring(text, LowestSquare(move.From), LowestSquare(move.To), move.Promo);
    std::sscanf(text, "%7s", out);
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
