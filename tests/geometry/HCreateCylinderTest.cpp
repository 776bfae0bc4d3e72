#include "GeometrySceneTest.h"

#include "geometry/CVector3D.h"
#include "geometry/ElementPlacement.h"
#include "geometry/HCreateCylinder.h"

#include <cmath>

namespace {

class HCreateCylinderTest : public GeometrySceneTest {};

// Exposes the canonical builder to compare the segment route with the direct one.
class CanonicalCylinder : public HCreateCylinder {
public:
    CanonicalCylinder() : HCreateCylinder(nullptr, 0, 1) {}
    using HCreateCylinder::Create_Faceted_CylinderEx;
};

TEST_F(HCreateCylinderTest, EightFacetPipeWithLevels)
{
    HCreateCylinder builder(nullptr, 0, 1);
    const long key = builder.InsertCylinder(0, 0, 0, 0, 0, 10, 1, 8, 0, 0, 1, 1, 0, 360);
    ASSERT_NE(key, -1);
    EXPECT_EQ(Find(".", "shells"), std::vector<long>{key});
    const ShellData s = Read(key);
    ASSERT_EQ(s.PointCount(), 16);
    EXPECT_NEAR(s.points[0], 1, 1e-6);
    EXPECT_NEAR(s.points[1], 0, 1e-6);
    EXPECT_NEAR(s.points[3 * 2 + 1], 1, 1e-6); // counter-clockwise seen from +Z
    EXPECT_NEAR(s.points[3 * 8 + 2], 10, 1e-6);
    ASSERT_EQ(s.FaceListLength(), 40);
    EXPECT_EQ(std::vector<int>(s.faces.begin(), s.faces.begin() + 5),
              (std::vector<int>{4, 0, 1, 9, 8}));
    EXPECT_EQ(std::vector<int>(s.faces.end() - 5, s.faces.end()),
              (std::vector<int>{4, 7, 0, 8, 15}));

    const auto lod1 = ReadLod(key, 1);
    ASSERT_EQ(lod1.size(), 1u);
    EXPECT_EQ(lod1[0].PointCount(), 8);
    EXPECT_EQ(lod1[0].FaceListLength(), 20);
    const auto lod2 = ReadLod(key, 2);
    ASSERT_EQ(lod2.size(), 1u);
    EXPECT_EQ(lod2[0].points, (std::vector<float>{0, 0, 0, 0, 0, 10}));
    EXPECT_EQ(lod2[0].faces, (std::vector<int>{2, 0, 1}));
    EXPECT_TRUE(Errors().empty()) << Errors().front();
    // The scratch segment holds nothing afterwards.
    if (HC_QShow_Existence("/include library/construction geometry", "self") != 0) {
        EXPECT_TRUE(Find("/include library/construction geometry/...", "everything").empty());
    }
}

TEST_F(HCreateCylinderTest, StraightDownStartsAtMinusX)
{
    HCreateCylinder builder(nullptr, 0, 1);
    const ShellData s = Read(builder.InsertCylinder(0, 0, 0, 0, 0, -10, 1, 8, 0, 0, 1, 1, 0, 360));
    ASSERT_EQ(s.PointCount(), 16);
    EXPECT_NEAR(s.points[0], -1, 1e-6);
    EXPECT_NEAR(s.points[3 * 8 + 2], -10, 1e-6);
}

TEST_F(HCreateCylinderTest, RefusedInputDrawsNothing)
{
    HCreateCylinder builder(nullptr, 0, 1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, 0, 0, 0, 10, 1, 0, 0, 0, 1, 1, 0, 360), -1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, 0, 0, 0, 10, 1, -4, 0, 0, 1, 1, 0, 360), -1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, NAN, 0, 0, 10, 1, 8, 0, 0, 1, 1, 0, 360), -1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, 0, INFINITY, 0, 10, 1, 8, 0, 0, 1, 1, 0, 360), -1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, 0, 0, 0, 10, NAN, 8, 0, 0, 1, 1, 0, 360), -1);
    EXPECT_TRUE(Find(".", "everything").empty());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(HCreateCylinderTest, ZeroLengthElementStandsAtTheStart)
{
    HCreateCylinder builder(nullptr, 0, 1);
    const ShellData s = Read(builder.InsertCylinder(3, 4, 5, 3, 4, 5, 1, 6, 0, 0, 1, 1, 0, 360));
    ASSERT_EQ(s.PointCount(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(s.points[3 * i + 2], 5.0f);
    }
}

// The direct computation gives, to the bit, the points the scratch-segment route gives: the
// canonical shell in a segment carrying the element placement, converted object → world.
TEST_F(HCreateCylinderTest, MatchesTheSegmentRoute)
{
    const float elements[][6] = {{0, 0, 0, 10, 0, 0},   {0, 0, 0, 0, -10, 0},
                                 {1, 2, 3, 1, 2, -7},   {5, -2, 7, 8.5f, 3.25f, -4.125f},
                                 {-3, 4, 0, 9, -12, 5}, {0, 0, 0, 0, 0, 4}};
    for (const auto& e : elements) {
        HCreateCylinder builder(nullptr, 0, 1);
        const ShellData direct =
            Read(builder.InsertCylinder(e[0], e[1], e[2], e[3], e[4], e[5], 0.75f, 12, 0.5f, 0,
                                        6, 1, 0, 360));
        const CVector3D v(e[0], e[1], e[2], e[3], e[4], e[5]);
        HC_Open_Segment("/scratch");
        CanonicalCylinder canonical;
        const long key = canonical.Create_Faceted_CylinderEx(HPoint(0, 0, 0), 0.75f, v.GetHeight(),
                                                             12, 6, 1, 0, 360, 0.5f, 0);
        ApplyElementPlacement(v);
        ShellData routed = Read(key);
        for (int i = 0; i < routed.PointCount(); ++i) {
            HC_Compute_Coordinates(".", "object", &routed.points[3 * i], "world",
                                   &routed.points[3 * i]);
        }
        HC_Close_Segment();
        HC_Delete_Segment("/scratch");
        ASSERT_EQ(direct.faces, routed.faces);
        ASSERT_EQ(direct.points.size(), routed.points.size());
        for (size_t i = 0; i < direct.points.size(); ++i) {
            EXPECT_EQ(direct.points[i], routed.points[i]) << i;
        }
    }
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateCylinderTest, CanonicalBuilderMarksRimsAndTurnsPartialArcs)
{
    CanonicalCylinder canonical;
    const long key =
        canonical.Create_Faceted_CylinderEx(HPoint(0, 0, 0), 2, 5, 4, 6, 8, 0, 360, 1, 0);
    ASSERT_NE(key, -1);
    HC_Open_Geometry(key);
    HC_Open_Edge(0, 1);
    char visibility[256] = {};
    HC_Show_Visibility(visibility);
    HC_Close_Edge();
    HC_Close_Geometry();
    EXPECT_NE(std::string(visibility).find("edges=on"), std::string::npos) << visibility;
    float matrix[16];
    HC_Show_Modelling_Matrix(matrix);
    EXPECT_EQ(matrix[0], 1.0f); // a full circle does not turn the segment

    HC_Open_Segment("arc");
    canonical.Create_Faceted_CylinderEx(HPoint(0, 0, 0), 2, 5, 4, 1, 1, 1.5f, 3, 1, 0);
    HC_Show_Modelling_Matrix(matrix);
    HC_Close_Segment();
    EXPECT_NEAR(matrix[0], std::cos(1.5), 1e-5);
    EXPECT_NEAR(matrix[1], std::sin(1.5), 1e-5);
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

TEST_F(HCreateCylinderTest, PartialArcTurnsOnceAboutTheAxis)
{
    HCreateCylinder builder(nullptr, 0, 1);
    const long key = builder.InsertCylinder(0, 0, 0, 0, 0, 10, 2, 4, 1, 0, 1, 1, 1.0f, 2.0f);
    const ShellData s = Read(key);
    ASSERT_EQ(s.PointCount(), 16);
    // Ring A's first point lies at angle startAngle.
    EXPECT_NEAR(s.points[0], std::cos(1.0), 1e-5);
    EXPECT_NEAR(s.points[1], std::sin(1.0), 1e-5);
}

TEST_F(HCreateCylinderTest, EccentricReducerThroughTheBuilder)
{
    HCreateCylinder builder(nullptr, 0, 1);
    builder.SetConcentric(0);
    builder.SetFlatSide(1);
    const ShellData s = Read(builder.InsertCylinder(0, 0, 0, 0, 0, 10, 2, 4, 0, 1, 1, 1, 0, 360));
    EXPECT_NEAR(s.points[3 * 2], -2, 1e-5);
    EXPECT_NEAR(s.points[3 * 6], -2, 1e-5);
    char name[32];
    builder.GetName(name);
    EXPECT_STREQ(name, "Create Cylinder");
}

TEST_F(HCreateCylinderTest, NothingOpenIsRefused)
{
    HC_Close_Segment();
    HCreateCylinder builder(nullptr, 0, 1);
    EXPECT_EQ(builder.InsertCylinder(0, 0, 0, 0, 0, 10, 1, 8, 0, 0, 1, 1, 0, 360), -1);
}

} // namespace
