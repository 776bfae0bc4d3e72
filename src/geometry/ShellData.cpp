#include "geometry/ShellData.h"

#include <cmath>
#include <cstdlib>

bool ShellData::IsFinite() const
{
    for (float v : points) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

void AppendShellData(ShellData& a, const ShellData& b)
{
    const int offset = a.PointCount();
    a.points.insert(a.points.end(), b.points.begin(), b.points.end());
    a.faces.reserve(a.faces.size() + b.faces.size());
    const size_t size = b.faces.size();
    size_t i = 0;
    while (i < size) {
        const int count = b.faces[i++];
        a.faces.push_back(count);
        const size_t vertices = static_cast<size_t>(std::abs(static_cast<long>(count)));
        for (size_t k = 0; k < vertices && i < size; ++k) {
            a.faces.push_back(b.faces[i++] + offset);
        }
    }
}
