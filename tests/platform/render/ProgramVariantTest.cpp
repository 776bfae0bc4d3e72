// The programs compiled for what a batch needs draw what the general program draws, and each
// batch gets the variant its clip planes, texture, shading and lights call for.
#include "RenderTestScene.h"

#include "host/PipingModel.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace ketra::render {
namespace {

using testing::TestScene;

bool AnyProgram(const FrameTimings& t, bool (*test)(const ProgramVariant&)) {
    return std::any_of(t.programs.begin(), t.programs.end(), test);
}

// Pixels whose colour differs between two pictures of one size.
int DifferentPixels(const Image& a, const Image& b) {
    int n = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) n += !std::equal(&a.rgba[i], &a.rgba[i] + 4, &b.rgba[i]);
    return n;
}

struct GeneralProgramsOff {
    ~GeneralProgramsOff() { SetGeneralPrograms(false); }
};

TEST(ProgramVariants, SamplePlantLooksTheSameAsWithTheGeneralProgramInEveryModeAndCut) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/program-variant-test-registry.reg").c_str(), 1);
    const host::LoadResult loaded = host::LoadPipingModel(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    plotter::Plotter plotter;
    std::string error;
    ASSERT_TRUE(plotter.Start({}, &error)) << error;
    plotter.Draw(loaded.model);
    HMyBaseView& view = plotter.View();
    GeneralProgramsOff restore;

    FrameSettings settings;
    settings.width = 320;
    settings.height = 256;
    auto draw = [&](bool general) {
        SetGeneralPrograms(general);
        Image image;
        EXPECT_TRUE(RenderToImage(view.GetViewKey(), settings, image, &error)) << error;
        const bool allGeneral = std::all_of(LastFrameTimings().programs.begin(), LastFrameTimings().programs.end(),
                                            [](const ProgramVariant& v) { return v.general; });
        EXPECT_EQ(allGeneral, general);
        return image;
    };
    // A plane through the camera's target, across x: it cuts the plant in two.
    float position[3], target[3], up[3], width = 0, height = 0;
    char projection[64];
    HC_Open_Segment_By_Key(view.GetViewKey());
    HC_Show_Camera(position, target, up, &width, &height, projection);
    HC_Close_Segment();

    for (HRenderMode mode : {HRenderWireframe, HRenderSilhouette, HRenderHiddenLine, HRenderHiddenLineFast,
                             HRenderBRepHiddenLine, HRenderGouraud, HRenderFlat, HRenderGouraudWithEdges,
                             HRenderMarkers}) {
        view.SetRenderMode(mode);
        Image uncut;
        for (bool cut : {false, true}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (cut ? " cut" : ""));
            HC_KEY plane = -1;
            if (cut) {
                HC_Open_Segment_By_Key(view.GetSceneKey());
                HC_Open_Segment("variant test cut");
                plane = HC_Insert_Cutting_Plane(1, 0, 0, -target[0]);
                HC_Close_Segment();
                HC_Close_Segment();
            }
            const Image general = draw(true);
            const Image specialised = draw(false);
            ASSERT_EQ(general.rgba.size(), specialised.rgba.size());
            EXPECT_EQ(DifferentPixels(general, specialised), 0);
            if (!cut) {
                uncut = specialised;
                EXPECT_FALSE(AnyProgram(LastFrameTimings(), [](const ProgramVariant& v) { return v.clipPlanes > 0; }));
                continue;
            }
            // The frame still cuts: the plane's variant drew it, and the picture lost part of the plant.
            EXPECT_TRUE(AnyProgram(LastFrameTimings(), [](const ProgramVariant& v) { return v.clipPlanes == 1; }));
            EXPECT_GT(DifferentPixels(uncut, specialised), 100);
            HC_Delete_By_Key(plane);
        }
    }
}

// Shells in segments of their own: which variant draws each is told by what the frame recorded.
TEST(ProgramVariants, EachBatchGetsTheVariantItNeeds) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    TestScene scene("program variants");
    const float a[3] = {-0.5f, 0, 0}, b[3] = {0.5f, 0, 0};
    scene.Open("plain");
    HC_Insert_Cylinder(a, b, 0.2, "both");
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
    const int size = 2;
    const unsigned char pixels[size * size * 3] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
    HC_Insert_Image(0, 0, 0, "rgb, name=variant checker image", size, size, pixels);
    HC_Set_Visibility("images = off");
    HC_Define_Texture("variant checker", "source=variant checker image");
    HC_Set_Color("faces = (diffuse = variant checker)");
    HC_Insert_Cylinder(a, b, 0.1, "both");
    HC_Close_Segment();
    // A plane cuts what the segment above its own holds.
    scene.Open("cut/plane");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Close_Segment();
    scene.Open("cut");
    HC_Set_Rendering_Options("lighting interpolation = off");
    HC_Set_Color("faces = (gloss = 0)");
    HC_Insert_Cylinder(a, b, 0.3, "both");
    HC_Close_Segment();
    scene.Open("three-sided/planes");
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1, 0, 0, 0);
    HC_Insert_Cutting_Plane(0, 1, 0, 0);
    HC_Close_Segment();
    scene.Open("three-sided");
    HC_Insert_Cylinder(a, b, 0.4, "both");
    HC_Close_Segment();
    // Each cut takes its planes to the edges too.
    EXPECT_EQ(programs(0), (std::vector<std::string>{"line", "line clip=1", "line cut-together", "surface clip=1 lit=1 flat",
                                                     "surface cut-together lit=1 specular", "surface lit=1 specular",
                                                     "surface textured lit=1 specular"}));
}

} // namespace
} // namespace ketra::render
