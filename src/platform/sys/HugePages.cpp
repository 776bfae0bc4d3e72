#include "platform/sys/HugePages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

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

bool SmallPagesAsked() {
    if (std::getenv("KETRA_SMALL_PAGES")) return true;  // set at all, as the ketra command reads it
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return tunables && std::strstr(tunables, "glibc.malloc.hugetlb");  // glibc advises itself
}

std::uintptr_t Break() { return reinterpret_cast<std::uintptr_t>(sbrk(0)); }

struct Advice {
    bool on = false;
    std::atomic<std::uintptr_t> heapEnd{0};  // the main heap is advised up to here
};

Advice& TheAdvice() {
    static Advice advice;
    static const bool started = [] {
        if (SmallPagesAsked() || !KernelGivesHugePagesOnRequestOnly()) return false;
        // Grow the heap in large steps, so that a step is advised before most of it is
        // touched; and take blocks up to the usual largest from the heap, where the advice
        // reaches them, rather than from mappings of their own.
        if (mallopt(M_TOP_PAD, static_cast<int>(kHeapStep)) != 1) return false;
        mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
        advice.heapEnd = Break();
        advice.on = true;
        return true;
    }();
    (void)started;
    return advice;
}

void Advise(std::uintptr_t from, std::uintptr_t to) {
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    from &= ~(page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

} // namespace

bool HugePageAdviceOn() { return TheAdvice().on; }

void AdviseHeapGrowth() {
    Advice& advice = TheAdvice();
    if (!advice.on) return;
    const std::uintptr_t now = Break();
    std::uintptr_t end = advice.heapEnd.load(std::memory_order_relaxed);
    if (now == end) return;
    // Another thread that saw the same growth advises it; a shrunk heap is advised again
    // from where it ends now when it grows back.
    if (!advice.heapEnd.compare_exchange_strong(end, now, std::memory_order_relaxed)) return;
    if (now > end) Advise(end, now);
}

void AdviseArenaOf(const void* allocated) {
    Advice& advice = TheAdvice();
    if (!advice.on || !allocated) return;
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
}

void AdviseBlock(const void* start, std::size_t bytes) {
    if (!TheAdvice().on || !start || bytes < kLargestHeapBlock) return;
    const auto from = reinterpret_cast<std::uintptr_t>(start);
    Advise(from, from + bytes);
}

void ReserveArenaRoom() {
    if (!TheAdvice().on) return;
    void* room = std::malloc(kArenaRoom);  // never touched: address space only
    if (!room) return;
    AdviseArenaOf(room);
    std::free(room);
}

} // namespace ketra::sys
