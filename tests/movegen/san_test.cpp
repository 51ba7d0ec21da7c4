// Algebraic notation matched against the legal moves.
#include <gtest/gtest.h>

#include <string>

#include "movegen/movegen.h"
#include "test_util.h"

namespace {

// The coordinate text of the move `san` names, "" when it names none.
std::string Coordinates(const char* fen, const char* san) {
    const ChessBoard board = BoardFromFen(fen);
    Bitboard from, to;
    char promo;
    if (!FindSanMove(board, san, &from, &to, &promo)) return "";
    std::string text = {char('a' + LowestSquare(from) % 8), char('1' + LowestSquare(from) / 8),
                        char('a' + LowestSquare(to) % 8), char('1' + LowestSquare(to) / 8)};
    return text + PromotionSuffix(promo);
}

TEST(AlgebraicNotation, NamesTheOneLegalMove) {
    constexpr const char* Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    // Two rooks and two knights that reach the same squares; castling both
    // ways; a capture, en passant and a promotion for White.
    constexpr const char* Busy = "r3k2r/1P6/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1";
    constexpr const char* Knights = "4k3/8/8/8/8/2N3N1/8/4K3 w - - 0 1";
    constexpr const char* Rooks = "4k3/8/8/8/8/8/4K3/R6R w - - 0 1";
    const struct {
        const char* fen;
        const char* san;
        const char* move;
    } cases[] = {
        {Start, "Nf3", "g1f3"},     {Start, "e4", "e2e4"},       {Start, "e3+", "e2e3"},
        {Start, "Nf3!?", "g1f3"},   {Start, "Ke2", ""},          {Start, "e5", ""},
        {Start, "Nd2", ""},         {Start, "xyz", ""},          {Start, "", ""},
        {Busy, "O-O", "e1g1"},      {Busy, "0-0-0", "e1c1"},     {Busy, "exd6", "e5d6"},
        {Busy, "bxa8=Q+", "b7a8q"}, {Busy, "b8Q", "b7b8q"},      {Busy, "b8=N", ""},
        {Rooks, "Rd1", ""},         {Rooks, "Rad1", "a1d1"},     {Rooks, "Rhd1", "h1d1"},
        {Knights, "Ne4", ""},       {Knights, "Nce4", "c3e4"},   {Knights, "Nge4", "g3e4"},
        {Knights, "N3e4", ""},      {Knights, "Ng3xe4", "g3e4"}, {Knights, "Qd1", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Coordinates(c.fen, c.san), c.move) << c.fen << " " << c.san;
}

} // namespace
