// The helper threads: created when the thread count changes, then waiting
// on a condition variable between jobs, so a search starts them in
// microseconds.
#include <cassert>

#include "search/search.h"

namespace {

// A helper searches as deep as the main search thread (see main.cpp).
constexpr size_t HelperStackBytes = size_t(64) << 20;

} // namespace

void ThreadPool::HelperLoop(void* raw) {
    auto* helper = static_cast<Helper*>(raw);
    ThreadPool& pool = *helper->Pool;
    std::unique_lock<std::mutex> lock(pool.Lock);
    for (;;) {
        pool.JobGiven.wait(lock, [&] { return pool.Quit || pool.JobsGiven != helper->JobsSeen; });
        if (pool.Quit) return;
        helper->JobsSeen = pool.JobsGiven;
        const auto job = pool.Job;
        void* const context = pool.Context;
        lock.unlock();
        job(helper->Index, context);
        lock.lock();
        if (--pool.Busy == 0) pool.JobDone.notify_all();
    }
}

bool ThreadPool::SetThreadCount(int count) {
    assert(count >= 1 && count <= MaxThreads);
    WaitForHelpers();
    if (count == ThreadCount()) return true;
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Quit = true;
    }
    JobGiven.notify_all();
    Helpers.clear(); // each helper's thread is joined as it goes
    Quit = false;
    for (int index = 1; index < count; ++index) {
        auto helper = std::make_unique<Helper>();
        helper->Pool = this;
        helper->Index = index;
        helper->JobsSeen = JobsGiven;
        if (!helper->Thread.Start(HelperLoop, helper.get(), HelperStackBytes)) return false;
        Helpers.push_back(std::move(helper));
    }
    return true;
}

void ThreadPool::StartHelpers(void (*job)(int, void*), void* context) {
    if (Helpers.empty()) return;
    {
        const std::lock_guard<std::mutex> guard(Lock);
        assert(Busy == 0);
        Job = job;
        Context = context;
        Busy = static_cast<int>(Helpers.size());
        ++JobsGiven;
    }
    JobGiven.notify_all();
}

void ThreadPool::WaitForHelpers() {
    std::unique_lock<std::mutex> lock(Lock);
    JobDone.wait(lock, [this] { return Busy == 0; });
}
