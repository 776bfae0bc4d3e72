#include "analysis/FrameSolver.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ketra::analysis;

namespace {

// A 6-inch schedule 40 steel pipe in N, mm and MPa.
constexpr double kE = 200000, kNu = 0.3, kOd = 168.3, kWall = 7.11, kL = 3000;
const double kG = kE / (2 * (1 + kNu));

// A straight line of `count` beams along x from an anchor at node 0.
FrameModel Cantilever(int count, Vec3 weight = {}) {
    FrameModel m;
    for (int i = 0; i <= count; ++i)
        m.nodes.push_back({kL * i / count, 0, 0});
    for (int i = 0; i < count; ++i) {
        Beam b;
        b.a = i;
        b.b = i + 1;
        b.youngs = kE;
        b.shear = kG;
        b.section = PipeSection(kOd, kWall, kNu);
        b.load = weight;
        m.beams.push_back(b);
    }
    m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
    return m;
}

double Near(double expected) { return std::fabs(expected) * 1e-9; }

} // namespace

TEST(PipeSection, IsTheTubesSection) {
    const Section s = PipeSection(kOd, kWall, kNu);
    const double id = kOd - 2 * kWall;
    EXPECT_NEAR(s.area, M_PI / 4 * (kOd * kOd - id * id), 1e-9);
    EXPECT_NEAR(s.inertia, M_PI / 64 * (std::pow(kOd, 4) - std::pow(id, 4)), 1e-3);
    EXPECT_DOUBLE_EQ(s.torsion, 2 * s.inertia);
    EXPECT_NEAR(s.shearArea / s.area, 2.6 / 4.9, 1e-12); // Cowper's thin tube, ν = 0.3
}

TEST(FrameSolver, CantileversMatchTheirClosedForms) {
    const Section s = PipeSection(kOd, kWall, kNu);
    const double EI = kE * s.inertia, GAs = kG * s.shearArea;
    {   // Tip load P down: δ = PL³/3EI + PL/(G·As), tip rotation PL²/2EI, root moment PL.
        const double P = 1000;
        FrameModel m = Cantilever(4);
        m.loads.push_back({4, {0, 0, -P, 0, 0, 0}});
        FrameResult r = SolveStatic(m);
        ASSERT_TRUE(r.ok) << r.error;
        const double delta = P * kL * kL * kL / (3 * EI) + P * kL / GAs;
        EXPECT_NEAR(r.displacements[4][2], -delta, Near(delta));
        EXPECT_NEAR(r.displacements[4][4], P * kL * kL / (2 * EI), Near(P * kL * kL / (2 * EI)));
        EXPECT_NEAR(r.reactions[0][2], P, Near(P));
        EXPECT_NEAR(r.reactions[0][4], -P * kL, Near(P * kL));
        // The root beam's member end at the anchor carries the moment; the tip end carries
        // nothing beyond the load.
        EXPECT_NEAR(r.beamEnds[0].a[4], -P * kL, Near(P * kL));
        EXPECT_NEAR(r.beamEnds[3].b[2], -P, Near(P));
    }
    {   // Its own weight w: δ = wL⁴/8EI + wL²/(2·G·As), root moment wL²/2.
        const double w = 0.5; // N/mm
        FrameResult r = SolveStatic(Cantilever(4, {0, 0, -w}));
        ASSERT_TRUE(r.ok) << r.error;
        const double delta = w * std::pow(kL, 4) / (8 * EI) + w * kL * kL / (2 * GAs);
        EXPECT_NEAR(r.displacements[4][2], -delta, Near(delta));
        EXPECT_NEAR(r.reactions[0][2], w * kL, Near(w * kL));
        EXPECT_NEAR(std::fabs(r.reactions[0][4]), w * kL * kL / 2, Near(w * kL * kL / 2));
    }
    {   // Guided at the tip (no rotation there): δ = PL³/12EI + PL/(G·As).
        const double P = 1000;
        FrameModel m = Cantilever(3);
        for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}})
            m.supports.push_back({3, Support::Kind::Rotation, axis, 0});
        m.loads.push_back({3, {0, -P, 0, 0, 0, 0}});
        FrameResult r = SolveStatic(m);
        ASSERT_TRUE(r.ok) << r.error;
        const double delta = P * kL * kL * kL / (12 * EI) + P * kL / GAs;
        EXPECT_NEAR(r.displacements[3][1], -delta, Near(delta));
    }
    {   // A spring of rate k under the tip shares the load with the beam: u = P/(k + k_beam),
        // and the spring pushes back with k·u.
        const double P = 1000, k = 50;
        FrameModel m = Cantilever(2);
        m.supports.push_back({2, Support::Kind::Translation, {0, 0, 1}, k});
        m.loads.push_back({2, {0, 0, -P, 0, 0, 0}});
        FrameResult r = SolveStatic(m);
        ASSERT_TRUE(r.ok) << r.error;
        const double kBeam = 1 / (kL * kL * kL / (3 * EI) + kL / GAs);
        EXPECT_NEAR(r.displacements[2][2], -P / (k + kBeam), Near(P / (k + kBeam)));
        EXPECT_NEAR(r.reactions[1][2], -k * r.displacements[2][2], 1e-9);
    }
}

TEST(FrameSolver, SupportsBalanceTheLoadsOfASkewedThreeDimensionalLine) {
    // An L up and across, anchored at one end, held by a skewed rigid guide and a vertical
    // spring, under its weight and a point load.
    FrameModel m;
    m.nodes = {{0, 0, 0}, {2000, 0, 0}, {2000, 1500, 0}, {2000, 1500, 1000}, {3000, 2500, 1000}};
    const Section s = PipeSection(kOd, kWall, kNu);
    for (int i = 0; i < 4; ++i)
        m.beams.push_back({i, i + 1, kE, kG, s, 1, {0, 0, -0.4}});
    m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
    const double c = 1 / std::sqrt(2.0);
    m.supports.push_back({2, Support::Kind::Translation, {c, c, 0}, 0});
    m.supports.push_back({4, Support::Kind::Translation, {0, 0, 1}, 0});
    m.supports.push_back({3, Support::Kind::Translation, {0, 0, 1}, 200});
    m.loads.push_back({3, {300, -200, -900, 0, 5e4, 0}});
    FrameResult r = SolveStatic(m);
    ASSERT_TRUE(r.ok) << r.error;
    // Total force and the moment about the origin: applied plus reactions is nothing.
    double applied[6] = {0, 0, 0, 0, 0, 0};
    auto add = [&](const Vec3& at, const Vec6& f, double* sum) {
        for (int i = 0; i < 3; ++i)
            sum[i] += f[i];
        sum[3] += f[3] + at[1] * f[2] - at[2] * f[1];
        sum[4] += f[4] + at[2] * f[0] - at[0] * f[2];
        sum[5] += f[5] + at[0] * f[1] - at[1] * f[0];
    };
    double scale = 0;
    for (const Beam& b : m.beams) {
        const Vec3 &a = m.nodes[b.a], &e = m.nodes[b.b];
        const double L = std::sqrt(std::pow(e[0] - a[0], 2) + std::pow(e[1] - a[1], 2) + std::pow(e[2] - a[2], 2));
        add({(a[0] + e[0]) / 2, (a[1] + e[1]) / 2, (a[2] + e[2]) / 2}, {0, 0, b.load[2] * L, 0, 0, 0}, applied);
        scale += std::fabs(b.load[2] * L);
    }
    for (const NodalLoad& l : m.loads)
        add(m.nodes[l.node], l.load, applied);
    for (std::size_t i = 0; i < m.supports.size(); ++i)
        add(m.nodes[m.supports[i].node], r.reactions[i], applied);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(applied[i], 0, 1e-9 * (scale + 1000)) << "force " << i;
    for (int i = 3; i < 6; ++i)
        EXPECT_NEAR(applied[i], 0, 1e-9 * (scale + 1000) * 3000) << "moment " << i;
    // The skewed guide pushes only along its direction.
    EXPECT_NEAR(r.reactions[1][0], r.reactions[1][1], 1e-9 * scale);
    EXPECT_NEAR(r.reactions[1][2], 0, 1e-12);
}

TEST(FrameSolver, AModelFreeToMoveIsRefusedNamingItsNodes) {
    // Held against translation at both ends but free to spin about its own axis: every node
    // turns with it.
    FrameModel m = Cantilever(2);
    m.supports.clear();
    for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}) {
        m.supports.push_back({0, Support::Kind::Translation, axis, 0});
        m.supports.push_back({2, Support::Kind::Translation, axis, 0});
    }
    m.loads.push_back({1, {0, 0, -10, 0, 0, 0}});
    FrameResult r = SolveStatic(m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the model is free to move: nothing holds nodes 0, 1, 2");
    // Nothing held at all.
    m.supports.clear();
    r = SolveStatic(m);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("free to move"), std::string::npos) << r.error;
    // A branch hanging free off a held line: only its own nodes are named.
    m = Cantilever(2);
    m.nodes.push_back({kL, 1000, 0});
    m.nodes.push_back({kL, 2000, 0});
    Beam loose = m.beams[0];
    loose.a = 3;
    loose.b = 4;
    m.beams.push_back(loose);
    r = SolveStatic(m);
    EXPECT_EQ(r.error, "the model is free to move: nothing holds nodes 3, 4");
    m.beams[0].b = 7;
    EXPECT_EQ(SolveStatic(m).error, "beam 0 does not join two nodes of the model");
}
