// The draw list the scene walk records (no GL needed), and the draw callbacks.
#include "RenderTestScene.h"

#include "platform/render/MeshBuilder.h"
#include "platform/render/SceneWalker.h"

#include <gmock/gmock.h>

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

// A 1 x 1 square with a level 1 (a triangle) and a level 2 (its centre line).
HC_KEY InsertSquareWithLevels() {
    const float points[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
    const int faces[5] = {4, 0, 1, 2, 3};
    HC_KEY key = HC_Insert_Shell(4, points, 5, faces);
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    const int triangle[4] = {3, 0, 1, 2};
    HC_Insert_Shell(3, points, 4, triangle);
    HC_Close_LOD();
    HC_Open_LOD(2);
    const float line[6] = {-0.5f, 0, 0, 0.5f, 0, 0};
    const int lineFaces[3] = {2, 0, 1};
    HC_Insert_Shell(2, line, 3, lineFaces);
    HC_Close_LOD();
    HC_Close_Geometry();
    return key;
}

void SetField(const TestScene& scene, double field) {
    HC_Open_Segment_By_Key(scene.Key());
    HC_Set_Camera_Field(field, field);
    HC_Close_Segment();
}

} // namespace

TEST(SceneWalker, LevelOfDetailFollowsProjectedSize) {
    TestScene scene("walk lod");
    MeshCache cache;
    scene.Open("model");
    HC_Set_Rendering_Options("lod");
    InsertSquareWithLevels();
    HC_Close_Segment();
    // Close up: full detail. The square is 50 pixels across in a 100-pixel window.
    EXPECT_EQ(Walk(scene, cache).Main().meshes.at(0).lod, 0);
    SetField(scene, 3.0);  // about 47 pixels across its diagonal... still large
    SetField(scene, 20.0);  // 5 pixels: level 2
    {
        const DrawList far = Walk(scene, cache);
        ASSERT_EQ(far.Main().meshes.size(), 1u);
        EXPECT_EQ(far.Main().meshes[0].lod, 2);
        EXPECT_EQ(far.Main().meshes[0].mesh->TriangleCount(), 0u);  // the centre line
        EXPECT_TRUE(far.Main().meshes[0].edges);
    }
    SetField(scene, 4.0);  // about 35 pixels: level 1
    EXPECT_EQ(Walk(scene, cache).Main().meshes.at(0).lod, 1);
    EXPECT_EQ(Walk(scene, cache).Main().meshes.at(0).mesh->TriangleCount(), 1u);
    // Without the rendering option, always full detail; marker mode always the coarsest.
    scene.Open("model");
    HC_UnSet_One_Rendering_Option("lod");
    HC_Close_Segment();
    EXPECT_EQ(Walk(scene, cache).Main().meshes.at(0).lod, 0);
    EXPECT_EQ(Walk(scene, cache, 19).Main().meshes.at(0).lod, 2);
}

TEST(SceneWalker, RenderModesSetWhatEachItemShows) {
    TestScene scene("walk modes");
    MeshCache cache;
    scene.Open("model");
    HC_Set_Visibility("edges = off");
    InsertSquareWithLevels();
    HC_Close_Segment();
    const MeshDraw shaded = Walk(scene, cache, 8).Main().meshes.at(0);
    EXPECT_TRUE(shaded.faces);
    EXPECT_FALSE(shaded.edges);
    EXPECT_EQ(shaded.surface.shading, Shading::Gouraud);
    EXPECT_EQ(Walk(scene, cache, 9).Main().meshes.at(0).surface.shading, Shading::Flat);
    const MeshDraw wire = Walk(scene, cache, 1).Main().meshes.at(0);
    EXPECT_FALSE(wire.faces);
    EXPECT_TRUE(wire.edges);  // line modes show edges even where the scene hides them
    const MeshDraw hidden = Walk(scene, cache, 4).Main().meshes.at(0);
    EXPECT_TRUE(hidden.hiddenSurfaceOnly);
    EXPECT_TRUE(hidden.edges);
    EXPECT_TRUE(hidden.edgeState.silhouetteOnly);  // outlines, not facet edges
    EXPECT_TRUE(Walk(scene, cache, 3).Main().meshes.at(0).edgeState.silhouetteOnly);
    scene.Open("model");
    HC_Set_Color("faces = (transmission = (r=0.75 g=0.75 b=0.75))");
    HC_Close_Segment();
    const MeshDraw seeThrough = Walk(scene, cache, 4).Main().meshes.at(0);
    EXPECT_FALSE(seeThrough.faces);  // see-through faces hide no lines
    EXPECT_TRUE(seeThrough.edges);
    scene.Open("model");
    HC_UnSet_Color();
    HC_Set_Visibility("markers = off");
    HC_Close_Segment();
    EXPECT_FALSE(Walk(scene, cache, 19).Main().meshes.at(0).vertexMarkers);
    scene.Open("model");
    HC_Set_Visibility("markers = on");
    HC_Close_Segment();
    EXPECT_TRUE(Walk(scene, cache, 19).Main().meshes.at(0).vertexMarkers);
}

TEST(SceneWalker, AttributeLockKeepsTheStyleTransmission) {
    TestScene scene("walk lock");
    MeshCache cache;
    HC_Open_Segment("/style library/walk lock style");
    HC_Set_Color("faces = (diffuse = red, transmission = (r=0.5 g=0.5 b=0.5))");
    HC_Set_Rendering_Options("attribute lock = (color = (faces = transmission))");
    HC_Close_Segment();
    scene.Open("element");
    HC_Style_Segment("/style library/walk lock style");
    HC_Close_Segment();
    scene.Open("element/part");
    HC_Set_Color("faces = (diffuse = blue, transmission = black)");
    InsertSquareWithLevels();
    HC_Close_Segment();
    const MeshDraw locked = Walk(scene, cache).Main().meshes.at(0);
    EXPECT_NEAR(locked.surface.transmission, 0.5f, 1e-6f);
    EXPECT_EQ(locked.faceColor, (Color{0, 0, 1}));  // only the transmission is locked
    HC_Open_Segment("/style library/walk lock style");
    HC_UnSet_One_Rendering_Option("attribute lock");
    HC_Close_Segment();
    EXPECT_NEAR(Walk(scene, cache).Main().meshes.at(0).surface.transmission, 0.0f, 1e-6f);
    HC_Delete_Segment("/style library/walk lock style");
}

TEST(SceneWalker, MeshesAreReusedUntilTheItemChanges) {
    TestScene scene("walk cache");
    MeshCache cache;
    scene.Open("model");
    HC_KEY key = InsertSquareWithLevels();
    HC_Close_Segment();
    const DrawList first = Walk(scene, cache);
    const std::uint64_t builds = cache.Builds();
    const DrawList second = Walk(scene, cache);
    EXPECT_EQ(cache.Builds(), builds);
    EXPECT_EQ(first.Main().meshes.at(0).meshStamp, second.Main().meshes.at(0).meshStamp);
    // A face colour changes the item: its mesh is rebuilt with the colour.
    scene.Open("model");
    HC_Open_Geometry(key);
    HC_Open_Face(0);
    HC_Set_Color("faces = green");
    HC_Close_Face();
    HC_Close_Geometry();
    HC_Close_Segment();
    const DrawList third = Walk(scene, cache);
    EXPECT_GT(cache.Builds(), builds);
    const Mesh& mesh = *third.Main().meshes.at(0).mesh;
    ASSERT_FALSE(mesh.colors.empty());
    EXPECT_EQ(mesh.colors[0], PackColor({0, 1, 0}));
    // The cache counts the rebuilt mesh, not the one it replaced, and nothing once it lets go.
    ASSERT_EQ(cache.Size(), 1u);
    EXPECT_EQ(cache.Bytes(), MeshBytes(mesh));
    for (int i = 0; i < 8; ++i) cache.EndFrame(2);
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(cache.Bytes(), 0u);
}

TEST(SceneWalker, IncludesModellingMatricesAndCycles) {
    TestScene scene("walk include");
    MeshCache cache;
    HC_KEY library = HC_Open_Segment("/include library/walk include part");
    HC_Set_Color("faces = blue");
    InsertSquareWithLevels();
    HC_Close_Segment();
    scene.Open("a");
    HC_Translate_Object(2, 0, 0);
    HC_Include_Segment_By_Key(library);
    HC_Close_Segment();
    scene.Open("b");
    HC_Include_Segment_By_Key(library);
    HC_Close_Segment();
    // A cycle: the library includes the display's "b" which includes the library.
    HC_Open_Segment_By_Key(library);
    HC_Include_Segment((scene.Path() + "/b").c_str());
    HC_Close_Segment();
    const DrawList list = Walk(scene, cache);
    ASSERT_GE(list.Main().meshes.size(), 2u);
    const MeshDraw& moved = list.Main().meshes[0];
    EXPECT_FALSE(moved.identity);
    EXPECT_DOUBLE_EQ(moved.matrix(3, 0), 2.0);
    EXPECT_EQ(moved.faceColor, (Color{0, 0, 1}));
    EXPECT_LT(list.Main().meshes.size(), 50u);  // the cycle is cut, not followed forever
    HC_Delete_By_Key(library);
}

TEST(SceneWalker, SubwindowsLightsAndClipPlanes) {
    TestScene scene("walk layers");
    MeshCache cache;
    scene.Open("lights");
    HC_Insert_Distant_Light(0, 0, 1);
    HC_Close_Segment();
    scene.Open("cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, -0.25);
    HC_Close_Segment();
    scene.Open("model");
    InsertSquareWithLevels();
    HC_Close_Segment();
    const float position[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    scene.Open("axis");
    HC_Set_Window(-1, -0.5, -1, -0.5);
    HC_Set_Color("windows = black");
    HC_Set_Camera(position, target, up, 2, 2, "orthographic");
    HC_Insert_Line(0, 0, 0, 1, 0, 0);
    HC_Close_Segment();
    scene.Open("windowspace");
    HC_Set_Camera(position, target, up, 2, 2, "stretched");
    HC_Insert_Marker(0.9, 0.9, 0);
    HC_Close_Segment();
    const DrawList list = Walk(scene, cache, 0, 200);
    ASSERT_EQ(list.layers.size(), 3u);
    // The window-space segment draws over the whole window through its own camera.
    const Layer& overlay = list.layers[2];
    EXPECT_EQ(overlay.width, 200);
    EXPECT_FALSE(overlay.clearColor);
    EXPECT_EQ(overlay.camera.projection, CameraMath::Projection::Stretched);
    EXPECT_EQ(overlay.markers.size(), 1u);
    EXPECT_TRUE(list.Main().markers.empty());
    const Layer& axis = list.layers[1];
    EXPECT_EQ(axis.x, 0);
    EXPECT_EQ(axis.y, 0);
    EXPECT_EQ(axis.width, 50);
    EXPECT_EQ(axis.height, 50);
    EXPECT_TRUE(axis.clearColor);
    EXPECT_EQ(axis.windowTop, (Color{0, 0, 0}));
    EXPECT_EQ(axis.lines.size(), 1u);
    ASSERT_EQ(list.Main().lights.size(), 1u);
    EXPECT_FLOAT_EQ(list.Main().lights[0].toLight[2], 1.0f);
    const MeshDraw& square = list.Main().meshes.at(0);
    ASSERT_GE(square.surface.clipSet, 0);
    const auto& planes = list.Main().clipSets[static_cast<size_t>(square.surface.clipSet)];
    ASSERT_EQ(planes.size(), 1u);
    EXPECT_DOUBLE_EQ(planes[0].a, 1.0);
    EXPECT_DOUBLE_EQ(planes[0].d, -0.25);
}

namespace {

struct CallbackLog {
    int calls = 0;
    HIC_DC_Point first{}, last{};
    HC_KEY segment = -1;
    int width = 0;
};
CallbackLog g_log;

void RecordPolyline(HIC_Rendition const* nr, int count, HIC_DC_Point const* points) {
    ++g_log.calls;
    g_log.first = points[0];
    g_log.last = points[count - 1];
    g_log.segment = HIC_Show_Segment_Key(nr);
    HIC_Show_Window_Size(nr, &g_log.width, nullptr);
    // Draw it 20 pixels higher instead.
    HIC_DC_Point moved[2] = {{points[0].x, points[0].y + 20, points[0].z}, {points[1].x, points[1].y + 20, points[1].z}};
    HIC_Draw_DC_Polyline(nr, 2, moved);
}

} // namespace

TEST(SceneWalker, DrawDcPolylineCallbackGetsDevicePoints) {
    KETRA_REQUIRE_GL();
    g_log = {};
    HC_Define_Callback_Name("walk test polyline", reinterpret_cast<HC_CALLBACK>(&RecordPolyline));
    TestScene scene("walk callback");
    HC_KEY segment = scene.Open("leader");
    HC_Set_Color("lines = black");
    HC_Set_Callback("draw dc polyline = walk test polyline");
    HC_Insert_Line(-0.5, 0, 0, 0.5, 0, 0);
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    EXPECT_EQ(g_log.calls, 1);
    EXPECT_NEAR(g_log.first.x, 25, 0.01);
    EXPECT_NEAR(g_log.first.y, 50, 0.01);  // device y runs up from the bottom
    EXPECT_NEAR(g_log.last.x, 75, 0.01);
    EXPECT_GE(g_log.first.z, 0.0f);
    EXPECT_LE(g_log.first.z, 1.0f);
    EXPECT_EQ(g_log.segment, segment);
    EXPECT_EQ(g_log.width, 100);
    EXPECT_TRUE(IsWhite(image.At(50, 50)));  // not drawn where the line was
    EXPECT_TRUE(IsDark(image.At(50, 30)) || IsDark(image.At(50, 29)));  // but 20 pixels up
    HC_UnDefine_Callback_Name("walk test polyline");
}

TEST(SceneWalker, UpdateDisplayRendersHeadlessViews) {
    KETRA_REQUIRE_GL();
    InstallDisplayDriver();
    InstallDisplayDriver();  // once only
    TestScene scene("walk update");
    HC_Open_Segment_By_Key(scene.Key());
    HC_Set_Driver_Options("window size = (64 pixels, 32 pixels)");
    HC_Close_Segment();
    scene.Open("model");
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");
    InsertSquareWithLevels();
    HC_Close_Segment();
    HC_Update_Display();
    const Image* frame = LastFrame(scene.Key());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width, 64);
    EXPECT_EQ(frame->height, 32);
    EXPECT_TRUE(IsReddish(frame->At(32, 16)));
    int repaints = 0;
    SetWindowTarget(scene.Key(), [&] { ++repaints; });
    scene.Open("model");
    HC_Set_Color("faces = blue");
    HC_Close_Segment();
    HC_Update_Display();
    EXPECT_EQ(repaints, 1);
    HC_Update_Display();  // nothing changed
    EXPECT_EQ(repaints, 1);
    SetWindowTarget(scene.Key(), {});
}

// A change in one view's own segments (its camera, its options) redraws that view only; a
// change to what they share, or to a view's segment that another includes, redraws them all.
TEST(SceneWalker, AChangeInOneDisplayRepaintsOnlyThatDisplay) {
    InstallDisplayDriver();
    TestScene a("walk camera a"), b("walk camera b");
    const HC_KEY model = HC_Open_Segment("/include library/walk camera model");
    InsertSquareWithLevels();
    HC_Close_Segment();
    int repaintsA = 0, repaintsB = 0;
    SetWindowTarget(a.Key(), [&] { ++repaintsA; });
    SetWindowTarget(b.Key(), [&] { ++repaintsB; });
    const float target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    auto look = [&](HC_KEY segment, float x) {
        const float eye[3] = {x, 0, 5};
        HC_Open_Segment_By_Key(segment);
        HC_Set_Camera(eye, target, up, 2.0, 2.0, "orthographic");
        HC_Close_Segment();
    };
    for (TestScene* scene : {&a, &b}) {
        HC_Open_Segment_By_Key(scene->Key());
        HC_Include_Segment_By_Key(model);
        HC_Close_Segment();
        look(scene->Key(), 0);
    }
    HC_Update_Display();
    ASSERT_EQ(repaintsA, 1);
    ASSERT_EQ(repaintsB, 1);
    look(a.Key(), 1);  // a camera-only change
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 2);
    EXPECT_EQ(repaintsB, 1);
    look(b.Key(), 1);
    look(a.Key(), 2);
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 3);
    EXPECT_EQ(repaintsB, 2);
    look(model, 0);  // the model's first camera: a content change
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 4);
    EXPECT_EQ(repaintsB, 3);
    look(model, 1);  // moved: both show it
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 5);
    EXPECT_EQ(repaintsB, 4);
    HC_Open_Segment_By_Key(a.Key());
    const HC_KEY overlay = HC_Open_Segment("overlay");
    HC_Set_Rendering_Options("lod = on");
    HC_Close_Segment();
    HC_Close_Segment();
    look(b.Key(), 3);
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 6);
    EXPECT_EQ(repaintsB, 5);
    HC_Open_Segment_By_Key(b.Key());
    HC_Include_Segment_By_Key(overlay);  // now b shows a's overlay too
    HC_Close_Segment();
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 6);
    EXPECT_EQ(repaintsB, 6);
    HC_Open_Segment_By_Key(overlay);
    HC_Set_Color("faces = red");
    HC_Close_Segment();
    HC_Update_Display();
    EXPECT_EQ(repaintsA, 7);
    EXPECT_EQ(repaintsB, 7);
    SetWindowTarget(a.Key(), {});
    SetWindowTarget(b.Key(), {});
    HC_Delete_By_Key(model);
}

// Views a window layer sets up are left undrawn meanwhile, while views with a window are
// still asked to paint; the first update afterwards draws what is out of date.
TEST(SceneWalker, DeferredOffscreenFramesAreDrawnByTheFirstUpdateAfter) {
    KETRA_REQUIRE_GL();
    InstallDisplayDriver();
    TestScene headless("walk deferred"), windowed("walk deferred window");
    for (TestScene* scene : {&headless, &windowed}) {
        HC_Open_Segment_By_Key(scene->Key());
        HC_Set_Driver_Options("window size = (16 pixels, 16 pixels)");
        HC_Close_Segment();
        scene->Open("model");
        HC_Set_Color("faces = red");
        InsertSquareWithLevels();
        HC_Close_Segment();
    }
    int repaints = 0;
    SetWindowTarget(windowed.Key(), [&] { ++repaints; });
    {
        DeferOffscreenFrames deferred;
        HC_Update_Display();
        EXPECT_EQ(LastFrame(headless.Key()), nullptr);
        EXPECT_EQ(repaints, 1);
        DeferOffscreenFrames nested;
    }
    HC_Update_Display();
    const Image* frame = LastFrame(headless.Key());
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(IsReddish(frame->At(8, 8)));
    EXPECT_EQ(repaints, 1);  // nothing changed for the window
    SetWindowTarget(windowed.Key(), {});
}

TEST(SceneWalker, TubesTakeFewerSidesWhenSmallOnScreen) {
    TestScene scene("walk tube facets");
    MeshCache cache;
    scene.Open("model");
    const float points[6] = {-0.5f, 0, 0, 0.5f, 0, 0};
    const float radius[1] = {0.2f};
    HC_Insert_PolyCylinder(2, points, 1, radius, "both");
    HC_Close_Segment();
    // A capped tube of n sides: 2n triangles along it and n - 2 in each cap.
    auto sides = [](size_t triangles) { return (triangles + 4) / 4; };
    const struct { double field; size_t sides; } cases[] = {
        {1.0, 16},   // 40 pixels across
        {3.0, 12},   // about 13
        {5.0, 8},    // 8
        {20.0, 6},   // 2
        {1.0, 16},   // and back: the full tube again
    };
    for (const auto& c : cases) {
        SetField(scene, c.field);
        const DrawList list = Walk(scene, cache);
        ASSERT_EQ(list.Main().meshes.size(), 1u);
        EXPECT_EQ(sides(list.Main().meshes[0].mesh->TriangleCount()), c.sides) << c.field;
    }
}

// Motion frames clamp the detail ("lodo = (clamp = n)"): every item at that level and tubes
// with fewer sides whatever their size, chosen without the camera so the walk can be reused.
TEST(SceneWalker, ClampedDetailIgnoresTheCameraAndUnsettingItRestoresFullDetail) {
    TestScene scene("walk clamp");
    MeshCache cache;
    const HC_KEY model = scene.Open("model");
    const float points[6] = {-0.5f, 0, 0, 0.5f, 0, 0};
    const float radius[1] = {0.2f};
    HC_Insert_PolyCylinder(2, points, 1, radius, "both");
    HC_Open_Segment("square");
    InsertSquareWithLevels();
    HC_Close_Segment();
    HC_Close_Segment();
    auto sides = [](size_t triangles) { return (triangles + 4) / 4; };
    SetField(scene, 1.0);
    const DrawList full = Walk(scene, cache);  // 40 pixels across: 16 sides, level 0
    ASSERT_EQ(full.Main().meshes.size(), 2u);
    EXPECT_EQ(sides(full.Main().meshes[0].mesh->TriangleCount()), 16u);
    EXPECT_TRUE(full.cameraDependent);
    for (int level : {1, 2}) {
        HC_Open_Segment_By_Key(model);
        HC_Set_Rendering_Options(("lod = on, lodo = (clamp = " + std::to_string(level) + ")").c_str());
        HC_Close_Segment();
        const DrawList moving = Walk(scene, cache);
        ASSERT_EQ(moving.Main().meshes.size(), 2u);
        EXPECT_EQ(sides(moving.Main().meshes[0].mesh->TriangleCount()), level == 1 ? 8u : 6u);
        EXPECT_EQ(moving.Main().meshes[1].lod, level);
        EXPECT_FALSE(moving.cameraDependent);
    }
    HC_Open_Segment_By_Key(model);
    HC_UnSet_One_Rendering_Option("lodo");
    HC_UnSet_One_Rendering_Option("lod");
    HC_Close_Segment();
    const DrawList again = Walk(scene, cache);
    EXPECT_EQ(again.Main().meshes[0].mesh->TriangleCount(), full.Main().meshes[0].mesh->TriangleCount());
    EXPECT_EQ(again.Main().meshes[1].lod, 0);
}

// Two panes of one model share a mesh cache: the meshes one pane shows stay however many
// frames the other draws of its own (here coarser, motion-time tubes), and go once it leaves.
TEST(SceneWalker, ASharedMeshCacheKeepsWhatEachSharerLastShowed) {
    MeshCache cache;
    const HC_KEY model = HC_Open_Segment("/include library/walk shared model");
    const float points[6] = {-0.5f, 0, 0, 0.5f, 0, 0};
    const float radius[1] = {0.2f};
    HC_Insert_PolyCylinder(2, points, 1, radius, "both");
    HC_Close_Segment();
    TestScene still("walk shared still"), moving("walk shared moving");
    for (TestScene* scene : {&still, &moving}) {
        HC_Open_Segment_By_Key(scene->Key());
        HC_Include_Segment_By_Key(model);
        HC_Close_Segment();
        SetField(*scene, 1.0);
    }
    HC_Open_Segment_By_Key(moving.Key());
    HC_Set_Rendering_Options("lod = on, lodo = (clamp = 2)");
    HC_Close_Segment();
    const int stillUser = cache.Join(), movingUser = cache.Join();
    ASSERT_NE(stillUser, movingUser);
    auto walk = [&](const TestScene& scene, int user) {
        WalkSettings settings;
        settings.width = settings.height = 100;
        settings.meshCacheUser = user;
        DrawList list;
        EXPECT_TRUE(BuildDrawList(scene.Key(), settings, cache, list));
        return list;
    };
    const DrawList first = walk(still, stillUser);
    for (int i = 0; i < 20; ++i) walk(moving, movingUser);
    const std::uint64_t builds = cache.Builds();
    const DrawList again = walk(still, stillUser);
    EXPECT_EQ(cache.Builds(), builds);
    EXPECT_EQ(again.Main().meshes.at(0).meshStamp, first.Main().meshes.at(0).meshStamp);
    EXPECT_EQ(cache.Size(), 2u);  // the full tube and the coarse one
    cache.Leave(stillUser);
    for (int i = 0; i < 6; ++i) walk(moving, movingUser);
    EXPECT_EQ(cache.Size(), 1u);
    HC_Delete_By_Key(model);
}

TEST(SceneWalker, MeshesBuiltTogetherAfterTheWalkLandOnTheirDraws) {
    // Enough new items for the parallel build, a shared (included) item drawn twice, empty
    // items that are dropped, and a level-of-detail item after them that must keep its level.
    TestScene scene("walk parallel");
    MeshCache cache;
    const HC_KEY shared = HC_Create_Segment("/include library/walk parallel shared");
    HC_Open_Segment_By_Key(shared);
    const float tri[9] = {0, 0, 0, 0.01f, 0, 0, 0, 0.01f, 0};
    const int triFaces[4] = {3, 0, 1, 2};
    HC_Insert_Shell(3, tri, 4, triFaces);
    HC_Close_Segment();
    scene.Open("model");
    HC_Set_Rendering_Options("lod");
    for (int i = 0; i < 100; ++i) {
        const float x = -0.9f + 0.018f * static_cast<float>(i);
        const float p[9] = {x, 0, 0, x + 0.01f, 0, 0, x, 0.01f, 0};
        HC_Insert_Shell(3, p, 4, triFaces);
        if (i % 10 == 0) HC_Insert_Shell(0, nullptr, 0, nullptr);  // draws nothing
    }
    HC_Open_Segment("a");
    HC_Include_Segment_By_Key(shared);
    HC_Close_Segment();
    HC_Open_Segment("b");
    HC_Translate_Object(0.5, 0.5, 0);
    HC_Include_Segment_By_Key(shared);
    HC_Close_Segment();
    HC_Open_Segment("far");
    HC_Scale_Object(0.05, 0.05, 0.05);  // 2.5 pixels across: level 2
    InsertSquareWithLevels();
    HC_Close_Segment();
    HC_Close_Segment();

    const DrawList built = Walk(scene, cache);
    const DrawList cached = Walk(scene, cache);  // everything found in the cache this time
    for (const DrawList* list : {&built, &cached}) {
        const auto& meshes = list->Main().meshes;
        ASSERT_EQ(meshes.size(), 103u);
        for (const MeshDraw& d : meshes) ASSERT_TRUE(d.mesh);
        EXPECT_EQ(meshes[100].meshStamp, meshes[101].meshStamp);  // one mesh for the shared item
        EXPECT_FALSE(meshes[101].identity);
        EXPECT_EQ(meshes[102].lod, 2);
        EXPECT_EQ(meshes[102].mesh->TriangleCount(), 0u);
    }
    for (size_t i = 0; i < 100; ++i) {
        EXPECT_EQ(built.Main().meshes[i].meshStamp, cached.Main().meshes[i].meshStamp);
        EXPECT_FLOAT_EQ(built.Main().meshes[i].mesh->positions[0], -0.9f + 0.018f * static_cast<float>(i)) << i;
    }
}
