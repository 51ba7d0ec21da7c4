// The xboard edit mode: a position built piece by piece on a copy of the
// board, kept only if it can be played.
#include <cstdio>
#include <cstring>

#include "frontend/session.h"

namespace {

constexpr char EditLetters[] = "PNBRQK"; // by piece code

// The square of "e4", -1 for anything else.
int SquareOf(const char* text) {
    if (text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8' || text[2]) return -1;
    return (text[1] - '1') * 8 + (text[0] - 'a');
}

void ClearSquare(ChessBoard& board, int square) {
    for (int code = 0; code < 12; ++code) board.PieceBits(code) &= ~Bit(square);
}

void RefreshOccupancy(ChessBoard& b) {
    b.WhitePieces = b.WPawns | b.WKnights | b.WBishops | b.WRooks | b.WQueens | b.WKing;
    b.BlackPieces = b.BPawns | b.BKnights | b.BBishops | b.BRooks | b.BQueens | b.BKing;
    b.AllPieces = b.WhitePieces | b.BlackPieces;
}

// Castling follows the placement: a king and a rook on their home squares.
uint8_t CastlingOfPlacement(const ChessBoard& b) {
    uint8_t flags = 0;
    if (b.WKing & Bit(E1)) {
        if (b.WRooks & Bit(H1)) flags |= WhiteKingSide;
        if (b.WRooks & Bit(A1)) flags |= WhiteQueenSide;
    }
    if (b.BKing & Bit(E8)) {
        if (b.BRooks & Bit(H8)) flags |= BlackKingSide;
        if (b.BRooks & Bit(A8)) flags |= BlackQueenSide;
    }
    return flags;
}

// One edit word on the board being built; false at ".".
bool ApplyEditWord(ChessBoard& board, int& colour, const char* word) {
    if (std::strcmp(word, ".") == 0) return false;
    if (std::strcmp(word, "#") == 0) {
        for (int code = 0; code < 12; ++code) board.PieceBits(code) = 0;
    } else if (std::strcmp(word, "c") == 0) {
        colour ^= 1;
    } else if (const char* letter = word[0] ? std::strchr(EditLetters, word[0]) : nullptr) {
        const int square = SquareOf(word + 1);
        if (square < 0) return true;
        // A square holds one piece: the new one replaces what stood there.
        ClearSquare(board, square);
        board.PieceBits(static_cast<int>(letter - EditLetters) + colour * BlackCodeOffset) |=
            Bit(square);
    } else if (word[0] == 'x') {
        const int square = SquareOf(word + 1);
        if (square >= 0) ClearSquare(board, square);
    }
    return true;
}

} // namespace

void SetupBoardFromEdit() {
    ChessBoard board = MainBoard;
    int colour = White;
    char line[CommandLineLength];
    bool editing = true;
    while (editing) {
        if (!ReadCommandLine(line, sizeof line)) {
            // The end of input ends the edit and then the program.
            QueueLine("quit");
            break;
        }
        WriteLogFile(line);
        const Words words(line);
        for (int i = 0; i < words.Count && editing; ++i)
            editing = ApplyEditWord(board, colour, words[i]);
    }
    RefreshOccupancy(board);
    board.SetStandardCastling();
    board.CastleFlags = CastlingOfPlacement(board);

    if (!AdoptPosition(board)) TellIllegalPosition();
}

bool AdoptPosition(const ChessBoard& board) {
    // Through its FEN text, so that the position meets the same rules as one
    // from "setboard"; no en passant, and the fifty-move count starts afresh.
    char fen[128];
    pos2fenString(board, fen);
    if (SetupBoard(fen, SessionRules()) != SetupOk) return false;
    Settings.Game.GameInProgress = 1;
    GameSession.DrawClaimed = false;
    StartGameRecord();
    return true;
}
