// The position record and everything that reads or changes a position without
// searching it: square geometry, attack sets, making moves, FEN text, draw
// rules and hash codes.
#pragma once

#include <cstdint>
#include <cstdio>

using Bitboard = uint64_t;

// ---------------------------------------------------------------------------
// Squares, colours, pieces
// ---------------------------------------------------------------------------

// a1 = 0, h1 = 7, a8 = 56, h8 = 63; bit s of a bitboard is square s.
// clang-format off
enum Square : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};
// clang-format on

constexpr int White = 0;
constexpr int Black = 1;

// Piece codes of the hash tables, promotions and the book; Black adds 6.
constexpr int PawnCode = 0;
constexpr int KnightCode = 1;
constexpr int BishopCode = 2;
constexpr int RookCode = 3;
constexpr int QueenCode = 4;
constexpr int KingCode = 5;
constexpr int BlackCodeOffset = 6;

// Castling-rights bits.
constexpr int WhiteKingSide = 1;
constexpr int WhiteQueenSide = 2;
constexpr int BlackKingSide = 4;
constexpr int BlackQueenSide = 8;
constexpr int AllCastling = 15;
// A right's bit is 1 << its index; the index picks the right's rook in
// ChessBoard::CastleRookSquare.
constexpr int CastlingIndex[2][2] = {{0, 1}, {2, 3}}; // [colour][king side 0, queen side 1]
// The rooks of the rights in standard chess, by castling index.
constexpr int StandardCastleRookSquare[4] = {H1, A1, H8, A8};

// Promotion byte of a move-list entry that is not a promotion.
constexpr char NoPromotion = static_cast<char>(236);

// Material values in tenths of a centipawn.
constexpr int PawnValue = 800;
constexpr int KnightValue = 3250;
constexpr int BishopValue = 3250;
constexpr int RookValue = 5000;
constexpr int QueenValue = 9750;

constexpr int FileOf(int s) { return s & 7; }
constexpr int RankOf(int s) { return s >> 3; }
constexpr bool IsSquare(int s) { return s >= 0 && s < 64; }
constexpr Bitboard Bit(int s) { return Bitboard(1) << s; }

// ---------------------------------------------------------------------------
// Constant masks, shared by the board, the draw rules and the evaluation
// ---------------------------------------------------------------------------

constexpr Bitboard FileMask[8] = {
    0x0101010101010101ULL, 0x0202020202020202ULL, 0x0404040404040404ULL, 0x0808080808080808ULL,
    0x1010101010101010ULL, 0x2020202020202020ULL, 0x4040404040404040ULL, 0x8080808080808080ULL,
};
constexpr Bitboard RankMask[8] = {
    0x00000000000000FFULL, 0x000000000000FF00ULL, 0x0000000000FF0000ULL, 0x00000000FF000000ULL,
    0x000000FF00000000ULL, 0x0000FF0000000000ULL, 0x00FF000000000000ULL, 0xFF00000000000000ULL,
};
constexpr Bitboard FilesGH = FileMask[6] | FileMask[7];
constexpr Bitboard FilesAB = FileMask[0] | FileMask[1];
constexpr Bitboard FilesFGH = FileMask[5] | FilesGH;
constexpr Bitboard FilesABC = FilesAB | FileMask[2];

// Six-square diagonals beside the long diagonals: h2-c7, g2-b7, f2-a7, c2-h7, b2-g7, a2-f7.
constexpr Bitboard DiagonalOfSix(int from, int step) {
    Bitboard b = 0;
    for (int i = 0; i < 6; ++i) b |= Bit(from + i * step);
    return b;
}
constexpr Bitboard KingDiagonals[6] = {
    DiagonalOfSix(H2, 7), DiagonalOfSix(G2, 7), DiagonalOfSix(F2, 7),
    DiagonalOfSix(C2, 9), DiagonalOfSix(B2, 9), DiagonalOfSix(A2, 9),
};

constexpr Bitboard LightSquares = 0x55AA55AA55AA55AAULL; // h1 and a8 are light
constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ULL;
constexpr Bitboard Corners = Bit(A1) | Bit(H1) | Bit(A8) | Bit(H8);
constexpr Bitboard WhiteHalf = 0x00000000FFFFFFFFULL;
constexpr Bitboard BlackHalf = 0xFFFFFFFF00000000ULL;

// Single squares named by the trapped-piece patterns and the wrong-bishop draws.
constexpr Bitboard SqH8 = Bit(H8), SqH7 = Bit(H7), SqF7 = Bit(F7), SqG7 = Bit(G7);
constexpr Bitboard SqH6 = Bit(H6), SqF6 = Bit(F6), SqG6 = Bit(G6), SqA8 = Bit(A8);
constexpr Bitboard SqA7 = Bit(A7), SqC7 = Bit(C7), SqA6 = Bit(A6), SqB7 = Bit(B7);
constexpr Bitboard SqC6 = Bit(C6), SqB6 = Bit(B6), SqH1 = Bit(H1), SqH2 = Bit(H2);
constexpr Bitboard SqF2 = Bit(F2), SqG2 = Bit(G2), SqH3 = Bit(H3), SqF3 = Bit(F3);
constexpr Bitboard SqG3 = Bit(G3), SqA1 = Bit(A1), SqA2 = Bit(A2), SqC2 = Bit(C2);
constexpr Bitboard SqB2 = Bit(B2), SqA3 = Bit(A3), SqC3 = Bit(C3), SqB3 = Bit(B3);
constexpr Bitboard SqB8 = Bit(B8), SqG8 = Bit(G8), SqB1 = Bit(B1), SqG1 = Bit(G1);

// ---------------------------------------------------------------------------
// Bit operations
// ---------------------------------------------------------------------------

// Index of the highest set bit; b must not be 0.
inline int BSR(Bitboard b) { return 63 - __builtin_clzll(b); }
// Index of the highest set bit, -1 for 0.
inline int MyLog2(Bitboard b) { return b ? BSR(b) : -1; }
inline int PopCount(Bitboard b) { return __builtin_popcountll(b); }
inline int LowestSquare(Bitboard b) { return __builtin_ctzll(b); }
inline Bitboard LowestBit(Bitboard b) { return b & (0 - b); }

// The 8 x 8 frame of the board displays, ranks 8 to 1; cell(square) prints a square.
template <typename Cell> void DisplayGrid(Cell cell) {
    std::printf("   A B C D E F G H\n\n");
    for (int rank = 7; rank >= 0; --rank) {
        std::printf("%d  ", rank + 1);
        for (int file = 0; file < 8; ++file) cell(rank * 8 + file);
        std::printf(" %d\n", rank + 1);
    }
    std::printf("\n   A B C D E F G H\n");
}

int MybitScanForward(Bitboard b);
int SimpleBitCount(Bitboard b);
void DisplayBit(int index, Bitboard b);
void Displaybits(Bitboard b);

// ---------------------------------------------------------------------------
// The position record
// ---------------------------------------------------------------------------

// Result codes of CheckDraw.
constexpr int NoDraw = 0;
constexpr int FiftyMoveDraw = 7;
constexpr int MaterialDraw = 8;

// DrawFlags bits: the side may still have mating material.
constexpr uint8_t WhiteCanMate = 1;
constexpr uint8_t BlackCanMate = 32;

// A plain value, copied for every move the search makes (copy-make): no
// pointers and no undo area, so that a child is its parent's copy with one
// move made on it. Square arguments of the members are one-bit bitboards.
class ChessBoard {
  public:
    Bitboard WhitePieces, BlackPieces, AllPieces;
    Bitboard WPawns, WBishops, WKnights, WRooks, WQueens, WKing;
    Bitboard BPawns, BBishops, BKnights, BRooks, BQueens, BKing;
    Bitboard LastFrom, LastTo;
    // The hash code's part that the pieces give (genpiecehashcode).
    Bitboard PieceKeyUpper, PieceKeyLower;
    int32_t WhitePieceTotal, BlackPieceTotal;
    int32_t WQueenCount, WRookCount, WBishopCount, WKnightCount, WPawnCount;
    int32_t BQueenCount, BRookCount, BBishopCount, BKnightCount, BPawnCount;
    int32_t FiftyMoveCount;
    uint32_t PawnKingKey;
    uint8_t CastleFlags;
    int8_t SideToMove;
    uint8_t DrawFlags;
    // The start square of each castling right's rook, by the right's index:
    // the corners in standard chess, any square of the back rank on that
    // side of the king in Chess960. A right not held has its corner here, so
    // that the squares (which enter the hash code) are the same for every
    // position of a game.
    uint8_t CastleRookSquare[4];
    // Castling is written as the king taking its own rook (Chess960) rather
    // than as the king's two-file step from e1 or e8 (standard chess).
    uint8_t Chess960;

    // The bitboard of a piece code (0..11).
    Bitboard& PieceBits(int code);
    Bitboard PieceBits(int code) const;

    void InitRep();
    void ClearField();
    // The rights' rooks on the corners, castling written as in standard chess.
    void SetStandardCastling();
    void InitPieceCounts();
    // The totals as sums of the counts (MakeMove keeps them; nothing else does).
    void SumPieceTotals() {
        WhitePieceTotal = WQueenCount + WRookCount + WBishopCount + WKnightCount + WPawnCount;
        BlackPieceTotal = BQueenCount + BRookCount + BBishopCount + BKnightCount + BPawnCount;
    }
    // Counts, totals, draw flags, the pawn-and-king key and the hash code's
    // piece part fresh from the bitboards: what a board set up from text or
    // by the start-up reset, or shown to the user, must carry to be
    // evaluated and searched right.
    void RefreshMaterial();

    bool IsKing(int colour, Bitboard s) const { return (colour ? BKing : WKing) & s; }
    bool IsPawn(int colour, Bitboard s) const { return (colour ? BPawns : WPawns) & s; }
    bool IsBishop(int colour, Bitboard s) const { return (colour ? BBishops : WBishops) & s; }
    bool IsKnight(int colour, Bitboard s) const { return (colour ? BKnights : WKnights) & s; }
    bool IsRook(int colour, Bitboard s) const { return (colour ? BRooks : WRooks) & s; }
    bool IsQueen(int colour, Bitboard s) const { return (colour ? BQueens : WQueens) & s; }
    bool IsEmptySquare(Bitboard s) const { return !(AllPieces & s); }
    int PieceColor(Bitboard s) const { return (WhitePieces & s) ? White : Black; }
    int QuickPieceCount(int) const {
        return WQueenCount + WRookCount + WBishopCount + WKnightCount + BQueenCount + BRookCount +
               BBishopCount + BKnightCount;
    }
    int QuickPawnCount(int colour) const { return colour ? BPawnCount : WPawnCount; }

    void DisplayPiece(int square) const;

    // Attack sets (attacks.h). Sliding sets include the first blocker of each ray.
    Bitboard KnightMask(Bitboard s) const;
    Bitboard KingMask(Bitboard s) const;
    Bitboard BishopMask(Bitboard s) const;
    Bitboard RookMask(Bitboard s) const;
    Bitboard BishopCheckMask(Bitboard s, Bitboard target) const;
    Bitboard RookCheckMask(Bitboard s, Bitboard target) const;
    int InCheck(Bitboard s, int colour) const;
    int IsAttacked(Bitboard s, int colour) const { return InCheck(s, colour); }
    Bitboard NorthAttacks(Bitboard gen, Bitboard empty) const;
    Bitboard SouthAttacks(Bitboard gen, Bitboard empty) const;
    int RookAttackCount(Bitboard s) const;

    // Making moves (makemove.cpp). `promo` is a promotion letter or anything
    // else for none; the castling rights the move keeps go to *castleMask.
    void MakeMove(Bitboard from, Bitboard to, char promo, uint8_t* castleMask);
    void Promote(int colour, Bitboard square, int pieceCode);
    void DropPawn(int colour, Bitboard square);
    bool PawnOn7th(int colour) const;

    // Draw rules (draw.cpp).
    int CheckDraw(char);
    bool Test50MoveRule(int from, int to);
};

extern ChessBoard MainBoard;

// Piece bitboards in piece-code order (bishops follow knights here, unlike the record).
constexpr Bitboard ChessBoard::*PieceMembers[12] = {
    &ChessBoard::WPawns,   &ChessBoard::WKnights, &ChessBoard::WBishops, &ChessBoard::WRooks,
    &ChessBoard::WQueens,  &ChessBoard::WKing,    &ChessBoard::BPawns,   &ChessBoard::BKnights,
    &ChessBoard::BBishops, &ChessBoard::BRooks,   &ChessBoard::BQueens,  &ChessBoard::BKing,
};
inline Bitboard& ChessBoard::PieceBits(int code) { return this->*PieceMembers[code]; }
inline Bitboard ChessBoard::PieceBits(int code) const { return this->*PieceMembers[code]; }

// The record agrees with itself: occupancy sets are the unions of the piece
// sets, no square holds two pieces, one king per side, and the counts and
// totals match the bitboards (so only for boards whose counts were set up).
bool BoardIsConsistent(const ChessBoard& board);
// BoardIsConsistent, and the pawn-and-king key and the hash code's piece
// part are the ones the pieces give.
bool BoardAndKeyAreConsistent(const ChessBoard& board);

// Piece code (0..11) of the piece on square s, -1 when empty.
int PieceCodeOn(const ChessBoard& board, int s);

// Whether the move from-to of `board` castles: its king takes its own rook
// (Chess960) or steps two files (standard chess).
inline bool IsCastling(const ChessBoard& board, Bitboard from, Bitboard to) {
    if (!(from & (board.WKing | board.BKing))) return false;
    const Bitboard own = (from & board.WhitePieces) ? board.WhitePieces : board.BlackPieces;
    return (to & own) || to == from << 2 || to == from >> 2;
}
// Where the king of the castling move from-to ends: g1 or c1 (g8, c8).
inline int CastlingKingTarget(Bitboard from, Bitboard to) {
    return (LowestSquare(from) & ~7) + (to > from ? 6 : 2);
}

// ---------------------------------------------------------------------------
// Position text
// ---------------------------------------------------------------------------

// Result codes of SetupBoard: the position was set up, or it cannot be played
// and MainBoard keeps the previous one.
enum SetupResult : int {
    SetupOk = 0,
    SetupBadKings,         // a side without exactly one king
    SetupOffBoard,         // a piece past the end of a rank or below rank 1
    SetupPawnOnBackRank,   // a pawn on rank 1 or rank 8
    SetupOpponentInCheck,  // the side not to move is in check
    SetupCastlingNoRook,   // a castling letter with no rook of its colour where it points
    SetupCastlingKingAway, // a castling letter of a king that is not on its first rank
    SetupCastlingOneSide,  // two castling rooks on one side of the king
    SetupCastlingLetter,   // a character that is no castling letter
    SetupCastlingNeeds960, // castling that only Chess960 has, under the standard rules
};

// How the castling field of a FEN is read. Standard: K, Q, k and q (and the
// corner files H, A, h and a) with the king on e1 or e8 and the rook in the
// corner; a letter whose king or rook is missing is dropped. Chess960: K and Q
// name the outermost rook on that side of the king, a file letter the rook
// on that file (X-FEN and Shredder-FEN); a letter that names no such rook
// refuses the position, and every castling is written as the king taking
// its rook.
enum class CastlingRules { Standard, Chess960 };

// Sets MainBoard up from `fen`.
int SetupBoard(const char* fen, CastlingRules rules = CastlingRules::Standard);
// Sets *board up from `fen`; a refused position leaves it as it was.
int SetupPosition(ChessBoard* board, const char* fen, CastlingRules rules);
// What a refused position lacks, in words ("a side without exactly one king").
const char* SetupResultText(int result);
// Loads the first line of a file, by the standard rules or, when its
// castling needs them, by those of Chess960; ends the program when it
// cannot (exit 1, or 0 for an empty file) or when the position is refused
// (exit 1).
void LoadPositionFile(const char* path);
char DecodePiece(Bitboard square, const ChessBoard& board);
// The castling field of `board` in X-FEN: K, Q, k and q for the outermost
// rook on that side of the king, the rook's file letter for another one, "-"
// for none.
void CastleRights(char* out, const ChessBoard& board);
void pos2fenString(const ChessBoard& board, char* out);
void pos2fen(const ChessBoard& board, int n);

constexpr char files[] = "abcdefgh";

// A move of the game: its squares and a promotion letter (NoPromotion for none).
struct GameMove {
    Bitboard From, To;
    char Promo;
};

// The position after `move` of the side to move of `board`, the other side
// to move and the castling rights the move keeps: what a game's next move is
// generated from.
ChessBoard PositionAfter(const ChessBoard& board, const GameMove& move);

// A move as the search keeps it: from-square index * 64 + to-square index,
// and the promotion byte of its move-list entry.
struct PVEntry {
    int16_t Move;
    char Promo;
};
inline int MoveCode(Bitboard from, Bitboard to) {
    return LowestSquare(from) * 64 + LowestSquare(to);
}
// The move a stored entry stands for.
inline GameMove GameMoveOf(const PVEntry& entry) {
    return GameMove{Bit((entry.Move >> 6) & 63), Bit(entry.Move & 63), entry.Promo};
}

// What an interface reads after a promotion's squares: the lower-case piece
// letter of a promotion letter in either case, "" for anything else (the
// move lists' NoPromotion byte included).
const char* PromotionSuffix(char promo);

// Longest text fillmovestring writes: a move, the continuation, newline, NUL.
constexpr int MaxPVText = 8 + 6 * 200 + 2;

// Writes " e2e4 " and a newline. A promotion piece code (1..4 or 7..10) puts
// its letter and a semicolon in place of the last blank; a promotion letter
// (a move-list entry's 'Q', say) puts the lower-case letter before it. When
// `pv` holds at least two moves, the moves after the first follow, each with
// its promotion letter and a blank.
void fillmovestring(char* out, int from, int to, int promo, const PVEntry* pv = nullptr,
                    int pvLength = 0);

// ---------------------------------------------------------------------------
// Hash codes
// ---------------------------------------------------------------------------

extern Bitboard LPStable[12][64];
extern Bitboard UPStable[12][64];
extern Bitboard CastleCode[16];
// By castling index and the file of a right's rook: the codes of the rooks
// that are not on their corner (Chess960), in the hash code's piece part.
extern Bitboard CastleRookCode[4][8];
extern Bitboard WtoMove;
extern Bitboard BtoMove;

uint32_t BetterRandom32();
void initPStable();
void genhashcode(int side, int castleFlags, Bitboard* upper, Bitboard* lower,
                 const ChessBoard* board);
// The part of the hash code that the pieces on their squares give, with the
// castling rooks' start squares of Chess960 (the same for every position of
// a game), which MakeMove keeps up to date in the board.
void genpiecehashcode(const ChessBoard& board, Bitboard* upper, Bitboard* lower);
// The part of the hash code that the side to move and the castling rights
// give; both halves of the code take it.
inline Bitboard SideAndCastleCode(int side, int castleFlags) {
    return (side ? BtoMove : WtoMove) ^ CastleCode[castleFlags & AllCastling];
}
// The hash code of a board whose piece part is current, with `side` to move
// and those castling rights: genhashcode's result without its walk over the
// pieces.
inline void BoardHashCode(int side, int castleFlags, const ChessBoard& board, Bitboard* upper,
                          Bitboard* lower) {
    const Bitboard rest = SideAndCastleCode(side, castleFlags);
    *upper = board.PieceKeyUpper ^ rest;
    *lower = board.PieceKeyLower ^ rest;
}
// The pawn-and-king key: every pawn and both kings on their squares, the key
// that MakeMove keeps and the pawn hash is addressed by. The first argument
// is not read.
void genpawnhashcode(int side, const ChessBoard& board, uint32_t* code);

#include "board/attacks.h" // IWYU pragma: export
