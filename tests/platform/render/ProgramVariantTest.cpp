// The programs compiled for what a batch needs draw what the general program draws, and each
// batch gets the variant its clip planes, texture, shading and lights call for.
#include "RenderTestScene.h"

#include "host/PipingModel.h"
#include "platform/mvo/HBaseView.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

namespace ketra::render {
namespace {

using testing::TestScene;

// Pixels of two pictures of one size whose colours differ by more than `tolerance` in a channel.
int DifferentPixels(const Image& a, const Image& b, int tolerance = 0) {
    int n = 0;
    for (size_t i = 0; i + 3 < std::min(a.rgba.size(), b.rgba.size()); i += 4)
        n += std::abs(a.rgba[i] - b.rgba[i]) > tolerance || std::abs(a.rgba[i + 1] - b.rgba[i + 1]) > tolerance ||
             std::abs(a.rgba[i + 2] - b.rgba[i + 2]) > tolerance;
    return n;
}

// Draws `display` in each mode (set by `setMode`), whole and cut by a plane across x at `cutX`
// (inserted below `cutOwner`), with the general programs and with the variants: the pictures
// must be equal within `tolerance` levels a channel, and a cut one must differ from the whole
// one. Returns the variants drawn.
std::vector<ProgramVariant> ExpectSamePictures(HC_KEY display, HC_KEY cutOwner, float cutX, const std::vector<int>& modes,
                                               const std::function<void(int)>& setMode, int tolerance = 0) {
    struct GeneralProgramsOff {
        ~GeneralProgramsOff() { SetGeneralPrograms(false); }
    } restore;
    std::vector<ProgramVariant> drawn;
    FrameSettings settings;
    settings.width = 320;
    settings.height = 256;
    auto draw = [&](bool general) {
        SetGeneralPrograms(general);
        Image image;
        std::string error;
        EXPECT_TRUE(RenderToImage(display, settings, image, &error)) << error;
        for (const ProgramVariant& v : LastFrameTimings().programs) {
            EXPECT_EQ(v.general, general) << v.Name();
            if (!general) drawn.push_back(v);
        }
        return image;
    };
    for (int mode : modes) {
        setMode(mode);
        Image whole;
        for (bool cut : {false, true}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (cut ? " cut" : ""));
            HC_KEY plane = -1;
            if (cut) {  // a plane cuts what the segment above its own holds
                HC_Open_Segment_By_Key(cutOwner);
                HC_Open_Segment("variant test cut");
                plane = HC_Insert_Cutting_Plane(1, 0, 0, -cutX);
                HC_Close_Segment();
                HC_Close_Segment();
            }
            const Image general = draw(true);
            const Image specialised = draw(false);
            EXPECT_EQ(DifferentPixels(general, specialised, tolerance), 0);
            if (!cut) {
                whole = specialised;
                continue;
            }
            // The frame still cuts: the plane's variant drew it, and the picture lost part of the model.
            const auto& last = LastFrameTimings().programs;
            EXPECT_TRUE(std::any_of(last.begin(), last.end(), [](const ProgramVariant& v) { return v.clipPlanes == 1; }));
            EXPECT_GT(DifferentPixels(whole, specialised), 100);
            HC_Delete_By_Key(plane);
        }
    }
    return drawn;
}

TEST(ProgramVariants, SamplePlantLooksTheSameAsWithTheGeneralProgramInEveryModeAndCut) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/program-variant-test-registry.reg").c_str(), 1);
    const host::LoadResult loaded = host::LoadPipingModel(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    plotter::Plotter plotter;
    ASSERT_TRUE(plotter.Start({}, &why)) << why;
    plotter.Draw(loaded.model);
    HMyBaseView& view = plotter.View();
    float position[3], target[3], up[3], width = 0, height = 0;
    char projection[64];
    HC_Open_Segment_By_Key(view.GetViewKey());
    HC_Show_Camera(position, target, up, &width, &height, projection);
    HC_Close_Segment();
    ExpectSamePictures(view.GetViewKey(), view.GetSceneKey(), target[0],  // across the middle
                       {HRenderWireframe, HRenderSilhouette, HRenderHiddenLine, HRenderHiddenLineFast, HRenderBRepHiddenLine,
                        HRenderGouraud, HRenderFlat, HRenderGouraudWithEdges, HRenderMarkers},
                       [&](int mode) { view.SetRenderMode(static_cast<HRenderMode>(mode)); });
}

// Pipes of one colour, seen in perspective: batches of one colour take it from a uniform, and
// look as they did with the colour read per vertex, within one level: a colour equal at the
// three corners, interpolated for perspective, comes out a rounding step off the uniform's.
TEST(ProgramVariants, OneColouredPipesInPerspectiveLookTheSame) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    TestScene scene("one colour", "perspective");
    HC_Open_Segment_By_Key(scene.Key());
    HC_Set_Color("faces = (diffuse = r=0.2 g=0.5 b=0.9)");
    HC_Close_Segment();
    for (int i = 0; i < 5; ++i) {
        scene.Open("pipe" + std::to_string(i));
        const float a[3] = {-0.8f, -0.8f + 0.4f * i, 0}, b[3] = {0.8f, -0.6f + 0.4f * i, -0.5f};
        HC_Insert_Cylinder(a, b, 0.12, "both");
        HC_Close_Segment();
    }
    const std::vector<ProgramVariant> drawn =
        ExpectSamePictures(scene.Key(), scene.Key(), 0.1f, {0, 4, 8, 9}, [&](int mode) { SetRenderMode(scene.Key(), mode); }, 1);
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const ProgramVariant& v) { return v.batchColor && v.perspective; }));
}

// Shells in segments of their own: which variant draws each is told by what the frame recorded.
TEST(ProgramVariants, EachBatchGetsTheVariantItNeeds) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    TestScene scene("program variants");
    const float a[3] = {-0.5f, 0, 0}, b[3] = {0.5f, 0, 0};
    // Two colours in one state: one chunk, its colours read per vertex.
    scene.Open("plain");
    HC_Insert_Cylinder(a, b, 0.2, "both");
    HC_Close_Segment();
    scene.Open("red");
    HC_Set_Color("faces = red");
    HC_Insert_Cylinder(a, b, 0.25, "both");
    HC_Close_Segment();
    auto programs = [&](int mode) {
        scene.Render(64, 64, mode);
        std::vector<std::string> names;
        for (const ProgramVariant& v : LastFrameTimings().programs) names.push_back(v.Name());
        std::sort(names.begin(), names.end());
        return names;
    };
    // Orthographic, the default light, a highlight; flat shading by mode; hidden faces of the
    // outline modes need no lighting at all. Edges take the line program.
    EXPECT_EQ(programs(8), (std::vector<std::string>{"line", "surface lit=1 specular"}));
    EXPECT_EQ(programs(9), (std::vector<std::string>{"line", "surface lit=1 flat specular"}));
    EXPECT_EQ(programs(4), (std::vector<std::string>{"line", "surface"}));

    scene.Open("textured");
    const unsigned char pixels[12] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
    HC_Insert_Image(0, 0, 0, "rgb, name=variant checker image", 2, 2, pixels);
    HC_Set_Visibility("images = off");
    HC_Define_Texture("variant checker", "source=variant checker image");
    HC_Set_Color("faces = (diffuse = variant checker)");
    HC_Insert_Cylinder(a, b, 0.1, "both");
    HC_Close_Segment();
    scene.Open("cut/plane");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Open_Segment("..");
    HC_Set_Rendering_Options("lighting interpolation = off");
    HC_Set_Color("faces = (gloss = 0)");
    HC_Insert_Cylinder(a, b, 0.3, "both");
    HC_Close_Segment();
    HC_Close_Segment();
    scene.Open("three-sided/planes");
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Insert_Cutting_Plane(0, 1, 0, 0);
    HC_Open_Segment("..");
    HC_Insert_Cylinder(a, b, 0.4, "both");
    HC_Close_Segment();
    HC_Close_Segment();
    // Each cut takes its planes to the edges too; the cut items, one colour each, take it
    // from a uniform.
    EXPECT_EQ(programs(0), (std::vector<std::string>{"line", "line clip=1", "line cut-together",
                                                     "surface clip=1 lit=1 flat one-color",
                                                     "surface cut-together lit=1 specular one-color",
                                                     "surface lit=1 specular", "surface textured lit=1 specular"}));
}

} // namespace
} // namespace ketra::render
