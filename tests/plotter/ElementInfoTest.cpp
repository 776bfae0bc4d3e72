// What the window tells about an element: the labelled lines of a drawn model's elements and
// supports, found from any key inside the element's segment, in the model's unit, with the
// lines another module adds.
#include "plotter/ElementInfo.h"

#include "platform/hc/HcStrings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "plotter/Plotter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace ketra;

namespace {

// A 135° turn would read 45° if the angle were taken between the wrong directions.
const char* const kModel = R"({
  "format": "ketra-model/1", "units": "mm",
  "nodes": [ { "id": 10, "at": [1000, 0, 0] } ],
  "elements": [
    { "from": 10, "to": 20, "delta": [1500, 0, 0], "od": 168.3, "wall": 7.11, "bend": { "radius": 228.6 } },
    { "from": 20, "to": 30, "delta": [-1000, 1000, 0] },
    { "from": 30, "to": 40, "delta": [0, 500, 0], "reducer": { "od": 114.3 } }
  ],
  "restraints": [ { "node": 30, "direction": "-Z", "stiff": true } ]
})";

std::string Value(const plotter::ElementInfo& info, const std::string& label) {
    for (const auto& [l, v] : info.lines)
        if (l == label)
            return v;
    return "(no " + label + ")";
}

class ElementInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/element-info-test-registry.reg").c_str(), 1);
        host::LoadResult r = host::ParsePipingModel(kModel, "info.json");
        ASSERT_TRUE(r.ok) << r.error;
        model = r.model;
        std::string error;
        ASSERT_TRUE(plotter.Start({}, &error)) << error;
        plotter.Draw(model);
    }
    // A geometry item inside the segment drawn for nodes `name` ("10-20", "30").
    static HC_KEY GeometryIn(const char* kind, const char* name) {
        const std::string path = std::string("/include library/halden/") + kind + "/" + name + "/...";
        HC_Begin_Contents_Search(path.c_str(), "geometry");
        std::string type;
        HC_KEY key = -1;
        HC_Find_Contents(type, &key);
        HC_End_Contents_Search();
        return key;
    }
    host::PipingModel model;
    plotter::Plotter plotter;
};

} // namespace

TEST_F(ElementInfoTest, BendPipeReducerAndSupportTellWhatTheModelHolds) {
    plotter::ElementInfo bend;
    ASSERT_TRUE(plotter.Describe(GeometryIn("bends", "10-20"), &bend));
    EXPECT_EQ(bend.kind, "Bend");
    EXPECT_EQ(Value(bend, "OD"), "168.3 mm");
    EXPECT_EQ(Value(bend, "Wall"), "7.11 mm");
    EXPECT_EQ(Value(bend, "Length"), "1500 mm");
    EXPECT_EQ(Value(bend, "Bend radius"), "228.6 mm");
    EXPECT_EQ(Value(bend, "Angle"), "135\u00B0");
    EXPECT_EQ(Value(bend, "From position"), "(1000, 0, 0) mm");
    EXPECT_EQ(plotter::HoverText(bend),
              "Bend 10\u201320 \u00B7 OD 168.3 mm \u00B7 Wall 7.11 mm \u00B7 Length 1500 mm \u00B7 "
              "Bend radius 228.6 mm \u00B7 Angle 135\u00B0");

    plotter::ElementInfo pipe;
    ASSERT_TRUE(plotter.Describe(GeometryIn("pipes", "20-30"), &pipe));
    EXPECT_EQ(Value(pipe, "Length"), "1414.214 mm");
    EXPECT_EQ(Value(pipe, "Wall"), "7.11 mm");  // carried forward
    EXPECT_EQ(plotter::HoverText(pipe).find("Angle"), std::string::npos);

    plotter::ElementInfo reducer;
    ASSERT_TRUE(plotter.Describe(GeometryIn("pipes", "30-40"), &reducer));
    EXPECT_EQ(reducer.kind, "Reducer");
    EXPECT_EQ(Value(reducer, "OD at 40"), "114.3 mm");

    plotter::ElementInfo support;
    ASSERT_TRUE(plotter.Describe(GeometryIn("restraints", "30"), &support));
    EXPECT_EQ(plotter::InfoTitle(support), "Restraint at node 30");
    EXPECT_EQ(Value(support, "Direction"), "-Z");
    EXPECT_EQ(Value(support, "Type"), "spring");

    // Nothing of the model: the model segment itself, and a key gone stale.
    plotter::ElementInfo none;
    EXPECT_FALSE(plotter.Describe(plotter.Model().GetModelKey(), &none));
    const HC_KEY gone = GeometryIn("pipes", "20-30");
    HC_Delete_By_Key(gone);
    EXPECT_FALSE(plotter.Describe(gone, &none));
}

TEST_F(ElementInfoTest, ExtraLinesFollowInHoverAndPanelAndMeasurementsReadTheUnit) {
    int askedFrom = 0, askedTo = 0;
    plotter.SetExtraInfoLines([&](int from, int to) {
        askedFrom = from;
        askedTo = to;
        return plotter::InfoLines{{"Stress", "12 MPa"}};
    });
    plotter::ElementInfo info;
    ASSERT_TRUE(plotter.Describe(GeometryIn("bends", "10-20"), &info));
    EXPECT_EQ(askedFrom, 10);
    EXPECT_EQ(askedTo, 20);
    const std::string hover = plotter::HoverText(info);
    const std::string tail = " \u00B7 Stress 12 MPa";
    ASSERT_GT(hover.size(), tail.size());
    EXPECT_EQ(hover.substr(hover.size() - tail.size()), tail);
    const std::string panel = plotter::PanelText(info);
    EXPECT_LT(panel.find("In the file: "), panel.find("Stress: 12 MPa\n"));
    plotter.SetExtraInfoLines({});
    ASSERT_TRUE(plotter.Describe(GeometryIn("bends", "10-20"), &info));
    EXPECT_TRUE(info.extra.empty());

    // The measuring tool writes the model segment's unit after its distances.
    char unit[16] = "";
    HC_Open_Segment_By_Key(plotter.Model().GetModelKey());
    HC_Show_One_User_Option("units", unit);
    HC_Close_Segment();
    EXPECT_STREQ(unit, "mm");
}

TEST(ElementInfoText, NumbersAndUnits) {
    EXPECT_EQ(plotter::FormatNumber(6.625), "6.625");
    EXPECT_EQ(plotter::FormatNumber(1500.0), "1500");
    EXPECT_EQ(plotter::FormatNumber(0.00001), "0");
    EXPECT_EQ(plotter::FormatNumber(-0.0001), "0");
    EXPECT_EQ(plotter::FormatLength(4.5, host::Units::Inches), "4.5 in");
    EXPECT_EQ(plotter::UnitsText(host::Units::Inches), "Units: in");
    EXPECT_EQ(plotter::UnitsText(host::Units::Millimetres, "METRE", "MM"), "Units: mm (file: METRE, bore MM)");
}
