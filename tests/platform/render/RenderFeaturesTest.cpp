// Textures, text laid in its plane, masked transforms, line-style caps and three-sided
// sections: the pure pieces directly, then headless pictures.
#include "RenderTestScene.h"

#include "platform/render/LineCaps.h"
#include "platform/render/SceneWalker.h"
#include "platform/render/Texturing.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

const signed char kArrowGlyph[14] = {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0, 0};

void SetCamera(const TestScene& scene, double field, float upX, float upY) {
    HC_Open_Segment_By_Key(scene.Key());
    const float position[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {upX, upY, 0};
    HC_Set_Camera(position, target, up, field, field, "orthographic");
    HC_Close_Segment();
}

// Bounding box of the pixels a predicate picks, and how many it picks.
struct Box {
    int minX = 1 << 20, minY = 1 << 20, maxX = -1, maxY = -1, count = 0;
    int Width() const { return maxX - minX + 1; }
    int Height() const { return maxY - minY + 1; }
    double Fill() const { return count > 0 ? static_cast<double>(count) / (Width() * Height()) : 0.0; }
};
template <typename Predicate>
Box BoxOf(const Image& image, Predicate picked) {
    Box box;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (picked(image.At(x, y))) {
                box.minX = std::min(box.minX, x), box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y), box.maxY = std::max(box.maxY, y);
                ++box.count;
            }
    return box;
}
bool NotWhite(const Image::Pixel& p) { return !IsWhite(p); }

// The checkerboard the plot settings make: 16-pixel squares, colour 2 at the origin.
void DefineCheckerboard(HC_KEY owner, const char* textureName, const char* imageName, const char* mapping) {
    const int size = 128;
    std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool first = ((x / 16) & 1) != ((y / 16) & 1);
            unsigned char* p = &pixels[(static_cast<size_t>(y) * size + x) * 3];
            p[0] = first ? 255 : 0, p[1] = 0, p[2] = first ? 0 : 255;  // red / blue
        }
    HC_Open_Segment_By_Key(owner);
    HC_Open_Segment("checkerboard segment");
    HC_Insert_Image(0, 0, 0, (std::string("rgb, name=") + imageName).c_str(), size, size, pixels.data());
    HC_Set_Visibility("images = off");
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Define_Texture(textureName, (std::string("source=") + imageName + ", parameterization source = " + mapping).c_str());
}

// Colour changes between red and blue along a column (top to bottom), ignoring other pixels.
int RedBlueChanges(const Image& image, int x) {
    int changes = 0, last = 0;
    for (int y = 0; y < image.height; ++y) {
        const int kind = IsReddish(image.At(x, y)) ? 1 : (IsBluish(image.At(x, y)) ? 2 : 0);
        if (kind != 0 && last != 0 && kind != last) ++changes;
        if (kind != 0) last = kind;
    }
    return changes;
}

int DarkInColumn(const Image& image, int x) {
    int n = 0;
    for (int y = 0; y < image.height; ++y) n += NotWhite(image.At(x, y)) ? 1 : 0;
    return n;
}

} // namespace

// ---- pure pieces ----

TEST(RenderFeatures, GlyphBytesDecodeToTheArrowheadAndBadDataToNothing) {
    GlyphShape glyph;
    ASSERT_TRUE(DecodeGlyph(std::vector<signed char>(kArrowGlyph, kArrowGlyph + 14), glyph));
    EXPECT_FLOAT_EQ(glyph.size, 10);
    ASSERT_EQ(glyph.figures.size(), 1u);
    EXPECT_TRUE(glyph.figures[0].filled);
    EXPECT_EQ(glyph.figures[0].points, (std::vector<float>{0, 0, 16, 8, 16, -8, 0, 0}));

    // The origin shifts the points; a stroked figure is a bare count.
    const std::vector<signed char> shifted = {4, 2, 1, 2, 2, 1, 6, 1, 0};
    ASSERT_TRUE(DecodeGlyph(shifted, glyph));
    EXPECT_FALSE(glyph.figures[0].filled);
    EXPECT_EQ(glyph.figures[0].points, (std::vector<float>{0, 0, 4, 0}));

    const std::vector<std::vector<signed char>> bad = {
        {},
        {10, 0, 0},                          // nothing after the origin
        {0, 0, 0, -1, 3, 0, 0, 1, 1, 1, 0, 0},  // no glyph box
        {10, 0, 0, -1, 4, 0, 0, 16, 8},      // points run past the end
        {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0},  // no terminating 0
        {10, 0, 0, -1, 2, 0, 0, 4, 4, 0},    // a filled figure of two points
        {10, 0, 0, -3, 1, 0, 0, 0},          // unknown figure kind
        {10, 0, 0, 0},                       // no figures
        {10, 0, 0, 127, 0, 0, 0},            // count far beyond the data
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(DecodeGlyph(bad[i], glyph)) << "case " << i;
        EXPECT_TRUE(glyph.figures.empty()) << "case " << i;
    }
}

TEST(RenderFeatures, ArrowCapSitsAtTheLineStartAndWidensIntoTheLine) {
    GlyphShape glyph;
    ASSERT_TRUE(DecodeGlyph(std::vector<signed char>(kArrowGlyph, kArrowGlyph + 14), glyph));
    // A line from (50, 50) to the left: the arrow's tip at the start, its base 16 pixels
    // along the line (weight 1: a glyph unit is a pixel), 8 either side.
    std::vector<float> triangles;
    AppendLineCaps({50, 50, 10, 50}, &glyph, nullptr, 1.0f, triangles);
    ASSERT_EQ(triangles.size(), 12u);  // a fan of two triangles
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (size_t i = 0; i < triangles.size(); i += 2) {
        minX = std::min(minX, triangles[i]), maxX = std::max(maxX, triangles[i]);
        minY = std::min(minY, triangles[i + 1]), maxY = std::max(maxY, triangles[i + 1]);
    }
    EXPECT_FLOAT_EQ(maxX, 50);
    EXPECT_FLOAT_EQ(minX, 34);
    EXPECT_FLOAT_EQ(minY, 42);
    EXPECT_FLOAT_EQ(maxY, 58);
    // Weight 2 doubles it; the end cap points back along the line from the last point.
    triangles.clear();
    AppendLineCaps({10, 50, 50, 50, 50, 50}, nullptr, &glyph, 2.0f, triangles);
    ASSERT_FALSE(triangles.empty());
    minX = 1e9f;
    for (size_t i = 0; i < triangles.size(); i += 2) minX = std::min(minX, triangles[i]);
    EXPECT_FLOAT_EQ(minX, 18);
    // A line of one repeated point has no direction: no cap.
    triangles.clear();
    AppendLineCaps({5, 5, 5, 5}, &glyph, &glyph, 1.0f, triangles);
    EXPECT_TRUE(triangles.empty());
}

TEST(RenderFeatures, MaskTransformFormsParseAndOthersAreRefused) {
    MaskTransform mask;
    ASSERT_TRUE(ParseMaskTransform("(rotate, scale, perspective)", mask));
    EXPECT_TRUE(mask.cameraRotate && mask.cameraScale && mask.cameraPerspective && mask.modelRotate && mask.modelScale);
    ASSERT_TRUE(ParseMaskTransform("(camera = (rotate, perspective), modelling matrix = (rotate, scale))", mask));
    EXPECT_TRUE(mask.cameraRotate && mask.cameraPerspective && mask.modelRotate && mask.modelScale);
    EXPECT_FALSE(mask.cameraScale);
    ASSERT_TRUE(ParseMaskTransform("off", mask));
    EXPECT_FALSE(mask.Any());
    for (const char* bad : {"(scale)", "(camera = (scale))", "(rotate, wobble)", "(camera = (rotate), modelling matrix = (rotate))",
                            "(camera = (rotate), lens = (scale))", "(rotate, camera = (rotate))", "(", "(modelling matrix = (perspective))"}) {
        std::string why;
        EXPECT_FALSE(ParseMaskTransform(bad, mask, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
        EXPECT_FALSE(mask.Any()) << bad;
    }
}

TEST(RenderFeatures, GroupedPlanesCutOnlyTogether) {
    const std::vector<ClipPlane> corner = {{1, 0, 0, 0, 1}, {0, 1, 0, 0, 1}, {0, 0, 1, 0, 1}};
    EXPECT_TRUE(IsCutAway(corner, 1, 1, 1));
    EXPECT_FALSE(IsCutAway(corner, 1, 1, -1));
    EXPECT_FALSE(IsCutAway(corner, -1, 1, 1));
    // An ungrouped plane still cuts alone beside the group.
    std::vector<ClipPlane> mixed = corner;
    mixed.push_back({0, 0, 0, 1, 0});  // positive everywhere
    EXPECT_TRUE(IsCutAway(mixed, -1, -1, -1));
    // Two groups: either one cuts.
    std::vector<ClipPlane> two = corner;
    two.push_back({-1, 0, 0, 0, 2});
    two.push_back({0, -1, 0, 0, 2});
    EXPECT_TRUE(IsCutAway(two, -1, -1, 5));
    EXPECT_FALSE(IsCutAway(two, -1, 1, 5));
}

TEST(RenderFeatures, CylinderMappingWrapsAroundThePrincipalAxis) {
    KETRA_REQUIRE_GL();  // only for a fresh scene below /driver/null
    TestScene scene("texture mapping");
    MeshCache cache;
    scene.Open("model");
    const float first[3] = {-0.8f, 0.1f, 0}, second[3] = {0.8f, 0.1f, 0};
    HC_Insert_Cylinder(first, second, 0.3, "none");
    HC_Close_Segment();
    const DrawList list = Walk(scene, cache);
    ASSERT_EQ(list.Main().meshes.size(), 1u);
    MeshDraw draw = list.Main().meshes[0];
    const MappingAxis axis = PrincipalAxis(*draw.mesh);
    EXPECT_NEAR(std::fabs(axis.axis.x), 1.0, 1e-6);
    EXPECT_NEAR(axis.origin.y, 0.1, 1e-6);

    draw.textureMapping.kind = TextureMapping::Kind::Cylinder;
    TexturedTriangles corners;
    BuildTexturedTriangles(draw, corners);
    ASSERT_EQ(corners.CornerCount(), draw.mesh->triangles.size());
    float uMin = 1e9f, uMax = -1e9f, vMin = 1e9f, vMax = -1e9f;
    for (size_t t = 0; t < corners.CornerCount(); t += 3) {
        float lo = 1e9f, hi = -1e9f;
        for (size_t k = t; k < t + 3; ++k) {
            const float u = corners.uvs[2 * k], v = corners.uvs[2 * k + 1];
            lo = std::min(lo, u), hi = std::max(hi, u);
            uMin = std::min(uMin, u), uMax = std::max(uMax, u);
            vMin = std::min(vMin, v), vMax = std::max(vMax, v);
            // v follows x along the axis.
            const float x = corners.positions[3 * k];
            EXPECT_NEAR(axis.axis.x > 0 ? v : 1 - v, (x + 0.8f) / 1.6f, 1e-4);
        }
        EXPECT_LT(hi - lo, 0.5f) << "a triangle spans the seam";
    }
    EXPECT_LT(uMin, 0.1f);
    EXPECT_GT(uMax, 0.9f);
    EXPECT_NEAR(vMin, 0, 1e-5);
    EXPECT_NEAR(vMax, 1, 1e-5);
}

TEST(RenderFeatures, WalkResolvesTexturesCapsMasksAndPlaneGroups) {
    KETRA_REQUIRE_GL();
    TestScene scene("walk features");
    MeshCache cache;
    DefineCheckerboard(scene.Key(), "walk checker", "walk checker image", "cylinder");
    HC_Define_Texture("walk lost", "source=no such image");
    HC_Define_Glyph("walk arrow", 14, reinterpret_cast<const char*>(kArrowGlyph));
    HC_Define_Line_Style("walk style", "start cap = walk arrow,");
    const float a[3] = {-0.5f, 0, 0}, b[3] = {0.5f, 0, 0};
    scene.Open("textured");
    HC_Set_Color("faces = (diffuse = walk checker)");
    HC_Insert_Cylinder(a, b, 0.2, "both");
    HC_Close_Segment();
    scene.Open("lost");
    HC_Set_Color("faces = (diffuse = walk lost)");
    HC_Insert_Cylinder(a, b, 0.2, "both");
    HC_Close_Segment();
    scene.Open("leader");
    HC_Set_Line_Pattern("walk style");
    const float line[6] = {-0.5f, 0.5f, 0, 0.5f, 0.5f, 0};
    HC_Insert_Polyline(2, line);
    HC_Close_Segment();
    scene.Open("note");
    HC_Translate_Object(0.5, 0.25, 0);
    HC_Open_Segment("mask");
    HC_Set_Rendering_Options("mask transform = (rotate, scale, perspective)");
    HC_Open_Segment("shape");  // its own turn stays
    HC_Rotate_Object(0, 0, 30);
    const float square[12] = {-0.1f, -0.1f, 0, 0.1f, -0.1f, 0, 0.1f, 0.1f, 0, -0.1f, 0.1f, 0};
    HC_Insert_Polygon(4, square);
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    scene.Open("box/threesection");
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Insert_Cutting_Plane(0, 1, 0, 0);
    HC_Close_Segment();

    SetCamera(scene, 4.0, 1, 1);  // zoomed out and rolled 45 degrees
    const DrawList list = Walk(scene, cache);
    const Layer& layer = list.Main();
    int textured = 0, plain = 0;
    for (const MeshDraw& d : layer.meshes) {
        if (d.texture) {
            ++textured;
            EXPECT_EQ(d.texture->width, 128);
            EXPECT_EQ(d.texture->rgba.size(), 128u * 128u * 4u);
            EXPECT_EQ(d.textureMapping.kind, TextureMapping::Kind::Cylinder);
        } else if (d.mesh->TriangleCount() > 2) {
            ++plain;  // the lost source: plain diffuse white
            EXPECT_EQ(d.faceColor, (Color{1, 1, 1}));
        }
    }
    EXPECT_EQ(textured, 1);
    EXPECT_EQ(plain, 1);

    ASSERT_EQ(layer.lines.size(), 1u);
    ASSERT_TRUE(layer.lines[0].startCap);
    EXPECT_FALSE(layer.lines[0].endCap);
    EXPECT_EQ(layer.lines[0].startCap->figures.size(), 1u);

    // The masked square: at its anchor (0.5, 0.25), screen-aligned (the camera's roll undone,
    // its own 30 degrees kept) and 0.1 units = 5 pixels of the 100-pixel window whatever the
    // zoom: 0.1 * (4 / 2) world units.
    const MeshDraw* masked = nullptr;
    for (const MeshDraw& d : layer.meshes)
        if (d.mesh->TriangleCount() == 2) masked = &d;
    ASSERT_NE(masked, nullptr);
    namespace cm = ketra::hc::CameraMath;
    const cm::Vec3 origin = cm::TransformPoint(masked->matrix, {0, 0, 0});
    EXPECT_NEAR(origin.x, 0.5, 1e-5);
    EXPECT_NEAR(origin.y, 0.25, 1e-5);
    const cm::Vec3 xAxis = cm::TransformVector(masked->matrix, {1, 0, 0});
    const double scale = cm::Length(xAxis);
    EXPECT_NEAR(scale, 2.0, 1e-5);
    // On screen the object x axis makes 30 degrees with the screen's right (the camera's
    // right is (1, -1) / sqrt 2 in world space).
    const cm::Vec3 right{std::sqrt(0.5), -std::sqrt(0.5), 0};
    EXPECT_NEAR(cm::Dot(xAxis, right) / scale, std::cos(30 * 3.14159265358979 / 180), 1e-5);

    // Both planes of the section are one group.
    ASSERT_FALSE(layer.clipSets.empty());
    const std::vector<ClipPlane>& planes = layer.clipSets.front();  // the set of "box"
    ASSERT_EQ(planes.size(), 2u);
    EXPECT_NE(planes[0].group, 0);
    EXPECT_EQ(planes[0].group, planes[1].group);
}

TEST(RenderFeatures, BadMaskTransformIsReportedAndIgnored) {
    KETRA_REQUIRE_GL();
    static std::vector<std::string> messages;
    messages.clear();
    HC_Define_Error_Handler([](int, int, int, const char*, const char* message) { messages.push_back(message); });
    TestScene scene("bad mask");
    MeshCache cache;
    scene.Open("mask");
    HC_Set_Rendering_Options("mask transform = (wobble)");
    HC_Translate_Object(0.5, 0, 0);
    const float square[12] = {-0.1f, -0.1f, 0, 0.1f, -0.1f, 0, 0.1f, 0.1f, 0, -0.1f, 0.1f, 0};
    HC_Insert_Polygon(4, square);
    HC_Close_Segment();
    const DrawList list = Walk(scene, cache);
    Walk(scene, cache);  // reported once, not at every redraw
    HC_Define_Error_Handler(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("mask transform"), std::string::npos);
    ASSERT_EQ(list.Main().meshes.size(), 1u);
    // Drawn with its plain modelling matrix.
    EXPECT_NEAR(list.Main().meshes[0].matrix(0, 0), 1.0, 1e-9);
    EXPECT_NEAR(list.Main().meshes[0].matrix(3, 0), 0.5, 1e-6);
}

TEST(RenderFeatures, SectionOutlineFollowsTheOpenedCorner) {
    KETRA_REQUIRE_GL();
    TestScene scene("section outline");
    MeshCache cache;
    scene.Open("model");
    HC_Set_Color("cut edges = green");
    const float points[12] = {-0.5f, -0.3f, 0.2f, 0.5f, -0.3f, 0.2f, 0.5f, 0.7f, 0.2f, -0.5f, 0.7f, 0.2f};
    const int faces[5] = {4, 0, 1, 2, 3};
    HC_Insert_Shell(4, points, 5, faces);
    HC_Open_Segment("threesection");
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Insert_Cutting_Plane(0, 1, 0, 0);
    HC_Insert_Cutting_Plane(0, 0, 1, 0);
    HC_Close_Segment();
    HC_Close_Segment();
    const DrawList list = Walk(scene, cache);
    // The rectangle at z = 0.2 loses its x > 0, y > 0 part: the outline runs from (0, 0)
    // to (0.5, 0) and to (0, 0.7), never into the kept part, though its triangles' cuts
    // cross the corner's edge (the diagonal meets x = 0 at y = 0.2).
    double length = 0;
    int outlines = 0;
    for (const LineDraw& l : list.Main().lines) {
        if (!(l.color == Color{0, 1, 0})) continue;
        ++outlines;
        ASSERT_TRUE(l.pairs);
        for (size_t i = 0; i + 5 < l.points.size(); i += 6) {
            for (size_t k = i; k < i + 6; k += 3) {
                EXPECT_GE(l.points[k], -1e-5f);
                EXPECT_GE(l.points[k + 1], -1e-5f);
            }
            length += std::hypot(l.points[i + 3] - l.points[i], l.points[i + 4] - l.points[i + 1]);
        }
    }
    EXPECT_EQ(outlines, 1);
    EXPECT_NEAR(length, 1.2, 1e-3);
}

// ---- pictures ----

TEST(RenderFeatures, CheckerboardTextureAlternatesAroundACylinder) {
    KETRA_REQUIRE_GL();
    TestScene scene("texture picture");
    DefineCheckerboard(scene.Key(), "picture checker", "picture checker image", "cylinder");
    HC_Define_Texture("picture lost", "source=no such image, parameterization source = cylinder");
    const float a[3] = {-0.8f, 0.4f, 0}, b[3] = {0.8f, 0.4f, 0};
    scene.Open("textured");
    HC_Set_Color("faces = (diffuse = picture checker)");
    HC_Set_Visibility("edges = off");
    HC_Insert_Cylinder(a, b, 0.35, "both");
    HC_Close_Segment();
    scene.Open("lost");
    HC_Set_Color("faces = (diffuse = picture lost)");
    HC_Set_Visibility("edges = off");
    HC_Translate_Object(0, -0.9, 0);
    HC_Insert_Cylinder(a, b, 0.2, "both");
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    // Across the cylinder (around it) and along it, both colours, alternating.
    EXPECT_GE(RedBlueChanges(image, 50), 2);
    int alongChanges = 0, last = 0;
    for (int x = 0; x < image.width; ++x) {
        const Image::Pixel p = image.At(x, 30);
        const int kind = IsReddish(p) ? 1 : (IsBluish(p) ? 2 : 0);
        if (kind != 0 && last != 0 && kind != last) ++alongChanges;
        if (kind != 0) last = kind;
    }
    EXPECT_GE(alongChanges, 4);
    EXPECT_GT(CountPixels(image, IsReddish), 300);
    EXPECT_GT(CountPixels(image, IsBluish), 300);
    // The lost source draws the plain diffuse colour (white, shaded): neither red nor blue.
    int shaded = 0;
    for (int y = 62; y <= 88; ++y) {
        const Image::Pixel p = image.At(50, y);
        EXPECT_FALSE(IsReddish(p) || IsBluish(p)) << y;
        shaded += IsWhite(p) ? 0 : 1;
    }
    EXPECT_GT(shaded, 4);
}

TEST(RenderFeatures, TextWithTransformsTurnsAndShrinksWithTheCamera) {
    KETRA_REQUIRE_GL();
    TestScene scene("text transforms");
    scene.Open("in plane");
    HC_Set_Text_Font("name = sans-serif, size = 0.25 oru, transforms = on");
    HC_Translate_Object(0, 0.45, 0);
    HC_Insert_Text(0, 0, 0, "HHHH");
    HC_Close_Segment();
    scene.Open("facing");
    HC_Set_Text_Font("name = sans-serif, size = 14 pixels, transforms = off");
    HC_Insert_Text(0, -0.45, 0, "HHHH");
    HC_Close_Segment();
    // Upper half: the text in its plane; lower half: the screen-facing text.
    auto upper = [](const Image& image) {
        Image half = image;
        for (int y = 50; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) std::fill_n(&half.rgba[(static_cast<size_t>(y) * image.width + x) * 4], 4, 255);
        return half;
    };
    auto lower = [](const Image& image) {
        Image half = image;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < image.width; ++x) std::fill_n(&half.rgba[(static_cast<size_t>(y) * image.width + x) * 4], 4, 255);
        return half;
    };
    const Image plain = scene.Render(100, 100);
    const Box inPlane = BoxOf(upper(plain), NotWhite), facing = BoxOf(lower(plain), NotWhite);
    ASSERT_GT(inPlane.count, 20);
    ASSERT_GT(facing.count, 20);
    EXPECT_GT(inPlane.Width(), inPlane.Height() * 2);  // a row of letters
    EXPECT_GT(facing.Width(), facing.Height() * 2);

    // Zoomed out twice: the text in its plane halves, the facing text keeps its size.
    SetCamera(scene, 4.0, 0, 1);
    const Image zoomed = scene.Render(100, 100);
    const Box inPlaneZoomed = BoxOf(upper(zoomed), [](const Image::Pixel& p) { return !IsWhite(p); });
    EXPECT_NEAR(inPlaneZoomed.Width(), inPlane.Width() / 2.0, 3);
    // At field 4 the facing text moved to y = 50 + 0.45 / 2 * 50: still the lower half.
    const Box facingZoomed = BoxOf(lower(zoomed), NotWhite);
    EXPECT_NEAR(facingZoomed.Width(), facing.Width(), 2);
    EXPECT_NEAR(facingZoomed.Height(), facing.Height(), 2);

    // Rolled 90 degrees (world +x up the screen): the text in its plane turns upright on
    // screen; the facing text stays a row.
    scene.Open("in plane");
    HC_Translate_Object(0, -0.45, 0);
    HC_Translate_Object(0.45, 0, 0);  // world +x is now the screen's top
    HC_Close_Segment();
    scene.Open("facing");
    HC_Translate_Object(-0.45, 0.45, 0);  // world (-0.45, 0): the lower half of the screen
    HC_Close_Segment();
    SetCamera(scene, 2.0, 1, 0);
    const Image rolled = scene.Render(100, 100);
    const Box inPlaneRolled = BoxOf(upper(rolled), NotWhite), facingRolled = BoxOf(lower(rolled), NotWhite);
    EXPECT_GT(inPlaneRolled.Height(), inPlaneRolled.Width() * 2);
    EXPECT_NEAR(inPlaneRolled.Height(), inPlane.Width(), 3);
    EXPECT_GT(facingRolled.Width(), facingRolled.Height() * 2);
}

TEST(RenderFeatures, MaskedSubtreeKeepsItsPixelSizeAndStaysScreenAligned) {
    KETRA_REQUIRE_GL();
    TestScene scene("mask picture");
    const float square[12] = {-0.1f, -0.1f, 0, 0.1f, -0.1f, 0, 0.1f, 0.1f, 0, -0.1f, 0.1f, 0};
    scene.Open("fixed");
    HC_Translate_Object(0.4, 0, 0);
    HC_Open_Segment("mask transform");
    HC_Set_Rendering_Options("mask transform = (rotate, scale, perspective)");
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");
    HC_Insert_Polygon(4, square);
    HC_Close_Segment();
    HC_Close_Segment();
    scene.Open("zooming");
    HC_Translate_Object(-0.4, 0, 0);
    HC_Open_Segment("mask transform");
    HC_Set_Rendering_Options("mask transform = (camera = (rotate, perspective), modelling matrix = (rotate, scale))");
    HC_Set_Color("faces = blue");
    HC_Set_Visibility("edges = off");
    HC_Insert_Polygon(4, square);
    HC_Close_Segment();
    HC_Close_Segment();

    const Image start = scene.Render(100, 100);
    const Box fixed = BoxOf(start, IsReddish), zooming = BoxOf(start, IsBluish);
    // 0.2 units: 10 pixels, centred on the anchors at x = 70 and 30.
    EXPECT_NEAR(fixed.Width(), 10, 1);
    EXPECT_NEAR((fixed.minX + fixed.maxX) / 2.0, 70, 1);
    EXPECT_NEAR(zooming.Width(), 10, 1);
    EXPECT_NEAR((zooming.minX + zooming.maxX) / 2.0, 30, 1);

    // Zoomed out twice and rolled 45 degrees: the anchors move, the red square keeps its
    // pixel size, the blue one (camera scale kept) halves; both stay square on screen.
    SetCamera(scene, 4.0, 1, 1);
    const Image turned = scene.Render(100, 100);
    const Box fixed2 = BoxOf(turned, IsReddish), zooming2 = BoxOf(turned, IsBluish);
    EXPECT_NEAR(fixed2.Width(), 10, 1);
    EXPECT_NEAR(fixed2.Height(), 10, 1);
    EXPECT_GT(fixed2.Fill(), 0.9);  // axis-aligned, not a diamond
    EXPECT_NEAR(zooming2.Width(), 5, 1);
    EXPECT_GT(zooming2.Fill(), 0.8);
    // Anchor (0.4, 0) seen through the rolled camera: 0.4 / 2 * 50 pixels along the screen
    // direction of world +x, (1, 1) / sqrt 2 in screen x and up.
    const double along = 0.4 / 2 * 50 / std::sqrt(2.0);
    EXPECT_NEAR((fixed2.minX + fixed2.maxX) / 2.0, 50 + along, 1.5);
    EXPECT_NEAR((fixed2.minY + fixed2.maxY) / 2.0, 50 - along, 1.5);
}

TEST(RenderFeatures, ArrowheadCapFillsAroundThePolylineStart) {
    KETRA_REQUIRE_GL();
    HC_Define_Glyph("picture arrow", 14, reinterpret_cast<const char*>(kArrowGlyph));
    HC_Define_Line_Style("picture arrow style", "start cap = picture arrow,");
    HC_Define_Glyph("picture broken", 5, reinterpret_cast<const char*>(kArrowGlyph));  // cut short
    HC_Define_Line_Style("picture broken style", "start cap = picture broken, end cap = no such glyph");
    auto picture = [](const char* name, const char* pattern) {
        TestScene scene(name);
        scene.Open("leader");
        if (pattern) HC_Set_Line_Pattern(pattern);
        HC_Set_Color("lines = black");
        // From the right (the start, x = 0.6) to the left.
        const float points[6] = {0.6f, 0, 0, -0.6f, 0, 0};
        HC_Insert_Polyline(2, points);
        HC_Close_Segment();
        return scene.Render(100, 100);
    };
    const Image plain = picture("plain leader", nullptr);
    const Image arrow = picture("arrow leader", "picture arrow style");
    const Image broken = picture("broken leader", "picture broken style");
    // The start is at pixel x = 80; the arrow widens to 16 pixels, 16 pixels to the left.
    EXPECT_LE(DarkInColumn(plain, 67), 3);
    EXPECT_GE(DarkInColumn(arrow, 67), 9);
    EXPECT_GT(DarkInColumn(arrow, 67), DarkInColumn(arrow, 77) + 4);  // narrow at the tip
    EXPECT_LE(DarkInColumn(arrow, 84), 1);                            // nothing beyond the tip
    EXPECT_LE(DarkInColumn(arrow, 30), 3);                            // the far end: no cap
    EXPECT_GT(CountPixels(arrow, NotWhite), CountPixels(plain, NotWhite) + 60);
    // Bad glyph data or a missing glyph: just the line.
    EXPECT_EQ(CountPixels(broken, NotWhite), CountPixels(plain, NotWhite));

    // A leader drawn through a "draw dc polyline" callback (as notes draw theirs) gets the
    // calling item's caps on what the callback draws.
    HC_Define_Callback_Name("features passthrough",
                            reinterpret_cast<HC_CALLBACK>(+[](HIC_Rendition const* nr, int count, HIC_DC_Point const* points) {
                                HIC_Draw_DC_Polyline(nr, count, points);
                            }));
    TestScene scene("callback leader");
    scene.Open("leader");
    HC_Set_Line_Pattern("picture arrow style");
    HC_Set_Color("lines = black");
    HC_Set_Callback("draw dc polyline = features passthrough");
    HC_Insert_Line(0.6, 0, 0, -0.6, 0, 0);
    HC_Close_Segment();
    const Image called = scene.Render(100, 100);
    EXPECT_GE(DarkInColumn(called, 67), 9);
    EXPECT_LE(DarkInColumn(called, 30), 3);
    HC_UnDefine_Callback_Name("features passthrough");
}

// A closed blue cube of half side 0.6 about the origin in the open segment; its key.
static HC_KEY InsertBlueCube() {
    HC_Set_Color("faces = blue");
    HC_Set_Visibility("edges = off");
    const float h = 0.6f;
    const float points[24] = {-h, -h, -h, h, -h, -h, h, h, -h, -h, h, -h, -h, -h, h, h, -h, h, h, h, h, -h, h, h};
    const int faces[30] = {4, 4, 5, 6, 7, 4, 0, 3, 2, 1, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
    return HC_Insert_Shell(8, points, 30, faces);
}

TEST(RenderFeatures, APlaneCuttingAloneCapsTheSection) {
    KETRA_REQUIRE_GL();
    TestScene scene("capped");
    scene.Open("box");
    InsertBlueCube();
    HC_Open_Segment("plane");
    HC_Insert_Cutting_Plane(0, 0, 1, 0);  // the half towards the camera goes
    HC_Close_Segment();
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    // The section shows grey, not the inside of the cube's back face; nothing beside it.
    const Image::Pixel middle = image.At(50, 50);
    EXPECT_FALSE(IsBluish(middle));
    EXPECT_LT(std::abs(middle.r - middle.b) + std::abs(middle.g - middle.b), 12);
    EXPECT_LT(middle.r, 220);
    EXPECT_TRUE(IsWhite(image.At(95, 5)));
}

TEST(RenderFeatures, ThreeSidedSectionOpensOnlyTheCorner) {
    KETRA_REQUIRE_GL();
    TestScene scene("three sided");
    scene.Open("box");
    const HC_KEY box = InsertBlueCube();
    HC_Open_Geometry(box);
    HC_Open_Face(0);  // the front face (z = +h) red
    HC_Set_Color("faces = red");
    HC_Close_Face();
    HC_Close_Geometry();
    HC_Open_Segment("threesection");
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Insert_Cutting_Plane(0, 1, 0, 0);
    HC_Insert_Cutting_Plane(0, 0, 1, 0);
    HC_Close_Segment();
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    // Image rows run top down: the removed corner (x > 0, y > 0) is the upper right.
    EXPECT_TRUE(IsBluish(image.At(70, 30)));  // through the opening: the inside of the back
    EXPECT_TRUE(IsReddish(image.At(30, 30)));
    EXPECT_TRUE(IsReddish(image.At(30, 70)));
    EXPECT_TRUE(IsReddish(image.At(70, 70)));
    EXPECT_TRUE(IsWhite(image.At(95, 5)));   // outside the box
}

TEST(RenderFeatures, MaskTransformAlsoComesThroughAStyle) {
    KETRA_REQUIRE_GL();
    const HC_KEY style = HC_Create_Segment("/include library/features mask style");
    HC_Open_Segment_By_Key(style);
    HC_Set_Rendering_Options("mask transform = (rotate, scale, perspective)");
    HC_Close_Segment();
    TestScene scene("mask through style");
    const float square[12] = {-0.1f, -0.1f, 0, 0.1f, -0.1f, 0, 0.1f, 0.1f, 0, -0.1f, 0.1f, 0};
    scene.Open("note");
    HC_Style_Segment_By_Key(style);
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");
    HC_Insert_Polygon(4, square);
    HC_Close_Segment();
    EXPECT_NEAR(BoxOf(scene.Render(100, 100), IsReddish).Width(), 10, 1);
    // Zoomed out twice and rolled: still 10 pixels and square on screen.
    SetCamera(scene, 4.0, 1, 1);
    const Box turned = BoxOf(scene.Render(100, 100), IsReddish);
    EXPECT_NEAR(turned.Width(), 10, 1);
    EXPECT_NEAR(turned.Height(), 10, 1);
    EXPECT_GT(turned.Fill(), 0.9);
    HC_Delete_By_Key(style);
}

TEST(RenderFeatures, LineBreaksStackTextLines) {
    KETRA_REQUIRE_GL();
    TestScene scene("text lines");
    scene.Open("one line");
    HC_Set_Text_Font("name = sans-serif, size = 14 pixels");
    HC_Set_Color("text = black");
    HC_Insert_Text(0, 0, 0, "HHHH");
    HC_Close_Segment();
    const Box one = BoxOf(scene.Render(100, 100), NotWhite);
    ASSERT_GT(one.count, 20);

    scene.Open("one line");
    HC_Flush_Contents(".", "text");
    HC_Insert_Text(0, 0, 0, "HHHH\r\nHH\nHHHH");
    HC_Close_Segment();
    const Box three = BoxOf(scene.Render(100, 100), NotWhite);
    // Three rows 1.2 em apart, as wide as the longest line and still centred on the anchor.
    EXPECT_NEAR(three.Width(), one.Width(), 1);
    EXPECT_NEAR(three.Height(), one.Height() + 2 * 1.2 * 14, 3);
    EXPECT_NEAR((three.minY + three.maxY) / 2.0, (one.minY + one.maxY) / 2.0, 2);
    // No glyph is drawn for the break itself: the middle row is half as wide.
    EXPECT_GT(three.count, one.count * 2);
    EXPECT_LT(three.count, one.count * 3);
}
