#include "platform/sys/HugePages.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

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

} // namespace

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
