// Silhouette and hidden-line modes send only the edges they can show to the line shader: a
// tube's picture is its outline and end rings, from a small part of its facet edges.
#include "RenderTestScene.h"

#include "platform/render/GlFrame.h"
#include "platform/render/OutlineEdges.h"
#include "platform/render/SceneWalker.h"

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

namespace cm = ketra::hc::CameraMath;

// Edge a-b along x at the origin between a face towards c and one towards d.
std::vector<std::uint32_t> SelectHinge(const float c[3], const float d[3],
                                       const cm::Camera& camera) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, c[0], c[1], c[2], d[0], d[1], d[2]};
    std::vector<std::uint32_t> out;
    SelectOutlineEdges(positions, {0, 1, 2, 3}, camera, 0.17364818f, out);
    return out;
}

} // namespace

TEST(OutlineEdges, KeepsBoundariesCreasesAndFoldsOnlyAndLeavesFlatJoinsOut) {
    for (auto projection : {cm::Projection::Orthographic, cm::Projection::Perspective}) {
        cm::Camera camera; // at (0, 0, 5) looking down -z
        camera.projection = projection;
        const float up[3] = {0.5f, 1, 0.05f}, down[3] = {0.5f, -1, 0.05f};
        EXPECT_TRUE(SelectHinge(up, down, camera).empty()); // nearly flat, facing the eye
        const float upBack[3] = {0.5f, 1, -1}, upFront[3] = {0.5f, 1, 1};
        EXPECT_EQ(SelectHinge(upBack, upFront, camera).size(), 1u); // folded over: silhouette
        const float side[3] = {0.5f, 0, 1};
        EXPECT_EQ(SelectHinge(up, side, camera).size(), 1u); // a 90-degree fold is always drawn
        const float a[3] = {0, 0, 0};
        EXPECT_EQ(SelectHinge(up, a, camera).size(), 1u); // one face only: a boundary
    }
}

// With the picture's projection, edges under half a pixel on screen are left out, except bare
// lines, which are all there is of what they draw.
TEST(OutlineEdges, EdgesTooShortOnScreenAreLeftOutButBareLinesStay) {
    for (auto projection : {cm::Projection::Orthographic, cm::Projection::Perspective}) {
        Layer layer; // 100 x 100 pixels over a 2 x 2 field: 50 pixels a unit at the target
        layer.width = layer.height = 100;
        layer.camera.projection = projection;
        const OutlineScreen screen{MakeFrame(layer).worldToClip, {100, 100}, 0.5f};
        for (float length : {0.004f, 0.02f}) { // 0.2 and 1 pixel
            // A 90-degree fold, then a bare line, both along x from the origin.
            const std::vector<float> positions = {0, 0, 0, length, 0, 0, 0.5f, 1, 0, 0.5f, 0, 1};
            std::vector<std::uint32_t> kept;
            SelectOutlineEdges(positions, {0, 1, 2, 3, 0, 1, 0, 0}, layer.camera, 0.17364818f, kept, &screen);
            EXPECT_EQ(kept, (length < 0.01f ? std::vector<std::uint32_t>{1} : std::vector<std::uint32_t>{0, 1}))
                << length;
            kept.clear();
            SelectOutlineEdges(positions, {0, 1, 2, 3, 0, 1, 0, 0}, layer.camera, 0.17364818f, kept);
            EXPECT_EQ(kept.size(), 2u) << "without a screen every edge stays";
        }
    }
}

// A straight pipe of nine runs along x: 16 sides, so 9 x 16 facet edges along it and 10 rings.
TEST(OutlineModes, TubeDrawsFarFewerEdgesThanItsFacetsYetItsWholeOutline) {
    KETRA_REQUIRE_GL();
    for (const char* projection : {"orthographic", "perspective"}) {
        TestScene scene(std::string("outline tube ") + projection, projection);
        scene.Open("model");
        std::vector<float> points;
        for (int i = 0; i <= 9; ++i)
            points.insert(points.end(), {-0.6f + 1.2f / 9 * static_cast<float>(i), 0, 0});
        const float radii[1] = {0.25f};
        HC_Insert_PolyCylinder(10, points.data(), 1, radii, "both");
        HC_Close_Segment();
        for (int mode : {3, 4}) {
            MeshCache cache;
            WalkSettings settings;
            settings.width = settings.height = 120;
            settings.renderMode = mode;
            DrawList list;
            ASSERT_TRUE(BuildDrawList(scene.Key(), settings, cache, list));
            ASSERT_EQ(list.Main().meshes.size(), 1u);
            const size_t facetEdges = list.Main().meshes[0].mesh->EdgeCount();

            const Image picture = scene.Render(120, 120, mode);
            const size_t drawn = LastFrameTimings().edgeSegments;
            EXPECT_GT(drawn, 0u);
            EXPECT_LT(drawn * 3, facetEdges) << projection << " mode " << mode;
            // The outline: both long sides (rows 60 -+ 15) and both ends (columns 60 -+ 36)...
            auto darkNear = [&](int x, int y) {
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        if (IsDark(picture.At(x + dx, y + dy)))
                            return true;
                return false;
            };
            for (int x = 30; x <= 90; x += 6) {
                EXPECT_TRUE(darkNear(x, 45)) << projection << " mode " << mode << " x " << x;
                EXPECT_TRUE(darkNear(x, 75)) << projection << " mode " << mode << " x " << x;
            }
            for (int y = 50; y <= 70; y += 5) {
                EXPECT_TRUE(darkNear(24, y)) << projection << " mode " << mode << " y " << y;
                EXPECT_TRUE(darkNear(96, y)) << projection << " mode " << mode << " y " << y;
            }
            // ...and nothing inside it: no facet lines along the pipe, no joints across it.
            int inside = 0;
            for (int y = 52; y <= 68; ++y)
                for (int x = 32; x <= 88; ++x)
                    inside += IsDark(picture.At(x, y)) ? 1 : 0;
            EXPECT_EQ(inside, 0) << projection << " mode " << mode;
        }
        // Seen from another side, the outline is chosen again for that camera.
        HC_Open_Segment_By_Key(scene.Key());
        HC_Orbit_Camera(0, 60);
        HC_Close_Segment();
        const Image turned = scene.Render(120, 120, 4);
        int outline = 0;
        for (int x = 30; x <= 90; ++x)
            outline += IsDark(turned.At(x, 60 - 15)) || IsDark(turned.At(x, 60 - 14)) ? 1 : 0;
        EXPECT_GT(outline, 50) << projection;
    }
}

namespace {

// A flat square x in [-0.8, -0.2], y in [-0.3, 0.3] as two triangles: four boundary edges
// (bottom, right, top, left) and the diagonal between the triangles.
std::shared_ptr<const Mesh> FlatSquare(std::vector<std::uint32_t> edgeColors) {
    Mesh mesh;
    mesh.positions = {-0.8f, -0.3f, 0, -0.2f, -0.3f, 0, -0.2f, 0.3f, 0, -0.8f, 0.3f, 0};
    mesh.normals.assign(4, PackNormal(0, 0, 1));
    mesh.triangles = {0, 1, 2, 0, 2, 3};
    mesh.edges = {0, 1, 2, 0, 1, 2, 0, 1, 2, 3, 0, 2, 3, 0, 2, 3, 0, 2, 1, 3};
    mesh.edgeColors = std::move(edgeColors);
    mesh.boundsMin = {-0.8f, -0.3f, 0};
    mesh.boundsMax = {-0.2f, 0.3f, 0};
    return std::make_shared<const Mesh>(std::move(mesh));
}

} // namespace

// The outline modes choose edges from each item's own mesh and must name the vertices the
// batch laid out: an edge with a colour of its own starts at a copy of its first vertex, which
// shifts every later item of the batch, and a moved item's edges are judged where it is drawn.
TEST(OutlineModes, EdgesOfTheirOwnColourAndMovedItemsKeepTheirPlaceInABatch) {
    KETRA_REQUIRE_GL();
    constexpr std::uint32_t kRed = 0xFF0000FFu, kBlue = 0xFFFF0000u;
    DrawList list;
    list.width = list.height = 64;
    Layer layer;
    layer.width = layer.height = 64;
    layer.cameraSet = true;  // the default camera: x and y from -1 to 1 fill the picture
    layer.hasBounds = true;
    layer.boundsMin = {-1, -1, -1};
    layer.boundsMax = {1, 1, 1};
    MeshDraw left;
    left.key = 1;
    left.mesh = FlatSquare({kRed, 0, 0, 0, 0});  // the bottom edge red
    left.meshStamp = 1;
    left.hiddenSurfaceOnly = true;
    left.edges = true;
    left.edgeState.silhouetteOnly = true;
    MeshDraw right = left;  // the same square moved 1 along x, its top edge blue
    right.key = 2;
    right.mesh = FlatSquare({0, 0, kBlue, 0, 0});
    right.meshStamp = 2;
    right.matrix(3, 0) = 1.0;
    right.identity = false;
    layer.meshes = {left, right};
    list.layers.push_back(std::move(layer));

    Image picture;
    ASSERT_TRUE(RenderDrawList(list, {64, 64, 1}, picture));
    // World y -0.3 and 0.3 are rows about 41.6 and 22.4; x -0.8..-0.2 columns 6..26, and
    // 0.2..0.8 columns 38..58.
    auto anyNear = [&](int x, int y, bool (*test)(const Image::Pixel&)) {
        for (int dy = -2; dy <= 2; ++dy)
            if (test(picture.At(x, y + dy))) return true;
        return false;
    };
    auto red = [](const Image::Pixel& p) { return p.r > 150 && p.g < 90 && p.b < 90; };
    auto blue = [](const Image::Pixel& p) { return p.b > 150 && p.r < 90 && p.g < 90; };
    auto black = [](const Image::Pixel& p) { return IsDark(p) && !(p.r > 150 || p.b > 150); };
    for (int x = 10; x <= 22; x += 4) {
        EXPECT_TRUE(anyNear(x, 42, red)) << "left bottom, column " << x;
        EXPECT_TRUE(anyNear(x, 22, black)) << "left top, column " << x;
        EXPECT_TRUE(anyNear(x + 32, 22, blue)) << "right top, column " << x + 32;
        EXPECT_TRUE(anyNear(x + 32, 42, black)) << "right bottom, column " << x + 32;
    }
    // Both sides of each square, and no diagonal across a flat face.
    for (int y = 26; y <= 38; y += 4) {
        EXPECT_TRUE(anyNear(6, y, black) || anyNear(7, y, black)) << "left side, row " << y;
        EXPECT_TRUE(anyNear(57, y, black) || anyNear(58, y, black)) << "right side, row " << y;
    }
    EXPECT_FALSE(IsDark(picture.At(16, 32)));
    EXPECT_FALSE(IsDark(picture.At(48, 32)));
}

// Changing a view from shaded to hidden line replaces its faces in place: the faces that only
// hide share the shaded faces' buffers, and the outlines are drawn from the hidden faces'
// vertices, so the renderer holds one set of vertices and the indices of the edges shown.
TEST(OutlineModes, HiddenLineReusesTheShadedFacesBuffersInsteadOfHoldingBoth) {
    KETRA_REQUIRE_GL();
    TestScene scene("outline buffers", "orthographic");
    scene.Open("model");
    HC_Set_Visibility("edges = off");  // shaded: the faces alone; hidden line adds the outlines
    for (int row = 0; row < 4; ++row) {
        std::vector<float> points;
        for (int i = 0; i <= 9; ++i)
            points.insert(points.end(), {-0.6f + 1.2f / 9 * static_cast<float>(i), -0.6f + 0.4f * static_cast<float>(row), 0});
        const float radii[1] = {0.15f};
        HC_Insert_PolyCylinder(10, points.data(), 1, radii, "both");
    }
    HC_Close_Segment();
    ReleaseHeadlessResources();
    scene.Render(120, 120, 8);
    const size_t shaded = LastFrameTimings().bufferBytes;
    scene.Render(120, 120, 4);
    const size_t hidden = LastFrameTimings().bufferBytes;
    ASSERT_GT(shaded, 0u);
    // Only the edges' indices come on top of the faces: a copy of the vertices for the edges
    // would add about two fifths, a second copy of the faces would double them.
    EXPECT_GT(hidden, shaded);
    EXPECT_LT(hidden, shaded * 11 / 10) << "shaded " << shaded << " bytes, hidden line " << hidden;
}
