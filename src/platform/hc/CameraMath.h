// Camera and coordinate-space mathematics of the scene graph: view and projection matrices,
// the camera moves (orbit, pan, dolly, zoom, roll) and the window/pixel mappings. Pure
// functions over plain values; the HC_* camera and coordinate calls and the renderer share them.
//
// Conventions (every caller relies on these):
// - World space is right-handed. Matrices are 4x4, row-major, row-vector convention:
//   p' = p x M, translation in the last row, and A x B applies A first.
// - "viewpoint" space: the camera position at the origin, +x to the camera's right, +y along
//   its (orthogonalised) up vector, +z from the camera towards the target (a left-handed frame,
//   so depth grows into the screen). The target lies at (0, 0, d), d = |target - position|.
// - "window" space (local window): x and y run from -1 to 1 across the window, +y up. The
//   camera field is the smallest area around the target that must stay visible: with
//   "perspective" and "orthographic" the window's aspect ratio widens one direction of the
//   field; with "stretched" the field fills the window exactly (orthographic, non-uniform).
//   Window z is a depth that is 0 on the plane through the target facing the camera:
//     perspective:  z = 1 - d / depth   (1 at infinity, -inf at the eye, negative before the
//     target) orthographic: z = depth / d - 1   (-1 at the eye, 1 at twice the target distance)
//   so converting a window point with z = 0 gives a point on the target plane.
// - "pixels": (0, 0) is the upper-left corner of the window, x grows right, y grows down,
//   (W, H) is the lower-right corner; pixel (i, j) covers [i, i+1) x [j, j+1). z passes through.
// - Field width and height are measured on the target plane, in world units.
#pragma once

#include <array>
#include <cmath>

namespace ketra::hc::CameraMath {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;

    friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
    friend Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
    friend Vec3 operator*(double s, Vec3 a) { return {a.x * s, a.y * s, a.z * s}; }
    friend bool operator==(Vec3 a, Vec3 b) = default;
};

inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
// The unit vector along a; (0, 0, 0) when a has no length.
Vec3 Normalized(Vec3 a);
// Rotates v about the unit axis by degrees, right-handed (+90 about Z carries +X onto +Y).
Vec3 RotateAbout(Vec3 v, Vec3 axis, double degrees);

// 4x4 row-major matrix, row-vector convention (see above).
struct Matrix4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    double& operator()(int row, int col) { return m[static_cast<size_t>(row * 4 + col)]; }
    double operator()(int row, int col) const { return m[static_cast<size_t>(row * 4 + col)]; }
    static Matrix4 Identity() { return {}; }
    // Builds a matrix from 16 row-major floats (the HC_* matrix layout).
    static Matrix4 FromFloats(const float* values);
    void ToFloats(float* values) const;
    friend bool operator==(const Matrix4&, const Matrix4&) = default;
};

// a x b: a point mapped by the result is mapped by a, then by b.
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
// The inverse; false (and identity in out) when the matrix is singular or not finite.
bool Invert(const Matrix4& in, Matrix4& out);
Matrix4 Translation(Vec3 t);
Matrix4 Scaling(Vec3 s);
// Right-handed rotation about a unit axis through the origin.
Matrix4 Rotation(Vec3 axis, double degrees);

// p x M with the homogeneous divide. w receives the homogeneous weight before the divide
// (may be null); when it is 0 the result is the undivided point.
Vec3 TransformPoint(const Matrix4& mat, Vec3 p, double* w = nullptr);
// v x M without translation or divide (directions).
Vec3 TransformVector(const Matrix4& mat, Vec3 v);

enum class Projection { Perspective, Orthographic, Stretched };

struct Camera {
    Vec3 position{0, 0, 5};
    Vec3 target{0, 0, 0};
    Vec3 up{0, 1, 0};
    double width = 2.0; // field on the target plane
    double height = 2.0;
    Projection projection = Projection::Orthographic;
};

// The default camera of a segment that has none: looking down -Z from (0, 0, 5) at the
// origin, +Y up, a 2 x 2 orthographic field (world x and y from -1 to 1 fill the window).
inline Camera DefaultCamera() {
    return {};
}

// Orthonormal camera frame. Degenerate cameras are repaired rather than rejected so that
// no camera can produce NaNs: a camera with position == target looks down -Z; an up vector
// parallel to the line of sight is replaced by the world axis least parallel to it.
struct Frame {
    Vec3 right, up, forward;
    double distance = 1.0; // |target - position|, at least kMinDistance
};
constexpr double kMinDistance = 1e-12;
Frame CameraFrame(const Camera& camera);

// Half extents of the visible field on the target plane after fitting it to a window whose
// width/height ratio (in pixels) is aspect (aspect <= 0 or non-finite counts as 1).
struct HalfField {
    double x = 1.0, y = 1.0;
};
HalfField VisibleHalfField(const Camera& camera, double aspect);

Matrix4 WorldToViewpoint(const Camera& camera);
// Viewpoint to local window for a window of the given pixel aspect (see conventions).
Matrix4 ViewpointToWindow(const Camera& camera, double aspect);
// World straight to local window.
Matrix4 WorldToWindow(const Camera& camera, double aspect);
// Local window to pixels of a window of width x height pixels, and the inverse.
Matrix4 WindowToPixels(double widthPixels, double heightPixels);
// Viewpoint to OpenGL clip space (x, y as the window; depth in [-1, 1] between near and far,
// both distances along the line of sight, 0 < near < far for perspective).
Matrix4 ViewpointToClip(const Camera& camera, double aspect, double nearDepth, double farDepth);

// Camera moves. Each returns the moved camera; the field and projection are kept unless said.
// Orbit: moves the camera about its target; positive theta to the camera's right (right-handed
// about the up vector), positive phi upward (the up vector turns with it). Theta applies first,
// phi about the resulting right axis.
Camera Orbit(const Camera& camera, double thetaDegrees, double phiDegrees);
// Pan: turns the camera about its own position; positive theta turns the line of sight to the
// right, positive phi upward (the up vector turns with it). The target distance is kept.
Camera Pan(const Camera& camera, double thetaDegrees, double phiDegrees);
// Dolly: moves position and target together along the camera's right, up and forward axes.
Camera Dolly(const Camera& camera, double right, double up, double in);
// Zoom: divides the field by factor (> 1 narrows it, i.e. magnifies). factor must be > 0.
Camera Zoom(const Camera& camera, double factor);
// Roll: turns the up vector about the line of sight, right-handed about the direction from the
// camera to the target: positive theta tips the up vector towards the camera's right, so the
// picture turns counter-clockwise on the screen.
Camera Roll(const Camera& camera, double thetaDegrees);

} // namespace ketra::hc::CameraMath
