#include "analysis/FrameSolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

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

TEST(FrameSolver, AHeatedLAnchoredAtBothEndsMatchesTheHandSolution) {
    // Legs L1 along x and L2 along y, anchored at A (0, 0) and B (L1, L2), heated to a free
    // strain ε. By hand (flexibility method): release B; its free movement is ε·(L1, L2, 0);
    // the unit-load method over both legs, with bending, axial and shear flexibility, gives the
    // 3 × 3 flexibility F of (Fx, Fy, Mz) at B, and the reactions are R = −F⁻¹·δ.
    const double L1 = 6000, L2 = 3000, eps = 1.2e-5 * 150; // steel heated by 150 °C
    const Section s = PipeSection(kOd, kWall, kNu);
    const double EI = kE * s.inertia, EA = kE * s.area, GAs = kG * s.shearArea;
    // Leg 1 (x = u, y = 0): M = (L1 − u)·Fy − L2·Fx + Mz, N = Fx, V = Fy.
    // Leg 2 (x = L1, y = t): M = −(L2 − t)·Fx + Mz, N = Fy, V = Fx.
    double F[3][3] = {};
    const int steps = 20000; // Simpson's rule, exact for these quadratics
    for (int leg = 0; leg < 2; ++leg) {
        const double L = leg == 0 ? L1 : L2;
        for (int k = 0; k <= steps; ++k) {
            const double u = L * k / steps, w = (k == 0 || k == steps ? 1 : k % 2 ? 4 : 2) * L / steps / 3;
            const double m[3] = {leg == 0 ? -L2 : -(L2 - u), leg == 0 ? L1 - u : 0, 1};
            const double nn[3] = {leg == 0 ? 1.0 : 0, leg == 0 ? 0 : 1.0, 0};
            const double v[3] = {leg == 0 ? 0 : 1.0, leg == 0 ? 1.0 : 0, 0};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    F[i][j] += w * (m[i] * m[j] / EI + nn[i] * nn[j] / EA + v[i] * v[j] / GAs);
        }
    }
    const double delta[3] = {eps * L1, eps * L2, 0};
    // Cramer's rule for F·R = −δ.
    auto det = [](double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double R[3];
    for (int c = 0; c < 3; ++c) {
        double a[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                a[i][j] = j == c ? -delta[i] : F[i][j];
        R[c] = det(a) / det(F);
    }
    // The corner C = (L1, 0) moves as leg 1's cantilever end under B's reactions carried to C.
    const double Mc = R[2] - L2 * R[0];
    const double cornerX = eps * L1 + R[0] * L1 / EA;
    const double cornerY = R[1] * L1 * L1 * L1 / (3 * EI) + Mc * L1 * L1 / (2 * EI) + R[1] * L1 / GAs;
    const double cornerTurn = R[1] * L1 * L1 / (2 * EI) + Mc * L1 / EI;

    FrameModel m;
    m.nodes = {{0, 0, 0}, {L1 / 2, 0, 0}, {L1, 0, 0}, {L1, L2 / 2, 0}, {L1, L2, 0}};
    for (int i = 0; i < 4; ++i) {
        Beam b{i, i + 1, kE, kG, s, 1, {}, eps};
        m.beams.push_back(b);
    }
    m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
    m.supports.push_back({4, Support::Kind::Anchor, {}, 0});
    FrameResult r = SolveStatic(m);
    ASSERT_TRUE(r.ok) << r.error;
    const double tolerance = 1e-6; // the hand solution's quadrature
    EXPECT_NEAR(r.reactions[1][0], R[0], tolerance * std::fabs(R[0]));
    EXPECT_NEAR(r.reactions[1][1], R[1], tolerance * std::fabs(R[1]));
    EXPECT_NEAR(r.reactions[1][5], R[2], tolerance * std::fabs(R[2]));
    for (int i = 0; i < 3; ++i) // the anchors balance each other
        EXPECT_NEAR(r.reactions[0][i], -r.reactions[1][i], 1e-9 * std::fabs(R[0]) + 1e-9);
    EXPECT_NEAR(r.displacements[2][0], cornerX, tolerance * std::fabs(cornerX));
    EXPECT_NEAR(r.displacements[2][1], cornerY, tolerance * std::fabs(cornerY));
    EXPECT_NEAR(r.displacements[2][5], cornerTurn, tolerance * std::fabs(cornerTurn));
    // Out of plane nothing moves.
    EXPECT_NEAR(r.displacements[2][2], 0, 1e-12);
}

TEST(FrameSolver, OneWayRestsHoldOrLiftOffAndTheLoadsBalance) {
    {   // Pressed down, a rest carries what a rigid support carries.
        FrameModel rigid = Cantilever(2);
        rigid.supports.push_back({2, Support::Kind::Translation, {0, 0, 1}, 0});
        rigid.loads.push_back({2, {0, 300, -1000, 0, 0, 0}});
        FrameModel oneWay = rigid;
        oneWay.supports[1].oneWay = true;
        const FrameResult a = SolveStatic(rigid), b = SolveStatic(oneWay);
        ASSERT_TRUE(b.ok) << b.error;
        EXPECT_TRUE(b.liftedOff.empty());
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(b.reactions[1][i], a.reactions[1][i], Near(1000));
    }
    // Rests and hold-downs under loads up and down (which sent the iteration round a cycle when
    // every pulling support was released at once): every one either pushes with the pipe on it,
    // or carries nothing with the pipe off it, and the reactions balance the loads.
    FrameModel m = Cantilever(6);
    const double loads[] = {162.575, -946.606, -82.0641, -993.245, 483.108, -39.0107};
    for (int node = 1; node <= 6; ++node) {
        m.supports.push_back({node, Support::Kind::Translation, {0, 0, node == 2 || node == 6 ? -1.0 : 1.0}, 0});
        m.supports.back().oneWay = true;
        m.loads.push_back({node, {0, 0, loads[node - 1], 0, 0, 0}});
    }
    const FrameResult r = SolveStatic(m);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warning.empty()) << r.warning;
    EXPECT_GE(r.liftedOff.size(), 2u);
    double up = 0, turn = 0;
    for (int s = 0; s <= 6; ++s) {
        const double d = m.supports[s].direction[2], lift = d * r.displacements[s][2];
        const bool lifted = std::count(r.liftedOff.begin(), r.liftedOff.end(), s) > 0;
        if (s > 0)
            EXPECT_GE(lifted ? lift : d * r.reactions[s][2], -1e-9) << "support " << s;
        if (lifted)
            EXPECT_EQ(r.reactions[s], Vec6{}) << "support " << s;
        up += r.reactions[s][2] + (s > 0 ? loads[s - 1] : 0);
        turn += r.reactions[s][4] - m.nodes[s][0] * (r.reactions[s][2] + (s > 0 ? loads[s - 1] : 0));
    }
    EXPECT_NEAR(up, 0, 1e-9 * 3000);
    EXPECT_NEAR(turn, 0, 1e-9 * 3000 * kL);
}

TEST(FrameSolver, AHangersPreloadActsWithItsSpring) {
    // A hanger of rate k set to its cold load F0 under a cantilever's tip load P: the tip moves
    // (F0 − P)/(k + k_beam), and the hanger carries F0 − k·u.
    const Section s = PipeSection(kOd, kWall, kNu);
    const double P = 1000, k = 50, F0 = 600;
    const double kBeam = 1 / (kL * kL * kL / (3 * kE * s.inertia) + kL / (kG * s.shearArea));
    FrameModel m = Cantilever(2);
    m.supports.push_back({2, Support::Kind::Translation, {0, 0, 1}, k});
    m.supports.back().preload = F0;
    m.loads.push_back({2, {0, 0, -P, 0, 0, 0}});
    const FrameResult r = SolveStatic(m);
    ASSERT_TRUE(r.ok) << r.error;
    const double u = (F0 - P) / (k + kBeam);
    EXPECT_NEAR(r.displacements[2][2], u, Near(u));
    EXPECT_NEAR(r.reactions[1][2], F0 - k * u, Near(P));
    EXPECT_NEAR(r.reactions[0][2] + r.reactions[1][2], P, Near(P));
    m.supports[0].preload = 5; // on an anchor
    EXPECT_EQ(SolveStatic(m).error, "support 0 at node 0: only a translation support can be one-way or carry a preload");
}

TEST(FrameSolver, ALongSmallLineBesideStiffPipeIsNoMechanism) {
    // A heated 2-inch line with a loop, 91 m from a 12-inch header to an anchored nozzle: its
    // pivots are tiny against the header's stiffness, yet it is held, and its anchors balance.
    FrameModel m;
    const Section header = PipeSection(323.9, 9.53, kNu), line = PipeSection(60.3, 3.91, kNu);
    auto extend = [&](int from, Vec3 step, const Section& s) {
        const Vec3 p = m.nodes[from];
        m.nodes.push_back({p[0] + step[0], p[1] + step[1], p[2] + step[2]});
        m.beams.push_back({from, static_cast<int>(m.nodes.size()) - 1, kE, kG, s, 1, {}, 1.8e-3});
        return static_cast<int>(m.nodes.size()) - 1;
    };
    m.nodes = {{0, 0, 0}};
    for (int i = 0; i < 4; ++i)
        extend(i, {0, 600, 0}, header);
    int last = 2;
    for (auto [step, count] : {std::pair<Vec3, int>{{1000, 0, 0}, 40}, {{0, 500, 0}, 8}, {{1000, 0, 0}, 6},
                               {{0, -500, 0}, 8}, {{1000, 0, 0}, 25}, {{0, 0, -500}, 12}})
        for (int k = 0; k < count; ++k)
            last = extend(last, step, line);
    m.supports = {{0, Support::Kind::Anchor, {}, 0}, {4, Support::Kind::Anchor, {}, 0}, {last, Support::Kind::Anchor, {}, 0}};
    const FrameResult r = SolveStatic(m);
    ASSERT_TRUE(r.ok) << r.error;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(r.reactions[0][i] + r.reactions[1][i] + r.reactions[2][i], 0, 1e-9 * std::fabs(r.reactions[2][0]));
}
