// Straight items of a PCF model by the cells of a grid that their padded boxes reach, so that
// finding the pipe under a point does not look at every pipe.
#pragma once

#include "host/PcfVector.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ketra::host::pcf {

class PcfEdgeGrid {
public:
    void Reset(double cell) {
        m_cell = cell;
        m_cells.clear();
        m_wide.clear();
    }
    void Insert(int edge, const Vec3& a, const Vec3& b, double pad) {
        std::int64_t lo[3], hi[3];
        double count = 1;
        for (int i = 0; i < 3; ++i) {
            lo[i] = Cell(std::min(a[i], b[i]) - pad);
            hi[i] = Cell(std::max(a[i], b[i]) + pad);
            count *= static_cast<double>(hi[i] - lo[i] + 1);
        }
        if (count > 4096) { // far longer than the cells: looked at by every query
            m_wide.push_back(edge);
            return;
        }
        for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
            for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
                for (std::int64_t z = lo[2]; z <= hi[2]; ++z)
                    m_cells[Key(x, y, z)].push_back(edge);
    }
    // The items whose padded box may hold p; an item may be listed once only.
    template <class F> void Near(const Vec3& p, F visit) const {
        auto it = m_cells.find(Key(Cell(p[0]), Cell(p[1]), Cell(p[2])));
        if (it != m_cells.end())
            for (int e : it->second)
                visit(e);
        for (int e : m_wide)
            visit(e);
    }

private:
    std::int64_t Cell(double v) const { return static_cast<std::int64_t>(std::floor(v / m_cell)); }
    static std::uint64_t Key(std::int64_t x, std::int64_t y, std::int64_t z) {
        return static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
               static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
               static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull;
    }
    double m_cell = 1;
    std::unordered_map<std::uint64_t, std::vector<int>> m_cells;
    std::vector<int> m_wide;
};

} // namespace ketra::host::pcf
