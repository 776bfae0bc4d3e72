// The nodes of a PCF model: points closer than the snapping tolerance are one node. A grid of
// tolerance-sized cells finds the node near a point without looking at every node.
#pragma once

#include "host/PcfVector.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ketra::host::pcf {

class PcfNodeSet {
public:
    explicit PcfNodeSet(double tolerance) : m_tolerance(tolerance > 0 ? tolerance : 1e-9) {}

    int Snap(const Vec3& p) {
        int found = Find(p);
        if (found >= 0)
            return found;
        int index = static_cast<int>(m_points.size());
        m_points.push_back(p);
        m_cells[Key(Cell(p[0]), Cell(p[1]), Cell(p[2]))].push_back(index);
        return index;
    }
    int Find(const Vec3& p) const {
        // Cells are as wide as the tolerance: the ball around p reaches one or two per axis.
        std::int64_t lo[3], hi[3];
        for (int i = 0; i < 3; ++i) {
            lo[i] = Cell(p[i] - m_tolerance);
            hi[i] = Cell(p[i] + m_tolerance);
        }
        int best = -1;
        double bestDistance = m_tolerance;
        for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
            for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
                for (std::int64_t z = lo[2]; z <= hi[2]; ++z) {
                    auto it = m_cells.find(Key(x, y, z));
                    if (it == m_cells.end())
                        continue;
                    for (int i : it->second) {
                        double d = Norm(Sub(m_points[i], p));
                        if (d <= bestDistance && (best < 0 || d < bestDistance || i < best)) {
                            best = i;
                            bestDistance = d;
                        }
                    }
                }
        return best;
    }
    int Add(const Vec3& p) { // a node that is never merged with a nearby one (a split point)
        int index = static_cast<int>(m_points.size());
        m_points.push_back(p);
        m_cells[Key(Cell(p[0]), Cell(p[1]), Cell(p[2]))].push_back(index);
        return index;
    }
    Vec3 At(int i) const { return m_points[i]; } // a copy: adding nodes moves the others
    int Size() const { return static_cast<int>(m_points.size()); }

private:
    std::int64_t Cell(double v) const {
        return static_cast<std::int64_t>(std::floor(v / m_tolerance));
    }
    static std::uint64_t Key(std::int64_t x, std::int64_t y, std::int64_t z) {
        auto h = [](std::int64_t v) {
            return static_cast<std::uint64_t>(v) * 0x9E3779B97F4A7C15ull;
        };
        return h(x) ^ (h(y) >> 1) ^ (h(z) << 1) ^
               (static_cast<std::uint64_t>(z) * 0xC2B2AE3D27D4EB4Full);
    }
    double m_tolerance;
    std::vector<Vec3> m_points;
    std::unordered_map<std::uint64_t, std::vector<int>> m_cells;
};

// Straight items by the cells of a grid their padded boxes reach, so that finding the pipe
// under a point does not look at every pipe.
} // namespace ketra::host::pcf
