// The quiescence search: captures and promotions at the horizon until the
// side to move has nothing profitable left, then the static evaluation.
#include <cassert>

#include "eval/eval.h"
#include "search/search.h"

int SearchWorker::Quiesce(int side, int alpha, int beta, ChessBoard& board, int ply) {
    ++QuiesceNodes;
    --NodesToPoll;
    if (ply > SelDepth) SelDepth = ply;
    if (board.CheckDraw(0) != NoDraw) return 0;

    // Stand pat: the side to move need not capture.
    const int eval = Eval.PosEval(side, alpha, beta, &board);
    if (eval >= beta) return eval;
    if (eval > alpha) alpha = eval;
    int best = eval;

    const Bitboard opponentKing = side == White ? board.BKing : board.WKing;
    MoveList list;
    const int count = list.GenerateQuiesceMoves(side, &board);
    list.QuiesceAssignMoveOrderValues(count);
    if (count == 0) return best;

    for (int i = 0; i < count && best < beta; ++i) {
        Bitboard from, to;
        char promotion;
        list.NextMove(i, count, &from, &to, &promotion);
        // Quiet pawn moves come last (en passant among them): the captures are done.
        if ((to & board.AllPieces) == 0 && promotion == NoPromotion) return best;
        // The move that led here left the king en prise.
        if (to & opponentKing) return beta;
        // A capture of a lesser piece must not lose material in the exchange.
        if (ValueCapturedPiece(side, to, board) < ValueCapturedPiece(side ^ 1, from, board) &&
            ExchangeEvaluator(board).StaticExchangeEvaluation(side ^ 1, from, to) < 0)
            continue;
        uint8_t castleMask;
        ChessBoard child = board;
        child.MakeMove(from, to, promotion, &castleMask);
        assert(BoardAndKeyAreConsistent(child));
        Eval.PawnTable.Prefetch(child.PawnKingKey);
        if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
        const int score = -Quiesce(side ^ 1, -beta, -alpha, child, ply + 1);
        if (score > best) {
            best = score;
            if (score > alpha) alpha = score;
        }
    }
    return best;
}
