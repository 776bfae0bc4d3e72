// The PCF reader on files written by real programs (../shared/testdata/pcf, outside the
// sources; the tests skip when it is missing). Expected figures come from the files' text.
#include "PcfTestSupport.h"

#include "host/ModelWriter.h"
#include "host/PcfReader.h"
#include "host/SymbolScale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ketra::host;
using namespace ketra::host::test;

namespace {

std::string DataFolder() {
    if (const char* env = std::getenv("KETRA_PCF_TESTDATA"))
        return env;
    for (const char* up : {"/../shared/testdata/pcf", "/../../shared/testdata/pcf"}) {
        std::string dir = std::string(KETRA_SOURCE_DIR) + up;
        if (std::filesystem::exists(dir + "/isogen_siso.pcf"))
            return dir;
    }
    return {};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the text says, found with nothing but whitespace splitting: component blocks start at
// unindented lines whose keyword is a component keyword.
struct TextFigures {
    double pipeLength = 0;
    Vec3 boxMin{1e300, 1e300, 1e300}, boxMax{-1e300, -1e300, -1e300};
    struct Bend {
        Vec3 corner;
        double degrees;
    };
    std::vector<Bend> bends;
};

Vec3 Point(std::istringstream& words) {
    Vec3 p{};
    words >> p[0] >> p[1] >> p[2];
    return p;
}

TextFigures FiguresOf(const std::string& text) {
    static const std::set<std::string> kComponents = {
        "PIPE",         "ELBOW",          "BEND",        "TEE", "OLET",   "FLANGE",
        "FLANGE-BLIND", "VALVE",          "VALVE-ANGLE", "CAP", "FILTER", "INSTRUMENT-DIAL",
        "SUPPORT",      "MESSAGE-CIRCLE", "MATERIALS"};
    TextFigures f;
    std::istringstream lines(text);
    std::string line, component;
    std::vector<Vec3> ends;
    std::optional<Vec3> centre;
    auto finish = [&] {
        if (component == "PIPE" && ends.size() == 2)
            f.pipeLength +=
                Length({ends[1][0] - ends[0][0], ends[1][1] - ends[0][1], ends[1][2] - ends[0][2]});
        if ((component == "BEND" || component == "ELBOW") && ends.size() == 2 && centre) {
            TextFigures::Bend b{*centre, 0};
            Element in, out;
            for (int i = 0; i < 3; ++i) {
                in.delta[i] = (*centre)[i] - ends[0][i];
                out.delta[i] = ends[1][i] - (*centre)[i];
            }
            b.degrees = Deflection(in, out);
            f.bends.push_back(b);
        }
        ends.clear();
        centre.reset();
    };
    auto extend = [&](const Vec3& p) {
        for (int i = 0; i < 3; ++i) {
            f.boxMin[i] = std::min(f.boxMin[i], p[i]);
            f.boxMax[i] = std::max(f.boxMax[i], p[i]);
        }
    };
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        for (char& c : keyword)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!line.empty() && line[0] != ' ' && kComponents.count(keyword)) {
            finish();
            component = keyword;
            continue;
        }
        if (component == "MATERIALS" || component == "MESSAGE-CIRCLE")
            continue;
        if (keyword == "END-POINT" || keyword == "CENTRE-POINT" || keyword == "BRANCH1-POINT" ||
            keyword == "CO-ORDS") {
            Vec3 p = Point(words);
            // Valves' centre points are not drawn, and lie between their ends anyway.
            if (!(keyword == "CENTRE-POINT" && component == "VALVE"))
                extend(p);
            if (keyword == "END-POINT")
                ends.push_back(p);
            if (keyword == "CENTRE-POINT")
                centre = p;
        }
    }
    finish();
    return f;
}

class RealPcf : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        folder = DataFolder();
        if (folder.empty())
            GTEST_SKIP() << "no ../shared/testdata/pcf";
        text = ReadFile(folder + "/" + GetParam());
        result = ParsePcf(text, GetParam());
        ASSERT_TRUE(result.ok) << result.error;
    }
    std::string folder, text;
    PcfLoadResult result;
};

} // namespace

TEST(RealPcfFiles, ComponentsAndSupportsAreCounted) {
    const std::string folder = DataFolder();
    if (folder.empty())
        GTEST_SKIP() << "no ../shared/testdata/pcf";
    using Counts = std::map<std::string, int>;
    PcfLoadResult isogen = ParsePcf(ReadFile(folder + "/isogen_siso.pcf"), "isogen_siso.pcf");
    EXPECT_EQ(isogen.report.components, (Counts{{"BEND", 7},
                                                {"FLANGE", 4},
                                                {"MESSAGE-CIRCLE", 54},
                                                {"PIPE", 40},
                                                {"SUPPORT", 38},
                                                {"VALVE-ANGLE", 1}}));
    EXPECT_EQ(isogen.report.skipped, (Counts{{"MESSAGE-CIRCLE", 54}}));
    EXPECT_EQ(isogen.model.anchors.size(), 2u);     // SKEY ANCH
    EXPECT_EQ(isogen.model.restraints.size(), 36u); // SKID and GUID, one per direction record
    EXPECT_EQ(isogen.report.pipelines, std::vector<std::string>{"ISOGEN"});
    // Supports sized from the 48 in pipes, as for a model file without a symbol scale.
    EXPECT_TRUE(isogen.model.symbolScaleChosen);
    EXPECT_DOUBLE_EQ(isogen.model.symbolScale, ChooseSymbolScale(isogen.model));
    EXPECT_NEAR(isogen.model.symbolScale, 2 * 48 * 25.4, 1e-9);

    PcfLoadResult ng = ParsePcf(ReadFile(folder + "/ng-151841-102-03-test.pcf"), "ng.pcf");
    EXPECT_EQ(ng.report.components, (Counts{{"BEND", 1}, {"PIPE", 8}, {"SUPPORT", 7}, {"TEE", 3}}));
    EXPECT_EQ(ng.model.restraints.size(), 7u);
    EXPECT_TRUE(ng.report.warnings.empty()) << ng.report.warnings.front();

    PcfLoadResult revit = ParsePcf(ReadFile(folder + "/revit_export_compare.pcf"), "revit.pcf");
    EXPECT_EQ(revit.report.components, (Counts{{"CAP", 1},
                                               {"ELBOW", 19},
                                               {"FILTER", 1},
                                               {"FLANGE-BLIND", 3},
                                               {"INSTRUMENT-DIAL", 1},
                                               {"OLET", 7},
                                               {"PIPE", 38},
                                               {"TEE", 6},
                                               {"VALVE", 19},
                                               {"VALVE-ANGLE", 2}}));
    EXPECT_EQ(revit.report.unknownKeywords, (Counts{{"UNIQUE-COMPONENT-IDENTIFIER", 97}}));
    EXPECT_TRUE(revit.report.skipped.empty());
    // Six tees and seven olets, each where exactly three elements meet.
    EXPECT_EQ(revit.model.tees.size(), 13u);
}

TEST_P(RealPcf, IsOneConnectedRunWithNoZeroLengthElement) {
    EXPECT_EQ(ConnectedPieces(result.model), 1);
    for (const Element& e : result.model.elements)
        EXPECT_GT(Length(e.delta), 1.0)
            << "element " << e.from << "-" << e.to << " at line " << e.position.line;
    for (const NodeItem& t : result.model.tees)
        EXPECT_EQ(result.model.ElementsAt(t.node).size(), 3u);
}

TEST_P(RealPcf, PipeLengthAndBoxMatchTheText) {
    TextFigures f = FiguresOf(text);
    EXPECT_NEAR(result.report.pipeLength, f.pipeLength, 0.01);
    ASSERT_TRUE(result.report.hasBox);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(result.report.boxMin[i], f.boxMin[i], 0.01) << "axis " << i;
        EXPECT_NEAR(result.report.boxMax[i], f.boxMax[i], 0.01) << "axis " << i;
    }
    // Re-centred: the model's own co-ordinates are small, the origin puts them back.
    for (const auto& [id, p] : result.model.nodes)
        for (int i = 0; i < 3; ++i)
            EXPECT_LE(std::fabs(p[i]), (f.boxMax[i] - f.boxMin[i]) / 2 + 1.0);
}

TEST_P(RealPcf, EveryBendTurnsAsItsGeometrySays) {
    TextFigures f = FiguresOf(text);
    int modelBends = 0;
    for (const Element& e : result.model.elements)
        modelBends += e.bendRadius.has_value();
    EXPECT_EQ(modelBends, static_cast<int>(f.bends.size()));
    for (const TextFigures::Bend& b : f.bends) {
        int corner = NodeAt(result.model, b.corner, 1.0);
        ASSERT_NE(corner, 0);
        const Element* bend = nullptr;
        for (const Element& e : result.model.elements)
            if (e.bendRadius && e.to == corner)
                bend = &e;
        ASSERT_NE(bend, nullptr);
        const Element* next = result.model.FirstFrom(corner);
        ASSERT_NE(next, nullptr);
        EXPECT_NEAR(Deflection(*bend, *next), b.degrees, 0.05)
            << "bend at line " << bend->position.line;
        EXPECT_GT(*bend->bendRadius, 0);
    }
}

TEST_P(RealPcf, ConvertsAndReadsBackTheSameModel) {
    LoadResult back = ParsePipingModel(WriteModelJson(result.model), "converted.json");
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.model.nodes, result.model.nodes);
    EXPECT_EQ(back.model.origin, result.model.origin);
    EXPECT_EQ(back.model.elements.size(), result.model.elements.size());
    EXPECT_EQ(back.model.restraints.size(), result.model.restraints.size());
    EXPECT_EQ(back.model.tees.size(), result.model.tees.size());
}

// Cut at both sides of every line break and at every seventh byte, which lands at every
// position within lines across the file; the fuzz target's seeds are replayed at every byte.
TEST_P(RealPcf, TruncatedFilesReadOrFailWithAPosition) {
    const std::string name = GetParam();
    std::set<std::size_t> cuts;
    for (std::size_t n = 0; n < text.size(); n += 7)
        cuts.insert(n);
    for (std::size_t n = 0; n < text.size(); ++n)
        if (text[n] == '\n' || text[n] == '\r')
            cuts.insert({n, n + 1, n > 0 ? n - 1 : 0});
    for (std::size_t n : cuts) {
        PcfLoadResult r = ParsePcf(std::string_view(text).substr(0, n), name);
        if (!r.ok) {
            ASSERT_EQ(r.error.rfind(name + ":", 0), 0u) << n << ": " << r.error;
            ASSERT_TRUE(r.model.elements.empty());
        } else {
            for (const Element& e : r.model.elements)
                ASSERT_GT(Length(e.delta), 0.0) << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RealPcf,
                         ::testing::Values("isogen_siso.pcf", "ng-151841-102-03-test.pcf",
                                           "revit_export_compare.pcf"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string s = param.param;
                             s = s.substr(0, s.find('.'));
                             for (char& c : s)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return s;
                         });
