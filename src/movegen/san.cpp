// Moves in standard algebraic notation ("Nf3", "exd5", "O-O", "e8=Q+"), as
// EPD suites and people write them, matched against the legal moves.
#include <cstring>

#include "movegen/movegen.h"

namespace {

// Piece kind of a SAN letter (pawn 0 .. king 5), -1 for none.
int KindOfLetter(char c) {
    const char* letters = "PNBRQK";
    const char* p = c ? std::strchr(letters, c) : nullptr;
    return p ? static_cast<int>(p - letters) : -1;
}

struct SanParts {
    int Kind = 0;                     // the moving piece
    int FromFile = -1, FromRank = -1; // disambiguation, -1 when not given
    int To = -1;                      // destination square
    char Promotion = 0;               // the promotion's piece letter, 0 for none
    int CastleFile = -1;              // the king's destination file when castling
};

bool IsFile(char c) { return c >= 'a' && c <= 'h'; }
bool IsRank(char c) { return c >= '1' && c <= '8'; }

bool Parse(const char* san, SanParts* parts) {
    char text[16];
    int length = 0;
    // Check, mate and annotation marks, and capture signs, say nothing of the move.
    for (const char* p = san; *p && length < int(sizeof text) - 1; ++p)
        if (!std::strchr("+#!?x:", *p)) text[length++] = *p;
    text[length] = '\0';
    if (!std::strcmp(text, "O-O") || !std::strcmp(text, "0-0")) {
        parts->Kind = 5;
        parts->CastleFile = 6;
        return true;
    }
    if (!std::strcmp(text, "O-O-O") || !std::strcmp(text, "0-0-0")) {
        parts->Kind = 5;
        parts->CastleFile = 2;
        return true;
    }
    const char* p = text;
    if (KindOfLetter(*p) > 0) parts->Kind = KindOfLetter(*p++);
    // A promotion ends the text: "e8=Q" or "e8Q".
    if (length >= 2 && KindOfLetter(text[length - 1]) > 0 && parts->Kind == 0) {
        parts->Promotion = text[length - 1];
        text[--length] = '\0';
        if (length > 0 && text[length - 1] == '=') text[--length] = '\0';
    }
    const int rest = static_cast<int>(std::strlen(p));
    if (rest < 2 || rest > 4) return false;
    const char* square = p + rest - 2;
    if (!IsFile(square[0]) || !IsRank(square[1])) return false;
    parts->To = (square[1] - '1') * 8 + (square[0] - 'a');
    for (; p < square; ++p) {
        if (IsFile(*p))
            parts->FromFile = *p - 'a';
        else if (IsRank(*p))
            parts->FromRank = *p - '1';
        else
            return false;
    }
    // A pawn named without its file pushes along the file of its square.
    if (parts->Kind == 0 && parts->FromFile < 0) parts->FromFile = square[0] - 'a';
    return true;
}

} // namespace

// The generator makes only queen promotions (the list's 'Q' or 'q').
bool FindSanMove(const ChessBoard& board, const char* san, Bitboard* from, Bitboard* to,
                 char* promo) {
    SanParts parts;
    if (!Parse(san, &parts)) return false;
    ChessBoard position = board;
    MoveList list;
    const int count = list.GenerateLegalMoves(&position);
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const int f = LowestSquare(list.From[i]), t = LowestSquare(list.To[i]);
        if (PieceCodeOn(board, f) % 6 != parts.Kind) continue;
        const bool castles = IsCastling(board, list.From[i], list.To[i]);
        if (parts.CastleFile >= 0) {
            if (!castles ||
                CastlingKingTarget(list.From[i], list.To[i]) != (f & ~7) + parts.CastleFile)
                continue;
        } else if ((castles && (list.To[i] & board.AllPieces)) || t != parts.To ||
                   (parts.FromFile >= 0 && (f & 7) != parts.FromFile) ||
                   (parts.FromRank >= 0 && f / 8 != parts.FromRank) ||
                   (parts.Promotion ? parts.Promotion != 'Q' || list.Promo[i] == NoPromotion
                                    : list.Promo[i] != NoPromotion)) {
            continue;
        }
        *from = list.From[i];
        *to = list.To[i];
        *promo = list.Promo[i];
        ++found;
    }
    return found == 1;
}

bool FindCoordinateMove(const ChessBoard& board, const char* text, Bitboard* from, Bitboard* to,
                        char* promo) {
    const size_t length = std::strlen(text);
    if (length != 4 && length != 5) return false;
    if (!IsFile(text[0]) || !IsRank(text[1]) || !IsFile(text[2]) || !IsRank(text[3])) return false;
    const char letter = text[4];
    // The promotion letters a move may end in, in either case.
    if (letter && !std::strchr("qrbnQRBN", letter)) return false;
    const Bitboard source = Bit((text[1] - '1') * 8 + (text[0] - 'a'));
    const Bitboard target = Bit((text[3] - '1') * 8 + (text[2] - 'a'));

    ChessBoard position = board;
    MoveList list;
    const int count = list.GenerateLegalMoves(&position);
    // Chess960 castling, written as the king taking its rook, may also come
    // as the king's step to its target when no other move has that text.
    for (int i = 0; i < count && !letter && board.Chess960; ++i) {
        if (list.From[i] == source && list.To[i] == target) break;
        if (list.From[i] != source || !IsCastling(board, source, list.To[i]) ||
            Bit(CastlingKingTarget(source, list.To[i])) != target)
            continue;
        bool plain = false;
        for (int j = 0; j < count; ++j) plain |= list.From[j] == source && list.To[j] == target;
        if (plain) break;
        *from = source;
        *to = list.To[i];
        *promo = list.Promo[i];
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if (list.From[i] != source || list.To[i] != target) continue;
        const bool promotion = list.Promo[i] != NoPromotion;
        // A letter belongs to a promotion; a promotion without one is a queen's.
        if (letter && !promotion) return false;
        *from = source;
        *to = target;
        *promo = letter ? letter : list.Promo[i];
        return true;
    }
    return false;
}
