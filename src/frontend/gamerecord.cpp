// The game's positions since its start: take-backs, the search's repetition
// record and the results the rules of chess let an engine claim.
#include <algorithm>
#include <cstring>

#include "frontend/frontend.h"

MoveHistory GameHistory;

namespace {

// One position of the game, as it stood before the move of its ply.
struct RecordedPosition {
    ChessBoard Board;
    int GamePly;
    Bitboard Upper, Lower; // hash code: pieces, side to move, castling rights
    int EnPassantFile;     // file of a legal en passant capture, -1 for none
};

// Longer games drop their oldest positions: they can no longer be taken
// back, and no repetition reaches that far behind the last pawn move.
constexpr int RecordCapacity = 1024;

// The search adds up to a line's length to the repetition record.
constexpr int RepetitionEntries = GameRecordLength - MaxSearchPly - 1;

RecordedPosition Record[RecordCapacity];
int RecordCount = 0;

// Positions that differ only in a pawn that may be taken en passant are
// different positions for the repetition rule.
int EnPassantFileOf(const ChessBoard& board) {
    GameMove moves[MoveList::MaxMoves];
    const int count = GenerateLegalMoves(board, moves);
    const Bitboard pawns = board.SideToMove == White ? board.WPawns : board.BPawns;
    for (int i = 0; i < count; ++i) {
        const GameMove& m = moves[i];
        if ((m.From & pawns) && !(m.To & board.AllPieces) &&
            FileOf(LowestSquare(m.From)) != FileOf(LowestSquare(m.To)))
            return FileOf(LowestSquare(m.To));
    }
    return -1;
}

void RecordCurrentPosition() {
    if (RecordCount == RecordCapacity) {
        std::move(Record + 1, Record + RecordCapacity, Record);
        --RecordCount;
    }
    RecordedPosition& entry = Record[RecordCount++];
    entry.Board = MainBoard;
    entry.GamePly = Settings.Game.GamePly;
    genhashcode(MainBoard.SideToMove, MainBoard.CastleFlags, &entry.Upper, &entry.Lower,
                &MainBoard);
    entry.EnPassantFile = EnPassantFileOf(MainBoard);
}

bool InsufficientMaterial(const ChessBoard& b) {
    if (b.WPawns | b.BPawns | b.WRooks | b.BRooks | b.WQueens | b.BQueens) return false;
    const Bitboard minors = b.WKnights | b.BKnights | b.WBishops | b.BBishops;
    if (PopCount(minors) <= 1) return true;
    // Bishops that all run on squares of one colour can never give mate.
    const Bitboard bishops = b.WBishops | b.BBishops;
    return minors == bishops && (!(bishops & LightSquares) || !(bishops & DarkSquares));
}

// Earlier occurrences of the current position since the last capture or
// pawn move.
int Repetitions() {
    const RecordedPosition& now = Record[RecordCount - 1];
    const int reach = std::min(now.Board.FiftyMoveCount, RecordCount - 1);
    int count = 0;
    for (int back = 2; back <= reach; back += 2) {
        const RecordedPosition& then = Record[RecordCount - 1 - back];
        count += then.Upper == now.Upper && then.Lower == now.Lower &&
                 then.EnPassantFile == now.EnPassantFile;
    }
    return count;
}

} // namespace

void StartGameRecord() {
    RecordCount = 0;
    RecordCurrentPosition();
    SyncRepetitionRecord(true);
}

void PlayGameMove(const GameMove& move) {
    MainBoard = PositionAfter(MainBoard, move);
    ++Settings.Game.GamePly;
    RecordCurrentPosition();
    SyncRepetitionRecord(true);
}

bool TakeBackMoves(int plies) {
    if (plies < 1 || plies >= RecordCount) return false;
    RecordCount -= plies;
    MainBoard = Record[RecordCount - 1].Board;
    Settings.Game.GamePly = Record[RecordCount - 1].GamePly;
    SyncRepetitionRecord(true);
    return true;
}

void SyncRepetitionRecord(bool withCurrent) {
    const int end = RecordCount - (withCurrent ? 0 : 1);
    const int first = std::max(end - RepetitionEntries, 0);
    GameHistory.Init();
    for (int i = first; i < end; ++i)
        GameHistory.InsertHashCodeMoveHistory(Record[i].Upper, Record[i].Lower);
}

GameVerdict JudgeGame() {
    GameMove moves[MoveList::MaxMoves];
    const ChessBoard& board = MainBoard;
    if (GenerateLegalMoves(board, moves) == 0) {
        const int side = board.SideToMove;
        if (!board.InCheck(side == White ? board.WKing : board.BKing, side)) return Stalemate;
        return side == White ? BlackMates : WhiteMates;
    }
    if (InsufficientMaterial(board)) return DrawByMaterial;
    if (board.FiftyMoveCount >= 100) return DrawByFiftyMoves;
    if (RecordCount > 0 && Repetitions() >= 2) return DrawByRepetition;
    return GameGoesOn;
}
