// Large zeroed tables and the search thread's stack.
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

// The size of a huge page on x86-64: one TLB entry and one page fault map
// as much memory as 512 small pages.
constexpr size_t HugePageBytes = size_t(2) << 20;

} // namespace

void* AllocateZeroedPages(size_t bytes) {
    // Reserve a huge page more and trim the ends, so that the block starts
    // on a huge-page boundary and the system can back it with huge pages.
    const size_t reserved = bytes + HugePageBytes;
    void* memory =
        mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(memory);
    const uintptr_t aligned = (start + HugePageBytes - 1) & ~(HugePageBytes - 1);
    if (aligned > start) munmap(memory, aligned - start);
    const uintptr_t end = start + reserved;
    if (end > aligned + bytes)
        munmap(reinterpret_cast<void*>(aligned + bytes), end - aligned - bytes);
    // A hint only: where huge pages cannot be had, small ones serve.
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeZeroedPages(void* memory, size_t bytes) {
    if (memory) munmap(memory, bytes);
}

uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageBytes = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageBytes > 0 ? uint64_t(pages) * uint64_t(pageBytes) : 0;
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
