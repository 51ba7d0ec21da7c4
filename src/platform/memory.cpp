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
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

void* AllocateZeroedHugePages(size_t bytes) {
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

void TouchPages(void* memory, size_t bytes) {
    // One write per small page maps it; a huge page takes the first write.
    constexpr size_t PageBytes = 4096;
    auto* bytesOf = static_cast<volatile unsigned char*>(memory);
    for (size_t i = 0; i < bytes; i += PageBytes) bytesOf[i] = bytesOf[i];
}

bool StackThread::Start(void (*body)(void*), void* argument, size_t stackBytes) {
    static_assert(sizeof(pthread_t) <= sizeof Handle);
    Body = body;
    Argument = argument;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes);
    const auto run = [](void* self) -> void* {
        auto* thread = static_cast<StackThread*>(self);
        thread->Body(thread->Argument);
        return nullptr;
    };
    pthread_t thread;
    Running = pthread_create(&thread, &attributes, run, this) == 0;
    pthread_attr_destroy(&attributes);
    if (Running) Handle = static_cast<uint64_t>(thread);
    return Running;
}

void StackThread::Join() {
    if (!Running) return;
    pthread_join(static_cast<pthread_t>(Handle), nullptr);
    Running = false;
}

int RunWithStack(int (*work)(void*), void* context, size_t stackBytes) {
    struct Job {
        int (*Work)(void*);
        void* Context;
        int Result;
    } job{work, context, 0};
    StackThread thread;
    const auto run = [](void* raw) {
        auto* j = static_cast<Job*>(raw);
        j->Result = j->Work(j->Context);
    };
    if (!thread.Start(run, &job, stackBytes)) return work(context); // the default stack must do
    thread.Join();
    return job.Result;
}
