#include "analysis/ModalSolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace ketra::analysis;

namespace {

// A 6-inch schedule 40 steel pipe in N, mm, MPa and tonnes, empty.
constexpr double kE = 200000, kNu = 0.3, kOd = 168.3, kWall = 7.11, kDensity = 7.85e-9;
const double kG = kE / (2 * (1 + kNu));

// A straight line along x of `count` beams over `length`.
FrameModel Line(double length, int count, bool shear = true) {
    FrameModel m;
    Section s = PipeSection(kOd, kWall, kNu);
    if (!shear)
        s.shearArea = 0;
    for (int i = 0; i <= count; ++i)
        m.nodes.push_back({length * i / count, 0, 0});
    for (int i = 0; i < count; ++i)
        m.beams.push_back({i, i + 1, kE, kG, s, 1, {}, 0, kDensity * s.area});
    return m;
}

// Euler-Bernoulli: f = (βL)² / (2π L²) · √(EI / m).
double BeamFrequency(double betaL, double length) {
    const Section s = PipeSection(kOd, kWall, kNu);
    return betaL * betaL / (2 * M_PI * length * length) * std::sqrt(kE * s.inertia / (kDensity * s.area));
}

void ExpectWithin(double actual, double expected, double fraction) {
    EXPECT_NEAR(actual, expected, fraction * expected);
}

} // namespace

TEST(ModalSolver, BeamsMatchTheirEulerBernoulliFrequencies) {
    {   // Cantilever, 6 m, 100 beams, with shear deformation: β₁L = 1.8751 in both planes.
        FrameModel m = Line(6000, 100);
        m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
        const ModalResult r = SolveModes(m, 2);
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_EQ(r.frequencies.size(), 2u);
        ExpectWithin(r.frequencies[0], BeamFrequency(1.87510407, 6000), 0.005);
        ExpectWithin(r.frequencies[1], BeamFrequency(1.87510407, 6000), 0.005);
    }
    {   // Simply supported 12 m span, pinned and on a roller, twist held at one end:
        // f_n = n²π / (2L²) · √(EI/m) for n = 1, 2, 3, each in both planes.
        FrameModel m = Line(12000, 80, false);
        for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}})
            m.supports.push_back({0, Support::Kind::Translation, axis, 0});
        m.supports.push_back({0, Support::Kind::Rotation, {1, 0, 0}, 0});
        m.supports.push_back({80, Support::Kind::Translation, {0, 1, 0}, 0});
        m.supports.push_back({80, Support::Kind::Translation, {0, 0, 1}, 0});
        const ModalResult r = SolveModes(m, 6);
        ASSERT_TRUE(r.ok) << r.error;
        for (int n = 1; n <= 3; ++n)
            for (int plane = 0; plane < 2; ++plane)
                ExpectWithin(r.frequencies[2 * (n - 1) + plane], BeamFrequency(n * M_PI, 12000), 0.005);
    }
}

TEST(ModalSolver, ShapesAreMassNormalisedAndOrthogonal) {
    // Point masses on massless beams (a mass matrix of translations only), bent into an L.
    FrameModel m = Line(3000, 40);
    m.nodes.back() = {3000, 1500, 0};
    for (Beam& b : m.beams)
        b.massPerLength = 0;
    for (int i = 1; i <= 40; ++i)
        m.masses.push_back({i, 0.001 * (1 + i % 3)});
    m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
    const ModalResult r = SolveModes(m, 8);
    ASSERT_TRUE(r.ok) << r.error;
    for (int a = 0; a < 8; ++a) {
        EXPECT_LT(r.frequencies[a], a < 7 ? r.frequencies[a + 1] : INFINITY);
        for (int b = 0; b <= a; ++b) {
            double product = 0;
            for (const PointMass& p : m.masses)
                for (int i = 0; i < 3; ++i)
                    product += p.mass * r.shapes[a][p.node][i] * r.shapes[b][p.node][i];
            EXPECT_NEAR(product, a == b ? 1 : 0, 1e-9) << "modes " << a << ", " << b;
        }
    }
}

TEST(ModalSolver, ASpringAndMassRingAtTheirFrequencyAndNothingElse) {
    // One node: a mass on a spring along z, held rigidly in every other direction.
    const double k = 35, mass = 0.02;
    FrameModel m;
    m.nodes = {{0, 0, 0}};
    m.masses.push_back({0, mass});
    m.supports = {{0, Support::Kind::Translation, {0, 0, 1}, k}, {0, Support::Kind::Translation, {1, 1, 0}, 0},
                  {0, Support::Kind::Translation, {1, -1, 0}, 0}};
    for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}})
        m.supports.push_back({0, Support::Kind::Rotation, axis, 0});
    ModalResult r = SolveModes(m, 10);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.frequencies.size(), 1u);
    EXPECT_NEAR(r.frequencies[0], std::sqrt(k / mass) / (2 * M_PI), 1e-12);
    EXPECT_NEAR(r.shapes[0][0][2], 1 / std::sqrt(mass), 1e-9);
    // Without its spring it is free to move, and refused.
    m.supports.erase(m.supports.begin());
    EXPECT_EQ(SolveModes(m, 3).error, "the model is free to move: nothing holds node 0");
}

TEST(ModalSolver, AThinElbowMatchesItsPublishedFrequencies) {
    // A 90° elbow of radius 1 m between two straight legs of 2 m, clamped at the legs' far ends;
    // the elbow's ends held square to the legs, in plane and out of it. A 20 × 16 mm tube,
    // E = 2.1e11 Pa, ν = 0.3, 7800 kg/m³, in SI units. Published (Rayleigh's method): out of
    // plane 17.9 and 25.3 Hz, in plane 24.8 and 27.0 Hz.
    constexpr double E = 2.1e11, nu = 0.3, R = 1, L = 2;
    const Section s = PipeSection(0.020, 0.002, nu);
    FrameModel m;
    for (int i = 0; i <= 20; ++i)
        m.nodes.push_back({R, -L + L * i / 20, 0});
    for (int i = 1; i <= 30; ++i)
        m.nodes.push_back({R * std::cos(M_PI / 60 * i), R * std::sin(M_PI / 60 * i), 0});
    for (int i = 1; i <= 20; ++i)
        m.nodes.push_back({-L * i / 20, R, 0});
    for (int i = 0; i < 70; ++i)
        m.beams.push_back({i, i + 1, E, E / (2 * (1 + nu)), s, 1, {}, 0, 7800 * s.area});
    m.supports = {{0, Support::Kind::Anchor, {}, 0},  {70, Support::Kind::Anchor, {}, 0},
                  {20, Support::Kind::Translation, {1, 0, 0}, 0}, {20, Support::Kind::Translation, {0, 0, 1}, 0},
                  {50, Support::Kind::Translation, {0, 1, 0}, 0}, {50, Support::Kind::Translation, {0, 0, 1}, 0}};
    const ModalResult r = SolveModes(m, 4);
    ASSERT_TRUE(r.ok) << r.error;
    std::vector<double> outOfPlane, inPlane;
    for (int k = 0; k < 4; ++k) {
        double z = 0, xy = 0;
        for (const Vec6& u : r.shapes[k]) {
            z = std::max(z, std::fabs(u[2]));
            xy = std::max({xy, std::fabs(u[0]), std::fabs(u[1])});
        }
        (z > xy ? outOfPlane : inPlane).push_back(r.frequencies[k]);
    }
    ASSERT_EQ(outOfPlane.size(), 2u);
    // Within 1.6 %, but for the second out-of-plane mode, 3.5 % under the published estimate.
    ExpectWithin(outOfPlane[0], 17.9, 0.02);
    ExpectWithin(outOfPlane[1], 25.3, 0.04);
    ExpectWithin(inPlane[0], 24.8, 0.02);
    ExpectWithin(inPlane[1], 27.0, 0.02);
}
