#include "platform/render/LineCaps.h"

#include <algorithm>
#include <cmath>

namespace ketra::render {

void AppendCapTriangles(const GlyphShape& glyph, float x, float y, float dx, float dy, float weight,
                        std::vector<float>& out) {
    if (glyph.size <= 0 || !std::isfinite(x) || !std::isfinite(y)) return;
    const float length = std::hypot(dx, dy);
    if (!(length > 0) || !std::isfinite(length)) return;
    dx /= length, dy /= length;
    const float lineWeight = std::max(1.0f, weight);
    const float unit = lineWeight * kCapPixelsPerWeight / glyph.size;
    // Glyph (gx, gy): gx along the line, gy to its left.
    auto place = [&](float gx, float gy, float& px, float& py) {
        px = x + (gx * dx - gy * dy) * unit;
        py = y + (gx * dy + gy * dx) * unit;
    };
    for (const GlyphFigure& figure : glyph.figures) {
        const size_t n = figure.points.size() / 2;
        if (figure.filled) {
            if (n < 3) continue;
            float x0, y0;
            place(figure.points[0], figure.points[1], x0, y0);
            for (size_t i = 1; i + 1 < n; ++i) {
                float x1, y1, x2, y2;
                place(figure.points[2 * i], figure.points[2 * i + 1], x1, y1);
                place(figure.points[2 * i + 2], figure.points[2 * i + 3], x2, y2);
                out.insert(out.end(), {x0, y0, x1, y1, x2, y2});
            }
            continue;
        }
        // A stroke: one quad per segment, `lineWeight` pixels wide; a single point is a dot.
        const float half = lineWeight * 0.5f;
        for (size_t i = 0; i < n; ++i) {
            float ax, ay, bx, by;
            place(figure.points[2 * i], figure.points[2 * i + 1], ax, ay);
            if (n == 1) {
                bx = ax + 0.01f, by = ay;
            } else if (i + 1 < n) {
                place(figure.points[2 * i + 2], figure.points[2 * i + 3], bx, by);
            } else {
                break;
            }
            float sx = bx - ax, sy = by - ay;
            const float len = std::hypot(sx, sy);
            if (!(len > 0)) continue;
            sx /= len, sy /= len;
            const float nx = -sy * half, ny = sx * half;
            ax -= sx * half, ay -= sy * half, bx += sx * half, by += sy * half;
            out.insert(out.end(), {ax + nx, ay + ny, ax - nx, ay - ny, bx + nx, by + ny,
                                   bx + nx, by + ny, ax - nx, ay - ny, bx - nx, by - ny});
        }
    }
}

void AppendLineCaps(const std::vector<float>& xy, const GlyphShape* startCap, const GlyphShape* endCap,
                    float weight, std::vector<float>& out) {
    const size_t n = xy.size() / 2;
    if (n < 2) return;
    auto capAt = [&](const GlyphShape* glyph, size_t from, bool forward) {
        if (!glyph) return;
        const float x = xy[2 * from], y = xy[2 * from + 1];
        for (size_t k = 1; k < n; ++k) {
            const size_t other = forward ? from + k : from - k;
            const float dx = xy[2 * other] - x, dy = xy[2 * other + 1] - y;
            if (std::hypot(dx, dy) > 1e-3f) {
                AppendCapTriangles(*glyph, x, y, dx, dy, weight, out);
                return;
            }
        }
    };
    capAt(startCap, 0, true);
    capAt(endCap, n - 1, false);
}

} // namespace ketra::render
