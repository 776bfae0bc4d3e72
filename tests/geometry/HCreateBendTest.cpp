#include "GeometrySceneTest.h"

#include "geometry/CVector3D.h"
#include "geometry/HCreateBend.h"
#include "geometry/ShellMerge.h"

#include <cmath>

namespace {

class HCreateBendTest : public GeometrySceneTest {};

class TorusBuilder : public HCreateBend {
public:
    TorusBuilder() : HCreateBend(nullptr, 0, 1) {}
    using HCreateBend::Toroid;
};

// The torus part of the fused shell equals, to the bit, the torus built in a segment carrying
// the bend matrix and the translation to the bend centre, read back object → world.
TEST_F(HCreateBendTest, TorusMatchesTheSegmentRoute)
{
    const float bend[12] = {1, 2, 3, 11, 9, 5, 11, 9, 5, 14, 20, -6};
    HCreateBend builder(nullptr, 0, 1);
    const long key = builder.CreateBend(bend[0], bend[1], bend[2], bend[3], bend[4], bend[5],
                                        bend[6], bend[7], bend[8], bend[9], bend[10], bend[11],
                                        0.5f, 4, 8);
    ASSERT_NE(key, -1);
    const ShellData fused = Read(key);

    CVector3D e1(bend[0], bend[1], bend[2], bend[3], bend[4], bend[5]);
    CVector3D e2(bend[6], bend[7], bend[8], bend[9], bend[10], bend[11]);
    const float alpha = std::trunc(e1 ^ &e2);
    float M[4][4] = {};
    e1.GetBendRotation(&e2, 4, M);
    HC_Open_Segment("/scratch");
    HC_Set_Modelling_Matrix(&M[0][0]);
    HC_Translate_Object(e1.GetBendCenterX(), e1.GetBendCenterY(), e1.GetBendCenterZ());
    TorusBuilder torus;
    const long torusKey = torus.Toroid(0.5f, 4, alpha, -alpha, 8);
    ShellData routed = Read(torusKey);
    for (int i = 0; i < routed.PointCount(); ++i) {
        HC_Compute_Coordinates(".", "object", &routed.points[3 * i], "world",
                               &routed.points[3 * i]);
    }
    HC_Close_Segment();
    const int straight = 16;
    ASSERT_EQ(fused.PointCount(), straight + routed.PointCount());
    for (size_t i = 0; i < routed.points.size(); ++i) {
        EXPECT_EQ(fused.points[3 * straight + i], routed.points[i]) << i;
    }
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateBendTest, RightAngleBendWithLevels)
{
    HCreateBend builder(nullptr, 0, 1);
    builder.InsertBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 3);
    const auto shells = Find(".", "shells");
    ASSERT_EQ(shells.size(), 1u);
    const ShellData s = Read(shells[0]);
    EXPECT_EQ(s.PointCount(), 40 + 147);
    EXPECT_EQ(s.FaceListLength(), 100 + 600);
    const auto lod1 = ReadLod(shells[0], 1);
    ASSERT_EQ(lod1.size(), 1u);
    EXPECT_EQ(lod1[0].PointCount(), 8 + 35);
    EXPECT_EQ(lod1[0].FaceListLength(), 20 + 120);
    const auto lod2 = ReadLod(shells[0], 2);
    ASSERT_EQ(lod2.size(), 1u);
    EXPECT_EQ(lod2[0].points, (std::vector<float>{0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0}));
    EXPECT_EQ(lod2[0].faces, (std::vector<int>{2, 0, 1, 2, 1, 2, 2, 2, 3}));
    EXPECT_TRUE(Errors().empty()) << Errors().front();
    for (const char* scratch :
         {"/include library/construction geometry", "/include library/construction segment"}) {
        if (HC_QShow_Existence(scratch, "self") != 0) {
            EXPECT_TRUE(Find((std::string(scratch) + "/...").c_str(), "geometry").empty());
        }
    }
}

TEST_F(HCreateBendTest, TrimMovesTheStart)
{
    HCreateBend builder(nullptr, 0, 1);
    builder.InsertBend(0, 0.001f, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 3, 2);
    const auto shells = Find(".", "shells");
    ASSERT_EQ(shells.size(), 1u);
    const auto lod2 = ReadLod(shells[0], 2);
    ASSERT_EQ(lod2.size(), 1u);
    // The corner's y, within epsilon of the start's, is snapped to it before trimming: the
    // first element runs along y = 0.001 and starts at x = 2.
    EXPECT_NEAR(lod2[0].points[0], 2, 1e-5);
    EXPECT_EQ(lod2[0].points[1], 0.001f);
    EXPECT_EQ(lod2[0].points[4], 0.001f);
    // The straight run starts at x = 2.
    const ShellData s = Read(shells[0]);
    EXPECT_NEAR(s.points[0], 2, 1e-5);
}

TEST_F(HCreateBendTest, RefusedBendsDrawNothing)
{
    HCreateBend builder(nullptr, 0, 1);
    EXPECT_EQ(builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 20, 0.0698f, 0, 1, 3, 20), -1);
    EXPECT_EQ(builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 20, 0, 0, 1, 3, 20), -1);
    EXPECT_EQ(builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 0, 20), -1);
    EXPECT_EQ(builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, -2, 20), -1);
    EXPECT_EQ(builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 3, 0), -1);
    builder.InsertBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, NAN);
    builder.InsertBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 0, 0, 1, 3);
    EXPECT_EQ(builder.InsertBendPC(0, 0, 0, 10, 0, 0, 10, 0, 0, 0, 0, 0, 1, 3), -1);
    EXPECT_TRUE(Find(".", "everything").empty());
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateBendTest, CreateBendFacets)
{
    HCreateBend builder(nullptr, 0, 1);
    const long key = builder.CreateBend(0, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 3, 4);
    ASSERT_NE(key, -1);
    EXPECT_EQ(Read(key).PointCount(), 8 + 35);
    EXPECT_TRUE(ReadLod(key, 1).empty());
}

TEST_F(HCreateBendTest, PolycylinderForm)
{
    HCreateBend builder(nullptr, 0, 1);
    const long key = builder.InsertBendPC(-20, 0, 0, 10, 0, 0, 10, 0, 0, 10, 10, 0, 1, 3);
    ASSERT_NE(key, -1);
    int points = 0;
    int radii = 0;
    HC_Show_PolyCylinder_Count(key, &points, &radii);
    EXPECT_EQ(points, 12);
    EXPECT_EQ(radii, 1);
    std::vector<float> p(static_cast<size_t>(points) * 3);
    float radius = 0;
    char capping[32] = {};
    HC_Show_PolyCylinder(key, &points, p.data(), &radii, &radius, capping);
    EXPECT_EQ(radius, 1.0f);
    EXPECT_STREQ(capping, "both");
    EXPECT_EQ(p[0], -20.0f);
    EXPECT_NEAR(p[3 * 11 + 1], 3, 1e-4);
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateBendTest, MergeAppendsWithRaisedIndices)
{
    ShellData a;
    for (int i = 0; i < 16; ++i) {
        a.AddPoint(float(i), 0, 0);
    }
    a.faces = {4, 0, 1, 9, 8};
    ShellData b;
    for (int i = 0; i < 8; ++i) {
        b.AddPoint(float(i), 1, 0);
    }
    b.faces = {4, 0, 1, 5, 4, -3, 1, 2, 3};
    long keys[2] = {InsertShellData(a), InsertShellData(b)};
    const long first = keys[0];
    HCreateBend builder(nullptr, 0, 1);
    const long key = builder.MergeShells(2, keys);
    ASSERT_NE(key, -1);
    EXPECT_EQ(keys[0], key);
    EXPECT_NE(key, first);
    EXPECT_EQ(Find(".", "shells"), std::vector<long>{key});
    const ShellData m = Read(key);
    EXPECT_EQ(m.PointCount(), 24);
    EXPECT_EQ(m.faces, (std::vector<int>{4, 0, 1, 9, 8, 4, 16, 17, 21, 20, -3, 17, 18, 19}));
    EXPECT_EQ(m.points[3 * 16 + 1], 1.0f);
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateBendTest, MergeEdgeCases)
{
    ShellData a;
    a.AddPoint(0, 0, 0);
    a.AddPoint(1, 0, 0);
    a.faces = {2, 0, 1};
    long keys[3] = {InsertShellData(a), -1, -1};
    HCreateBend builder(nullptr, 0, 1);
    EXPECT_EQ(builder.MergeShells(1, keys), keys[0]);
    EXPECT_EQ(builder.MergeShells(0, keys), -1);
    EXPECT_EQ(builder.MergeShells(2, nullptr), -1);
    // A key that is not a shell changes nothing.
    keys[1] = m_segment;
    const long before = keys[0];
    EXPECT_EQ(builder.MergeShells(2, keys), -1);
    EXPECT_EQ(keys[0], before);
    EXPECT_EQ(Find(".", "shells").size(), 1u);
    // Three shells fuse into one.
    keys[1] = InsertShellData(a);
    keys[2] = InsertShellData(a);
    const long merged = builder.MergeShells(3, keys);
    EXPECT_EQ(Find(".", "shells"), std::vector<long>{merged});
    EXPECT_EQ(Read(merged).faces, (std::vector<int>{2, 0, 1, 2, 2, 3, 2, 4, 5}));
}

} // namespace
