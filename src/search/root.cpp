// The root search: one iteration over the root moves, the best move and its
// line, the progress lines, and the drop in score that earns more time.
#include <algorithm>
#include <cassert>
#include <cstdio>
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
    if (SearchMoveCount == 0) return true;
    const int16_t* end = SearchMoves + SearchMoveCount;
    return std::find(SearchMoves, end, code) != end;
}

// An iteration stopped inside a root move: kind 1 during its reduced or
// zero-window search, kind 2 after its full search.
void SearchWorker::ReportInterruption(int kind, int depth, int index, int legal, int count,
                                      Bitboard from, Bitboard to, char promotion) {
    if (Helper) return;
    // (Under MultiPV the driver shows the lines of completed passes only.)
    const bool shown = RootLineTarget <= 1;
    LogPrintf("Tree Search #%d Interrupted at m=%d LegalMoves=%d NumMove=%d\n", kind, index, legal,
              count);
    LogPrintf("Tree Root Search Choice #1 From=%d  To=%d  Promo=%s\n", LowestSquare(from),
              LowestSquare(to), PromotionSuffix(promotion));
    char text[MaxPVText];
    LineText(text, from, to, promotion);
    WriteLogFile(text);
    if (shown && Settings.Options.Post && Settings.Mode.xboard)
        PrintThinkingLine(depth, LastScore, text);
    if (shown && Settings.Mode.uci && (kind == 2 || depth > 7)) {
        PrintInfoLine(depth, LastScore, text);
        if (kind == 1) std::printf("info currmovenumber %d\n", legal);
        std::fflush(stdout);
    }
}

int SearchWorker::SearchTreeRoot(int side, ChessBoard board, int alpha, int beta, int depth,
                                 Bitboard* from, Bitboard* to, char* promotion, int castleRights) {
    // The book answers at the first iteration, without a search.
    if (!Helper && !Settings.Mode.Bench && Settings.Options.UseBook && depth == 1) {
        if (!Settings.Mode.xboard) Diagnostic("Look through the Opening Book\n");
        std::function<void(const char*)> trace;
        if (Settings.Mode.Trace) trace = [this](const char* text) { Diagnostic("%s", text); };
        const int index = InBook(side, castleRights, board, trace);
        if (index >= 0) {
            MoveList list;
            list.GenerateAllMoves(side, &board, castleRights);
            list.GetMove(index, from, to, promotion);
            BookMove = 1;
            BookMovePly = Settings.Game.GamePly;
            return 0;
        }
    }

    if (Settings.Mode.uci && !Helper && ExcludedCount == 0) {
        std::printf("info depth %d\n", depth);
        std::fflush(stdout);
    }

    // A root in the endgame tables needs no search. A root restricted to
    // some moves asks the search about those, whose nodes still probe. (The
    // main search answers from the tables and reports; helpers just search.)
    int tableScore;
    if (!Helper && Tablebases.IsOn() && SearchMoveCount == 0 &&
        PlayTableMove(board, side, castleRights, depth, from, to, promotion, &tableScore))
        return tableScore;

    // The previous iteration's move stands until this one finds a better one.
    Bitboard bestFrom = FromOf(PV[0][0]), bestTo = ToOf(PV[0][0]);
    char bestPromotion = PV[0][0].Promo;
    if (!Helper)
        LogPrintf("Init Tree Root Search Choice From=%d  To=%d  Promo=%s\n", LowestSquare(bestFrom),
                  LowestSquare(bestTo), PromotionSuffix(bestPromotion));

    RunnerUp = WorstScore;
    Eval.PosEval(side, alpha, beta, &board, castleRights);
    IterationDepth = depth;
    MoveList list;
    const int count = list.GenerateAllMoves(side, &board, castleRights);
    RootMoveCount = count;
    const Bitboard opponentKing = side == White ? board.BKing : board.WKing;
    const OrderHints hints{PV[0][0], {Killers[0][0], Killers[0][1]}, History};
    list.AssignMoveOrderValues(count, hints, opponentKing, 0, PVNode);
    const Bitboard opponentPieces = side == White ? board.BlackPieces : board.WhitePieces;

    int best = WorstScore, legal = 0;
    for (int i = 0; i < count && best < beta; ++i) {
        if (TimeUp) {
            if (!Helper)
                LogPrintf("Tree Root Search Interrupted at m=%d LegalMoves=%d NumMove=%d\n", i,
                          legal, count);
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
        if (PV[0][0].Move == 0 && legal == 1) {
            bestFrom = moveFrom;
            bestTo = moveTo;
            bestPromotion = movePromotion;
        }

        if (!Helper && Settings.Mode.uci && ShowCurrLine && depth > 8 &&
            NodeCount() > 3LL * Settings.Timing.NPS)
            std::printf("info currmove %c%d%c%d currmovenumber %d\n",
                        files[FileOf(LowestSquare(moveFrom))], RankOf(LowestSquare(moveFrom)) + 1,
                        files[FileOf(LowestSquare(moveTo))], RankOf(LowestSquare(moveTo)) + 1,
                        legal);
        std::fflush(stdout);

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
            v = -Quiesce(side ^ 1, -beta, -alpha, child, 0, 0, 1);
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
            *from = bestFrom;
            *to = bestTo;
            *promotion = bestPromotion;
            ReportInterruption(interruption, depth, i, legal, count, bestFrom, bestTo,
                               bestPromotion);
            return v;
        }
        if (Abort) break;

        if (v > best) {
            RunnerUp = best;
            bestFrom = moveFrom;
            bestTo = moveTo;
            bestPromotion = movePromotion;
            best = v;
            // (The clock is the main thread's: a "time" command may change
            // it while helpers search.)
            const int sessionMoves = Helper ? 0 : Settings.Limits.MovesPerSession;
            if (!Helper && depth >= 10 && (sessionMoves == 0 || sessionMoves > 2) &&
                v + 200 < LastScore && Settings.Limits.TimeLeft / 4 >= Settings.Limits.TimeIncMs)
                FailingLow = 1;
            if (v > alpha) {
                ++BestChanges;
                PV[0][0] = PVEntry{static_cast<int16_t>(MoveCode(moveFrom, moveTo)), movePromotion};
                RootPVLength = PVLength[1];
                for (int p = 1; p < RootPVLength && p < MaxSearchPly; ++p) PV[0][p] = PV[1][p];
                alpha = v;
                if (Helper || RootLineTarget > 1) continue;
                char text[MaxPVText];
                LineText(text, moveFrom, moveTo, movePromotion);
                if (depth > 7)
                    LogPrintf("ply %d  v %d  TimeLastPly %d  TotalNodes %lld  %s", depth, v,
                              Settings.Timing.TimeLastPly, static_cast<long long>(NodeCount()),
                              text);
                if (Settings.Options.Post && IterationDepth > 7 && Settings.Mode.xboard)
                    PrintThinkingLine(depth, v, text);
                if (Settings.Mode.uci) PrintInfoLine(depth, v, text);
            }
        } else if (v > RunnerUp) {
            RunnerUp = v;
        }
    }

    const bool stopped = Abort || TimeUp || StopSearch;
    if (stopped && !Helper && !Settings.Limits.Ponder) {
        if (RootLineTarget <= 1) {
            char text[MaxPVText];
            LineText(text, bestFrom, bestTo, bestPromotion);
            if (Settings.Options.Post && Settings.Mode.xboard) PrintThinkingLine(depth, best, text);
            if (Settings.Mode.uci) PrintInfoLine(depth, best, text);
        }
        if (Abort && StopSearch) return best;
    }
    if (!Abort && !TimeUp) RootLegalMoves = legal;
    *from = bestFrom;
    *to = bestTo;
    *promotion = bestPromotion;
    if (Abort || TimeUp || legal > 0) return best;
    if (board.InCheck(side == White ? board.WKing : board.BKing, side)) return -MateValue;
    if (board.InCheck(opponentKing, side ^ 1)) return MateValue;
    return StalemateValue;
}

bool SearchWorker::PlayTableMove(const ChessBoard& board, int side, int castleRights, int depth,
                                 Bitboard* from, Bitboard* to, char* promotion, int* score) {
    TableVerdict verdict;
    int probes;
    if (!Tablebases.ChooseRootMove(board, side, castleRights, from, to, promotion, &verdict,
                                   &probes))
        return false;
    TableHits += probes;
    TableRoot = 1;
    IterationDepth = depth;
    *score = TableScore(verdict, 0);

    // The line: each side's move that keeps the verdict, as far as the
    // tables answer and the mate (or a short look at a draw) goes.
    constexpr int DrawLineLength = 8;
    const int length =
        std::min(verdict.Outcome == TableDraw ? DrawLineLength : verdict.Plies, MaxSearchPly - 1);
    ChessBoard position = board;
    Bitboard moveFrom = *from, moveTo = *to;
    char movePromotion = *promotion;
    RootPVLength = 0;
    for (int mover = side;;) {
        PV[0][RootPVLength++] =
            PVEntry{static_cast<int16_t>(MoveCode(moveFrom, moveTo)), movePromotion};
        uint8_t castleMask;
        position.MakeMove(moveFrom, moveTo, movePromotion, &castleMask);
        mover ^= 1;
        TableVerdict next;
        if (RootPVLength >= length ||
            !Tablebases.ChooseRootMove(position, mover, 0, &moveFrom, &moveTo, &movePromotion,
                                       &next, &probes))
            break;
        TableHits += probes;
    }

    char text[MaxPVText];
    LineText(text, *from, *to, *promotion);
    LogPrintf("Tablebase move at depth %d: score %d %s", depth, *score, text);
    if (Settings.Mode.uci) PrintInfoLine(depth, *score, text);
    return true;
}
