#include "platform/hc/Bvh.h"

#include <algorithm>

namespace ketra::hc {

namespace {
// Deeper trees than this cannot occur with median splits below 2^40 primitives; the cap keeps
// the fixed query stack safe whatever the input.
constexpr int kMaxDepth = 40;
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
    m_nodes.reserve(2 * m_order.size() / kLeafSize + 2);
    m_nodes.emplace_back();
    if (m_order.size() > kLeafSize) {
        // The splits compare centres many times over; work them out once.
        m_centres.resize(3 * m_boxes.size());
        for (uint32_t i : m_order)
            for (int axis = 0; axis < 3; ++axis)
                m_centres[3 * i + axis] = m_boxes[i].Centre(axis);
    }
    BuildNode(0, 0, static_cast<uint32_t>(m_order.size()), 0);
    m_centres = {};
}

void Bvh::BuildNode(uint32_t self, uint32_t begin, uint32_t end, int depth) {
    Aabb box;
    for (uint32_t i = begin; i < end; ++i)
        box.Add(m_boxes[m_order[i]]);
    m_nodes[self].box = box;
    const uint32_t count = end - begin;
    if (count <= kLeafSize || depth >= kMaxDepth) {
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
    const uint32_t left = static_cast<uint32_t>(m_nodes.size());
    m_nodes[self].first = left;
    m_nodes[self].count = 0;
    // Both child slots exist before either is built so that siblings sit side by side.
    m_nodes.emplace_back();
    m_nodes.emplace_back();
    BuildNode(left, begin, mid, depth + 1);
    BuildNode(left + 1, mid, end, depth + 1);
}

} // namespace ketra::hc
