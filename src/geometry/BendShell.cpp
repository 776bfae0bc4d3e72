#include "geometry/BendShell.h"

#include "geometry/CVector3D.h"
#include "geometry/CylinderShell.h"
#include "geometry/ElementPlacement.h"
#include "geometry/GeometryConstants.h"

#include <cmath>
#include <cstdlib>

namespace {

bool AllFinite(const float* v, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(v[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

float RoundBendAngle(float alphaDegrees)
{
    const float lifted = alphaDegrees + static_cast<float>(10 * kLayerEpsilon);
    float alpha = alphaDegrees;
    if (std::trunc(alpha) < std::trunc(lifted)) {
        alpha = std::trunc(lifted);
    }
    return std::trunc(alpha);
}

int ToroidSweepStep(int wholeDegrees)
{
    for (int d = 15; d > 1; --d) {
        if (wholeDegrees % d == 0) {
            return d;
        }
    }
    return 1;
}

bool BuildToroid(float r, float R, float a, float b, int n, ShellData& out)
{
    out.Clear();
    if (n < 1 || n > 360 || !std::isfinite(r) || !std::isfinite(R) || !std::isfinite(a) ||
        !std::isfinite(b) || std::fabs(a) > 1e6f || std::fabs(b) > 1e6f) {
        return false;
    }
    const int ia = static_cast<int>(std::trunc(a));
    const int ib = static_cast<int>(std::trunc(b));
    const int s = ToroidSweepStep(ia);
    const int m = std::abs(((ia + ib) - ib) / s) + 1;

    out.points.assign(static_cast<size_t>(n + 1) * m * 3, 0.0f);
    const int step = 360 / n;
    // The ring profile (sin φ, cos φ) is the same for every ring.
    thread_local std::vector<double> profile;
    profile.clear();
    for (int t = 0; t < 360; t += step) {
        const double phi = static_cast<double>(t) * kLayerPi / 180.0;
        profile.push_back(std::sin(phi));
        profile.push_back(std::cos(phi));
    }
    for (int k = 0; k < m; ++k) {
        const double theta = static_cast<double>(k * s) * kLayerPi / 180.0;
        const double ct = std::cos(theta);
        const double st = std::sin(theta);
        int index = 0;
        for (int t = 0; t < 360; t += step, ++index) {
            const double sp = profile[2 * index];
            float* p = &out.points[static_cast<size_t>(k * n + t * n / 360) * 3];
            p[0] = static_cast<float>(r * sp * ct + R * ct);
            p[1] = static_cast<float>(r * sp * st + R * st);
            p[2] = static_cast<float>(r * profile[2 * index + 1]);
        }
    }

    const int faceCount = (m - 1) * n;
    out.faces.reserve(static_cast<size_t>(faceCount) * 5);
    for (int j = 0; j < faceCount; ++j) {
        if ((j + 1) % n == 0 && j != 0) {
            out.faces.insert(out.faces.end(), {4, j, j + 1 - n, j + 1, j + n});
        } else {
            out.faces.insert(out.faces.end(), {4, j, j + 1, j + 1 + n, j + n});
        }
    }
    return true;
}

bool BuildBendShell(const float A1[3], const float B1[3], const float A2[3], const float B2[3],
                    float r, float R, int n, ShellData& out)
{
    out.Clear();
    const float inputs[] = {A1[0], A1[1], A1[2], B1[0], B1[1], B1[2], A2[0], A2[1],
                            A2[2], B2[0], B2[1], B2[2], r,     R};
    // A bend radius of zero or less has no arc to sweep; draw nothing rather than a torus
    // collapsed onto the corner.
    if (!AllFinite(inputs, 14) || !(R > 0) || n < 1 || n > 360) {
        return false;
    }
    CVector3D e1(A1[0], A1[1], A1[2], B1[0], B1[1], B1[2]);
    CVector3D e2(A2[0], A2[1], A2[2], B2[0], B2[1], B2[2]);
    if (e2.GetHeight() == 0) {
        return false;
    }
    float alpha = e1 ^ &e2;
    if (alpha == 0) {
        return false;
    }
    alpha = RoundBendAngle(alpha);
    // A reversal (180 degrees) has no bend plane and an infinite tangent length.
    if (alpha < 1 || alpha >= 180) {
        return false;
    }
    const float T = static_cast<float>(std::tan(alpha * kLayerPi / 180.0 / 2.0) * R);

    thread_local CylinderShell cylinder;
    thread_local ShellData torus;
    cylinder.shell.Clear();
    if (T > 0) {
        CVector3D v(A1[0], A1[1], A1[2], B1[0], B1[1], B1[2]);
        v.SetHeight(v.GetHeight() - T, 0);
        CVector3D run(A1[0], A1[1], A1[2], v.GetNewHeightX(), v.GetNewHeightY(),
                      v.GetNewHeightZ());
        CylinderSpec spec;
        spec.radius = r;
        spec.height = run.GetHeight();
        spec.facets = n;
        if (!BuildCanonicalCylinder(spec, cylinder)) {
            return false;
        }
        ElementPlacement(run).Apply(cylinder.shell.points.data(), cylinder.shell.PointCount());
    }

    float M[4][4] = {};
    e1.GetBendRotation(&e2, R, M);
    if (!BuildToroid(r, R, alpha, -alpha, n, torus)) {
        return false;
    }
    // The torus segment's matrix is M followed by the translation to the bend centre.
    RigidTransform frame;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            frame.m[row * 4 + col] = M[row][col];
        }
    }
    const RigidTransform bend = frame.Then(
        Translation(e1.GetBendCenterX(), e1.GetBendCenterY(), e1.GetBendCenterZ()));
    bend.Apply(torus.points.data(), torus.PointCount());
    // The straight run's points come first, then the torus's (the bend merge's order).
    out.points.reserve(cylinder.shell.points.size() + torus.points.size());
    out.faces.reserve(cylinder.shell.faces.size() + torus.faces.size());
    out.points.assign(cylinder.shell.points.begin(), cylinder.shell.points.end());
    out.faces.assign(cylinder.shell.faces.begin(), cylinder.shell.faces.end());
    AppendShellData(out, torus);
    if (!out.IsFinite()) {
        out.Clear();
        return false;
    }
    return true;
}

bool BuildBendPolyline(const float A1[3], const float B1[3], const float A2[3], const float B2[3],
                       float R, std::vector<float>& points, bool& skipStart)
{
    points.clear();
    skipStart = false;
    const float inputs[] = {A1[0], A1[1], A1[2], B1[0], B1[1], B1[2],
                            A2[0], A2[1], A2[2], B2[0], B2[1], B2[2], R};
    if (!AllFinite(inputs, 13) || !(R > 0)) {
        return false;
    }
    // Work about the centre of the four points so that the snapping tolerances are relative to
    // the bend, not to the model's origin.
    float c[3];
    float a1[3], b1[3], a2[3], b2[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = A1[i] / 4 + B1[i] / 4 + A2[i] / 4 + B2[i] / 4;
        a1[i] = A1[i] - c[i];
        b1[i] = B1[i] - c[i];
        a2[i] = A2[i] - c[i];
        b2[i] = B2[i] - c[i];
    }
    for (int i = 0; i < 3; ++i) {
        float s = std::fmax(std::fabs(a1[i]), std::fabs(b1[i]));
        if (s < 1) {
            s = 1;
        }
        if (std::fabs(b1[i] - a1[i]) / s < 1e-5f) {
            b1[i] = a1[i];
        }
    }
    CVector3D e1(a1[0], a1[1], a1[2], b1[0], b1[1], b1[2]);
    for (int i = 0; i < 3; ++i) {
        a2[i] = b1[i];
    }
    for (int i = 0; i < 3; ++i) {
        float s = std::fmax(std::fabs(a2[i]), std::fabs(b2[i]));
        if (s < 1) {
            s = 1;
        }
        if (std::fabs(b2[i] - a2[i]) / s < 1e-4f) {
            b2[i] = a2[i];
        }
    }
    CVector3D e2(a2[0], a2[1], a2[2], b2[0], b2[1], b2[2]);
    if (e2.GetHeight() == 0) {
        return false;
    }
    float alpha = e1 ^ &e2;
    if (alpha == 0 || std::trunc(alpha) == 180) {
        return false;
    }
    alpha = RoundBendAngle(alpha);
    if (alpha < 1) {
        return false;
    }

    float p1[3] = {b1[0], b1[1], b1[2]};
    float p2[3] = {b2[0], b2[1], b2[2]};
    float centre[3] = {0, 0, 0};
    if (CalcBendPoints(a1, p1, a2, p2, R, centre) != 0) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        p1[i] += c[i];
        p2[i] += c[i];
        centre[i] += c[i];
    }
    if (!AllFinite(p1, 3) || !AllFinite(p2, 3) || !AllFinite(centre, 3)) {
        return false;
    }

    CVector3D u(p1[0], p1[1], p1[2], B1[0], B1[1], B1[2]);
    CVector3D w(A2[0], A2[1], A2[2], p2[0], p2[1], p2[2]);
    const float* start = p1;
    if (std::trunc(u.GetHeight()) >= std::trunc(e1.GetHeight())) {
        start = A1;
        u.Set(A1[0], A1[1], A1[2], B1[0], B1[1], B1[2]);
        skipStart = true;
    }
    if (std::trunc(w.GetHeight()) >= std::trunc(e2.GetHeight())) {
        w.Set(B1[0], B1[1], B1[2], B2[0], B2[1], B2[2]);
    }

    const int whole = static_cast<int>(alpha);
    int k = 1;
    for (int d = 10; d >= 1; --d) {
        if (whole % d == 0) {
            k = d;
            break;
        }
    }
    if (alpha > 5 && k < 5) {
        k = 5;
    }
    const int q = static_cast<int>(alpha / static_cast<float>(k));
    const int h = (q + 1) / 2;

    points.reserve(static_cast<size_t>(2 * h + 2) * 3);
    points.insert(points.end(), {A1[0], A1[1], A1[2], start[0], start[1], start[2]});
    auto arcPoints = [&](CVector3D& along) {
        along.SplitVector(h + 1);
        for (int i = 1; i <= h; ++i) {
            const HPoint sp = along.GetSplitVector(i);
            CVector3D ray(centre[0], centre[1], centre[2], sp.x, sp.y, sp.z);
            ray.SetHeight(R, 0);
            points.insert(points.end(),
                          {ray.GetNewHeightX(), ray.GetNewHeightY(), ray.GetNewHeightZ()});
        }
    };
    arcPoints(u);
    arcPoints(w);
    for (float v : points) {
        if (!std::isfinite(v)) {
            points.clear();
            return false;
        }
    }
    return true;
}
