// Pawn structure and passed pawns, the pawn hash that caches the structure,
// and the pawn races of king-and-pawn endings.
#include <bit>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "eval/eval.h"
#include "platform/platform.h"

namespace {

constexpr Bitboard CentreSquares = Bit(D4) | Bit(E4) | Bit(D5) | Bit(E5);

constexpr std::array<Bitboard, 8> MakeAdjacentFiles() {
    std::array<Bitboard, 8> t{};
    for (int f = 0; f < 8; ++f)
        t[f] = (f > 0 ? FileMask[f - 1] : 0) | (f < 7 ? FileMask[f + 1] : 0);
    return t;
}
// Ranks strictly above / strictly below rank r, and from rank r up / down.
constexpr std::array<Bitboard, 8> MakeRanks(bool above, bool inclusive) {
    std::array<Bitboard, 8> t{};
    for (int r = 0; r < 8; ++r)
        for (int q = 0; q < 8; ++q)
            if ((above ? q > r : q < r) || (inclusive && q == r)) t[r] |= RankMask[q];
    return t;
}
constexpr std::array<Bitboard, 8> AdjacentFiles = MakeAdjacentFiles();
constexpr std::array<Bitboard, 8> RanksAbove = MakeRanks(true, false);
constexpr std::array<Bitboard, 8> RanksBelow = MakeRanks(false, false);
constexpr std::array<Bitboard, 8> RanksFrom = MakeRanks(true, true);  // r and above
constexpr std::array<Bitboard, 8> RanksUpTo = MakeRanks(false, true); // r and below

static_assert(AdjacentFiles[0] == FileMask[1] && AdjacentFiles[7] == FileMask[6]);
static_assert(RanksAbove[7] == 0 && RanksBelow[0] == 0 && RanksFrom[0] == ~Bitboard(0));

// Every file that holds a bit of b, as whole files.
Bitboard FileFill(Bitboard b) {
    b |= b << 8;
    b |= b << 16;
    b |= b << 32;
    b |= b >> 8;
    b |= b >> 16;
    b |= b >> 32;
    return b;
}

// The files around a king on its first two ranks (its file and the
// neighbours), from the king's rank towards the enemy. Pawns there are the
// king's shelter and get no bonus for standing far forward.
Bitboard ShelterZone(int kingSq, int colour) {
    const int f = FileOf(kingSq), r = RankOf(kingSq);
    const Bitboard files = FileMask[f] | AdjacentFiles[f];
    if (colour == White) return r <= 1 ? files & RanksFrom[r] : 0;
    return r >= 6 ? files & RanksUpTo[r] : 0;
}

// The middlegame and endgame terms of the pawn structure, both colours.
struct PawnTerms {
    int Mg = 0;
    int Eg = 0;
};

// What a scan finds of one colour's pawns besides its score.
struct PawnScan {
    // By file + 1 (0 and 9 stay zero, so that the neighbours of the a- and
    // h-files read "none"): the board rank index (1-6) of the most advanced
    // passer of the file, 0 for none.
    uint8_t PasserRank[10] = {};
    int PasserScore = 0; // before the king-dependent terms
    int Doubled = 0;
};

// One colour's fields of the evaluator and its view of the board: "ahead" is up the
// board for White and down for Black, and tables are read with the rank
// counted from the colour's own side.
template <int Us> struct PawnView {
    static constexpr int Sign = Us == White ? 1 : -1;
    static constexpr int OwnRank(int r) { return Us == White ? r : 7 - r; }
    static constexpr Bitboard Ahead(int r) { return Us == White ? RanksAbove[r] : RanksBelow[r]; }
    static constexpr Bitboard Behind(int r) { return Us == White ? RanksBelow[r] : RanksAbove[r]; }
    static constexpr Bitboard ThisRankAndBehind(int r) {
        return Us == White ? RanksUpTo[r] : RanksFrom[r];
    }
    static constexpr Bitboard Forward(Bitboard b, int ranks) {
        return Us == White ? b << (8 * ranks) : b >> (8 * ranks);
    }
    static constexpr int PromotionSquare(int f) { return Us == White ? 56 + f : f; }
    static constexpr const SquareTable& PawnSquare() {
        return Us == White ? WPawnSquare : BPawnSquare;
    }

    static Bitboard Own(const ChessBoard& b) { return Us == White ? b.WPawns : b.BPawns; }
    static Bitboard Enemy(const ChessBoard& b) { return Us == White ? b.BPawns : b.WPawns; }
    static int KingSq(const PositionEvaluate& pe) { return Us == White ? pe.WKingSq : pe.BKingSq; }
    static int EnemyKingSq(const PositionEvaluate& pe) {
        return Us == White ? pe.BKingSq : pe.WKingSq;
    }
    static const uint8_t* PasserRank(const PawnHashEntry& e) {
        return Us == White ? e.WPasserRank : e.BPasserRank;
    }
    static int& PasserScore(PositionEvaluate& pe) {
        return Us == White ? pe.WPasserScore : pe.BPasserScore;
    }
    static Bitboard MinorAttacks(const PositionEvaluate& pe) {
        return Us == White ? pe.WKnightAtt | pe.WBishopAtt : pe.BKnightAtt | pe.BBishopAtt;
    }
    static Bitboard EnemyAttacks(const PositionEvaluate& pe) {
        return Us == White ? pe.BAllAtt : pe.WAllAtt;
    }
};

// One colour's pawn structure: the per-pawn terms, then the passer
// tables. Returns the colour's own structure score; the pawns are visited
// from the lowest square up, so White meets its rearmost pawn of a file first
// and Black its most advanced.
template <int Us> int ScanPawns(const PositionEvaluate& pe, PawnTerms* terms, PawnScan* scan) {
    using V = PawnView<Us>;
    const ChessBoard& b = *pe.Board;
    const Bitboard own = V::Own(b), enemy = V::Enemy(b);
    const int kingSq = V::KingSq(pe);
    const Bitboard zone = ShelterZone(kingSq, Us);
    uint8_t* passerRank = scan->PasserRank;
    Bitboard doubledFiles = 0;
    int structure = 0;

    for (Bitboard p = own; p; p &= p - 1) {
        const int sq = LowestSquare(p), f = FileOf(sq), r = RankOf(sq), ownRank = V::OwnRank(r);
        const Bitboard file = FileMask[f], beside = AdjacentFiles[f];
        structure += V::PawnSquare()[sq];
        if (f == 0 && FileOf(kingSq) >= 4) structure -= 5;
        if (f == 7 && FileOf(kingSq) <= 3) structure -= 5;

        const bool isolated = !(own & beside);
        bool backward = false;
        if (isolated) {
            terms->Mg -= V::Sign * IsolatedPawn[f];
            terms->Eg -= V::Sign * IsolatedPawn[f];
            if (f == 3 || f == 4) structure -= 10;
            if (!(enemy & file)) structure -= 50;
        } else if (f >= 1 && f <= 6 && !(own & beside & V::ThisRankAndBehind(r))) {
            structure -= (enemy & file) ? 40 : 80;
            backward = true;
        }

        const Bitboard frontSpan = (file | beside) & V::Ahead(r);
        if (!(enemy & frontSpan)) {
            if (isolated) structure += 50;
            if (backward) structure += 80;
            // Keep the most advanced passer of the file.
            if (Us == White || !passerRank[f + 1]) passerRank[f + 1] = static_cast<uint8_t>(r);
        } else {
            if (!(zone & Bit(sq))) structure += Passers[ownRank] >> 2;
            const int helpers =
                PopCount(own & (file | beside)) - PopCount(own & file & V::Behind(r));
            if (!(enemy & file) && !isolated && helpers > PopCount(enemy & frontSpan))
                scan->PasserScore += Passers[ownRank] / 3;
        }

        // Not yet visited means higher up the board, for both colours.
        if (own & file & RanksAbove[r]) {
            ++scan->Doubled;
            doubledFiles |= file;
            if (!(enemy & file)) structure -= 50;
        }
    }

    terms->Mg += V::Sign * 60 * PopCount(own & CentreSquares);
    if (!own) structure = -30;

    for (int f = 0; f < 8; ++f) {
        const int r = passerRank[f + 1];
        if (!r) continue;
        const int left = passerRank[f], right = passerRank[f + 2];
        const int* table = Passers;
        if (!left && !right) {
            // Guarded by a pawn diagonally behind it.
            const int rankBehind = Us == White ? r - 1 : r + 1;
            if (own & RankMask[rankBehind] & AdjacentFiles[f]) table = ProtectedPassers;
        } else if ((left && left - r <= 1 && r - left <= 1) ||
                   (right && right - r <= 1 && r - right <= 1)) {
            table = ConnectedPassers;
        }
        const int v = table[V::OwnRank(r)];
        scan->PasserScore += (doubledFiles & FileMask[f]) ? (v * 15) >> 4 : v;
    }
    return structure;
}

// The terms of one colour's passers that depend on the kings and the
// pieces, and so are never cached.
template <int Us> void PasserKingTerms(PositionEvaluate& pe, int side) {
    using V = PawnView<Us>;
    const ChessBoard& b = *pe.Board;
    const uint8_t* passerRank = V::PasserRank(*pe.PawnEntry);
    // The ranks of files a..h as the bytes of one word: the loop visits only
    // the files with a passer, in file order.
    static_assert(std::endian::native == std::endian::little);
    uint64_t ranks;
    std::memcpy(&ranks, passerRank, sizeof ranks);
    if (!ranks) return;
    pe.NeedAttackMasks();
    const Bitboard minorAttacks = V::MinorAttacks(pe), enemyAttacks = V::EnemyAttacks(pe);
    for (; ranks; ranks &= ~(uint64_t(0xFF) << (LowestSquare(ranks) & ~7))) {
        const int f = LowestSquare(ranks) / 8, r = passerRank[f];
        const int q = r * 8 + f, ownRank = V::OwnRank(r);
        // Shifting the square, never its index, leaves the squares past the
        // board edge in no set.
        const Bitboard sq = Bit(q), front1 = V::Forward(sq, 1), front2 = V::Forward(sq, 2);
        if (pe.DoesPawnPromote(Us, r, V::PromotionSquare(f), side)) V::PasserScore(pe) += 150;
        const int k = KingProximityPasserPenalty[ownRank];
        pe.EgScore += V::Sign * (((7 - KingDistance(V::KingSq(pe), q)) * k) / 2 +
                                 (KingDistance(V::EnemyKingSq(pe), q) - 7) * k);
        if (minorAttacks & sq) V::PasserScore(pe) += Passers[ownRank] >> 5;
        if (minorAttacks & front1) V::PasserScore(pe) += Passers[ownRank] >> 5;
        if (minorAttacks & front2) V::PasserScore(pe) += Passers[ownRank] >> 6;
        if (ownRank == 6 && !(b.AllPieces & front1) && !(enemyAttacks & (sq | front1)))
            pe.EgScore += V::Sign * Passers[6];
        if (ownRank == 5 && !(b.AllPieces & (front1 | front2)) &&
            !(enemyAttacks & (sq | front1 | front2)))
            pe.EgScore += V::Sign * Passers[5];
    }
}

// A score or count as the entry keeps it, in fewer bits.
template <typename Narrow, typename Wide> Narrow Narrowed(Wide value) {
    assert(value == static_cast<Narrow>(value));
    return static_cast<Narrow>(value);
}

} // namespace

PawnHashTable::PawnHashTable()
    : Entries(static_cast<PawnHashEntry*>(AllocateZeroedHugePages(Size * sizeof(PawnHashEntry)))) {
    // An evaluator cannot work without its table, and 4 MB is no size to fail.
    if (!Entries) {
        std::fputs("Vorn: cannot allocate a pawn table\n", stderr);
        std::abort();
    }
}

PawnHashTable::~PawnHashTable() { FreeZeroedPages(Entries, Size * sizeof(PawnHashEntry)); }

void PawnHashTable::Clear() { ZeroPages(Entries, Size * sizeof(PawnHashEntry)); }

void PawnHashTable::MapMemory() { TouchPages(Entries, Size * sizeof(PawnHashEntry)); }

bool PositionEvaluate::QueenAttacks(int, int square, Bitboard target) const {
    return ((Board->RookMask(Bit(square)) | Board->BishopMask(Bit(square))) & target) != 0;
}

// The rule of the square: can the defending king catch the pawn?
bool PositionEvaluate::DoesPawnPromote(int colour, int rank, int promotionSquare,
                                       int sideToMove) const {
    int d = colour == White ? 7 - rank : rank;
    const int k = KingDistance(colour == White ? BKingSq : WKingSq, promotionSquare);
    int m = d + 1;
    if (d == 6) { // the double step saves a move
        m = 6;
        d = 5;
    }
    return m < k || (colour == sideToMove && d < k);
}

int PositionEvaluate::PawnStructure(int side) {
    const ChessBoard& b = *Board;
    const Bitboard pawns = b.WPawns | b.BPawns;
    const uint32_t key = b.PawnKingKey;
    PawnHashEntry& entry = PawnTable.EntryOf(key);
    PawnEntry = &entry;

    // The counters, and what the pawns give in a few instructions.
    ++PawnTable.Attempts;
    WPawnlessFiles = ~FileFill(b.WPawns);
    BPawnlessFiles = ~FileFill(b.BPawns);
    PawnFiles = ~(WPawnlessFiles & BPawnlessFiles);
    OpenFiles = ~PawnFiles;
    WPawnAttacks = ((b.WPawns & ~FileMask[7]) << 9) | ((b.WPawns & ~FileMask[0]) << 7);
    BPawnAttacks = ((b.BPawns & ~FileMask[7]) >> 7) | ((b.BPawns & ~FileMask[0]) >> 9);

    // A cached structure is read where it lies; a new one is computed into
    // its entry first.
    if (!PawnTable.Contains(key, pawns)) {
        PawnTerms terms;
        PawnScan white, black;
        entry.WStructure = Narrowed<int16_t>(ScanPawns<White>(*this, &terms, &white));
        entry.BStructure = Narrowed<int16_t>(ScanPawns<Black>(*this, &terms, &black));

        ++PawnTable.Misses;
        entry.Key = key;
        entry.Pawns = pawns;
        entry.MgTerm = Narrowed<int16_t>(terms.Mg);
        entry.EgTerm = Narrowed<int16_t>(terms.Eg);
        std::memcpy(entry.WPasserRank, white.PasserRank + 1, sizeof entry.WPasserRank);
        std::memcpy(entry.BPasserRank, black.PasserRank + 1, sizeof entry.BPasserRank);
        entry.WPasserScore = Narrowed<int16_t>(white.PasserScore);
        entry.BPasserScore = Narrowed<int16_t>(black.PasserScore);
        entry.WDoubled = Narrowed<int8_t>(white.Doubled);
        entry.BDoubled = Narrowed<int8_t>(black.Doubled);
    }
    WPasserScore = entry.WPasserScore;
    BPasserScore = entry.BPasserScore;

    // The structure's own terms.
    MgScore += entry.MgTerm;
    EgScore += entry.EgTerm;

    // Terms that depend on the kings and the pieces, never cached.
    PasserKingTerms<White>(*this, side);
    PasserKingTerms<Black>(*this, side);

    // The score from White's side.
    return entry.WStructure - entry.BStructure;
}

int PositionEvaluate::RuleofSquare(int side) const {
    const ChessBoard& b = *Board;
    // Only kings and pawns.
    if (b.WhitePieces != (b.WPawns | b.WKing) || b.BlackPieces != (b.BPawns | b.BKing)) return 0;

    // Each side's quickest unstoppable passer; 10 stands for none.
    int whiteMoves = 10, blackMoves = 10, whitePromotion = 0, blackPromotion = 0;
    for (int f = 0; f < 8; ++f) {
        const int wr = PawnEntry->WPasserRank[f], br = PawnEntry->BPasserRank[f];
        if (wr && DoesPawnPromote(White, wr, 56 + f, side) && 7 - wr < whiteMoves) {
            whiteMoves = 7 - wr;
            whitePromotion = 56 + f;
        }
        if (br && DoesPawnPromote(Black, br, f, side) && br < blackMoves) {
            blackMoves = br;
            blackPromotion = f;
        }
    }

    // The race decided by the moves each side needs.
    constexpr int Win = 5700;
    if (whiteMoves == 10 && blackMoves == 10) return 0;
    if (whiteMoves < blackMoves) return Win;
    if (blackMoves < whiteMoves) return -Win;

    // Both queen in the same number of moves: the side to move (F) first.
    // Does F's new queen check, win the other queen square, or get caught?
    const int other = side == White ? Black : White;
    const int firstWin = side == White ? Win : -Win;
    const int firstPromotion = side == White ? whitePromotion : blackPromotion;
    const int otherPromotion = side == White ? blackPromotion : whitePromotion;
    const int firstKing = side == White ? WKingSq : BKingSq;
    const int otherKing = side == White ? BKingSq : WKingSq;
    if (QueenAttacks(side, firstPromotion, Bit(otherKing)))
        return KingDistance(otherKing, otherPromotion) > 2 ? firstWin : 0;
    int result = 0;
    if (QueenAttacks(side, firstPromotion, Bit(otherPromotion)) &&
        KingDistance(otherKing, otherPromotion) > 2)
        result = firstWin;
    if (QueenAttacks(other, otherPromotion, Bit(firstKing)) &&
        QueenAttacks(other, otherPromotion, Bit(firstPromotion)))
        result = KingDistance(firstKing, firstPromotion) <= 2 ? 0 : -firstWin;
    return result;
}
