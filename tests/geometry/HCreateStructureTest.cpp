#include "GeometrySceneTest.h"

#include "geometry/HCreateStructure.h"
#include "geometry/ShellMerge.h"

#include <cmath>

namespace {

class HCreateStructureTest : public GeometrySceneTest {
protected:
    ShellData Only()
    {
        const auto shells = Find(".", "shells");
        EXPECT_EQ(shells.size(), 1u);
        return shells.empty() ? ShellData{} : Read(shells[0]);
    }
};

TEST_F(HCreateStructureTest, VerticalChannel)
{
    HCreateStructure builder(nullptr, 0, 1);
    const long key = builder.InsertChannel(0, 0, 0, 0, 0, 5, 1, 0.5f, 4, 10, 0);
    ASSERT_NE(key, -1);
    const ShellData s = Read(key);
    ASSERT_EQ(s.PointCount(), 16);
    const float bottom[8][2] = {{2, -5}, {-2, -5}, {-2, 5}, {2, 5},
                                {2, 4},  {-1.5f, 4}, {-1.5f, -4}, {2, -4}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(s.points[3 * i], bottom[i][0]);
        EXPECT_EQ(s.points[3 * i + 1], bottom[i][1]);
        EXPECT_EQ(s.points[3 * i + 2], 0.0f);
        EXPECT_EQ(s.points[3 * (8 + i) + 2], 5.0f);
    }
    EXPECT_EQ(s.FaceListLength(), 58);
    const auto lod1 = ReadLod(key, 1);
    ASSERT_EQ(lod1.size(), 1u);
    EXPECT_EQ(lod1[0].points, s.points);
    EXPECT_EQ(lod1[0].faces, s.faces);
    const auto lod2 = ReadLod(key, 2);
    ASSERT_EQ(lod2.size(), 1u);
    EXPECT_EQ(lod2[0].points, (std::vector<float>{0, 0, 0, 0, 0, 5}));
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateStructureTest, DownwardChannelHasItsWebOnPlusX)
{
    HCreateStructure builder(nullptr, 0, 1);
    const ShellData s = Read(builder.InsertChannel(0, 0, 0, 0, 0, -5, 1, 0.5f, 4, 10, 0));
    // Web points 5 and 6 (x = −1.5 canonically) are mirrored to x = +1.5.
    EXPECT_NEAR(s.points[3 * 5], 1.5f, 1e-5f);
    EXPECT_NEAR(s.points[3 * 6], 1.5f, 1e-5f);
    EXPECT_NEAR(s.points[3 * 13 + 2], -5, 1e-5f);
}

TEST_F(HCreateStructureTest, BoxWidthAndDepth)
{
    HCreateStructure builder(nullptr, 0, 1);
    const long key = builder.InsertUserDef(0, 0, 0, 0, 0, 7, 2, 3, 0);
    const ShellData s = Read(key);
    ASSERT_EQ(s.PointCount(), 8);
    EXPECT_EQ(s.points[0], -1.5f); // 3 wide along x
    EXPECT_EQ(s.points[1], -1.0f); // 2 deep along y
    EXPECT_EQ(s.FaceListLength(), 30);
    EXPECT_EQ(ReadLod(key, 2).size(), 1u);
}

TEST_F(HCreateStructureTest, AngleTurnsTheOtherWay)
{
    HCreateStructure builder(nullptr, 0, 1);
    // Turning by 30 and by −30 then comparing with the unturned section: the angle's +turn
    // equals the channel's −turn convention mirrored.
    const ShellData plain = Read(builder.InsertAngle(0, 0, 0, 0, 0, 5, 4, 0.5f, 0.25f, 2, 0));
    const ShellData angle = Read(builder.InsertAngle(0, 0, 0, 0, 0, 5, 4, 0.5f, 0.25f, 2, 30));
    const ShellData box = Read(builder.InsertUserDef(0, 0, 0, 0, 0, 5, 2, 3, 30));
    const double c = std::cos(30 * 3.14159265 / 180);
    const double sn = std::sin(30 * 3.14159265 / 180);
    // Angle: +30 about +Z.
    EXPECT_NEAR(angle.points[0], plain.points[0] * c - plain.points[1] * sn, 1e-5);
    EXPECT_NEAR(angle.points[1], plain.points[0] * sn + plain.points[1] * c, 1e-5);
    // Box: −30 about +Z; point 0 (−1.5, −1).
    EXPECT_NEAR(box.points[0], -1.5 * c + -1 * sn, 1e-5);
    EXPECT_NEAR(box.points[1], 1.5 * sn + -1 * c, 1e-5);
    // The angle and tee carry level 1 only.
    const auto shells = Find(".", "shells");
    EXPECT_EQ(ReadLod(shells[0], 1).size(), 1u);
    EXPECT_TRUE(ReadLod(shells[0], 2).empty());
    // No "Angle" subsegment is left behind.
    EXPECT_TRUE(Find(".", "segments").empty());
}

TEST_F(HCreateStructureTest, TeeAndWideChannel)
{
    HCreateStructure builder(nullptr, 0, 1);
    const long tee = builder.InsertStructuralTee(0, 0, 0, 10, 0, 0, 6, 1, 0.5f, 5, 0);
    EXPECT_EQ(Read(tee).PointCount(), 16);
    EXPECT_TRUE(ReadLod(tee, 2).empty());
    const long wide = builder.InsertWideChannel(0, 0, 0, 10, 0, 0, 1, 0.5f, 6, 8, 0);
    const ShellData w = Read(wide);
    EXPECT_EQ(w.PointCount(), 24);
    EXPECT_EQ(w.FaceListLength(), 86);
    EXPECT_EQ(ReadLod(wide, 2).size(), 1u);
    // Along +X the strong-axis angle is 90: no extra turn. The section's depth (canonical y,
    // ±5) stays along world ±Y.
    EXPECT_NEAR(w.points[1], -5, 1e-4);
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateStructureTest, WideChannelPointingUpIsDefined)
{
    HCreateStructure builder(nullptr, 0, 1);
    const ShellData w = Read(builder.InsertWideChannel(0, 0, 0, 0, 0, 10, 1, 0.5f, 6, 8, 0));
    ASSERT_EQ(w.PointCount(), 24);
    EXPECT_TRUE(w.IsFinite());
    // Drawn as built: point 0 is (−3, −5, 0).
    EXPECT_NEAR(w.points[0], -3, 1e-5);
    EXPECT_NEAR(w.points[1], -5, 1e-5);
}

TEST_F(HCreateStructureTest, SkewedWideChannelStaysOnTheMember)
{
    HCreateStructure builder(nullptr, 0, 1);
    const ShellData w = Read(builder.InsertWideChannel(1, 2, 3, 7, 5, 11, 1, 0.5f, 6, 8, 15));
    ASSERT_EQ(w.PointCount(), 24);
    // The centroid of each end outline lies on the member's end points.
    double c0[3] = {0, 0, 0};
    double c1[3] = {0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        for (int k = 0; k < 3; ++k) {
            c0[k] += w.points[3 * i + k] / 12.0;
            c1[k] += w.points[3 * (12 + i) + k] / 12.0;
        }
    }
    EXPECT_NEAR(c0[0], 1, 1e-4);
    EXPECT_NEAR(c0[2], 3, 1e-4);
    EXPECT_NEAR(c1[0], 7, 1e-3);
    EXPECT_NEAR(c1[1], 5, 1e-3);
    EXPECT_NEAR(c1[2], 11, 1e-3);
}

TEST_F(HCreateStructureTest, RefusedMembersDrawNothing)
{
    HCreateStructure builder(nullptr, 0, 1);
    EXPECT_EQ(builder.InsertChannel(0, 0, 0, 0, 0, NAN, 1, 1, 1, 1, 0), -1);
    EXPECT_EQ(builder.InsertUserDef(0, 0, 0, 0, 0, 1, INFINITY, 1, 0), -1);
    EXPECT_EQ(builder.InsertStructuralShape(7, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0), -1);
    EXPECT_TRUE(Find(".", "everything").empty());
}

TEST_F(HCreateStructureTest, StructuralShapeHasOnlyTheCentreLine)
{
    HCreateStructure builder(nullptr, 0, 1);
    for (int kind = 0; kind <= 4; ++kind) {
        const long key = builder.InsertStructuralShape(kind, 0, 0, 0, 10, 0, 0, 1, 0.5f, 4, 6, 0, 0);
        ASSERT_NE(key, -1) << kind;
        EXPECT_TRUE(ReadLod(key, 1).empty());
        const auto lod2 = ReadLod(key, 2);
        ASSERT_EQ(lod2.size(), 1u);
        EXPECT_EQ(lod2[0].points, (std::vector<float>{0, 0, 0, 10, 0, 0}));
    }
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateStructureTest, StructureMergeBakesTheHolderTransform)
{
    ShellData part;
    part.AddPoint(1, 0, 0);
    part.AddPoint(0, 1, 0);
    part.AddPoint(0, 0, 1);
    part.faces = {3, 0, 1, 2};
    const long a = InsertShellData(part);
    const long b = InsertShellData(part);
    const long holder = HC_Open_Segment("holder");
    HC_Translate_Object(10, 20, 30);
    HC_Close_Segment();
    long keys[3] = {a, b, holder};
    HCreateStructure builder(nullptr, 0, 1);
    const long key = builder.MergeShells(3, keys);
    ASSERT_NE(key, -1);
    EXPECT_EQ(Find(".", "shells"), std::vector<long>{key});
    EXPECT_TRUE(Find(".", "segments").empty());
    const ShellData m = Read(key);
    EXPECT_EQ(m.PointCount(), 6);
    EXPECT_EQ(m.points[0], 11.0f);
    EXPECT_EQ(m.points[1], 20.0f);
    EXPECT_EQ(m.faces, (std::vector<int>{3, 0, 1, 2, 3, 3, 4, 5}));
    long bad[2] = {key, key};
    EXPECT_EQ(builder.MergeShells(2, bad), -1);
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

} // namespace
