#include "ViewFixture.h"

#include <cmath>

#include "platform/mvo/HUtility.h"

using mvotest::ExpectNear;

TEST(HUtilityGeometryCreation, CirclePointsStartOnTheNextAxisAndWindCounterClockwise)
{
    HPoint p[4];
    HUtilityGeometryCreation::GeneratePointsOnCircle(p, {1, 2, 3}, 2.0f, 2, 4, false);
    ExpectNear(p[0], {3, 2, 3});
    ExpectNear(p[1], {1, 4, 3});
    ExpectNear(p[2], {-1, 2, 3});
    HUtilityGeometryCreation::GeneratePointsOnCircle(p, {0, 0, 0}, 1.0f, 0, 4, false);
    ExpectNear(p[0], {0, 1, 0});
    ExpectNear(p[1], {0, 0, 1});
    HUtilityGeometryCreation::GeneratePointsOnCircle(p, {0, 0, 0}, 1.0f, 1, 4, true);
    ExpectNear(p[0], {0, 0, 1});
    ExpectNear(p[1], {-1, 0, 0});  // reverse: clockwise seen from +y
    HUtilityGeometryCreation::GeneratePointsOnCircle(nullptr, {0, 0, 0}, 1.0f, 1, 4, true);
}

TEST(HUtility, RotationMatrixTurnsOneDirectionIntoTheOther)
{
    const HPoint pairs[][2] = {{{1, 0, 0}, {0, 1, 0}}, {{0, 0, 2}, {1, 1, 0}}, {{1, 2, 3}, {-1, -2, -3}},
                               {{0, 3, 0}, {0, 1, 0}}};
    for (const auto& pair : pairs) {
        float m[16];
        HUtility::ComputeVectorToVectorRotationMatrix(m, pair[0], pair[1]);
        HPoint out;
        HC_Compute_Transformed_Points(1, &pair[0], m, &out);
        ExpectNear(HNormalized(out), HNormalized(pair[1]));
        EXPECT_NEAR(HLength(out), HLength(pair[0]), 1e-4f);
    }
    float m[16];
    HUtility::ComputeVectorToVectorRotationMatrix(m, {0, 0, 0}, {1, 0, 0});
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(m[5], 1.0f);
    EXPECT_FLOAT_EQ(m[12], 0.0f);
}

TEST(HUtility, OrderMakesLowerLeftAndUpperRight)
{
    HPoint a(0.5f, -0.2f, 0), b(-0.3f, 0.4f, 0);
    HUtility::Order(&a, &b);
    ExpectNear(a, {-0.3f, -0.2f, 0});
    ExpectNear(b, {0.5f, 0.4f, 0});
}

TEST(HUtility, SegmentLookups)
{
    const HC_KEY seg = HC_Open_Segment("/include library/utility test");
    const HC_KEY line = HC_Insert_Line(0, 0, 0, 1, 0, 0);
    HC_Close_Segment();
    EXPECT_TRUE(HUtility::SegmentExists("/include library/utility test"));
    EXPECT_FALSE(HUtility::SegmentExists("/include library/no such"));
    EXPECT_FALSE(HUtility::SegmentExists(nullptr));
    EXPECT_EQ(HUtility::GrabSegment(line), seg);
    EXPECT_EQ(HUtility::GrabSegment(seg), seg);
    char path[64];
    HUtility::Find_Relative_Path(HC_Create_Segment("/include library"), seg, path, sizeof(path));
    EXPECT_STREQ(path, "utility test");
    HC_Delete_By_Key(seg);
    EXPECT_EQ(HUtility::GrabSegment(line), -1);
}

TEST(HUtility, IncludePathStopsAtTheIncludeThatReachesTheMatch)
{
    const HC_KEY plant = HC_Create_Segment("/include library/plant test/drafton");
    const HC_KEY part = HC_Open_Segment("/include library/plant test/drafton/part");
    const HC_KEY item = HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    HC_Open_Segment("/include library/plant test/view");
    const HC_KEY include = HC_Include_Segment_By_Key(plant);
    HC_Close_Segment();
    const HC_KEY includes[] = {include, 777};
    HC_KEY path[8];
    int count = 8;
    // The item lies under the plant segment itself: no include is needed.
    EXPECT_TRUE(HUtility::BuildIncludePath(item, includes, 2, path, &count, plant));
    EXPECT_EQ(count, 1);
    const HC_KEY other = HC_Create_Segment("/include library/plant test/other");
    count = 8;
    EXPECT_FALSE(HUtility::BuildIncludePath(item, includes, 2, path, &count, other));
    EXPECT_EQ(count, 0);
    (void)part;
    HC_Delete_Segment("/include library/plant test");
}
