#include "analysis/PipingAnalysis.h"
#include "analysis/PipingCode.h"
#include "host/ModelWriter.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace ketra::analysis;

namespace {

// A 6-inch schedule 40 steel pipe in N, mm and MPa; sections worked out here, not taken
// from the solver.
constexpr double kE = 200000, kNu = 0.3, kOd = 168.3, kWall = 7.11, kPi = 3.14159265358979323846;
const double kG = kE / (2 * (1 + kNu));
const double kId = kOd - 2 * kWall;
const double kA = kPi / 4 * (kOd * kOd - kId * kId);
const double kI = kPi / 64 * (std::pow(kOd, 4) - std::pow(kId, 4));
const double kZ = kI / (kOd / 2);
const double kShearArea = 2 * (1 + kNu) / (4 + 3 * kNu) * kA; // thin tube, Cowper 1966

const std::string kMaterial = R"("units": "mm", "installedTemperature": 21,
  "material": {"E": 200000, "poisson": 0.3, "expansion": 1.2e-5, "density": DENSITY,
               "allowableCold": 138, "allowableHot": 120},)";

std::string Model(const std::string& body, double density = 7850) {
    std::string m = kMaterial;
    m.replace(m.find("DENSITY"), 7, std::to_string(density));
    return "{" + m + body + "}";
}

PipingFrame Frame(const std::string& json) {
    const ketra::host::LoadResult load = ketra::host::ParsePipingModel(json, "m.json");
    EXPECT_TRUE(load.ok) << load.error;
    FrameBuild b = BuildFrame(load.model, "m.json");
    EXPECT_TRUE(b.ok) << b.error;
    return b.piping;
}

const CaseResult& Case(const AnalysisResult& r, const std::string& name) {
    for (const CaseResult& c : r.cases)
        if (c.name == name)
            return c;
    ADD_FAILURE() << "no case " << name;
    return r.cases.front();
}

AnalysisResult Solve(const PipingFrame& f, const std::string& cases = "OPE,SUS,EXP") {
    CaseChoice choice;
    std::string error;
    EXPECT_TRUE(ParseCaseList(cases, &choice, &error)) << error;
    AnalysisResult r = Analyse(f, choice);
    EXPECT_TRUE(r.ok) << r.error;
    return r;
}

double Rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

} // namespace

// Weight of the pipe and water, a tip mass, a hanger at the tip and pressure: deflection, the
// hanger's force (installed load less rate × lift) and the root's sustained stress.
TEST(PipingAnalysis, CantileverUnderWeightPressureAndAHangerMatchesItsClosedForm) {
    const double L = 3000, mass = 50, rate = 40, cold = 300, P = 2;
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [3000, 0, 0], "od": 168.3,
        "wall": 7.11, "corrosion": 1, "contents": 1000, "pressure": 2}],
      "anchors": [{"node": 10}], "masses": [{"node": 20, "mass": 50}],
      "hangers": [{"node": 20, "rate": 40, "coldLoad": 300}])"));
    const AnalysisResult r = Solve(f);
    const double w = (7850 * kA + 1000 * kPi / 4 * kId * kId) * 1e-9 * 9.80665; // N/mm
    const double tip = mass * 9.80665 - cold;                                   // net down, before the spring
    const double beam = 1 / (L * L * L / (3 * kE * kI) + L / (kG * kShearArea)); // tip stiffness
    const double weightSag = w * std::pow(L, 4) / (8 * kE * kI) + w * L * L / (2 * kG * kShearArea);
    // The spring and the beam share the tip: u = −(sag under the free tip load and weight) · k_b / (k_b + k).
    const double free = tip / beam + weightSag;
    const double u = -free * beam / (beam + rate);
    const CaseResult& sus = Case(r, "SUS");
    EXPECT_LT(Rel(sus.displacements.at(20)[2], u), 1e-9);
    const double spring = cold - rate * u; // up on the pipe
    EXPECT_LT(Rel(sus.supports.at(20)[2], -spring), 1e-9);
    // Support loads balance the weight to 1e-9.
    const double total = w * L + mass * 9.80665;
    EXPECT_NEAR(sus.supports.at(10)[2] + sus.supports.at(20)[2], -total, 1e-9 * total);
    // Root: M = wL²/2 + (m·g − spring)·L; S_L = P·D/4t_c + M/Z_c on the corroded wall.
    const double M = w * L * L / 2 + (mass * 9.80665 - spring) * L;
    const double tc = kWall - 1, dc = kOd - 2 * tc;
    const double Zc = kPi / 32 * (std::pow(kOd, 4) - std::pow(dc, 4)) / kOd;
    const double SL = P * kOd / (4 * tc) + M / Zc;
    EXPECT_LT(Rel(sus.elements[0].start.stress, SL), 1e-9);
    EXPECT_DOUBLE_EQ(sus.elements[0].start.allowable, 120);
}

// Applied forces: a tip force and moment across a cantilever, δ = PL³/3EI + PL/kGA + ML²/2EI.
TEST(PipingAnalysis, AppliedTipForceAndMomentMatchTheCantilever) {
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [3000, 0, 0], "od": 168.3, "wall": 7.11}],
      "anchors": [{"node": 10}], "forces": [{"node": 20, "f": [0, 1000, 0], "m": [0, 0, 2e6]}])", 0));
    const CaseResult w = Solve(f, "W").cases.front();
    const double L = 3000, P = 1000, M = 2e6;
    EXPECT_LT(Rel(w.displacements.at(20)[1], P * L * L * L / (3 * kE * kI) + P * L / (kG * kShearArea) + M * L * L / (2 * kE * kI)), 1e-9);
    EXPECT_LT(Rel(w.supports.at(10)[5], P * L + M), 1e-9); // the anchor takes the load's moment
}

// An L anchored at both ends and heated 150 °C, sharp corner: the three-unknown frame solved
// here by the unit-load method (bending, axial and shear terms integrated in closed form).
TEST(PipingAnalysis, HeatedLAnchoredAtBothEndsMatchesTheUnitLoadSolution) {
    const double a = 6000, b = 3000, eps = 1.2e-5 * 150;
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [6000, 0, 0], "od": 168.3, "wall": 7.11,
        "temperature": 171}, {"from": 20, "to": 30, "delta": [0, 3000, 0]}],
      "anchors": [{"node": 10}, {"node": 30}])", 0));
    const AnalysisResult r = Solve(f);
    // Forces (Fx, Fy, Mz) the pipe takes at B = node 30 from its anchor.
    const double EI = kE * kI, EA = kE * kA, GA = kG * kShearArea;
    Eigen::Matrix3d F;
    F << b * b * b / 3 / EI + b * b * a / EI + a / EA + b / GA, -b * a * a / 2 / EI, -b * b / 2 / EI - b * a / EI,
        -b * a * a / 2 / EI, a * a * a / 3 / EI + b / EA + a / GA, a * a / 2 / EI,
        -b * b / 2 / EI - b * a / EI, a * a / 2 / EI, (a + b) / EI;
    const Eigen::Vector3d R = F.ldlt().solve(-Eigen::Vector3d(eps * a, eps * b, 0));
    const CaseResult& exp = Case(r, "EXP");
    const auto& atB = exp.supports.at(30);
    EXPECT_LT(Rel(-atB[0], R(0)), 1e-9);
    EXPECT_LT(Rel(-atB[1], R(1)), 1e-9);
    EXPECT_LT(Rel(-atB[5], R(2)), 1e-9);
    // The largest expansion stress: |N|/A + |M|/Z at A, the corner and B.
    const double MA = R(2) + a * R(1) - b * R(0), MC = R(2) - b * R(0);
    const double largest = std::max({std::fabs(R(0)) / kA + std::fabs(MA) / kZ, std::fabs(R(0)) / kA + std::fabs(MC) / kZ,
                                     std::fabs(R(1)) / kA + std::fabs(MC) / kZ, std::fabs(R(1)) / kA + std::fabs(R(2)) / kZ});
    double ours = 0;
    for (const ElementResult& e : exp.elements)
        ours = std::max({ours, e.start.stress, e.end.stress});
    EXPECT_LT(Rel(ours, largest), 1e-9);
    EXPECT_DOUBLE_EQ(exp.elements[0].start.allowable, 1.25 * 138 + 0.25 * 120 + 120); // no sustained stress
}

// Two operating conditions given as lists: one operating case and one expansion range each,
// the ranges in proportion to their temperature changes; the sustained case takes the higher
// pressure; the lists survive the model writer; lists of different lengths are refused.
TEST(PipingAnalysis, EachOperatingConditionGetsItsOwnOperatingAndExpansionCases) {
    const std::string model = Model(R"("elements": [{"from": 10, "to": 20, "delta": [6000, 0, 0], "od": 168.3,
        "wall": 7.11, "temperature": [171, 96], "pressure": [2, 3]}, {"from": 20, "to": 30, "delta": [0, 3000, 0]}],
      "anchors": [{"node": 10}, {"node": 30}])", 0);
    const AnalysisResult r = Solve(Frame(model));
    std::vector<std::string> names;
    for (const CaseResult& c : r.cases)
        names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"OPE1", "OPE2", "SUS", "EXP1", "EXP2"}));
    for (int i : {0, 1, 5})
        EXPECT_LT(Rel(Case(r, "EXP2").supports.at(30)[i], 0.5 * Case(r, "EXP1").supports.at(30)[i]), 1e-9) << i;
    EXPECT_LT(Rel(Case(r, "SUS").elements[0].start.stress, 3 * kOd / (4 * kWall)), 1e-9);

    const ketra::host::LoadResult again = ketra::host::ParsePipingModel(
        ketra::host::WriteModelJson(ketra::host::ParsePipingModel(model, "m.json").model), "w.json");
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.model.elements[1].temperatures, (std::vector<double>{171, 96}));
    EXPECT_EQ(again.model.elements[1].pressures, (std::vector<double>{2, 3}));

    std::string mismatched = model;
    mismatched.replace(mismatched.find("[0, 3000, 0]}"), 13, R"([0, 3000, 0], "temperature": [171, 96, 50]})");
    const ketra::host::LoadResult refused = ketra::host::ParsePipingModel(mismatched, "m.json");
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("m.json:4:131:"), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("3 operating conditions where an earlier element gives 2"), std::string::npos)
        << refused.error;
}

// A leg held square at its tip and pushed sideways by a hot rigid arm anchored beyond it: the
// guided cantilever, δ = FL³/12EI + FL/(k·G·A), with the end moments FL/2.
TEST(PipingAnalysis, GuidedCantileverPushedByAHotRigidArm) {
    const double L = 3000, c = 300, delta = 1.2e-5 * 300 * c;
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [0, 3000, 0], "od": 168.3, "wall": 7.11},
        {"from": 20, "to": 30, "delta": [300, 0, 0], "rigid": true, "temperature": 321}],
      "anchors": [{"node": 10}, {"node": 30}])", 0));
    const AnalysisResult r = Solve(f, "EXP");
    const double F = delta / (L * L * L / (12 * kE * kI) + L / (kG * kShearArea));
    const CaseResult& exp = r.cases.front();
    EXPECT_LT(Rel(std::fabs(exp.supports.at(10)[0]), F), 1e-3);
    EXPECT_LT(Rel(std::fabs(exp.supports.at(10)[5]), F * L / 2), 1e-3);
    EXPECT_LT(Rel(exp.elements[0].start.stress, F * L / 2 / kZ), 1e-3);
}

// A straight run between anchors with an expansion joint, heated: the joint takes the whole
// growth in series with the pipe, F = α·ΔT·L / (L_pipe/EA + 1/k_ax); a rigid valve's weight
// lands on the anchors as its lever arms share it.
TEST(PipingAnalysis, ExpansionJointAndRigidElementTakeTheirRatesAndWeight) {
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [2000, 0, 0], "od": 168.3, "wall": 7.11,
        "temperature": 121}, {"from": 20, "to": 30, "delta": [400, 0, 0], "expansionJoint": true,
        "jointStiffness": {"axial": 500, "bending": 1e8}}, {"from": 30, "to": 40, "delta": [1000, 0, 0]},
        {"from": 40, "to": 50, "delta": [500, 0, 0], "rigid": true, "weight": 2000}, {"from": 50, "to": 60, "delta": [1100, 0, 0]}],
      "anchors": [{"node": 10}, {"node": 60}])", 0));
    const AnalysisResult r = Solve(f, "T,W");
    const double F = 1.2e-5 * 100 * 5000 / (4100 / (kE * kA) + 500.0 / kE / kA * 1e-3 + 1 / 500.0);
    EXPECT_LT(Rel(std::fabs(Case(r, "T").supports.at(10)[0]), F), 1e-9);
    // The valve's 2000 N at 3650 mm of the 5000 mm span: the vertical loads as a beam fixed at
    // both ends with a uniform load over 3400..3900 share it, their sum exactly.
    const CaseResult& w = Case(r, "W");
    EXPECT_NEAR(w.supports.at(10)[2] + w.supports.at(60)[2], -2000, 1e-9 * 2000);
    EXPECT_GT(-w.supports.at(60)[2], -w.supports.at(10)[2]);
}

// A 90° long-radius bend turns under an in-plane end moment by k·M·(πR/2)/EI beside its
// tangents' M·L/EI; its stresses take the in-plane and out-of-plane factors (0.75·i when
// sustained).
TEST(PipingAnalysis, BendsTurnByTheirFlexibilityAndStressByTheirFactors) {
    const double R = 228.6, a = 2000, b = 1500;
    const BendFactors k = ElbowFactors(kOd, kWall, R);
    PipingFrame f = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [2000, 0, 0], "od": 168.3, "wall": 7.11,
        "bend": {"radius": 228.6}}, {"from": 20, "to": 30, "delta": [0, 1500, 0]}], "anchors": [{"node": 10}])"));
    FrameModel m = f.frame;
    const double M = 1e6;
    m.loads.push_back({f.nodeOf.at(30), {0, 0, 0, 0, 0, M}});
    const FrameResult turned = SolveStatic(m);
    ASSERT_TRUE(turned.ok) << turned.error;
    const double expected = M / (kE * kI) * (a - R + k.flexibility * kPi * R / 2 + b - R);
    EXPECT_LT(Rel(turned.displacements[static_cast<std::size_t>(f.nodeOf.at(30))][5], expected), 1e-9);

    // A quarter circle alone, fixed at one end and loaded across at the other, against
    // Castigliano's theorem: bending k·P·R³·(3π/4 − 2)/EI, axial and shear π·P·R/4 over EA and k·G·A.
    PipingFrame q = Frame(Model(R"("elements": [{"from": 10, "to": 20, "delta": [228.6, 0, 0], "od": 168.3, "wall": 7.11,
        "bend": {"radius": 228.6}}, {"from": 20, "to": 30, "delta": [0, 228.6, 0]}], "anchors": [{"node": 10}])"));
    m = q.frame;
    m.loads.push_back({q.nodeOf.at(30), {0, 1000, 0, 0, 0, 0}});
    const FrameResult bent = SolveStatic(m);
    ASSERT_TRUE(bent.ok) << bent.error;
    const double across = 1000 * (k.flexibility * R * R * R * (3 * kPi / 4 - 2) / (kE * kI) + kPi * R / 4 / (kE * kA) +
                                  kPi * R / 4 / (kG * kShearArea));
    EXPECT_LT(Rel(bent.displacements[static_cast<std::size_t>(q.nodeOf.at(30))][1], across), 1e-3);

    // A tip mass on a vertical-then-horizontal bend bends it in its plane; on a level bend,
    // out of it at the far tangent point, where the outgoing element starts.
    const double mass = 100, W = mass * 9.80665;
    auto tipMassOnly = [&](const char* first, const char* second) {
        return Frame(Model(std::string(R"("elements": [{"from": 10, "to": 20, "delta": )") + first +
                               R"(, "od": 168.3, "wall": 7.11, "bend": {"radius": 228.6}}, {"from": 20, "to": 30, "delta": )" +
                               second + R"(}], "anchors": [{"node": 10}], "masses": [{"node": 30, "mass": 100}])",
                           0));
    };
    const CaseResult inPlane = Case(Solve(tipMassOnly("[0, 0, 2000]", "[1500, 0, 0]")), "SUS");
    EXPECT_LT(Rel(inPlane.elements[0].end.stress, W / kA + std::max(1.0, 0.75 * k.inPlane) * W * b / kZ), 1e-3);
    EXPECT_LT(Rel(inPlane.elements[0].start.stress, W / kA + W * b / kZ), 1e-9);
    const CaseResult outOfPlane = Case(Solve(tipMassOnly("[2000, 0, 0]", "[0, 1500, 0]")), "SUS");
    EXPECT_LT(Rel(outOfPlane.elements[1].start.stress, std::max(1.0, 0.75 * k.outOfPlane) * W * (b - R) / kZ), 1e-9);
}

// ANSYS Mechanical APDL Verification Manual, VM18 "Out-of-plane bending of a curved bar", after
// S. Timoshenko, Strength of Materials, Part 1, 3rd ed., p. 412, eq. 241: a quarter circle of
// radius 100 in, a solid bar of 2 in, E = 30e6 psi, nu = 0.3, fixed at one end, 50 lbf across its
// plane at the other. Published: the loaded end moves 2.648 in; at the fixed end the bending
// stress is 6366 psi and the torsional shear 3183 psi. The model is the file users can analyse.
TEST(PipingAnalysis, CurvedBarBentOutOfItsPlaneMatchesThePublishedBenchmark) {
    std::ifstream in(KETRA_SOURCE_DIR "/tests/analysis/data/curved-bar-out-of-plane.json");
    std::stringstream text;
    text << in.rdbuf();
    const CaseResult sus = Case(Solve(Frame(text.str()), "SUS"), "SUS");
    EXPECT_LT(Rel(sus.displacements.at(30)[2], -2.648), 2e-3);
    // The bar leaves the anchor along x: the anchor's moment about x is the torsion, about y the bending.
    const double Z = kPi * 8 / 32;
    EXPECT_LT(Rel(std::fabs(sus.supports.at(10)[4]) / Z, 6366), 1e-4);
    EXPECT_LT(Rel(std::fabs(sus.supports.at(10)[3]) / (2 * Z), 3183), 1e-4);
    // No intensification on so stiff a bend: the code stress is sqrt(S_b^2 + (2 S_t)^2) of the two.
    EXPECT_LT(Rel(sus.elements[0].start.stress, std::hypot(6366.0, 2 * 3183.0)), 1e-4);
}

// A symmetric expansion loop under weight and heat: mirrored movements, equal and opposite
// anchor loads, and the supports carry the weight of the pipe, arcs included, to 1e-9.
TEST(PipingAnalysis, SymmetricLoopGivesSymmetricResultsAndSupportsCarryItsWeight) {
    PipingFrame f = Frame(Model(R"("elements": [
        {"from": 10, "to": 20, "delta": [4000, 0, 0], "od": 168.3, "wall": 7.11, "temperature": 200, "bend": {"radius": 228.6}},
        {"from": 20, "to": 30, "delta": [0, 2000, 0], "bend": {"radius": 228.6}},
        {"from": 30, "to": 40, "delta": [2000, 0, 0], "bend": {"radius": 228.6}},
        {"from": 40, "to": 50, "delta": [0, -2000, 0], "bend": {"radius": 228.6}},
        {"from": 50, "to": 60, "delta": [4000, 0, 0]}],
      "anchors": [{"node": 10}, {"node": 60}], "restraints": [{"node": 30, "direction": "Z"}, {"node": 40, "direction": "Z"}])"));
    const AnalysisResult r = Solve(f);
    for (const char* name : {"OPE", "SUS"}) {
        const CaseResult& c = Case(r, name);
        const Vec6 &d30 = c.displacements.at(30), &d40 = c.displacements.at(40);
        EXPECT_NEAR(d30[0], -d40[0], 1e-9 * (std::fabs(d30[0]) + 1e-3)) << name;
        EXPECT_NEAR(d30[1], d40[1], 1e-9 * std::fabs(d30[1]) + 1e-12) << name;
        EXPECT_NEAR(c.supports.at(10)[0], -c.supports.at(60)[0], 1e-9 * std::fabs(c.supports.at(10)[0]) + 1e-9) << name;
        EXPECT_NEAR(c.elements[0].start.stress, c.elements[4].end.stress, 1e-9 * c.elements[0].start.stress) << name;
    }
    const double R = 228.6, arcs = 4 * (kPi * R / 2 - 2 * R);
    const double weight = (4000 + 2000 + 2000 + 2000 + 4000 + arcs) * 7850 * kA * 1e-9 * 9.80665;
    double carried = 0;
    for (const auto& [node, load] : Case(r, "SUS").supports)
        carried += load[2];
    EXPECT_NEAR(carried, -weight, 1e-9 * weight);
}

// Analysis asks for what it lacks, naming the element or support; a model without any load
// is refused rather than solved to zeros.
TEST(PipingAnalysis, MissingDataAndModelsWithoutLoadAreRefused) {
    auto build = [](const std::string& json) {
        const ketra::host::LoadResult load = ketra::host::ParsePipingModel(json, "m.json");
        EXPECT_TRUE(load.ok) << load.error;
        return BuildFrame(load.model, "m.json");
    };
    FrameBuild noMaterial = build(R"({"elements": [{"from": 1, "to": 2, "delta": [10, 0, 0], "od": 6.625, "wall": 0.28},
        {"from": 2, "to": 3, "delta": [10, 0, 0], "material": {"E": 29e6}}]})");
    EXPECT_EQ(noMaterial.error, "m.json:1:15: element 1-2 has no material: give \"material\" at the top level or on an element");
    FrameBuild hanger = build(Model(R"("elements": [{"from": 1, "to": 2, "delta": [1000, 0, 0], "od": 100, "wall": 5}],
        "anchors": [{"node": 1}], "hangers": [{"node": 2, "rate": 10}])"));
    EXPECT_NE(hanger.error.find("the hanger at node 2 needs \"rate\" and \"coldLoad\""), std::string::npos) << hanger.error;
    FrameBuild cold = build(Model(R"("elements": [{"from": 1, "to": 2, "delta": [1000, 0, 0], "od": 100, "wall": 5,
        "temperature": 100, "material": {"E": 2e5, "allowableCold": 1, "allowableHot": 1}}])"));
    EXPECT_NE(cold.error.find("element 1-2 runs at 100 but its material's \"expansion\" is not given"), std::string::npos);
    const AnalysisResult none = Analyse(Frame(Model(R"("elements": [{"from": 1, "to": 2, "delta": [1000, 0, 0],
        "od": 100, "wall": 5}], "anchors": [{"node": 1}])", 0)), {});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error.rfind("the model has no load", 0), 0u) << none.error;
    // A wall too thin for its pressure (B31.3 eq. (3a), less the mill tolerance) is reported.
    const AnalysisResult thin = Analyse(Frame(Model(R"("elements": [{"from": 1, "to": 2, "delta": [1000, 0, 0],
        "od": 100, "wall": 4.5, "millTolerance": 12.5, "pressure": 10}], "anchors": [{"node": 1}])")), {});
    ASSERT_EQ(thin.warnings.size(), 1u);
    EXPECT_EQ(thin.warnings[0], "element 1-2: the wall less its mill tolerance, 3.9375, is below the pressure design thickness plus corrosion, 4.03226");
    const AnalysisResult loose = Analyse(Frame(Model(R"("elements": [{"from": 1, "to": 2, "delta": [1000, 0, 0],
        "od": 100, "wall": 5, "bend": {"radius": 150}}, {"from": 2, "to": 3, "delta": [866, 500, 0]}])")), {});
    EXPECT_NE(loose.error.find("nothing holds nodes 1, 2, 3"), std::string::npos) << loose.error;
}
