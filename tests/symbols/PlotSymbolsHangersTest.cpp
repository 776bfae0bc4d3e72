#include "PlotSymbolsScene.h"

#include <algorithm>

using namespace symbols_test;
using Symbols = HCreatePlotSymbols;

namespace {

Bounds BoundsOf(long key) {
    ShellData shell;
    ReadShell(key, shell);
    Bounds bounds;
    bounds.Add(shell);
    return bounds;
}

} // namespace

TEST_F(PlotSymbolsTest, SpringHangerHangsAboveTheNodeWithThreeLevels) {
    const long hanger = m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::YAxis);
    ASSERT_NE(hanger, -1);
    const Bounds bounds = BoundsOf(hanger);
    // a = b = 0.5: the shape's origin sits D + 2a = 1.5 above the node; its top cap reaches
    // 0.17a above that and its rod ends above the pipe.
    EXPECT_NEAR(bounds.max.y, 1.5f + 0.085f, 1e-3f);
    EXPECT_GT(bounds.min.y, 0.25f);
    EXPECT_LT(bounds.Size().x, 1.2f);
    EXPECT_GT(LodShell(hanger, 1).PointCount(), 0);
    const ShellData coarse = LodShell(hanger, 2);
    EXPECT_EQ(coarse.PointCount(), 12 + 12 + 2 + 2 + 2);
    // Only the placed hanger is left in the element segment.
    EXPECT_EQ(Contents("/include library/halden/element", "geometry"),
              (std::vector<long>{hanger}));
    ExpectScratchEmpty();
}

TEST_F(PlotSymbolsTest, HangerShapesAreBuiltOncePerScaleLevelAndDiameter) {
    m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::YAxis);
    const std::string full = "/user library/include segment/hanger/ssf_1_res_8_dia50";
    const std::vector<long> cached = Contents(full, "shells");
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_1_res_4_dia50", "shells").size(),
              1u);
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_1_res_2_dia50", "shells").size(),
              1u);

    const long second = m_builder->InsertSpringHanger(10, 0, 0, 0.5f, 1, Symbols::YAxis);
    EXPECT_EQ(Contents(full, "shells"), cached); // found and left in place
    EXPECT_NEAR(BoundsOf(second).min.x - BoundsOf(cached[0]).min.x, 10.0f, 1e-3f);

    m_builder->InsertSpringHanger(0, 0, 0, 0.75f, 1, Symbols::YAxis);
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_1_res_8_dia75", "shells").size(),
              1u);
    m_view->SetSymbolScaleFactor(2.0f);
    m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::YAxis);
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_2_res_8_dia50", "shells").size(),
              1u);
    EXPECT_EQ(Contents("/include library/halden/element", "geometry").size(), 4u);
}

TEST_F(PlotSymbolsTest, HangerAxisFollowsTheDirection) {
    const Bounds alongZ = BoundsOf(m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::ZAxis));
    EXPECT_NEAR(alongZ.max.z, 1.585f, 1e-3f);
    EXPECT_LT(alongZ.Size().y, 1.2f);
    const Bounds minusZ =
        BoundsOf(m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::MinusZAxis));
    EXPECT_NEAR(minusZ.max.z, 1.585f, 1e-3f);
    // No direction (0) and every other value build along Y.
    const Bounds none = BoundsOf(m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::NoDirection));
    EXPECT_NEAR(none.max.y, 1.585f, 1e-3f);
    EXPECT_LT(none.Size().z, 1.2f);
    // The two axes keep separate shapes.
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_1_res_8_dia50_z", "shells").size(),
              1u);
    EXPECT_EQ(Contents("/user library/include segment/hanger/ssf_1_res_8_dia50", "shells").size(),
              1u);
}

TEST_F(PlotSymbolsTest, TinyScaleAndZeroDiameterHangers) {
    m_view->SetSymbolScaleFactor(0.001f);
    const Bounds tiny = BoundsOf(m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 1, Symbols::YAxis));
    // a = 1, b = 0.5 whatever the scale: origin at D + 2 = 2.5.
    EXPECT_NEAR(tiny.max.y, 2.5f + 0.17f, 1e-3f);

    m_view->SetSymbolScaleFactor(1.0f);
    const Bounds spring = BoundsOf(m_builder->CreateSpringHanger(0, 0, 0, 0, 8, Symbols::YAxis));
    EXPECT_NEAR(spring.max.y, 1.0f + 0.085f, 1e-3f);
    const Bounds can = BoundsOf(m_builder->CreateCanHanger(0, 0, 0, 0, 8, Symbols::YAxis));
    // The can's shape spans -a to 2a about its origin, 2a below the node.
    EXPECT_NEAR(can.min.y, -1.5f, 1e-3f);
    EXPECT_NEAR(can.max.y, 0.0f, 1e-3f);
}

TEST_F(PlotSymbolsTest, CanHangerStandsBelowThePipe) {
    const long can = m_builder->InsertSpringHanger(0, 0, 0, 0.5f, 2, Symbols::YAxis);
    ASSERT_NE(can, -1);
    const Bounds bounds = BoundsOf(can);
    EXPECT_NEAR(bounds.max.y, -0.5f, 1e-3f);
    EXPECT_NEAR(bounds.min.y, -2.0f, 1e-3f);
    EXPECT_EQ(LodShell(can, 2).PointCount(), 12 * 3 + 4);
    EXPECT_EQ(
        Contents("/user library/include segment/canhanger/ssf00100res_8_dia50", "shells").size(),
        1u);
    EXPECT_EQ(HC_QShow_Existence("/user library/construction segment", "self"), 0);
    ExpectScratchEmpty();
}

TEST_F(PlotSymbolsTest, InsertCircleFillsPointsAndFaces) {
    HPoint points[9];
    HPoint centre(1, 2, 3);
    const long disc = m_builder->InsertCircle(points, centre, 2.0f, 0, 8, true);
    ShellData shell;
    ASSERT_TRUE(ReadShell(disc, shell));
    EXPECT_EQ(shell.PointCount(), 9);
    EXPECT_EQ(shell.FaceListLength(), 32);
    EXPECT_EQ(points[8], centre);
    EXPECT_NEAR(points[0].z, 3.0f, 1e-6f);
    const long ring = m_builder->InsertCircle(points, centre, 2.0f, 1, 8, false);
    ASSERT_TRUE(ReadShell(ring, shell));
    EXPECT_EQ(shell.FaceListLength(), 24);
    EXPECT_NEAR(points[3].y, 2.0f, 1e-6f);
    EXPECT_EQ(m_builder->InsertCircle(nullptr, centre, 1, 0, 8, true), -1);
    EXPECT_EQ(m_builder->InsertCircle(points, centre, 1, 0, 0, true), -1);
}

// Every support symbol lies in a box about its node whose size follows the symbol scale.
TEST_F(PlotSymbolsTest, SymbolsStayInABoxThatFollowsTheScale) {
    const HPoint node(100, 50, 20);
    const float D = 0.5f;
    float previous = 0.0f;
    for (float scale : {1.0f, 4.0f}) {
        HC_Flush_Contents(".", "everything");
        m_view->SetSymbolScaleFactor(scale);
        Bounds all;
        m_builder->SetRestraintRotation(Symbols::XAxis, "");
        for (const HPoint& p : ReadPolyCylinder(m_builder->CreateRestraintPC(
                                                    node.x, node.y, node.z, node.x, node.y,
                                                    node.z + 10, D, 1, 1, 0))
                                   .points) {
            all.Add(p);
        }
        for (const HPoint& p : ReadPolyCylinder(m_builder->InsertOutputRestraint(
                                                    node.x, node.y, node.z, node.x + 10, node.y,
                                                    node.z, HPoint(0, 1, 0), D))
                                   .points) {
            all.Add(p);
        }
        ShellData spring;
        ReadShell(m_builder->InsertSpringHanger(node.x, node.y, node.z, D, 1, Symbols::YAxis),
                  spring);
        all.Add(spring);
        ShellData can;
        ReadShell(m_builder->InsertSpringHanger(node.x, node.y, node.z, D, 2, Symbols::YAxis), can);
        all.Add(can);
        const float half = 3.0f * scale + 2.0f * D;
        EXPECT_GE(all.min.x, node.x - half);
        EXPECT_GE(all.min.y, node.y - half);
        EXPECT_GE(all.min.z, node.z - half);
        EXPECT_LE(all.max.x, node.x + half);
        EXPECT_LE(all.max.y, node.y + half);
        EXPECT_LE(all.max.z, node.z + half);
        const float extent = std::max({all.Size().x, all.Size().y, all.Size().z});
        EXPECT_GT(extent, previous * 2.0f); // grows with the scale, not only with D
        previous = extent;
    }
}
