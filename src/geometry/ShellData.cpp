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
    const size_t start = a.faces.size();
    const size_t size = b.faces.size();
    a.faces.resize(start + size);
    int* out = a.faces.data() + start;
    const int* in = b.faces.data();
    size_t i = 0;
    size_t written = 0;
    while (i < size) {
        const int count = in[i++];
        out[written++] = count;
        const size_t vertices = static_cast<size_t>(std::abs(static_cast<long>(count)));
        for (size_t k = 0; k < vertices && i < size; ++k) {
            out[written++] = in[i++] + offset;
        }
    }
}
