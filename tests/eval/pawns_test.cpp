#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "eval_test_util.h"

namespace {

// The cached structure of a position, as PawnStructure left it.
const PawnHashEntry& StructureOf(ChessBoard& board) {
    FullEval(board, board.SideToMove);
    EXPECT_TRUE(Eval.PawnTable.Contains(board.PawnKingKey, board.WPawns | board.BPawns));
    return Eval.PawnTable.EntryOf(board.PawnKingKey);
}

struct StructureCase {
    const char* name;
    const char* fen;
    int white, black; // structure scores
    int passerScore;  // White's, before the king-dependent terms
    int doubled;      // White's
    int passerFiles;  // White's files with a passer
    int mg, eg;       // the cached pawn terms
};

// Worked out by hand. Kings on e1 and e8: every a-pawn loses 5, and only
// the d-, e- and f-files are shelter.
const StructureCase StructureCases[] = {
    // Isolated passer on a2; a side without pawns scores -30.
    {"lone rook pawn", "4k3/8/8/8/8/8/P7/4K3 w - - 0 1", -5, -30, 40, 0, 1, -90, -90},
    // The rear pawn of a doubled pair is the doubled one; the file's passer is
    // the front one (Passers[4] * 15 >> 4).
    {"doubled passers", "4k3/8/8/P7/8/P7/8/4K3 w - - 0 1", -60, -30, 253, 1, 1, -180, -180},
    {"tripled pawns", "4k3/8/8/8/P7/P7/P7/4K3 w - - 0 1", -115, -30, 150, 2, 1, -270, -270},
    // Ranks differing by one: connected (320 + 640); c5 is backward until it
    // turns out to be passed.
    {"connected passers", "4k3/8/3P4/2P5/8/8/8/4K3 w - - 0 1", 60, -30, 960, 0, 2, 0, 0},
    // Ranks differing by two: each from Passers, without a protection test.
    {"passers two ranks apart", "4k3/8/3P4/8/2P5/8/8/4K3 w - - 0 1", 60, -30, 710, 0, 2, 0, 0},
    // a5 is protected by b4 (300); b4 is backward (-80), off the shelter
    // (+40) and a candidate: 2 pawns against c6 (160 / 3). The isolated c6
    // gives back IsolatedPawn[c] to White.
    {"protected passer and candidate", "4k3/8/2p5/P7/1P6/8/8/4K3 w - - 0 1", -45, -30, 353, 0, 1,
     100, 100},
    // An a-file passer is guarded from the b-file only: h3 does not protect a5.
    {"no protection across the board edge", "4k3/8/8/P7/8/7P/8/4K3 w - - 0 1", -5, -30, 350, 0, 2,
     -180, -180},
    // b4 has two pawns (a3, b4) against two in its front span: no candidate.
    {"no candidate against two", "4k3/8/p1p5/8/1P6/P7/8/4K3 w - - 0 1", 55, -15, 0, 0, 0, 190, 190},
    // Kings on g1 and g8 shelter the f- to h-files: the blocked g-pawns get
    // no bonus for standing forward (with the kings on e1/e8: +40 and +20).
    {"pawns in the king's shelter", "6k1/8/6p1/8/6P1/8/8/6K1 w - - 0 1", 0, 3, 0, 0, 0, 0, 0},
    {"pawns off the shelter", "4k3/8/6p1/8/6P1/8/8/4K3 w - - 0 1", 40, 23, 0, 0, 0, 0, 0},
    // An h-pawn loses 5 with its king on the other wing (files a-d).
    {"h-pawn, king on the queen side", "3k4/8/8/8/8/8/7P/3K4 w - - 0 1", -5, -30, 40, 0, 1, -90,
     -90},
    // Isolated passers on the d- and e-files lose 10 more; 60 for each centre pawn.
    {"isolated centre passers", "4k3/8/8/3P4/4p3/8/8/4K3 w - - 0 1", 142, 142, 270, 0, 1, 0, 0},
    // b2 is a candidate (a3, b2, b4 less nothing behind it: 3 against a6, c6)
    // and b4 is not (its own b2 behind it does not count: 2 against 2). b2
    // is backward and doubled: -80 + 10 - 50, a3 -5 + 20, b4 +40.
    {"candidate counts its file from itself forward", "4k3/8/p1p5/8/1P6/P7/1P6/4K3 w - - 0 1", -65,
     -15, 13, 1, 0, 190, 190},
};

TEST(PawnStructure, StructureOfBothColours) {
    for (const StructureCase& c : StructureCases) {
        ChessBoard board = EvalBoard(c.fen);
        const PawnHashEntry& e = StructureOf(board);
        EXPECT_EQ(e.WStructure, c.white) << c.name;
        EXPECT_EQ(e.BStructure, c.black) << c.name;
        EXPECT_EQ(e.WPasserScore, c.passerScore) << c.name;
        EXPECT_EQ(e.WDoubled, c.doubled) << c.name;
        EXPECT_EQ(PasserFiles(e.WPasserRank), c.passerFiles) << c.name;
        EXPECT_EQ(e.MgTerm, c.mg) << c.name;
        EXPECT_EQ(e.EgTerm, c.eg) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        const PawnHashEntry& m = StructureOf(mirrored);
        EXPECT_EQ(m.BStructure, c.white) << c.name << " mirrored";
        EXPECT_EQ(m.WStructure, c.black) << c.name << " mirrored";
        EXPECT_EQ(m.BPasserScore, c.passerScore) << c.name << " mirrored";
        EXPECT_EQ(m.BDoubled, c.doubled) << c.name << " mirrored";
        EXPECT_EQ(PasserFiles(m.BPasserRank), c.passerFiles) << c.name << " mirrored";
        EXPECT_EQ(m.MgTerm, -c.mg) << c.name << " mirrored";
        EXPECT_EQ(m.EgTerm, -c.eg) << c.name << " mirrored";
    }
}

TEST(PawnStructure, PasserRanksKeepTheMostAdvancedPawnAsABoardRank) {
    ChessBoard board = EvalBoard("4k3/8/1p6/8/1p3P2/5P2/8/4K3 w - - 0 1");
    const PawnHashEntry& e = StructureOf(board);
    EXPECT_EQ(e.WPasserRank[5], 3); // f4 in front of f3
    EXPECT_EQ(e.BPasserRank[1], 3); // b4 in front of b6, rank index 3
    EXPECT_EQ(PasserFiles(e.WPasserRank), 1);
    EXPECT_EQ(PasserFiles(e.BPasserRank), 1);
}

struct PasserKingCase {
    const char* name;
    const char* fen;
    int eg;     // what the king-dependent terms add to EgScore
    int passer; // what they add to WPasserScore
};

// Worked by hand: proximity ((7 - dW) * K) / 2 + (dB - 7) * K, +150 for an
// unstoppable pawn, minor support and the free path on the sixth and seventh.
const PasserKingCase PasserKingCases[] = {
    // b7 with kings c1 and h8: (1 * 184) / 2 - 184, free path +1100.
    {"free seventh", "7k/1P6/8/8/8/8/8/2K5 w - - 0 1", -92 + 1100, 150},
    // A knight on a6 covers b8, one on d6 b7 itself: no free path.
    {"seventh covered", "7k/1P6/n7/8/8/8/8/2K5 w - - 0 1", -92, 150},
    {"seventh attacked", "7k/1P6/3n4/8/8/8/8/2K5 w - - 0 1", -92, 150},
    // The knight on c3 covers b1, the square an index two ranks past b7 wraps to.
    {"nothing past the edge", "7k/1P6/8/8/8/2N5/8/2K5 w - - 0 1", -92 + 1100, 150},
    // Knight d6 on b7 and bishop c7 on b8: 1100 >> 5 twice.
    {"minor support", "7k/1PB5/3N4/8/8/8/8/2K5 w - - 0 1", -92 + 1100, 150 + 34 + 34},
    // b6: (2 * 120) / 2 - 120, both squares in front free: +550.
    {"free sixth", "7k/8/1P6/8/8/8/8/2K5 w - - 0 1", 550, 150},
    {"sixth, eighth covered", "7k/8/nP6/8/8/8/8/2K5 w - - 0 1", 0, 150},
    {"sixth, eighth occupied", "1B5k/8/1P6/8/8/8/8/2K5 w - - 0 1", 0, 150},
    // Bishop c7 on b6 (550 >> 5) and on b8, two ahead (550 >> 6).
    {"minor two ahead", "7k/2B5/1P6/8/8/8/8/2K5 w - - 0 1", 550, 150 + 17 + 8},
    // Only the front pawn of a file gets these terms; b6 would add 150 more.
    {"rear passer of a pair", "7k/1P6/1P6/8/8/8/8/2K5 w - - 0 1", -92 + 1100, 150},
    // e5 (K = 81), kings e1 and a8: (3 * 81) / 2 truncates to 121, then -243.
    // Three moves against a king four away: unstoppable only on the move.
    {"proximity, on the move", "k7/8/8/4P3/8/8/8/4K3 w - - 0 1", -122, 150},
    {"proximity, not on the move", "k7/8/8/4P3/8/8/8/4K3 b - - 0 1", -122, 0},
};

TEST(PawnStructure, KingDependentPasserTermsAreAddedOnTopOfTheCache) {
    for (const PasserKingCase& c : PasserKingCases) {
        for (const bool mirror : {false, true}) {
            ChessBoard board = EvalBoard(mirror ? MirrorFen(c.fen) : c.fen);
            const int side = board.SideToMove;
            const PawnHashEntry& e = StructureOf(board);
            Eval.MgScore = Eval.EgScore = 0;
            Eval.PawnStructure(side);
            const int sign = mirror ? -1 : 1;
            const int passer =
                mirror ? Eval.BPasserScore - e.BPasserScore : Eval.WPasserScore - e.WPasserScore;
            EXPECT_EQ(Eval.EgScore - e.EgTerm, sign * c.eg)
                << c.name << (mirror ? " mirrored" : "");
            EXPECT_EQ(passer, c.passer) << c.name << (mirror ? " mirrored" : "");
            EXPECT_EQ(Eval.MgScore, e.MgTerm) << c.name;
        }
    }
}

struct PromoteCase {
    int colour, rank, promotionSquare, sideToMove;
    int whiteKing, blackKing;
    bool expected;
};

const PromoteCase PromoteCases[] = {
    // a2, king six moves from a8: the double step wins a tempo on the move only.
    {White, 1, A8, White, A1, G8, true},
    {White, 1, A8, Black, A1, G8, false},
    {White, 1, A8, Black, A1, H8, true},
    // a5 (3 moves), king 4 away: only with the move; 5 away: always.
    {White, 4, A8, White, A1, E8, true},
    {White, 4, A8, Black, A1, E8, false},
    {White, 4, A8, Black, A1, E7, false},
    {White, 4, A8, Black, A1, F8, true},
    // Black a4 (3 moves to a1) against a king on e1; h7 from its starting rank.
    {Black, 3, A1, Black, E1, A8, true},
    {Black, 3, A1, White, E1, A8, false},
    {Black, 6, H1, Black, B1, A8, true},
    {Black, 6, H1, White, B1, A8, false},
};

TEST(DoesPawnPromote, RuleOfTheSquare) {
    for (const PromoteCase& c : PromoteCases) {
        Eval.WKingSq = c.whiteKing;
        Eval.BKingSq = c.blackKing;
        EXPECT_EQ(Eval.DoesPawnPromote(c.colour, c.rank, c.promotionSquare, c.sideToMove),
                  c.expected)
            << "colour " << c.colour << " rank " << c.rank << " to move " << c.sideToMove;
    }
}

struct RaceCase {
    const char* name;
    const char* fen;
    int expected; // RuleofSquare for the side to move of the position
};

const RaceCase RaceCases[] = {
    {"a piece on the board", "7k/8/8/P7/8/8/8/K2N4 w - - 0 1", 0},
    {"only White's pawn runs", "7k/8/8/P7/8/8/8/K7 b - - 0 1", 5700},
    {"the quicker pawn wins whoever moves", "7k/8/P7/8/7p/8/8/K7 b - - 0 1", 5700},
    // Both need two moves. White queens first with check on e4.
    {"first queen checks", "8/8/P7/8/4k3/7p/8/K7 w - - 0 1", 5700},
    // Black to move queens first on h1 with check along the first rank.
    {"first queen checks, Black", "8/8/P7/8/4k3/7p/8/K7 b - - 0 1", -5700},
    // White's queen would cover h1, but Black's queen then checks a1 and hits a8.
    {"second queen checks and hits the first", "8/8/P7/4k3/8/7p/8/K7 w - - 0 1", -5700},
    {"second queen hits only the first", "2K5/8/P7/4k3/8/7p/8/8 w - - 0 1", 5700},
    // d5 blocks the long diagonal: Black's queen checks a1 but cannot reach a8.
    {"second queen checks only", "8/8/P7/3pk3/8/7p/8/K7 w - - 0 1", 0},
    // a6 and h6 tie: the a-file, met first, is White's. A queen on h8 would
    // check e5; one on a8 neither checks nor hits c1.
    {"the first file wins a tie", "8/8/P6P/4k3/8/2p5/8/7K w - - 0 1", 0},
    // White's queen on a8 checks f3, two moves from h1: no win.
    {"first queen checks a king two moves away", "8/2K5/P7/8/8/5k1p/8/8 w - - 0 1", 0},
    // It hits h1, but the king on f2 is two moves from it: no win either.
    {"first queen hits the square of a king two moves away", "8/2K5/P7/8/8/7p/5k2/8 w - - 0 1", 0},
};

TEST(RuleofSquare, PawnRaces) {
    for (const RaceCase& c : RaceCases) {
        ChessBoard board = EvalBoard(c.fen);
        FullEval(board, board.SideToMove);
        EXPECT_EQ(Eval.RuleofSquare(board.SideToMove), c.expected) << c.name;

        ChessBoard mirrored = EvalBoard(MirrorFen(c.fen));
        FullEval(mirrored, mirrored.SideToMove);
        EXPECT_EQ(Eval.RuleofSquare(mirrored.SideToMove), -c.expected) << c.name << " mirrored";
    }
}

TEST(PawnHash, KeyFollowsPawnsAndKingsThroughMoves) {
    ChessBoard board = EvalBoard("4k3/6p1/8/3pP3/8/8/1p6/R3K2R w KQ d6 0 1");
    uint32_t fresh = 0;
    genpawnhashcode(0, board, &fresh);
    EXPECT_EQ(fresh, board.PawnKingKey);

    // En passant, a capture promoting, castling, a double step, a king move.
    const int moves[][3] = {{E5, D6, NoPromotion},
                            {B2, A1, 'q'},
                            {E1, G1, NoPromotion},
                            {G7, G5, NoPromotion},
                            {G1, H2, NoPromotion}};
    for (const auto& move : moves) {
        uint8_t castleMask = 0;
        board.MakeMove(Bit(move[0]), Bit(move[1]), static_cast<char>(move[2]), &castleMask);
        genpawnhashcode(0, board, &fresh);
        EXPECT_EQ(fresh, board.PawnKingKey) << "after " << move[0] << "-" << move[1];
    }

    ChessBoard otherKings = EvalBoard("3k4/6p1/8/3pP3/8/8/1p6/R2K3R w - d6 0 1");
    EXPECT_NE(otherKings.PawnKingKey,
              EvalBoard("4k3/6p1/8/3pP3/8/8/1p6/R3K2R w KQ d6 0 1").PawnKingKey);
}

// What PawnStructure leaves for the other terms, in the evaluator and in the
// entry it reads, after the call.
struct PawnFields {
    std::array<uint8_t, 8> WPasserRank, BPasserRank;
    int WDoubled, BDoubled, WPasserScore, BPasserScore;
    Bitboard OpenFiles, WPawnlessFiles, BPawnlessFiles, PawnFiles, WPawnAttacks, BPawnAttacks;
    bool operator==(const PawnFields&) const = default;
};

PawnFields PawnFieldsOfEvaluator() {
    PawnFields f{};
    const PawnHashEntry& pawns = *Eval.PawnEntry;
    std::copy(pawns.WPasserRank, pawns.WPasserRank + 8, f.WPasserRank.begin());
    std::copy(pawns.BPasserRank, pawns.BPasserRank + 8, f.BPasserRank.begin());
    f.WDoubled = pawns.WDoubled;
    f.BDoubled = pawns.BDoubled;
    f.WPasserScore = Eval.WPasserScore;
    f.BPasserScore = Eval.BPasserScore;
    f.OpenFiles = Eval.OpenFiles;
    f.WPawnlessFiles = Eval.WPawnlessFiles;
    f.BPawnlessFiles = Eval.BPawnlessFiles;
    f.PawnFiles = Eval.PawnFiles;
    f.WPawnAttacks = Eval.WPawnAttacks;
    f.BPawnAttacks = Eval.BPawnAttacks;
    return f;
}

// The structure holds king-dependent terms (shelter zones, rook-pawn
// penalties); a cached evaluation must still equal a fresh one, and so must
// every pawn field that the other terms read.
TEST(PawnHash, CachedAndFreshEvaluationsAgree) {
    const char* const structures[] = {
        "8/pp3ppp/2p5/3p4/3P4/2P5/PP3PPP/8 w - - 0 1",
        "8/p4p1p/1p4p1/8/2P5/1P4P1/P4P1P/8 w - - 0 1",
        "8/1p6/p7/P6p/7P/8/8/8 w - - 0 1",
        "8/5ppp/8/2P5/8/8/PP6/8 w - - 0 1",
    };
    std::vector<ChessBoard> boards;
    for (const char* structure : structures) {
        // The pawns alone, read square by square (SetupBoard wants kings).
        char pawns[64];
        std::fill(pawns, pawns + 64, '.');
        for (int rank = 7, file = 0, i = 0; structure[i] != ' '; ++i) {
            const char c = structure[i];
            if (c == '/') {
                --rank;
                file = 0;
            } else if (c >= '1' && c <= '8') {
                file += c - '0';
            } else {
                pawns[rank * 8 + file++] = c;
            }
        }
        for (int wk = 0; wk < 64; wk += 3)
            for (int bk = 63; bk >= 0; bk -= 5) {
                if (pawns[wk] != '.' || pawns[bk] != '.' || KingDistance(wk, bk) < 2) continue;
                char squares[64];
                std::copy(pawns, pawns + 64, squares);
                squares[wk] = 'K';
                squares[bk] = 'k';
                // Queens and rooks keep king safety and the piece terms
                // (open files, passers) in play.
                if (squares[D1] == '.' && wk != D1) squares[D1] = 'Q';
                if (squares[D8] == '.' && bk != D8) squares[D8] = 'q';
                if (squares[A1] == '.' && wk != A1) squares[A1] = 'R';
                if (squares[H8] == '.' && bk != H8) squares[H8] = 'r';
                const std::string fen = FenOf(squares, (wk + bk) % 2 ? 'w' : 'b');
                const ChessBoard saved = MainBoard;
                if (SetupBoard(fen.c_str()) == SetupOk) boards.push_back(EvalBoard(fen));
                MainBoard = saved;
            }
    }
    ASSERT_GT(boards.size(), 300u);

    Eval.PawnTable.Clear();
    std::vector<int> warm;
    std::vector<PawnFields> fields;
    for (ChessBoard& board : boards) {
        warm.push_back(FullEval(board, board.SideToMove));
        fields.push_back(PawnFieldsOfEvaluator());
    }
    for (size_t i = 0; i < boards.size(); ++i) {
        Eval.PawnTable.EntryOf(boards[i].PawnKingKey) = PawnHashEntry{};
        EXPECT_EQ(FullEval(boards[i], boards[i].SideToMove), warm[i]) << "fresh, position " << i;
        EXPECT_TRUE(PawnFieldsOfEvaluator() == fields[i]) << "fresh, position " << i;
    }
    const uint32_t attempts = Eval.PawnTable.Attempts, misses = Eval.PawnTable.Misses;
    for (size_t i = boards.size(); i-- > 0;) {
        EXPECT_EQ(FullEval(boards[i], boards[i].SideToMove), warm[i]) << "cached, position " << i;
        EXPECT_TRUE(PawnFieldsOfEvaluator() == fields[i]) << "cached, position " << i;
    }
    EXPECT_LT(Eval.PawnTable.Misses - misses,
              (Eval.PawnTable.Attempts - attempts) / 2); // mostly served from the table
}

} // namespace
