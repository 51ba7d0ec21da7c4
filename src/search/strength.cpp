// Levels below full strength: the level's parameters, the guard rails at
// the root (a mate in one is played, a mate in one against Vorn parried),
// and the choice among the root's best lines.
#include "search/strength.h"

#include <algorithm>
#include <cmath>

#include "search/search.h"

namespace {

// The weakest level and the strongest one below full strength, between
// which every parameter moves geometrically with the Elo (the lines
// linearly). Halving the nodes costs a search about the same strength at
// every depth, so the budget is exponential in the Elo.
constexpr double WeakestNodes = 1500, StrongestNodes = 300000;
constexpr double WeakestLines = 6, StrongestLines = 3;
// Scores are tenths of a centipawn: a pawn is 800.
constexpr double WeakestSpread = 1200, StrongestSpread = 60;
constexpr double WeakestMargin = 4000, StrongestMargin = 300;
// From this level on no piece is left hanging.
constexpr int PieceGuardElo = 1800;
// A piece given for less than about two pawns is left hanging (a rook for
// a minor piece is an exchange, not a hanging piece).
constexpr int HangingExposure = 2000;

bool IsCheckmated(const ChessBoard& board) {
    const int side = board.SideToMove;
    if (!board.InCheck(side == White ? board.WKing : board.BKing, side)) return false;
    MoveList list;
    return list.GenerateLegalMoves(&board) == 0;
}

bool AllowsMateInOne(const ChessBoard& board, const GameMove& move) {
    const ChessBoard after = PositionAfter(board, move);
    MoveList replies;
    const int count = replies.GenerateLegalMoves(&after);
    for (int i = 0; i < count; ++i)
        if (IsCheckmated(PositionAfter(after, {replies.From[i], replies.To[i], replies.Promo[i]})))
            return true;
    return false;
}

// What the move leaves the opponent to win by an exchange on one of the
// mover's pieces (pawns and the king aside), less what the move captured:
// a piece left hanging shows as its value, a trade as nothing.
int ExchangeExposure(const ChessBoard& board, const GameMove& move) {
    const int side = board.SideToMove;
    const int captured = ValueCapturedPiece(side, move.To, board);
    const ChessBoard after = PositionAfter(board, move);
    const Bitboard pieces = side == White
                                ? after.WKnights | after.WBishops | after.WRooks | after.WQueens
                                : after.BKnights | after.BBishops | after.BRooks | after.BQueens;
    MoveList replies;
    const int count = replies.GenerateLegalMoves(&after);
    const ExchangeEvaluator exchange(after);
    int won = 0;
    for (int i = 0; i < count; ++i)
        if (replies.To[i] & pieces)
            won = std::max(won,
                           exchange.StaticExchangeEvaluation(side, replies.From[i], replies.To[i]));
    return won - captured;
}

// A well-mixed 64-bit value of `x` (SplitMix64's finaliser).
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

StrengthLevel LevelOf(int elo) {
    StrengthLevel level;
    if (elo <= 0 || elo >= FullStrengthElo) return level;
    const double t =
        double(std::max(elo, MinStrengthElo) - MinStrengthElo) / (FullStrengthElo - MinStrengthElo);
    const auto between = [t](double weakest, double strongest) {
        return weakest * std::pow(strongest / weakest, t);
    };
    level.Active = true;
    level.Nodes = std::llround(between(WeakestNodes, StrongestNodes));
    level.Lines = static_cast<int>(std::lround(WeakestLines + (StrongestLines - WeakestLines) * t));
    level.Spread = static_cast<int>(std::lround(between(WeakestSpread, StrongestSpread)));
    level.Margin = static_cast<int>(std::lround(between(WeakestMargin, StrongestMargin)));
    level.KeepsPieces = elo >= PieceGuardElo;
    return level;
}

bool SearchWorker::PrepareLevel(const ChessBoard& board) {
    const SearchRequest& request = Request();
    Level = request.Analyze || request.Mate ? StrengthLevel{} : LevelOf(request.StrengthElo);
    NodeLimit = request.Nodes;
    LevelMate = GameMove{0, 0, NoPromotion};
    if (!Level.Active) return false;
    if (NodeLimit == 0 || Level.Nodes < NodeLimit) NodeLimit = Level.Nodes;

    MoveList list;
    const int count = list.GenerateLegalMoves(&board);
    bool allowsMate[MoveList::MaxMoves] = {};
    int parrying = 0;
    for (int i = 0; i < count; ++i) {
        const GameMove move{list.From[i], list.To[i], list.Promo[i]};
        if (!SearchesRootMove(MoveCode(move.From, move.To))) continue;
        if (IsCheckmated(PositionAfter(board, move))) {
            LevelMate = move;
            return true;
        }
        allowsMate[i] = AllowsMateInOne(board, move);
        if (!allowsMate[i]) ++parrying;
    }
    // Moves that allow a mate in one are left out while another parries it.
    if (parrying > 0)
        for (int i = 0; i < count; ++i)
            if (allowsMate[i])
                BarredMoves[BarredCount++] =
                    static_cast<int16_t>(MoveCode(list.From[i], list.To[i]));
    return false;
}

int SearchWorker::ChooseLevelLine(const ChessBoard& board) const {
    const int best = Lines[0].Score;
    // A mate either way is played out as the search found it.
    if (IsMateScore(best)) return 0;
    const int bestExposure =
        Level.KeepsPieces ? ExchangeExposure(board, GameMoveOf(Lines[0].Moves[0])) : 0;
    double weights[MaxMultiPV] = {1};
    double total = 1;
    for (int k = 1; k < LineCount; ++k) {
        const int loss = std::max(best - Lines[k].Score, 0);
        if (loss > Level.Margin || IsMateScore(Lines[k].Score)) continue;
        if (Level.KeepsPieces) {
            const int exposure = ExchangeExposure(board, GameMoveOf(Lines[k].Moves[0]));
            if (exposure >= HangingExposure && exposure > bestExposure) continue;
        }
        weights[k] = std::exp(-double(loss) / Level.Spread);
        total += weights[k];
    }
    // The same seed picks the same move in the same position at the same ply.
    Bitboard upper, lower;
    genhashcode(board.SideToMove, board.CastleFlags, &upper, &lower, &board);
    const SearchRequest& request = Request();
    const uint64_t draw = Mix(request.StrengthSeed ^ Mix(upper ^ Mix(lower ^ request.GamePly)));
    double point = double(draw >> 11) * 0x1.0p-53 * total;
    for (int k = 0; k < LineCount; ++k) {
        if (point < weights[k]) return k;
        point -= weights[k];
    }
    return 0;
}

GameMove SearchWorker::LevelMove(const ChessBoard& board, GameMove move, int* score) {
    if (LevelMate.From) {
        PV[0][0] =
            PVEntry{static_cast<int16_t>(MoveCode(LevelMate.From, LevelMate.To)), LevelMate.Promo};
        RootPVLength = 1;
        *score = MateValue - 1;
        return LevelMate;
    }
    const int k = LineCount > 1 ? ChooseLevelLine(board) : 0;
    // The best line's move is the search's answer (which a stop may have
    // left on a move of the unfinished depth).
    if (k == 0) return move;
    const RootLine& line = Lines[k];
    std::copy(line.Moves, line.Moves + line.Length, PV[0]);
    RootPVLength = line.Length;
    *score = line.Score;
    return GameMoveOf(line.Moves[0]);
}
