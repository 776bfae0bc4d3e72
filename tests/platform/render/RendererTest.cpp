// Headless pictures of small scenes, checked pixel by pixel.
#include "RenderTestScene.h"

#include "platform/render/HeadlessContext.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/SceneWalker.h"

#include <cmath>
#include <tuple>
#include <vector>

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {

void InsertSquare(float half, float z) {
    const float points[12] = {-half, -half, z, half, -half, z, half, half, z, -half, half, z};
    const int faces[5] = {4, 0, 1, 2, 3};
    HC_Insert_Shell(4, points, 5, faces);
}

// A pipe along x through the origin.
HC_KEY InsertPipe(float halfLength, float radius) {
    const float points[6] = {-halfLength, 0, 0, halfLength, 0, 0};
    const float radii[1] = {radius};
    return HC_Insert_PolyCylinder(2, points, 1, radii, "both");
}

// Dark runs along column x (top to bottom).
int DarkRunsInColumn(const Image& image, int x) {
    int runs = 0;
    bool inside = false;
    for (int y = 0; y < image.height; ++y) {
        const bool dark = !IsWhite(image.At(x, y));
        if (dark && !inside) ++runs;
        inside = dark;
    }
    return runs;
}

} // namespace

TEST(Renderer, PipeOfKnownColourLandsOnExpectedPixelsInEachProjection) {
    KETRA_REQUIRE_GL();
    for (const char* projection : {"orthographic", "perspective"}) {
        TestScene scene(std::string("pipe_") + projection, projection);
        scene.Open("model");
        HC_Set_Color("faces = red");
        HC_Set_Visibility("edges = off");
        InsertPipe(0.6f, 0.2f);
        HC_Close_Segment();
        const Image image = scene.Render(100, 100, 8);
        ASSERT_EQ(image.width, 100);
        // The pipe covers x in [-0.6, 0.6] (pixels 20..80) and y in [-0.2, 0.2] (40..60).
        EXPECT_TRUE(IsReddish(image.At(50, 50))) << projection;
        EXPECT_TRUE(IsReddish(image.At(25, 50))) << projection;
        EXPECT_TRUE(IsReddish(image.At(50, 43))) << projection;
        EXPECT_TRUE(IsWhite(image.At(50, 30))) << projection;   // above
        EXPECT_TRUE(IsWhite(image.At(50, 70))) << projection;   // below
        EXPECT_TRUE(IsWhite(image.At(10, 50))) << projection;   // beyond the end
        EXPECT_TRUE(IsWhite(image.At(90, 50))) << projection;
    }
}

TEST(Renderer, LightsSwitchedOffLeaveFacesInTheirPlainColour) {
    KETRA_REQUIRE_GL();
    TestScene scene("lights_off");
    scene.Open("lights");
    HC_Insert_Distant_Light(1, 0, 0.2);
    HC_Set_Visibility("lights = off");
    HC_Close_Segment();
    scene.Open("model");
    HC_Set_Color("faces = (r=0.5 g=0.2 b=0.2)");
    HC_Set_Visibility("edges = off");
    InsertSquare(0.5f, 0);
    HC_Close_Segment();
    const Image::Pixel p = scene.Render().At(50, 50);
    EXPECT_NEAR(p.r, 128, 2);
    EXPECT_NEAR(p.g, 51, 2);
    EXPECT_NEAR(p.b, 51, 2);
}

TEST(Renderer, StyleColourReachesTheElementAndLocalColourWins) {
    KETRA_REQUIRE_GL();
    TestScene scene("style");
    HC_Open_Segment("/style library/render test pipes");
    HC_Set_Color("faces = blue");
    HC_Set_Visibility("edges = off");
    HC_Close_Segment();
    scene.Open("model/a");
    HC_Style_Segment("/style library/render test pipes");
    HC_Translate_Object(0, 0.5, 0);
    InsertPipe(0.6f, 0.15f);
    HC_Close_Segment();
    scene.Open("model/b");
    HC_Style_Segment("/style library/render test pipes");
    HC_Set_Color("faces = red");
    HC_Translate_Object(0, -0.5, 0);
    InsertPipe(0.6f, 0.15f);
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    EXPECT_TRUE(IsBluish(image.At(50, 25)));  // y = +0.5 is the upper quarter
    EXPECT_TRUE(IsReddish(image.At(50, 75)));
    HC_Delete_Segment("/style library/render test pipes");
}

// A flat n x n grid of quads from x0 to x0 + width, y from -0.9 to 0.9, as a shell in its own
// subsegment `name` of the open segment, with the face colour `colour`.
static void InsertStrip(const std::string& name, const char* colour, float x0, float width, int n) {
    HC_Open_Segment(name.c_str());
    HC_Set_Color(colour);
    std::vector<float> points;
    std::vector<int> faces;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            points.insert(points.end(), {x0 + width * static_cast<float>(i) / static_cast<float>(n - 1),
                                         -0.9f + 1.8f * static_cast<float>(j) / static_cast<float>(n - 1), 0.0f});
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i)
            faces.insert(faces.end(), {4, j * n + i, j * n + i + 1, (j + 1) * n + i + 1, (j + 1) * n + i});
    HC_Insert_Shell(n * n, points.data(), static_cast<int>(faces.size()), faces.data());
    HC_Close_Segment();
}

// Items are merged into batches whose indices are 16-bit while the batch's vertices fit; an
// item too large for that takes 32-bit indices alone. Either way every triangle lands whole:
// four flat strips, the first two filling one batch to just under the 16-bit limit, the last
// one item of 90,000 vertices.
TEST(Renderer, BatchesNearAndBeyondTheShortIndexLimitDrawWhole) {
    TestScene scene("index_widths");
    scene.Open("model");
    HC_Set_Visibility("edges = off");
    const int sides[4] = {180, 180, 180, 300};
    for (int strip = 0; strip < 4; ++strip)
        InsertStrip("strip " + std::to_string(strip), strip == 3 ? "faces = blue" : "faces = red",
                    -1.0f + 0.5f * static_cast<float>(strip), 0.48f, sides[strip]);
    HC_Close_Segment();
    const Image picture = scene.Render(100, 100);
    for (int strip = 0; strip < 4; ++strip)
        for (int y = 8; y <= 92; y += 6)
            for (int x = 25 * strip + 2; x <= 25 * strip + 22; x += 5) {
                const Image::Pixel p = picture.At(x, y);
                EXPECT_TRUE(strip == 3 ? IsBluish(p) : IsReddish(p)) << "strip " << strip << " at " << x << ", " << y;
            }
}

// A batch of faces wholly beside the view is not drawn; one that reaches into it is, whole.
// Three flat strips, each too large to share a batch, in perspective: red and blue in view,
// green to the right; then the camera moves right until green straddles the edge.
TEST(Renderer, FaceBatchesBesideTheViewAreLeftOutAndTheRestDrawn) {
    KETRA_REQUIRE_GL();
    TestScene scene("culling", "perspective");
    scene.Open("model");
    HC_Set_Visibility("edges = off");
    const float left[3] = {-0.9f, 0.1f, 5.0f};
    const char* colours[3] = {"faces = red", "faces = blue", "faces = green"};
    // 260 x 260 = 67,600 vertices: more than one batch holds with another item.
    for (int strip = 0; strip < 3; ++strip)
        InsertStrip("strip " + std::to_string(strip), colours[strip], left[strip], 0.8f, 260);
    HC_Close_Segment();

    const Image both = scene.Render(100, 100);
    EXPECT_EQ(LastFrameTimings().culledChunks, 1u);
    for (int y = 10; y <= 90; y += 10) {
        EXPECT_TRUE(IsReddish(both.At(25, y))) << y;
        EXPECT_TRUE(IsBluish(both.At(75, y))) << y;
        EXPECT_TRUE(IsWhite(both.At(50, y))) << y;
    }

    // Looking at x = 4.5: green (5 to 5.8) fills the right quarter, red and blue are beside.
    HC_Open_Segment_By_Key(scene.Key());
    const float position[3] = {4.5f, 0, 5}, target[3] = {4.5f, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(position, target, up, 2.0, 2.0, "perspective");
    HC_Close_Segment();
    const Image edge = scene.Render(100, 100);
    EXPECT_EQ(LastFrameTimings().culledChunks, 2u);
    for (int y = 10; y <= 90; y += 10) {
        EXPECT_GT(edge.At(90, y).g, 100) << y;
        EXPECT_LT(edge.At(90, y).r, 100) << y;
        EXPECT_TRUE(IsWhite(edge.At(60, y))) << y;
    }
}

TEST(Renderer, WireframeDrawsEdgesWithoutFaces) {
    KETRA_REQUIRE_GL();
    TestScene scene("wireframe");
    scene.Open("model");
    HC_Set_Color("faces = green, edges = black");
    InsertSquare(0.5f, 0);
    HC_Close_Segment();
    const Image shaded = scene.Render(100, 100, 8);
    const Image wire = scene.Render(100, 100, 1);
    EXPECT_GT(shaded.At(50, 50).g, 120);
    EXPECT_TRUE(IsWhite(wire.At(50, 50)));   // no fill
    EXPECT_TRUE(IsDark(wire.At(25, 50)) || IsDark(wire.At(24, 50)));  // left edge at x = -0.5
    EXPECT_TRUE(IsDark(wire.At(50, 25)) || IsDark(wire.At(50, 24)));
}

TEST(Renderer, HiddenLineHidesEdgesBehindFaces) {
    KETRA_REQUIRE_GL();
    TestScene scene("hiddenline");
    scene.Open("model");
    HC_Set_Color("faces = green, edges = black");
    InsertSquare(0.5f, 0.5f);   // in front
    InsertSquare(0.3f, -0.5f);  // behind, wholly covered
    HC_Close_Segment();
    const Image wire = scene.Render(100, 100, 1);
    const Image hidden = scene.Render(100, 100, 4);
    // The back square's left edge at x = -0.3 -> pixel 35.
    auto darkNear = [](const Image& image, int x, int y) {
        return IsDark(image.At(x, y)) || IsDark(image.At(x - 1, y)) || IsDark(image.At(x + 1, y));
    };
    EXPECT_TRUE(darkNear(wire, 35, 50));
    EXPECT_FALSE(darkNear(hidden, 35, 50));
    EXPECT_TRUE(darkNear(hidden, 25, 50));   // the front square's edge stays
    EXPECT_TRUE(IsWhite(hidden.At(50, 50))); // faces are drawn in the window colour
}

TEST(Renderer, SilhouetteDrawsOnlyTheOutlineOfATube) {
    KETRA_REQUIRE_GL();
    TestScene scene("silhouette");
    scene.Open("model");
    HC_Set_Color("faces = green, edges = black");
    InsertPipe(0.6f, 0.3f);
    HC_Close_Segment();
    const Image wire = scene.Render(100, 100, 1);
    const Image outline = scene.Render(100, 100, 3);
    EXPECT_GT(DarkRunsInColumn(wire, 50), 3);      // facet edges across the tube
    EXPECT_EQ(DarkRunsInColumn(outline, 50), 2);   // its two outlines
    EXPECT_TRUE(IsWhite(outline.At(50, 50)));

    // Rolled about its axis, a side face comes edge-on to the viewer at some angles: both
    // outlines must still show at every angle.
    for (int degrees = 0; degrees < 24; degrees += 1) {
        scene.Open("model");
        HC_Rotate_Object(1.0, 0, 0);
        HC_Close_Segment();
        EXPECT_EQ(DarkRunsInColumn(scene.Render(100, 100, 3), 50), 2) << degrees + 1 << " degrees";
    }
}

TEST(Renderer, ShadedFacesWithEdgesShowOnlyTheOutlinesInTheEdgeColour) {
    KETRA_REQUIRE_GL();
    TestScene scene("shaded_edges");
    scene.Open("model");
    HC_Set_Color("faces = green, edges = black");
    HC_Set_Visibility("edges = on");
    InsertPipe(0.6f, 0.3f);
    HC_Close_Segment();
    for (int mode : {8, 9}) {  // Gouraud, flat
        const Image image = scene.Render(100, 100, mode);
        int runs = 0;
        bool inside = false;
        for (int y = 0; y < image.height; ++y) {
            const bool dark = IsDark(image.At(50, y));
            runs += dark && !inside ? 1 : 0;
            inside = dark;
        }
        EXPECT_EQ(runs, 2) << mode;  // the tube's two outlines, no facet edges across it
        EXPECT_GT(image.At(50, 50).g, 120) << mode;
    }
}

TEST(Renderer, MarkerModeShowsCentreLinesWithMarkers) {
    KETRA_REQUIRE_GL();
    TestScene scene("markermode");
    scene.Open("model");
    HC_Set_Color("faces = green, edges = black, markers = red");
    HC_Set_Visibility("markers = on");
    HC_Set_Marker_Size(1.5);
    const float full[12] = {-0.6f, -0.3f, 0, 0.6f, -0.3f, 0, 0.6f, 0.3f, 0, -0.6f, 0.3f, 0};
    const int fullFaces[5] = {4, 0, 1, 2, 3};
    HC_KEY shell = HC_Insert_Shell(4, full, 5, fullFaces);
    HC_Open_Geometry(shell);
    HC_Open_LOD(2);
    const float line[6] = {-0.6f, 0, 0, 0.6f, 0, 0};
    const int lineFaces[3] = {2, 0, 1};
    HC_Insert_Shell(2, line, 3, lineFaces);
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Close_Segment();
    const Image shaded = scene.Render(100, 100, 8);
    const Image markers = scene.Render(100, 100, 19);
    EXPECT_GT(shaded.At(50, 40).g, 120);        // the full shell fills
    EXPECT_TRUE(IsWhite(markers.At(50, 35)));   // the centre line does not
    EXPECT_TRUE(IsDark(markers.At(50, 50)));    // the centre line itself
    EXPECT_TRUE(IsReddish(markers.At(20, 50)) || IsReddish(markers.At(21, 50)));  // end marker
    EXPECT_TRUE(IsReddish(markers.At(80, 50)) || IsReddish(markers.At(79, 50)));
}

TEST(Renderer, InvisibleKindsVanish) {
    KETRA_REQUIRE_GL();
    TestScene scene("visibility");
    scene.Open("model");
    HC_Set_Color("faces = red, markers = blue, lines = black");
    InsertSquare(0.3f, 0);
    HC_Insert_Marker(0.7, 0.7, 0);
    HC_Insert_Line(-0.9, -0.8, 0, 0.9, -0.8, 0);
    HC_Close_Segment();
    const Image all = scene.Render(100, 100, 8);
    EXPECT_TRUE(IsReddish(all.At(50, 50)));
    int markerPixels = 0;  // marker at (0.7, 0.7): pixel (85, 15)
    for (int y = 10; y <= 20; ++y)
        for (int x = 80; x <= 90; ++x) markerPixels += IsBluish(all.At(x, y)) ? 1 : 0;
    EXPECT_GT(markerPixels, 8);
    EXPECT_TRUE(IsDark(all.At(50, 90)));    // line at y = -0.8
    scene.Open("model");
    HC_Set_Visibility("faces = off, edges = off, markers = off, lines = off");
    HC_Close_Segment();
    const Image none = scene.Render(100, 100, 8);
    EXPECT_EQ(CountPixels(none, [](const Image::Pixel& p) { return !IsWhite(p); }), 0);
    scene.Open("model");
    HC_Set_Visibility("everything = off");
    HC_Close_Segment();
    scene.Open("model/shown again");
    HC_Set_Visibility("faces = on");
    HC_Set_Color("faces = blue");
    InsertSquare(0.1f, 0.1f);
    HC_Close_Segment();
    const Image below = scene.Render(100, 100, 8);
    EXPECT_TRUE(IsBluish(below.At(50, 50)));  // a subsegment may turn its faces back on
    EXPECT_TRUE(IsWhite(below.At(50, 35)));
}

TEST(Renderer, TransparencyBlendsWithWhatIsBehind) {
    KETRA_REQUIRE_GL();
    TestScene scene("transparency");
    scene.Open("back");
    HC_Set_Color("faces = red");
    HC_Set_Rendering_Options("no lighting");
    InsertSquare(0.6f, -0.5f);
    HC_Close_Segment();
    scene.Open("front");
    HC_Set_Color("faces = (diffuse = blue, transmission = (r=0.5 g=0.5 b=0.5))");
    HC_Set_Rendering_Options("no lighting");
    InsertSquare(0.3f, 0.5f);
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    const Image::Pixel mixed = image.At(50, 50);
    EXPECT_NEAR(mixed.r, 128, 20);
    EXPECT_NEAR(mixed.b, 128, 20);
    const Image::Pixel red = image.At(25, 50);
    EXPECT_GT(red.r, 240);
    EXPECT_LT(red.b, 20);
}

TEST(Renderer, CuttingPlanesClipTheSceneBesideThem) {
    KETRA_REQUIRE_GL();
    TestScene scene("cutting");
    scene.Open("model");
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");
    InsertPipe(0.8f, 0.2f);
    HC_Close_Segment();
    scene.Open("cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);  // cuts x > 0 away
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    EXPECT_TRUE(IsReddish(image.At(25, 50)));
    EXPECT_TRUE(IsWhite(image.At(75, 50)));
    // The section outline (the circle where x = 0 cuts the tube) seen edge-on: a dark line.
    EXPECT_TRUE(IsDark(image.At(50, 50)) || IsDark(image.At(49, 50)));
    EXPECT_TRUE(IsWhite(image.At(50, 35)));
}

TEST(Renderer, TextAppearsAtItsPlaceAndSize) {
    KETRA_REQUIRE_GL();
    TestScene scene("text");
    scene.Open("notes");
    HC_Set_Color("text = black");
    HC_Set_Text_Font("name = Arial, size = 20 pixels");
    HC_Set_Text_Alignment("**");
    HC_Insert_Text(0.5, 0.5, 0, "HHHH");
    HC_Close_Segment();
    const Image image = scene.Render(200, 200, 8);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (IsDark(image.At(x, y))) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "no text drawn";
    // Anchor (0.5, 0.5) is pixel (150, 50); the string is centred on it.
    EXPECT_NEAR((minX + maxX) / 2.0, 150, 3);
    EXPECT_NEAR((minY + maxY) / 2.0, 50, 3);
    // Capital H of a 20-pixel font is about 14 pixels tall; four of them about 55 wide.
    EXPECT_NEAR(maxY - minY + 1, 14, 3);
    EXPECT_NEAR(maxX - minX + 1, 54, 10);
}

TEST(Renderer, HideOverlappedTextDropsTheLaterOfTwoOverlappingTexts) {
    KETRA_REQUIRE_GL();
    TestScene scene("overlapped text");
    scene.Open("notes");
    HC_Set_Color("text = black");
    HC_Set_Text_Font("name = Arial, size = 20 pixels");
    HC_Set_Text_Alignment("**");
    HC_Insert_Text(0, 0.1, 0, "HHHH");    // drawn first: kept
    HC_Insert_Text(0.05, 0.1, 0, "HHHH"); // overlaps the first
    HC_Insert_Text(0, -0.6, 0, "HHHH");   // clear of both: kept
    HC_Close_Segment();
    auto darkRows = [](const Image& image, int from, int to) {
        int minX = 1000, maxX = -1;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < image.width; ++x)
                if (IsDark(image.At(x, y))) minX = std::min(minX, x), maxX = std::max(maxX, x);
        return maxX < 0 ? 0 : maxX - minX + 1;
    };
    // Rows 80..100 hold the two overlapping texts, rows 150..175 the third.
    const Image all = scene.Render(200, 200, 8);
    const int both = darkRows(all, 75, 105);
    EXPECT_GT(darkRows(all, 145, 180), 40);

    scene.Open("notes");
    HC_Set_Heuristics("hide overlapped text");
    HC_Close_Segment();
    const Image hidden = scene.Render(200, 200, 8);
    const int one = darkRows(hidden, 75, 105);
    EXPECT_NEAR(both - one, 5, 2);  // the shifted copy (5 pixels right) is gone
    EXPECT_EQ(darkRows(hidden, 145, 180), darkRows(all, 145, 180));
}

TEST(Renderer, BackplaneCullingHidesFacesSeenFromBehind) {
    KETRA_REQUIRE_GL();
    TestScene scene("backplane");
    // Left: a triangle facing the viewer (counter-clockwise); middle: one facing away;
    // right: the facing one mirrored in x, which still faces the viewer.
    const float front[9] = {-0.2f, -0.2f, 0, 0.2f, -0.2f, 0, 0, 0.2f, 0};
    const float back[9] = {-0.2f, -0.2f, 0, 0, 0.2f, 0, 0.2f, -0.2f, 0};
    const int faces[4] = {3, 0, 1, 2};
    scene.Open("model");
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");
    HC_Open_Segment("front");
    HC_Translate_Object(-0.6, 0, 0);
    HC_Insert_Shell(3, front, 4, faces);
    HC_Close_Segment();
    HC_Open_Segment("back");
    HC_Insert_Shell(3, back, 4, faces);
    HC_Close_Segment();
    HC_Open_Segment("mirrored");
    HC_Scale_Object(-1, 1, 1);
    HC_Translate_Object(0.6, 0, 0);
    HC_Insert_Shell(3, front, 4, faces);
    HC_Close_Segment();
    HC_Close_Segment();
    // The default camera shows -1..1 across 100 pixels: the triangles sit at x = 20, 50, 80.
    const Image all = scene.Render(100, 100);
    for (int x : {20, 50, 80}) EXPECT_TRUE(IsReddish(all.At(x, 50))) << x;

    scene.Open("model");
    HC_Set_Heuristics("backplane cull");
    HC_Close_Segment();
    const Image culled = scene.Render(100, 100);
    EXPECT_TRUE(IsReddish(culled.At(20, 50)));
    EXPECT_TRUE(IsWhite(culled.At(50, 50)));
    EXPECT_TRUE(IsReddish(culled.At(80, 50)));
}

TEST(Renderer, GradientBackgroundRunsFromTopToBottom) {
    KETRA_REQUIRE_GL();
    TestScene scene("gradient");
    SetWindowGradient(scene.Key(), {1, 0, 0}, {0, 0, 1});
    const Image image = scene.Render(60, 60, 8);
    EXPECT_TRUE(IsReddish(image.At(30, 0)));
    EXPECT_TRUE(IsBluish(image.At(30, 59)));
    const Image::Pixel middle = image.At(30, 30);
    EXPECT_NEAR(middle.r, 128, 12);
    EXPECT_NEAR(middle.b, 128, 12);
    ClearWindowGradient(scene.Key());
    EXPECT_TRUE(IsWhite(scene.Render(60, 60, 8).At(30, 0)));
}

TEST(Renderer, LineWeightAndPatternShowInPixels) {
    KETRA_REQUIRE_GL();
    TestScene scene("lines");
    scene.Open("solid");
    HC_Set_Color("lines = black");
    HC_Set_Line_Weight(5);
    HC_Insert_Line(-0.9, 0.5, 0, 0.9, 0.5, 0);
    HC_Close_Segment();
    scene.Open("dashed");
    HC_Set_Color("lines = black");
    HC_Set_Line_Pattern("- -");
    HC_Insert_Line(-0.9, -0.5, 0, 0.9, -0.5, 0);
    HC_Close_Segment();
    const Image image = scene.Render(100, 100, 8);
    int thick = 0;
    for (int y = 15; y < 35; ++y) thick += IsDark(image.At(50, y)) ? 1 : 0;
    EXPECT_GE(thick, 4);
    EXPECT_LE(thick, 7);
    int gaps = 0;
    bool dark = false;
    for (int x = 10; x < 90; ++x) {
        const bool now = !IsWhite(image.At(x, 75));
        if (dark && !now) ++gaps;
        dark = now;
    }
    EXPECT_GE(gaps, 3);
}

TEST(Renderer, MultisampledImagesHaveSoftEdges) {
    KETRA_REQUIRE_GL();
    TestScene scene("msaa");
    scene.Open("model");
    HC_Set_Color("faces = black");
    HC_Set_Rendering_Options("no lighting");
    const float points[9] = {-0.8f, -0.8f, 0, 0.8f, -0.7f, 0, 0, 0.8f, 0};
    const int faces[4] = {3, 0, 1, 2};
    HC_Insert_Shell(3, points, 4, faces);
    HC_Close_Segment();
    auto grey = [](const Image::Pixel& p) { return p.r > 20 && p.r < 235; };
    EXPECT_EQ(CountPixels(scene.Render(80, 80, 8, 1), grey), 0);
    EXPECT_GT(CountPixels(scene.Render(80, 80, 8, 4), grey), 20);
}

TEST(Renderer, ImagesAreDrawnPixelForPixelAtTheirPlace) {
    KETRA_REQUIRE_GL();
    TestScene scene("image");
    scene.Open("picture");
    // 4 x 2 pixels: top row red, bottom row blue.
    const unsigned char pixels[24] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0,
                                      0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    HC_Insert_Image(0, 0, 0, "rgb", 4, 2, pixels);
    HC_Close_Segment();
    const Image image = scene.Render(20, 20, 8);
    EXPECT_TRUE(IsReddish(image.At(9, 9)));
    EXPECT_TRUE(IsBluish(image.At(9, 10)));
    EXPECT_TRUE(IsWhite(image.At(9, 11)));
    EXPECT_TRUE(IsWhite(image.At(12, 9)));
    EXPECT_EQ(CountPixels(image, [](const Image::Pixel& p) { return !IsWhite(p); }), 8);
    scene.Open("picture");
    HC_Set_Visibility("images = off");
    HC_Close_Segment();
    EXPECT_EQ(CountPixels(scene.Render(20, 20, 8), [](const Image::Pixel& p) { return !IsWhite(p); }), 0);
}

TEST(Renderer, BadKeysAndSizesAreRefused) {
    Image image;
    std::string error;
    FrameSettings settings;
    settings.width = 10;
    settings.height = 10;
    EXPECT_FALSE(RenderToImage(-123456789, settings, image, &error));
    EXPECT_NE(error.find("not a segment"), std::string::npos);
    TestScene scene("badsize");
    settings.width = 0;
    EXPECT_FALSE(RenderToImage(scene.Key(), settings, image, &error));
    settings.width = 100000;
    EXPECT_FALSE(RenderToImage(scene.Key(), settings, image, &error));
}

// A window draws through WindowRenderer into its own framebuffer. Each frame, like a headless
// one, is recorded for its display and heard by the display's listener: that is how the view
// learns its frame times when the window paints after the Update.
TEST(Renderer, WindowFramesAreRecordedForTheirDisplayAndHeard) {
    KETRA_REQUIRE_GL();
    TestScene scene("window_frames", "orthographic");
    scene.Open("model");
    HC_Set_Color("faces = red");
    InsertSquare(0.5f, 0);
    HC_Close_Segment();
    std::vector<FrameTimings> heard;
    SetFrameListener(scene.Key(), [&](const FrameTimings& t) { heard.push_back(t); });
    scene.Render(40, 40);  // headless
    ASSERT_EQ(heard.size(), 1u);
    {
        std::string error;
        ASSERT_NE(HeadlessContext::Acquire(&error), nullptr) << error;
        OffscreenTarget target;
        ASSERT_TRUE(target.Resize(40, 40, 1, &error)) << error;
        WindowRenderer window;
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(window.Draw(scene.Key(), 40, 40, target.DrawFramebuffer(), &error)) << error;
        Image image;
        target.ReadBack(image);
        EXPECT_TRUE(IsReddish(image.At(20, 20)));
        EXPECT_TRUE(IsWhite(image.At(2, 2)));
    }
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_LT(heard[0].frame, heard[1].frame);
    EXPECT_LT(heard[1].frame, heard[2].frame);
    EXPECT_FALSE(heard[1].walkSkipped);  // the window's own first walk
    EXPECT_TRUE(heard[2].walkSkipped);   // nothing changed since
    EXPECT_GT(heard[2].drawSeconds, 0.0);
    const FrameTimings* last = DisplayFrameTimings(scene.Key());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->frame, heard[2].frame);
    SetFrameListener(scene.Key(), {});
    scene.Render(40, 40);
    EXPECT_EQ(heard.size(), 3u);
    EXPECT_GT(DisplayFrameTimings(scene.Key())->frame, heard[2].frame);
}

// Window renderers in one share group (the panes of four views) fill each batch of faces once
// and draw it together; a change fills it once more for all, and one renderer going leaves the
// others' buffers as they were.
TEST(Renderer, WindowRenderersOfOneShareGroupFillEachFaceBatchOnce) {
    KETRA_REQUIRE_GL();
    const HC_KEY model = HC_Open_Segment("/include library/shared faces model");
    HC_Set_Color("faces = red");
    HC_Set_Visibility("edges = off");  // faces alone: what is shared
    InsertSquare(0.5f, 0);
    HC_Close_Segment();
    TestScene a("shared_faces_a", "orthographic"), b("shared_faces_b", "orthographic");
    for (TestScene* scene : {&a, &b}) {
        HC_Open_Segment_By_Key(scene->Key());
        HC_Include_Segment_By_Key(model);
        HC_Close_Segment();
    }
    std::string error;
    ASSERT_NE(HeadlessContext::Acquire(&error), nullptr) << error;
    OffscreenTarget target;
    ASSERT_TRUE(target.Resize(40, 40, 1, &error)) << error;
    const int group = 0;  // any address names the group
    auto first = std::make_unique<WindowRenderer>();
    WindowRenderer second, alone;
    first->SetShareGroup(&group);
    second.SetShareGroup(&group);
    auto draw = [&](WindowRenderer& renderer, const TestScene& scene) {
        EXPECT_TRUE(renderer.Draw(scene.Key(), 40, 40, target.DrawFramebuffer(), &error)) << error;
        Image image;
        target.ReadBack(image);
        return std::pair{DisplayFrameTimings(scene.Key())->rebuiltBatches, image.At(20, 20)};
    };
    EXPECT_GT(draw(*first, a).first, 0u);
    auto [rebuilt, centre] = draw(second, b);
    EXPECT_EQ(rebuilt, 0u);
    EXPECT_TRUE(IsReddish(centre));
    EXPECT_GT(draw(alone, b).first, 0u);  // no group: its own buffers
    HC_Open_Segment_By_Key(model);
    HC_Set_Color("faces = blue");
    HC_Close_Segment();
    EXPECT_GT(draw(*first, a).first, 0u);
    std::tie(rebuilt, centre) = draw(second, b);
    EXPECT_EQ(rebuilt, 0u);
    EXPECT_TRUE(IsBluish(centre));
    first.reset();
    std::tie(rebuilt, centre) = draw(second, b);
    EXPECT_TRUE(IsBluish(centre));
    HC_Delete_By_Key(model);
}

// A window that kept its last frame shows it again while the stamp is unchanged: anything that
// changes the picture must change the stamp.
TEST(Renderer, TheDisplayStampMovesWithTheSceneTheModeAndTheResolution) {
    TestScene scene("stamp", "orthographic");
    scene.Open("model");
    InsertSquare(0.5f, 0);
    HC_Close_Segment();
    DisplayStamp last = StampOf(scene.Key());
    EXPECT_EQ(StampOf(scene.Key()), last);
    const auto changed = [&] {
        const DisplayStamp now = StampOf(scene.Key());
        const bool moved = !(now == last);
        last = now;
        return moved;
    };
    HC_Open_Segment_By_Key(scene.Key());
    HC_Orbit_Camera(10, 0);  // a camera-only change
    HC_Close_Segment();
    EXPECT_TRUE(changed());
    SetRenderMode(scene.Key(), 1);
    EXPECT_TRUE(changed());
    SetReducedResolution(scene.Key(), true);
    EXPECT_TRUE(changed());
    SetReducedResolution(scene.Key(), false);
    SetRenderMode(scene.Key(), 0);
    EXPECT_TRUE(changed());
    EXPECT_FALSE(changed());
    // Another view moving or changing its own segments leaves this one's picture as it was.
    TestScene other("stamp other", "orthographic");
    EXPECT_FALSE(changed());
    HC_Open_Segment_By_Key(other.Key());
    HC_Orbit_Camera(10, 0);
    HC_Set_Rendering_Options("lod = on");
    HC_Close_Segment();
    EXPECT_FALSE(changed());
    HC_Open_Segment_By_Key(other.Key());
    HC_Include_Segment_By_Key(scene.Key());  // a picture in a picture: not private any more
    HC_Close_Segment();
    HC_Open_Segment_By_Key(scene.Key());
    HC_Set_Color("faces = red");
    HC_Close_Segment();
    EXPECT_TRUE(changed());
}
