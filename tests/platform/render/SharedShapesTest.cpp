// Shells that are moved and turned copies of one another draw one mesh through a placement.
#include "RenderTestScene.h"

#include "platform/render/MeshBuilder.h"
#include "platform/render/SceneWalker.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace ketra::render;
using namespace ketra::render::testing;
namespace cm = ketra::hc::CameraMath;

namespace {

// An L-shaped block, 0.4 long, 0.3 wide, 0.1 thick, about the origin: two non-convex caps and
// six sides (12 points).
struct Block {
    std::vector<float> points;
    std::vector<int> faces;
};

Block LBlock(double scale = 1.0) {
    const double outline[6][2] = {{0, 0}, {0.4, 0}, {0.4, 0.1}, {0.1, 0.1}, {0.1, 0.3}, {0, 0.3}};
    Block b;
    for (double z : {-0.05, 0.05})
        for (const auto& p : outline)
            for (double v : {(p[0] - 0.2) * scale, (p[1] - 0.15) * scale, z * scale}) b.points.push_back(static_cast<float>(v));
    b.faces = {6, 5, 4, 3, 2, 1, 0, 6, 6, 7, 8, 9, 10, 11};
    for (int i = 0; i < 6; ++i) b.faces.insert(b.faces.end(), {4, i, (i + 1) % 6, 6 + (i + 1) % 6, 6 + i});
    return b;
}

// b turned about an axis and moved; mirrored in x first when asked (same face list).
Block Moved(Block b, cm::Vec3 axis, double degrees, cm::Vec3 offset, bool mirror = false) {
    const cm::Matrix4 m = cm::Multiply(cm::Rotation(cm::Normalized(axis), degrees), cm::Translation(offset));
    for (size_t i = 0; i < b.points.size(); i += 3) {
        const cm::Vec3 p = cm::TransformPoint(m, {mirror ? -b.points[i] : b.points[i], b.points[i + 1], b.points[i + 2]});
        b.points[i] = static_cast<float>(p.x), b.points[i + 1] = static_cast<float>(p.y), b.points[i + 2] = static_cast<float>(p.z);
    }
    return b;
}

HC_KEY Insert(const Block& b) {
    return HC_Insert_Shell(static_cast<int>(b.points.size() / 3), b.points.data(), static_cast<int>(b.faces.size()),
                           b.faces.data());
}

// How far the draw's mesh, put where the draw puts it, lies from the block's points: the
// largest distance from a drawn vertex to its nearest point, and from a point to its nearest
// drawn vertex.
double Misfit(const MeshDraw& d, const std::vector<float>& xyz) {
    std::vector<cm::Vec3> drawn, points;
    for (size_t i = 0; i < d.mesh->VertexCount(); ++i) {
        const cm::Vec3 v{d.mesh->positions[3 * i], d.mesh->positions[3 * i + 1], d.mesh->positions[3 * i + 2]};
        drawn.push_back(d.identity ? v : cm::TransformPoint(d.matrix, v));
    }
    for (size_t i = 0; i < xyz.size(); i += 3) points.push_back({xyz[i], xyz[i + 1], xyz[i + 2]});
    auto farthest = [](const std::vector<cm::Vec3>& from, const std::vector<cm::Vec3>& to) {
        double worst = 0;
        for (const cm::Vec3& p : from) {
            double best = 1e300;
            for (const cm::Vec3& q : to) best = std::min(best, cm::Length(p - q));
            worst = std::max(worst, best);
        }
        return worst;
    };
    return std::max(farthest(drawn, points), farthest(points, drawn));
}
double Misfit(const MeshDraw& d, const Block& b) { return Misfit(d, b.points); }

} // namespace

TEST(SharedShapes, MovedCopiesDrawTheFirstShellsMeshAndOthersTheirOwn) {
    TestScene scene("shared shapes");
    MeshCache cache;
    const Block original = LBlock();
    const Block turned = Moved(original, {1, 2, 3}, 37, {0.5, 1.0, 0.7});  // highest in y and z
    const Block far = Moved(original, {0, 1, 0}, 90, {4000.5, 0, 0});  // float steps of 2e-4 there
    const Block mirrored = Moved(original, {1, 2, 3}, 37, {-0.5, 0.25, 0}, true);
    Block bent = Moved(original, {0, 0, 1}, 90, {0, 0.5, 0});
    bent.points[0] += 0.004f;  // one point off by 1 % of the block's length
    const Block larger = LBlock(1.5);
    scene.Open("model");
    const HC_KEY first = Insert(original);
    for (const Block* b : std::initializer_list<const Block*>{&turned, &far, &mirrored, &bent, &larger}) Insert(*b);
    HC_Close_Segment();

    const DrawList list = Walk(scene, cache);
    const auto& draws = list.Main().meshes;
    ASSERT_EQ(draws.size(), 6u);
    EXPECT_TRUE(draws[0].identity);
    for (size_t i : {1, 2}) {
        EXPECT_EQ(draws[i].mesh, draws[0].mesh) << i;
        EXPECT_TRUE(draws[i].placedOnly) << i;
    }
    EXPECT_LT(Misfit(draws[1], turned), 1e-6);
    EXPECT_LT(Misfit(draws[2], far), 1e-3);
    for (size_t i : {3, 4, 5}) {
        EXPECT_NE(draws[i].mesh, draws[0].mesh) << i;
        EXPECT_TRUE(draws[i].identity) << i;
    }
    EXPECT_EQ(cache.Builds(), 4u);
    // The layer's bounds are the points' own, not the turned shape's wider box.
    std::array<float, 3> low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
    for (const Block* b : std::initializer_list<const Block*>{&original, &turned, &far, &mirrored, &bent, &larger})
        for (size_t i = 0; i < b->points.size(); ++i) {
            low[i % 3] = std::min(low[i % 3], b->points[i]);
            high[i % 3] = std::max(high[i % 3], b->points[i]);
        }
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(static_cast<float>(list.Main().boundsMin[k]), low[k]) << k;
        EXPECT_FLOAT_EQ(static_cast<float>(list.Main().boundsMax[k]), high[k]) << k;
    }

    // Another walk finds every entry, placed as before.
    const DrawList again = Walk(scene, cache);
    EXPECT_EQ(cache.Builds(), 4u);
    EXPECT_EQ(again.Main().meshes[1].meshStamp, draws[1].meshStamp);
    EXPECT_LT(Misfit(again.Main().meshes[1], turned), 1e-6);

    // With the first shell gone its copies keep drawing its mesh; a new copy is built.
    HC_Delete_By_Key(first);
    scene.Open("model");
    const Block third = Moved(original, {0, 0, 1}, -20, {0, -0.6, 0});
    Insert(third);
    HC_Close_Segment();
    const DrawList after = Walk(scene, cache);
    ASSERT_EQ(after.Main().meshes.size(), 6u);
    EXPECT_LT(Misfit(after.Main().meshes[0], turned), 1e-6);
    EXPECT_LT(Misfit(after.Main().meshes[5], third), 1e-6);
    EXPECT_TRUE(after.Main().meshes[5].identity);
    EXPECT_EQ(cache.Builds(), 5u);
}

TEST(SharedShapes, ACopysLevelOfDetailIsPlacedByItsOwnPlacement) {
    // A shape whose level 1 is a turned copy of another shell's level 1; the copy's item
    // itself carries a modelling matrix.
    TestScene scene("shared levels");
    MeshCache cache;
    const Block original = LBlock(), coarse = LBlock(0.8);
    const cm::Vec3 axis{0, 1, 1};
    const Block turned = Moved(original, axis, 50, {0.3, 0, 0}), turnedCoarse = Moved(coarse, axis, 50, {0.3, 0, 0});
    scene.Open("model");
    HC_Set_Rendering_Options("lod = on, lodo = (clamp = 1)");
    for (const auto& [full, level] : {std::pair{&original, &coarse}, std::pair{&turned, &turnedCoarse}}) {
        HC_Open_Segment(full == &original ? "a" : "b");
        if (full != &original) HC_Translate_Object(0, 0.5, 0);
        const HC_KEY key = Insert(*full);
        HC_Open_Geometry(key);
        HC_Open_LOD(1);
        Insert(*level);
        HC_Close_LOD();
        HC_Close_Geometry();
        HC_Close_Segment();
    }
    HC_Close_Segment();
    for (int walk = 0; walk < 2; ++walk) {
        const DrawList list = Walk(scene, cache);
        const auto& draws = list.Main().meshes;
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(draws[1].lod, 1);
        EXPECT_EQ(draws[1].mesh, draws[0].mesh);
        EXPECT_LT(Misfit(draws[0], coarse), 1e-6);
        EXPECT_LT(Misfit(draws[1], Moved(turnedCoarse, {1, 0, 0}, 0, {0, 0.5, 0})), 1e-6) << walk;
    }
}

TEST(SharedShapes, ACopyLooksAsItsOwnMeshWouldInEveryMode) {
    KETRA_REQUIRE_GL();
    const Block copy = Moved(LBlock(2.5), {1, -1, 2}, 65, {0.1, 0, 0});
    std::vector<Image> pictures[2];
    for (int shared = 1; shared >= 0; --shared) {
        TestScene scene(shared ? "copy shared" : "copy alone");
        scene.Open("model");
        HC_Set_Color("faces = blue, edges = red");
        HC_Set_Visibility("edges = on");
        if (shared) {  // out of view
            Insert(Moved(LBlock(2.5), {0, 0, 1}, 10, {30, 0, 0}));
            const float from[3] = {30, 5, 0}, to[3] = {30, 6.2f, 0};
            HC_Insert_Cylinder(from, to, 0.2, "both");
        }
        Insert(copy);
        // A smooth tube, whose outline depends on where the eye is.
        const float from[3] = {-0.3f, -0.7f, 0.1f}, to[3] = {0.517206f, -0.189246f, 0.815056f};  // 1.2 long
        HC_Insert_Cylinder(from, to, 0.2, "both");
        HC_Close_Segment();
        if (shared) {  // the walk does share both
            MeshCache cache;
            const DrawList list = Walk(scene, cache);
            ASSERT_EQ(list.Main().meshes.size(), 4u);
            EXPECT_EQ(list.Main().meshes[2].mesh, list.Main().meshes[0].mesh);
            EXPECT_EQ(list.Main().meshes[3].mesh, list.Main().meshes[1].mesh);
        }
        // shaded, then hidden line
        for (int mode : {0, 4}) pictures[shared].push_back(scene.Render(100, 100, mode));
    }
    for (size_t m = 0; m < 2; ++m) {
        const Image &a = pictures[1][m], &b = pictures[0][m];
        ASSERT_EQ(a.rgba.size(), b.rgba.size());
        EXPECT_GT(CountPixels(a, [](const Image::Pixel& p) { return !IsWhite(p); }), 200) << m;
        int differing = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const Image::Pixel p = a.At(x, y), q = b.At(x, y);
                differing += std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)}) > 24;
            }
        EXPECT_LE(differing, 20) << "mode " << m;
    }
}

TEST(SharedShapes, TubesOfTheSameRadiiAndCapsShareAMeshLaidOutAsTheirOwn) {
    TestScene scene("shared tubes");
    MeshCache cache;
    // A bent tube narrowing towards its end, the same turned, and one of another radius.
    const Block path{{0, 0, 0, 0.3f, 0, 0, 0.3f, 0.2f, 0.1f}, {}};
    const Block turned = Moved(path, {1, 1, 0}, 120, {0.2, 0.5, -0.3});
    const float radii[3] = {0.05f, 0.05f, 0.03f}, wider[3] = {0.06f, 0.05f, 0.03f};
    scene.Open("model");
    HC_Insert_PolyCylinder(3, path.points.data(), 3, radii, "both");
    HC_Insert_PolyCylinder(3, turned.points.data(), 3, radii, "both");
    HC_Insert_PolyCylinder(3, turned.points.data(), 3, wider, "both");
    // A cylinder along x and its copy turned out of the axes.
    const float a0[3] = {0, -0.5f, 0}, a1[3] = {0.4f, -0.5f, 0}, b0[3] = {-0.6f, 0, 0.2f}, b1[3] = {-0.6f, 0.24f, 0.52f};
    HC_Insert_Cylinder(a0, a1, 0.04, "none");
    HC_Insert_Cylinder(b0, b1, 0.04, "none");
    HC_Close_Segment();

    const DrawList list = Walk(scene, cache, 0, 2000);  // large enough for 16 sides each
    const auto& draws = list.Main().meshes;
    ASSERT_EQ(draws.size(), 5u);
    EXPECT_EQ(draws[1].mesh, draws[0].mesh);
    EXPECT_NE(draws[2].mesh, draws[0].mesh);
    EXPECT_EQ(draws[4].mesh, draws[3].mesh);
    EXPECT_EQ(cache.Builds(), 3u);
    // The bent copy is placed by its path (its sides may start at another angle about it).
    for (size_t i = 0; i < 9; i += 3) {
        const cm::Vec3 p = cm::TransformPoint(draws[1].matrix, {path.points[i], path.points[i + 1], path.points[i + 2]});
        EXPECT_LT(cm::Length(p - cm::Vec3{turned.points[i], turned.points[i + 1], turned.points[i + 2]}), 1e-6) << i;
    }
    // A straight one draws exactly the mesh of its own: its sides start where its own would.
    const std::vector<float> upright{b0[0], b0[1], b0[2], b1[0], b1[1], b1[2]};
    const float thin[1] = {0.04f};
    EXPECT_LT(Misfit(draws[4], BuildTubeMesh(upright, thin, false, false, 16).positions), 1e-5);
}
