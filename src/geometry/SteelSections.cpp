#include "geometry/SteelSections.h"

#include "geometry/CVector3D.h"
#include "geometry/ElementPlacement.h"

#include <cmath>

void ChannelOutline(float a, float b, float c, float d, std::vector<float>& xy)
{
    const float X = b / 2;
    const float Y = d / 2;
    xy = {X, -Y, -X, -Y, -X, Y, X, Y, X, Y - a, c - X, Y - a, c - X, a - Y, X, a - Y};
}

void WideChannelOutline(float a, float b, float c, float d, std::vector<float>& xy)
{
    const float X = b / 2;
    const float W = c / 2;
    const float H = d / 2;
    const float E = a + d / 2;
    xy = {-X, -E, X, -E, X, -H, W, -H, W, H, X, H, X, E, -X, E, -X, H, -W, H, -W, -H, -X, -H};
}

void AngleOutline(float a, float b, float c, float d, std::vector<float>& xy)
{
    const float X = d / 2;
    const float Y = (b + d) / 2;
    xy = {a - X, -Y, -X, -Y, -X, Y, X, Y, X, Y - c, a - X, Y - c};
}

void StructuralTeeOutline(float a, float b, float c, float d, std::vector<float>& xy)
{
    const float X = b / 2;
    const float W = c / 2;
    const float T = (a + d) / 2;
    xy = {-X, T, X, T, X, T - a, W, T - a, W, -T - a, -W, -T - a, -W, T - a, -X, T - a};
}

void ExtrudeOutline(const std::vector<float>& xy, float L, ShellData& out)
{
    out.Clear();
    const int k = static_cast<int>(xy.size() / 2);
    out.points.reserve(static_cast<size_t>(k) * 6);
    for (int i = 0; i < k; ++i) {
        out.AddPoint(xy[2 * i], xy[2 * i + 1], 0);
    }
    for (int i = 0; i < k; ++i) {
        out.AddPoint(xy[2 * i], xy[2 * i + 1], L);
    }
    std::vector<int>& f = out.faces;
    f.reserve(static_cast<size_t>(7 * k + 2));
    f.push_back(k);
    for (int i = 0; i < k; ++i) {
        f.push_back(i);
    }
    for (int i = 1; i < k; ++i) {
        const bool last = i == k - 1;
        f.insert(f.end(), {4, i, k + i, last ? k : k + i + 1, last ? 0 : i + 1});
    }
    f.insert(f.end(), {4, 0, k, k + 1, 1});
    f.push_back(k);
    for (int i = 2 * k - 1; i >= k; --i) {
        f.push_back(i);
    }
}

void BuildBox(float w, float d, float h, ShellData& out)
{
    out.Clear();
    out.points = {-w / 2, -d / 2, 0, w / 2,  -d / 2, 0, w / 2,  d / 2,  0, -w / 2, d / 2,  0,
                  w / 2,  -d / 2, h, w / 2,  d / 2,  h, -w / 2, d / 2,  h, -w / 2, -d / 2, h};
    out.faces = {4, 0, 1, 2, 3, 4, 1, 4, 5, 2, 4, 2, 5, 6, 3,
                 4, 0, 7, 4, 1, 4, 3, 6, 7, 0, 4, 7, 6, 5, 4};
}

namespace {

bool Normalise(double v[3])
{
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(len > 0)) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        v[i] /= len;
    }
    return true;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                         a[0] * b[1] - a[1] * b[0]};
    out[0] = c[0];
    out[1] = c[1];
    out[2] = c[2];
}

// The point at distance h from the origin along `direction`, as CVector3D::SetHeight gives it.
void Scaled(const double direction[3], float h, float out[3])
{
    CVector3D v(0, 0, 0, static_cast<float>(direction[0]), static_cast<float>(direction[1]),
                static_cast<float>(direction[2]));
    v.SetHeight(h, 0);
    out[0] = v.GetNewHeightX();
    out[1] = v.GetNewHeightY();
    out[2] = v.GetNewHeightZ();
}

} // namespace

bool BuildStructuralShape(int kind, const float start[3], const float end[3], float s1, float s2,
                          float s3, float s4, float turn, int fixedSide, bool alternateUp,
                          ShellData& out)
{
    out.Clear();
    const float values[] = {start[0], start[1], start[2], end[0], end[1], end[2],
                            s1,       s2,       s3,       s4,     turn};
    for (float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    if (kind < ShapeWideChannel || kind > ShapeBox) {
        return false;
    }
    const float af[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
    const double a[3] = {af[0], af[1], af[2]};
    double w[3] = {1, 0, 0};
    if (fixedSide == 0) {
        if (alternateUp) {
            w[0] = -a[1];
            w[1] = a[0];
            w[2] = 0;
        } else {
            w[0] = -a[2];
            w[1] = 0;
            w[2] = a[0];
        }
    }
    double second[3];
    Cross(a, w, second);
    if (!Normalise(w) || !Normalise(second)) {
        // The side vector vanished or lies along the member: take the first coordinate axis
        // not parallel to the member as the side instead.
        const double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (const auto& axis : axes) {
            w[0] = axis[0];
            w[1] = axis[1];
            w[2] = axis[2];
            Cross(a, w, second);
            if (Normalise(second)) {
                break;
            }
        }
        if (!Normalise(second)) {
            // A member of zero length: any frame will do.
            w[0] = 1, w[1] = 0, w[2] = 0;
            second[0] = 0, second[1] = 1, second[2] = 0;
        }
    }

    if (kind == ShapeBox) {
        float u[3];
        float v[3];
        Scaled(w, s1 / 2, u);
        Scaled(second, s3 / 2, v);
        const float signs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int top = 0; top < 2; ++top) {
            for (const auto& s : signs) {
                out.AddPoint(s[0] * u[0] + s[1] * v[0] + (top ? af[0] : 0.0f),
                             s[0] * u[1] + s[1] * v[1] + (top ? af[1] : 0.0f),
                             s[0] * u[2] + s[1] * v[2] + (top ? af[2] : 0.0f));
            }
        }
        out.faces = {4, 0, 1, 2, 3, 4, 1, 5, 6, 2, 4, 2, 6, 7, 3,
                     4, 3, 7, 4, 0, 4, 0, 4, 5, 1, 4, 4, 7, 6, 5};
    } else {
        std::vector<float> xy;
        switch (kind) {
        case ShapeWideChannel: WideChannelOutline(s1, s3, s2, s4, xy); break;
        case ShapeChannel: ChannelOutline(s1, s3, s2, s4, xy); break;
        case ShapeAngle: AngleOutline(s2, s1, s3, s4, xy); break;
        default: StructuralTeeOutline(s2, s1, s3, s4, xy); break;
        }
        // The same layout and faces as the canonical extrusion, with the section spanned by
        // the two section directions and the extrusion along a.
        ShellData canonical;
        ExtrudeOutline(xy, 0, canonical);
        out.faces = std::move(canonical.faces);
        const int k = static_cast<int>(xy.size() / 2);
        for (int top = 0; top < 2; ++top) {
            for (int i = 0; i < k; ++i) {
                const double x = xy[2 * i];
                const double y = xy[2 * i + 1];
                out.AddPoint(static_cast<float>(x * w[0] + y * second[0] + (top ? a[0] : 0)),
                             static_cast<float>(x * w[1] + y * second[1] + (top ? a[1] : 0)),
                             static_cast<float>(x * w[2] + y * second[2] + (top ? a[2] : 0)));
            }
        }
    }

    RigidTransform turning;
    if (turn != 0) {
        turning = AxisRotation(a[0], a[1], a[2], turn);
    }
    const RigidTransform place = turning.Then(Translation(start[0], start[1], start[2]));
    place.Apply(out.points.data(), out.PointCount());
    if (!out.IsFinite()) {
        out.Clear();
        return false;
    }
    return true;
}
