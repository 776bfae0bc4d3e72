// Keyboard control of the camera operators, the pan operator's middle-button drag and the
// walk operator's hold on the constant-frame-rate object.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "operators/HOpCameraEx.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HEventInfo.h"

namespace {

void ExpectNear(const HPoint& a, const HPoint& b, float tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

class CameraOperatorExTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        model = std::make_unique<HBaseModel>();
        model->Init();
        view = std::make_unique<HBaseView>(model.get());
        view->Init();
        view->SetWindowSizeInPixels(400, 300);
        // A camera off every axis, looking down at the target, Z up.
        HCamera camera;
        camera.position = HPoint(30, -40, 25);
        camera.target = HPoint(2, 3, 1);
        camera.up_vector = HPoint(0, 0, 1);
        camera.field_width = 20;
        camera.field_height = 15;
        view->SetCamera(camera);
    }

    HCamera Camera() const
    {
        HCamera camera;
        view->GetCamera(camera);
        return camera;
    }

    int Key(HBaseOperator& op, unsigned int key)
    {
        HEventInfo event(view.get());
        event.SetKey(HE_KeyDown, key, 1, 0);
        return op.OnKeyDown(event);
    }

    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<HBaseView> view;
};

TEST_F(CameraOperatorExTest, SeventyTwoRightArrowsComeBackRound)
{
    // The fixture's Z-up camera, then a host's Y-up camera looking down at the target.
    for (const bool yUp : {false, true}) {
        if (yUp) {
            HCamera camera = Camera();
            camera.position = HPoint(30, 25, 40);
            camera.up_vector = HPoint(0, 1, 0);
            view->SetCamera(camera);
        }
        const HPoint up = yUp ? HPoint(0, 1, 0) : HPoint(0, 0, 1);
        auto height = [&up](const HPoint& p) { return p.x * up.x + p.y * up.y + p.z * up.z; };
        HOpCameraOrbitEx orbit(view.get(), 0, 1);
        const HCamera start = Camera();
        const unsigned changes = view->GetCameraChangeCount();
        HCamera quarter;
        for (int i = 0; i < 72; ++i) {
            EXPECT_EQ(orbit.MoveCamera(ketra::operators::kKeyRight), 1);
            if (i == 17)
                quarter = Camera();
        }
        const HCamera end = Camera();
        ExpectNear(end.position, start.position, 2e-3f);
        ExpectNear(end.target, start.target, 1e-4f);
        EXPECT_EQ(view->GetCameraChangeCount(), changes + 72);
        // Each press turns about the up axis through the target: the eye keeps its height and
        // its distance from that axis; 18 presses make a quarter turn.
        EXPECT_NEAR(height(quarter.position), height(start.position), 1e-3) << yUp;
        HPoint d0 = start.position - start.target, d1 = quarter.position - start.target;
        d0 = d0 - up * height(d0);
        d1 = d1 - up * height(d1);
        EXPECT_NEAR(std::sqrt(d1.x * d1.x + d1.y * d1.y + d1.z * d1.z),
                    std::sqrt(d0.x * d0.x + d0.y * d0.y + d0.z * d0.z), 1e-3) << yUp;
        EXPECT_NEAR(d0.x * d1.x + d0.y * d1.y + d0.z * d1.z, 0.0, 1e-2) << yUp;
        ExpectNear(quarter.target, start.target, 1e-4f);
    }
}

TEST_F(CameraOperatorExTest, UpAndDownArrowsOrbitVertically)
{
    HOpCameraOrbitEx orbit(view.get(), 0, 1);
    const HCamera start = Camera();
    orbit.MoveCamera(ketra::operators::kKeyUp);
    EXPECT_NE(Camera().position.z, start.position.z);
    orbit.MoveCamera(ketra::operators::kKeyDown);
    ExpectNear(Camera().position, start.position, 1e-3f);
    EXPECT_EQ(orbit.MoveCamera('Q'), 0);
}

TEST_F(CameraOperatorExTest, ZoomInThenOutLeavesPointNineNineSevenFive)
{
    HOpCameraOrbitEx orbit(view.get(), 0, 1);
    HOpCameraPanEx pan(view.get(), 0, 1);
    HOpCameraZoomEx zoom(view.get(), 0, 1);
    HOpCameraZoomBoxEx box(view.get(), 0, 1);
    HBaseOperator* operators[] = {&orbit, &pan, &zoom, &box};
    for (HBaseOperator* op : operators) {
        const HCamera start = Camera();
        Key(*op, 0x6B);  // numpad plus
        EXPECT_NEAR(Camera().field_width, start.field_width * 0.95f, 1e-4) << op->GetName();
        Key(*op, 0x2D);  // minus
        EXPECT_NEAR(Camera().field_width, start.field_width * 0.9975f, 1e-4) << op->GetName();
        EXPECT_NEAR(Camera().field_height, start.field_height * 0.9975f, 1e-4) << op->GetName();
        Key(*op, 0x3D);  // '=' zooms in too
        EXPECT_NEAR(Camera().field_width, start.field_width * 0.9975f * 0.95f, 1e-4);
    }
}

TEST_F(CameraOperatorExTest, ArrowsPanOrOrbitByOperator)
{
    HOpCameraPanEx pan(view.get(), 0, 1);
    const HCamera start = Camera();
    Key(pan, ketra::operators::kKeyLeft);
    const HCamera panned = Camera();
    // Panning turns the camera about its own position.
    ExpectNear(panned.position, start.position, 1e-4f);
    EXPECT_GT(std::abs(panned.target.x - start.target.x) + std::abs(panned.target.y - start.target.y), 0.1f);
    Key(pan, ketra::operators::kKeyRight);
    ExpectNear(Camera().target, start.target, 1e-3f);

    // The zoom operator ignores arrows; the zoom box orbits with them.
    HOpCameraZoomEx zoom(view.get(), 0, 1);
    Key(zoom, ketra::operators::kKeyLeft);
    ExpectNear(Camera().position, start.position, 1e-4f);
    HOpCameraZoomBoxEx box(view.get(), 0, 1);
    const unsigned changes = view->GetCameraChangeCount();
    Key(box, ketra::operators::kKeyRight);
    EXPECT_GT(std::abs(Camera().position.x - start.position.x), 0.1f);
    EXPECT_EQ(view->GetCameraChangeCount(), changes);  // the zoom box does not notify
}

TEST_F(CameraOperatorExTest, OtherKeysOnlyReachTheBaseOperator)
{
    HOpCameraOrbitEx orbit(view.get(), 0, 1);
    HOpCameraPanEx pan(view.get(), 0, 1);
    HOpCameraZoomEx zoom(view.get(), 0, 1);
    HOpCameraZoomBoxEx box(view.get(), 0, 1);
    HBaseOperator* operators[] = {&orbit, &pan, &zoom, &box};
    const HCamera start = Camera();
    const unsigned changes = view->GetCameraChangeCount();
    for (HBaseOperator* op : operators) {
        for (unsigned key : {unsigned('A'), unsigned('W'), 0x2Eu, 0x20u, 0x24u, 0x29u})
            EXPECT_EQ(Key(*op, key), HOP_OK) << op->GetName() << " key " << key;
    }
    ExpectNear(Camera().position, start.position, 0.0f);
    EXPECT_EQ(Camera().field_width, start.field_width);
    EXPECT_EQ(view->GetCameraChangeCount(), changes);
}

TEST_F(CameraOperatorExTest, MiddleDragPansKeepingThePointUnderTheCursor)
{
    HOpCameraPanEx pan(view.get(), 0, 1);
    const HCamera start = Camera();
    HEventInfo press(view.get());
    press.SetPixelPoint(HE_MButtonDown, 100, 100, MVO_MBUTTON);
    const HPoint grabbed = press.GetMouseWorldPos();
    EXPECT_EQ(pan.OnMButtonDown(press), HOP_OK);

    // Zero-length drag: nothing moves.
    HEventInfo still(view.get());
    still.SetPixelPoint(HE_MouseMove, 100, 100, MVO_MBUTTON);
    pan.OnMButtonDownAndMove(still);
    ExpectNear(Camera().position, start.position, 1e-4f);
    ExpectNear(Camera().target, start.target, 1e-4f);

    HEventInfo move(view.get());
    move.SetPixelPoint(HE_MouseMove, 260, 40, MVO_MBUTTON);
    pan.OnMButtonDownAndMove(move);
    const HCamera moved = Camera();
    // Position and target moved together.
    const HPoint dp(moved.position.x - start.position.x, moved.position.y - start.position.y,
                    moved.position.z - start.position.z);
    const HPoint dt(moved.target.x - start.target.x, moved.target.y - start.target.y,
                    moved.target.z - start.target.z);
    ExpectNear(dp, dt, 1e-4f);
    EXPECT_GT(std::abs(dp.x) + std::abs(dp.y) + std::abs(dp.z), 0.5f);
    // The grabbed point is under the cursor now.
    HEventInfo check(view.get());
    check.SetPixelPoint(HE_MouseMove, 260, 40, MVO_MBUTTON);
    ExpectNear(check.GetMouseWorldPos(), grabbed, 1e-3f);

    const unsigned changes = view->GetCameraChangeCount();
    HEventInfo release(view.get());
    release.SetPixelPoint(HE_MButtonUp, 260, 40, 0);
    EXPECT_EQ(pan.OnMButtonUp(release), HOP_READY);
    EXPECT_EQ(view->GetCameraChangeCount(), changes + 1);
    EXPECT_FALSE(pan.OperatorStarted());
    // A move without a press is the base operator's: nothing happens.
    pan.OnMButtonDownAndMove(move);
    ExpectNear(Camera().position, moved.position, 1e-5f);
}

TEST_F(CameraOperatorExTest, WalkHoldsTheFrameRateObjectStopped)
{
    HConstantFrameRate* rate = view->GetConstantFrameRateObject();
    ASSERT_NE(rate, nullptr);
    rate->Start();
    {
        HOpCameraWalkEx walk(view.get(), 0, 1);
        EXPECT_STREQ(walk.GetName(), "HOpCameraWalkEx");
        EXPECT_FALSE(rate->GetActive());
    }
    EXPECT_TRUE(rate->GetActive());
    HOpCameraWalkEx orphan(nullptr, 0, 1);  // no view: nothing to stop
    EXPECT_STREQ(HOpCameraOrbitEx().GetName(), "HOpCameraOrbitEx");
    EXPECT_STREQ(HOpCameraPanEx().GetName(), "HOpCameraPanEx");
    EXPECT_STREQ(HOpCameraZoomEx().GetName(), "HOpCameraZoomEx");
    EXPECT_STREQ(HOpCameraZoomBoxEx().GetName(), "HOpCameraZoomBoxEx");
}

} // namespace
