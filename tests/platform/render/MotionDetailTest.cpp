// Motion frames ("lodo = (clamp = n)" as the constant-frame-rate object sets it): coarse
// meshes cached beside the full ones, items too small to see left out for a whole orbit, and
// the deepest level drawn at a lower resolution; none of it may show in the frame at rest.
#include "RenderTestScene.h"

#include "platform/render/MeshBuilder.h"
#include "platform/render/SceneWalker.h"

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

void SetLevel(HC_KEY segment, int level) {
    HC_Open_Segment_By_Key(segment);
    if (level > 0) {
        HC_Set_Rendering_Options(
            ("lod = on, lodo = (clamp = " + std::to_string(level) + ")").c_str());
    } else {
        HC_UnSet_One_Rendering_Option("lodo");
        HC_UnSet_One_Rendering_Option("lod");
    }
    HC_Close_Segment();
}

void InsertBox(float x, float y, float half) {
    const float points[24] = {x - half, y - half, -half, x + half, y - half, -half,
                              x + half, y + half, -half, x - half, y + half, -half,
                              x - half, y - half, half,  x + half, y - half, half,
                              x + half, y + half, half,  x - half, y + half, half};
    const int faces[30] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4,
                           4, 2, 3, 7, 6, 4, 1, 2, 6, 5, 4, 0, 4, 7, 3};
    HC_Insert_Shell(8, points, 30, faces);
}

// A large tube and a box far under a pixel (0.004 units in a 2-unit field of 100 pixels).
HC_KEY InsertLargeTubeAndSpeck(TestScene& scene) {
    const HC_KEY model = scene.Open("model");
    const float points[6] = {-0.6f, 0, 0, 0.6f, 0, 0};
    const float radii[1] = {0.2f};
    HC_Insert_PolyCylinder(2, points, 1, radii, "both");
    InsertBox(0.5f, 0.6f, 0.002f);
    HC_Close_Segment();
    return model;
}

void Orbit(HC_KEY segment, double theta, double phi) {
    HC_Open_Segment_By_Key(segment);
    HC_Orbit_Camera(theta, phi);
    HC_Close_Segment();
}

} // namespace

// Going from full detail to each motion level and back tessellates every variant once.
TEST(MotionDetail, TubeVariantsOfEveryLevelStayCached) {
    TestScene scene("motion cache");
    MeshCache cache;
    const HC_KEY model = InsertLargeTubeAndSpeck(scene);
    for (int level : {0, 1, 2, 3, 0}) {
        SetLevel(model, level);
        Walk(scene, cache);
    }
    const std::uint64_t built = cache.Builds();
    for (int level : {1, 2, 3, 0, 2, 0}) {
        SetLevel(model, level);
        const DrawList list = Walk(scene, cache);
        ASSERT_FALSE(list.Main().meshes.empty());
        EXPECT_EQ(list.detailLevel, level);
    }
    EXPECT_EQ(cache.Builds(), built);
}

TEST(MotionDetail, ItemsTooSmallToSeeAreLeftOutFromLevelTwoForTheWholeOrbit) {
    for (const char* projection : {"orthographic", "perspective"}) {
        TestScene scene(std::string("motion cull ") + projection, projection);
        MeshCache cache;
        const HC_KEY model = InsertLargeTubeAndSpeck(scene);
        EXPECT_EQ(Walk(scene, cache).Main().meshes.size(), 2u) << projection;
        SetLevel(model, 1);
        EXPECT_EQ(Walk(scene, cache).Main().meshes.size(), 2u) << projection;
        SetLevel(model, 2);
        HC_Open_Segment_By_Key(model);
        InsertBox(0.51f, 0.6f, 0.002f); // half a pixel from the first: one speck for both
        HC_Close_Segment();
        DrawList moving = Walk(scene, cache);
        ASSERT_EQ(moving.Main().meshes.size(), 2u) << projection;
        EXPECT_GT(moving.Main().meshes[0].mesh->TriangleCount(), 12u); // the tube stays
        // The box is a speck of its colour at its place, about two pixels (0.04 units) across.
        const Mesh& speck = *moving.Main().meshes[1].mesh;
        ASSERT_EQ(speck.TriangleCount(), 4u) << projection;
        const float centre[3] = {0.5f, 0.6f, 0.0f};
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR((speck.boundsMin[a] + speck.boundsMax[a]) / 2, centre[a], 1e-6) << projection;
            EXPECT_GT(speck.boundsMax[a] - speck.boundsMin[a], 0.015f) << projection;
            EXPECT_LT(speck.boundsMax[a] - speck.boundsMin[a], 0.05f) << projection;
        }
        EXPECT_EQ(speck.colors, std::vector<std::uint32_t>(4, PackColor(moving.Main().meshes[0].faceColor)));
        EXPECT_TRUE(moving.orbitDependent);
        // The hidden-line modes draw edges, not specks.
        EXPECT_EQ(Walk(scene, cache, 4).Main().meshes.size(), 1u) << projection;
        // Marker mode clamps the detail too, but shows every item.
        EXPECT_EQ(Walk(scene, cache, 19).Main().meshes.size(), 3u) << projection;

        // The list serves any orbit about the target; a zoom or a pan needs a new walk.
        Orbit(scene.Key(), 35, 20);
        EXPECT_TRUE(RefreshCameras(moving)) << projection;
        HC_Open_Segment_By_Key(scene.Key());
        HC_Zoom_Camera(16.0);
        HC_Close_Segment();
        EXPECT_FALSE(RefreshCameras(moving)) << projection;
        EXPECT_EQ(Walk(scene, cache).Main().meshes.size(), 3u) << projection; // 16 times larger now
        HC_Open_Segment_By_Key(scene.Key());
        HC_Zoom_Camera(1.0 / 16);
        HC_Close_Segment();
        moving = Walk(scene, cache);
        HC_Open_Segment_By_Key(scene.Key());
        HC_Pan_Camera(3, 0);
        HC_Close_Segment();
        EXPECT_FALSE(RefreshCameras(moving)) << projection;
    }
}

// Motion frames leave the outlines of shaded items out; what shows by its edges alone keeps
// them, and the hidden-line modes keep every outline.
TEST(MotionDetail, MotionFramesDrawShadedItemsWithoutTheirOutlines) {
    TestScene scene("motion outlines");
    MeshCache cache;
    const HC_KEY model = InsertLargeTubeAndSpeck(scene);
    const HC_KEY tube = Walk(scene, cache).Main().meshes.at(0).key;
    HC_Open_Segment_By_Key(model);
    HC_Set_Visibility("edges = on");
    const float line[6] = {-0.6f, -0.5f, 0, 0.6f, -0.5f, 0};
    const int face[3] = {2, 0, 1};
    const HC_KEY bare = HC_Insert_Shell(2, line, 3, face);
    HC_Close_Segment();
    for (int level : {0, 1, 2}) {
        SetLevel(model, level);
        for (int mode : {0, 4}) {
            const DrawList list = Walk(scene, cache, mode);
            int seen = 0;
            for (const MeshDraw& d : list.Main().meshes) {
                if (d.key == tube) {
                    EXPECT_EQ(d.edges, level == 0 || mode == 4) << "level " << level << " mode " << mode;
                    ++seen;
                } else if (d.key == bare) {
                    EXPECT_TRUE(d.edges) << "level " << level << " mode " << mode;
                    ++seen;
                }
            }
            EXPECT_EQ(seen, 2);
        }
    }
}

// Over a motion at the deepest level (a reduced frame scaled up), frames keep the window's
// size and show the scene where it is; switching resolution needs no walk; the frame at rest
// is the full picture pixel for pixel.
TEST(MotionDetail, ReducedFramesCoverTheSamePictureAndRestRestoresIt) {
    KETRA_REQUIRE_GL();
    TestScene scene("motion reduced", "perspective");
    const HC_KEY model = scene.Open("model");
    HC_Set_Color("faces = red");
    InsertBox(0, 0, 0.4f);
    HC_Close_Segment();
    const Image before = scene.Render(160, 120);
    const int red = CountPixels(before, IsReddish);
    ASSERT_GT(red, 2000);
    SetLevel(model, 2);
    for (int level : {2, 3}) {
        // The deepest level: the scene as at level 2, frames at half the resolution.
        SetReducedResolution(scene.Key(), level == 3);
        EXPECT_EQ(GetReducedResolution(scene.Key()), level == 3);
        const Image moving = scene.Render(160, 120);
        ASSERT_EQ(moving.width, 160);
        ASSERT_EQ(moving.height, 120);
        const int movingRed = CountPixels(moving, IsReddish);
        EXPECT_NEAR(movingRed, red, red / 10) << "level " << level;
        EXPECT_TRUE(IsReddish(moving.At(80, 60)));
        EXPECT_TRUE(IsWhite(moving.At(3, 3)));
        // Orbiting at a steady level reuses the walk.
        EXPECT_EQ(LastFrameTimings().walkSkipped, level == 3); // only the resolution changed
        Orbit(scene.Key(), 10, 0);
        scene.Render(160, 120);
        EXPECT_TRUE(LastFrameTimings().walkSkipped) << "level " << level;
        Orbit(scene.Key(), -10, 0);
    }
    SetLevel(model, 0);
    SetReducedResolution(scene.Key(), false);
    const Image after = scene.Render(160, 120);
    EXPECT_TRUE(after.rgba == before.rgba);
}
