#include "geometry/SteelSections.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(SteelSectionsTest, ChannelExtrusionTable)
{
    std::vector<float> xy;
    // InsertChannel passes (s1, s3, s2, s4): flange thickness 1, width 4, web 0.5, depth 10.
    ChannelOutline(1, 4, 0.5f, 10, xy);
    const std::vector<float> expected = {2, -5, -2, -5, -2, 5, 2, 5, 2, 4, -1.5f, 4, -1.5f, -4, 2, -4};
    EXPECT_EQ(xy, expected);
    ShellData s;
    ExtrudeOutline(xy, 5, s);
    ASSERT_EQ(s.PointCount(), 16);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(s.points[3 * i], expected[2 * i]);
        EXPECT_EQ(s.points[3 * i + 1], expected[2 * i + 1]);
        EXPECT_EQ(s.points[3 * i + 2], 0.0f);
        EXPECT_EQ(s.points[3 * (8 + i) + 2], 5.0f);
    }
    const std::vector<int> faces = {8, 0, 1, 2,  3,  4,  5,  6,  7,  4,  1,  9,  10, 2, 4,
                                    2, 10, 11, 3, 4,  3,  11, 12, 4, 4,  4,  12, 13, 5, 4,
                                    5, 13, 14, 6, 4,  6,  14, 15, 7, 4,  7,  15, 8,  0, 4,
                                    0, 8,  9,  1, 8,  15, 14, 13, 12, 11, 10, 9,  8};
    EXPECT_EQ(s.faces, faces);
    EXPECT_EQ(s.FaceListLength(), 58);
}

TEST(SteelSectionsTest, OutlineSizes)
{
    std::vector<float> xy;
    ShellData s;
    WideChannelOutline(1, 2, 3, 4, xy);
    ExtrudeOutline(xy, 1, s);
    EXPECT_EQ(s.PointCount(), 24);
    EXPECT_EQ(s.FaceListLength(), 86);
    AngleOutline(1, 2, 3, 4, xy);
    ExtrudeOutline(xy, 1, s);
    EXPECT_EQ(s.PointCount(), 12);
    EXPECT_EQ(s.FaceListLength(), 44);
    StructuralTeeOutline(1, 2, 3, 4, xy);
    ExtrudeOutline(xy, 1, s);
    EXPECT_EQ(s.FaceListLength(), 58);
}

TEST(SteelSectionsTest, WideChannelAngleAndTeeOutlines)
{
    std::vector<float> xy;
    WideChannelOutline(1, 6, 0.5f, 8, xy); // flange 1 × 6, web 0.5, clear height 8
    const std::vector<float> wide = {-3, -5, 3, -5, 3, -4, 0.25f, -4, 0.25f, 4, 3, 4,
                                     3,  5,  -3, 5, -3, 4, -0.25f, 4, -0.25f, -4, -3, -4};
    EXPECT_EQ(xy, wide);
    AngleOutline(0.5f, 4, 0.25f, 2, xy); // X = 1, Y = 3
    const std::vector<float> angle = {-0.5f, -3, -1, -3, -1, 3, 1, 3, 1, 2.75f, -0.5f, 2.75f};
    EXPECT_EQ(xy, angle);
    StructuralTeeOutline(1, 6, 0.5f, 5, xy); // X = 3, W = 0.25, T = 3
    const std::vector<float> tee = {-3, 3, 3, 3, 3, 2, 0.25f, 2, 0.25f, -4, -0.25f, -4,
                                    -0.25f, 2, -3, 2};
    EXPECT_EQ(xy, tee);
}

TEST(SteelSectionsTest, BoxTable)
{
    ShellData s;
    BuildBox(3, 2, 7, s);
    ASSERT_EQ(s.PointCount(), 8);
    EXPECT_EQ(s.points[0], -1.5f);
    EXPECT_EQ(s.points[1], -1.0f);
    EXPECT_EQ(s.points[3 * 4], 1.5f);
    EXPECT_EQ(s.points[3 * 4 + 2], 7.0f);
    const std::vector<int> faces = {4, 0, 1, 2, 3, 4, 1, 4, 5, 2, 4, 2, 5, 6, 3,
                                    4, 0, 7, 4, 1, 4, 3, 6, 7, 0, 4, 7, 6, 5, 4};
    EXPECT_EQ(s.faces, faces);
}

TEST(SteelSectionsTest, StructuralShapeBox)
{
    // A member along +X: the side vector w = normalise((−a.z, 0, a.x)) is +Z.
    const float start[3] = {1, 1, 1};
    const float endX[3] = {11, 1, 1};
    ShellData s;
    ASSERT_TRUE(BuildStructuralShape(ShapeBox, start, endX, 2, 99, 4, 99, 0, 0, false, s));
    ASSERT_EQ(s.PointCount(), 8);
    EXPECT_EQ(s.FaceListLength(), 30);
    // a = (10, 0, 0): w = (0, 0, 1), second = a × w normalised = (0, −1, 0).
    // Point 0 = −u − v = (0, 2, −1) + start.
    EXPECT_NEAR(s.points[0], 1, 1e-6);
    EXPECT_NEAR(s.points[1], 3, 1e-6);
    EXPECT_NEAR(s.points[2], 0, 1e-6);
    // Point 4 = point 0 + a.
    EXPECT_NEAR(s.points[12], 11, 1e-6);
    const std::vector<int> faces = {4, 0, 1, 2, 3, 4, 1, 5, 6, 2, 4, 2, 6, 7, 3,
                                    4, 3, 7, 4, 0, 4, 0, 4, 5, 1, 4, 4, 7, 6, 5};
    EXPECT_EQ(s.faces, faces);
}

TEST(SteelSectionsTest, StructuralShapesAlongAnyDirection)
{
    const float start[3] = {0, 0, 0};
    const float ends[][3] = {{0, 0, 5}, {0, 5, 0}, {5, 0, 0}, {3, -4, 2}};
    for (int kind = ShapeWideChannel; kind <= ShapeBox; ++kind) {
        for (const auto& end : ends) {
            for (int fixed : {0, 1}) {
                for (bool up : {false, true}) {
                    ShellData s;
                    ASSERT_TRUE(
                        BuildStructuralShape(kind, start, end, 1, 0.5f, 4, 6, 30, fixed, up, s));
                    const int k = s.PointCount() / 2;
                    // Each top point is its bottom point moved by the member vector, and the
                    // section is not collapsed.
                    double spread = 0;
                    for (int i = 0; i < k; ++i) {
                        for (int c = 0; c < 3; ++c) {
                            EXPECT_NEAR(s.points[3 * (k + i) + c] - s.points[3 * i + c], end[c],
                                        1e-4);
                            spread += std::fabs(s.points[3 * i + c] - s.points[c]);
                        }
                    }
                    EXPECT_GT(spread, 1.0);
                }
            }
        }
    }
    ShellData s;
    EXPECT_FALSE(BuildStructuralShape(5, start, ends[0], 1, 1, 1, 1, 0, 0, false, s));
    const float bad[3] = {NAN, 0, 0};
    EXPECT_FALSE(BuildStructuralShape(0, start, bad, 1, 1, 1, 1, 0, 0, false, s));
}

TEST(SteelSectionsTest, StructuralShapeTurnIsAboutTheMember)
{
    const float start[3] = {0, 0, 0};
    const float end[3] = {10, 0, 0};
    ShellData plain;
    ShellData turned;
    ASSERT_TRUE(BuildStructuralShape(ShapeBox, start, end, 2, 0, 4, 0, 0, 0, false, plain));
    ASSERT_TRUE(BuildStructuralShape(ShapeBox, start, end, 2, 0, 4, 0, 90, 0, false, turned));
    // A quarter turn about +X carries (x, y, z) to (x, −z, y).
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(turned.points[3 * i], plain.points[3 * i], 1e-5);
        EXPECT_NEAR(turned.points[3 * i + 1], -plain.points[3 * i + 2], 1e-5);
        EXPECT_NEAR(turned.points[3 * i + 2], plain.points[3 * i + 1], 1e-5);
    }
}

} // namespace
