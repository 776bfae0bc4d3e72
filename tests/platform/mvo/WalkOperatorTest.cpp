#include "ViewFixture.h"

#include "platform/mvo/HOpCameraWalk.h"
#include "platform/mvo/HTManager.h"

using mvotest::ExpectNear;
using mvotest::InsertBox;
using mvotest::ViewTest;

namespace {

// A 100 x 100 floor slab with its top at z = 0; the eye stands at (0, -20, 1.7) looking
// along +y.
class WalkTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox({-50, -50, -1}, {50, 50, 0});
        HC_Close_Segment();
        HCamera camera = Camera();
        camera.position.Set(0, -20, 1.7f);
        camera.target.Set(0, 0, 1.7f);
        camera.up_vector.Set(0, 0, 1);
        camera.field_width = camera.field_height = 10;
        view->SetCamera(camera);
        walk = new HOpCameraWalk(view.get());
        walk->SetAvatarHeight(1.7f);
        delete view->GetOperator();
        view->SetOperator(walk);
    }
    void AddBox(const HPoint& mn, const HPoint& mx)
    {
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox(mn, mx);
        HC_Close_Segment();
    }
    // Presses, settles the clock, drags to (x, y) and takes one 0.1 s step.
    void WalkOneStep(float x, float y)
    {
        Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
        walk->OnWalk(0, 10.0f);
        Mouse(HE_MouseMove, x, y, MVO_LBUTTON);
        walk->OnWalk(0, 10.1f);
        Mouse(HE_LButtonUp, x, y);
    }
    HOpCameraWalk* walk = nullptr;
};

} // namespace

TEST_F(ViewTest, WalkRefusesToStartInAnEmptyModel)
{
    auto* walk = new HOpCameraWalk(view.get());
    view->SetOperator(walk);
    EXPECT_EQ(Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON), HOP_CANCEL);
    EXPECT_FALSE(walk->OperatorStarted());
    EXPECT_EQ(walk->CalculateExtents(), 0.0f);
}

TEST_F(WalkTest, ForwardDragWalksHorizontallyAtTheDocumentedSpeed)
{
    EXPECT_FLOAT_EQ(walk->CalculateExtents(), 100.0f);
    WalkOneStep(0, 0.5f);
    // 0.5 of full drag x 100 / 4 per second x 0.1 s.
    ExpectNear(Camera().position, {0, -20 + 1.25f, 1.7f}, 1e-3f);
    ExpectNear(Camera().ViewDirection(), {0, 1, 0});
}

TEST_F(WalkTest, SideDragTurnsToTheRightAndTheDeadZoneHoldsStill)
{
    WalkOneStep(0.004f, 0.004f);
    ExpectNear(Camera().position, {0, -20, 1.7f});
    WalkOneStep(1.0f, 0);
    const HPoint dir = Camera().ViewDirection();
    EXPECT_GT(dir.x, 0.1f);  // turned towards +x (right, facing +y)
    EXPECT_NEAR(dir.z, 0.0f, 1e-5f);
}

TEST_F(WalkTest, CollisionStopsInFrontOfAWall)
{
    AddBox({-50, -19, 0}, {50, -18, 10});
    walk->SetCollisionDetection(true);
    WalkOneStep(0, 0.5f);
    ExpectNear(Camera().position, {0, -20, 1.7f}, 1e-4f);
    walk->SetCollisionDetection(false);
    WalkOneStep(0, 0.5f);
    EXPECT_GT(Camera().position.y, -19.0f);
}

TEST_F(WalkTest, SnapToFloorKeepsTheAvatarHeightAndRefusesHighSteps)
{
    walk->SetSnapToFloor(true);
    HCamera camera = Camera();
    camera.position.z = camera.target.z = 3.0f;  // floating above the floor
    view->SetCamera(camera);
    WalkOneStep(0, 0.5f);
    EXPECT_NEAR(Camera().position.z, 1.7f, 1e-3f);
    const float y = Camera().position.y;
    AddBox({-50, y + 0.2f, 0}, {50, y + 10, 1.0f});  // a platform 1 high just ahead
    walk->SetStepHeightUp(0.25f);
    WalkOneStep(0, 0.5f);
    EXPECT_NEAR(Camera().position.y, y, 1e-4f);
    walk->SetStepHeightUp(1.5f);
    WalkOneStep(0, 0.5f);
    EXPECT_NEAR(Camera().position.z, 2.7f, 1e-3f);
}

TEST_F(WalkTest, KeyboardWalkMovesWhileAKeyIsHeld)
{
    walk->SetKeyboardWalk(true);
    HEventInfo key(view.get());
    walk->OnWalk(0, 20.0f);
    key.SetKey(HE_KeyDown, 'W', 1, 0);
    view->InjectEvent(key);
    EXPECT_TRUE(walk->OnWalk(0, 20.1f));
    EXPECT_NEAR(Camera().position.y, -20 + 100.0f / 16.0f * 0.1f, 1e-3f);
    key.SetKey(HE_KeyUp, 'W', 1, 0);
    view->InjectEvent(key);
    EXPECT_FALSE(walk->OnWalk(0, 20.2f));
}

TEST_F(WalkTest, TheTimerDrivesTheWalk)
{
    Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0, 0.5f, MVO_LBUTTON);
    HTManager* timers = HTManager::Instance();
    const float now = timers->GetCurrentTime() + 1.0f;
    timers->Tick(now);
    timers->Tick(now + 0.05f);
    EXPECT_GT(Camera().position.y, -20.0f);
}
