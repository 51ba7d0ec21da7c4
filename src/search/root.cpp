// The root search: one iteration over the root moves, the best move and its
// line, the progress lines, and the drop in score that earns more time.
#include <algorithm>
#include <cassert>
#include <functional>

#include "book/book.h"
#include "eval/eval.h"
#include "platform/platform.h"
#include "search/search.h"

namespace {

// The squares of a stored move.
Bitboard FromOf(const PVEntry& move) { return Bit((move.Move >> 6) & 63); }
Bitboard ToOf(const PVEntry& move) { return Bit(move.Move & 63); }

} // namespace

bool SearchWorker::SearchesRootMove(int code) const {
    const int16_t* excludedEnd = ExcludedMoves + ExcludedCount;
    if (std::find(ExcludedMoves, excludedEnd, code) != excludedEnd) return false;
    const int16_t* barredEnd = BarredMoves + BarredCount;
    if (std::find(BarredMoves, barredEnd, code) != barredEnd) return false;
    const SearchRequest& request = Request();
    if (request.SearchMoveCount == 0) return true;
    const int16_t* end = request.SearchMoves + request.SearchMoveCount;
    return std::find(request.SearchMoves, end, code) != end;
}

// An iteration stopped inside a root move: kind 1 during its reduced or
// zero-window search, kind 2 after its full search.
void SearchWorker::ReportInterruption(int kind, int depth, int index, int legal, int count,
                                      const GameMove& best) {
    if (Helper) return;
    Log("Tree Search #%d Interrupted at m=%d LegalMoves=%d NumMove=%d", kind, index, legal, count);
    Log("Tree Root Search Choice #1 From=%d  To=%d  Promo=%s", LowestSquare(best.From),
        LowestSquare(best.To), PromotionSuffix(best.Promo));
    char text[MaxPVText];
    LineText(text, best);
    Reporter().Log(text);
    // (Under MultiPV the driver shows the lines of completed passes only.)
    if (RootLineTarget > 1) return;
    LineReport line = ReportOf(depth, LastScore, text);
    line.Interruption = kind;
    line.MoveNumber = legal;
    Reporter().Line(LineEvent::Interrupted, line);
}

RootAnswer SearchWorker::SearchTreeRoot(ChessBoard board, int depth) {
    const int side = board.SideToMove, castleRights = board.CastleFlags;
    int alpha = -MateValue;
    const int beta = MateValue;
    const SearchRequest& request = Request();
    // The built-in book answers at the first iteration, without a search.
    if (!Helper && request.InternalBook && depth == 1) {
        Diagnostic("Look through the Opening Book\n");
        std::function<void(const char*)> trace;
        if (request.Trace) trace = [this](const char* text) { Diagnostic("%s", text); };
        const int index = InBook(side, castleRights, board, trace);
        if (index >= 0) {
            MoveList list;
            list.GenerateAllMoves(side, &board, castleRights);
            RootAnswer answer;
            list.GetMove(index, &answer.Move.From, &answer.Move.To, &answer.Move.Promo);
            BookMove = 1;
            Owner.Time.BookMovePlayed(request.GamePly);
            return answer;
        }
    }

    if (!Helper && ExcludedCount == 0) Reporter().IterationStarted(depth);

    // A root in the endgame tables needs no search. A root restricted to
    // some moves asks the search about those, whose nodes still probe. (The
    // main search answers from the tables and reports; helpers just search.)
    RootAnswer tableAnswer;
    if (!Helper && Tablebases.IsOn() && request.SearchMoveCount == 0 &&
        PlayTableMove(board, depth, &tableAnswer))
        return tableAnswer;

    // The previous iteration's move stands until this one finds a better one.
    GameMove best{FromOf(PV[0][0]), ToOf(PV[0][0]), PV[0][0].Promo};
    if (!Helper)
        Log("Init Tree Root Search Choice From=%d  To=%d  Promo=%s", LowestSquare(best.From),
            LowestSquare(best.To), PromotionSuffix(best.Promo));

    RunnerUp = WorstScore;
    Eval.PosEval(side, alpha, beta, &board);
    IterationDepth = depth;
    MoveList list;
    const int count = list.GenerateAllMoves(side, &board, castleRights);
    RootMoveCount = count;
    const Bitboard opponentKing = side == White ? board.BKing : board.WKing;
    const OrderHints hints{PV[0][0], {Killers[0][0], Killers[0][1]}, History};
    list.AssignMoveOrderValues(count, hints, opponentKing, 0, PVNode);
    const Bitboard opponentPieces = side == White ? board.BlackPieces : board.WhitePieces;

    int bestScore = WorstScore, legal = 0;
    for (int i = 0; i < count && bestScore < beta; ++i) {
        if (TimeUp) {
            if (!Helper)
                Log("Tree Root Search Interrupted at m=%d LegalMoves=%d NumMove=%d", i, legal,
                    count);
            break;
        }
        RootMoveIndex = i + 1;
        Bitboard moveFrom, moveTo;
        char movePromotion;
        uint8_t castleMask;
        list.NextMove(i, count, &moveFrom, &moveTo, &movePromotion);
        if (!SearchesRootMove(MoveCode(moveFrom, moveTo))) continue;
        ChessBoard child = board;
        child.MakeMove(moveFrom, moveTo, movePromotion, &castleMask);
        assert(BoardAndKeyAreConsistent(child));
        if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
        ++InteriorNodes;
        ++legal;
        // A search stopped before any move of the first iteration was judged
        // still has a legal move to play.
        if (PV[0][0].Move == 0 && legal == 1) best = GameMove{moveFrom, moveTo, movePromotion};

        if (!Helper && depth > 8 && NodeCount() > 3LL * Owner.Time.NodesPerSecond()) {
            const int from = LowestSquare(moveFrom), to = LowestSquare(moveTo);
            const char move[] = {files[FileOf(from)], static_cast<char>('1' + RankOf(from)),
                                 files[FileOf(to)], static_cast<char>('1' + RankOf(to)), '\0'};
            Reporter().CurrentMove(move, legal);
        }

        const int givesCheck =
            child.InCheck(side == White ? child.BKing : child.WKing, side ^ 1) ? 1 : 0;
        const bool captured =
            opponentPieces != (side == White ? child.BlackPieces : child.WhitePieces);
        const int childCastle = castleRights & castleMask;
        const SearchNode childNode{
            .Side = side ^ 1, .Ply = 1, .CastleRights = childCastle, .InCheck = givesCheck};

        int v;
        int interruption = 0;
        if (depth + givesCheck == 1) {
            v = -Quiesce(side ^ 1, -beta, -alpha, child, 1);
            if (StopSearch) interruption = 2;
        } else if (legal == 1) {
            v = -AlphaBeta(childNode.With(-beta, -alpha, depth - 1 + givesCheck, PVNode), child);
            if (StopSearch) interruption = 2;
        } else {
            const bool lateQuiet = movePromotion == NoPromotion && depth > 2 && legal > 2 &&
                                   !givesCheck && !captured && list.Order[i] <= 950 &&
                                   child.QuickPieceCount(side) > 2;
            bool mayRaiseAlpha = true;
            v = alpha;
            if (lateQuiet) {
                v = -AlphaBeta(childNode.With(-alpha - 1, -alpha, depth - 2, AllNode), child);
                if (StopSearch) interruption = 1;
                mayRaiseAlpha = v > alpha;
            }
            if (!interruption && mayRaiseAlpha) {
                v = -AlphaBeta(childNode.With(-alpha - 1, -alpha, depth - 1 + givesCheck, AllNode),
                               child);
                if (StopSearch) interruption = 1;
                if (!interruption && v > alpha && v < beta) {
                    v = -AlphaBeta(childNode.With(-beta, -alpha, depth - 1 + givesCheck, PVNode),
                                   child);
                    if (StopSearch) interruption = 2;
                }
            }
        }
        if (interruption) {
            ReportInterruption(interruption, depth, i, legal, count, best);
            return RootAnswer{v, best};
        }
        if (Abort) break;

        if (v > bestScore) {
            RunnerUp = bestScore;
            best = GameMove{moveFrom, moveTo, movePromotion};
            bestScore = v;
            // (The clock is the main thread's: an interface may update it
            // while helpers search.)
            if (!Helper && depth >= 10 && v + 200 < LastScore) {
                const MoveClock& clock = Owner.Time.ClockOfMove();
                if ((clock.MovesToGo == 0 || clock.MovesToGo > 2) &&
                    clock.TimeLeftMs / 4 >= clock.IncrementMs)
                    FailingLow = 1;
            }
            if (v > alpha) {
                ++BestChanges;
                PV[0][0] = PVEntry{static_cast<int16_t>(MoveCode(moveFrom, moveTo)), movePromotion};
                RootPVLength = PVLength[1];
                for (int p = 1; p < RootPVLength && p < MaxSearchPly; ++p) PV[0][p] = PV[1][p];
                alpha = v;
                if (Helper || RootLineTarget > 1) continue;
                char text[MaxPVText];
                LineText(text, best);
                if (depth > 7)
                    Log("ply %d  v %d  TimeLastPly %d  TotalNodes %lld  %s", depth, v, SecondsSpent,
                        static_cast<long long>(NodeCount()), text);
                Reporter().Line(LineEvent::NewBest, ReportOf(depth, v, text));
            }
        } else if (v > RunnerUp) {
            RunnerUp = v;
        }
    }

    const bool stopped = Abort || TimeUp || StopSearch;
    if (stopped && !Helper && !Pondering) {
        if (RootLineTarget <= 1) {
            char text[MaxPVText];
            LineText(text, best);
            Reporter().Line(LineEvent::Stopped, ReportOf(depth, bestScore, text));
        }
    }
    if (!Abort && !TimeUp) RootLegalMoves = legal;
    if (Abort || TimeUp || legal > 0) return RootAnswer{bestScore, best};
    if (board.InCheck(side == White ? board.WKing : board.BKing, side))
        return RootAnswer{-MateValue, best};
    if (board.InCheck(opponentKing, side ^ 1)) return RootAnswer{MateValue, best};
    return RootAnswer{StalemateValue, best};
}

bool SearchWorker::PlayTableMove(const ChessBoard& board, int depth, RootAnswer* answer) {
    const int side = board.SideToMove;
    TableVerdict verdict;
    int probes;
    GameMove& move = answer->Move;
    if (!Tablebases.ChooseRootMove(board, side, board.CastleFlags, &move.From, &move.To,
                                   &move.Promo, &verdict, &probes))
        return false;
    TableHits += probes;
    TableRoot = 1;
    IterationDepth = depth;
    answer->Score = TableScore(verdict, 0);

    // The line: each side's move that keeps the verdict, as far as the
    // tables answer and the mate (or a short look at a draw) goes.
    constexpr int DrawLineLength = 8;
    const int length =
        std::min(verdict.Outcome == TableDraw ? DrawLineLength : verdict.Plies, MaxSearchPly - 1);
    ChessBoard position = board;
    GameMove next = move;
    RootPVLength = 0;
    for (int mover = side;;) {
        PV[0][RootPVLength++] =
            PVEntry{static_cast<int16_t>(MoveCode(next.From, next.To)), next.Promo};
        uint8_t castleMask;
        position.MakeMove(next.From, next.To, next.Promo, &castleMask);
        mover ^= 1;
        TableVerdict nextVerdict;
        if (RootPVLength >= length ||
            !Tablebases.ChooseRootMove(position, mover, 0, &next.From, &next.To, &next.Promo,
                                       &nextVerdict, &probes))
            break;
        TableHits += probes;
    }

    char text[MaxPVText];
    LineText(text, move);
    Log("Tablebase move at depth %d: score %d %s", depth, answer->Score, text);
    Reporter().Line(LineEvent::TableMove, ReportOf(depth, answer->Score, text));
    return true;
}
