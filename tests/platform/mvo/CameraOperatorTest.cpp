#include "ViewFixture.h"

#include <cmath>

#include "platform/mvo/HOpCameraOrbit.h"
#include "platform/mvo/HOpCameraPan.h"
#include "platform/mvo/HOpCameraZoom.h"
#include "platform/mvo/HOpCameraZoomBox.h"

using mvotest::ExpectNear;
using mvotest::ViewTest;

namespace {

float AngleDegrees(const HPoint& a, const HPoint& b)
{
    const float c = HDot(HNormalized(a), HNormalized(b));
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, c))) * 180.0f / 3.14159265f;
}

class RecordingOperator : public HBaseOperator {
public:
    using HBaseOperator::HBaseOperator;
    int OnKeyDown(HEventInfo& event) override { keys.push_back(event.GetChar()); return HOP_OK; }
    int OnNoButtonDownAndMove(HEventInfo&) override { ++hovers; return HOP_OK; }
    int OnMButtonDownAndMove(HEventInfo&) override { ++middleDrags; return HOP_OK; }
    std::vector<unsigned int> keys;
    int hovers = 0;
    int middleDrags = 0;
};

class CameraOperatorTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        view->SetViewMode(HViewFront, false, true);
    }
    void Install(HBaseOperator* op) { delete view->GetOperator(); view->SetOperator(op); }
};

} // namespace

TEST_F(CameraOperatorTest, OrbitDragTurnsTheCameraAboutTheTarget)
{
    Install(new HOpCameraOrbit(view.get()));
    EXPECT_STREQ(view->GetOperator()->GetName(), "HOpCameraOrbit");
    const HCamera before = Camera();
    const HPoint right = HNormalized(HCross(before.ViewDirection(), before.up_vector));
    EXPECT_EQ(Drag(0, 0, 0.5f, 0), HOP_READY);
    const HCamera after = Camera();
    ExpectNear(after.target, before.target);
    EXPECT_NEAR(after.Distance(), before.Distance(), 1e-3f);
    EXPECT_NEAR(AngleDegrees(before.position - before.target, after.position - after.target),
                0.5f * HOpCameraOrbit::kDegreesPerUnit, 0.05f);
    // Dragging right brings the camera round to its left: the model turns with the cursor.
    EXPECT_LT(HDot(after.position - before.position, right), 0.0f);
    EXPECT_FALSE(view->GetOperator()->OperatorStarted());
}

TEST_F(CameraOperatorTest, OrbitUpAndBackReturnsToTheStart)
{
    Install(new HOpCameraOrbit(view.get()));
    const HCamera before = Camera();
    Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0, 0.4f, MVO_LBUTTON);
    const HCamera middle = Camera();
    // Dragging up moves the eye down (the near side of the model comes up).
    EXPECT_LT(HDot(middle.position - before.position, before.up_vector), 0.0f);
    Mouse(HE_MouseMove, 0, 0, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0, 0);
    ExpectNear(Camera().position, before.position, 1e-3f);
    ExpectNear(HNormalized(Camera().up_vector), HNormalized(before.up_vector), 1e-4f);
}

TEST_F(CameraOperatorTest, PanKeepsTheGrabbedPointUnderTheCursor)
{
    for (HProjMode mode : {ProjOrthographic, ProjPerspective}) {
        SCOPED_TRACE(static_cast<int>(mode));
        view->SetProjMode(mode);
        Install(new HOpCameraPan(view.get()));
        const HCamera before = Camera();
        const HPoint grabbed = view->WindowToWorld({0.1f, 0.1f, 0});
        EXPECT_EQ(Drag(0.1f, 0.1f, 0.6f, -0.3f), HOP_READY);
        ExpectNear(view->WorldToWindow(grabbed), {0.6f, -0.3f, 0}, 1e-3f);
        const HCamera after = Camera();
        ExpectNear(after.ViewDirection(), before.ViewDirection());
        EXPECT_NEAR(after.field_width, before.field_width, 1e-5f);
    }
}

TEST_F(CameraOperatorTest, ZeroLengthPanLeavesTheCamera)
{
    Install(new HOpCameraPan(view.get()));
    const HCamera before = Camera();
    Drag(0.2f, 0.2f, 0.2f, 0.2f);
    EXPECT_FALSE(before.CameraDifferent(Camera()));
}

TEST_F(CameraOperatorTest, ZoomDragScalesTheFieldFromThePress)
{
    Install(new HOpCameraZoom(view.get()));
    const float width = Camera().field_width;
    Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0, 0.5f, MVO_LBUTTON);
    EXPECT_NEAR(Camera().field_width, width * 0.5f, 1e-4f);
    Mouse(HE_MouseMove, 0, -0.5f, MVO_LBUTTON);
    EXPECT_NEAR(Camera().field_width, width * 2.0f, 1e-4f);
    Mouse(HE_MouseMove, 0, 0, MVO_LBUTTON);
    EXPECT_EQ(Mouse(HE_LButtonUp, 0, 0), HOP_READY);
    EXPECT_NEAR(Camera().field_width, width, 1e-4f);
}

TEST_F(CameraOperatorTest, ZoomBoxFitsTheDraggedRectangle)
{
    Install(new HOpCameraZoomBox(view.get()));
    const HPoint a = view->WindowToWorld({-0.6f, -0.2f, 0});
    const HPoint b = view->WindowToWorld({0.2f, 0.4f, 0});
    // Drawn from upper right to lower left on purpose: the order of the corners is free.
    EXPECT_EQ(Drag(0.2f, 0.4f, -0.6f, -0.2f), HOP_READY);
    const HPoint wa = view->WorldToWindow(a), wb = view->WorldToWindow(b);
    // Centre in the middle; the wider side (0.8 wide against 0.6 high) fills the window.
    EXPECT_NEAR((wa.x + wb.x) * 0.5f, 0.0f, 1e-3f);
    EXPECT_NEAR((wa.y + wb.y) * 0.5f, 0.0f, 1e-3f);
    EXPECT_NEAR(std::fabs(wb.x - wa.x), 2.0f, 1e-3f);
    EXPECT_NEAR(std::fabs(wb.y - wa.y), 1.5f, 1e-3f);
    // The rubber band is gone.
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("zoombox", "self"), 0);
    HC_Close_Segment();
}

TEST_F(CameraOperatorTest, ZoomBoxClickChangesNothing)
{
    Install(new HOpCameraZoomBox(view.get()));
    const HCamera before = Camera();
    Mouse(HE_LButtonDown, 0.3f, 0.3f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.301f, 0.3f);
    EXPECT_FALSE(before.CameraDifferent(Camera()));
}

TEST_F(CameraOperatorTest, EventsReachTheOperatorByTypeAndButton)
{
    auto* op = new RecordingOperator(view.get());
    Install(op);
    HEventInfo key(view.get());
    key.SetKey(HE_KeyDown, 0x25, 1, 0);
    view->InjectEvent(key);
    key.SetKey(HE_KeyDown, 'W', 1, MVO_SHIFT);
    view->InjectEvent(key);
    EXPECT_EQ(op->keys, (std::vector<unsigned int>{0x25, 'W'}));
    EXPECT_TRUE(key.GetShift());
    Mouse(HE_MouseMove, 0.1f, 0.1f, 0);
    Mouse(HE_MouseMove, 0.1f, 0.1f, MVO_MBUTTON);
    EXPECT_EQ(op->hovers, 1);
    EXPECT_EQ(op->middleDrags, 1);
}

TEST_F(CameraOperatorTest, MovesWithoutAPressFallBackToTheBaseHandler)
{
    Install(new HOpCameraOrbit(view.get()));
    const HCamera before = Camera();
    Mouse(HE_MouseMove, 0.5f, 0.5f, MVO_LBUTTON);
    EXPECT_EQ(Mouse(HE_LButtonUp, 0.5f, 0.5f), HOP_OK);
    EXPECT_FALSE(before.CameraDifferent(Camera()));
}

TEST_F(CameraOperatorTest, ClonesKeepTheirClassAndView)
{
    HOpCameraZoomBox box(view.get(), 1, 0);
    std::unique_ptr<HBaseOperator> copy(box.Clone());
    EXPECT_STREQ(copy->GetName(), "HOpCameraZoomBox");
    EXPECT_EQ(copy->GetView(), view.get());
    EXPECT_EQ(copy->GetDoRepeat(), 1);
    EXPECT_EQ(copy->GetDoCapture(), 0);
}
