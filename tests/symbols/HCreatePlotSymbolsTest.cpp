#include "PlotSymbolsScene.h"

#include "config/CAppSettings.h"
#include "platform/mvo/HUtility.h"

#include <cmath>

using namespace symbols_test;
using Symbols = HCreatePlotSymbols;

TEST_F(PlotSymbolsTest, NameAndInteractiveHandlers) {
    char name[32];
    m_builder->GetName(name);
    EXPECT_STREQ(name, "Create Symbols");
    HEventInfo event;
    EXPECT_EQ(m_builder->OnLButtonDown(event), 0);
    EXPECT_EQ(m_builder->OnMouseMove(event), 0);
    EXPECT_EQ(m_builder->OnLButtonUp(event), 3);
}

TEST_F(PlotSymbolsTest, RotationSettersStoreTheDirectionUntilTheNextCall) {
    m_builder->SetRestraintRotation(Symbols::YAxis, "(0, 1, 0)");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(0, 1, 0));
    m_builder->SetRestraintRotation(Symbols::YAxis, "");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(0, -1, 0));
    m_builder->SetRestraintRotation(Symbols::YAxis, " ");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(0, -1, 0));
    m_builder->SetRestraintRotation(Symbols::YAxis, nullptr);
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(0, -1, 0));
    m_builder->SetRestraintRotation(Symbols::XAxis, "(1, 5)");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(-1, -0.0f, 5));
    m_builder->SetRestraintRotation(Symbols::XAxis, "nan,1,0");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(-1, 0, 0));
    m_builder->SetRestraintRotation(static_cast<Symbols::RestraintTypes>(13), 1, 2, 3);
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(1, -2, 3));
    m_builder->SetRodRestraintRotation(Symbols::MinusXAxis, "");
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(-1, 0, 0));
    m_builder->SetRodRestraintRotation(static_cast<Symbols::RestraintTypes>(32), 1, 2, 3);
    EXPECT_EQ(m_builder->GetRestraintDirection(), HPoint(-1, -2, 3));
}

TEST_F(PlotSymbolsTest, RestraintStartsOnThePipeSurface) {
    m_view->SetSymbolScaleFactor(2.0f);
    m_builder->SetRestraintRotation(Symbols::YAxis, ""); // (0, -1, 0)
    const long key =
        m_builder->InsertRestraint(0, 0, 0, 10, 0, 0, 10, false, false, Symbols::YAxis, nullptr);
    ASSERT_NE(key, -1);
    const PolyCylinder pc = ReadPolyCylinder(key);
    ASSERT_EQ(pc.points.size(), 4u);
    EXPECT_NEAR(pc.points[0].y, -5.0f, 1e-4f); // radius 5 at right angles
    EXPECT_NEAR(pc.points[1].y, -7.0f, 1e-4f); // arrow head of length s
    EXPECT_NEAR(pc.points[3].y, -9.0f, 1e-4f); // shaft of length s
    EXPECT_EQ(pc.radii, (std::vector<float>{0, 1.0f, 0.25f, 0.25f}));

    // At 30 degrees to the pipe the surface is twice as far along the direction.
    m_builder->SetRestraintRotation(Symbols::NoRestraintType, std::cos(HUtility::PI / 6),
                                    std::sin(HUtility::PI / 6), 0);
    const PolyCylinder skew = ReadPolyCylinder(
        m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 10, 0, 0, 0));
    EXPECT_NEAR(HLength(skew.points[0]), 10.0f, 1e-3f);
    ExpectScratchEmpty();
}

TEST_F(PlotSymbolsTest, RestraintAlongThePipeAndSetOff) {
    m_builder->SetRestraintRotation(Symbols::NoRestraintType, 1, 0, 0);
    PolyCylinder pc = ReadPolyCylinder(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 4, 0, 0, 0));
    EXPECT_EQ(pc.points[0], HPoint(0, 0, 0));
    pc = ReadPolyCylinder(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 4, 0, 1, 0));
    EXPECT_NEAR(pc.points[0].x, 1.0f, 1e-5f); // D / 4
    // Off the axis the set-off flag moves the start out by half again.
    m_builder->SetRestraintRotation(Symbols::NoRestraintType, 0, 0, 1);
    pc = ReadPolyCylinder(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 4, 0, 1, 0));
    EXPECT_NEAR(pc.points[0].z, 3.0f, 1e-5f);
}

TEST_F(PlotSymbolsTest, RestraintCoarseLevelAndSprings) {
    m_builder->SetRestraintRotation(Symbols::MinusYAxis, ""); // (0, 1, 0)
    const long rigid = m_builder->CreateRestraintPC(0, 0, 0, 0, 0, 10, 2, 0, 0, 0);
    ASSERT_NE(rigid, -1);
    // An empty shell carries the coarse triangle as level 2.
    std::vector<long> shells = Contents("/include library/halden/element", "shells");
    ASSERT_EQ(shells.size(), 1u);
    int points = -1;
    int faces = -1;
    HC_Show_Shell_Size(shells[0], &points, &faces);
    EXPECT_EQ(points, 0);
    ShellData coarse = LodShell(shells[0], 2);
    ASSERT_EQ(coarse.PointCount(), 3);
    EXPECT_EQ(PointOf(coarse, 1), HPoint(0.25f, 1, 0));

    HC_Flush_Contents(".", "everything");
    CAppSettings::RestraintHelixIsPolyline = 1;
    m_builder->CreateRestraintPC(0, 0, 0, 0, 0, 10, 2, 1, 0, 0);
    EXPECT_EQ(Contents("/include library/halden/element", "polylines").size(), 1u);
    shells = Contents("/include library/halden/element", "shells");
    ASSERT_EQ(shells.size(), 1u);
    EXPECT_EQ(LodShell(shells[0], 2).FaceListLength(), 24);

    // A rod restraint of length 5 with a spring: a rod of radius s/8 and a wire helix.
    HC_Flush_Contents(".", "everything");
    const long rod = m_builder->InsertRodRestraint(0, 0, 0, 0, 0, 10, 2, true, 5, Symbols::YAxis);
    const PolyCylinder pc = ReadPolyCylinder(rod);
    ASSERT_EQ(pc.points.size(), 2u);
    EXPECT_NEAR(pc.points[1].y - pc.points[0].y, 5.0f, 1e-5f);
    EXPECT_EQ(pc.radii, (std::vector<float>{0.125f}));
    EXPECT_EQ(Contents("/include library/halden/element", "polycylinders").size(), 2u);
}

TEST_F(PlotSymbolsTest, RestraintSizeFollowsTheSymbolScale) {
    for (float scale : {1.0f, 3.0f}) {
        HC_Flush_Contents(".", "everything");
        m_view->SetSymbolScaleFactor(scale);
        m_builder->SetRestraintRotation(Symbols::ZAxis, "");
        const PolyCylinder pc =
            ReadPolyCylinder(m_builder->CreateRestraintPC(5, 5, 5, 15, 5, 5, 1, 1, 0, 0));
        Bounds bounds;
        for (const HPoint& p : pc.points) {
            bounds.Add(p);
        }
        // Start on the surface (0.5 above the axis), arrow head of length s.
        EXPECT_NEAR(bounds.min.z, 5.5f, 1e-3f);
        EXPECT_NEAR(bounds.max.z, 5.5f + scale, 1e-3f);
    }
}

TEST_F(PlotSymbolsTest, ZeroDiameterAndBadInput) {
    m_builder->SetRestraintRotation(Symbols::YAxis, "");
    // Without a diameter the symbol still has its size and starts at the node.
    const PolyCylinder pc =
        ReadPolyCylinder(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(pc.points[0], HPoint(0, 0, 0));
    EXPECT_NEAR(pc.points[3].y, -2.0f, 1e-5f);

    const float nan = std::nanf("");
    EXPECT_EQ(m_builder->CreateRestraintPC(nan, 0, 0, 10, 0, 0, 1, 0, 0, 0), -1);
    EXPECT_EQ(m_builder->InsertOutputRestraint(0, 0, 0, 1, 0, 0, HPoint(nan, 0, 0), 1), -1);
    m_view->SetSymbolScaleFactor(nan); // counts as 1
    EXPECT_NE(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 1, 0, 0, 0), -1);
    HC_Close_Segment();
    EXPECT_EQ(m_builder->CreateRestraintPC(0, 0, 0, 10, 0, 0, 1, 0, 0, 0), -1); // nothing open
    HC_Open_Segment("/include library/halden/element");
}

TEST_F(PlotSymbolsTest, OutputRestraintUsesTheGivenDirection) {
    const long key = m_builder->InsertOutputRestraint(0, 0, 0, 10, 0, 0, HPoint(0, 0, 1), 4);
    const PolyCylinder pc = ReadPolyCylinder(key);
    ASSERT_EQ(pc.points.size(), 2u);
    EXPECT_NEAR(pc.points[0].z, 2.0f, 1e-5f);
    EXPECT_NEAR(pc.points[1].z, 3.5f, 1e-5f);
    EXPECT_EQ(pc.radii, (std::vector<float>{0, 0.5f}));
}

TEST_F(PlotSymbolsTest, HelixAndConePrimitives) {
    m_builder->SetRestraintRotation(Symbols::ZAxis, "");
    HPoint start(1, 2, 3);
    const long wire = m_builder->CreateHelixPC(&start, 3.0f, 1.0f, 0.1f, 0);
    const PolyCylinder pc = ReadPolyCylinder(wire);
    ASSERT_EQ(pc.points.size(), 16u);
    EXPECT_EQ(pc.points[0], HPoint(1.5f, 2, 3));
    EXPECT_NEAR(pc.points[15].z, 3 + 1.5f, 1e-5f); // half the length
    EXPECT_EQ(m_builder->CreateHelixPC(nullptr, 1, 1, 1, 0), -1);

    const long tube = m_builder->CreateHelix(2.0f, 1.0f, 8, 45);
    ASSERT_NE(tube, -1);
    EXPECT_NE(HC_KShow_Owner_By_Key(tube), m_element); // in a nameless subsegment
    EXPECT_EQ(m_builder->CreateHelix(2.0f, 1.0f, 8, 0), -1);

    HPoint points[5];
    int faces[21];
    m_builder->GeneratePointsOnCone(HPoint(0, 0, 0), 1, 2, 4, points, faces);
    EXPECT_EQ(points[4], HPoint(0, 0, 2));
    EXPECT_EQ(faces[20], 0);

    const long cone = m_builder->InsertCone(0, 0, 0, 10, 0, 0, 2, 8);
    ShellData shell;
    ASSERT_TRUE(ReadShell(cone, shell));
    ASSERT_EQ(shell.PointCount(), 9);
    EXPECT_NEAR(PointOf(shell, 8).x, 10.0f, 1e-4f); // apex at the element's end
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(PointOf(shell, i).x, 0.0f, 1e-4f); // base on the start, radius 2.5
        EXPECT_NEAR(std::hypot(PointOf(shell, i).y, PointOf(shell, i).z), 2.5f, 1e-4f);
    }
    EXPECT_EQ(HC_QShow_Existence("/include library/construction segment", "self"), 0);
    EXPECT_NE(m_builder->CreateCone(HPoint(0, 0, 0), 1, 1, 4, 1), -1);
}

TEST_F(PlotSymbolsTest, MergeShellsJoinsAndPlaces) {
    const float a[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int triangle[] = {3, 0, 1, 2};
    const long first = HC_Insert_Shell(3, a, 4, triangle);
    const long second = HC_Insert_Shell(3, a, 4, triangle);
    const long holder = HC_Create_Segment("/scratch/holder");
    long keys[] = {first, second, holder};
    const long joined = m_builder->MergeShells(3, keys, false);
    ShellData shell;
    ASSERT_TRUE(ReadShell(joined, shell));
    EXPECT_EQ(shell.PointCount(), 6);
    EXPECT_EQ(shell.faces, (std::vector<int>{3, 0, 1, 2, 3, 3, 4, 5}));
    EXPECT_EQ(keys[0], first);
    EXPECT_EQ(keys[1], -1);
    EXPECT_EQ(keys[2], -1);
    EXPECT_EQ(HC_Show_Existence_By_Key(first, "self"), 1);
    EXPECT_EQ(HC_Show_Existence_By_Key(second, "self"), 0);

    // Two keys: the shell carried through the segment's transform.
    const long place = HC_Open_Segment("/scratch/place");
    HC_Translate_Object(0, 0, 7);
    HC_Close_Segment();
    long pair[] = {first, place};
    ASSERT_TRUE(ReadShell(m_builder->TransformShell(pair, true), shell));
    EXPECT_EQ(PointOf(shell, 1), HPoint(1, 0, 7));
    EXPECT_EQ(HC_Show_Existence_By_Key(first, "self"), 0);
    long none[] = {-1, -1};
    EXPECT_EQ(m_builder->MergeShells(2, none, true), -1);
    EXPECT_EQ(m_builder->MergeShells(1, keys, true), -1);
    EXPECT_EQ(m_builder->MergeShellsEx(2, nullptr, true), -1);
}

TEST_F(PlotSymbolsTest, CachedRestraintIsBuiltOnce) {
    const auto first = m_builder->CreateRestraint(0, 0, 0, 0, 0, 0, 2, false, false,
                                                  Symbols::YAxis, 8);
    ASSERT_NE(first.first, -1);
    EXPECT_FALSE(first.second);
    const std::string name = "/user library/include segment/restraint/res08dia000200stif0";
    EXPECT_EQ(Contents(name, "shells"), (std::vector<long>{first.first}));
    ASSERT_EQ(m_view->GetShellCache().size(), 1u);
    EXPECT_EQ(m_view->GetShellCache().front().kind, 4016);
    EXPECT_EQ(m_view->GetShellCache().front().name, name);
    // Nothing is left in the element segment and the scratch segments are empty.
    EXPECT_TRUE(Contents("/include library/halden/element", "geometry").empty());
    ExpectScratchEmpty();

    const auto second = m_builder->CreateRestraint(5, 5, 5, 0, 0, 0, 2, false, false,
                                                   Symbols::ZAxis, 8);
    EXPECT_EQ(second.first, first.first);
    EXPECT_EQ(m_view->GetShellCache().size(), 1u);

    // The shape stands on the origin along +Z: a cone then a cylinder of s.
    ShellData shape;
    ASSERT_TRUE(ReadShell(first.first, shape));
    Bounds bounds;
    bounds.Add(shape);
    EXPECT_NEAR(bounds.min.z, 0.0f, 1e-4f);
    EXPECT_NEAR(bounds.max.z, 2.0f, 1e-3f);

    const auto stiff = m_builder->CreateRestraint(0, 0, 0, 0, 0, 0, 2, true, false,
                                                  Symbols::YAxis, 8);
    EXPECT_NE(stiff.first, first.first);
    const auto flat = m_builder->CreateRestraint(0, 0, 0, 0, 0, 0, 2, true, false,
                                                 Symbols::YAxis, 2);
    ShellData line;
    ASSERT_TRUE(ReadShell(flat.first, line));
    EXPECT_EQ(line.PointCount(), 9);
    EXPECT_EQ(m_view->GetShellCache().size(), 3u);
    EXPECT_TRUE(Contents("/include library/halden/element", "geometry").empty());
}
