// The game's positions since its start: take-backs, the search's repetition
// record and the results the rules of chess let an engine claim.
#include <algorithm>

#include "frontend/frontend.h"

MoveHistory GameHistory;

namespace {

// The search adds up to a line's length to the repetition record.
constexpr int RepetitionEntries = GameRecordLength - MaxSearchPly - 1;

// The game of MainBoard, which the protocols play.
GameRecord MainGame;

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

bool InsufficientMaterial(const ChessBoard& b) {
    if (b.WPawns | b.BPawns | b.WRooks | b.BRooks | b.WQueens | b.BQueens) return false;
    const Bitboard minors = b.WKnights | b.BKnights | b.WBishops | b.BBishops;
    if (PopCount(minors) <= 1) return true;
    // Bishops that all run on squares of one colour can never give mate.
    const Bitboard bishops = b.WBishops | b.BBishops;
    return minors == bishops && (!(bishops & LightSquares) || !(bishops & DarkSquares));
}

} // namespace

void GameRecord::Start(const ChessBoard& board, int gamePly) {
    Count = 0;
    Add(board, gamePly);
}

void GameRecord::Add(const ChessBoard& board, int gamePly) {
    if (Count == Capacity) {
        std::move(Positions + 1, Positions + Capacity, Positions);
        --Count;
    }
    RecordedPosition& entry = Positions[Count++];
    entry.Board = board;
    entry.GamePly = gamePly;
    genhashcode(board.SideToMove, board.CastleFlags, &entry.Upper, &entry.Lower, &board);
    entry.EnPassantFile = EnPassantFileOf(board);
}

bool GameRecord::TakeBack(int plies) {
    if (plies < 1 || plies >= Count) return false;
    Count -= plies;
    return true;
}

void GameRecord::FillHistory(MoveHistory* history, bool withCurrent) const {
    const int end = Count - (withCurrent ? 0 : 1);
    const int first = std::max(end - RepetitionEntries, 0);
    history->Init();
    for (int i = first; i < end; ++i)
        history->InsertHashCodeMoveHistory(Positions[i].Upper, Positions[i].Lower);
}

int GameRecord::Repetitions() const {
    const RecordedPosition& now = Positions[Count - 1];
    const int reach = std::min(now.Board.FiftyMoveCount, Count - 1);
    int count = 0;
    for (int back = 2; back <= reach; back += 2) {
        const RecordedPosition& then = Positions[Count - 1 - back];
        count += then.Upper == now.Upper && then.Lower == now.Lower &&
                 then.EnPassantFile == now.EnPassantFile;
    }
    return count;
}

GameVerdict GameRecord::Judge(const ChessBoard& board) const {
    GameMove moves[MoveList::MaxMoves];
    if (GenerateLegalMoves(board, moves) == 0) {
        const int side = board.SideToMove;
        if (!board.InCheck(side == White ? board.WKing : board.BKing, side)) return Stalemate;
        return side == White ? BlackMates : WhiteMates;
    }
    if (InsufficientMaterial(board)) return DrawByMaterial;
    if (board.FiftyMoveCount >= 100) return DrawByFiftyMoves;
    if (Count > 0 && Repetitions() >= 2) return DrawByRepetition;
    return GameGoesOn;
}

void StartGameRecord() {
    MainGame.Start(MainBoard, Settings.Game.GamePly);
    SyncRepetitionRecord(true);
}

void PlayGameMove(const GameMove& move) {
    MainBoard = PositionAfter(MainBoard, move);
    ++Settings.Game.GamePly;
    MainGame.Add(MainBoard, Settings.Game.GamePly);
    SyncRepetitionRecord(true);
}

bool TakeBackMoves(int plies) {
    if (!MainGame.TakeBack(plies)) return false;
    MainBoard = MainGame.Current();
    Settings.Game.GamePly = MainGame.CurrentPly();
    SyncRepetitionRecord(true);
    return true;
}

void SyncRepetitionRecord(bool withCurrent) { MainGame.FillHistory(&GameHistory, withCurrent); }

GameVerdict JudgeGame() { return MainGame.Judge(MainBoard); }
