#include "ViewFixture.h"

#include "platform/mvo/HOpMoveHandle.h"
#include "platform/mvo/HOpObjectTranslate.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"

using mvotest::ExpectNear;
using mvotest::InsertBox;
using mvotest::ViewTest;

namespace {

class MovedCounter : public HObjectManipulationListener {
public:
    int ObjectMovedEvent(HBaseView*, HC_KEY key) override { last = key; ++moves; return 0; }
    HC_KEY last = -1;
    int moves = 0;
};

// A 4 x 1 x 1 box in its own segment, seen from the front.
class ObjectOperatorTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        box = HC_Open_Segment("box");
        InsertBox({0, 0, 0}, {4, 1, 1});
        HC_Close_Segment();
        HC_Close_Segment();
        view->SetViewMode(HViewFront, false, true);
        view->GetEventManager()->RegisterHandler(&listener);
    }
    void TearDown() override
    {
        view->GetEventManager()->UnRegisterHandler(&listener);
        ViewTest::TearDown();
    }
    void Install(HBaseOperator* op) { delete view->GetOperator(); view->SetOperator(op); }
    // World bounding box of the box segment (through the model segment, which has no matrix).
    void Bounds(HPoint& mn, HPoint& mx) { HC_Compute_Circumcuboid_By_Key(model->GetModelKey(), &mn, &mx); }
    HC_KEY box = -1;
    MovedCounter listener;
};

} // namespace

TEST_F(ObjectOperatorTest, TranslateMovesThePickedObjectWithTheCursor)
{
    Install(new HOpObjectTranslate(view.get()));
    const HPoint start = view->WorldToWindow({2, 0.5f, 0.5f});
    const HPoint a = view->WindowToWorld({start.x, start.y, 0});
    const HPoint b = view->WindowToWorld({start.x + 0.3f, start.y + 0.2f, 0});
    const HCamera camera = Camera();
    EXPECT_EQ(Drag(start.x, start.y, start.x + 0.3f, start.y + 0.2f), HOP_READY);
    HPoint mn, mx;
    Bounds(mn, mx);
    ExpectNear(mn, HPoint(0, 0, 0) + (b - a), 1e-3f);
    EXPECT_FALSE(camera.CameraDifferent(Camera()));
    EXPECT_EQ(listener.last, box);
    EXPECT_GT(listener.moves, 0);
}

TEST_F(ObjectOperatorTest, TranslateWithNothingUnderTheCursorDoesNothing)
{
    Install(new HOpObjectTranslate(view.get()));
    EXPECT_EQ(Mouse(HE_LButtonDown, 0.95f, 0.95f, MVO_LBUTTON), HOP_NOT_HANDLED);
    EXPECT_FALSE(view->GetOperator()->OperatorStarted());
}

TEST_F(ObjectOperatorTest, RotateTurnsTheSelectionAboutItsCentre)
{
    view->GetSelection()->SetSelectionLevel(HSelectLevelSegment);
    view->GetSelection()->Select(box, 0, nullptr);
    Install(new HOpObjectRotate(view.get()));
    // Half a unit to the right: a quarter turn about the camera's up axis (+z).
    Drag(0, 0, 0.5f, 0);
    HPoint mn, mx;
    Bounds(mn, mx);
    ExpectNear((mn + mx) * 0.5f, {2, 0.5f, 0.5f}, 1e-3f);
    ExpectNear(mx - mn, {1, 4, 1}, 1e-3f);
}

TEST_F(ObjectOperatorTest, HandlesMoveTheirObject)
{
    const HC_KEY handles = HOpMoveHandle::SetupObject(box, view.get(), true, 1.0f);
    ASSERT_NE(handles, -1);
    EXPECT_EQ(HC_KShow_Owner_By_Key(handles), box);
    EXPECT_EQ(HOpMoveHandle::SetupObject(-1, view.get()), -1);
    auto* op = new HOpMoveHandle(view.get(), false, 0, 1);
    Install(op);
    const HPoint centre = view->WorldToWindow({2, 0.5f, 0.5f});
    EXPECT_EQ(Mouse(HE_LButtonDown, centre.x, centre.y, MVO_LBUTTON), HOP_OK);
    EXPECT_EQ(op->GetObjectKey(), box);
    Mouse(HE_MouseMove, centre.x, centre.y + 0.25f, MVO_LBUTTON);
    EXPECT_EQ(Mouse(HE_LButtonUp, centre.x, centre.y + 0.25f), HOP_READY);
    HPoint mn, mx;
    Bounds(mn, mx);
    EXPECT_GT(mn.z, 0.1f);   // moved up the screen: +z in the front view
    EXPECT_NEAR(mn.x, 0.0f, 1e-3f);
    EXPECT_EQ(listener.last, box);
    HOpMoveHandle::RemoveHandles(box);
    EXPECT_EQ(HC_Show_Existence_By_Key(handles, "self"), 0);
}

// The view's cutting plane (x = 2 through the box) follows the pointer along its normal only.
TEST_F(ObjectOperatorTest, CuttingPlaneMovesAlongItsNormal)
{
    ASSERT_NE(HUtilityGeometryCreation::CreateCuttingPlane(view.get()), -1);
    const HC_KEY handles = HOpMoveHandle::SetupObject(view->GetCuttingPlanesKey(), view.get());
    auto planeX = [&](HC_KEY segment) {
        HPoint mn, mx;
        HC_Compute_Circumcuboid_By_Key(segment, &mn, &mx);
        return (mn.x + mx.x) / 2;
    };
    EXPECT_NEAR(planeX(handles), 2.0f, 1e-4f);  // on the plane, not at the origin
    Install(new HOpMoveHandle(view.get(), false, 0, 1));
    // Seen from the front the normal runs across the screen: the handle moves the plane as far
    // as the pointer goes across, and not at all for the pointer going up.
    const HPoint handle = view->WorldToWindow({2, 0.5f, 0.5f});
    const float across = view->WindowToWorld({handle.x + 0.2f, handle.y, 0}).x - view->WindowToWorld(handle).x;
    Drag(handle.x, handle.y, handle.x + 0.2f, handle.y + 0.3f);
    EXPECT_NEAR(planeX(view->GetCuttingPlaneGeomKey()), 2.0f + across, 1e-3f);
    EXPECT_NEAR(planeX(view->GetCuttingPlanesKey()), 2.0f + across, 1e-3f);  // the handle
    EXPECT_EQ(listener.last, view->GetCuttingPlanesKey());
    // The moved quad, seen at an angle, is grabbed where it shows; a press beside it is not.
    view->SetViewMode(HViewIso, false, true);
    const HPoint onQuad = view->WorldToWindow({2 + across, 0.5f, 1.04f});
    const HPoint up = view->WorldToWindow({2 + across + 1, 0.5f, 1.04f}) - onQuad;
    Drag(onQuad.x, onQuad.y, onQuad.x - up.x, onQuad.y - up.y);
    EXPECT_NEAR(planeX(view->GetCuttingPlaneGeomKey()), 1.0f + across, 1e-3f);
    EXPECT_EQ(Mouse(HE_LButtonDown, 0.95f, 0.95f, MVO_LBUTTON), HOP_NOT_HANDLED);
}

TEST_F(ObjectOperatorTest, NormalsTowardsTheEyeMoveWithThePointerUp)
{
    const HBaseView& front = *view;  // looking along +y
    const HPoint from(0, 0, 0), to(0, 0.1f, 0);
    const float towardsEye = HOpMoveHandle::DistanceAlongNormal(front, {}, {0, -1, 0}, from, to);
    EXPECT_GT(towardsEye, 0.0f);
    EXPECT_FLOAT_EQ(HOpMoveHandle::DistanceAlongNormal(front, {}, {0, 1, 0}, from, to), -towardsEye);
    // A normal tilted slightly up the screen moves no faster than the steep limit allows.
    const float tilted = HOpMoveHandle::DistanceAlongNormal(front, {}, HNormalized({0, -1, 0.01f}), from, to);
    EXPECT_NEAR(tilted, towardsEye, towardsEye * 1e-3f);
}
