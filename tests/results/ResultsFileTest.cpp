#include "results/ResultsFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ketra::results;

namespace {

// An L of two elements in millimetres: 10 -> 20 along x, 20 -> 30 along y.
ketra::host::PipingModel Model(const char* units = "mm") {
    auto r = ketra::host::ParsePipingModel(
        std::string(R"({"units": ")") + units + R"(", "elements": [
            {"from": 10, "to": 20, "delta": [1000, 0, 0], "od": 100},
            {"from": 20, "to": 30, "delta": [0, 1000, 0]}], "anchors": [{"node": 10}]})",
        "model.json");
    EXPECT_TRUE(r.ok) << r.error;
    return r.model;
}

// Line 2 onwards is the case list, so that an error's line tells which case it is in.
const std::string kHead = R"({"format": "ketra-results/1", "units": {"length": "in", "rotation": "deg", "force": "N", "moment": "N.m", "stress": "MPa"},
"cases": [)";

const std::string kCases = R"({"name": "OPE", "kind": "operating",
 "displacements": [{"node": 20, "d": [1, 0, -2], "r": [0, 90, 0]}, {"node": 30, "d": [0, 3, 0]}],
 "forces": [{"element": [10, 20], "start": {"f": [0, 0, 812], "m": [0, 1530, 0]}, "end": {"f": [0, 0, -812]}}],
 "stresses": [{"element": [10, 20], "start": {"stress": 60, "allowable": 120}, "end": {"stress": -150, "allowable": 120, "ratio": 1.25}},
              {"element": [20, 30], "start": {"stress": 10}, "end": {"stress": 5}}],
 "supports": [{"node": 10, "f": [0, 0, -812], "m": [0, -1530, 0]}]},
{"name": "Mode 1", "kind": "modal", "frequency": 4.5, "displacements": [{"node": 30, "d": [0.5, 0, 0]}]}]})";

std::string ErrorOf(const std::string& text, const char* units = "mm") {
    ResultsLoad r = ParseResults(text, "r.json", Model(units));
    EXPECT_FALSE(r.ok);
    return r.error;
}

std::string WithCase(const std::string& oneCase) { return kHead + oneCase + "]}"; }

} // namespace

TEST(ResultsFile, ReadsEveryPartInTheModelsUnits) {
    ResultsLoad r = ParseResults(kHead + kCases, "r.json", Model("mm"));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.results.cases.size(), 2u);
    EXPECT_EQ(r.results.CaseNames(), "OPE, Mode 1");
    const LoadCase& ope = *r.results.Find("OPE");
    EXPECT_EQ(ope.kind, CaseKind::Operating);
    // Inches to the model's millimetres, degrees to radians.
    EXPECT_DOUBLE_EQ(ope.displacements.at(20).translation[0], 25.4);
    EXPECT_DOUBLE_EQ(ope.displacements.at(20).translation[2], -50.8);
    EXPECT_DOUBLE_EQ(ope.displacements.at(20).rotation[1], M_PI / 2);
    EXPECT_DOUBLE_EQ(ope.forces.at({10, 20})[0].moment[1], 1530);
    EXPECT_EQ(ope.forces.at({10, 20})[1].moment, (Vec3{0, 0, 0}));
    EXPECT_DOUBLE_EQ(*ope.stresses.at({10, 20})[0].ratio, 0.5); // worked out from the allowable
    EXPECT_DOUBLE_EQ(*ope.stresses.at({10, 20})[1].ratio, 1.25); // as given
    EXPECT_FALSE(ope.stresses.at({20, 30})[0].ratio);            // no allowable, no ratio
    EXPECT_DOUBLE_EQ(ope.supports.at(10).force[2], -812);
    EXPECT_EQ(*r.results.Find("Mode 1")->frequency, 4.5);
    EXPECT_EQ(r.results.Find("SUS"), nullptr);

    CaseExtremes x = Extremes(ope);
    EXPECT_DOUBLE_EQ(*x.ratio, 1.25);
    EXPECT_EQ(x.ratioElement, (ElementKey{10, 20}));
    EXPECT_EQ(x.ratioNode, 20);
    EXPECT_DOUBLE_EQ(*x.stress, 150);
    EXPECT_EQ(x.movementNode, 30);
    EXPECT_DOUBLE_EQ(*x.movement, 3 * 25.4);
    EXPECT_FALSE(Extremes(*r.results.Find("Mode 1")).ratio);

    // The same file on an inch model keeps inches.
    ResultsLoad inches = ParseResults(kHead + kCases, "r.json", Model("in"));
    ASSERT_TRUE(inches.ok) << inches.error;
    EXPECT_DOUBLE_EQ(inches.results.cases[0].displacements.at(20).translation[0], 1);
}

TEST(ResultsFile, EveryTruncationFailsWithItsPosition) {
    const std::string text = kHead + kCases;
    const ketra::host::PipingModel model = Model();
    for (std::size_t n = 0; n < text.size(); ++n) {
        ResultsLoad r = ParseResults(text.substr(0, n), "r.json", model);
        ASSERT_FALSE(r.ok) << "a prefix of " << n << " bytes was read";
        ASSERT_EQ(r.error.rfind("r.json:", 0), 0u) << r.error;
    }
}

TEST(ResultsFile, FaultsAreNamedWhereTheyStand) {
    struct Case {
        std::string text, error;
    };
    const Case cases[] = {
        {WithCase(R"({"name": "A", "kind": "operating", "displacements": [{"node": 99, "d": [0, 0, 0]}]})"),
         "r.json:2:73: node 99 is not in the model"},
        {WithCase(R"({"name": "A", "kind": "operating", "forces": [{"element": [10, 30], "start": {}, "end": {}}]})"),
         "r.json:2:69: element 10-30 is not in the model"},
        {WithCase(R"({"name": "A", "kind": "operating", "stresses": [{"element": [20, 10], "start": {}, "end": {}}]})"),
         "element 20-10 is written the other way round: the model has 10-20"},
        {WithCase(R"({"name": "A", "kind": "operating"}, {"name": "A", "kind": "sustained"})"),
         "r.json:2:47: the case \"A\" is given twice"},
        {WithCase(R"({"name": "A", "kind": "operating", "supports": [{"node": 10}, {"node": 10}]})"),
         "node 10 is given twice in the support loads of \"A\""},
        {WithCase(R"({"name": "A", "kind": "operating", "frequency": 3})"), "\"frequency\" belongs to modal cases"},
        {WithCase(R"({"name": "A", "kind": "modal"})"), "a load case needs \"frequency\""},
        {WithCase(R"({"name": "A", "kind": "hot"})"), "\"kind\" must be"},
        {WithCase(R"({"name": "A", "kind": "operating", "colour": 1})"), "r.json:2:46: unknown key \"colour\" in a load case"},
        {WithCase(R"({"name": "A", "kind": "operating", "stresses": [{"element": [10, 20], "start": {"stress": 1, "allowable": -5}, "end": {"stress": 1}}]})"),
         "\"allowable\" must be greater than zero"},
        {R"({"format": "ketra-results/1", "cases": [{"name": "A", "kind": "sustained", "supports": [{"node": 10, "f": [0, 0, 1]}]}]})",
         "r.json:1:107: the file gives values that need \"units\": {\"force\": ...}"},
        {R"({"format": "ketra-results/1", "units": {"length": "yd"}, "cases": []})", "\"length\" must be one of"},
        {R"({"format": "ketra-results/1", "cases": []})", "\"cases\" must be an array of at least one load case"},
        {R"({"format": "ketra-results/2", "cases": []})", "unsupported format"},
    };
    for (const Case& c : cases) {
        std::string error = ErrorOf(c.text);
        EXPECT_NE(error.find(c.error), std::string::npos) << "expected " << c.error << "\ngot " << error;
    }
    ResultsLoad missing = LoadResults("/nonexistent/r.json", Model());
    EXPECT_EQ(missing.error, "/nonexistent/r.json: cannot open the results file");
}
