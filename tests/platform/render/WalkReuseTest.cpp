// Frames in which only the camera moved reuse the last walk: the picture must be the one a
// fresh walk draws, and any other change must walk again.
#include "RenderTestScene.h"

#include "platform/render/SceneWalker.h"

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

// A block of four boxes of different colours (shells: nothing chosen by the camera).
void InsertBoxes() {
    const char* colours[4] = {"red", "blue", "green", "yellow"};
    for (int i = 0; i < 4; ++i) {
        HC_Open_Segment(("box " + std::to_string(i)).c_str());
        HC_Set_Color((std::string("faces = ") + colours[i]).c_str());
        const float x = -0.6f + 0.4f * static_cast<float>(i), h = 0.15f;
        const float points[24] = {x - h, -h, -h, x + h, -h, -h, x + h, h, -h, x - h, h, -h,
                                  x - h, -h, h,  x + h, -h, h,  x + h, h, h,  x - h, h, h};
        const int faces[30] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4,
                               4, 2, 3, 7, 6, 4, 1, 2, 6, 5, 4, 0, 4, 7, 3};
        HC_Insert_Shell(8, points, 30, faces);
        HC_Close_Segment();
    }
}

void Orbit(const TestScene& scene, double degrees) {
    HC_Open_Segment_By_Key(scene.Key());
    HC_Orbit_Camera(degrees, degrees / 2);
    HC_Close_Segment();
}

} // namespace

TEST(WalkReuse, CameraOnlyFramesSkipTheWalkAndMatchAFreshWalkPixelForPixel) {
    KETRA_REQUIRE_GL();
    for (const char* projection : {"perspective", "orthographic"}) {
        for (int mode : {0, 1, 2}) {
            TestScene scene(std::string("reuse_") + projection, projection);
            scene.Open("model");
            InsertBoxes();
            HC_Close_Segment();
            scene.Render(120, 90, mode);
            EXPECT_FALSE(LastFrameTimings().walkSkipped);
            for (double step : {7.0, -3.5, 12.0}) {
                Orbit(scene, step);
                const Image reused = scene.Render(120, 90, mode);
                EXPECT_TRUE(LastFrameTimings().walkSkipped) << projection << " mode " << mode;
                ReleaseHeadlessResources();  // forgets every cache: the next frame walks
                const Image fresh = scene.Render(120, 90, mode);
                EXPECT_FALSE(LastFrameTimings().walkSkipped);
                ASSERT_EQ(reused.rgba.size(), fresh.rgba.size());
                EXPECT_TRUE(reused.rgba == fresh.rgba) << projection << " mode " << mode << " step " << step;
            }
        }
    }
}

TEST(WalkReuse, AnyOtherChangeWalksAgain) {
    KETRA_REQUIRE_GL();
    TestScene scene("reuse_changes", "perspective");
    const HC_KEY model = scene.Open("model");
    InsertBoxes();
    HC_Close_Segment();
    scene.Render();
    Orbit(scene, 5);
    scene.Render();
    ASSERT_TRUE(LastFrameTimings().walkSkipped);

    // An attribute change: the new colour shows.
    HC_Open_Segment_By_Key(model);
    HC_Open_Segment("box 1");
    HC_Set_Color("faces = red");
    HC_Close_Segment();
    HC_Close_Segment();
    const Image recoloured = scene.Render();
    EXPECT_FALSE(LastFrameTimings().walkSkipped);
    EXPECT_EQ(CountPixels(recoloured, IsBluish), 0);

    // A change outside the scene graph: the window gradient.
    SetWindowGradient(scene.Key(), Color{0, 0, 0}, Color{0, 0, 0});
    const Image dark = scene.Render();
    EXPECT_FALSE(LastFrameTimings().walkSkipped);
    EXPECT_TRUE(IsDark(dark.At(2, 2)));
    ClearWindowGradient(scene.Key());

    // Another size, and a first camera below the display (a new layer).
    scene.Render(80, 60);
    EXPECT_FALSE(LastFrameTimings().walkSkipped);
    HC_Open_Segment_By_Key(model);
    HC_Orbit_Camera(1, 0);
    HC_Close_Segment();
    scene.Render(80, 60);
    EXPECT_FALSE(LastFrameTimings().walkSkipped);
}

// Tubes take their number of sides from their size on screen: a camera move walks again.
TEST(WalkReuse, ScenesWithCameraDependentChoicesAreWalkedEveryFrame) {
    KETRA_REQUIRE_GL();
    TestScene scene("reuse_tubes", "perspective");
    scene.Open("model");
    const float points[6] = {-0.6f, 0, 0, 0.6f, 0, 0};
    const float radii[1] = {0.2f};
    HC_Insert_PolyCylinder(2, points, 1, radii, "both");
    HC_Close_Segment();
    scene.Render();
    Orbit(scene, 5);
    scene.Render();
    EXPECT_FALSE(LastFrameTimings().walkSkipped);
}

// A motion frame draws coarser tubes; the frame after motion (the options taken away again,
// as the constant-frame-rate object does) is the full-detail picture pixel for pixel.
TEST(WalkReuse, FullDetailFrameAfterMotionEqualsTheFrameBeforeIt) {
    KETRA_REQUIRE_GL();
    TestScene scene("reuse_motion", "perspective");
    const HC_KEY model = scene.Open("model");
    InsertBoxes();
    const float points[6] = {-0.8f, 0.5f, 0, 0.8f, 0.5f, 0};
    const float radii[1] = {0.25f};
    HC_Insert_PolyCylinder(2, points, 1, radii, "both");
    HC_Close_Segment();
    const Image before = scene.Render(160, 120);
    HC_Open_Segment_By_Key(model);
    HC_Set_Rendering_Options("lod = on, lodo = (clamp = 2)");
    HC_Close_Segment();
    const Image moving = scene.Render(160, 120);
    EXPECT_FALSE(moving.rgba == before.rgba);  // six sides show
    HC_Open_Segment_By_Key(model);
    HC_UnSet_One_Rendering_Option("lodo");
    HC_UnSet_One_Rendering_Option("lod");
    HC_Close_Segment();
    const Image after = scene.Render(160, 120);
    EXPECT_TRUE(after.rgba == before.rgba);
}

// The buffers of a motion level stay for the next motion while frames at other levels come,
// but a coarser level that no frame has drawn for a while gives them back; full detail keeps
// its own however long a motion lasts.
TEST(WalkReuse, BuffersOfACoarseLevelLeftIdleAreFreed) {
    KETRA_REQUIRE_GL();
    TestScene scene("reuse_idle_level", "perspective");
    const HC_KEY model = scene.Open("model");
    const float points[6] = {-0.8f, 0.5f, 0, 0.8f, 0.5f, 0};
    const float radii[1] = {0.25f};
    HC_Insert_PolyCylinder(2, points, 1, radii, "both");
    HC_Close_Segment();
    ReleaseHeadlessResources();
    auto clamp = [&](const char* options) {
        HC_Open_Segment_By_Key(model);
        if (options)
            HC_Set_Rendering_Options(options);
        else
            HC_UnSet_One_Rendering_Option("lodo");
        HC_Close_Segment();
    };
    scene.Render(160, 120);
    const size_t full = LastFrameTimings().bufferBytes;
    clamp("lod = on, lodo = (clamp = 2)");
    scene.Render(160, 120);
    const size_t both = LastFrameTimings().bufferBytes;
    EXPECT_GT(both, full);
    clamp("lod = on, lodo = (clamp = 1)");
    for (int i = 0; i < 4; ++i) scene.Render(160, 120);
    // Level 2 is still there after a few frames at level 1; full detail too.
    const size_t three = LastFrameTimings().bufferBytes;
    ASSERT_GT(three, both);
    const size_t levelOne = three - both;
    for (int i = 0; i < 20; ++i) scene.Render(160, 120);
    EXPECT_EQ(LastFrameTimings().bufferBytes, full + levelOne);  // level 2's buffers are gone...
    clamp(nullptr);
    scene.Render(160, 120);
    EXPECT_EQ(LastFrameTimings().rebuiltBatches, 0u);  // ...but full detail's were kept
}
