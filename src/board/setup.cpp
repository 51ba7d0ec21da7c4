// FEN in and out, position files and move text.
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "platform/platform.h"

namespace {

constexpr char PieceLetters[] = "PNBRQKpnbrqk"; // by piece code

int PieceCodeOfLetter(char letter) {
    const char* p = letter ? std::strchr(PieceLetters, letter) : nullptr;
    return p ? static_cast<int>(p - PieceLetters) : -1;
}

// Puts the piece of a FEN letter on the board being set up (a copy, so that a
// refused position leaves the target alone). A king replaces any earlier king of
// its colour; other pieces are added; other letters do nothing.
void AddPiece(ChessBoard& board, char letter, int square) {
    const int code = PieceCodeOfLetter(letter);
    if (code < 0) return;
    assert(IsSquare(square));
    if (code == KingCode || code == KingCode + BlackCodeOffset)
        board.PieceBits(code) = Bit(square);
    else
        board.PieceBits(code) |= Bit(square);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The rook that one letter of the castling field names for `colour` (whose
// king stands on its first rank): K the outermost rook on the king's h-side,
// Q on its a-side, a file letter the rook on that file. -1 for none.
int CastlingRook(const ChessBoard& board, int colour, char letter) {
    const int base = colour == White ? A1 : A8;
    const int kingFile = FileOf(LowestSquare(colour == White ? board.WKing : board.BKing));
    const Bitboard rooks = (colour == White ? board.WRooks : board.BRooks) & RankMask[RankOf(base)];
    const Bitboard hSide = rooks & ~((Bit(base + kingFile + 1)) - 1);
    const Bitboard aSide = rooks & (Bit(base + kingFile) - 1);
    if (letter == 'K') return hSide ? BSR(hSide) : -1;
    if (letter == 'Q') return aSide ? LowestSquare(aSide) : -1;
    const int file = letter - 'A';
    return file != kingFile && (rooks & Bit(base + file)) ? base + file : -1;
}

// Reads the castling field into the board's rights and rooks (the rights'
// bits are clear and the rooks in their corners on entry).
int ReadCastling(ChessBoard& board, const char* field, CastlingRules rules) {
    const bool chess960 = rules == CastlingRules::Chess960;
    if (*field == '-') return SetupOk;
    for (; *field && *field != ' '; ++field) {
        const char letter = *field;
        const bool black = letter >= 'a' && letter <= 'z';
        const char upper = black ? static_cast<char>(letter - 'a' + 'A') : letter;
        const bool named = upper == 'K' || upper == 'Q' || (upper >= 'A' && upper <= 'H');
        // Standard chess has always skipped what it cannot read.
        if (!named) {
            if (chess960) return SetupCastlingLetter;
            continue;
        }
        const int colour = black ? Black : White;
        const int base = colour == White ? A1 : A8;
        const Bitboard king = colour == White ? board.WKing : board.BKing;
        if (!(king & RankMask[RankOf(base)])) {
            if (chess960) return SetupCastlingKingAway;
            continue;
        }
        const int rook = CastlingRook(board, colour, upper);
        if (rook < 0) {
            if (chess960) return SetupCastlingNoRook;
            continue;
        }
        const bool kingSide = rook > LowestSquare(king);
        const int right = CastlingIndex[colour][kingSide ? 0 : 1];
        if (!chess960 && (king != Bit(base + 4) || rook != StandardCastleRookSquare[right]))
            return SetupCastlingNeeds960;
        if ((board.CastleFlags & (1 << right)) && board.CastleRookSquare[right] != rook)
            return SetupCastlingOneSide;
        board.CastleFlags |= static_cast<uint8_t>(1 << right);
        board.CastleRookSquare[right] = static_cast<uint8_t>(rook);
    }
    return SetupOk;
}

// An en passant square stands for the double step that produced it, recorded
// as the last move so that the capture can be generated and made. A step that
// cannot have happened (its squares occupied) is ignored: a capture onto an
// occupied square would corrupt the board.
void ReadEnPassant(ChessBoard& board, const char* field) {
    if (field[0] < 'a' || field[0] > 'h' || (field[1] != '3' && field[1] != '6')) return;
    if (field[2] && field[2] != ' ') return;
    const int file = field[0] - 'a';
    const bool whiteStep = field[1] == '3';
    if (whiteStep != (board.SideToMove == Black)) return;
    const int from = (whiteStep ? A2 : A7) + file;
    const int to = (whiteStep ? A4 : A5) + file;
    const Bitboard pawns = whiteStep ? board.WPawns : board.BPawns;
    const int passed = (from + to) / 2;
    if (!(pawns & Bit(to)) || (board.AllPieces & (Bit(from) | Bit(passed)))) return;
    board.LastFrom = Bit(from);
    board.LastTo = Bit(to);
}

// Leading digits of a field, 0 when there are none; large values are capped.
int ReadCount(const char* field) {
    int n = 0;
    for (; IsDigit(*field); ++field) n = n < 100000 ? n * 10 + (*field - '0') : n;
    return n;
}

const char* NextField(const char* text) {
    while (*text && *text != ' ') ++text;
    while (*text == ' ') ++text;
    return text;
}

} // namespace

const char* PromotionSuffix(char promo) {
    switch (promo) {
    case 'Q':
    case 'q':
        return "q";
    case 'R':
    case 'r':
        return "r";
    case 'B':
    case 'b':
        return "b";
    case 'N':
    case 'n':
        return "n";
    default:
        return "";
    }
}

int SetupPosition(ChessBoard* target, const char* fen, CastlingRules rules) {
    ChessBoard board = *target;
    for (int code = 0; code < 12; ++code) board.PieceBits(code) = 0;

    // Piece placement, from a8 rank by rank; digit runs skip squares.
    int square = A8, rowStart = A8, whiteKings = 0, blackKings = 0;
    const char* p = fen;
    while (*p && *p != ' ') {
        if (*p >= '1' && *p <= '8') {
            int run = 0;
            for (; IsDigit(*p); ++p) run = run < 64 ? run * 10 + (*p - '0') : run;
            square += run;
            continue;
        }
        if (*p == '/') {
            rowStart -= 8;
            square = rowStart;
        } else {
            const int code = PieceCodeOfLetter(*p);
            if (code >= 0) {
                if (rowStart < 0 || square > rowStart + 7) return SetupOffBoard;
                if ((code == PawnCode || code == PawnCode + BlackCodeOffset) &&
                    (RankOf(square) == 0 || RankOf(square) == 7))
                    return SetupPawnOnBackRank;
                whiteKings += code == KingCode;
                blackKings += code == KingCode + BlackCodeOffset;
                AddPiece(board, *p, square);
            }
            ++square;
        }
        ++p;
    }
    if (whiteKings != 1 || blackKings != 1) return SetupBadKings;

    board.WhitePieces =
        board.WPawns | board.WBishops | board.WKnights | board.WRooks | board.WQueens | board.WKing;
    board.BlackPieces =
        board.BPawns | board.BBishops | board.BKnights | board.BRooks | board.BQueens | board.BKing;
    board.AllPieces = board.WhitePieces | board.BlackPieces;
    board.LastFrom = board.LastTo = 0;
    board.CastleFlags = 0;
    board.SetStandardCastling();
    board.Chess960 = rules == CastlingRules::Chess960;

    // Side to move: the letter after the blank; anything but "b" is White.
    board.SideToMove = (*p == ' ' && p[1] == 'b') ? Black : White;
    const Bitboard otherKing = board.SideToMove == White ? board.BKing : board.WKing;
    if (board.InCheck(otherKing, 1 - board.SideToMove)) return SetupOpponentInCheck;

    // Castling: the field two places after the side letter.
    const char* castling = (*p == ' ' && p[1] && p[2]) ? p + 3 : "";
    if (const int castlingResult = ReadCastling(board, castling, rules); castlingResult != SetupOk)
        return castlingResult;
    const char* enPassant = *castling ? NextField(castling) : "";
    ReadEnPassant(board, enPassant);
    board.FiftyMoveCount = *enPassant ? ReadCount(NextField(enPassant)) : 0;

    board.RefreshMaterial();
    assert(BoardAndKeyAreConsistent(board));
    *target = board;
    return SetupOk;
}

int SetupBoard(const char* fen, CastlingRules rules) {
    return SetupPosition(&MainBoard, fen, rules);
}

const char* SetupResultText(int result) {
    switch (result) {
    case SetupOk:
        return "a playable position";
    case SetupBadKings:
        return "a side without exactly one king";
    case SetupOffBoard:
        return "a piece off the board";
    case SetupPawnOnBackRank:
        return "a pawn on the first or last rank";
    case SetupOpponentInCheck:
        return "the side not to move in check";
    case SetupCastlingNoRook:
        return "a castling right without a rook of its colour where the letter points";
    case SetupCastlingKingAway:
        return "a castling right of a king that is not on its first rank";
    case SetupCastlingOneSide:
        return "two castling rooks on one side of the king";
    case SetupCastlingLetter:
        return "a character in the castling field that is no castling letter";
    case SetupCastlingNeeds960:
        return "castling that only Chess960 has";
    default:
        return "an unknown fault";
    }
}

void LoadPositionFile(const char* path) {
    FILE* file = OpenTextFile(path);
    if (!file) {
        std::printf("ERROR: opening file %s\n", path);
        std::exit(1);
    }
    char line[4096];
    if (!std::fgets(line, sizeof line, file)) {
        std::printf("Empty file\n");
        std::fclose(file);
        std::exit(0);
    }
    std::fclose(file);
    line[std::strcspn(line, "\r\n")] = '\0';
    // A file may hold a Chess960 position; a standard one is read as such.
    int result = SetupBoard(line);
    if (result == SetupCastlingNeeds960) result = SetupBoard(line, CastlingRules::Chess960);
    if (result != SetupOk) {
        std::printf("ERROR: invalid position in file %s\n", path);
        std::exit(1);
    }
}

char DecodePiece(Bitboard square, const ChessBoard& board) {
    const int code = PieceCodeOn(board, LowestSquare(square));
    assert(code >= 0);
    return code >= 0 ? PieceLetters[code] : '?';
}

void CastleRights(char* out, const ChessBoard& board) {
    char* p = out;
    for (int colour = White; colour <= Black; ++colour) {
        for (int side = 0; side < 2; ++side) {
            const int right = CastlingIndex[colour][side];
            if (!(board.CastleFlags & (1 << right))) continue;
            const int rook = board.CastleRookSquare[right];
            const char outermost = side == 0 ? 'K' : 'Q';
            const char letter = CastlingRook(board, colour, outermost) == rook
                                    ? outermost
                                    : static_cast<char>('A' + FileOf(rook));
            *p++ = colour == White ? letter : static_cast<char>(letter - 'A' + 'a');
        }
    }
    if (p == out) *p++ = '-';
    *p = '\0';
}

// Writes at most 90 characters: the placement, side, castling and " - 0 ; ".
void pos2fenString(const ChessBoard& board, char* out) {
    char* p = out;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Bitboard s = Bit(rank * 8 + file);
            if (!(board.AllPieces & s)) {
                ++empty;
                continue;
            }
            if (empty) *p++ = static_cast<char>('0' + empty);
            *p++ = DecodePiece(s, board);
            empty = 0;
        }
        if (empty) *p++ = static_cast<char>('0' + empty);
        if (rank) *p++ = '/';
    }
    *p++ = ' ';
    *p++ = board.SideToMove ? 'b' : 'w';
    *p++ = ' ';
    CastleRights(p, board);
    std::strcat(p, " - 0 ; ");
}

void pos2fen(const ChessBoard& board, int n) {
    char text[128];
    pos2fenString(board, text);
    std::printf("%s%d \n", text, n);
}

void fillmovestring(char* out, int from, int to, int promo, const PVEntry* pv, int pvLength) {
    assert(IsSquare(from) && IsSquare(to));
    char* p = out + std::sprintf(out, " %c%d%c%d", files[FileOf(from)], RankOf(from) + 1,
                                 files[FileOf(to)], RankOf(to) + 1);
    constexpr char PromotionLetters[] = " nbrq";
    const int kind = promo >= 7 && promo <= 10 ? promo - BlackCodeOffset : promo;
    if (kind >= KnightCode && kind <= QueenCode)
        p += std::sprintf(p, "%c;", PromotionLetters[kind]);
    else
        p += std::sprintf(p, "%s ", PromotionSuffix(static_cast<char>(promo)));
    if (pv && pvLength >= 2) {
        for (int i = 1; i < pvLength && i < 200; ++i) {
            const int f = (pv[i].Move >> 6) & 63, t = pv[i].Move & 63;
            p += std::sprintf(p, "%c%d%c%d%s ", files[FileOf(f)], RankOf(f) + 1, files[FileOf(t)],
                              RankOf(t) + 1, PromotionSuffix(pv[i].Promo));
        }
    }
    *p++ = '\n';
    *p = '\0';
}
