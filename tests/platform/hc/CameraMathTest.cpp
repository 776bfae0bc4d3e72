#include "platform/hc/CameraMath.h"

#include <gtest/gtest.h>

#include <random>

using namespace ketra::hc::CameraMath;

namespace {

constexpr double kTol = 1e-9;

void ExpectNear(Vec3 actual, Vec3 expected, double tol = kTol) {
    EXPECT_NEAR(actual.x, expected.x, tol) << "x";
    EXPECT_NEAR(actual.y, expected.y, tol) << "y";
    EXPECT_NEAR(actual.z, expected.z, tol) << "z";
}

Camera MakeCamera(Vec3 position, Vec3 target, Vec3 up, double w, double h, Projection p) {
    Camera c;
    c.position = position;
    c.target = target;
    c.up = up;
    c.width = w;
    c.height = h;
    c.projection = p;
    return c;
}

} // namespace

TEST(CameraMathTest, RotationsAreRightHanded) {
    ExpectNear(TransformPoint(Rotation({0, 0, 1}, 90), {1, 0, 0}), {0, 1, 0});
    ExpectNear(TransformPoint(Rotation({1, 0, 0}, 90), {0, 1, 0}), {0, 0, 1});
    ExpectNear(TransformPoint(Rotation({0, 1, 0}, 90), {0, 0, 1}), {1, 0, 0});
    ExpectNear(RotateAbout({1, 0, 0}, {0, 0, 1}, 90), {0, 1, 0});
}

TEST(CameraMathTest, MatricesComposeInCallOrder) {
    // Rotate then translate differs from translate then rotate.
    const Matrix4 rt = Multiply(Rotation({0, 0, 1}, 90), Translation({1, 0, 0}));
    const Matrix4 tr = Multiply(Translation({1, 0, 0}), Rotation({0, 0, 1}, 90));
    ExpectNear(TransformPoint(rt, {1, 0, 0}), {1, 1, 0});
    ExpectNear(TransformPoint(tr, {1, 0, 0}), {0, 2, 0});

    Matrix4 inv;
    ASSERT_TRUE(Invert(rt, inv));
    ExpectNear(TransformPoint(inv, {1, 1, 0}), {1, 0, 0});
    Matrix4 singular = Scaling({1, 0, 1});
    EXPECT_FALSE(Invert(singular, inv));
    EXPECT_EQ(inv, Matrix4::Identity());
}

TEST(CameraMathTest, OrbitMovesAboutTheTargetRightAndUp) {
    const Camera start = DefaultCamera(); // eye on +Z, right is +X, up is +Y
    Camera c = Orbit(start, 90, 0);
    ExpectNear(c.position, {5, 0, 0});
    ExpectNear(c.target, {0, 0, 0});
    ExpectNear(Normalized(c.up), {0, 1, 0});

    c = Orbit(start, 0, 90);
    ExpectNear(c.position, {0, 5, 0});
    ExpectNear(Normalized(c.up), {0, 0, -1});

    c = Orbit(start, -30, -20);
    EXPECT_NEAR(Length(c.position - c.target), 5.0, kTol);
    EXPECT_LT(c.position.x, 0.0);
    EXPECT_LT(c.position.y, 0.0);
}

TEST(CameraMathTest, SeventyTwoFiveDegreeOrbitsComeBack) {
    Camera c = MakeCamera({3, -4, 2}, {1, 1, 0}, {0, 0, 1}, 4, 3, Projection::Perspective);
    const Camera start = c;
    for (int i = 0; i < 72; ++i)
        c = Orbit(c, 5.0, 0.0);
    ExpectNear(c.position, start.position, 1e-9);
    for (int i = 0; i < 72; ++i)
        c = Orbit(c, 0.0, 5.0);
    ExpectNear(c.position, start.position, 1e-9);
}

TEST(CameraMathTest, PanTurnsTheLineOfSightAboutTheEye) {
    const Camera start = DefaultCamera();
    Camera c = Pan(start, 90, 0);
    ExpectNear(c.position, start.position);
    ExpectNear(c.target, {5, 0, 5});

    c = Pan(start, 0, 90);
    ExpectNear(c.target, {0, 5, 5});
    ExpectNear(Normalized(c.up), {0, 0, 1});

    c = Pan(start, -10, 0);
    EXPECT_LT(c.target.x, 0.0);
}

TEST(CameraMathTest, DollyZoomAndRoll) {
    const Camera start = DefaultCamera();
    Camera c = Dolly(start, 1, 2, 3);
    ExpectNear(c.position, {1, 2, 2});
    ExpectNear(c.target, {1, 2, -3});
    EXPECT_EQ(c.width, start.width);

    c = Zoom(start, 2.0);
    EXPECT_DOUBLE_EQ(c.width, 1.0);
    EXPECT_DOUBLE_EQ(c.height, 1.0);
    c = Zoom(Zoom(start, 1.0 / 0.95), 1.0 / 1.05);
    EXPECT_NEAR(c.width, 2.0 * 0.9975, 1e-12);

    c = Roll(start, 90);
    ExpectNear(c.up, {1, 0, 0});
    ExpectNear(c.position, start.position);
}

TEST(CameraMathTest, DegenerateCamerasGiveAFiniteFrame) {
    Camera same = MakeCamera({1, 1, 1}, {1, 1, 1}, {0, 1, 0}, 1, 1, Projection::Perspective);
    Frame f = CameraFrame(same);
    ExpectNear(f.forward, {0, 0, -1});
    EXPECT_GT(f.distance, 0.0);

    Camera parallel = MakeCamera({0, 0, 0}, {0, 5, 0}, {0, 3, 0}, 1, 1, Projection::Perspective);
    f = CameraFrame(parallel);
    EXPECT_NEAR(Dot(f.up, f.forward), 0.0, kTol);
    EXPECT_NEAR(Length(f.up), 1.0, kTol);
    EXPECT_NEAR(Length(f.right), 1.0, kTol);

    Camera zeroField = MakeCamera({0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 0, 0, Projection::Orthographic);
    const Matrix4 m = WorldToWindow(zeroField, 1.0);
    for (double v : m.m)
        EXPECT_TRUE(std::isfinite(v));
}

TEST(CameraMathTest, FieldFitsTheWindowAspect) {
    Camera c = MakeCamera({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 2, 2, Projection::Orthographic);
    // A 2:1 window widens the visible width.
    HalfField h = VisibleHalfField(c, 2.0);
    EXPECT_DOUBLE_EQ(h.x, 2.0);
    EXPECT_DOUBLE_EQ(h.y, 1.0);
    // A 1:2 window widens the visible height.
    h = VisibleHalfField(c, 0.5);
    EXPECT_DOUBLE_EQ(h.x, 1.0);
    EXPECT_DOUBLE_EQ(h.y, 2.0);
    // Stretched fills the window with the field exactly.
    c.projection = Projection::Stretched;
    h = VisibleHalfField(c, 2.0);
    EXPECT_DOUBLE_EQ(h.x, 1.0);
    EXPECT_DOUBLE_EQ(h.y, 1.0);
}

TEST(CameraMathTest, WindowMappingPutsTheFieldOnTheUnitSquare) {
    for (Projection p : {Projection::Orthographic, Projection::Perspective}) {
        Camera c = MakeCamera({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 4, 2, p);
        const Matrix4 m = WorldToWindow(c, 2.0);
        ExpectNear(TransformPoint(m, {0, 0, 0}), {0, 0, 0});
        ExpectNear(TransformPoint(m, {2, 1, 0}), {1, 1, 0});
        ExpectNear(TransformPoint(m, {-2, -1, 0}), {-1, -1, 0});
    }
    // Perspective: farther points move towards the centre, depth grows away from the eye.
    Camera persp = MakeCamera({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 2, 2, Projection::Perspective);
    const Vec3 far = TransformPoint(WorldToWindow(persp, 1.0), {1, 1, -10});
    ExpectNear(far, {0.5, 0.5, 0.5});
    const Vec3 near = TransformPoint(WorldToWindow(persp, 1.0), {1, 1, 5});
    EXPECT_NEAR(near.x, 2.0, kTol);
    EXPECT_LT(near.z, 0.0);
    // Orthographic: depth -1 at the eye, 1 at twice the distance.
    Camera ortho = persp;
    ortho.projection = Projection::Orthographic;
    EXPECT_NEAR(TransformPoint(WorldToWindow(ortho, 1.0), {3, 0, 10}).z, -1.0, kTol);
    EXPECT_NEAR(TransformPoint(WorldToWindow(ortho, 1.0), {3, 0, -10}).z, 1.0, kTol);
}

TEST(CameraMathTest, WorldWindowPixelRoundTrips) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    for (Projection p :
         {Projection::Orthographic, Projection::Perspective, Projection::Stretched}) {
        Camera c = MakeCamera({4, -7, 3}, {0.5, 0.25, -1}, {0, 0, 1}, 3, 2, p);
        const Matrix4 toPixels =
            Multiply(WorldToWindow(c, 800.0 / 600.0), WindowToPixels(800, 600));
        Matrix4 back;
        ASSERT_TRUE(Invert(toPixels, back));
        for (int i = 0; i < 50; ++i) {
            const Vec3 w{u(rng), u(rng), u(rng)};
            const Vec3 px = TransformPoint(toPixels, w);
            ExpectNear(TransformPoint(back, px), w, 1e-8);
        }
    }
}

TEST(CameraMathTest, PixelsStartAtTheUpperLeftCorner) {
    const Matrix4 m = WindowToPixels(800, 600);
    ExpectNear(TransformPoint(m, {-1, 1, 0.25}), {0, 0, 0.25});
    ExpectNear(TransformPoint(m, {1, -1, 0}), {800, 600, 0});
    ExpectNear(TransformPoint(m, {0, 0, 0}), {400, 300, 0});
}

TEST(CameraMathTest, ClipDepthSpansNearToFar) {
    for (Projection p : {Projection::Orthographic, Projection::Perspective}) {
        Camera c = MakeCamera({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 2, 2, p);
        const Matrix4 m = ViewpointToClip(c, 1.0, 1.0, 100.0);
        EXPECT_NEAR(TransformPoint(m, {0, 0, 1}).z, -1.0, kTol);
        EXPECT_NEAR(TransformPoint(m, {0, 0, 100}).z, 1.0, kTol);
        // x and y agree with the window mapping.
        const Vec3 clip = TransformPoint(m, {1, 1, 10});
        const Vec3 win = TransformPoint(ViewpointToWindow(c, 1.0), {1, 1, 10});
        EXPECT_NEAR(clip.x, win.x, kTol);
        EXPECT_NEAR(clip.y, win.y, kTol);
    }
}
