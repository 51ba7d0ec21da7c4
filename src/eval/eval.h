// The static evaluation: one score of a position in tenths of a centipawn,
// blended between middlegame and endgame terms by game phase, with the pawn
// structure cached in a table keyed by the pawn-and-king key.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "eval/tables.h"

// The full window: no lazy exit can fire inside it.
constexpr int FullWindow = 110000;

// King moves between two squares.
constexpr int KingDistance(int a, int b) {
    const int df = FileOf(a) > FileOf(b) ? FileOf(a) - FileOf(b) : FileOf(b) - FileOf(a);
    const int dr = RankOf(a) > RankOf(b) ? RankOf(a) - RankOf(b) : RankOf(b) - RankOf(a);
    return df > dr ? df : dr;
}

// What BishopEval gathers for one colour before it adds the colour's sums.
class BishopRecord {
  public:
    int PairScore;
    int Counter; // bishops walked
    int MgSum;
    int EgSum;
    int FianchettoSquare; // g2 for White, g7 for Black
    Bitboard Bishops;
    Bitboard Pawns;
    Bitboard FianchettoPawnRank; // rank 3 for White, rank 6 for Black
    Bitboard FianchettoWingRank; // rank 2 for White, rank 7 for Black
};

// ---------------------------------------------------------------------------
// Pawn hash
// ---------------------------------------------------------------------------

// The king-independent half of a pawn structure, as PawnStructure computed
// it, without what the pawns give back in a few instructions (their files
// and attacks): one cache line, so that a probe costs one memory access.
// The scores are small sums of table values and fit 16 bits.
class alignas(64) PawnHashEntry {
  public:
    uint32_t Key;
    int16_t MgTerm, EgTerm;
    Bitboard Pawns; // white pawns | black pawns
    // By file a-h: the board rank index (1-6) of the most advanced passer, 0 for none.
    uint8_t WPasserRank[8], BPasserRank[8];
    int16_t WStructure, BStructure;
    int16_t WPasserScore, BPasserScore; // before the king-dependent terms
    int8_t WDoubled, BDoubled;          // pawns with another of their colour ahead on the file
};
static_assert(sizeof(PawnHashEntry) == 64);

// The pawn structures one evaluator has met, by the low 16 bits of the
// pawn-and-king key (4 MB on huge pages where the system has them, mapped
// as it is used). Each evaluator owns its
// table, so evaluators on different threads never touch each other's.
class PawnHashTable {
  public:
    static constexpr int Size = 65536;

    uint32_t Attempts = 0; // structures asked for
    uint32_t Misses = 0;   // structures computed

    PawnHashTable();
    ~PawnHashTable();
    PawnHashTable(const PawnHashTable&) = delete;
    PawnHashTable& operator=(const PawnHashTable&) = delete;

    PawnHashEntry& EntryOf(uint32_t key) { return Entries[key & (Size - 1)]; }
    bool Contains(uint32_t key, Bitboard pawns) const {
        const PawnHashEntry& e = Entries[key & (Size - 1)];
        return e.Key == key && e.Pawns == pawns;
    }
    // Forgets every structure; the counters stay.
    void Clear();
    // Has the system map the whole table now, before a timed search.
    void MapMemory();
    // Starts loading the entry of a key, so that it is in the cache when
    // PawnStructure reads it.
    void Prefetch(uint32_t key) const { __builtin_prefetch(&Entries[key & (Size - 1)]); }

  private:
    PawnHashEntry* Entries;
};

// One evaluator: the board of the call in progress, the scratch that its
// terms share and its own pawn table. Every term is computed from White's
// point of view; only PosEval turns the sign. Each PosEval call rewrites the
// scratch, so a thread needs an evaluator of its own.
class PositionEvaluate {
  public:
    // The board under evaluation; set by PosEval, read by every term.
    const ChessBoard* Board = nullptr;
    // The pawn structure of Board, where the pawn table keeps it; set by
    // PawnStructure, read by the terms after it.
    const PawnHashEntry* PawnEntry = nullptr;
    int Phase; // 1 (opening) to 24 (no pieces but kings and pawns)
    int MgScore;
    int EgScore;
    Bitboard OpenFiles, WPawnlessFiles, BPawnlessFiles;
    Bitboard WKingFile, BKingFile;
    Bitboard PawnFiles, WPawnAttacks, BPawnAttacks;
    int8_t WPieces, BPieces; // knights + bishops + rooks + queens
    int WShieldHoles, BShieldHoles;
    int WPasserScore, BPasserScore; // the entry's, with the king-dependent terms
    int WKingSq, BKingSq;
    BishopRecord WBishopRecord, BBishopRecord;
    Bitboard WPawnAtt, BPawnAtt, WKnightAtt, WBishopAtt, BBishopAtt, BKnightAtt, WRookAtt, BRookAtt,
        WQueenAtt, BQueenAtt, WKingAtt, BKingAtt, WAllAtt, BAllAtt;
    // Attack set of the knight, bishop, rook or queen on each square, kept by
    // AttackMasks so that mobility never walks a ray twice.
    Bitboard AttFrom[64];
    bool AttackMasksBuilt = false; // for Board, since PosEval began
    PawnHashTable PawnTable;

    // side: 0 White, anything else Black; the result and the window are from
    // side's point of view. The last argument is accepted and not read.
    int PosEval(int side, int alpha, int beta, ChessBoard* board);
    int MaterialOnly(int side, int alpha, const ChessBoard& board) const;
    int SideMaterialValue(int side, const ChessBoard* board) const;

    void AttackMasks();
    // The attack sets of the board under evaluation, built by the first
    // term that reads them: a lazy exit often comes before any does.
    void NeedAttackMasks() {
        if (!AttackMasksBuilt) AttackMasks();
    }
    int DynamicPieceAdjustments(int phase) const;
    bool TwoPieceEndings(int side) const;

    // Pawn structure and pawn races (pawns.cpp).
    int PawnStructure(int side);
    bool DoesPawnPromote(int colour, int rank, int promotionSquare, int sideToMove) const;
    int RuleofSquare(int side) const;
    bool QueenAttacks(int colour, int square, Bitboard target) const;

    // King safety (kingsafety.cpp); side 0 is the white king, 1 the black one.
    int PawnFilePenalty(int side, Bitboard pawns);
    int PawnShield(int side);
    int AttackCounts(int side) const;
    int PawnStorm(int side) const;
    int KingEval(int side);

    // Pieces (pieces.cpp).
    int KnightEval(int side);
    int BishopEval(int side);
    int RookEval(int side);
    int QueenEval(int side);
    int Traps(int side) const;
};
