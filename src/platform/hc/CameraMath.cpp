#include "platform/hc/CameraMath.h"

#include <algorithm>
#include <numbers>

namespace ketra::hc::CameraMath {

namespace {

constexpr double kDegreesToRadians = std::numbers::pi / 180.0;

bool Finite(Vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Windows report their aspect from pixel sizes; anything unusable behaves as a square window.
double SaneAspect(double aspect) {
    return (std::isfinite(aspect) && aspect > 0.0) ? aspect : 1.0;
}

// A field dimension of zero would make the window mapping singular; keep it tiny instead.
double SaneExtent(double extent) {
    constexpr double kMinExtent = 1e-30;
    const double a = std::fabs(extent);
    return (std::isfinite(a) && a > kMinExtent) ? a : kMinExtent;
}

} // namespace

Vec3 Normalized(Vec3 a) {
    const double len = Length(a);
    if (!(len > 0.0) || !std::isfinite(len))
        return {0, 0, 0};
    return a * (1.0 / len);
}

Vec3 RotateAbout(Vec3 v, Vec3 axis, double degrees) {
    // Rodrigues: v cos + (k x v) sin + k (k . v)(1 - cos).
    const double rad = degrees * kDegreesToRadians;
    const double c = std::cos(rad), s = std::sin(rad);
    return v * c + Cross(axis, v) * s + axis * (Dot(axis, v) * (1.0 - c));
}

Matrix4 Matrix4::FromFloats(const float* values) {
    Matrix4 out;
    for (size_t i = 0; i < 16; ++i)
        out.m[i] = values[i];
    return out;
}

void Matrix4::ToFloats(float* values) const {
    for (size_t i = 0; i < 16; ++i)
        values[i] = static_cast<float>(m[i]);
}

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a(r, k) * b(k, c);
            out(r, c) = sum;
        }
    return out;
}

bool Invert(const Matrix4& in, Matrix4& out) {
    // Gauss-Jordan with partial pivoting on [in | I].
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = in(r, c);
            a[r][c + 4] = (r == c) ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        const double p = a[pivot][col];
        if (!(std::fabs(p) > 1e-300) || !std::isfinite(p)) {
            out = Matrix4::Identity();
            return false;
        }
        if (pivot != col)
            for (int c = 0; c < 8; ++c)
                std::swap(a[pivot][c], a[col][c]);
        const double inv = 1.0 / p;
        for (int c = 0; c < 8; ++c)
            a[col][c] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col)
                continue;
            const double f = a[r][col];
            if (f != 0.0)
                for (int c = 0; c < 8; ++c)
                    a[r][c] -= f * a[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            out(r, c) = a[r][c + 4];
            if (!std::isfinite(out(r, c))) {
                out = Matrix4::Identity();
                return false;
            }
        }
    return true;
}

Matrix4 Translation(Vec3 t) {
    Matrix4 out;
    out(3, 0) = t.x;
    out(3, 1) = t.y;
    out(3, 2) = t.z;
    return out;
}

Matrix4 Scaling(Vec3 s) {
    Matrix4 out;
    out(0, 0) = s.x;
    out(1, 1) = s.y;
    out(2, 2) = s.z;
    return out;
}

Matrix4 Rotation(Vec3 axis, double degrees) {
    // Row i is the image of the i-th basis vector (row-vector convention).
    Matrix4 out;
    const Vec3 basis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        const Vec3 r = RotateAbout(basis[i], axis, degrees);
        out(i, 0) = r.x;
        out(i, 1) = r.y;
        out(i, 2) = r.z;
    }
    return out;
}

Vec3 TransformPoint(const Matrix4& mat, Vec3 p, double* w) {
    const double x = p.x * mat(0, 0) + p.y * mat(1, 0) + p.z * mat(2, 0) + mat(3, 0);
    const double y = p.x * mat(0, 1) + p.y * mat(1, 1) + p.z * mat(2, 1) + mat(3, 1);
    const double z = p.x * mat(0, 2) + p.y * mat(1, 2) + p.z * mat(2, 2) + mat(3, 2);
    const double h = p.x * mat(0, 3) + p.y * mat(1, 3) + p.z * mat(2, 3) + mat(3, 3);
    if (w)
        *w = h;
    if (h == 0.0 || h == 1.0)
        return {x, y, z};
    return {x / h, y / h, z / h};
}

Vec3 TransformVector(const Matrix4& mat, Vec3 v) {
    return {v.x * mat(0, 0) + v.y * mat(1, 0) + v.z * mat(2, 0),
            v.x * mat(0, 1) + v.y * mat(1, 1) + v.z * mat(2, 1),
            v.x * mat(0, 2) + v.y * mat(1, 2) + v.z * mat(2, 2)};
}

Frame CameraFrame(const Camera& camera) {
    Frame f;
    Vec3 line = camera.target - camera.position;
    double dist = Length(line);
    if (!(dist > kMinDistance) || !std::isfinite(dist)) {
        f.distance = kMinDistance;
        f.forward = {0, 0, -1};
    } else {
        f.distance = dist;
        f.forward = line * (1.0 / dist);
    }
    // Orthogonalise the up vector against the line of sight.
    Vec3 up = Finite(camera.up) ? camera.up : Vec3{0, 1, 0};
    Vec3 ortho = up - f.forward * Dot(up, f.forward);
    if (Length(ortho) < 1e-9 * std::max(1.0, Length(up))) {
        // Up is parallel to the line of sight: use the world axis least parallel to it.
        const Vec3 axes[3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
        Vec3 best = axes[0];
        double bestDot = 2.0;
        for (const Vec3& a : axes) {
            const double d = std::fabs(Dot(a, f.forward));
            if (d < bestDot) {
                bestDot = d;
                best = a;
            }
        }
        ortho = best - f.forward * Dot(best, f.forward);
    }
    f.up = Normalized(ortho);
    f.right = Cross(f.forward, f.up);
    return f;
}

HalfField VisibleHalfField(const Camera& camera, double aspect) {
    aspect = SaneAspect(aspect);
    const double w = SaneExtent(camera.width);
    const double h = SaneExtent(camera.height);
    if (camera.projection == Projection::Stretched)
        return {w * 0.5, h * 0.5};
    if (w / h < aspect)
        return {h * aspect * 0.5, h * 0.5};
    return {w * 0.5, w / aspect * 0.5};
}

Matrix4 WorldToViewpoint(const Camera& camera) {
    const Frame f = CameraFrame(camera);
    Matrix4 out;
    const Vec3 axes[3] = {f.right, f.up, f.forward};
    for (int c = 0; c < 3; ++c) {
        out(0, c) = axes[c].x;
        out(1, c) = axes[c].y;
        out(2, c) = axes[c].z;
        out(3, c) = -Dot(axes[c], camera.position);
    }
    return out;
}

Matrix4 ViewpointToWindow(const Camera& camera, double aspect) {
    const HalfField half = VisibleHalfField(camera, aspect);
    const double d = CameraFrame(camera).distance;
    Matrix4 out;
    if (camera.projection == Projection::Perspective) {
        // (x d/hx, y d/hy, z - d, z): after the divide x = x d / (z hx), z = 1 - d / z.
        out(0, 0) = d / half.x;
        out(1, 1) = d / half.y;
        out(2, 2) = 1.0;
        out(2, 3) = 1.0;
        out(3, 2) = -d;
        out(3, 3) = 0.0;
    } else {
        out(0, 0) = 1.0 / half.x;
        out(1, 1) = 1.0 / half.y;
        out(2, 2) = 1.0 / d;
        out(3, 2) = -1.0;
    }
    return out;
}

Matrix4 WorldToWindow(const Camera& camera, double aspect) {
    return Multiply(WorldToViewpoint(camera), ViewpointToWindow(camera, aspect));
}

Matrix4 WindowToPixels(double widthPixels, double heightPixels) {
    // px = (x + 1) W / 2, py = (1 - y) H / 2.
    Matrix4 out;
    out(0, 0) = widthPixels * 0.5;
    out(1, 1) = -heightPixels * 0.5;
    out(3, 0) = widthPixels * 0.5;
    out(3, 1) = heightPixels * 0.5;
    return out;
}

Matrix4 ViewpointToClip(const Camera& camera, double aspect, double nearDepth, double farDepth) {
    const HalfField half = VisibleHalfField(camera, aspect);
    const double d = CameraFrame(camera).distance;
    if (!(farDepth > nearDepth))
        farDepth = nearDepth + 1.0;
    Matrix4 out;
    if (camera.projection == Projection::Perspective) {
        if (!(nearDepth > 0.0))
            nearDepth = d * 1e-3;
        if (!(farDepth > nearDepth))
            farDepth = nearDepth * 2.0;
        out(0, 0) = d / half.x;
        out(1, 1) = d / half.y;
        out(2, 2) = (farDepth + nearDepth) / (farDepth - nearDepth);
        out(3, 2) = 2.0 * nearDepth * farDepth / (nearDepth - farDepth);
        out(2, 3) = 1.0;
        out(3, 3) = 0.0;
    } else {
        out(0, 0) = 1.0 / half.x;
        out(1, 1) = 1.0 / half.y;
        out(2, 2) = 2.0 / (farDepth - nearDepth);
        out(3, 2) = -(farDepth + nearDepth) / (farDepth - nearDepth);
    }
    return out;
}

Camera Orbit(const Camera& camera, double thetaDegrees, double phiDegrees) {
    const Frame f = CameraFrame(camera);
    Camera out = camera;
    Vec3 eye = camera.position - camera.target;
    Vec3 up = f.up;
    // Right-handed about up carries the eye towards +right.
    eye = RotateAbout(eye, f.up, thetaDegrees);
    const Vec3 right = Normalized(RotateAbout(f.right, f.up, thetaDegrees));
    // Right-handed about right would carry the eye down; upward is the negative turn.
    eye = RotateAbout(eye, right, -phiDegrees);
    up = RotateAbout(up, right, -phiDegrees);
    out.position = camera.target + eye;
    out.up = up;
    return out;
}

Camera Pan(const Camera& camera, double thetaDegrees, double phiDegrees) {
    const Frame f = CameraFrame(camera);
    Camera out = camera;
    Vec3 sight = camera.target - camera.position;
    if (Length(sight) <= kMinDistance)
        sight = f.forward * f.distance;
    // Right-handed about up turns the line of sight to the left.
    sight = RotateAbout(sight, f.up, -thetaDegrees);
    const Vec3 right = Normalized(RotateAbout(f.right, f.up, -thetaDegrees));
    // Right-handed about right turns the line of sight upward.
    sight = RotateAbout(sight, right, phiDegrees);
    out.up = RotateAbout(f.up, right, phiDegrees);
    out.target = camera.position + sight;
    return out;
}

Camera Dolly(const Camera& camera, double right, double up, double in) {
    const Frame f = CameraFrame(camera);
    const Vec3 move = f.right * right + f.up * up + f.forward * in;
    Camera out = camera;
    out.position = camera.position + move;
    out.target = camera.target + move;
    return out;
}

Camera Zoom(const Camera& camera, double factor) {
    Camera out = camera;
    out.width = camera.width / factor;
    out.height = camera.height / factor;
    return out;
}

Camera Roll(const Camera& camera, double thetaDegrees) {
    const Frame f = CameraFrame(camera);
    Camera out = camera;
    out.up = RotateAbout(f.up, f.forward, thetaDegrees);
    return out;
}

} // namespace ketra::hc::CameraMath
