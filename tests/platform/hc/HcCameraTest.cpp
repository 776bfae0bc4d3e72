// Cameras as segment attributes, display windows, driver options and the update hooks.
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;

void Capture(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function) + ": " + message);
}

class HcCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
    }
    void TearDown() override { HC_Reset_System(); }
};

struct Cam {
    float position[3], target[3], up[3], width, height;
    char projection[64];
};

Cam Show() {
    Cam c{};
    HC_Show_Camera(c.position, c.target, c.up, &c.width, &c.height, c.projection);
    return c;
}

void ExpectPoint(const float* p, float x, float y, float z, float tol = 1e-4f) {
    EXPECT_NEAR(p[0], x, tol);
    EXPECT_NEAR(p[1], y, tol);
    EXPECT_NEAR(p[2], z, tol);
}

} // namespace

TEST_F(HcCameraTest, SettersBuildOnTheInheritedCamera) {
    HC_Open_Segment("/scene");
    // Without any camera the default one shows: from +Z at the origin, 2 x 2 orthographic.
    Cam c = Show();
    ExpectPoint(c.position, 0, 0, 5);
    ExpectPoint(c.up, 0, 1, 0);
    EXPECT_STREQ(c.projection, "orthographic");

    HC_Set_Camera_Position(0, -10, 0);
    HC_Set_Camera_Up_Vector(0, 0, 1);
    HC_Set_Camera_Field(4, 3);
    HC_Set_Camera_Projection("Perspective");
    HC_Open_Segment("child");
    // The child has no camera of its own: it shows the inherited one.
    c = Show();
    ExpectPoint(c.position, 0, -10, 0);
    EXPECT_STREQ(c.projection, "perspective");
    // One part set on the child starts from the inherited camera.
    HC_Set_Camera_Target(1, 0, 0);
    c = Show();
    ExpectPoint(c.position, 0, -10, 0);
    ExpectPoint(c.target, 1, 0, 0);
    EXPECT_FLOAT_EQ(c.width, 4);
    EXPECT_FLOAT_EQ(c.height, 3);
    const HC_KEY child = HC_KShow_Open_Segment();
    HC_Close_Segment();
    c = Show();
    ExpectPoint(c.target, 0, 0, 0); // the parent is unchanged
    HC_Close_Segment();

    Cam net{};
    HC_PShow_Net_Camera(1, &child, net.position, net.target, net.up, &net.width, &net.height,
                        net.projection);
    ExpectPoint(net.target, 1, 0, 0);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcCameraTest, MovesFollowTheDocumentedSigns) {
    HC_Open_Segment("/scene");
    const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");

    HC_Orbit_Camera(90, 0); // to the camera's right (+X)
    ExpectPoint(Show().position, 10, 0, 0);
    HC_Orbit_Camera(-90, 0);
    HC_Orbit_Camera(0, 90); // upward
    Cam c = Show();
    ExpectPoint(c.position, 0, 10, 0);
    ExpectPoint(c.up, 0, 0, -1);
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");

    HC_Pan_Camera(90, 0); // the line of sight turns right: the target moves to +X
    c = Show();
    ExpectPoint(c.position, 0, 0, 10);
    ExpectPoint(c.target, 10, 0, 10);
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");
    HC_Pan_Camera(0, 90);
    ExpectPoint(Show().target, 0, 10, 10);
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");

    HC_Dolly_Camera(1, 2, 3); // right, up, in
    c = Show();
    ExpectPoint(c.position, 1, 2, 7);
    ExpectPoint(c.target, 1, 2, -3);

    HC_Zoom_Camera(2);
    c = Show();
    EXPECT_FLOAT_EQ(c.width, 1);
    EXPECT_FLOAT_EQ(c.height, 1);

    HC_Roll_Camera(90);
    ExpectPoint(Show().up, 1, 0, 0);
    HC_Close_Segment();
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcCameraTest, SeventyTwoOrbitStepsReturnToTheStart) {
    HC_Open_Segment("/scene");
    const float pos[3] = {3, 4, 12}, tgt[3] = {1, 1, 1}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 5, 5, "perspective");
    for (int i = 0; i < 72; ++i) {
        // The orbit operator's key step: level the target, orbit, restore it.
        Cam c = Show();
        HC_Set_Camera_Target(c.target[0], c.position[1], c.target[2]);
        HC_Orbit_Camera(5.0, 0);
        HC_Set_Camera_Target(c.target[0], c.target[1], c.target[2]);
    }
    ExpectPoint(Show().position, 3, 4, 12, 2e-3f);
    HC_Close_Segment();
}

// Renderers reuse a walk while only cameras change: a move of an existing camera must not
// count as a content change, a first camera (a new layer) and any other change must.
TEST_F(HcCameraTest, CameraMovesAreChangesOfTheGenerationButNotOfTheContent) {
    using ketra::hc::Graph;
    Graph& graph = Graph::Instance();
    HC_Open_Segment("/scene");
    const float p[3] = {0, 0, 5}, t[3] = {0, 0, 0}, u[3] = {0, 1, 0};
    auto content = graph.ContentChanges();
    HC_Set_Camera(p, t, u, 2, 2, "perspective");  // first camera
    EXPECT_NE(graph.ContentChanges(), content);
    content = graph.ContentChanges();
    auto generation = graph.Generation();
    HC_Orbit_Camera(10, 0);
    HC_Zoom_Camera(1.5);
    HC_Set_Camera(p, t, u, 3, 3, "orthographic");
    EXPECT_GT(graph.Generation(), generation);
    EXPECT_EQ(graph.ContentChanges(), content);
    HC_Open_Segment("part");
    HC_Orbit_Camera(5, 0);  // starts from the inherited camera: a new one here
    EXPECT_NE(graph.ContentChanges(), content);
    HC_Close_Segment();
    content = graph.ContentChanges();
    HC_Set_Color("faces = red");
    EXPECT_NE(graph.ContentChanges(), content);
    HC_Close_Segment();
}

TEST_F(HcCameraTest, BadCameraInputIsReportedAndIgnored) {
    HC_Open_Segment("/scene");
    HC_Set_Camera_Field(3, 3);
    const Cam before = Show();
    HC_Zoom_Camera(0);
    HC_Zoom_Camera(-2);
    HC_Set_Camera_Field(-1, 2);
    HC_Set_Camera_Position(std::nan(""), 0, 0);
    HC_Set_Camera_Up_Vector(0, 0, 0);
    HC_Set_Camera_Projection("fisheye");
    HC_Set_Camera(nullptr, nullptr, nullptr, 1, 1, "perspective");
    EXPECT_EQ(g_errors.size(), 7u);
    const Cam after = Show();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    // A zero field is legal (a fit to a single point produces one).
    HC_Set_Camera_Field(0, 0);
    EXPECT_EQ(g_errors.size(), 7u);
    HC_Close_Segment();

    g_errors.clear();
    HC_Orbit_Camera(10, 0); // nothing open
    EXPECT_EQ(g_errors.size(), 1u);
}

TEST_F(HcCameraTest, DisplaysHaveAWindowOfTheirOwn) {
    char value[128];
    HC_Open_Segment("/driver/null/test");
    HC_Close_Segment();
    HC_Show_Device_Info("/driver/null/test", "pixels", value);
    EXPECT_STREQ(value, "800, 600");
    HC_Show_Device_Info("/driver/null/test", "size", value);
    float w = 0, h = 0;
    ASSERT_EQ(std::sscanf(value, "%f, %f", &w, &h), 2);
    EXPECT_NEAR(w, 800 / 96.0 * 2.54, 1e-3);
    EXPECT_NEAR(h, 600 / 96.0 * 2.54, 1e-3);

    HC_Open_Segment("/driver/null/test");
    HC_Set_Driver_Options("window size = (1024 pixels, 512 pixels)");
    HC_Open_Segment("scene/deeper");
    HC_Close_Segment();
    HC_Close_Segment();
    // Any segment inside the display reports the display's window.
    HC_Show_Device_Info("/driver/null/test/scene/deeper", "pixels", value);
    EXPECT_STREQ(value, "1024, 512");
    EXPECT_TRUE(g_errors.empty());

    HC_Open_Segment("/driver/null/test");
    HC_Set_Driver_Options("window size = (0 pixels, 10 pixels)");
    HC_Set_Driver_Options("window size = (10 furlongs, 10 pixels)");
    HC_Set_Driver_Options("window size = 12");
    HC_Close_Segment();
    EXPECT_EQ(g_errors.size(), 3u);
    HC_Show_Device_Info("/driver/null/test", "pixels", value);
    EXPECT_STREQ(value, "1024, 512");

    HC_Show_Device_Info("/driver/null/test", "colour depth", value);
    HC_Show_Device_Info("/no/such/segment", "pixels", value);
    EXPECT_EQ(g_errors.size(), 5u);
    EXPECT_STREQ(value, "");
}

namespace {

struct RecordingDriver : ketra::hc::DisplayDriver {
    std::vector<std::pair<ketra::hc::Key, ketra::hc::UpdateMode>> calls;
    void Update(ketra::hc::Key segment, ketra::hc::UpdateMode mode) override {
        calls.emplace_back(segment, mode);
    }
};

} // namespace

TEST_F(HcCameraTest, UpdatesReachTheRegisteredDriver) {
    using ketra::hc::UpdateMode;
    const HC_KEY display = HC_Create_Segment("/driver/opengl/window0");
    HC_Update_Display(); // nothing registered: nothing happens
    RecordingDriver driver;
    ketra::hc::Graph::Instance().RegisterDisplayDriver(&driver);
    HC_Update_Display();
    HC_Control_Update_By_Key(display, "redraw everything");
    HC_Control_Update_By_Key(display, "unset redraw");
    HC_Control_Update_By_Key(display, "repaint");          // unknown option
    HC_Control_Update_By_Key(-12345, "redraw everything"); // unknown key
    ketra::hc::Graph::Instance().UnregisterDisplayDriver(&driver);
    ASSERT_EQ(driver.calls.size(), 3u);
    EXPECT_EQ(driver.calls[0].second, UpdateMode::Update);
    EXPECT_EQ(driver.calls[1], std::make_pair(display, UpdateMode::RedrawEverything));
    EXPECT_EQ(driver.calls[2], std::make_pair(display, UpdateMode::UnsetRedraw));
    EXPECT_EQ(g_errors.size(), 2u);
}
