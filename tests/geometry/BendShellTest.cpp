#include "geometry/BendShell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double Distance(const float* a, const float* b)
{
    double s = 0;
    for (int k = 0; k < 3; ++k) {
        s += (double(a[k]) - b[k]) * (double(a[k]) - b[k]);
    }
    return std::sqrt(s);
}

TEST(BendShellTest, AngleRounding)
{
    EXPECT_EQ(RoundBendAngle(90.0f), 90.0f);
    EXPECT_EQ(RoundBendAngle(89.3f), 89.0f);
    EXPECT_EQ(RoundBendAngle(89.95f), 90.0f); // a hair below a whole degree is raised
    EXPECT_EQ(RoundBendAngle(0.4f), 0.0f);
    EXPECT_EQ(RoundBendAngle(91.7f), 91.0f);
}

TEST(BendShellTest, SweepStep)
{
    for (int a : {30, 45, 60, 90, 120, 180}) {
        EXPECT_EQ(ToroidSweepStep(a), 15) << a;
    }
    EXPECT_EQ(ToroidSweepStep(20), 10);
    EXPECT_EQ(ToroidSweepStep(89), 1);
    EXPECT_EQ(ToroidSweepStep(91), 13);
    EXPECT_EQ(ToroidSweepStep(17), 1);
}

TEST(BendShellTest, RightAngleTorusTwentyFacets)
{
    ShellData t;
    ASSERT_TRUE(BuildToroid(1, 3, 90, -90, 20, t));
    ASSERT_EQ(t.PointCount(), 147);
    EXPECT_EQ(t.FaceListLength(), 600);
    // The last 7 points stay at the bend centre and no face uses them.
    for (int i = 140; i < 147; ++i) {
        EXPECT_EQ(t.points[3 * i], 0.0f);
        EXPECT_EQ(t.points[3 * i + 1], 0.0f);
        EXPECT_EQ(t.points[3 * i + 2], 0.0f);
    }
    int maxIndex = 0;
    for (size_t i = 0; i < t.faces.size(); i += 5) {
        ASSERT_EQ(t.faces[i], 4);
        for (int k = 1; k <= 4; ++k) {
            maxIndex = std::max(maxIndex, t.faces[i + k]);
        }
    }
    EXPECT_EQ(maxIndex, 139);
    // Ring 0 about (3, 0, 0) in the XZ plane; point φ = 0 on +Z.
    EXPECT_NEAR(t.points[0], 3.0f, 1e-6f);
    EXPECT_NEAR(t.points[2], 1.0f, 1e-6f);
    // Point φ = 90 of ring 0 is at R + r on X.
    EXPECT_NEAR(t.points[3 * 5], 4.0f, 1e-6f);
    // Ring 6 (90 degrees) about (0, 3, 0).
    EXPECT_NEAR(t.points[3 * 120], 0.0f, 1e-5f);
    EXPECT_NEAR(t.points[3 * 120 + 1], 3.0f, 1e-5f);
    // The first faces and the closing face of ring 0.
    const std::vector<int> first = {4, 0, 1, 21, 20, 4, 1, 2, 22, 21};
    EXPECT_TRUE(std::equal(first.begin(), first.end(), t.faces.begin()));
    const std::vector<int> closing = {4, 19, 0, 20, 39};
    EXPECT_TRUE(std::equal(closing.begin(), closing.end(), t.faces.begin() + 19 * 5));
}

TEST(BendShellTest, TorusRingCounts)
{
    ShellData t;
    ASSERT_TRUE(BuildToroid(1, 3, 90, -90, 4, t));
    EXPECT_EQ(t.PointCount(), 35);
    EXPECT_EQ(t.FaceListLength(), 24 * 5);
    ASSERT_TRUE(BuildToroid(1, 3, 89, -89, 4, t));
    EXPECT_EQ(t.PointCount(), 5 * 90);
    ASSERT_TRUE(BuildToroid(1, 3, 91, -91, 4, t));
    EXPECT_EQ(t.PointCount(), 5 * 8);
    // b has no effect on the shape.
    ShellData u;
    ASSERT_TRUE(BuildToroid(1, 3, 91, 7, 4, u));
    EXPECT_EQ(u.points, t.points);
    EXPECT_EQ(u.faces, t.faces);
    EXPECT_FALSE(BuildToroid(1, 3, 90, -90, 0, t));
    EXPECT_FALSE(BuildToroid(1, 3, 90, -90, 361, t));
}

const float kA1[3] = {0, 0, 0};
const float kB1[3] = {10, 0, 0};
const float kA2[3] = {10, 0, 0};
const float kB2[3] = {10, 10, 0};

TEST(BendShellTest, RightAngleBendShell)
{
    ShellData s;
    ASSERT_TRUE(BuildBendShell(kA1, kB1, kA2, kB2, 1, 3, 20, s));
    // 40 points of the straight run, then the 147 torus points.
    ASSERT_EQ(s.PointCount(), 40 + 147);
    EXPECT_EQ(s.FaceListLength(), 100 + 600);
    // Straight run from the origin to the near tangent point (7, 0, 0).
    for (int i = 0; i < 20; ++i) {
        EXPECT_NEAR(s.points[3 * i], 0.0f, 1e-5f);
        EXPECT_NEAR(s.points[3 * (20 + i)], 7.0f, 1e-5f);
    }
    // Torus ring 0 sits on the near tangent point, perpendicular to the first element.
    for (int i = 0; i < 20; ++i) {
        const float* p = &s.points[3 * (40 + i)];
        EXPECT_NEAR(p[0], 7.0f, 1e-5f);
        const float c[3] = {7, 0, 0};
        EXPECT_NEAR(Distance(p, c), 1.0, 1e-5);
    }
    // The last ring sits on the far tangent point (10, 3, 0), perpendicular to the second.
    for (int i = 0; i < 20; ++i) {
        const float* p = &s.points[3 * (40 + 120 + i)];
        EXPECT_NEAR(p[1], 3.0f, 1e-5f);
    }
    // Unused torus points land on the bend centre (7, 3, 0).
    const float* last = &s.points[3 * (40 + 146)];
    EXPECT_NEAR(last[0], 7.0f, 1e-5f);
    EXPECT_NEAR(last[1], 3.0f, 1e-5f);
    // Torus faces follow with indices raised by 40.
    EXPECT_EQ(s.faces[100], 4);
    EXPECT_EQ(s.faces[101], 40);
    EXPECT_EQ(s.faces[103], 61);
}

TEST(BendShellTest, SkewedBendMeetsBothElements)
{
    const float A1[3] = {1, 2, 3};
    const float B1[3] = {11, 12, 3};
    const float A2[3] = {11, 12, 3};
    const float B2[3] = {11, 12, 20};
    ShellData s;
    ASSERT_TRUE(BuildBendShell(A1, B1, A2, B2, 0.5f, 2, 4, s));
    // Last torus ring (90 degrees) is centred on the far tangent point (11, 12, 5).
    const int rings = 7;
    const int first = 8 + (rings - 1) * 4;
    double centre[3] = {0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) {
            centre[k] += s.points[3 * (first + i) + k] / 4.0;
        }
    }
    EXPECT_NEAR(centre[0], 11, 1e-4);
    EXPECT_NEAR(centre[1], 12, 1e-4);
    EXPECT_NEAR(centre[2], 5, 1e-4);
}

TEST(BendShellTest, RefusedBends)
{
    ShellData s;
    // Collinear.
    const float C2[3] = {20, 0, 0};
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, C2, 1, 3, 20, s));
    // 0.4 degrees.
    const float tiny[3] = {20, 0.0698f, 0};
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, tiny, 1, 3, 20, s));
    // Zero-length second element.
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, kA2, 1, 3, 20, s));
    // A reversal.
    const float back[3] = {0, 0, 0};
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, back, 1, 3, 20, s));
    // Bend radius not positive.
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, kB2, 1, 0, 20, s));
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, kB2, 1, -3, 20, s));
    // Non-finite input and facets out of range.
    const float bad[3] = {NAN, 0, 0};
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, bad, 1, 3, 20, s));
    EXPECT_FALSE(BuildBendShell(kA1, kB1, kA2, kB2, 1, 3, 0, s));
    EXPECT_TRUE(s.points.empty());
}

TEST(BendShellTest, PolylineRightAngle)
{
    const float A1[3] = {-20, 0, 0};
    std::vector<float> p;
    bool skip = true;
    ASSERT_TRUE(BuildBendPolyline(A1, kB1, kA2, kB2, 3, p, skip));
    EXPECT_FALSE(skip);
    ASSERT_EQ(p.size(), 12u * 3);
    EXPECT_FLOAT_EQ(p[0], -20.0f);
    EXPECT_NEAR(p[3], 7.0f, 1e-4f); // P1
    // Arc points are placed with SetHeight, whose scale is the rounded length of the ray from
    // the centre: within 0.0005 · R / |ray| of the arc.
    const float centre[3] = {7, 3, 0};
    for (int i = 2; i < 12; ++i) {
        EXPECT_NEAR(Distance(&p[3 * i], centre), 3.0, 5e-4) << i;
    }
    // Point 6 (the fifth arc point) is the middle of the arc, towards the corner.
    const double m = 3 / std::sqrt(2.0);
    EXPECT_NEAR(p[3 * 6], 7 + m, 5e-4);
    EXPECT_NEAR(p[3 * 6 + 1], 3 - m, 5e-4);
    // The last point is the far tangent point.
    EXPECT_NEAR(p[3 * 11], 10.0f, 1e-4f);
    EXPECT_NEAR(p[3 * 11 + 1], 3.0f, 1e-4f);
}

TEST(BendShellTest, PolylineThreeDegrees)
{
    const float B2[3] = {20, 10 * std::tan(3.0f * 3.14159265f / 180), 0};
    std::vector<float> p;
    bool skip = false;
    ASSERT_TRUE(BuildBendPolyline(kA1, kB1, kA2, B2, 30, p, skip));
    EXPECT_EQ(p.size(), 4u * 3);
}

TEST(BendShellTest, PolylineRefusals)
{
    std::vector<float> p;
    bool skip = false;
    const float C2[3] = {20, 0, 0};
    EXPECT_FALSE(BuildBendPolyline(kA1, kB1, kA2, C2, 3, p, skip));
    const float back[3] = {0, 0, 0};
    EXPECT_FALSE(BuildBendPolyline(kA1, kB1, kA2, back, 3, p, skip));
    EXPECT_FALSE(BuildBendPolyline(kA1, kB1, kA2, kB2, 0, p, skip));
}

TEST(BendShellTest, PolylineReachingBackPastTheStartSkipsIt)
{
    // A bend radius so large that the tangent length exceeds the first element.
    std::vector<float> p;
    bool skip = false;
    const float A1[3] = {8, 0, 0};
    ASSERT_TRUE(BuildBendPolyline(A1, kB1, kA2, kB2, 5, p, skip));
    EXPECT_TRUE(skip);
    EXPECT_EQ(p[3], 8.0f); // the start point doubled
}

} // namespace
