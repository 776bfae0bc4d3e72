// The symbol scale a model without "symbolScale" gets: supports must stand clear of their
// pipes at every pipe size, in inches and in millimetres.
#include "host/PipingModel.h"
#include "host/SymbolScale.h"
#include "platform/hc/hc.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

using namespace ketra;

namespace {

struct PipeSize {
    const char* units;
    double od;
};
const PipeSize kSizes[] = {{"in", 1}, {"in", 12}, {"in", 48}, {"mm", 25}, {"mm", 168}, {"mm", 1200}};

// Two runs along X and one along Y, twelve diameters each; a restraint across the pipe (Y at
// node 20), one along it (X at node 30), a hanger at node 40 and an anchor at node 10.
std::string Model(const PipeSize& size, const std::string& extra = "") {
    const std::string d = std::to_string(size.od), l = std::to_string(12 * size.od);
    return std::string("{ \"units\": \"") + size.units + "\", " + extra + "\"elements\": [" +
           "{ \"from\": 10, \"to\": 20, \"delta\": [" + l + ", 0, 0], \"od\": " + d + " }," +
           "{ \"from\": 20, \"to\": 30, \"delta\": [" + l + ", 0, 0] }," +
           "{ \"from\": 30, \"to\": 40, \"delta\": [0, " + l + ", 0] } ]," +
           "\"restraints\": [ { \"node\": 20, \"direction\": \"Y\" }, { \"node\": 30, \"direction\": \"X\" } ]," +
           "\"hangers\": [ { \"node\": 40 } ], \"anchors\": [ { \"node\": 10 } ] }";
}

host::PipingModel Load(const std::string& text) {
    host::LoadResult r = host::ParsePipingModel(text, "m.json");
    EXPECT_TRUE(r.ok) << r.error;
    return r.model;
}

struct Box {
    float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
};
Box BoundsOf(const char* kind) {
    Box box;
    const std::string path = std::string("/include library/halden/") + kind;
    EXPECT_TRUE(HC_Compute_Circumcuboid(path.c_str(), box.min, box.max)) << path;
    return box;
}

class SymbolScaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/symbol-scale-test-registry.reg").c_str(), 1);
    }
};

} // namespace

TEST_F(SymbolScaleTest, ChosenFromTheMedianDiameterUnlessTheFileGivesOne) {
    for (const PipeSize& size : kSizes) {
        const host::PipingModel m = Load(Model(size));
        EXPECT_TRUE(m.symbolScaleChosen);
        EXPECT_DOUBLE_EQ(m.symbolScale, host::kSymbolScalePerDiameter * size.od) << size.units << size.od;
        const host::PipingModel given = Load(Model(size, "\"symbolScale\": 3, "));
        EXPECT_FALSE(given.symbolScaleChosen);
        EXPECT_DOUBLE_EQ(given.symbolScale, 3);
    }
    // A few large pipes do not size the symbols of many small ones.
    const host::PipingModel mixed = Load(R"({"elements": [
        {"from": 1, "to": 2, "delta": [10, 0, 0], "od": 2}, {"from": 2, "to": 3, "delta": [10, 0, 0]},
        {"from": 3, "to": 4, "delta": [10, 0, 0], "od": 48}]})");
    EXPECT_DOUBLE_EQ(mixed.symbolScale, host::kSymbolScalePerDiameter * 2);
}

// Geometry: each support's symbols reach well beyond the pipe wall (the pipe's axis runs
// through y = z = 0 at the restraint across it, and through x = 24 d at the hanger).
TEST_F(SymbolScaleTest, SupportsReachBeyondThePipeAtEverySize) {
    for (const PipeSize& size : kSizes) {
        SCOPED_TRACE(std::string(size.units) + " " + std::to_string(size.od));
        const float r = static_cast<float>(size.od / 2);
        plotter::Plotter plotter;
        std::string error;
        ASSERT_TRUE(plotter.Start({}, &error)) << error;
        plotter.Draw(Load(Model(size)));
        const Box restraints = BoundsOf("restraints");
        EXPECT_GE(std::max(restraints.max[1], -restraints.min[1]), 3 * r);
        const Box hangers = BoundsOf("hangers");
        EXPECT_GE(hangers.max[2], 3 * r);
        const Box anchors = BoundsOf("anchors");
        EXPECT_GE(std::max({anchors.max[1], -anchors.min[1], anchors.max[2], -anchors.min[2]}), 1.5f * r);
    }
}

// Pixels: in a small picture the supports cover a fair share of what the pipes cover.
TEST_F(SymbolScaleTest, SupportsShowInASmallPicture) {
    std::string why;
    if (!render::HeadlessAvailable(&why))
        GTEST_SKIP() << "no headless GL: " << why;
    for (const PipeSize& size : kSizes) {
        SCOPED_TRACE(std::string(size.units) + " " + std::to_string(size.od));
        plotter::Plotter plotter;
        std::string error;
        ASSERT_TRUE(plotter.Start({}, &error)) << error;
        plotter.Draw(Load(Model(size)));
        plotter.View().SetViewMode(HViewIsoSE, false, true);
        auto picture = [&] {
            render::Image image;
            render::FrameSettings settings;
            settings.width = 200;
            settings.height = 150;
            EXPECT_TRUE(render::RenderToImage(plotter.View().GetViewKey(), settings, image, &error)) << error;
            return image;
        };
        const render::Image with = picture();
        for (plotter::Kind k : {plotter::Kind::Restraints, plotter::Kind::Hangers, plotter::Kind::Anchors})
            plotter.Hide(k);
        const render::Image without = picture();
        ASSERT_EQ(with.rgba.size(), without.rgba.size());
        int supports = 0, drawn = 0;
        for (int y = 0; y < with.height; ++y)
            for (int x = 0; x < with.width; ++x) {
                const auto a = with.At(x, y), b = without.At(x, y);
                supports += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 60 ? 1 : 0;
                drawn += !(b.r > 240 && b.g > 240 && b.b > 240) ? 1 : 0;
            }
        RecordProperty(std::string(size.units) + std::to_string(static_cast<int>(size.od)), supports);
        EXPECT_GE(supports * 4, drawn) << supports << " support pixels, " << drawn << " pipe pixels";
    }
}
