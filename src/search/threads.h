// The threads of a search: a pool of helper threads made once and reused,
// and the Lazy SMP helpers that search beside the main thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "board/board.h"
#include "platform/platform.h"

class Engine;
class SearchWorker;

constexpr int MaxThreads = 256;

// The helper threads of a search, created once and reused: each waits for
// a job, runs it with its own index (1 .. count - 1; the thread that starts
// the job counts as thread 0) and waits for the next.
class ThreadPool {
  public:
    ThreadPool() = default;
    ~ThreadPool() { SetThreadCount(1); }
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The threads of a search, the caller included: 1 .. MaxThreads. Waits
    // for a job in progress first. False, with as many threads as could be
    // had, when the system gives no more.
    bool SetThreadCount(int count);
    int ThreadCount() const { return static_cast<int>(Helpers.size()) + 1; }
    // Has every helper run job(index, context); returns at once. The job
    // must watch a stop of its own: the pool only waits for it.
    void StartHelpers(void (*job)(int index, void* context), void* context);
    // Returns once every helper has finished the job it was given.
    void WaitForHelpers();

  private:
    struct Helper {
        ThreadPool* Pool;
        int Index;
        uint64_t JobsSeen;
        StackThread Thread;
    };
    static void HelperLoop(void* helper);

    std::vector<std::unique_ptr<Helper>> Helpers;
    std::mutex Lock;
    std::condition_variable JobGiven, JobDone;
    uint64_t JobsGiven = 0;
    int Busy = 0;
    bool Quit = false;
    void (*Job)(int, void*) = nullptr;
    void* Context = nullptr;
};

// The helpers of the main search (Lazy SMP): each searches the same root
// on a thread of its own with a search object of its own, and they share
// only the transposition table. The main search decides the move and
// prints everything; it starts its helpers when it starts and stops them
// when it ends.
class HelperThreads {
  public:
    explicit HelperThreads(Engine& engine) : Owner(engine) {}

    // The threads of a search, the main one included (1: no helpers). Only
    // between searches. False, with fewer, when the system gives no more.
    bool SetThreadCount(int count);
    int ThreadCount() const { return Pool.ThreadCount(); }
    // Starts every helper on `root`, from the position record `main` has.
    void Start(const ChessBoard& root, const SearchWorker& main);
    // Stops the helpers and waits for them.
    void Stop();
    // Nodes the helpers have searched, and positions they found in the
    // endgame tables, since they were last started.
    int64_t NodeCount() const;
    int64_t TableHits() const;
    // Runs `task` on every helper's search, between searches only.
    template <typename Task> void ForEachWorker(Task task) {
        for (auto& worker : Workers) task(*worker);
    }

  private:
    static void Run(int index, void* helpers);

    Engine& Owner;
    ChessBoard Root;
    bool Running = false;
    std::vector<std::unique_ptr<SearchWorker>> Workers;
    ThreadPool Pool; // declared last: its threads end before the workers go
};
