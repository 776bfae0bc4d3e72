// Runs last in this program (file order): once the display driver is installed every later
// Update renders, which the other tests do not need.
#include "ViewExFixture.h"

#include "platform/render/Renderer.h"

TEST(HeadlessView, UpdateRendersTheModelOffscreen)
{
    std::string why;
    if (!ketra::render::HeadlessAvailable(&why))
        GTEST_SKIP() << "no headless GL: " << why;
    HBaseView::SetAutoInstallDisplayDriver(true);
    HBaseModel model;
    model.Init();
    HMyBaseView view(&model, nullptr, nullptr, nullptr, 0, 0);
    view.Init();
    HBaseView::SetAutoInstallDisplayDriver(false);
    view.SetWindowSizeInPixels(64, 48);
    HC_Open_Segment_By_Key(model.GetModelKey());
    const float p[4][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
    const int faces[5] = {4, 0, 1, 2, 3};
    HC_Insert_Shell(4, p, 5, faces);
    HC_Close_Segment();
    view.SetViewMode(HViewFront);
    view.Update();
    const ketra::render::Image* frame = ketra::render::LastFrame(view.GetViewKey());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width, 64);
    EXPECT_EQ(frame->height, 48);
    // The background is white (colour map index 0); the square in the middle is not.
    const auto corner = frame->At(0, 0);
    const auto centre = frame->At(32, 24);
    EXPECT_EQ(corner.r, 255);
    EXPECT_NE(centre, corner);
}
