// The plane that View > Insert Cutting Plane makes cuts the model, and the quad that shows it
// does not hide the half it keeps.
#include "RenderTestScene.h"

#include "host/PipingModel.h"
#include "platform/mvo/HUtility.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <cstdlib>

namespace ketra::render {
namespace {

TEST(CuttingPlane, ShownPlaneLetsTheKeptHalfShowThrough) {
    std::string why;
    if (!HeadlessAvailable(&why)) GTEST_SKIP() << "no headless GL: " << why;
    setenv("KETRA_REGISTRY", (std::string(KETRA_BINARY_DIR) + "/cutting-plane-test-registry.reg").c_str(), 1);
    const host::LoadResult loaded = host::LoadPipingModel(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    plotter::Plotter plotter;
    ASSERT_TRUE(plotter.Start({}, &why)) << why;
    plotter.Draw(loaded.model);
    HMyBaseView& view = plotter.View();
    FrameSettings settings;
    settings.width = 320;
    settings.height = 256;
    Image image;
    auto modelPixels = [&] {
        EXPECT_TRUE(RenderToImage(view.GetViewKey(), settings, image, &why)) << why;
        return testing::CountPixels(image, [](const Image::Pixel& p) { return !testing::IsWhite(p) && p.b >= p.r; });
    };
    const int whole = modelPixels();
    ASSERT_NE(HUtilityGeometryCreation::CreateCuttingPlane(&view), -1);
    const int model = modelPixels();
    // The plane tints what lies behind it, and covers nothing in its own plain yellow; the
    // model's grey steel and blue pipes still show.
    const int tinted = testing::CountPixels(image, [](const Image::Pixel& p) { return p.r > p.b + 20 && p.g > p.b + 20; });
    const int plainYellow = testing::CountPixels(image, [](const Image::Pixel& p) { return p.r > 200 && p.g > 200 && p.b < 60; });
    EXPECT_GT(tinted, 1000);
    EXPECT_EQ(plainYellow, 0);
    EXPECT_GT(model, 500);
    // And it cuts: without the plane in sight, part of the plant is gone.
    HC_Open_Segment_By_Key(view.GetCuttingPlaneGeomKey());
    HC_Set_Visibility("faces = off, edges = off");
    HC_Close_Segment();
    EXPECT_LT(modelPixels(), whole * 4 / 5);
}

} // namespace
} // namespace ketra::render
