#include "geometry/CVector3D.h"
#include "geometry/CylinderShell.h"
#include "geometry/ElementPlacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

CylinderSpec Spec(int facets, float radius = 1, float height = 10)
{
    CylinderSpec s;
    s.facets = facets;
    s.radius = radius;
    s.height = height;
    return s;
}

void ExpectPoint(const ShellData& s, int i, float x, float y, float z, float tol = 1e-5f)
{
    SCOPED_TRACE(i);
    EXPECT_NEAR(s.points[3 * i], x, tol);
    EXPECT_NEAR(s.points[3 * i + 1], y, tol);
    EXPECT_NEAR(s.points[3 * i + 2], z, tol);
}

// Number of quads and triangles, and that every index is a point of the shell.
void CountFaces(const ShellData& s, int& quads, int& triangles)
{
    quads = triangles = 0;
    size_t i = 0;
    while (i < s.faces.size()) {
        const int c = s.faces[i++];
        quads += c == 4;
        triangles += c == 3;
        for (int k = 0; k < std::abs(c); ++k, ++i) {
            ASSERT_LT(i, s.faces.size());
            ASSERT_GE(s.faces[i], 0);
            ASSERT_LT(s.faces[i], s.PointCount());
        }
    }
}

TEST(CylinderShellTest, OpenSolidEightFacets)
{
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(Spec(8), c));
    ASSERT_EQ(c.shell.PointCount(), 16);
    const float h = std::sqrt(0.5f);
    const float ring[8][2] = {{1, 0}, {h, h}, {0, 1}, {-h, h}, {-1, 0}, {-h, -h}, {0, -1}, {h, -h}};
    for (int i = 0; i < 8; ++i) {
        ExpectPoint(c.shell, i, ring[i][0], ring[i][1], 0);
        ExpectPoint(c.shell, 8 + i, ring[i][0], ring[i][1], 10);
    }
    const std::vector<int> faces = {4, 0, 1, 9,  8,  4, 1, 2, 10, 9,  4, 2, 3, 11,
                                    10, 4, 3, 4, 12, 11, 4, 4, 5, 13, 12, 4, 5, 6,
                                    14, 13, 4, 6, 7, 15, 14, 4, 7, 0, 8,  15};
    EXPECT_EQ(c.shell.faces, faces);
    EXPECT_TRUE(c.markedEdges.empty());
    EXPECT_EQ(c.startTurnDegrees, 0);
}

TEST(CylinderShellTest, SolidWithBothLids)
{
    CylinderSpec s = Spec(4);
    s.lidFlags = 6;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ASSERT_EQ(c.shell.PointCount(), 10);
    ExpectPoint(c.shell, 8, 0, 0, 0);
    ExpectPoint(c.shell, 9, 0, 0, 10);
    int quads = 0, triangles = 0;
    CountFaces(c.shell, quads, triangles);
    EXPECT_EQ(quads, 4);
    EXPECT_EQ(triangles, 8);
    EXPECT_EQ(c.shell.FaceListLength(), 52);
    const std::vector<int> lids = {3, 1, 0, 8, 3, 2, 1, 8, 3, 3, 2, 8, 3, 0, 3, 8,
                                   3, 4, 5, 9, 3, 5, 6, 9, 3, 6, 7, 9, 3, 7, 4, 9};
    EXPECT_EQ(std::vector<int>(c.shell.faces.begin() + 20, c.shell.faces.end()), lids);
    // Lid rims of a solid are marked whatever edgeOptions holds: 4 bottom + 4 top edges.
    EXPECT_EQ(c.markedEdges.size(), 8u);
}

TEST(CylinderShellTest, LidFlagOneSuppressesLids)
{
    CylinderSpec s = Spec(4);
    s.lidFlags = 7;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    EXPECT_EQ(c.shell.PointCount(), 8);
    EXPECT_EQ(c.shell.FaceListLength(), 20);
}

TEST(CylinderShellTest, TubeRadiiAndFaces)
{
    CylinderSpec s = Spec(4, 2);
    s.innerRadius = 1;
    s.lidFlags = 6;
    s.edgeOptions = 8 | 4;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ASSERT_EQ(c.shell.PointCount(), 16);
    ExpectPoint(c.shell, 0, 1, 0, 0);   // ring A: smaller radius
    ExpectPoint(c.shell, 8, 2, 0, 0);   // ring C: larger radius
    ExpectPoint(c.shell, 12, 2, 0, 10); // ring D
    int quads = 0, triangles = 0;
    CountFaces(c.shell, quads, triangles);
    EXPECT_EQ(quads, 16);
    EXPECT_EQ(triangles, 0);
    // Second side, then the bottom and top annuli.
    const std::vector<int> expectStart = {4, 8, 9, 13, 12};
    EXPECT_TRUE(std::equal(expectStart.begin(), expectStart.end(), c.shell.faces.begin() + 20));
    const std::vector<int> bottomFirst = {4, 0, 1, 9, 8};
    EXPECT_TRUE(std::equal(bottomFirst.begin(), bottomFirst.end(), c.shell.faces.begin() + 40));
    const std::vector<int> topLast = {4, 7, 4, 12, 15};
    EXPECT_TRUE(std::equal(topLast.begin(), topLast.end(), c.shell.faces.end() - 5));
    // Bit 8: ring A rim; bit 4: ring D rim.
    ASSERT_EQ(c.markedEdges.size(), 8u);
    EXPECT_EQ(c.markedEdges[0], std::make_pair(0, 1));
    EXPECT_EQ(c.markedEdges[3], std::make_pair(3, 0));
    EXPECT_EQ(c.markedEdges[4], std::make_pair(12, 13));
}

TEST(CylinderShellTest, InnerRadiusEqualToRadiusIsSolid)
{
    CylinderSpec s = Spec(6, 2);
    s.innerRadius = 2;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    EXPECT_EQ(c.shell.PointCount(), 12);
    ExpectPoint(c.shell, 0, 2, 0, 0);
}

TEST(CylinderShellTest, EccentricReducerFlatSides)
{
    // Flat side 1: the points of angle π on both rings share x = c.x − 2.
    CylinderSpec s = Spec(4, 2);
    s.topRadius = 1;
    s.concentric = 0;
    s.flatSide = 1;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ExpectPoint(c.shell, 2, -2, 0, 0);
    ExpectPoint(c.shell, 6, -2, 0, 10);
    ExpectPoint(c.shell, 4, 0, 0, 10);
    const float expectedCentre[5][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    for (int side = 0; side <= 4; ++side) {
        s.flatSide = side;
        ASSERT_TRUE(BuildCanonicalCylinder(s, c));
        // Top ring centre = mean of the four top points.
        float cx = 0, cy = 0;
        for (int i = 4; i < 8; ++i) {
            cx += c.shell.points[3 * i] / 4;
            cy += c.shell.points[3 * i + 1] / 4;
        }
        EXPECT_NEAR(cx, expectedCentre[side][0], 1e-5f) << side;
        EXPECT_NEAR(cy, expectedCentre[side][1], 1e-5f) << side;
    }
    // Concentric: no shift.
    s.concentric = 1;
    s.flatSide = 1;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ExpectPoint(c.shell, 6, -1, 0, 10);
}

TEST(CylinderShellTest, PartialTubeArc)
{
    CylinderSpec s = Spec(4, 2);
    s.innerRadius = 1;
    s.startAngle = 0;
    s.endAngle = static_cast<float>(3.14159265358979 / 2);
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ASSERT_EQ(c.shell.PointCount(), 16);
    const double step = 3.14159265358979 / 8;
    for (int i = 0; i < 4; ++i) {
        ExpectPoint(c.shell, i, std::cos(i * step), std::sin(i * step), 0);
    }
    // No wrap quads: start cap, end cap, 6 + 2 side quads.
    const std::vector<int> startCap = {4, 0, 8, 12, 4};
    EXPECT_TRUE(std::equal(startCap.begin(), startCap.end(), c.shell.faces.begin() + 15));
    const std::vector<int> endCap = {4, 3, 11, 15, 7};
    EXPECT_EQ(std::vector<int>(c.shell.faces.end() - 5, c.shell.faces.end()), endCap);
    EXPECT_EQ(c.shell.FaceListLength(), 40);
    EXPECT_EQ(c.startTurnDegrees, 0);
}

TEST(CylinderShellTest, PartialArcTurnsByStartAngle)
{
    CylinderSpec s = Spec(4, 2);
    s.innerRadius = 1;
    s.startAngle = 1;
    s.endAngle = 2;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    EXPECT_NEAR(c.startTurnDegrees, 57.29578, 1e-3);
}

TEST(CylinderShellTest, PartialSolidArcIsCappedToTheAxis)
{
    CylinderSpec s = Spec(4);
    s.endAngle = 3;
    s.lidFlags = 6;
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ASSERT_EQ(c.shell.PointCount(), 10);
    ExpectPoint(c.shell, 8, 0, 0, 0);
    ExpectPoint(c.shell, 9, 0, 0, 10);
    int quads = 0, triangles = 0;
    CountFaces(c.shell, quads, triangles); // every index within the shell
    EXPECT_EQ(quads, 5);
    EXPECT_EQ(triangles, 0);
    const std::vector<int> caps = {4, 8, 0, 4, 9, 4, 8, 3, 7, 9};
    EXPECT_EQ(std::vector<int>(c.shell.faces.begin() + 15, c.shell.faces.end()), caps);
}

TEST(CylinderShellTest, RefusesBadFacetsAndNonFiniteInput)
{
    CylinderShell c;
    EXPECT_FALSE(BuildCanonicalCylinder(Spec(0), c));
    EXPECT_TRUE(c.shell.points.empty());
    EXPECT_FALSE(BuildCanonicalCylinder(Spec(-3), c));
    EXPECT_FALSE(BuildCanonicalCylinder(Spec(1000000), c));
    EXPECT_FALSE(BuildCanonicalCylinder(Spec(8, NAN), c));
    EXPECT_FALSE(BuildCanonicalCylinder(Spec(8, 1, INFINITY), c));
    EXPECT_TRUE(BuildCanonicalCylinder(Spec(1), c));
}

// The far end of every placed shell lands on the element's end point (within the rounding of
// the length), its start ring is centred on the start point and lies in the plane normal to
// the element, for the six axis directions and skewed elements.
class PlacementTest : public ::testing::TestWithParam<std::vector<float>> {};

TEST_P(PlacementTest, CanonicalShellLandsOnTheElement)
{
    const std::vector<float>& e = GetParam();
    const CVector3D element(e[0], e[1], e[2], e[3], e[4], e[5]);
    CylinderShell c;
    CylinderSpec s = Spec(12, 0.5f, element.GetHeight());
    ASSERT_TRUE(BuildCanonicalCylinder(s, c));
    ElementPlacement(element).Apply(c.shell.points.data(), c.shell.PointCount());
    const double d[3] = {e[3] - e[0], e[4] - e[1], e[5] - e[2]};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (int ring = 0; ring < 2; ++ring) {
        double centre[3] = {0, 0, 0};
        for (int i = 0; i < 12; ++i) {
            for (int k = 0; k < 3; ++k) {
                centre[k] += c.shell.points[3 * (ring * 12 + i) + k] / 12.0;
            }
        }
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(centre[k], e[ring * 3 + k], 6e-4 + 1e-5 * len) << "ring " << ring;
        }
        for (int i = 0; i < 12; ++i) {
            double radial[3];
            double dot = 0;
            double r2 = 0;
            for (int k = 0; k < 3; ++k) {
                radial[k] = c.shell.points[3 * (ring * 12 + i) + k] - centre[k];
                dot += radial[k] * d[k] / len;
                r2 += radial[k] * radial[k];
            }
            EXPECT_NEAR(dot, 0, 1e-4);
            EXPECT_NEAR(std::sqrt(r2), 0.5, 1e-4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directions, PlacementTest,
    ::testing::Values(std::vector<float>{0, 0, 0, 10, 0, 0}, std::vector<float>{0, 0, 0, -10, 0, 0},
                      std::vector<float>{1, 2, 3, 1, 12, 3}, std::vector<float>{1, 2, 3, 1, -8, 3},
                      std::vector<float>{0, 0, 0, 0, 0, 10}, std::vector<float>{0, 0, 0, 0, 0, -10},
                      std::vector<float>{5, -2, 7, 8.5f, 3.25f, -4.125f},
                      std::vector<float>{100, 200, 300, 97.1f, 204.3f, 301.7f},
                      std::vector<float>{0, 0, 0, 1.0004f, 1.0004f, 1.0004f},
                      std::vector<float>{-3, 4, 0, 9, -12, 5}));

TEST(PlacementTest, HalfTurnForStraightDown)
{
    // The shell of an element straight down is turned half a turn about Y: ring A starts at
    // (−1, 0, 0).
    const CVector3D element(0, 0, 0, 0, 0, -10);
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(Spec(8), c));
    ElementPlacement(element).Apply(c.shell.points.data(), c.shell.PointCount());
    ExpectPoint(c.shell, 0, -1, 0, 0);
    ExpectPoint(c.shell, 2, 0, 1, 0);
    ExpectPoint(c.shell, 8, -1, 0, -10);
}

TEST(PlacementTest, AlongPlusX)
{
    const CVector3D element(0, 0, 0, 10, 0, 0);
    CylinderShell c;
    ASSERT_TRUE(BuildCanonicalCylinder(Spec(8), c));
    ElementPlacement(element).Apply(c.shell.points.data(), c.shell.PointCount());
    for (int i = 8; i < 16; ++i) {
        EXPECT_NEAR(c.shell.points[3 * i], 10.0f, 1e-5f);
    }
    // Canonical +X turns to −Z (rotation by +90 about +Y).
    ExpectPoint(c.shell, 0, 0, 0, -1);
    ExpectPoint(c.shell, 2, 0, 1, 0);
}

} // namespace
