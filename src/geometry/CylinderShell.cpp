#include "geometry/CylinderShell.h"

#include "geometry/GeometryConstants.h"

#include <algorithm>
#include <cmath>

namespace {

bool Finite(const CylinderSpec& s)
{
    const float values[] = {s.centre[0], s.centre[1], s.centre[2], s.radius,     s.height,
                            s.startAngle, s.endAngle, s.innerRadius, s.topRadius};
    return std::all_of(std::begin(values), std::end(values),
                       [](float v) { return std::isfinite(v); });
}

void AddQuad(std::vector<int>& f, int a, int b, int c, int d)
{
    f.insert(f.end(), {4, a, b, c, d});
}

void AddTriangle(std::vector<int>& f, int a, int b, int c)
{
    f.insert(f.end(), {3, a, b, c});
}

void MarkRim(std::vector<std::pair<int, int>>& edges, int first, int n, bool full)
{
    for (int i = 0; i + 1 < n; ++i) {
        edges.emplace_back(first + i, first + i + 1);
    }
    if (full) {
        edges.emplace_back(first + n - 1, first);
    }
}

} // namespace

bool BuildCanonicalCylinder(const CylinderSpec& spec, CylinderShell& out)
{
    out.shell.Clear();
    out.markedEdges.clear();
    out.startTurnDegrees = 0;
    const int n = spec.facets;
    if (n < 1 || n > kMaxFacets || !Finite(spec)) {
        return false;
    }

    float startAngle = spec.startAngle;
    float endAngle = spec.endAngle;
    if (startAngle == 0 && endAngle == 360) {
        endAngle = static_cast<float>(kLayerPi + kLayerPi);
    }
    const float sweep = std::fabs(endAngle - startAngle);
    const float delta = sweep / static_cast<float>(n);
    const bool full = !(sweep < 2 * kLayerPi);

    float innerRadius = spec.innerRadius;
    if (innerRadius == spec.radius) {
        innerRadius = 0;
    }
    const bool solid = innerRadius == 0;
    const float r1 = solid ? spec.radius : std::min(spec.radius, innerRadius);
    const float r2 = solid ? 0.0f : std::max(spec.radius, innerRadius);
    const float wall = r2 - r1;
    const float t1 = spec.topRadius == 0 ? r1 : spec.topRadius;
    const float t2 = spec.topRadius == 0 ? r2 : spec.topRadius + wall;

    const float* c = spec.centre;
    float top[2] = {c[0], c[1]};
    if (spec.topRadius != 0 && spec.concentric == 0) {
        const float d = r1 - t1;
        switch (spec.flatSide) {
        case 1: top[0] = c[0] - d; break;
        case 2: top[0] = c[0] + d; break;
        case 3: top[1] = c[1] + d; break;
        case 4: top[1] = c[1] - d; break;
        default: break;
        }
    }

    const bool lidsAllowed = (spec.lidFlags & 1) == 0;
    const bool lidCentres = lidsAllowed && solid && full;
    const bool axisPoints = solid && !full; // caps of a partial solid arc close to the axis
    const int ringPoints = solid ? 2 * n : 4 * n;
    const int P = ringPoints + (lidCentres || axisPoints ? 2 : 0);

    std::vector<float>& pts = out.shell.points;
    pts.assign(static_cast<size_t>(P) * 3, 0.0f);
    const float h = spec.height;
    for (int i = 0; i < n; ++i) {
        const double a = static_cast<double>(i) * static_cast<double>(delta);
        const double ca = std::cos(a);
        const double sa = std::sin(a);
        auto put = [&](int index, float cx, float cy, float r, float z) {
            float* p = &pts[static_cast<size_t>(index) * 3];
            p[0] = static_cast<float>(cx + r * ca);
            p[1] = static_cast<float>(cy + r * sa);
            p[2] = z;
        };
        put(i, c[0], c[1], r1, c[2]);
        put(n + i, top[0], top[1], t1, c[2] + h);
        if (!solid) {
            put(2 * n + i, c[0], c[1], r2, c[2]);
            put(3 * n + i, top[0], top[1], t2, c[2] + h);
        }
    }
    if (lidCentres || axisPoints) {
        float* bottomCentre = &pts[static_cast<size_t>(P - 2) * 3];
        bottomCentre[0] = c[0];
        bottomCentre[1] = c[1];
        bottomCentre[2] = c[2];
        float* topCentre = &pts[static_cast<size_t>(P - 1) * 3];
        topCentre[0] = c[0];
        topCentre[1] = c[1];
        topCentre[2] = c[2] + h;
    }

    std::vector<int>& f = out.shell.faces;
    f.reserve(static_cast<size_t>(n) * 5 * 4 + 16);
    for (int i = 0; i + 1 < n; ++i) {
        AddQuad(f, i, i + 1, n + i + 1, n + i);
    }
    if (full) {
        AddQuad(f, n - 1, 0, n, 2 * n - 1);
    } else if (solid) {
        AddQuad(f, P - 2, 0, n, P - 1);
    } else {
        AddQuad(f, 0, 2 * n, 3 * n, n);
    }
    if (!solid) {
        for (int i = 0; i + 1 < n; ++i) {
            AddQuad(f, 2 * n + i, 2 * n + i + 1, 3 * n + i + 1, 3 * n + i);
        }
        if (full) {
            AddQuad(f, 3 * n - 1, 2 * n, 3 * n, 4 * n - 1);
        } else {
            AddQuad(f, n - 1, 3 * n - 1, 4 * n - 1, 2 * n - 1);
        }
    } else if (!full) {
        AddQuad(f, P - 2, n - 1, 2 * n - 1, P - 1);
    }

    if (lidsAllowed) {
        const bool topLid = (spec.lidFlags & 2) != 0;
        const bool bottomLid = (spec.lidFlags & 4) != 0;
        if (solid && full) {
            if (bottomLid) {
                for (int i = 0; i + 1 < n; ++i) {
                    AddTriangle(f, i + 1, i, P - 2);
                }
                AddTriangle(f, 0, n - 1, P - 2);
                MarkRim(out.markedEdges, 0, n, true);
            }
            if (topLid) {
                for (int i = 0; i + 1 < n; ++i) {
                    AddTriangle(f, n + i, n + i + 1, P - 1);
                }
                AddTriangle(f, 2 * n - 1, n, P - 1);
                MarkRim(out.markedEdges, n, n, true);
            }
        } else if (!solid) {
            if (bottomLid) {
                for (int i = 0; i + 1 < n; ++i) {
                    AddQuad(f, i, i + 1, 2 * n + i + 1, 2 * n + i);
                }
                if (full) {
                    AddQuad(f, n - 1, 0, 2 * n, 3 * n - 1);
                }
                if (spec.edgeOptions & 8) {
                    MarkRim(out.markedEdges, 0, n, full);
                }
                if (spec.edgeOptions & 16) {
                    MarkRim(out.markedEdges, 2 * n, n, full);
                }
            }
            if (topLid) {
                for (int i = n; i + 1 < 2 * n; ++i) {
                    AddQuad(f, i, i + 1, 2 * n + i + 1, 2 * n + i);
                }
                if (full) {
                    AddQuad(f, 2 * n - 1, n, 3 * n, 4 * n - 1);
                }
                if (spec.edgeOptions & 2) {
                    MarkRim(out.markedEdges, n, n, full);
                }
                if (spec.edgeOptions & 4) {
                    MarkRim(out.markedEdges, 3 * n, n, full);
                }
            }
        }
    }

    if (!full) {
        out.startTurnDegrees = static_cast<double>(startAngle) * 180.0 / kLayerPi;
    }
    return true;
}
