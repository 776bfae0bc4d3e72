// The spatial index under picking: a query must find exactly what a brute-force scan finds.
#include "platform/hc/Bvh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using ketra::hc::Aabb;
using ketra::hc::Bvh;

namespace {

bool Overlap(const Aabb& a, const Aabb& b) {
    for (int i = 0; i < 3; ++i)
        if (a.max[i] < b.min[i] || b.max[i] < a.min[i])
            return false;
    return true;
}

Aabb Box(float x0, float y0, float z0, float x1, float y1, float z1) {
    Aabb b;
    b.Add(x0, y0, z0);
    b.Add(x1, y1, z1);
    return b;
}

std::vector<uint32_t> QueryAll(const Bvh& bvh, const Aabb& q) {
    std::vector<uint32_t> hits;
    bvh.Query([&](const Aabb& b) { return Overlap(b, q); }, [&](uint32_t i) { hits.push_back(i); });
    std::sort(hits.begin(), hits.end());
    return hits;
}

} // namespace

TEST(SelectionBvhTest, QueriesMatchABruteForceScan) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> pos(-100.f, 100.f), size(0.f, 5.f);
    // 70,000 boxes are enough for the halves of the tree to be built on threads of their own.
    for (int n : {1, 3, 4, 5, 17, 1000, 5000, 70000}) {
        std::vector<Aabb> boxes;
        for (int i = 0; i < n; ++i) {
            const float x = pos(rng), y = pos(rng), z = pos(rng);
            boxes.push_back(Box(x, y, z, x + size(rng), y + size(rng), z + size(rng)));
        }
        Bvh bvh;
        bvh.Build(boxes);
        for (int q = 0; q < 50; ++q) {
            const float x = pos(rng), y = pos(rng), z = pos(rng), s = size(rng) * 8;
            const Aabb query = Box(x, y, z, x + s, y + s, z + s);
            std::vector<uint32_t> expected;
            for (uint32_t i = 0; i < boxes.size(); ++i)
                if (Overlap(boxes[i], query))
                    expected.push_back(i);
            ASSERT_EQ(QueryAll(bvh, query), expected) << "n=" << n << " query " << q;
        }
        // The root bounds everything.
        for (const Aabb& b : boxes)
            for (int a = 0; a < 3; ++a) {
                EXPECT_LE(bvh.Bounds().min[a], b.min[a]);
                EXPECT_GE(bvh.Bounds().max[a], b.max[a]);
            }
    }
}

TEST(SelectionBvhTest, EmptyBoxesAndCoincidentBoxesAreHandled) {
    Bvh bvh;
    bvh.Build({});
    EXPECT_TRUE(bvh.Empty());
    EXPECT_TRUE(bvh.Bounds().Empty());
    EXPECT_TRUE(QueryAll(bvh, Box(-1, -1, -1, 1, 1, 1)).empty());

    // Empty boxes never come back; thousands of identical boxes still build a shallow tree.
    std::vector<Aabb> boxes(3000, Box(0, 0, 0, 1, 1, 1));
    boxes[7] = Aabb{};
    bvh.Build(boxes);
    const std::vector<uint32_t> hits = QueryAll(bvh, Box(0.5f, 0.5f, 0.5f, 0.6f, 0.6f, 0.6f));
    EXPECT_EQ(hits.size(), 2999u);
    EXPECT_FALSE(std::binary_search(hits.begin(), hits.end(), 7u));
    EXPECT_LT(bvh.NodeCount(), 3000u);

    // Rebuilding replaces the old content.
    bvh.Build(std::vector<Aabb>{Box(5, 5, 5, 6, 6, 6)});
    EXPECT_EQ(QueryAll(bvh, Box(0, 0, 0, 1, 1, 1)).size(), 0u);
    EXPECT_EQ(QueryAll(bvh, Box(5.5f, 5.5f, 5.5f, 7, 7, 7)), std::vector<uint32_t>{0});
}
