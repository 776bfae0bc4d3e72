#include "PlotSymbolsScene.h"

#include <cmath>

using namespace symbols_test;
using Symbols = HCreatePlotSymbols;

TEST_F(PlotSymbolsTest, AnchorCollarAndGroundSymbol) {
    m_view->SetSymbolScaleFactor(2.0f);
    const long collar = m_builder->InsertAnchor(0, 0, 0, 10, 0, 0, 4);
    const PolyCylinder pc = ReadPolyCylinder(collar);
    ASSERT_EQ(pc.points.size(), 2u);
    EXPECT_NEAR(pc.points[0].x, -0.24f, 1e-5f);
    EXPECT_NEAR(pc.points[1].x, 0.24f, 1e-5f);
    EXPECT_EQ(pc.radii, (std::vector<float>{4.4f}));

    const std::vector<long> shells = Contents("/include library/halden/element", "shells");
    ASSERT_EQ(shells.size(), 1u);
    const ShellData ground = LodShell(shells[0], 2);
    ASSERT_EQ(ground.PointCount(), 9);
    EXPECT_EQ(ground.FaceListLength(), 27);
    EXPECT_EQ(PointOf(ground, 1), HPoint(-1, -2, 1));
    EXPECT_EQ(PointOf(ground, 4), HPoint(1, -2, -1));
    EXPECT_NEAR(PointOf(ground, 2).x, -1.0f / 3, 1e-5f); // a third of the way
    EXPECT_NEAR(PointOf(ground, 5).y, -3.0f, 1e-5f);

    // With the alternate up direction the ground lies below the node along -Z.
    HC_Flush_Contents(".", "everything");
    m_view->SetUpDirection(UpDirectionAlternate);
    m_builder->InsertAnchor(0, 0, 0, 10, 0, 0, 4);
    const ShellData below = LodShell(Contents("/include library/halden/element", "shells")[0], 2);
    for (int i = 1; i < 9; ++i) {
        EXPECT_LT(PointOf(below, i).z, -1.9f);
    }

    const long box = m_builder->CreateAnchor(2);
    ShellData boxShell;
    ASSERT_TRUE(ReadShell(box, boxShell));
    EXPECT_EQ(boxShell.PointCount(), 8);
    EXPECT_EQ(PointOf(boxShell, 0), HPoint(-1.1f, -1.1f, 1.1f * 2 / 16));
}

TEST_F(PlotSymbolsTest, RigidLengthThresholds) {
    const float D = 2.0f;
    EXPECT_EQ(m_builder->InsertRigid(0, 0, 0, 0.001f, 0, 0, D, 0), -1);
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertRigid(0, 0, 0, 0.9f, 0, 0, D, 0)).points.size(), 6u);
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertRigid(0, 0, 0, 1.0f, 0, 0, D, 0)).points.size(), 10u);
    const PolyCylinder cones = ReadPolyCylinder(m_builder->InsertRigid(0, 0, 0, 2.0f, 0, 0, D, 0));
    ASSERT_EQ(cones.points.size(), 3u);
    EXPECT_EQ(cones.radii[1], 0.0f);
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertRigidPC(0, 0, 0, 5, 0, 0, D, 1)).radii,
              (std::vector<float>{0.1f}));
}

TEST_F(PlotSymbolsTest, NozzleAndFlangeLengthLimits) {
    // A long nozzle element draws only its first 1.3 D from the far end.
    const PolyCylinder nozzle = ReadPolyCylinder(m_builder->InsertNozzle(0, 0, 0, 0, 0, 10, 2));
    ASSERT_EQ(nozzle.points.size(), 4u);
    EXPECT_EQ(nozzle.points[0], HPoint(0, 0, 10));
    EXPECT_NEAR(nozzle.points[3].z, 10 - 2.6f, 1e-4f);
    EXPECT_NEAR(nozzle.points[1].z, 10 - 0.8f * 2.6f, 1e-4f);
    const PolyCylinder shortNozzle = ReadPolyCylinder(m_builder->InsertNozzle(0, 0, 0, 0, 0, 2, 2));
    EXPECT_NEAR(shortNozzle.points[3].z, 0.0f, 1e-4f);

    // A flange on an element shorter than 0.7 D uses half its length.
    const PolyCylinder flange = ReadPolyCylinder(m_builder->InsertFlangePC(0, 0, 0, 1, 0, 0, 2));
    ASSERT_EQ(flange.points.size(), 10u);
    EXPECT_NEAR(flange.points[0].x, -0.5f, 1e-5f);
    EXPECT_NEAR(flange.points[9].x, 0.5f, 1e-5f);
    const PolyCylinder longFlange = ReadPolyCylinder(m_builder->InsertFlangePC(0, 0, 0, 10, 0, 0, 2));
    EXPECT_NEAR(longFlange.points[9].x, 0.7f, 1e-5f);
    EXPECT_NEAR(longFlange.radii[0], 1.02f, 1e-5f);

    const long stub = m_builder->CreateNozzle(0, 0, 0, 0, 0, 0, 2, 8);
    ShellData shell;
    ASSERT_TRUE(ReadShell(stub, shell));
    Bounds bounds;
    bounds.Add(shell);
    EXPECT_NEAR(bounds.max.z, 6.0f, 1e-4f);
    EXPECT_NEAR(bounds.max.x, 1.5f, 1e-4f);
    const long coarse = m_builder->CreateNozzle(0, 0, 0, 0, 0, 0, 2, 2);
    ASSERT_TRUE(ReadShell(coarse, shell));
    EXPECT_EQ(shell.PointCount(), 4 * 21);
    EXPECT_EQ(shell.FaceListLength(), 4 * 60);
    for (int i = 0; i < shell.PointCount(); ++i) {
        const HPoint p = PointOf(shell, i);
        EXPECT_TRUE(p.z == 0 || p.z == 5 || p.z == 6) << p.z; // rings in the XY plane
    }
    ExpectScratchEmpty();
}

TEST_F(PlotSymbolsTest, CachedRigidsArePlacedCopies) {
    const long first = m_builder->CreateRigid(0, 0, 0, 10, 0, 0, 2, 8);
    ASSERT_NE(first, -1);
    ShellData shell;
    ASSERT_TRUE(ReadShell(first, shell));
    Bounds bounds;
    bounds.Add(shell);
    EXPECT_NEAR(bounds.min.x, 0.0f, 1e-3f);
    EXPECT_NEAR(bounds.max.x, 10.0f, 1e-3f);
    EXPECT_NEAR(bounds.max.y, 2.5f, 1e-3f);
    const std::string name = "/user library/include segment/rigid/res08dia000200HT001000";
    const std::vector<long> cached = Contents(name, "shells");
    ASSERT_EQ(cached.size(), 1u);

    const long second = m_builder->CreateRigid(0, 5, 0, 10, 5, 0, 2, 8);
    EXPECT_EQ(Contents(name, "shells"), cached);
    ShellData moved;
    ASSERT_TRUE(ReadShell(second, moved));
    ASSERT_EQ(moved.PointCount(), shell.PointCount());
    EXPECT_NEAR(PointOf(moved, 0).y - 5.0f, PointOf(shell, 0).y, 1e-3f);

    const long band = m_builder->CreateShortRigid(0, 0, 0, 0, 0, 3, 2, 8);
    ASSERT_TRUE(ReadShell(band, shell));
    Bounds bandBounds;
    bandBounds.Add(shell);
    EXPECT_NEAR(bandBounds.max.z, 3.0f, 1e-3f);
    EXPECT_NEAR(bandBounds.max.x, 1.25f, 1e-3f);
    // Another length gets its own shape rather than the first one's bands.
    const long longer = m_builder->CreateShortRigid(0, 0, 0, 0, 0, 6, 2, 8);
    ASSERT_TRUE(ReadShell(longer, shell));
    Bounds longBounds;
    longBounds.Add(shell);
    EXPECT_NEAR(longBounds.max.z, 6.0f, 1e-3f);
    int kinds4015 = 0;
    for (const SHELLS& record : m_view->GetShellCache()) {
        kinds4015 += record.kind == 4015;
    }
    EXPECT_EQ(kinds4015, 3);
    ExpectScratchEmpty();
}

TEST_F(PlotSymbolsTest, ExpansionJointProfiles) {
    const PolyCylinder bellows =
        ReadPolyCylinder(m_builder->InsertExpansionJoint(0, 0, 0, 14, 0, 0, 2));
    ASSERT_EQ(bellows.points.size(), 15u);
    EXPECT_EQ(bellows.points[1], HPoint(1, 0, 0));
    EXPECT_EQ(bellows.radii[0], 1.0f);
    EXPECT_EQ(bellows.radii[1], 1.75f);
    const PolyCylinder collapsed =
        ReadPolyCylinder(m_builder->InsertExpansionJoint(3, 3, 3, 3, 3, 3, 2));
    ASSERT_EQ(collapsed.points.size(), 15u);
    for (const HPoint& p : collapsed.points) {
        EXPECT_EQ(p, HPoint(3, 3, 3));
    }

    const long plain = m_builder->InsertPVExpJoint(0, 0, 0, 0, 0, 0, 10, 1, 2, 0, 1, 1, 1);
    char type[64];
    HC_Show_Key_Type(plain, type);
    EXPECT_STREQ(type, "cylinder");
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertPVExpJoint(3, 0, 0, 0, 0, 0, 10, 1, 2, 0, 1, 1, 1))
                  .points.size(),
              14u);
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertPVExpJoint(3, 0, 0, 0, 0, 0, 10, 1, 2, -1, 1, 1, 1))
                  .points.size(),
              14u);
    EXPECT_EQ(ReadPolyCylinder(m_builder->InsertPVExpJoint(2, 0, 0, 0, 0, 0, 10, 1, 2, 0.2f, 1, 1, 1))
                  .points.size(),
              58u);
    EXPECT_EQ(m_builder->InsertPVExpJoint(Symbols::kMaxConvolutions + 1, 0, 0, 0, 0, 0, 10, 1, 2,
                                          0, 1, 1, 1),
              -1);
    EXPECT_EQ(m_builder->InsertPVExpJoint(2000000000, 0, 0, 0, 0, 0, 10, 1, 2, 0.2f, 1, 1, 1), -1);

    const long accordion = m_builder->CreateAccordion(2, 10, 0, 3);
    ShellData shell;
    ASSERT_TRUE(ReadShell(accordion, shell));
    EXPECT_EQ(shell.PointCount(), 7 * 16);
    Bounds bounds;
    bounds.Add(shell);
    EXPECT_NEAR(bounds.max.x, 1.75f, 1e-5f);
    EXPECT_NEAR(bounds.max.z, 10.0f, 1e-5f);
    EXPECT_EQ(m_builder->CreateAccordion(2, 10, 0, 0), -1);
}

TEST_F(PlotSymbolsTest, TeeShortensBranchesOnce) {
    // A run along X through the centre (10, 0, 0) and a branch along +Y.
    CVector3D branches[3];
    branches[0].Set(0, 0, 0, 10, 0, 0);   // ends at the centre
    branches[1].Set(10, 0, 0, 20, 0, 0);  // starts at the centre
    branches[2].Set(10, 0, 0, 10, 10, 0); // starts at the centre
    float d[] = {2, 2, 1};
    int centreEnd[] = {0, 1, 1};
    const long tee = m_builder->CreateTee(branches, d, centreEnd);
    ASSERT_NE(tee, -1);
    // The run keeps d = 2 next to the centre; the branch reaches d[0]/2 further: 1 + 1.
    EXPECT_NEAR(branches[0].GetFromVectorX(), 8.0f, 1e-4f);
    EXPECT_NEAR(branches[1].GetToVectorX(), 12.0f, 1e-4f);
    EXPECT_NEAR(branches[2].GetToVectorY(), 2.0f, 1e-4f);
    EXPECT_EQ(LodShell(tee, 2).PointCount(), 24);

    // A second call shortens nothing further.
    const long again = m_builder->CreateTee(branches, d, centreEnd);
    ASSERT_NE(again, -1);
    EXPECT_NEAR(branches[0].GetFromVectorX(), 8.0f, 1e-4f);
    EXPECT_NEAR(branches[2].GetToVectorY(), 2.0f, 1e-4f);

    CVector3D shortBranch[3];
    shortBranch[0].Set(0, 0, 0, 1, 0, 0);
    shortBranch[1].Set(1, 0, 0, 2, 0, 0);
    shortBranch[2].Set(1, 0, 0, 1, 1, 0);
    m_builder->CreateTee(shortBranch, d, centreEnd);
    EXPECT_EQ(shortBranch[0].GetFromVectorX(), 0.0f); // no longer than d: drawn whole
    EXPECT_EQ(m_builder->CreateTee(nullptr, d, centreEnd), -1);
    EXPECT_EQ(m_builder->InsertTee(branches[0], branches[1], branches[2], 0, 0, 0, 8), -1);
}

TEST_F(PlotSymbolsTest, RodRestraintShape) {
    const long rod = m_builder->CreateRodRestraint(0, 0, 0, 0, 0, 0, 0.9f, false, 4, Symbols::YAxis,
                                                   8);
    ShellData shell;
    ASSERT_TRUE(ReadShell(rod, shell));
    Bounds bounds;
    bounds.Add(shell);
    EXPECT_NEAR(bounds.max.z, 4.0f, 1e-4f);
    EXPECT_NEAR(bounds.max.x, 0.1f, 1e-4f);
    const long spring = m_builder->CreateRodRestraint(0, 0, 0, 0, 0, 0, 0.9f, true, 4,
                                                      Symbols::YAxis, 8);
    ASSERT_TRUE(ReadShell(spring, shell));
    Bounds springBounds;
    springBounds.Add(shell);
    EXPECT_GT(springBounds.max.x, 0.15f); // the coil around the rod
    EXPECT_EQ(m_builder->CreateRodRestraint(0, 0, 0, 0, 0, 0, 1, true, 4, Symbols::YAxis, 0), -1);
}
