// The programs compiled for what a batch needs draw what the general program draws, and each
// batch gets the variant its clip planes, texture, shading and lights call for; the view's
// cutting plane cuts.
#include "RenderTestScene.h"

#include "host/PipingModel.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HOpMoveHandle.h"
#include "platform/mvo/HUtility.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <algorithm>
#include <functional>

namespace ketra::render {
namespace {

// Pixels of two pictures of one size whose colours differ by more than `tolerance` in a channel.
int DifferentPixels(const Image& a, const Image& b, int tolerance = 0) {
    int n = 0;
    for (size_t i = 0; i + 3 < std::min(a.rgba.size(), b.rgba.size()); i += 4)
        n += std::max({std::abs(a.rgba[i] - b.rgba[i]), std::abs(a.rgba[i + 1] - b.rgba[i + 1]), std::abs(a.rgba[i + 2] - b.rgba[i + 2])}) > tolerance;
    return n;
}

Image Draw(HC_KEY display) {
    FrameSettings settings;
    settings.width = 320;
    settings.height = 256;
    Image image;
    std::string error;
    EXPECT_TRUE(RenderToImage(display, settings, image, &error)) << error;
    return image;
}

// Draws `display` in each mode, whole and cut by a plane across x at `cutX` (below `cutOwner`),
// with the general programs and with the variants: the pictures must be equal within
// `tolerance` levels a channel. Returns the variants drawn.
std::vector<ProgramVariant> ExpectSamePictures(HC_KEY display, HC_KEY cutOwner, float cutX, const std::vector<int>& modes,
                                               const std::function<void(int)>& setMode, int tolerance = 0) {
    struct GeneralProgramsOff { ~GeneralProgramsOff() { SetGeneralPrograms(false); } } restore;
    std::vector<ProgramVariant> drawn;
    auto draw = [&](bool general) {
        SetGeneralPrograms(general);
        const Image image = Draw(display);
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
            if (cut) EXPECT_GT(DifferentPixels(whole, specialised), 100);  // the frame still cuts
            if (cut) HC_Delete_By_Key(plane);
            else whole = specialised;
        }
    }
    return drawn;
}

TEST(ProgramVariants, SamplePlantLooksTheSameInEveryModeAndCutAndItsCuttingPlaneShowsWhatItKeeps) {
    KETRA_REQUIRE_GL();
    std::string why;
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

    // View > Insert Cutting Plane cuts; its quad tints the half it keeps, hiding none of it.
    view.SetRenderMode(HRenderGouraud);
    auto model = [](const Image::Pixel& p) { return !testing::IsWhite(p) && p.b >= p.r; };
    const int whole = testing::CountPixels(Draw(view.GetViewKey()), model);
    ASSERT_NE(HUtilityGeometryCreation::CreateCuttingPlane(&view), -1);
    HOpMoveHandle::SetupObject(view.GetCuttingPlanesKey(), &view);  // as the command does: the handle must not undo the cut
    const Image image = Draw(view.GetViewKey());
    EXPECT_GT(testing::CountPixels(image, model), 500);
    EXPECT_GT(testing::CountPixels(image, [](const Image::Pixel& p) { return p.r > p.b + 20 && p.g > p.b + 20; }), 1000);
    EXPECT_EQ(testing::CountPixels(image, [](const Image::Pixel& p) { return p.r > 200 && p.g > 200 && p.b < 60; }), 0);
    HC_Open_Segment_By_Key(view.GetCuttingPlaneGeomKey());
    HC_Set_Visibility("faces = off, edges = off");
    HC_Close_Segment();
    EXPECT_LT(testing::CountPixels(Draw(view.GetViewKey()), model), whole * 4 / 5);
}

// A cylinder of `radius` in the scene's segment `path`, after what `attributes` sets there.
void Pipe(testing::TestScene& scene, const std::string& path, double radius, void (*attributes)() = nullptr, float y = 0) {
    scene.Open(path);
    if (attributes) attributes();
    const float a[3] = {-0.8f, y, 0}, b[3] = {0.8f, y + 0.2f, -0.5f};
    HC_Insert_Cylinder(a, b, radius, "both");
    HC_Close_Segment();
}

// Pipes of one colour in perspective take it from a uniform, and look as with the colour per
// vertex within one level (equal corner colours, interpolated for perspective, round apart).
TEST(ProgramVariants, OneColouredPipesInPerspectiveLookTheSame) {
    KETRA_REQUIRE_GL();
    testing::TestScene scene("one colour", "perspective");
    for (int i = 0; i < 5; ++i)
        Pipe(scene, "pipe" + std::to_string(i), 0.12, [] { HC_Set_Color("faces = (diffuse = r=0.2 g=0.5 b=0.9)"); }, -0.8f + 0.4f * i);
    const std::vector<ProgramVariant> drawn =
        ExpectSamePictures(scene.Key(), scene.Key(), 0.1f, {0, 4, 8, 9}, [&](int mode) { SetRenderMode(scene.Key(), mode); }, 1);
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const ProgramVariant& v) { return v.batchColor && v.perspective; }));
}

// Which variant draws each batch, as the frame recorded it.
TEST(ProgramVariants, EachBatchGetsTheVariantItNeeds) {
    KETRA_REQUIRE_GL();
    testing::TestScene scene("program variants");
    // Two colours in one state: one chunk, its colours read per vertex.
    Pipe(scene, "plain", 0.2);
    Pipe(scene, "red", 0.25, [] { HC_Set_Color("faces = red"); });
    auto programs = [&](int mode) {
        scene.Render(64, 64, mode);
        std::vector<std::string> names;
        for (const ProgramVariant& v : LastFrameTimings().programs) names.push_back(v.Name());
        std::sort(names.begin(), names.end());
        return names;
    };
    // The default light and highlight; flat by mode; faces that only hide are unlit.
    EXPECT_EQ(programs(8), (std::vector<std::string>{"line", "surface lit=1 specular"}));
    EXPECT_EQ(programs(9), (std::vector<std::string>{"line", "surface lit=1 flat specular"}));
    EXPECT_EQ(programs(4), (std::vector<std::string>{"line", "surface"}));

    Pipe(scene, "textured", 0.1, [] {
        const unsigned char pixels[12] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
        HC_Insert_Image(0, 0, 0, "rgb, name=variant checker image", 2, 2, pixels);
        HC_Set_Visibility("images = off");
        HC_Define_Texture("variant checker", "source=variant checker image");
        HC_Set_Color("faces = (diffuse = variant checker)");
    });
    // A plane cuts what the segment above its own holds.
    Pipe(scene, "cut", 0.3, [] {
        HC_Set_Rendering_Options("lighting interpolation = off");
        HC_Set_Color("faces = (gloss = 0)");
        HC_Open_Segment("plane");
        HC_Insert_Cutting_Plane(1, 0, 0, 0);
        HC_Close_Segment();
    });
    Pipe(scene, "three-sided", 0.4, [] {
        HC_Open_Segment("planes");
        HC_Set_Rendering_Options("intersecting cutting planes");
        HC_Insert_Cutting_Plane(1, 0, 0, 0);
        HC_Insert_Cutting_Plane(0, 1, 0, 0);
        HC_Close_Segment();
    });
    // Each cut takes its planes to the edges too; the cut items' one colour is a uniform; the
    // plane cutting alone draws its items again without colour to cap the section.
    EXPECT_EQ(programs(0), (std::vector<std::string>{"line", "line clip=1", "line cut-together", "surface clip=1",
                                                     "surface clip=1 lit=1 flat one-color",
                                                     "surface cut-together lit=1 specular one-color",
                                                     "surface lit=1 specular", "surface textured lit=1 specular"}));
}

} // namespace
} // namespace ketra::render
