// The position record: start position, piece counts and the board display.
#include <cassert>
#include <cstdio>

#include "board/board.h"

ChessBoard MainBoard;

void ChessBoard::InitRep() {
    WPawns = RankMask[1];
    WKnights = Bit(B1) | Bit(G1);
    WBishops = Bit(C1) | Bit(F1);
    WRooks = Bit(A1) | Bit(H1);
    WQueens = Bit(D1);
    WKing = Bit(E1);
    BPawns = RankMask[6];
    BKnights = Bit(B8) | Bit(G8);
    BBishops = Bit(C8) | Bit(F8);
    BRooks = Bit(A8) | Bit(H8);
    BQueens = Bit(D8);
    BKing = Bit(E8);
    WhitePieces = RankMask[0] | RankMask[1];
    BlackPieces = RankMask[6] | RankMask[7];
    AllPieces = WhitePieces | BlackPieces;
    CastleFlags = AllCastling;
    SetStandardCastling();
    SideToMove = White;
    LastFrom = LastTo = 0;
    RefreshMaterial();
}

void ChessBoard::SetStandardCastling() {
    for (int i = 0; i < 4; ++i)
        CastleRookSquare[i] = static_cast<uint8_t>(StandardCastleRookSquare[i]);
    Chess960 = 0;
}

void ChessBoard::RefreshMaterial() {
    InitPieceCounts();
    SumPieceTotals();
    CheckDraw(0);
    genpawnhashcode(White, *this, &PawnKingKey);
    genpiecehashcode(*this, &PieceKeyUpper, &PieceKeyLower);
}

void ChessBoard::ClearField() {
    WhitePieces = BlackPieces = AllPieces = 0;
    WPawns = WBishops = WKnights = WRooks = WQueens = WKing = 0;
    BPawns = BBishops = BKnights = BRooks = BQueens = BKing = 0;
    CastleFlags = 0;
    SetStandardCastling();
    LastFrom = LastTo = 0;
    WhitePieceTotal = BlackPieceTotal = 0;
    WQueenCount = WRookCount = WBishopCount = WKnightCount = WPawnCount = 0;
    BQueenCount = BRookCount = BBishopCount = BKnightCount = BPawnCount = 0;
}

// The totals are left alone: MakeMove keeps them.
void ChessBoard::InitPieceCounts() {
    WQueenCount = PopCount(WQueens);
    WRookCount = PopCount(WRooks);
    WBishopCount = PopCount(WBishops);
    WKnightCount = PopCount(WKnights);
    WPawnCount = PopCount(WPawns);
    BQueenCount = PopCount(BQueens);
    BRookCount = PopCount(BRooks);
    BBishopCount = PopCount(BBishops);
    BKnightCount = PopCount(BKnights);
    BPawnCount = PopCount(BPawns);
}

bool BoardIsConsistent(const ChessBoard& b) {
    Bitboard white = 0, black = 0, seen = 0;
    for (int code = 0; code < 12; ++code) {
        const Bitboard pieces = b.PieceBits(code);
        if (seen & pieces) return false;
        seen |= pieces;
        (code < BlackCodeOffset ? white : black) |= pieces;
    }
    const int whiteCounts[5] = {b.WPawnCount, b.WKnightCount, b.WBishopCount, b.WRookCount,
                                b.WQueenCount};
    const int blackCounts[5] = {b.BPawnCount, b.BKnightCount, b.BBishopCount, b.BRookCount,
                                b.BQueenCount};
    int whiteTotal = 0, blackTotal = 0;
    for (int code = PawnCode; code <= QueenCode; ++code) {
        if (whiteCounts[code] != PopCount(b.PieceBits(code))) return false;
        if (blackCounts[code] != PopCount(b.PieceBits(code + BlackCodeOffset))) return false;
        whiteTotal += whiteCounts[code];
        blackTotal += blackCounts[code];
    }
    return white == b.WhitePieces && black == b.BlackPieces && (white | black) == b.AllPieces &&
           PopCount(b.WKing) == 1 && PopCount(b.BKing) == 1 && whiteTotal == b.WhitePieceTotal &&
           blackTotal == b.BlackPieceTotal;
}

bool BoardAndKeyAreConsistent(const ChessBoard& board) {
    uint32_t key;
    genpawnhashcode(White, board, &key);
    Bitboard upper, lower;
    genpiecehashcode(board, &upper, &lower);
    return BoardIsConsistent(board) && key == board.PawnKingKey && upper == board.PieceKeyUpper &&
           lower == board.PieceKeyLower;
}

int PieceCodeOn(const ChessBoard& board, int s) {
    for (int code = 0; code < 12; ++code)
        if (board.PieceBits(code) & Bit(s)) return code;
    return -1;
}

void ChessBoard::DisplayPiece(int square) const {
    assert(IsSquare(square));
    const Bitboard s = Bit(square);
    if (!(AllPieces & s)) {
        std::fputs("-", stdout);
    } else if (WhitePieces & s) {
        if (WPawns & s)
            std::fputs("P", stdout);
        else if (WKnights & s)
            std::fputs("N", stdout);
        else if (WBishops & s)
            std::fputs("B", stdout);
        else if (WRooks & s)
            std::fputs("R", stdout);
        else if (WQueens & s)
            std::fputs("Q", stdout);
        else if (WKing & s)
            std::fputs("K", stdout);
        else
            std::fputs("Major Error: DisplayPiece unknown White Piece\n", stdout);
    } else if (!(BlackPieces & s)) {
        std::fputs("Major Error: DisplayPiece has unknown Color\n", stdout);
    } else {
        if (BPawns & s)
            std::fputs("p", stdout);
        else if (BKnights & s)
            std::fputs("n", stdout);
        else if (BBishops & s)
            std::fputs("b", stdout);
        else if (BRooks & s)
            std::fputs("r", stdout);
        else if (BQueens & s)
            std::fputs("q", stdout);
        else if (BKing & s)
            std::fputs("k", stdout);
        else
            std::fputs("Major Error: DisplayPiece unknown Black Piece\n", stdout);
    }
    std::fputs(" ", stdout);
}
