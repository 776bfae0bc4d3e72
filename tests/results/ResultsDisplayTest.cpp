#include "results/ResultsDisplay.h"

#include "results/NodeNumbers.h"

#include "config/CAppSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "view/HMyBaseView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace ketra::results;

TEST(StressScale, AValueTakesTheColourOfTheHighestLevelItReaches) {
    // The settings' defaults: 20, 20, 40, 60, 80, 100 percent.
    const StressScale scale = StressScale::FromSettings(StressMeasure::Ratio, "MPa");
    EXPECT_EQ(scale.unit, "%");
    EXPECT_EQ(scale.BandOf(0), 0);
    EXPECT_EQ(scale.BandOf(19.99), 0);
    EXPECT_EQ(scale.BandOf(20), 1); // levels 1 and 2 are both 20: the higher wins
    EXPECT_EQ(scale.BandOf(40), 2);
    EXPECT_EQ(scale.BandOf(40.001), 2);
    EXPECT_EQ(scale.BandOf(79.999), 3);
    EXPECT_EQ(scale.BandOf(80), 4);
    EXPECT_EQ(scale.BandOf(100), 5);
    EXPECT_EQ(scale.BandOf(1e9), 5);
    EXPECT_EQ(scale.colours[5], CAppSettings::StressPctColor6);
    const StressScale actual = StressScale::FromSettings(StressMeasure::Stress, "psi");
    EXPECT_EQ(actual.unit, "psi");
    EXPECT_EQ(actual.BandOf(30000), 5);
    EXPECT_EQ(actual.BandOf(29999), 4);
    // The default levels, in psi, follow a metric file's unit: 30,000 psi is 207 MPa and
    // 10,000 psi 68.9 MPa, to three figures.
    const StressScale metric = StressScale::FromSettings(StressMeasure::Stress, "MPa");
    EXPECT_EQ(metric.BandOf(207), 5);
    EXPECT_EQ(metric.BandOf(206.9), 4);
    EXPECT_EQ(metric.BandOf(68.9), 1);
}

TEST(DisplacedCentreLine, FollowsTheBeamShapeOfItsEnds) {
    // A cantilever along x, fixed at its start, its tip moved down δ = 10 and turned to the
    // slope of a tip-loaded cantilever, PL²/(2EI) = 1.5·δ/L.
    const Vec3 a{0, 0, 0}, b{1000, 0, 0};
    NodeMotion fixed, tip;
    tip.translation = {0, 0, -10};
    tip.rotation = {0, 0.015, 0}; // about +y: the axis dips (θ × x = (0, 0, -θ))
    const std::vector<Vec3> line = DisplacedCentreLine(a, b, fixed, tip, 1.0, 101);
    ASSERT_EQ(line.size(), 101u);
    EXPECT_EQ(line.front(), a);
    EXPECT_NEAR(line.back()[0], 1000, 1e-9);
    EXPECT_NEAR(line.back()[2], -10, 1e-9);
    // Leaves the fixed end tangent to the original: the first step's sag is second order.
    EXPECT_NEAR(line[1][2] / 10.0, 0, 2e-4);
    // The tip-loaded cantilever's deflection, v(x) = P x²(3L − x)/(6EI), with PL³/(3EI) = 10:
    // at mid-span 10·(5/16).
    EXPECT_NEAR(line[50][2], -10 * 5.0 / 16.0, 1e-9);
    // Magnified twice, every point moves twice as far; axial movement stays linear.
    NodeMotion stretched = tip;
    stretched.translation = {4, 0, -10};
    const std::vector<Vec3> twice = DisplacedCentreLine(a, b, fixed, stretched, 2.0, 5);
    EXPECT_NEAR(twice[2][0], 500 + 2 * 2, 1e-9);
    EXPECT_NEAR(twice[4][2], -20, 1e-9);
    EXPECT_TRUE(DisplacedCentreLine(a, a, fixed, tip, 1, 5).empty());
}

namespace {

const char* kModel = R"({"units": "mm", "elements": [
    {"from": 10, "to": 20, "delta": [1000, 0, 0], "od": 100},
    {"from": 20, "to": 30, "delta": [1000, 0, 0]},
    {"from": 20, "to": 40, "delta": [0, 1000, 0]}],
  "anchors": [{"node": 10}], "tees": [{"node": 20}]})";

const char* kResults = R"({"format": "ketra-results/1",
  "units": {"length": "mm", "rotation": "rad", "force": "N", "moment": "N.m", "stress": "MPa"},
  "cases": [
   {"name": "OPE", "kind": "operating",
    "displacements": [{"node": 30, "d": [0, 0, -5]}, {"node": 40, "d": [0, 0, -2]}],
    "stresses": [{"element": [10, 20], "start": {"stress": 130, "allowable": 100}, "end": {"stress": 10, "allowable": 100}},
                 {"element": [20, 30], "start": {"stress": 30, "allowable": 100}, "end": {"stress": 5, "allowable": 100}}],
    "supports": [{"node": 10, "f": [0, 0, 500], "m": [0, 20, 0]}]},
   {"name": "SUS", "kind": "sustained",
    "stresses": [{"element": [10, 20], "start": {"stress": 50, "allowable": 100}, "end": {"stress": 10, "allowable": 100}}]}]})";

// The diffuse colour the segment's faces are drawn in ("R=1 G=0 B=0": short, canonical text).
std::string NetFaceColour(long segment) {
    std::string colour(1024, '\0');
    HC_Open_Segment_By_Key(segment);
    HC_Show_One_Net_Color("faces", colour.data());
    HC_Close_Segment();
    return colour.c_str();
}

struct Shape {
    long key;
    int points, faces;
    bool operator==(const Shape&) const = default;
};

// Every shell of the drawn library, in walk order: what the renderer tessellates.
std::vector<Shape> Shells() {
    std::vector<Shape> out;
    HC_Begin_Contents_Search("/include library/halden/...", "shells");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key)) {
        int points = 0, faces = 0;
        HC_Show_Shell_Size(key, &points, &faces);
        out.push_back({key, points, faces});
    }
    HC_End_Contents_Search();
    return out;
}

// The z of each displaced polyline's last point, in drawing order.
std::vector<float> DisplacedEnds(ketra::plotter::Plotter& plotter) {
    std::vector<float> out;
    HC_Open_Segment_By_Key(plotter.Model().GetModelKey());
    HC_Begin_Contents_Search("results/displaced shape", "polylines");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key)) {
        int count = 0;
        HC_Show_Polyline_Count(key, &count);
        std::vector<float> points(3 * count);
        HC_Show_Polyline(key, &count, points.data());
        out.push_back(points.back());
    }
    HC_End_Contents_Search();
    HC_Close_Segment();
    return out;
}

} // namespace

TEST(AnimationPhase, FramesDifferAndReturnHome) {
    LoadCase still, mode;
    mode.kind = CaseKind::Modal;
    for (const LoadCase* c : {&still, &mode}) {
        const double period = AnimationPeriod(*c);
        EXPECT_NEAR(AnimationPhase(*c, 0), 0, 1e-12);
        EXPECT_NEAR(AnimationPhase(*c, 3 * period), 0, 1e-9) << "home after whole periods";
        EXPECT_GT(std::fabs(AnimationPhase(*c, period / 4) - AnimationPhase(*c, period / 8)), 0.1);
    }
    // A static case goes from rest to full and back; a mode swings both ways.
    EXPECT_NEAR(AnimationPhase(still, AnimationPeriod(still) / 2), 1, 1e-12);
    EXPECT_GE(AnimationPhase(still, AnimationPeriod(still) * 0.8), 0);
    EXPECT_NEAR(AnimationPhase(mode, AnimationPeriod(mode) * 0.75), -1, 1e-9);
}

TEST(ResultsDisplay, ACaseColoursItsElementsAndSwitchingLeavesTheTessellatedModelAlone) {
    auto model = ketra::host::ParsePipingModel(kModel, "m.json");
    ASSERT_TRUE(model.ok) << model.error;
    ketra::plotter::Plotter plotter;
    std::string error;
    ASSERT_TRUE(plotter.Start({}, &error)) << error;
    plotter.Draw(model.model);
    auto results = ParseResults(kResults, "r.json", model.model);
    ASSERT_TRUE(results.ok) << results.error;
    const long pipe = plotter.Registry().Find(10, 20);
    const long tee = HC_Create_Segment("/include library/halden/tees/20");
    const long quiet = plotter.Registry().Find(20, 40); // no stresses in any case
    const std::string styled = NetFaceColour(pipe), teeStyled = NetFaceColour(tee);
    const std::vector<Shape> shells = Shells();
    ASSERT_FALSE(shells.empty());

    ResultsDisplay display(plotter, model.model, results.results);
    DisplayOptions options;
    options.loads = true;
    ASSERT_TRUE(display.Show("OPE", options));
    const std::string over = NetFaceColour(pipe);
    EXPECT_NE(over, styled);
    EXPECT_EQ(NetFaceColour(tee), over) << "a tee takes the worst of its elements";
    EXPECT_EQ(NetFaceColour(quiet), NetFaceColour(plotter.Registry().Find(20, 40)));
    const std::vector<std::string> legend = display.LegendLines();
    ASSERT_GE(legend.size(), 9u);
    EXPECT_EQ(legend[0], "OPE (operating)");
    EXPECT_EQ(legend[2], ">= 100");
    EXPECT_EQ(legend[7], "< 20");
    EXPECT_EQ(legend[8], "Largest 130 % at node 10 (element 10-20)");
    EXPECT_NE(legend.back().find("Support loads: largest force 500 N at node 10"), std::string::npos);
    // Auto scale: the largest movement (5) shows as a tenth of the model's extent (2000).
    EXPECT_DOUBLE_EQ(display.Scale(), 40);

    ASSERT_TRUE(display.Show("SUS", options));
    EXPECT_NE(NetFaceColour(pipe), over);
    EXPECT_EQ(display.LegendLines()[0], "SUS (sustained)");
    EXPECT_FALSE(display.Show("HYD", options));
    EXPECT_EQ(display.Current()->name, "SUS");
    EXPECT_EQ(Shells(), shells) << "a case switch re-made the model's shells";

    // An animation frame moves the displaced shape alone: at rest it lies on the model.
    ASSERT_TRUE(display.Show("OPE", options));
    const std::vector<float> full = DisplacedEnds(plotter);
    ASSERT_EQ(full.size(), 3u);
    EXPECT_FLOAT_EQ(full[1], float(-5 * display.Scale())); // node 30
    ASSERT_TRUE(display.SetPhase(0));
    EXPECT_EQ(DisplacedEnds(plotter), std::vector<float>(3, 0.0f));
    EXPECT_EQ(display.LegendLines()[0], "OPE (operating)");
    ASSERT_TRUE(display.SetPhase(1));
    EXPECT_EQ(DisplacedEnds(plotter), full);
    EXPECT_EQ(Shells(), shells);

    // A page carries every case, and writing it leaves the view as it was.
    std::string page;
    ASSERT_TRUE(ketra::io::BuildHtmlPage("<!-- $$results_json$$ -->\n<!-- $$scene_glb_base64$$ -->",
                                         plotter.View().GetViewKey(), {}, page, &error))
        << error;
    EXPECT_NE(page.find(R"({"name":"SUS","swing":false,"period":3,"groupColours":[[)"), std::string::npos);
    EXPECT_NE(page.find(R"({"text":"\u003e= 100","swatch":[1,0,0]})"), std::string::npos);
    EXPECT_EQ(NetFaceColour(pipe), over);
    EXPECT_EQ(DisplacedEnds(plotter), full);

    // The element information's lines: stresses at both ends, movements; a support's loads.
    using Lines = ketra::plotter::InfoLines;
    EXPECT_EQ(display.ElementLines(20, 30),
              (Lines{{"Load case", "OPE (operating)"}, {"Code stress", "20: 30 MPa, 30: 5 MPa"},
                     {"Allowable", "20: 100 MPa, 30: 100 MPa"}, {"Stress ratio", "20: 30 %, 30: 5 %"},
                     {"Movement at 30", "(0, 0, -5) mm"}}));
    EXPECT_EQ(display.ElementLines(10, 10),
              (Lines{{"Load case", "OPE (operating)"}, {"Support force", "(0, 0, 500) N"},
                     {"Support moment", "(0, 20, 0) N.m"}}));
    EXPECT_TRUE(display.ElementLines(20, 40).size() == 2u) << "no stresses: the far node's movement only";
    ketra::plotter::ElementInfo info;
    ASSERT_TRUE(plotter.Describe(plotter.Registry().Find(20, 30), &info));
    EXPECT_EQ(info.extra, display.ElementLines(20, 30)) << "the element information shows the case";

    // Node numbers: all, or a selection's.
    EXPECT_EQ(ShowNodeNumbers(plotter, model.model), 4);
    EXPECT_EQ(NodesOf(plotter, {pipe, quiet}), (std::vector<int>{10, 20, 40}));
    EXPECT_EQ(ShowNodeNumbers(plotter, model.model, {40, 99}), 1);
    HideNodeNumbers(plotter);

    display.Clear();
    EXPECT_FALSE(display.SetPhase(1));
    EXPECT_TRUE(display.ElementLines(20, 30).empty());
    ASSERT_TRUE(plotter.Describe(plotter.Registry().Find(20, 30), &info));
    EXPECT_TRUE(info.extra.empty());
    EXPECT_EQ(NetFaceColour(pipe), styled);
    EXPECT_EQ(NetFaceColour(tee), teeStyled);
    EXPECT_EQ(HC_QShow_Existence("/include library/halden/tees/20", "self"), 1);
}
