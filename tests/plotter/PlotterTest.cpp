#include "plotter/Plotter.h"

#include "config/CAppSettings.h"
#include "platform/window/RecordingPort.h"
#include "plotter/ElementCommands.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"
#include "operators/HOpKetraSelectArea.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HSelectionSet.h"

#include "host/PipingModel.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"
#include "platform/io/HIOManager.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/render/Renderer.h"
#include "view/HMyBaseView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace ketra;

namespace {

class PlotterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/plotter-test-registry.reg").c_str(), 1);
        host::LoadResult r = host::LoadPipingModel(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json");
        ASSERT_TRUE(r.ok) << r.error;
        model = r.model;
        std::string error;
        ASSERT_TRUE(plotter.Start({}, &error)) << error;
        stats = plotter.Draw(model);
    }

    static std::string UserOption(HC_KEY segment, const char* name) {
        char value[64] = {0};
        HC_Open_Segment_By_Key(segment);
        HC_Show_One_User_Option(name, value);
        HC_Close_Segment();
        return value;
    }
    static std::string PathOf(HC_KEY segment) {
        char path[1024] = {0};
        HC_Show_Segment(segment, path);
        return path;
    }

    host::PipingModel model;
    plotter::Plotter plotter;
    plotter::PlotStats stats;
};

} // namespace

TEST_F(PlotterTest, DrawsEveryElementOnceUnderItsKind) {
    using plotter::Kind;
    EXPECT_EQ(stats.counts[Kind::Pipes], 9);   // 15 elements less 4 bends, a valve, a joint
    EXPECT_EQ(stats.counts[Kind::Bends], 4);
    EXPECT_EQ(stats.counts[Kind::Rigids], 1 + 2 + 3); // the valve, two nozzles, three flanges
    EXPECT_EQ(stats.counts[Kind::ExpansionJoints], 1);
    EXPECT_EQ(stats.counts[Kind::Restraints], 8);
    EXPECT_EQ(stats.counts[Kind::Hangers], 3);
    EXPECT_EQ(stats.counts[Kind::Anchors], 3);
    EXPECT_EQ(stats.counts[Kind::Tees], 1);
    EXPECT_EQ(stats.counts[Kind::Structures], 10);
    // Every drawn segment but the steel is registered.
    EXPECT_EQ(plotter.Registry().GetSize(), 9 + 4 + 6 + 1 + 8 + 3 + 3 + 1);
}

TEST_F(PlotterTest, RegistryLeadsFromNodesToSegmentsAndBack) {
    long pipe = plotter.Registry().Find(30, 40);
    ASSERT_NE(pipe, -1);
    EXPECT_EQ(PathOf(pipe), "/include library/halden/pipes/30-40");
    EXPECT_EQ(UserOption(pipe, "from"), "30");
    EXPECT_EQ(UserOption(pipe, "to"), "40");
    EXPECT_EQ(plotter.Registry().Find(pipe), std::make_pair(30, 40));

    long bend = plotter.Registry().Find(10, 20);
    ASSERT_NE(bend, -1);
    EXPECT_EQ(PathOf(bend), "/include library/halden/bends/10-20");
    long valve = plotter.Registry().Find(400, 410);
    ASSERT_NE(valve, -1);
    EXPECT_EQ(PathOf(valve), "/include library/halden/rigids/400-410");
    // Two restraints and a guide pair on node 30: numbered segments, all registered.
    EXPECT_EQ(plotter.Registry().FindAll(30, 30).size(), 3u);
}

TEST_F(PlotterTest, ElementSegmentsTakeTheirKindsStyleAndHoldGeometry) {
    long pipe = plotter.Registry().Find(20, 25);
    ASSERT_NE(pipe, -1);
    HC_Begin_Contents_Search(PathOf(pipe).c_str(), "styles, shells");
    char type[64];
    HC_KEY key;
    int styles = 0, shells = 0;
    while (HC_Find_Contents(type, &key)) {
        std::string t = type;
        if (t == "style") {
            char path[256];
            HC_Show_Style_Segment(key, path);
            EXPECT_STREQ(path, "/Style Library/Pipes");
            ++styles;
        } else if (t == "shell") {
            ++shells;
        }
    }
    HC_End_Contents_Search();
    EXPECT_EQ(styles, 1);
    EXPECT_EQ(shells, 1);
}

TEST_F(PlotterTest, BoundingBoxHoldsEveryNodeAndTheModelIncludesTheLibrary) {
    ASSERT_TRUE(stats.hasBox);
    for (const auto& [id, p] : model.nodes)
        for (int i = 0; i < 3; ++i) {
            EXPECT_LE(stats.bboxMin[i], p[i] + 1e-3) << "node " << id;
            EXPECT_GE(stats.bboxMax[i], p[i] - 1e-3) << "node " << id;
        }
    EXPECT_EQ(HC_QShow_Existence("/include library/construction geometry", "geometry"), 0);
    HC_Begin_Contents_Search("/include library/halden", "segments");
    char type[64];
    HC_KEY key;
    int kinds = 0;
    while (HC_Find_Contents(type, &key))
        ++kinds;
    HC_End_Contents_Search();
    EXPECT_EQ(kinds, 9);
}

TEST_F(PlotterTest, KindsHideAndShowAgain) {
    using plotter::Kind;
    EXPECT_TRUE(plotter.IsVisible(Kind::Hangers));
    plotter.SetVisible(Kind::Hangers, false);
    EXPECT_FALSE(plotter.IsVisible(Kind::Hangers));
    char value[64] = {0};
    HC_Open_Segment("/include library/halden/hangers");
    HC_Show_One_Visibility("faces", value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "off");
    plotter.SetVisible(Kind::Hangers, true);
    EXPECT_TRUE(plotter.IsVisible(Kind::Hangers));
}

TEST_F(PlotterTest, RendersPipesInThePipeColour) {
    std::string why;
    if (!render::HeadlessAvailable(&why))
        GTEST_SKIP() << "no headless GL: " << why;
    render::Image image;
    render::FrameSettings settings;
    settings.width = 320;
    settings.height = 240;
    std::string error;
    ASSERT_TRUE(render::RenderToImage(plotter.View().GetViewKey(), settings, image, &error)) << error;
    // The background is white and the pipes light blue, the piping host's colour that every
    // command draws in (not the plain plot's dark blue): some pixels must be light blue.
    int blue = 0, other = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            auto p = image.At(x, y);
            if (p.r > 100 && p.b > p.r + 40 && p.g < p.b)
                ++blue;
            else if (!(p.r > 240 && p.g > 240 && p.b > 240))
                ++other;
        }
    EXPECT_GT(blue, 50);
    EXPECT_GT(other, 50); // steel and symbols
}

// The lights ride with the camera: no plane view of the plant is much darker than another
// (about 0.7 here; with lights fixed to the world, back, bottom and left fell under 0.3).
TEST_F(PlotterTest, EveryStandardViewIsLitAlike) {
    std::string why;
    if (!render::HeadlessAvailable(&why))
        GTEST_SKIP() << "no headless GL: " << why;
    render::FrameSettings settings;
    settings.width = 240;
    settings.height = 180;
    double least = 1e9, most = 0;
    for (ViewMode mode : {HViewFront, HViewBack, HViewLeft, HViewRight, HViewTop, HViewBottom}) {
        plotter.View().SetViewMode(mode, false, true);
        render::Image image;
        ASSERT_TRUE(render::RenderToImage(plotter.View().GetViewKey(), settings, image, &why)) << why;
        double sum = 0;
        int count = 0;
        for (int i = 0; i < image.width * image.height; ++i) {
            auto p = image.At(i % image.width, i / image.width);
            const bool background = p.r > 240 && p.g > 240 && p.b > 240;
            sum += background ? 0 : (p.r + p.g + p.b) / 3.0;
            count += background ? 0 : 1;
        }
        ASSERT_GT(count, 200) << mode;
        least = std::min(least, sum / count);
        most = std::max(most, sum / count);
    }
    EXPECT_GT(least, 0.6 * most) << "darkest view " << least << ", brightest " << most;
}

// A window round the plant selects its elements (Select by Window takes object segments) and
// a click on a pipe selects that one element, highlighted in the settings' selection colour;
// Properties, Find Node and the Delete key then work on the selection.
TEST_F(PlotterTest, ClickAndWindowSelectElementsForTheElementCommands) {
    using namespace ketra::view;
    HMyBaseView& view = plotter.View();
    HSelectionSet& selection = *view.GetSelection();
    view.SetViewMode(HViewIsoSE, false, true);
    auto mouse = [&view](HEventType type, float x, float y) {
        HEventInfo event(&view);
        event.SetPoint(type, x, y, type == HE_LButtonUp ? 0u : static_cast<unsigned int>(MVO_LBUTTON));
        view.InjectEvent(event);
    };
    delete view.GetOperator();
    view.SetOperator(new HOpKetraSelectArea(&view, 0, 1));
    for (float at : {-0.99f, 0.0f, 0.99f})
        mouse(at < 0 ? HE_LButtonDown : HE_MouseMove, at, -at);
    mouse(HE_LButtonUp, 0.99f, -0.99f);
    EXPECT_GT(selection.GetSize(), 10u);

    const host::Element* pipe = nullptr;
    for (const host::Element& e : model.elements)
        pipe = !e.bendRadius && !e.rigid && !e.expansionJoint ? &e : pipe;
    ASSERT_NE(pipe, nullptr);
    const host::Vec3 &a = model.nodes.at(pipe->from), &b = model.nodes.at(pipe->to);
    const HPoint at = view.WorldToWindow(HPoint(static_cast<float>(a[0] + b[0]) / 2, static_cast<float>(a[1] + b[1]) / 2,
                                                static_cast<float>(a[2] + b[2]) / 2));
    delete view.GetOperator();
    view.SetOperator(new HOpSelectAperture(&view, 0, 1));
    mouse(HE_LButtonDown, at.x, at.y);
    ASSERT_EQ(selection.GetSize(), 1u);
    EXPECT_NE(plotter.Registry().Find(selection.GetAt(0)).first, 0);
    char color[256] = "";
    HC_Open_Segment_By_Key(selection.GetAt(0));
    HC_Show_One_Net_Color("faces=diffuse", color);
    HC_Close_Segment();
    EXPECT_EQ(std::string(color), "R=1 G=0.976471 B=0");  // 0x00F9FF, the selection colour

    ketra::window::RecordingPort port;
    CHoopsViewEx window;
    window.SetPort(&port);
    plotter::ElementCommands commands(window, plotter);
    window.OnCommand(kCmdProperties);
    const std::string title = "Pipe " + std::to_string(pipe->from) + "\u2013" + std::to_string(pipe->to) + "\nOD: ";
    EXPECT_EQ(port.messages.back().rfind(title, 0), 0u) << port.messages.back();
    port.noteDialogText = "12x";
    window.OnCommand(kCmdFindNode);
    EXPECT_NE(port.messages.back().find("\"12x\" is not a node number"), std::string::npos);
    port.noteDialogText = std::to_string(pipe->from);
    window.OnCommand(kCmdFindNode);
    ASSERT_GE(selection.GetSize(), 1u);
    const int registered = plotter.Registry().GetSize();
    HEventInfo key(&view);
    key.SetKey(HE_KeyDown, 0x2E, 1, 0);
    view.GetEventManager()->EmitMouseEvent(key);
    EXPECT_EQ(selection.GetSize(), 0u);
    EXPECT_LT(plotter.Registry().GetSize(), registered);
    EXPECT_EQ(plotter::SelectNode(plotter, pipe->from), 0);  // gone from the picture
}

TEST(PlotterKinds, ParseKindAcceptsCommandLineSpellings) {
    plotter::Kind k;
    ASSERT_TRUE(plotter::ParseKind("expansion-joints", &k));
    EXPECT_EQ(k, plotter::Kind::ExpansionJoints);
    ASSERT_TRUE(plotter::ParseKind("Hangers", &k));
    EXPECT_EQ(k, plotter::Kind::Hangers);
    EXPECT_FALSE(plotter::ParseKind("valves", &k));
}

namespace {

// Shells drawn below `s`, through includes; false in *outside when an include reaches a
// segment that is not below `root`.
int ShellsShown(const hc::Segment& s, const hc::Segment* root, bool* outside) {
    int shells = 0;
    for (const auto& item : s.geometry)
        shells += item->Shell() ? 1 : 0;
    for (const auto& ref : s.includes) {
        if (!ref->target)
            continue;
        const hc::Segment* up = ref->target;
        while (up && up != root)
            up = up->owner;
        if (root && !up)
            *outside = true;
        shells += ShellsShown(*ref->target, root, outside);
    }
    for (const auto& child : s.children)
        shells += ShellsShown(*child, root, outside);
    return shells;
}

} // namespace

// Save As ".hsf"/".hmf" of the model: the file holds the element library the model includes,
// so read on its own it shows every shell the model showed.
TEST_F(PlotterTest, SavedModelHoldsTheLibraryItShows) {
    HBaseModel* saved = plotter.View().GetModel();
    const hc::Segment* original = hc::Graph::Instance().FindSegment(saved->GetModelKey());
    ASSERT_NE(original, nullptr);
    bool unused = false;
    const int shown = ShellsShown(*original, nullptr, &unused);
    ASSERT_GT(shown, 30);
    for (const char* ext : {"hsf", "hmf"}) {
        const std::string file = std::string(KETRA_BINARY_DIR) + "/plotter-test-model." + ext;
        ASSERT_EQ(saved->FileOutput(file.c_str(), &plotter.View()), OutputOK) << ext << ": " << HIOManager::LastError();
        std::string error;
        ASSERT_TRUE(io::ReadSceneFile(file, "/check saved model", &error)) << error;
        const HC_KEY readKey = HC_Open_Segment("/check saved model");
        HC_Close_Segment();
        const hc::Segment* read = hc::Graph::Instance().FindSegment(readKey);
        ASSERT_NE(read, nullptr);
        const std::string name = PathOf(saved->GetModelKey()).substr(PathOf(saved->GetModelKey()).rfind('/') + 1);
        const HC_KEY copyKey = HC_Open_Segment(("/check saved model/" + name).c_str());
        HC_Close_Segment();
        bool outside = false;
        EXPECT_EQ(ShellsShown(*hc::Graph::Instance().FindSegment(copyKey), read, &outside), shown) << ext;
        EXPECT_FALSE(outside) << ext << ": the saved model includes a segment the file does not hold";
        HC_Delete_Segment("/check saved model");
        std::remove(file.c_str());
    }
}

// A bend whose tangent takes a whole run leaves nothing of it straight: the run's segment stays
// (picked and coloured with results like any), empty, rather than a pipe across the bend.
TEST(PlotterBends, ARunTheBendTakesWholeDrawsNothingStraight) {
    setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/plotter-test-registry.reg").c_str(), 1);
    host::LoadResult r =
        host::LoadPipingModel(std::string(KETRA_SOURCE_DIR) + "/tests/analysis/data/curved-bar-out-of-plane.json");
    ASSERT_TRUE(r.ok) << r.error;
    plotter::Plotter plotter;
    std::string error;
    ASSERT_TRUE(plotter.Start({}, &error)) << error;
    plotter.Draw(r.model);
    auto drawn = [&](int from, int to) {
        const long key = plotter.Registry().Find(from, to);
        EXPECT_NE(key, -1);
        HC_Open_Segment_By_Key(key);
        int shells = 0;
        HC_Begin_Contents_Search("...", "shells");
        HC_Show_Contents_Count(&shells);
        HC_End_Contents_Search();
        HC_Close_Segment();
        return shells;
    };
    EXPECT_GT(drawn(10, 20), 0);
    EXPECT_EQ(drawn(20, 30), 0);
}
