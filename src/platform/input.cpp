// Standard input through one buffer of our own: read(2) into it, poll(2) to
// learn without blocking whether more has arrived. Pipes and terminals alike.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

class InputBuffer {
  public:
    char Data[1 << 16];
    int Start = 0, End = 0;
    bool AtEnd = false;

    bool HasLine() const { return std::memchr(Data + Start, '\n', End - Start) != nullptr; }

    // One read(2); false when nothing more will come.
    bool Fill() {
        if (AtEnd) return false;
        if (Start > 0) {
            std::memmove(Data, Data + Start, End - Start);
            End -= Start;
            Start = 0;
        }
        if (End == static_cast<int>(sizeof Data)) return true; // full: the caller consumes first
        ssize_t n;
        do n = read(STDIN_FILENO, Data + End, sizeof Data - End);
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            AtEnd = true;
            return false;
        }
        End += static_cast<int>(n);
        return true;
    }

    // The next character, -1 at the end of input.
    int Next() {
        if (Start == End && !Fill()) return -1;
        return static_cast<unsigned char>(Data[Start++]);
    }
};

InputBuffer Input;

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

bool InputWaiting() {
    if (Input.Start < Input.End || Input.AtEnd) return true;
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    // A hang-up or an error also means a read will not block: it meets the end.
    return poll(&fd, 1, 0) > 0;
}

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadInputLine(char* line, int size) {
    int length = 0, c;
    bool any = false;
    while ((c = Input.Next()) >= 0) {
        any = true;
        if (c == '\n') break;
        if (length < size - 1) line[length++] = static_cast<char>(c);
    }
    while (length > 0 && line[length - 1] == '\r') --length;
    line[length] = '\0';
    return any;
}

bool ReadInputWord(char* word, int size) {
    int c;
    do c = Input.Next();
    while (c >= 0 && IsBlank(c));
    int length = 0;
    for (; c >= 0 && !IsBlank(c); c = Input.Next())
        if (length < size - 1) word[length++] = static_cast<char>(c);
    word[length] = '\0';
    return length > 0;
}
