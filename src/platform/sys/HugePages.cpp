#include "platform/sys/HugePages.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <semaphore>
#include <string>
#include <system_error>
#include <thread>

namespace ketra::sys {

namespace {

// glibc reserves each thread arena as one block of this size, aligned to it (64-bit builds).
constexpr std::uintptr_t kArenaBlock = std::uintptr_t{64} << 20;
// The largest block the allocator's own mmap threshold would rise to; larger blocks keep
// mappings of their own.
constexpr int kLargestHeapBlock = 32 << 20;
// Room made ahead in a thread arena: below kLargestHeapBlock, so that it comes from the
// arena's 64 MB reservation rather than from a mapping of its own.
constexpr std::size_t kArenaRoom = std::size_t{24} << 20;

bool KernelGivesHugePagesOnRequestOnly() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    std::getline(in, line);
    return line.find("[madvise]") != std::string::npos;
}

bool AllocatorLeftAlone() {
    return std::getenv("KETRA_SMALL_PAGES") != nullptr;  // set at all, as the ketra command reads it
}

bool GlibcAdvisesItself() {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return tunables && std::strstr(tunables, "glibc.malloc.hugetlb");
}

std::uintptr_t Break() { return reinterpret_cast<std::uintptr_t>(sbrk(0)); }

struct Advice {
    std::atomic<bool> on{false};  // the heap's steps advised for huge pages
    bool prefault = false;        // pages ahead of the newest block faulted in (Prefaulter below)
    std::uintptr_t heapStart = 0;            // where the advice began
    std::atomic<std::uintptr_t> heapEnd{0};  // the main heap is advised up to here
    // Thread arenas advised, to take the advice back from (StopHugePages).
    std::array<std::atomic<std::uintptr_t>, 64> arenas{};
    std::atomic<size_t> arenaCount{0};
};

Advice& TheAdvice() {
    static Advice advice;
    static const bool started = [] {
        if (AllocatorLeftAlone()) return false;
        // Grow the heap in large steps, so that a step is advised before most of it is
        // touched and the room ahead of the newest block lies inside the heap; and take
        // blocks up to the usual largest from the heap, where the advice reaches them, rather
        // than from mappings of their own.
        if (mallopt(M_TOP_PAD, static_cast<int>(kHeapStep)) != 1) return false;
        mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
        advice.heapStart = advice.heapEnd = Break();
        advice.prefault = true;
        // glibc's tunable advises the heap itself; other kernel modes need no advice.
        advice.on = !GlibcAdvisesItself() && KernelGivesHugePagesOnRequestOnly();
        return true;
    }();
    (void)started;
    return advice;
}

std::uintptr_t PageFloor(std::uintptr_t address) {
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    return address & ~(page - 1);
}

void Advise(std::uintptr_t from, std::uintptr_t to) {
    from = PageFloor(from);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

bool AdviceOn() { return TheAdvice().on.load(std::memory_order_relaxed); }

// Faults the main heap in on a thread of its own, a little ahead of the code that fills it.
// Handing out a fresh page (zeroing it, and on a virtual machine having the host back it) is
// most of the cost of a large scene's first touches; done here it runs on another core while
// the building thread goes on. MADV_POPULATE_WRITE maps what is missing and leaves every page
// already there, and its contents, as they are, so it may race the allocator freely.
//
// It works from the address of a block just allocated (the heap fills upwards) to kAhead past
// it, no further: room the heap holds but nobody uses yet, a list reserved for its worst case
// say, stays untouched, so resident memory grows by at most kAhead beyond what a scene takes.
//
// No lock is shared with the thread (a child forked from a host keeps none held): the place
// to work from is published in atomics and the thread woken by a semaphore. The state is never
// destroyed, since the thread outlives static destruction.
class Prefaulter {
public:
    static Prefaulter& Instance() {
        static Prefaulter* prefaulter = new Prefaulter;
        return *prefaulter;
    }

    // `recent` was just allocated in the main heap, which ends at `heapEnd`.
    void Ahead(std::uintptr_t recent, std::uintptr_t heapEnd) {
        if (m_off.load(std::memory_order_relaxed)) return;
        const std::uintptr_t from = PageFloor(recent);
        // Woken once per stride the allocations move on, not once per allocation.
        if (from < m_from.load(std::memory_order_relaxed) + kStride) return;
        m_heapEnd.store(heapEnd, std::memory_order_relaxed);
        m_from.store(from, std::memory_order_release);
        if (!m_started.exchange(true)) {
            try {
                std::thread([this] { Run(); }).detach();
            } catch (const std::system_error&) {
                m_off = true;  // no thread: pages are faulted where they are first touched
                return;
            }
        }
        m_wake.release();
    }

private:
    static constexpr std::uintptr_t kStride = std::uintptr_t{2} << 20;
    static constexpr std::uintptr_t kAhead = std::uintptr_t{16} << 20;

    // A virtual machine whose host is short of free huge pages can take 30 ms to back a
    // fresh 2 MB page, fifteen times what it takes for the same memory in small pages. Strides
    // that slow, twice running, end the advice (StopHugePages). Thread CPU time is measured,
    // not the clock, so that a thread waiting for a core is not mistaken for a slow host.
    static constexpr double kSlowHugeStride = 0.012;  // seconds for 2 MB: under 0.17 GB/s

    static double ThreadSeconds() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }

    void Run() {
        pthread_setname_np(pthread_self(), "ketra-prefault");  // as hosts' thread lists show it
        std::uintptr_t done = 0;  // faulted in up to here
        int slowStrides = 0;
        for (;;) {
            m_wake.acquire();
            const std::uintptr_t from = m_from.load(std::memory_order_acquire);
            const std::uintptr_t to = std::min(from + kAhead, m_heapEnd.load(std::memory_order_relaxed));
            for (std::uintptr_t at = std::max(done, from); at < to; at += kStride) {
                const std::uintptr_t next = std::min(at + kStride, to);
                const bool judged = next - at == kStride && AdviceOn();
                const double start = judged ? ThreadSeconds() : 0.0;
                if (madvise(reinterpret_cast<void*>(at), next - at, MADV_POPULATE_WRITE) != 0 &&
                    (errno == EINVAL || errno == EPERM)) {
                    m_off = true;  // a kernel before 5.14, or a mapping that refuses
                    return;
                }
                // A range the heap gave back meanwhile (ENOMEM) is skipped.
                if (judged) {
                    slowStrides = ThreadSeconds() - start > kSlowHugeStride ? slowStrides + 1 : 0;
                    if (slowStrides >= 2) StopHugePages();
                }
            }
            done = std::max(done, to);
            if (from + kAhead < done) done = from + kAhead;  // the heap shrank and fills again
        }
    }

    std::atomic<bool> m_started{false}, m_off{false};
    std::atomic<std::uintptr_t> m_from{0}, m_heapEnd{0};
    std::counting_semaphore<> m_wake{0};
};

} // namespace

bool HugePageAdviceOn() { return AdviceOn(); }

void StopHugePages() {
    Advice& advice = TheAdvice();
    if (!advice.on.exchange(false)) return;
    // Memory already in huge pages stays so; what is faulted in from now on takes small pages.
    const std::uintptr_t from = PageFloor(advice.heapStart), to = Break();
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_NOHUGEPAGE);
    const size_t arenas = std::min(advice.arenaCount.load(), advice.arenas.size());
    for (size_t i = 0; i < arenas; ++i)
        if (const std::uintptr_t block = advice.arenas[i].load())
            madvise(reinterpret_cast<void*>(block), kArenaBlock, MADV_NOHUGEPAGE);
}

void AdviseHeapGrowth(const void* recent) {
    Advice& advice = TheAdvice();
    if (!advice.prefault) return;
    const std::uintptr_t now = Break();
    const auto address = reinterpret_cast<std::uintptr_t>(recent);
    if (address != 0 && address < now) Prefaulter::Instance().Ahead(address, now);
    if (!AdviceOn()) return;
    std::uintptr_t end = advice.heapEnd.load(std::memory_order_relaxed);
    if (now == end) return;
    // Another thread that saw the same growth advises it; a shrunk heap is advised again
    // from where it ends now when it grows back.
    if (!advice.heapEnd.compare_exchange_strong(end, now, std::memory_order_relaxed)) return;
    if (now > end) Advise(end, now);
}

void AdviseArenaOf(const void* allocated) {
    Advice& advice = TheAdvice();
    if (!AdviceOn() || !allocated) return;
    const auto address = reinterpret_cast<std::uintptr_t>(allocated);
    if (address < Break()) {  // the main heap lies below its break, mappings far above
        AdviseHeapGrowth();
        return;
    }
    thread_local std::uintptr_t advisedBlock = 0;
    const std::uintptr_t block = address & ~(kArenaBlock - 1);
    if (block == advisedBlock) return;
    advisedBlock = block;
    // The arena's whole reservation, grown into later, keeps the advice.
    Advise(block, block + kArenaBlock);
    const size_t slot = advice.arenaCount.fetch_add(1);
    if (slot < advice.arenas.size()) advice.arenas[slot].store(block);
}

void AdviseBlock(const void* start, std::size_t bytes) {
    if (!AdviceOn() || !start || bytes < kLargestHeapBlock) return;
    const auto from = reinterpret_cast<std::uintptr_t>(start);
    Advise(from, from + bytes);
}

void ReserveArenaRoom() {
    if (!AdviceOn()) return;
    void* room = std::malloc(kArenaRoom);  // never touched: address space only
    if (!room) return;
    AdviseArenaOf(room);
    std::free(room);
}

} // namespace ketra::sys
