// The helper threads: every helper runs each job once with its own index,
// the same threads serve job after job, a job that watches a stop ends when
// told, and the count changes only between jobs.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "search/search.h"

namespace {

struct Record {
    std::atomic<int> Runs[MaxThreads] = {};
    std::thread::id Ids[MaxThreads];
};

void RecordRun(int index, void* context) {
    auto* record = static_cast<Record*>(context);
    record->Ids[index] = std::this_thread::get_id();
    ++record->Runs[index];
}

TEST(ThreadPool, EveryHelperRunsEachJobOnceOnTheSameThreads) {
    for (int count : {1, 2, 4, 7}) {
        ThreadPool pool;
        ASSERT_TRUE(pool.SetThreadCount(count));
        EXPECT_EQ(pool.ThreadCount(), count);
        Record first, record;
        pool.StartHelpers(RecordRun, &first);
        pool.WaitForHelpers();
        for (int job = 0; job < 50; ++job) {
            pool.StartHelpers(RecordRun, &record);
            pool.WaitForHelpers();
        }
        std::set<std::thread::id> threads;
        for (int index = 1; index < count; ++index) {
            EXPECT_EQ(first.Runs[index], 1) << count << " threads, helper " << index;
            EXPECT_EQ(record.Runs[index], 50) << count << " threads, helper " << index;
            EXPECT_EQ(record.Ids[index], first.Ids[index]) << "helper " << index << " replaced";
            EXPECT_NE(record.Ids[index], std::this_thread::get_id());
            threads.insert(record.Ids[index]);
        }
        EXPECT_EQ(threads.size(), size_t(count - 1)) << "one thread per helper";
        EXPECT_EQ(record.Runs[0], 0) << "index 0 is the caller's";
        EXPECT_EQ(record.Runs[count], 0);
    }
}

struct Endless {
    std::atomic<bool> Stop{false};
    std::atomic<int> Started{0};
};

// A helper that searches until the main thread tells it to stop.
void RunUntilStopped(int, void* context) {
    auto* endless = static_cast<Endless*>(context);
    ++endless->Started;
    while (!endless->Stop.load()) std::this_thread::yield();
}

TEST(ThreadPool, HelpersEndWhenTheirJobIsStoppedAndTheCountChangesBetweenJobs) {
    ThreadPool pool;
    ASSERT_TRUE(pool.SetThreadCount(3));
    for (int round = 0; round < 3; ++round) {
        Endless endless;
        pool.StartHelpers(RunUntilStopped, &endless);
        while (endless.Started.load() < 2) std::this_thread::yield();
        endless.Stop = true;
        pool.WaitForHelpers();
    }
    // A change of count waits for the job in progress, then serves the next.
    Endless endless;
    pool.StartHelpers(RunUntilStopped, &endless);
    std::thread stopper([&] {
        while (endless.Started.load() < 2) std::this_thread::yield();
        endless.Stop = true;
    });
    ASSERT_TRUE(pool.SetThreadCount(5));
    stopper.join();
    EXPECT_EQ(endless.Started.load(), 2);
    Record record;
    pool.StartHelpers(RecordRun, &record);
    pool.WaitForHelpers();
    for (int index = 1; index < 5; ++index) EXPECT_EQ(record.Runs[index], 1) << index;
    ASSERT_TRUE(pool.SetThreadCount(1));
    pool.StartHelpers(RecordRun, &record); // no helper: nothing runs, nothing waits
    pool.WaitForHelpers();
    for (int index = 1; index < 5; ++index) EXPECT_EQ(record.Runs[index], 1) << index;
}

// A helper's search recurses as deep as the main thread's: far past the
// system's default stack of 8 MB.
int Recurse(int depth) {
    volatile char frame[64 * 1024];
    frame[0] = static_cast<char>(depth);
    return depth == 0 ? frame[0] : Recurse(depth - 1) + frame[0];
}

void DeepJob(int, void* context) { *static_cast<std::atomic<int>*>(context) = Recurse(400); }

TEST(ThreadPool, HelpersHaveTheSearchStack) {
    ThreadPool pool;
    ASSERT_TRUE(pool.SetThreadCount(2));
    std::atomic<int> result{-1};
    pool.StartHelpers(DeepJob, &result);
    pool.WaitForHelpers();
    int expected = 0;
    for (int depth = 0; depth <= 400; ++depth) expected += static_cast<char>(depth);
    EXPECT_EQ(result.load(), expected);
}

} // namespace
