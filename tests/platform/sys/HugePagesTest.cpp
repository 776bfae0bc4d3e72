#include "platform/sys/HugePages.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace ketra::sys;

namespace {

// The kernel's VmFlags of the mapping holding `p` ("hg": huge pages advised), or "" if none.
std::string FlagsOf(const void* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long start = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> start >> dash >> end && dash == '-') {
            inside = address >= start && address < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) return line.substr(8) + " ";
    }
    return "";
}

bool Advised(const void* p) { return FlagsOf(p).find(" hg ") != std::string::npos; }

// Runs `body` in a child process (the allocator settings are the process's own, and the
// environment is read once) and returns its exit status; 77 means "not applicable here".
int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// Allocates about `bytes` in small blocks, as a scene does, telling the advice as it goes;
// returns the last block (all are left allocated).
void* GrowHeap(std::size_t bytes) {
    void* last = nullptr;
    for (std::size_t done = 0, i = 0; done < bytes; done += 4000, ++i) {
        last = std::malloc(4000);
        if (i % 256 == 0) AdviseHeapGrowth();
    }
    AdviseHeapGrowth();
    return last;
}

// Whether the page holding `p` is in memory.
bool Resident(const void* p) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
    unsigned char in = 0;
    return mincore(reinterpret_cast<void*>(address), page, &in) == 0 && (in & 1);
}

} // namespace

TEST(HugePages, PagesAheadOfTheNewestBlockAreFaultedInAndNothingIsWritten) {
    const int status = InChild([] {
        if (!HugePageAdviceOn()) return 77;
        const long page = sysconf(_SC_PAGESIZE);
        void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        const bool populates = probe != MAP_FAILED && madvise(probe, page, MADV_POPULATE_WRITE) == 0;
        if (probe != MAP_FAILED) munmap(probe, page);
        if (!populates) return 77;  // a kernel before 5.14
        // Blocks filled as they are allocated, each told as the newest.
        std::vector<unsigned char*> blocks;
        for (int i = 0; i < 6000; ++i) {
            auto* block = static_cast<unsigned char*>(std::malloc(4000));
            for (int j = 0; j < 4000; ++j) block[j] = static_cast<unsigned char>(i + j);
            AdviseHeapGrowth(block);
            blocks.push_back(block);
        }
        unsigned char* last = blocks.back();
        const std::uintptr_t heapEnd = reinterpret_cast<std::uintptr_t>(sbrk(0));
        if (reinterpret_cast<std::uintptr_t>(last) + (std::uintptr_t{40} << 20) >= heapEnd) return 77;
        // The far end of the room ahead comes in last; past it nothing may, given time.
        bool ahead = false;
        for (int wait = 0; wait < 300 && !ahead; ++wait) {
            ahead = Resident(last + (std::size_t{12} << 20));
            if (!ahead) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ahead) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (Resident(last + (std::size_t{40} << 20))) return 2;
        for (int i = 0; i < 6000; ++i)
            for (int j = 0; j < 4000; ++j)
                if (blocks[i][j] != static_cast<unsigned char>(i + j)) return 3;
        return 0;
    });
    if (status == 77) GTEST_SKIP() << "no huge-page advice here, or no room above the blocks";
    EXPECT_EQ(status, 0) << "1: room ahead not faulted in, 2: faulted in far beyond, 3: a block changed";
}

TEST(HugePages, HeapThreadArenasAndLargeBlocksAreAdvisedAsAScenesMemoryGrows) {
    const int status = InChild([] {
        if (!HugePageAdviceOn()) return 77;  // the kernel gives huge pages to all or none
        if (!Advised(GrowHeap(std::size_t{200} << 20))) return 1;
        int arena = 0;
        std::thread([&] {
            ReserveArenaRoom();
            void* p = std::malloc(1000);
            AdviseArenaOf(p);
            arena = Advised(p) ? 0 : 2;
        }).join();
        if (arena) return arena;
        const std::size_t large = std::size_t{48} << 20;
        void* block = std::malloc(large);
        AdviseBlock(block, large);
        if (!Advised(static_cast<char*>(block) + large / 2)) return 3;
        return 0;
    });
    if (status == 77) GTEST_SKIP() << "transparent huge pages are not in madvise mode here";
    EXPECT_EQ(status, 0) << "1: heap, 2: thread arena, 3: large block not advised";
}

TEST(HugePages, StoppingTakesTheAdviceBackFromTheHeapAndTheArenas) {
    const int status = InChild([] {
        if (!HugePageAdviceOn()) return 77;
        void* early = GrowHeap(std::size_t{100} << 20);
        void* arena = nullptr;
        std::thread([&] {
            ReserveArenaRoom();
            arena = std::malloc(1000);
            AdviseArenaOf(arena);
        }).join();
        if (!Advised(early) || !Advised(arena)) return 1;
        StopHugePages();
        if (HugePageAdviceOn()) return 2;
        if (Advised(early) || Advised(arena)) return 3;
        if (Advised(GrowHeap(std::size_t{100} << 20))) return 4;
        return 0;
    });
    if (status == 77) GTEST_SKIP() << "transparent huge pages are not in madvise mode here";
    EXPECT_EQ(status, 0) << "1: not advised at first, 2: still on, 3: advice kept, 4: new heap advised";
}

TEST(HugePages, SmallPagesSettingLeavesTheAllocatorAlone) {
    const int status = InChild([] {
        setenv("KETRA_SMALL_PAGES", "1", 1);
        if (HugePageAdviceOn()) return 1;
        if (Advised(GrowHeap(std::size_t{100} << 20))) return 2;
        ReserveArenaRoom();
        return 0;
    });
    EXPECT_EQ(status, 0);
}
