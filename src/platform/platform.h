// The thin operating-system layer: the clock, standard input, the log file,
// large zeroed memory and a deep stack for the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Milliseconds of wall time on a steady clock. Only differences are meaningful.
// (A process-CPU clock would stand still while the engine waits for input.)
int64_t ClockMs();

// ---------------------------------------------------------------------------
// Standard input
// ---------------------------------------------------------------------------

// All reading of standard input goes through one reader with its own buffer,
// so that InputWaiting never misses input that was read ahead and kept.

// Whether a read would not block: a whole line is buffered, standard input
// has data, or it has reached its end (so the caller reads and sees the end).
bool InputWaiting();
// Whether a person types the input (a terminal), not an interface or a file.
bool InputIsTerminal();
// Reads the next line without its line feed and trailing carriage return,
// cut to size - 1 characters (the rest of a longer line is dropped). False
// at the end of input with nothing read.
bool ReadInputLine(char* line, int size);
// Reads the next blank-separated word, cut to size - 1 characters. False at
// the end of input.
bool ReadInputWord(char* word, int size);

// A file to read as text; null when it cannot be opened or is a directory
// (which fopen would open, and whose read would then look like an empty file).
FILE* OpenTextFile(const char* path);

// ---------------------------------------------------------------------------
// match.log
// ---------------------------------------------------------------------------

// Every line is flushed, so the log is complete even if Vorn is killed.
// Without a `chosen` file the log is match.log in the working directory;
// where that cannot be written, $XDG_STATE_HOME/vorn/match.log (by default
// ~/.local/state/vorn/). While another Vorn holds a match.log, this one
// writes match-PID.log beside it. Failing all, one line on standard error
// and no log.
void OpenLogFile(const char* chosen = nullptr);
void WriteLogFile(const char* text);
// printf-style; the text and a newline are written as by WriteLogFile.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void CloseLogFile();

// ---------------------------------------------------------------------------
// Memory and stack
// ---------------------------------------------------------------------------

// Zeroed memory that the system maps only when a page is first touched, so a
// large table costs nothing until it is used. Null when it cannot be had.
// Huge pages save TLB misses on a table probed all over, but the first touch
// of each can stall for a compaction: a table used from the start of a
// timed search maps them beforehand or takes small ones.
void* AllocateZeroedPages(size_t bytes);
void* AllocateZeroedHugePages(size_t bytes);
void FreeZeroedPages(void* memory, size_t bytes);
// The machine's physical memory in bytes.
uint64_t PhysicalMemoryBytes();
// Zeroes the memory by handing its pages back: cheaper than writing zeros.
void ZeroPages(void* memory, size_t bytes);
// Has the system map every page of the memory now, keeping its contents.
void TouchPages(void* memory, size_t bytes);

// Runs work(context) on a thread with a stack of stackBytes and returns its
// result: the search recurses deeper than the default stack allows.
int RunWithStack(int (*work)(void* context), void* context, size_t stackBytes);

// A thread that runs body(argument) on a stack of stackBytes until it
// returns; Join waits for that. Not copyable: one owner joins it.
class StackThread {
  public:
    StackThread() = default;
    StackThread(const StackThread&) = delete;
    StackThread& operator=(const StackThread&) = delete;
    ~StackThread() { Join(); }

    // False when the system gives no thread.
    bool Start(void (*body)(void*), void* argument, size_t stackBytes);
    void Join();

  private:
    void (*Body)(void*) = nullptr;
    void* Argument = nullptr;
    uint64_t Handle = 0;
    bool Running = false;
};

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

// Creates a new folder, readable by this user only, under the system's
// temporary folder and writes its path. False when it cannot be made.
bool MakeTemporaryFolder(char* path, int size);
