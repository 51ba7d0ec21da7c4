// The UCI protocol: the words of a command line and the dialogue.
#pragma once

#include <cstdint>

#include "search/search.h"

// The words of one command line: any run of blanks or tabs separates them.
struct UCIWords {
    static constexpr int LineLength = 16384;
    static constexpr int MaxWords = LineLength / 2;
    char Text[LineLength];
    const char* Word[MaxWords];
    int Count = 0;

    void Split(const char* line);
    const char* operator[](int i) const { return i < Count ? Word[i] : ""; }
    // The index of `word` at or after `first`, Count when it is not there.
    int Find(const char* word, int first = 0) const;
    // Word i as a decimal number (a sign, then digits only), saturated far
    // beyond any value a command needs. False when it is no number.
    bool Number(int i, int64_t* value) const;
    // Words first .. last - 1 joined by single blanks, cut to size - 1 characters.
    void Join(int first, int last, char* out, int size) const;
};

// The UCI dialogue. One thread: while a search runs, the search hands each
// line that arrives to UCIPrep, which acts at once on "stop", "ponderhit",
// "isready" and "quit" and keeps every other line until the search has ended.
class UCIProtocol {
  public:
    enum HandlerState : uint8_t { WAITING, SEARCHING, PONDERING, INFINITE };

    char CommandBuffer[UCIWords::LineLength] = {};
    UCIWords Words;
    Engine* Searcher = nullptr; // main's engine, handed over by AttachEngine
    uint8_t ShowCurrLine = 1;
    uint8_t Chess960 = 0; // "UCI_Chess960": positions and castling by Chess960's rules
    uint8_t ShowWDL = 0;  // "UCI_ShowWDL": the expected result beside each score   //
                          // "UCI_ShowCurrLine": "info currmove" lines in long searches
    uint8_t State = WAITING;
    uint8_t Running = 1;
    uint8_t PonderOption = 0; // "Ponder": a ponder move follows the best move
    uint8_t AnalyseMode = 0;  // "UCI_AnalyseMode": recorded; the go command sets the limits

    // Runs the dialogue from the first word on; returns the exit status at
    // "quit" or at the end of input.
    int Dialogue(const char* firstWord);
    // Carries out one line; returns one of the search's Command...Search codes.
    int UCIPrep(const char* text);
    int UCICore();
    // Replays the moves from word `first` on on MainBoard, each checked
    // against the legal moves; returns how many were played.
    int ProcessMoves(int first);
    // Plays one move text; false (nothing played) when it is no legal move.
    bool MakeMoves(const char* moveText);

  private:
    // Lines kept during a search, each ended by a NUL, oldest first.
    char Pending[1 << 16] = {};
    int PendingStart = 0, PendingEnd = 0;

    bool NextLine(char* line, int size);
    void Keep(const char* line);
    int DuringSearch();

    void Identify();
    void IsReady();
    void NewGame();
    void Position();
    void SetOption();
    void Go();
    void Ignore();
    void Quit();
};

extern UCIProtocol UCI;

// An "info string" line for the interface, also written to the log.
void InfoString(const char* format, ...) __attribute__((format(printf, 1, 2)));
