// The text that passes between the page and the server: the values of the
// page's commands, read strictly, and the JSON of the replies and events.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One side's clock as the page gives it: "5+3" (minutes, then seconds a
// move), "1:30+0.5", "0.25+0".
struct ClockSetting {
    int BaseMs = 0;
    int IncrementMs = 0;
};

// A clock starts with at least a second and at most three hours; its
// increment is at most a minute.
constexpr int MinClockBaseMs = 1000;
constexpr int MaxClockBaseMs = 3 * 60 * 60 * 1000;
constexpr int MaxClockIncrementMs = 60 * 1000;

// The short form "MIN[:SEC]+INC": minutes (a decimal fraction allowed, or
// seconds after a colon), a plus, the increment in seconds (a fraction
// allowed, to milliseconds). False for anything else or out of range.
bool ReadClock(std::string_view text, ClockSetting* clock);

// A FEN's shape: eight ranks of eight squares of piece letters and digits,
// the side ("w" or "b"), the castling field (KQkq, file letters or "-"),
// the en passant square or "-", and optionally the two counters. Whether
// the position can be played is the board's to say.
bool FenIsWellFormed(std::string_view fen);

// The longest game, and the longest line after a position of it, that the
// page may send: the repetition record holds no more.
constexpr int MaxGameMoves = 500;

// Moves in coordinates ("e2e4", "e7e8n"), separated by single blanks; at
// most `limit` of them. False for anything else.
bool ReadMoveWords(std::string_view text, int limit, std::vector<std::string>* moves);

// A whole number from `low` to `high`, digits only.
bool ReadWholeNumber(std::string_view text, int low, int high, int* value);

// `text` as a JSON string, quotes included; bytes that are no printable
// ASCII are written as \u escapes.
std::string JsonString(std::string_view text);

// A search's score (the side to move's, in the engine's units) as White
// sees it: {"cp":N} in centipawns, or {"mate":N} in moves (negative when
// Black mates).
std::string ScoreJson(int score, int sideToMove);
