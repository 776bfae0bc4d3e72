#include "platform/hc/Bvh.h"

#include "platform/sys/HugePages.h"
#include "platform/sys/Parallel.h"

#include <algorithm>
#include <map>
#include <utility>

namespace ketra::hc {

namespace {
// Deeper trees than this cannot occur with median splits below 2^40 primitives; the cap keeps
// the fixed query stack safe whatever the input.
constexpr int kMaxDepth = 40;
// Subtrees of at least this many primitives near the root are built on threads of their own.
constexpr uint32_t kParallelSubtree = 1u << 15;

// Nodes of the subtree over `count` primitives rooted at `depth`. Median splits make the
// shape depend on the count alone, and at any depth the counts differ by one at most, so
// memoised this is a few dozen steps whatever the count.
uint32_t SubtreeNodes(uint32_t count, int depth, std::map<std::pair<uint32_t, int>, uint32_t>& known) {
    if (count <= Bvh::kLeafSize || depth >= kMaxDepth)
        return 1;
    const auto key = std::make_pair(count, depth);
    if (auto it = known.find(key); it != known.end())
        return it->second;
    const uint32_t nodes =
        1 + SubtreeNodes(count / 2, depth + 1, known) + SubtreeNodes(count - count / 2, depth + 1, known);
    known.emplace(key, nodes);
    return nodes;
}
} // namespace

void Bvh::Clear() {
    m_nodes.clear();
    m_order.clear();
    m_boxes.clear();
}

bool Bvh::Refit(std::span<const Aabb> boxes) {
    if (boxes.size() != m_boxes.size())
        return false;
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i].Empty() != m_boxes[i].Empty())
            return false;
    std::copy(boxes.begin(), boxes.end(), m_boxes.begin());
    // Children always sit after their parent, so a backward sweep sees them first.
    for (size_t n = m_nodes.size(); n-- > 0;) {
        Node& node = m_nodes[n];
        Aabb box;
        if (node.count > 0) {
            for (uint32_t i = 0; i < node.count; ++i)
                box.Add(m_boxes[m_order[node.first + i]]);
        } else {
            box.Add(m_nodes[node.first].box);
            box.Add(m_nodes[node.first + 1].box);
        }
        node.box = box;
    }
    return true;
}

void Bvh::Build(std::span<const Aabb> boxes) {
    Clear();
    m_boxes.assign(boxes.begin(), boxes.end());
    BuildFromBoxes();
}

void Bvh::BuildFrom(std::vector<Aabb>&& boxes) {
    Clear();
    m_boxes = std::move(boxes);
    BuildFromBoxes();
}

void Bvh::BuildFromBoxes() {
    size_t filled = 0;
    for (const Aabb& box : m_boxes)
        filled += box.Empty() ? 0 : 1;
    m_order.reserve(filled);
    for (uint32_t i = 0; i < m_boxes.size(); ++i)
        if (!m_boxes[i].Empty())
            m_order.push_back(i);
    if (m_order.empty())
        return;
    // Every node's place is known before any is built (see BuildNode), so the list is sized
    // once and subtrees can be built side by side.
    std::map<std::pair<uint32_t, int>, uint32_t> known;
    m_nodes.resize(SubtreeNodes(static_cast<uint32_t>(m_order.size()), 0, known));
    sys::AdviseHeapGrowth();
    if (m_order.size() > kLeafSize) {
        // The splits compare centres many times over; work them out once.
        m_centres.resize(3 * m_boxes.size());
        sys::ParallelRanges(m_order.size(), kParallelSubtree, [&](size_t from, size_t to) {
            for (size_t k = from; k < to; ++k) {
                const uint32_t i = m_order[k];
                for (int axis = 0; axis < 3; ++axis)
                    m_centres[3 * i + axis] = m_boxes[i].Centre(axis);
            }
        });
    }
    BuildNode(0, 0, static_cast<uint32_t>(m_order.size()), 0, 1, known);
    m_centres = {};
}

void Bvh::BuildNode(uint32_t self, uint32_t begin, uint32_t end, int depth, uint32_t next,
                    std::map<std::pair<uint32_t, int>, uint32_t>& known) {
    const uint32_t count = end - begin;
    if (count <= kLeafSize || depth >= kMaxDepth) {
        Aabb box;
        for (uint32_t i = begin; i < end; ++i)
            box.Add(m_boxes[m_order[i]]);
        m_nodes[self].box = box;
        m_nodes[self].first = begin;
        m_nodes[self].count = count;
        return;
    }
    Aabb centres;
    for (uint32_t i = begin; i < end; ++i) {
        const float* c = &m_centres[3 * m_order[i]];
        centres.Add(c[0], c[1], c[2]);
    }
    int axis = 0;
    float extent = centres.max[0] - centres.min[0];
    for (int a = 1; a < 3; ++a)
        if (centres.max[a] - centres.min[a] > extent) {
            extent = centres.max[a] - centres.min[a];
            axis = a;
        }
    const uint32_t mid = begin + count / 2;
    std::nth_element(
        m_order.begin() + begin, m_order.begin() + mid, m_order.begin() + end,
        [&](uint32_t a, uint32_t b) { return m_centres[3 * a + axis] < m_centres[3 * b + axis]; });
    // Both children sit side by side at `next`; the left one's subtree follows them, then the
    // right one's: the order a depth-first build handing out places as it goes would give.
    const uint32_t left = next;
    m_nodes[self].first = left;
    m_nodes[self].count = 0;
    const uint32_t rightNext = left + 2 + (SubtreeNodes(mid - begin, depth + 1, known) - 1);
    if (count >= 2 * kParallelSubtree && (size_t{1} << depth) < sys::WorkerCount()) {
        // The two halves touch disjoint ranges of m_order and m_nodes; each keeps its own
        // memo.
        std::map<std::pair<uint32_t, int>, uint32_t> leftKnown = known;
        sys::BothAtOnce([&] { BuildNode(left, begin, mid, depth + 1, left + 2, leftKnown); },
                        [&] { BuildNode(left + 1, mid, end, depth + 1, rightNext, known); });
    } else {
        BuildNode(left, begin, mid, depth + 1, left + 2, known);
        BuildNode(left + 1, mid, end, depth + 1, rightNext, known);
    }
    // An inner node's box is its children's together: the same box as over its primitives.
    Aabb box = m_nodes[left].box;
    box.Add(m_nodes[left + 1].box);
    m_nodes[self].box = box;
}

} // namespace ketra::hc
