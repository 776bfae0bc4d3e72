#include "host/JsonDocument.h"
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"

#include <sstream>

#include <gtest/gtest.h>

using namespace ketra::host;

namespace {

const char* kSmall = R"({
  "title": "pump discharge",
  "units": "in",
  "nodes": [ { "id": 10, "at": [0, 0, 0] } ],
  "elements": [
    { "from": 10, "to": 20, "delta": [0, 0, 120], "od": 6.625, "wall": 0.28,
      "bend": { "radius": 9 } },
    { "from": 20, "to": 30, "delta": [240, 0, 0] },
    { "from": 30, "to": 40, "delta": [0, 120, 0], "reducer": { "od": 4.5 } },
    { "from": 40, "to": 50, "delta": [0, 24, 0], "rigid": true },
    { "from": 30, "to": 35, "delta": [0, -60, 0] }
  ],
  "restraints": [ { "node": 30, "direction": "Z" },
                  { "node": 40, "cosines": [3, 4, 0], "stiff": true } ],
  "hangers": [ { "node": 20 } ],
  "anchors": [ { "node": 10 } ],
  "tees": [ { "node": 30 } ],
  "steel": [ { "section": "channel", "from": [0, -20, 100], "to": [0, 20, 100],
               "dims": [6, 2, 0.3, 0.2], "turn": 90 } ]
})";

std::string ErrorOf(const std::string& text) {
    LoadResult r = ParsePipingModel(text, "m.json");
    EXPECT_FALSE(r.ok) << text;
    return r.error;
}

} // namespace

TEST(PipingModel, ResolvesNodesFromDeltasAndCarriesDiameterForward) {
    LoadResult r = ParsePipingModel(kSmall, "m.json");
    ASSERT_TRUE(r.ok) << r.error;
    const PipingModel& m = r.model;
    EXPECT_EQ(m.title, "pump discharge");
    ASSERT_EQ(m.elements.size(), 5u);
    EXPECT_EQ(m.nodes.at(20), (Vec3{0, 0, 120}));
    EXPECT_EQ(m.nodes.at(30), (Vec3{240, 0, 120}));
    EXPECT_EQ(m.nodes.at(35), (Vec3{240, -60, 120}));
    EXPECT_EQ(m.nodes.at(50), (Vec3{240, 144, 120}));
    EXPECT_DOUBLE_EQ(m.elements[1].od, 6.625);  // carried forward
    EXPECT_DOUBLE_EQ(m.elements[1].wall, 0.28); // carried forward
    EXPECT_DOUBLE_EQ(m.elements[3].od, 4.5);    // after the reducer
    ASSERT_TRUE(m.elements[0].bendRadius);
    EXPECT_DOUBLE_EQ(*m.elements[0].bendRadius, 9);
    EXPECT_TRUE(m.elements[3].rigid);
    EXPECT_EQ(m.restraints[0].direction, 3);
    EXPECT_EQ(m.restraints[1].cosines, "0.6, 0.8, 0"); // normalised
    EXPECT_TRUE(m.restraints[1].stiff);
    EXPECT_EQ(m.steel[0].section, SteelSection::Channel);
    EXPECT_EQ(m.ElementsAt(30).size(), 3u);
}

TEST(PipingModel, ErrorsNameFileLineAndColumn) {
    // Syntax error: the position of the bad byte.
    EXPECT_EQ(ErrorOf("{\n  \"units\": in\n}"), ErrorOf("{\n  \"units\": in\n}"));
    EXPECT_EQ(ErrorOf("{\n  \"units\": in\n}").rfind("m.json:2:", 0), 0u);
    // Unknown key: the position of the key.
    EXPECT_EQ(ErrorOf("{\n  \"elemnts\": []\n}"), "m.json:2:3: unknown key \"elemnts\" in the model");
    // Wrong type: the position of the value.
    EXPECT_EQ(ErrorOf("{\"units\": 3}"), "m.json:1:11: \"units\" must be a string, not a number");
    // Duplicate key.
    EXPECT_EQ(ErrorOf("{\"units\": \"in\", \"units\": \"mm\"}"), "m.json:1:17: duplicate key \"units\"");
}

TEST(PipingModel, RejectsBadGeometryAndReferences) {
    const std::string head = R"({"elements": [)";
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [0, 0, 0], "od": 2}]})").find("zero length"),
              std::string::npos);
    // Numbers too large for a double are refused where they stand.
    EXPECT_EQ(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [0, 0, 1e999], "od": 2}]})"),
              "m.json:1:58: number overflow parsing '1e999'");
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [0, 0, 1]}]})").find("outer diameter"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [0, 0, 1], "od": -2}]})").find("greater than zero"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2},
                                {"from": 70, "to": 80, "delta": [1, 0, 0]}]})")
                  .find("node 70 has no coordinates"),
              std::string::npos);
    // A closed loop whose deltas disagree.
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2},
                                {"from": 20, "to": 30, "delta": [0, 1, 0]},
                                {"from": 30, "to": 10, "delta": [-1, 0, 0]}]})")
                  .find("already lies elsewhere"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2}],
                       "restraints": [{"node": 99, "direction": "Y"}]})")
                  .find("node 99"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2}],
                       "restraints": [{"node": 20, "direction": "W"}]})")
                  .find("X, Y, Z"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2, "bend": {"radius": 3}}]})")
                  .find("needs an element that starts there"),
              std::string::npos);
    EXPECT_NE(ErrorOf(head + R"({"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2}], "tees": [{"node": 20}]})")
                  .find("exactly three"),
              std::string::npos);
    EXPECT_NE(ErrorOf("{}").find("no elements"), std::string::npos);
    EXPECT_NE(ErrorOf("[]").find("must be an object"), std::string::npos);
}

TEST(PipingModel, CoordinatesBeyondWhatTheSceneHoldsAreRefusedWhereTheyArise) {
    // A node given too far out.
    EXPECT_EQ(ErrorOf(R"({"nodes": [{"id": 10, "at": [0, 1e39, 0]}],
 "elements": [{"from": 10, "to": 20, "delta": [1, 0, 0], "od": 2}]})"),
              "m.json:1:29: node 10 lies at (0, 1e+39, 0), beyond the 1e9 that coordinates may reach");
    // Each number finite, their sum not: the element that computes it is named.
    EXPECT_EQ(ErrorOf(R"({"nodes": [{"id": 10, "at": [1e308, 0, 0]}],
 "elements": [{"from": 10, "to": 20, "delta": [1e308, 0, 0], "od": 2}]})"),
              "m.json:1:29: node 10 lies at (1e+308, 0, 0), beyond the 1e9 that coordinates may reach");
    EXPECT_EQ(ErrorOf(R"({"elements": [{"from": 10, "to": 20, "delta": [6e8, 0, 0], "od": 2},
              {"from": 20, "to": 30, "delta": [6e8, 0, 0]}]})"),
              "m.json:2:47: element 20-30 puts node 30 at (1.2e+09, 0, 0), beyond the 1e9 that coordinates may reach");
    // A long run up to the limit still loads.
    EXPECT_TRUE(ParsePipingModel(R"({"elements": [{"from": 10, "to": 20, "delta": [5e8, 0, 0], "od": 2},
              {"from": 20, "to": 30, "delta": [5e8, 0, 0]}]})", "m.json").ok);
}

TEST(PipingModel, HugeDocumentsAreRefusedBeforeTheTreeIsBuilt) {
    // Bare numbers cost far more as a tree than as text: the count is checked first, and the
    // message points at the separator before the first value over the limit.
    std::string text = "{\"title\": \"many\", \"nodes\": [0";
    for (std::size_t i = 1; i < kMaxJsonValues + 10; ++i)
        text += ",0";
    text += "]}";
    const std::string column = std::to_string(std::string("{\"title\": \"many\", \"nodes\": [0").size() +
                                               2 * (kMaxJsonValues - 5) + 1);
    EXPECT_EQ(ErrorOf(text), "m.json:1:" + column + ": more than " + std::to_string(kMaxJsonValues) + " values");
    // Commas, brackets and colons inside strings are not values.
    const std::string quoted(kMaxJsonValues + 10, ',');
    EXPECT_EQ(ErrorOf("{\"title\": \"" + quoted + "\\\"\"}").find("more than"), std::string::npos);
}

TEST(PipingModel, DuplicateKeysAreFoundAmongManyKeys) {
    std::string text = "{\"title\": {";
    for (int i = 0; i < 100000; ++i)
        text += "\"k" + std::to_string(i) + "\": 0, ";
    const std::size_t column = text.size() + 1;
    text += "\"k77\": 1}}";
    EXPECT_EQ(ErrorOf(text), "m.json:1:" + std::to_string(column) + ": duplicate key \"k77\"");
    // The same key in sibling objects is no duplicate.
    EXPECT_EQ(ErrorOf(R"({"title": [{"a": 1}, {"a": 2}]})").find("duplicate"), std::string::npos);
}

TEST(PipingModel, EveryTruncationFailsCleanly) {
    const std::string text = kSmall;
    for (std::size_t n = 0; n < text.size(); ++n) {
        LoadResult r = ParsePipingModel(text.substr(0, n), "t.json");
        EXPECT_FALSE(r.ok) << "prefix of " << n << " bytes loaded";
        EXPECT_EQ(r.error.rfind("t.json:", 0), 0u) << r.error;
    }
}

TEST(PipingModel, DeepNestingIsRefusedNotCrashed) {
    std::string deep = "{\"title\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_NE(ErrorOf(deep).find("deeper than"), std::string::npos);
}

TEST(PipingModel, MissingFileIsReported) {
    LoadResult r = LoadPipingModel("/nonexistent/plant.json");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "/nonexistent/plant.json: cannot open the model file");
}

TEST(ModelGenerator, WritesLoadableModelsOfAboutTheRequestedSize) {
    for (int n : {1, 500, 5000}) {
        std::ostringstream out;
        GenerateModel(out, n);
        LoadResult r = ParsePipingModel(out.str(), "generated.json");
        ASSERT_TRUE(r.ok) << r.error;
        const auto count = static_cast<int>(r.model.elements.size());
        EXPECT_GE(count, std::min(n, 40));
        EXPECT_LE(count, n + 60);
        EXPECT_FALSE(r.model.restraints.empty());
        EXPECT_FALSE(r.model.hangers.empty());
        EXPECT_FALSE(r.model.tees.empty());
        EXPECT_FALSE(r.model.steel.empty());
    }
}

// Analysis data: carried forward like the diameter, read by the unit system, and every bad
// value named where it stands.
TEST(PipingModel, AnalysisDataCarriesForwardAndIsCheckedKeyByKey) {
    LoadResult r = ParsePipingModel(R"({"material": {"E": 29.5e6, "expansion": [[70, 6.07e-6], [300, 6.6e-6]], "density": 0.2836},
      "elements": [{"from": 1, "to": 2, "delta": [100, 0, 0], "od": 6.625, "wall": 0.28, "temperature": 300,
                    "pressure": 150, "contents": 0.0361, "insulation": {"thickness": 2, "density": 0.0058}},
                   {"from": 2, "to": 3, "delta": [10, 0, 0], "rigid": true, "weight": 80},
                   {"from": 3, "to": 4, "delta": [50, 0, 0], "temperature": 200, "material": {"E": 28e6}},
                   {"from": 4, "to": 5, "delta": [50, 0, 0]}],
      "hangers": [{"node": 2, "rate": 800, "coldLoad": 650}], "masses": [{"node": 3, "mass": 40}], "forces": [{"node": 5, "m": [0, 0, 7]}],
      "restraints": [{"node": 4, "direction": "-Z", "oneWay": true}, {"node": 5, "direction": "Y", "rate": 1e4}]})",
                                    "m.json");
    ASSERT_TRUE(r.ok) << r.error;
    const PipingModel& m = r.model;
    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_EQ(m.materials[0].expansionTable.size(), 2u);
    EXPECT_DOUBLE_EQ(m.materials[0].expansionReference, 70); // the inch system's room temperature
    EXPECT_EQ(m.elements[1].material, 0);
    EXPECT_DOUBLE_EQ(*m.elements[1].temperature, 300);
    EXPECT_DOUBLE_EQ(m.elements[1].pressure, 150);
    EXPECT_DOUBLE_EQ(m.elements[1].insulation.thickness, 2);
    EXPECT_DOUBLE_EQ(*m.elements[1].weight, 80);
    EXPECT_FALSE(m.elements[2].weight); // not carried
    EXPECT_EQ(m.elements[3].material, 1);
    EXPECT_DOUBLE_EQ(*m.elements[3].temperature, 200);
    EXPECT_DOUBLE_EQ(m.elements[3].contents, 0.0361);
    EXPECT_DOUBLE_EQ(*m.hangers[0].coldLoad, 650);
    EXPECT_TRUE(m.restraints[0].oneWay);
    EXPECT_TRUE(m.restraints[1].stiff); // a rate makes it a spring
    EXPECT_DOUBLE_EQ(m.masses[0].mass, 40);
    EXPECT_EQ(m.forces[0].moment, (Vec3{0, 0, 7}));

    const std::string head = R"({"elements": [{"from": 1, "to": 2, "delta": [10, 0, 0], "od": 4, "wall": 0.2)";
    EXPECT_EQ(ErrorOf(head + R"(, "temperature": -500}]})"), "m.json:1:94: \"temperature\" lies below absolute zero");
    EXPECT_EQ(ErrorOf(head + R"(, "weight": 5}]})"), "m.json:1:89: \"weight\" is for rigid elements");
    EXPECT_EQ(ErrorOf(head + R"(, "corrosion": 0.2}]})"), "m.json:1:92: \"corrosion\" must be less than the wall");
    EXPECT_EQ(ErrorOf(head + R"(, "material": {"E": 1, "poisson": 0.5}}]})"),
              "m.json:1:111: \"poisson\" must lie from 0 to below 0.5, not 0.5");
    EXPECT_EQ(ErrorOf(head + R"(, "material": {"E": 1, "expansion": [[300, 1], [70, 1]]}}]})"),
              "m.json:1:124: the temperatures of \"expansion\" must rise from row to row");
    EXPECT_EQ(ErrorOf(head + R"(, "material": {"E": 1, "alpha": 1}}]})"), "m.json:1:100: unknown key \"alpha\" in a material");
    EXPECT_EQ(ErrorOf(head + R"(, "jointStiffness": {"axial": 1, "bending": 1}}]})"),
              "m.json:1:97: \"jointStiffness\" is for expansion joints");
    EXPECT_EQ(ErrorOf(head + R"(}], "hangers": [{"node": 2, "rate": 0}]})"),
              "m.json:1:113: \"rate\" must be greater than zero, not 0");
}
