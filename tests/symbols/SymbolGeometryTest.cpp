#include "symbols/SymbolGeometry.h"

#include "platform/mvo/HUtility.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ketra::symbols;

namespace {

HPoint PointOf(const ShellData& shell, int i) {
    return {shell.points[i * 3], shell.points[i * 3 + 1], shell.points[i * 3 + 2]};
}

void ExpectNear(const HPoint& a, const HPoint& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace

TEST(SymbolDirectionTest, DefaultsAndTypeSigns) {
    EXPECT_EQ(DefaultRestraintDirection(1), HPoint(-1, 0, 0));
    EXPECT_EQ(DefaultRestraintDirection(2), HPoint(0, -1, 0));
    EXPECT_EQ(DefaultRestraintDirection(3), HPoint(HUtility::EH_Epsilon, 0, 1));
    EXPECT_EQ(DefaultRestraintDirection(5), HPoint(0, 1, 0));
    EXPECT_EQ(DefaultRestraintDirection(6), HPoint(HUtility::EH_Epsilon, 0, -1));
    EXPECT_EQ(DefaultRestraintDirection(0), HPoint(0, 0, 0));
    EXPECT_EQ(DefaultRestraintDirection(7), HPoint(0, 0, 0));
    EXPECT_EQ(DefaultRodDirection(1), HPoint(1, 0, 0));
    EXPECT_EQ(DefaultRodDirection(4), HPoint(-1, 0, 0));
    EXPECT_EQ(DefaultRodDirection(5), HPoint(0, -1, 0));

    const HPoint d(1, 2, 3);
    EXPECT_EQ(SignRestraintByType(12, d), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRestraintByType(58, d), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRestraintByType(13, d), HPoint(1, -2, 3));
    EXPECT_EQ(SignRestraintByType(61, d), HPoint(1, 2, -3));
    EXPECT_EQ(SignRestraintByType(11, d), d);
    EXPECT_EQ(SignRodByType(26, d), HPoint(1, 2, -3));
    EXPECT_EQ(SignRodByType(33, d), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRodByType(12, d), d);
}

TEST(SymbolDirectionTest, CosineTextIsTrimmedSplitAndSigned) {
    HPoint c;
    ASSERT_TRUE(ParseCosines("(0, 1, 0)", c));
    EXPECT_EQ(SignRestraintCosines(2, c), HPoint(0, 1, 0));
    ASSERT_TRUE(ParseCosines("  0.6,0.8 ,0\t", c));
    EXPECT_EQ(c, HPoint(0.6f, 0.8f, 0));
    // One comma: y is 0 and z is the text after the comma.
    ASSERT_TRUE(ParseCosines("(1, 5)", c));
    EXPECT_EQ(c, HPoint(1, 0, 5));
    ASSERT_TRUE(ParseCosines("3", c));
    EXPECT_EQ(c, HPoint(3, 0, 0));
    ASSERT_TRUE(ParseCosines("a, b, c", c)); // no numbers read as 0
    EXPECT_EQ(c, HPoint(0, 0, 0));

    EXPECT_FALSE(ParseCosines("", c));
    EXPECT_FALSE(ParseCosines(" \t\n", c));
    EXPECT_FALSE(ParseCosines("nan, 0, 1", c));
    EXPECT_FALSE(ParseCosines("0, inf, 1", c));

    const HPoint v(1, 2, 3);
    EXPECT_EQ(SignRestraintCosines(1, v), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRestraintCosines(3, v), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRestraintCosines(5, v), HPoint(1, 2, -3));
    EXPECT_EQ(SignRestraintCosines(9, v), v);
    EXPECT_EQ(SignRodCosines(1, v), HPoint(1, 2, -3));
    EXPECT_EQ(SignRodCosines(4, v), HPoint(-1, -2, 3));
    EXPECT_EQ(SignRodCosines(2, v), v);
}

TEST(SymbolGeometryTest, SetOffReachesThePipeSurfaceAlongTheDirection) {
    const HPoint node(0, 0, 0);
    const HPoint along(10, 0, 0);
    EXPECT_NEAR(SetOffDistance(node, along, 10, HPoint(0, -1, 0)), 5.0f, 1e-4f);
    const float c30 = std::cos(30 * HUtility::PI / 180);
    const float s30 = std::sin(30 * HUtility::PI / 180);
    EXPECT_NEAR(SetOffDistance(node, along, 10, HPoint(c30, s30, 0)), 10.0f, 1e-3f);
    // Along the pipe (within 5 degrees either way) the symbol starts at the node.
    EXPECT_EQ(SetOffDistance(node, along, 10, HPoint(1, 0, 0)), 0.0f);
    EXPECT_EQ(SetOffDistance(node, along, 10, HPoint(-1, 0.05f, 0)), 0.0f);
}

TEST(SymbolGeometryTest, CoarseRestraintTriangleAndSpring) {
    const ShellData plain = CoarseRestraint(HPoint(1, 2, 3), HPoint(0, -1, 0), 2.0f, false);
    ASSERT_EQ(plain.PointCount(), 3);
    EXPECT_EQ(plain.faces, (std::vector<int>{2, 0, 1, 2, 1, 2, 2, 2, 0}));
    EXPECT_EQ(PointOf(plain, 0), HPoint(1, 2, 3));
    EXPECT_EQ(PointOf(plain, 1), HPoint(1.5f, 0, 3)); // w = (1, 0, 0) since dir.y != 0
    EXPECT_EQ(PointOf(plain, 2), HPoint(0.5f, 0, 3));

    const ShellData stiff = CoarseRestraint(HPoint(0, 0, 0), HPoint(1, 0, 0), 1.0f, true);
    ASSERT_EQ(stiff.PointCount(), 9);
    EXPECT_EQ(stiff.FaceListLength(), 24);
    EXPECT_EQ(PointOf(stiff, 1), HPoint(1, 0, 0.25f)); // w = (0, 0, 1) for a pure x direction
    EXPECT_EQ(PointOf(stiff, 8), HPoint(1.625f, 0, 0.125f));

    // A skewed direction truncates to u = 0: every point lies on the line through b along w.
    const ShellData skewed = CoarseRestraint(HPoint(5, 5, 5), HPoint(0.6f, 0.8f, 0), 1.0f, true);
    for (int i = 0; i < skewed.PointCount(); ++i) {
        EXPECT_EQ(PointOf(skewed, i).y, 5.0f);
        EXPECT_EQ(PointOf(skewed, i).z, 5.0f);
    }
}

TEST(SymbolGeometryTest, HelixTubeCountsAndBadSteps) {
    ShellData tube;
    ASSERT_TRUE(HelixTube(8.0f, 2.0f, 8, 45, tube));
    const int n = 720 / 45;
    EXPECT_EQ(tube.PointCount(), (8 + 1) * (n + 1));
    EXPECT_EQ(tube.FaceListLength(), n * 8 * 5);
    // Ring 0 at angle 0 lies about (R, 0) with the tube radius R/6.
    ExpectNear(PointOf(tube, 0), HPoint(2.0f, 0, 2.0f / 6 + 8.0f / 720 * 45 * 0.75f));
    // The last face closes ring n-1 onto ring n.
    const std::vector<int> last(tube.faces.end() - 5, tube.faces.end());
    const int j = n * 8 - 1;
    EXPECT_EQ(last, (std::vector<int>{4, j, j + 1 - 8, j + 1, j + 8}));
    for (int index : tube.faces) {
        EXPECT_LT(index, tube.PointCount());
    }

    // Side counts that do not divide 360 stay inside the point array.
    ASSERT_TRUE(HelixTube(1.0f, 1.0f, 7, 90, tube));
    for (std::size_t i = 0; i < tube.faces.size(); i += 5) {
        for (int k = 1; k <= 4; ++k) {
            EXPECT_LT(tube.faces[i + k], tube.PointCount());
        }
    }
    EXPECT_FALSE(HelixTube(1.0f, 1.0f, 8, 0, tube));
    EXPECT_FALSE(HelixTube(1.0f, 1.0f, 0, 45, tube));
    EXPECT_FALSE(HelixTube(1.0f, 1.0f, 400, 45, tube));
    EXPECT_TRUE(HelixTube(1.0f, 1.0f, 8, -90, tube)); // terminates
    EXPECT_EQ(tube.PointCount(), 9 * 9);
}

TEST(SymbolGeometryTest, ConeCircleRingAndBox) {
    const ShellData cone = Cone(HPoint(0, 0, 1), 2.0f, 3.0f, 4);
    ASSERT_EQ(cone.PointCount(), 5);
    EXPECT_EQ(cone.FaceListLength(), 5 * 4 + 1);
    ExpectNear(PointOf(cone, 0), HPoint(2, 0, 1));
    ExpectNear(PointOf(cone, 1), HPoint(0, 2, 1));
    EXPECT_EQ(PointOf(cone, 4), HPoint(0, 0, 4));
    EXPECT_EQ(std::vector<int>(cone.faces.begin(), cone.faces.begin() + 4),
              (std::vector<int>{3, 0, 1, 4}));
    EXPECT_EQ(std::vector<int>(cone.faces.end() - 5, cone.faces.end()),
              (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(Cone(HPoint(), 1, 1, 0).PointCount(), 0);

    const ShellData disc = Circle(HPoint(0, 0, 0), 1.0f, 0, 8, true);
    EXPECT_EQ(disc.PointCount(), 9);
    EXPECT_EQ(disc.FaceListLength(), 32);
    EXPECT_EQ(std::vector<int>(disc.faces.end() - 4, disc.faces.end()),
              (std::vector<int>{3, 8, 7, 0}));
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(PointOf(disc, i).z, 0.0f, 1e-6f); // plane 0 is the XY plane
    }
    const ShellData outline = Circle(HPoint(0, 0, 0), 1.0f, 1, 8, false);
    EXPECT_EQ(outline.FaceListLength(), 24);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(PointOf(outline, i).y, 0.0f, 1e-6f); // plane 1 is the XZ plane
    }
    const ShellData ring = Ring(HPoint(0, 0, 0), 1.0f, 1, 12);
    EXPECT_EQ(ring.PointCount(), 12);
    EXPECT_EQ(ring.FaceListLength(), 36);
    EXPECT_EQ(std::vector<int>(ring.faces.end() - 3, ring.faces.end()),
              (std::vector<int>{2, 11, 0}));

    const ShellData box = Box(2, 4, 6);
    EXPECT_EQ(box.PointCount(), 8);
    EXPECT_EQ(box.FaceListLength(), 30);
    EXPECT_EQ(PointOf(box, 0), HPoint(-1, -2, 0));
    EXPECT_EQ(PointOf(box, 4), HPoint(1, -2, 6));
}

TEST(SymbolGeometryTest, RigidProfileLengthThresholds) {
    const float D = 2.0f;
    EXPECT_EQ(RigidProfile(HPoint(0, 0, 0), HPoint(0.9f, 0, 0), D, false).points.size(), 6u);
    const Profile twoBands = RigidProfile(HPoint(0, 0, 0), HPoint(1.0f, 0, 0), D, false);
    ASSERT_EQ(twoBands.points.size(), 10u);
    EXPECT_NEAR(twoBands.points[1].x, 0.05f, 1e-6f);
    EXPECT_NEAR(twoBands.points[5].x, 0.55f, 1e-6f); // Q(0.45 L) from the far end
    EXPECT_NEAR(twoBands.radii[2], 0.85f * D, 1e-6f);
    const Profile cones = RigidProfile(HPoint(0, 0, 0), HPoint(2.0f, 0, 0), D, false);
    ASSERT_EQ(cones.points.size(), 3u);
    EXPECT_EQ(cones.points[1], HPoint(1, 0, 0));
    EXPECT_EQ(cones.radii, (std::vector<float>{0.625f * D, 0, 0.625f * D}));
    const Profile line = RigidProfile(HPoint(0, 0, 0), HPoint(5, 0, 0), D, true);
    EXPECT_EQ(line.points.size(), 2u);
    EXPECT_EQ(line.radii, (std::vector<float>{0.05f * D}));
}

TEST(SymbolGeometryTest, BellowsProfileCounts) {
    const Profile square = BellowsProfile(3, HPoint(0, 0, 0), HPoint(0, 0, 10), 1, 2, 0, 1, 1, 1);
    ASSERT_EQ(square.points.size(), 3u * 4 + 2);
    // A square step: root and crest at the same axial position.
    EXPECT_EQ(square.points[1], square.points[2]);
    EXPECT_EQ(square.radii[1], 1.0f);
    EXPECT_EQ(square.radii[2], 2.0f);
    EXPECT_EQ(square.points.back(), HPoint(0, 0, 10));

    const Profile knuckled =
        BellowsProfile(2, HPoint(0, 0, 0), HPoint(0, 0, 10), 1, 2, 0.2f, 1, 1, 1);
    EXPECT_EQ(knuckled.points.size(), 2u * 28 + 2);
    const Profile negative =
        BellowsProfile(2, HPoint(0, 0, 0), HPoint(0, 0, 10), 1, 2, -0.5f, 1, 1, 1);
    EXPECT_EQ(negative.points.size(), 2u * 4 + 2);
}
