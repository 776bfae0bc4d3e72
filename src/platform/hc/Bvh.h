// A bounding-volume hierarchy over axis-aligned boxes: the spatial index that picking uses per
// segment (over geometry items and subsegments) and per large item (over faces or segments).
// It stores only boxes and primitive indices; what a primitive is stays with the caller.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <utility>
#include <vector>

namespace ketra::hc {

struct Aabb {
    float min[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float max[3] = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
                    std::numeric_limits<float>::lowest()};

    // True when nothing has been added (min > max).
    bool Empty() const { return min[0] > max[0] || min[1] > max[1] || min[2] > max[2]; }
    void Add(float x, float y, float z) {
        if (x < min[0])
            min[0] = x;
        if (y < min[1])
            min[1] = y;
        if (z < min[2])
            min[2] = z;
        if (x > max[0])
            max[0] = x;
        if (y > max[1])
            max[1] = y;
        if (z > max[2])
            max[2] = z;
    }
    void Add(const Aabb& b) {
        if (b.Empty())
            return;
        Add(b.min[0], b.min[1], b.min[2]);
        Add(b.max[0], b.max[1], b.max[2]);
    }
    float Centre(int axis) const { return 0.5f * (min[axis] + max[axis]); }
};

class Bvh {
public:
    // Most primitives a leaf holds.
    static constexpr uint32_t kLeafSize = 4;

    // Builds the hierarchy over boxes[i] for i in [0, size). Empty boxes are left out (they can
    // never be hit). Replaces any previous content. O(n log n).
    void Build(std::span<const Aabb> boxes);
    // The same, keeping `boxes` rather than a copy of them.
    void BuildFrom(std::vector<Aabb>&& boxes);
    void Clear();
    // Updates the boxes of an unchanged set of primitives without restructuring: O(n). False
    // (and nothing changed) when the count differs or a box became empty or non-empty; the
    // caller then builds anew. Queries stay exact; only the split quality may age.
    bool Refit(std::span<const Aabb> boxes);

    bool Empty() const { return m_nodes.empty(); }
    // Union of all boxes (empty box when the hierarchy is empty).
    const Aabb& Bounds() const { return m_nodes.empty() ? m_emptyBox : m_nodes.front().box; }
    size_t NodeCount() const { return m_nodes.size(); }
    // The box of each primitive, as last built or refitted (empty ones included).
    const std::vector<Aabb>& Boxes() const { return m_boxes; }

    // Depth-first walk: overlaps(box) decides whether a node (or leaf primitive box) is worth
    // visiting; visit(primitiveIndex) is called for each primitive whose own box passed.
    template <class Overlaps, class Visit> void Query(Overlaps&& overlaps, Visit&& visit) const {
        if (m_nodes.empty())
            return;
        uint32_t stack[64];
        int top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node& node = m_nodes[stack[--top]];
            if (!overlaps(node.box))
                continue;
            if (node.count > 0) {
                for (uint32_t i = 0; i < node.count; ++i) {
                    const uint32_t prim = m_order[node.first + i];
                    if (node.count == 1 || overlaps(m_boxes[prim]))
                        visit(prim);
                }
            } else if (top + 2 <= 64) {
                stack[top++] = node.first + 1;
                stack[top++] = node.first;
            }
        }
    }

private:
    struct Node {
        Aabb box;
        uint32_t first = 0; // leaf: first index in m_order; inner: index of the left child
        uint32_t count = 0; // primitives in a leaf; 0 for an inner node
    };
    void BuildFromBoxes();
    // Builds the subtree of node `self` over m_order[begin, end); its descendants take the
    // places from `next` on. `known` memoises subtree sizes.
    void BuildNode(uint32_t self, uint32_t begin, uint32_t end, int depth, uint32_t next,
                   std::map<std::pair<uint32_t, int>, uint32_t>& known);

    std::vector<Node> m_nodes;
    std::vector<uint32_t> m_order;
    std::vector<Aabb> m_boxes;
    std::vector<float> m_centres; // while building: x, y, z of each primitive box's centre
    Aabb m_emptyBox;
};

} // namespace ketra::hc
