// Large zeroed tables and the search thread's stack.
#include <pthread.h>
#include <sys/mman.h>

#include "platform/platform.h"

void* AllocateZeroedPages(size_t bytes) {
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

void FreeZeroedPages(void* memory, size_t bytes) {
    if (memory) munmap(memory, bytes);
}

void ZeroPages(void* memory, size_t bytes) {
    // Private anonymous pages read as zero again after MADV_DONTNEED.
    madvise(memory, bytes, MADV_DONTNEED);
}

namespace {

struct StackWork {
    int (*Work)();
    int Result;
};

void* RunWork(void* arg) {
    auto* work = static_cast<StackWork*>(arg);
    work->Result = work->Work();
    return nullptr;
}

} // namespace

int RunWithStack(int (*work)(), size_t stackBytes) {
    StackWork job{work, 0};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, RunWork, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) return work(); // no thread to be had: the default stack must do
    pthread_join(thread, nullptr);
    return job.Result;
}
