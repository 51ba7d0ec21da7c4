// Strict readers of the page's values and the writers of the server's JSON.
#include "web/webtext.h"

#include <cstdint>
#include <cstdio>

#include "board/board.h"
#include "search/score.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number with at most three digits after its point, in
// thousandths: "1.5" is 1500. At most six digits before the point.
bool ReadThousandths(std::string_view text, int64_t* value) {
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 6 || fraction.size() > 3) return false;
    if (point != std::string_view::npos && fraction.empty()) return false;
    int64_t thousandths = 0;
    for (char c : whole) {
        if (!IsDigit(c)) return false;
        thousandths = thousandths * 10 + (c - '0');
    }
    thousandths *= 1000;
    int64_t place = 100;
    for (char c : fraction) {
        if (!IsDigit(c)) return false;
        thousandths += (c - '0') * place;
        place /= 10;
    }
    *value = thousandths;
    return true;
}

bool IsPieceLetter(char c) {
    for (char letter : std::string_view("pnbrqkPNBRQK"))
        if (c == letter) return true;
    return false;
}

// Eight ranks separated by '/', each of eight squares.
bool PlacementIsWellFormed(std::string_view placement) {
    int rank = 0, squares = 0;
    bool lastWasDigit = false;
    for (char c : placement) {
        if (c == '/') {
            if (squares != 8) return false;
            ++rank;
            squares = 0;
            lastWasDigit = false;
        } else if (c >= '1' && c <= '8') {
            if (lastWasDigit) return false; // "44" is no run of eight
            squares += c - '0';
            lastWasDigit = true;
        } else if (IsPieceLetter(c)) {
            ++squares;
            lastWasDigit = false;
        } else {
            return false;
        }
        if (squares > 8) return false;
    }
    return rank == 7 && squares == 8;
}

// "-", or up to four letters among KQkq and the file letters A-H and a-h,
// none twice.
bool CastlingIsWellFormed(std::string_view field) {
    if (field == "-") return true;
    if (field.empty() || field.size() > 4) return false;
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        const bool letter = c == 'K' || c == 'Q' || c == 'k' || c == 'q' ||
                            (c >= 'A' && c <= 'H') || (c >= 'a' && c <= 'h');
        if (!letter || field.find(c) != i) return false;
    }
    return true;
}

bool EnPassantIsWellFormed(std::string_view field) {
    return field == "-" || (field.size() == 2 && field[0] >= 'a' && field[0] <= 'h' &&
                            (field[1] == '3' || field[1] == '6'));
}

bool CounterIsWellFormed(std::string_view field) {
    if (field.empty() || field.size() > 4) return false;
    for (char c : field)
        if (!IsDigit(c)) return false;
    return true;
}

// The fields of `text` separated by single blanks.
std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t blank = text.find(' ', start);
        fields.push_back(text.substr(start, blank - start));
        if (blank == std::string_view::npos) return fields;
        start = blank + 1;
    }
}

bool IsMoveWord(std::string_view word) {
    const auto file = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto rank = [](char c) { return c >= '1' && c <= '8'; };
    if (word.size() != 4 && word.size() != 5) return false;
    if (!file(word[0]) || !rank(word[1]) || !file(word[2]) || !rank(word[3])) return false;
    return word.size() == 4 || std::string_view("qrbn").find(word[4]) != std::string_view::npos;
}

} // namespace

bool ReadClock(std::string_view text, ClockSetting* clock) {
    const size_t plus = text.find('+');
    if (plus == std::string_view::npos) return false;
    std::string_view base = text.substr(0, plus);
    const std::string_view increment = text.substr(plus + 1);
    int64_t baseMs = 0;
    const size_t colon = base.find(':');
    if (colon != std::string_view::npos) {
        // Whole minutes, then two digits of seconds.
        int minutes = 0, seconds = 0;
        if (!ReadWholeNumber(base.substr(0, colon), 0, 180, &minutes)) return false;
        const std::string_view secondsText = base.substr(colon + 1);
        if (secondsText.size() != 2 || !ReadWholeNumber(secondsText, 0, 59, &seconds)) return false;
        baseMs = (int64_t(minutes) * 60 + seconds) * 1000;
    } else {
        int64_t minuteThousandths;
        if (!ReadThousandths(base, &minuteThousandths)) return false;
        baseMs = minuteThousandths * 60;
    }
    int64_t incrementMs;
    if (!ReadThousandths(increment, &incrementMs)) return false;
    if (baseMs < MinClockBaseMs || baseMs > MaxClockBaseMs || incrementMs > MaxClockIncrementMs)
        return false;
    clock->BaseMs = static_cast<int>(baseMs);
    clock->IncrementMs = static_cast<int>(incrementMs);
    return true;
}

bool FenIsWellFormed(std::string_view fen) {
    const std::vector<std::string_view> fields = Fields(fen);
    if (fields.size() != 4 && fields.size() != 6) return false;
    if (!PlacementIsWellFormed(fields[0])) return false;
    if (fields[1] != "w" && fields[1] != "b") return false;
    if (!CastlingIsWellFormed(fields[2]) || !EnPassantIsWellFormed(fields[3])) return false;
    return fields.size() == 4 || (CounterIsWellFormed(fields[4]) && CounterIsWellFormed(fields[5]));
}

bool ReadMoveWords(std::string_view text, int limit, std::vector<std::string>* moves) {
    moves->clear();
    if (text.empty()) return true;
    const std::vector<std::string_view> words = Fields(text);
    if (static_cast<int>(words.size()) > limit) return false;
    for (std::string_view word : words) {
        if (!IsMoveWord(word)) return false;
        moves->emplace_back(word);
    }
    return true;
}

bool ReadWholeNumber(std::string_view text, int low, int high, int* value) {
    if (text.empty() || text.size() > 9) return false;
    int n = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high) return false;
    *value = n;
    return true;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
    }
    return out + "\"";
}

std::string ScoreJson(int score, int sideToMove) {
    const int sign = sideToMove == White ? 1 : -1;
    char text[48];
    if (const int moves = MateInMoves(score))
        std::snprintf(text, sizeof text, "{\"mate\":%d}", sign * moves);
    else
        std::snprintf(text, sizeof text, "{\"cp\":%d}", sign * ThinkingScore(score));
    return text;
}
