#include "OperatorFixture.h"

#include <cmath>

#include "operators/HSOpCameraWalk.h"

using optest::ExpectNear;
using optest::InsertBox;
using optest::OperatorTest;

namespace {

constexpr float kDegrees = 57.2957795f;

// Elevation of the gaze above the horizontal, in degrees.
float Elevation(const HCamera& camera) {
    const HPoint gaze = camera.target - camera.position;
    return std::atan2(gaze.z, std::hypot(gaze.x, gaze.y)) * kDegrees;
}

// A floor slab 100 x 100 x 1 (speed 100); the eye at (0, -20, 1.7) looks horizontally along +y.
class WalkTest : public OperatorTest {
protected:
    void SetUp() override {
        OperatorTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox({-50, -50, -1}, {50, 50, 0});
        HC_Close_Segment();
        optest::SetCamera(*view, {0, -20, 1.7f}, {0, 0, 1.7f});
    }
    HSOpCameraWalk* StartWalk() {
        walk = new HSOpCameraWalk(view.get());
        Install(walk);
        return walk;
    }
    HSOpCameraWalk* walk = nullptr;
};

} // namespace

TEST_F(OperatorTest, WalkInAnEmptyViewRefusesToStart) {
    auto* walk = new HSOpCameraWalk(view.get());
    Install(walk);
    EXPECT_EQ(Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON), HOP_CANCEL);
    EXPECT_FALSE(walk->OperatorStarted());
    EXPECT_EQ(walk->GetSpeed(), 0.0);
    EXPECT_EQ(Mouse(HE_MButtonDown, 0, 0, MVO_MBUTTON), HOP_CANCEL);
    // Keys held in an empty view move nothing either.
    const HCamera before = Camera();
    keysDown = {'W', 'A'};
    Advance(5);
    ExpectNear(Camera().position, before.position);
}

TEST_F(WalkTest, ConstructionTakesTheTiltFromTheCameraAndLevelsTheGaze) {
    optest::SetCamera(*view, {0, -20, 20}, {0, 0, 0}); // 45 degrees down
    StartWalk();
    EXPECT_NEAR(walk->GetTilt(), -45.0f, 1e-3f);
    EXPECT_NEAR(Elevation(Camera()), 0.0f, 1e-3f);
    EXPECT_NEAR(HLength(Camera().target - Camera().position), std::sqrt(800.0f), 1e-3f);
    delete view->GetOperator();
    view->SetOperator(nullptr);

    optest::SetCamera(*view, {0, 0, 0}, {0, 1, 100}); // nearly straight up: clamped
    StartWalk();
    EXPECT_FLOAT_EQ(walk->GetTilt(), 85.0f);
}

TEST_F(WalkTest, WheelTiltsInFiveDegreeStepsUpToEightyFive) {
    const float seventy = 70.0f / kDegrees;
    optest::SetCamera(*view, {0, 0, 2}, {0, 10 * std::cos(seventy), 2 + 10 * std::sin(seventy)});
    StartWalk();
    EXPECT_NEAR(walk->GetTilt(), 70.0f, 1e-3f);
    HEventInfo wheel(view.get());
    wheel.SetMouseWheel(0, 0, 120, 0);
    for (int i = 0; i < 5; ++i)
        view->InjectEvent(wheel);
    EXPECT_FLOAT_EQ(walk->GetTilt(), 85.0f);
    Advance();
    EXPECT_NEAR(Elevation(Camera()), 85.0f, 1e-2f);

    wheel.SetMouseWheel(0, 0, -120, 0);
    view->InjectEvent(wheel);
    EXPECT_FLOAT_EQ(walk->GetTilt(), 80.0f);
    Advance();
    EXPECT_NEAR(Elevation(Camera()), 80.0f, 1e-2f);
}

TEST_F(WalkTest, TiltStaysPutWhileAButtonIsHeldStill) {
    optest::SetCamera(*view, {0, -20, 10}, {0, 0, 10 - 20 * std::tan(20.0f / kDegrees)});
    StartWalk();
    EXPECT_NEAR(walk->GetTilt(), -20.0f, 1e-3f);
    Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    const HPoint eye = Camera().position;
    Advance(10);
    EXPECT_NEAR(Elevation(Camera()), -20.0f, 1e-2f);
    ExpectNear(Camera().position, eye);
    EXPECT_EQ(Mouse(HE_LButtonUp, 0, 0), HOP_READY);
}

TEST_F(WalkTest, DragOffsetsBelowTheDeadZoneDoNothing) {
    StartWalk();
    ASSERT_EQ(Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON), HOP_OK);
    EXPECT_DOUBLE_EQ(walk->GetSpeed(), 100.0);
    const HCamera before = Camera();
    Mouse(HE_MouseMove, 0.004f, 0.004f, MVO_LBUTTON);
    EXPECT_EQ(walk->GetForwardRate(), 0.0f);
    EXPECT_EQ(walk->GetTurnRate(), 0.0f);
    Advance();
    ExpectNear(Camera().position, before.position, 1e-6f);
    ExpectNear(Camera().target, before.target, 1e-5f);

    Mouse(HE_MouseMove, 0.0f, 0.006f, MVO_LBUTTON);
    EXPECT_FLOAT_EQ(walk->GetForwardRate(), 0.006f);
    Advance();
    // rate x dt x speed / 4 along the gaze (+y)
    ExpectNear(Camera().position, before.position + HPoint(0, 0.006f * kTick * 100 / 4, 0), 1e-5f);

    Mouse(HE_MouseMove, 0.006f, 0.0f, MVO_LBUTTON);
    EXPECT_FLOAT_EQ(walk->GetTurnRate(), 0.018f);
    EXPECT_EQ(walk->GetForwardRate(), 0.0f);
    const HPoint gazeBefore = Camera().target - Camera().position;
    Advance();
    const HPoint gazeAfter = Camera().target - Camera().position;
    // A drag to the right turns the gaze to the left (counter-clockwise seen from above) by
    // 0.018 x 1.5 degrees: the scene follows the cursor, as with the sideways drag.
    const float turned =
        std::atan2(gazeAfter.y, gazeAfter.x) - std::atan2(gazeBefore.y, gazeBefore.x);
    EXPECT_NEAR(turned * kDegrees, 0.027f, 1e-4f);

    EXPECT_EQ(Mouse(HE_LButtonUp, 0.006f, 0), HOP_READY);
    EXPECT_FALSE(walk->OperatorStarted());
    EXPECT_EQ(walk->GetTurnRate(), 0.0f);
}

TEST_F(WalkTest, MiddleDragClimbsAndSidestepsWithTheDeadZone) {
    StartWalk();
    ASSERT_EQ(Mouse(HE_MButtonDown, 0, 0, MVO_MBUTTON), HOP_OK);
    Mouse(HE_MouseMove, 0.004f, -0.004f, MVO_MBUTTON);
    EXPECT_EQ(walk->GetVerticalRate(), 0.0f);
    EXPECT_EQ(walk->GetSideRate(), 0.0f);
    const HPoint eye = Camera().position;
    Mouse(HE_MouseMove, 0.2f, 0.4f, MVO_MBUTTON);
    Advance();
    const float step = kTick * 100 / 4;
    // Up by the vertical rate; the sideways step is the negated rate along the camera's
    // right (+x here).
    ExpectNear(Camera().position, eye + HPoint(-0.2f * step, 0, 0.4f * step), 1e-5f);
    EXPECT_EQ(Mouse(HE_MButtonUp, 0.2f, 0.4f), HOP_READY);
    EXPECT_EQ(walk->GetVerticalRate(), 0.0f);
    EXPECT_EQ(walk->GetSideRate(), 0.0f);
}

TEST_F(WalkTest, SidewaysKeysFollowTheHandedness) {
    StartWalk();
    const HPoint eye = Camera().position; // the camera's +x is world +x here
    const float step = 100.0f / 15.0f * kTick;
    view->SetHandedness(HandednessRight);
    keysDown = {'A'};
    Advance();
    ExpectNear(Camera().position, eye + HPoint(step, 0, 0), 1e-5f);
    keysDown = {'D'};
    Advance();
    ExpectNear(Camera().position, eye, 1e-5f);

    view->SetHandedness(HandednessLeft);
    keysDown = {'A'};
    Advance();
    ExpectNear(Camera().position, eye + HPoint(-step, 0, 0), 1e-5f);
}

TEST_F(WalkTest, KeysWalkAFifteenthOfTheSpeedPerSecond) {
    StartWalk();
    const HPoint eye = Camera().position;
    keysDown = {'W'};
    Advance(64); // one second
    ExpectNear(Camera().position, eye + HPoint(0, 100.0f / 15.0f, 0), 1e-3f);
    EXPECT_NEAR(Elevation(Camera()), 0.0f, 1e-3f);

    keysDown = {'S', 'Q'};
    Advance(32);
    ExpectNear(Camera().position, eye + HPoint(0, 100.0f / 30.0f, 100.0f / 30.0f), 1e-3f);
    keysDown = {'Z'};
    Advance(32);
    ExpectNear(Camera().position, eye + HPoint(0, 100.0f / 30.0f, 0), 1e-3f);

    // No key, no drag, no wheel: the tick leaves the camera alone.
    keysDown.clear();
    const unsigned int changes = view->GetCameraChangeCount();
    Advance(3);
    EXPECT_EQ(view->GetCameraChangeCount(), changes);
    ExpectNear(walk->GetLastPosition(), Camera().position);
}

TEST_F(WalkTest, SlowTicksStillStepAtLeastOneTimerPeriod) {
    StartWalk();
    const HPoint eye = Camera().position;
    keysDown = {'W'};
    // Two ticks in one timer period: each counts a full 0.01 s.
    now += 0.001f;
    HTManager::Instance()->Tick(now); // not due yet
    ExpectNear(Camera().position, eye);
    walk->OnWalk();
    walk->OnWalk();
    ExpectNear(Camera().position, eye + HPoint(0, 2 * 0.01f * 100 / 15, 0), 1e-4f);
}

TEST_F(WalkTest, ResetPositionAndLevel) {
    StartWalk();
    optest::SetCamera(*view, {1, 2, 30}, {1, 2, 0}); // straight down
    walk->ResetPosition();
    ExpectNear(Camera().target, {31, 2, 30});
    ExpectNear(Camera().up_vector, {0, 0, 1});

    optest::SetCamera(*view, {0, -20, 5}, {0, 0, 3});
    Mouse(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0.3f, 0.3f, MVO_LBUTTON);
    walk->Level();
    ExpectNear(Camera().position, {0, -20, 0});
    ExpectNear(Camera().target, {0, 0, -2});
    EXPECT_EQ(walk->GetTurnRate(), 0.0f);
    EXPECT_EQ(walk->GetForwardRate(), 0.0f);
}

TEST_F(WalkTest, TimerStopsWithTheOperator) {
    const std::size_t clients = HTManager::Instance()->ClientCount();
    StartWalk();
    EXPECT_EQ(HTManager::Instance()->ClientCount(), clients + 1);
    std::unique_ptr<HBaseOperator> copy(walk->Clone());
    EXPECT_STREQ(copy->GetName(), "HSOpCameraWalk");
    copy.reset();
    Install(nullptr);
    EXPECT_EQ(HTManager::Instance()->ClientCount(), clients);
    keysDown = {'W'};
    Advance(3); // nothing left to call
}
