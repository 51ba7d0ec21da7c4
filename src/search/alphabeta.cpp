// The alpha-beta search below the root: principal-variation search with the
// table, repetitions, static pruning, null move, internal iterative
// deepening, check and single-reply extensions, late-move reductions,
// futility, killers and history.
#include <cassert>

#include "eval/eval.h"
#include "search/search.h"

namespace {

// Static pruning margins by remaining depth (only depths 1 to 3 use them).
constexpr int StaticMargin[8] = {1200, 1100, 1925, 2700, 3500, 4400, 5300, 6200};

// The score of a node without a legal move (or told it cannot reach beta).
int MateRule(const ChessBoard& board, int side, int inCheck, int ply) {
    if (inCheck) return ply - MateValue;
    const Bitboard opponentKing = side == White ? board.BKing : board.WKing;
    if (board.InCheck(opponentKing, side ^ 1)) return MateValue - ply;
    return -ply;
}

// A pawn that has just moved to `to` with no enemy pawn ahead on its own or
// a neighbouring file: reducing its move could hide a runaway passer.
bool IsPassedPawnMove(const ChessBoard& board, int side, Bitboard to) {
    if (!board.IsPawn(side, to)) return false;
    const Bitboard enemyPawns = side == White ? board.BPawns : board.WPawns;
    return !(PawnFrontSpan(side, LowestSquare(to)) & enemyPawns);
}

// A move of the list made on a copy of the node's board.
struct MadeMove {
    Bitboard From, To;
    char Promotion;
    uint8_t CastleMask;
    ChessBoard Child;
};

} // namespace

int SearchWorker::ProbeTable(uint64_t upper, uint64_t lower, int depth, int ply, int alpha,
                             int beta, int* value, int* move) {
    const int result =
        Table.SearchTranspositionTables(upper, lower, depth, ply, alpha, beta, value, move);
    ++(result <= ProbeExact ? CacheHits : CacheMisses);
    return result;
}

int SearchWorker::AlphaBeta(const SearchNode& node, ChessBoard& board) {
    const int side = node.Side, beta = node.Beta, depth = node.Depth, ply = node.Ply;
    const int castleRights = node.CastleRights, inCheck = node.InCheck, nodeType = node.Type;
    int alpha = node.Alpha;
    // The periodic check of the input, the budget and the clock.
    if (!Abort && NodesToPoll-- <= 0 && PeriodicCheck()) return 0;

    if (ply > SelDepth) SelDepth = ply;

    // Every return from here on retracts this entry.
    Bitboard upper, lower;
    BoardHashCode(side, castleRights, board, &upper, &lower);
    Repetitions.InsertHashCodeMoveHistory(upper, lower);
    const auto repeated = [&] {
        return board.FiftyMoveCount > 2 &&
               Repetitions.ThreeFoldRepDetection(board.FiftyMoveCount, upper, lower) != 0;
    };
    const auto leave = [this](int value) {
        Repetitions.RetractMove();
        return value;
    };

    // A position in the endgame tables has its exact score: nothing below
    // it needs a search.
    TableVerdict verdict;
    if (Tablebases.IsOn() && Tablebases.Probe(board, side, castleRights, &verdict)) {
        ++TableHits;
        PVLength[ply] = static_cast<int16_t>(ply); // no line below: the parent's ends here
        return leave(TableScore(verdict, ply));
    }

    // The horizon. A node on the last row of the line and killer tables is
    // a leaf too, in check or not, so that no child indexes past them.
    if (((depth < 1 || ply > MaxPly) && !inCheck) || ply >= MaxSearchPly - 1) {
        if (repeated()) return leave(0);
        int value, move = 0;
        if (ProbeTable(upper, lower, depth, ply, alpha, beta, &value, &move) <= ProbeExact) {
            ++LeafInteriorNodes;
            return leave(value);
        }
        const int q = Quiesce(side, alpha, beta, board, ply + 1);
        if (q >= beta)
            Table.InsertTranspositionTables(upper, lower, depth, ply, 0, q, LowerBound);
        else if (q <= alpha)
            Table.InsertTranspositionTables(upper, lower, depth, ply, 0, alpha, UpperBound);
        else
            Table.InsertTranspositionTables(upper, lower, depth, ply, 0, q, ExactBound);
        ++LeafInteriorNodes;
        return leave(q);
    }

    // Draws.
    if (board.CheckDraw(static_cast<char>(inCheck)) != NoDraw) return leave(0);
    const Bitboard opponentPieces = side == White ? board.BlackPieces : board.WhitePieces;
    const Bitboard opponentKing = side == White ? board.BKing : board.WKing;
    if (repeated()) return leave(0);

    // The table. A principal-variation node never cuts off on it.
    int hashMove = 0, value;
    const int probe = ProbeTable(upper, lower, depth, ply, alpha, beta, &value, &hashMove);
    bool mateThreat = false;
    if (probe <= ProbeExact) {
        if (!Helper && Request().Trace)
            Diagnostic("Position Cache Hit: v=%d alpha=%d beta=%d\nUpper HC %llu Lower HC %llu\n",
                       value, alpha, beta, static_cast<unsigned long long>(upper),
                       static_cast<unsigned long long>(lower));
        if (nodeType != PVNode) {
            PVLength[ply] = static_cast<int16_t>(ply);
            PV[ply][ply].Move = static_cast<int16_t>(hashMove);
            return leave(value);
        }
    } else {
        const int ownPieces = side == White ? board.WhitePieceTotal - board.WPawnCount
                                            : board.BlackPieceTotal - board.BPawnCount;
        // Static pruning near the horizon.
        if (nodeType != PVNode && node.NullAllowed && !inCheck && depth <= 3 &&
            beta > -MateInMaxDepth && beta < MateInMaxDepth && ownPieces > 0) {
            const int e =
                Eval.PosEval(side, alpha, beta, &board) - StaticMargin[depth > 0 ? depth : 0];
            if (e >= beta) return leave(e);
        }

        // Null move.
        const int ownMaterial = Eval.SideMaterialValue(side, &board);
        if (nodeType != PVNode && node.NullAllowed && probe != ProbeNoNull && !inCheck &&
            (depth <= 6 || ownMaterial > 9300) &&
            beta <= Eval.MaterialOnly(side, alpha, board) + 2000) {
            int childDepth = depth <= 5 ? depth - 3 : depth - 4;
            if (ownMaterial + Eval.SideMaterialValue(side ^ 1, &board) > 33000) --childDepth;
            // (Two plies on: the null move counts as one.)
            SearchNode child = node.Child(castleRights, 0);
            child.Ply = ply + 2;
            child.NullAllowed = false;
            const int v = -AlphaBeta(child.With(-beta, 1 - beta, childDepth, nodeType), board);
            if (StopSearch) return leave(0);
            if (v >= beta) {
                Table.InsertTranspositionTables(upper, lower, depth - 3, ply, 0, beta, LowerBound);
                if (!Helper && Request().Trace)
                    Diagnostic("Position Cache Insert (NullM): v=%d alpha=%d beta=%d\nUpper HC "
                               "%llu Lower HC %llu\n",
                               v, alpha, beta, static_cast<unsigned long long>(upper),
                               static_cast<unsigned long long>(lower));
                PVLength[ply] = 0;
                return leave(beta);
            }
            mateThreat = v < -MateThreatBound;
        }

        // Internal iterative deepening finds a move to try first.
        if (beta - alpha > 1 && depth > 3 && nodeType != PVNode && node.NullAllowed) {
            SearchNode shallower = node;
            shallower.NullAllowed = false;
            AlphaBeta(shallower.With(alpha, beta, depth - 3, nodeType), board);
            if (StopSearch) return leave(0);
            ProbeTable(upper, lower, depth, ply, alpha, beta, &value, &hashMove);
        }
    }

    // The moves.
    MoveList list;
    bool singleReply = false;
    int count;
    if (inCheck) {
        count = list.GenCheckEvasions(side, &board);
        singleReply = count == 1;
    } else {
        count = list.GenerateAllMoves(side, &board, castleRights);
    }
    const OrderHints hints{PV[ply][ply], {Killers[ply][0], Killers[ply][1]}, History};
    list.AssignMoveOrderValues(count, hints, opponentKing, hashMove, nodeType);

    int best = WorstScore;
    bool alphaRaised = false, bestFutile = false;
    if (count == 0 || beta <= WorstScore) {
        // Nothing to search.
        best = MateRule(board, side, inCheck, ply);
    } else {
        // The move loop.
        const int extensionBase = singleReply + mateThreat;
        const int firstChildType = nodeType == PVNode    ? PVNode
                                   : nodeType == CutNode ? AllNode
                                                         : CutNode;
        // Once a node has searched a move without a cut-off it will most
        // likely search them all: it then makes each next move before it
        // searches the current one, so that the next child's table bucket
        // and pawn entry arrive from memory meanwhile.
        const auto makeMove = [&](int index, MadeMove& made) {
            list.NextMove(index, count, &made.From, &made.To, &made.Promotion);
            made.Child = board;
            made.Child.MakeMove(made.From, made.To, made.Promotion, &made.CastleMask);
            assert(BoardAndKeyAreConsistent(made.Child));
            Bitboard childUpper, childLower;
            BoardHashCode(side ^ 1, castleRights & made.CastleMask, made.Child, &childUpper,
                          &childLower);
            Table.Prefetch(childLower);
            Eval.PawnTable.Prefetch(made.Child.PawnKingKey);
        };
        MadeMove moves[2];
        int current = 0;
        bool nextMade = false;
        int legal = 0;
        for (int i = 0; i < count && best < beta; ++i) {
            if (nextMade)
                current ^= 1;
            else
                makeMove(i, moves[current]);
            nextMade = false;
            ChessBoard& child = moves[current].Child;
            const Bitboard from = moves[current].From, to = moves[current].To;
            const char promotion = moves[current].Promotion;
            const int childCastle = castleRights & moves[current].CastleMask;
            const int code = MoveCode(from, to);
            if (child.InCheck(side == White ? child.WKing : child.BKing, side)) continue;
            ++InteriorNodes;
            ++legal;
            const int givesCheck =
                child.InCheck(side == White ? child.BKing : child.WKing, side ^ 1) ? 1 : 0;
            const bool captured =
                opponentPieces != (side == White ? child.BlackPieces : child.WhitePieces);
            const bool promotes = promotion != NoPromotion;

            // Extensions and reductions.
            const bool firstOfPV = nodeType == PVNode && legal == 1;
            const bool plain = !givesCheck && !firstOfPV;
            int reduction = 0;
            if (legal >= 3 && !promotes && depth > 2 && ply != 1 && !mateThreat && !singleReply &&
                !captured && list.Order[i] <= 950 && !IsPassedPawnMove(child, side, to) &&
                !inCheck && plain)
                reduction = depth > 3 ? 2 : 1;
            const int extension = !plain && extensionBase + givesCheck > 0 ? 1 : 0;
            int futility = 0;
            if (plain && depth == 2 && !promotes && !captured && !inCheck &&
                Eval.MaterialOnly(side, alpha, child) + 3440 < alpha)
                futility = 1;
            const int newDepth = depth - 1 + extension - futility - reduction;
            const int childType = legal == 1           ? firstChildType
                                  : nodeType == PVNode ? AllNode
                                                       : firstChildType;

            if (legal > 1 && i + 1 < count) {
                makeMove(i + 1, moves[current ^ 1]);
                nextMade = true;
            }
            const SearchNode childNode = node.Child(childCastle, givesCheck);
            int v;
            if (nodeType != PVNode || legal == 1) {
                if (newDepth > 0 || givesCheck)
                    v = -AlphaBeta(childNode.With(-beta, -alpha, newDepth, childType), child);
                else
                    v = -Quiesce(side ^ 1, -beta, -alpha, child, ply + 1);
            } else if (newDepth > 0 || givesCheck) {
                v = -AlphaBeta(childNode.With(-alpha - 1, -alpha, newDepth, AllNode), child);
                if (v > alpha && v < beta)
                    v = -AlphaBeta(childNode.With(-beta, -alpha, newDepth, AllNode), child);
            } else {
                v = -Quiesce(side ^ 1, -beta, -alpha, child, ply + 1);
            }
            if (reduction && v > alpha)
                v = -AlphaBeta(childNode.With(-beta, -alpha, depth - 1 + extension, PVNode), child);

            if (StopSearch) return leave(0);
            if (Abort) return leave(0);

            if (v > best) {
                best = v;
                bestFutile = futility != 0;
                if (v > alpha) {
                    PV[ply][ply] = PVEntry{static_cast<int16_t>(code), promotion};
                    if (depth + extension == 1) {
                        PVLength[ply] = static_cast<int16_t>(ply);
                    } else {
                        // The child's line follows this move (whatever the row holds).
                        const int end = PVLength[ply + 1];
                        for (int p = ply + 1; p < end && p < MaxSearchPly; ++p)
                            PV[ply][p] = PV[ply + 1][p];
                        PVLength[ply] = static_cast<int16_t>(end);
                    }
                    if (v >= beta) {
                        AddHistory(side, code, depth);
                        if (!(to & board.AllPieces) && !promotes && code != Killers[ply][0]) {
                            Killers[ply][1] = Killers[ply][0];
                            Killers[ply][0] = static_cast<int16_t>(code);
                        }
                    }
                    alpha = v;
                    alphaRaised = true;
                }
            }
        }
        // No legal move.
        if (legal == 0) best = MateRule(board, side, inCheck, ply);
    }

    // Store and return.
    if (!bestFutile) {
        int bound = UpperBound, stored = alpha;
        if (best >= beta) {
            bound = LowerBound;
            stored = best;
        } else if (alphaRaised || best > alpha) {
            // A node without a legal move may score above alpha with no
            // move raising it: its score is exact, and alpha as an upper
            // bound would claim less (at the root's window, a mate before
            // the node's own ply).
            bound = ExactBound;
            stored = best;
        }
        Table.InsertTranspositionTables(upper, lower, depth, ply, PV[ply][ply].Move, stored, bound);
    }
    return leave(best);
}
