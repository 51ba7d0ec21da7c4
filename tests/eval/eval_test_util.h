// Helpers shared by the evaluation tests.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "test_util.h"

// A board as the search hands it to the evaluation: counts, draw flags and
// the pawn-and-king key fresh.
inline ChessBoard EvalBoard(const std::string& fen) {
    ChessBoard board = BoardFromFen(fen.c_str());
    genpawnhashcode(0, board, &board.PawnKingKey);
    return board;
}

// The evaluator that the evaluation tests share, as a search owns one.
inline PositionEvaluate Eval;

inline int FullEval(ChessBoard& board, int side) {
    return Eval.PosEval(side, -FullWindow, FullWindow, &board);
}

// The files of a pawn entry's passer ranks (files a-h) that hold a passer.
inline int PasserFiles(const uint8_t (&ranks)[8]) {
    int count = 0;
    for (const uint8_t rank : ranks) count += rank != 0;
    return count;
}

// The same position seen from the other side: ranks reversed, colours and the
// side to move exchanged.
inline std::string MirrorFen(const std::string& fen) {
    const size_t end = fen.find(' ');
    const std::string placement = fen.substr(0, end);
    std::vector<std::string> ranks;
    for (size_t start = 0;;) {
        const size_t slash = placement.find('/', start);
        ranks.push_back(placement.substr(start, slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    const auto swapCase = [](std::string s) {
        for (char& c : s)
            if (std::isalpha(static_cast<unsigned char>(c)))
                c = std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c);
        return s;
    };
    std::string mirrored;
    for (auto r = ranks.rbegin(); r != ranks.rend(); ++r)
        mirrored += swapCase(*r) + (r + 1 == ranks.rend() ? "" : "/");

    std::string rest = end == std::string::npos ? "w" : fen.substr(end + 1);
    std::string side = rest.substr(0, 1) == "b" ? "w" : "b";
    std::string castling = "-", enPassant = "-", counters = "0 1";
    const size_t c = rest.find(' ');
    if (c != std::string::npos) {
        const size_t e = rest.find(' ', c + 1);
        castling = swapCase(rest.substr(c + 1, e - c - 1));
        if (e != std::string::npos) {
            const size_t n = rest.find(' ', e + 1);
            enPassant = rest.substr(e + 1, n - e - 1);
            if (enPassant.size() == 2) enPassant[1] = static_cast<char>('1' + '8' - enPassant[1]);
            if (n != std::string::npos) counters = rest.substr(n + 1);
        }
    }
    return mirrored + " " + side + " " + castling + " " + enPassant + " " + counters;
}

// The FEN of a board given square by square (a1 first, '.' for empty).
inline std::string FenOf(const char squares[64], char side) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const char c = squares[rank * 8 + file];
            if (c == '.') {
                ++empty;
                continue;
            }
            if (empty) fen += std::to_string(empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += std::to_string(empty);
        if (rank) fen += '/';
    }
    return fen + " " + side + " - - 0 1";
}

// Random positions of every kind of material, legal as far as SetupBoard
// checks: one king each, no pawn on a back rank, the side not to move not in
// check. The same seed gives the same positions.
inline std::vector<std::string> RandomFens(int count, unsigned seed) {
    std::mt19937 rng(seed);
    const auto below = [&rng](int n) { return static_cast<int>(rng() % n); };
    std::vector<std::string> fens;
    while (static_cast<int>(fens.size()) < count) {
        char squares[64];
        std::fill(squares, squares + 64, '.');
        const auto place = [&](char piece, int lowRank, int highRank) {
            for (int tries = 0; tries < 100; ++tries) {
                const int s = (lowRank + below(highRank - lowRank + 1)) * 8 + below(8);
                if (squares[s] == '.') {
                    squares[s] = piece;
                    return;
                }
            }
        };
        place('K', 0, 7);
        place('k', 0, 7);
        // Pawn-heavy middlegames and endings alike, both sides drawn independently.
        for (const char* side : {"PNBRQ", "pnbrq"}) {
            const int pawns = below(9), minors = below(4), rooks = below(3), queens = below(2);
            for (int i = 0; i < pawns; ++i) place(side[0], 1, 6);
            for (int i = 0; i < minors; ++i) place(below(2) ? side[1] : side[2], 0, 7);
            for (int i = 0; i < rooks; ++i) place(side[3], 0, 7);
            for (int i = 0; i < queens; ++i) place(side[4], 0, 7);
        }
        const std::string fen = FenOf(squares, below(2) ? 'b' : 'w');
        const ChessBoard saved = MainBoard;
        const bool accepted = SetupBoard(fen.c_str()) == SetupOk;
        const bool kingsApart = accepted && KingDistance(LowestSquare(MainBoard.WKing),
                                                         LowestSquare(MainBoard.BKing)) > 1;
        MainBoard = saved;
        if (kingsApart) fens.push_back(fen);
    }
    return fens;
}

// Hand-picked positions from every stage of the game.
inline const std::vector<std::string>& SamplePositions() {
    static const std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
        "2kr3r/pppq1ppp/2n1bn2/4p3/4P3/2NP1N2/PPPQ1PPP/2KR3R b - - 4 11",
        "2r2rk1/pp3pp1/2n1b2p/q2pP3/3P4/P1PB1N2/5PPP/R2Q1RK1 w - - 1 18",
        "r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1B3/PPP2PPP/R2Q1RK1 w - - 0 12",
        "rn1qk2r/pbppbppp/1p2pn2/8/2PP4/5NP1/PP2PPBP/RNBQ1RK1 b kq - 0 6",
        "6k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 40",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 45",
        "4k3/8/8/1P6/8/8/6p1/4K3 w - - 0 60",
        "8/8/8/3k4/8/8/3K4/3R4 b - - 0 70",
        "8/pp3k2/2p5/3b4/3B4/2P5/PP3K2/8 w - - 0 35",
        "1k6/1pp5/8/8/8/8/5PPP/5NK1 w - - 0 40",
        "6k1/1R6/8/8/8/8/q5PP/6K1 b - - 0 30",
        "r5k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 30",
        "2N4k/6pp/8/8/8/8/PP6/K7 b - - 0 30",
        "4k3/1P6/8/8/8/8/6p1/4K3 b - - 0 60",
        "7k/8/8/8/8/8/8/KBN5 w - - 0 60",
    };
    return fens;
}
