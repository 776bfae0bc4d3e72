// Splitting work across threads: every item is handled once, in ranges of at least the grain,
// and a failing range fails the whole call only after the others have finished.
#include "platform/sys/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace sys = ketra::sys;

TEST(ParallelTest, RangesCoverEveryItemOnceInOrderedParts) {
    for (size_t count : {0u, 1u, 999u, 1000u, 1999u, 2000u, 100001u}) {
        std::vector<int> seen(count, 0);
        const size_t parts = sys::PartsFor(count, 1000);
        std::vector<std::pair<size_t, size_t>> ranges(parts, {0, 0});
        sys::ParallelParts(count, 1000, [&](size_t part, size_t begin, size_t end) {
            ranges[part] = {begin, end};
            for (size_t i = begin; i < end; ++i) ++seen[i];
        });
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(seen[i], 1) << "item " << i << " of " << count;
        // Parts run in order over the items; none but a lone one is shorter than the grain.
        size_t at = 0;
        for (const auto& [begin, end] : ranges) {
            EXPECT_EQ(begin, at);
            if (parts > 1) {
                EXPECT_GE(end - begin, 1000u);
            }
            at = end;
        }
        EXPECT_EQ(at, count);
        if (count < 2000) {
            EXPECT_EQ(parts, 1u);
        }
    }
}

TEST(ParallelTest, AFailureIsThrownAfterEveryRangeHasRun) {
    std::atomic<size_t> done{0};
    const size_t parts = sys::PartsFor(1 << 20, 1);
    EXPECT_THROW(sys::ParallelParts(1 << 20, 1,
                                    [&](size_t part, size_t, size_t) {
                                        if (part == 0) throw std::runtime_error("first part fails");
                                        ++done;
                                    }),
                 std::runtime_error);
    EXPECT_EQ(done.load(), parts - 1);

    bool secondRan = false;
    EXPECT_THROW(sys::BothAtOnce([] { throw std::logic_error("first fails"); }, [&] { secondRan = true; }),
                 std::logic_error);
    EXPECT_TRUE(secondRan);
}
