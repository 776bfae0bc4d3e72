// Mouse and keyboard routing of the view window: camera history on left presses, the pan
// operator lent to the middle button, the Delete key, right-button messages, and the camera
// operators' keys reaching them through the window.
#include "ViewWindowFixture.h"

#include "operators/HOpCameraEx.h"
#include "platform/mvo/HOpCameraWalk.h"
#include "view/HBaseViewEx.h"

using namespace ketra::view;
using viewtest::ExpectNear;
using viewtest::ListenerLog;
using viewtest::RecordingOperator;
using viewtest::ViewWindowTest;

namespace {

void ExpectSameCamera(const HCamera& a, const HCamera& b, float tolerance = 1e-4f)
{
    ExpectNear(a.position, b.position, tolerance);
    ExpectNear(a.target, b.target, tolerance);
    ExpectNear(a.up_vector, b.up_vector, tolerance);
    EXPECT_NEAR(a.field_width, b.field_width, tolerance);
    EXPECT_NEAR(a.field_height, b.field_height, tolerance);
}

} // namespace

TEST_F(ViewWindowTest, LeftPressRecordsTheCameraBeforeTheOperatorMovesIt)
{
    Run(kCmdOrbitCamera);
    const HCamera before = Camera();
    window->OnLButtonDown(MK_LBUTTON, {150, 150});
    window->OnMouseMove(MK_LBUTTON, {220, 120});
    window->OnLButtonUp(0, {220, 120});
    ASSERT_EQ(view->GetManageMotion().Size(), 1u);
    EXPECT_NE(Camera().position.x, before.position.x);
    EXPECT_TRUE(Run(kCmdUndo));
    ExpectSameCamera(Camera(), before);
    EXPECT_FALSE(Ui(kCmdUndo).IsEnabled());
}

TEST_F(ViewWindowTest, MiddleDragWithOrbitPansAndGivesTheSameOrbitBack)
{
    Run(kCmdOrbitCamera);
    HBaseOperator* orbit = view->GetOperator();
    const HCamera before = Camera();

    window->OnMButtonDown(MK_MBUTTON, {150, 150});
    EXPECT_EQ(OperatorName(), "HOpCameraPanEx");
    EXPECT_EQ(window->GetSavedOperator(), orbit);
    EXPECT_TRUE(view->GetOperator()->OperatorStarted());  // the pan received the press
    EXPECT_TRUE(port.captured);

    window->OnMouseMove(MK_MBUTTON, {200, 150});
    const HCamera moved = Camera();
    EXPECT_NE(moved.target.x, before.target.x);
    // Position and target move together: the direction of view stays.
    ExpectNear(moved.position - moved.target, before.position - before.target);

    window->OnMButtonUp(0, {200, 150});
    EXPECT_EQ(view->GetOperator(), orbit);
    EXPECT_EQ(window->GetSavedOperator(), nullptr);
    EXPECT_FALSE(port.captured);
}

TEST_F(ViewWindowTest, ZeroLengthMiddleDragLeavesTheCamera)
{
    Run(kCmdOrbitCamera);
    const HCamera before = Camera();
    window->OnMButtonDown(MK_MBUTTON, {120, 80});
    window->OnMouseMove(MK_MBUTTON, {120, 80});
    window->OnMButtonUp(0, {120, 80});
    ExpectSameCamera(Camera(), before);
    EXPECT_EQ(OperatorName(), "HOpCameraOrbitEx");
}

TEST_F(ViewWindowTest, MiddleButtonWithPanOrWalkCurrentOnlyRunsTheBaseHandler)
{
    for (unsigned int command : {kCmdPanCamera, kCmdWalk}) {
        Run(command);
        HBaseOperator* current = view->GetOperator();
        window->OnMButtonDown(MK_MBUTTON, {150, 150});
        EXPECT_EQ(view->GetOperator(), current) << command;
        EXPECT_EQ(window->GetSavedOperator(), nullptr) << command;
        window->OnMButtonUp(0, {150, 150});
        EXPECT_EQ(view->GetOperator(), current) << command;
    }
    // The pan operator itself received the press and release.
    Run(kCmdPanCamera);
    window->OnMButtonDown(MK_MBUTTON, {150, 150});
    EXPECT_TRUE(view->GetOperator()->OperatorStarted());
    window->OnMButtonUp(0, {150, 150});
    EXPECT_FALSE(view->GetOperator()->OperatorStarted());
}

TEST_F(ViewWindowTest, CommandDuringAMiddleDragWinsOverTheSetAsideOperator)
{
    Run(kCmdOrbitCamera);
    window->OnMButtonDown(MK_MBUTTON, {150, 150});
    Run(kCmdZoomCamera);  // e.g. a tool-bar button pressed while panning
    EXPECT_EQ(window->GetSavedOperator(), nullptr);
    window->OnMButtonUp(0, {150, 150});
    EXPECT_EQ(OperatorName(), "HOpCameraZoomEx");
    // A second lend works as the first.
    window->OnMButtonDown(MK_MBUTTON, {150, 150});
    EXPECT_EQ(OperatorName(), "HOpCameraPanEx");
    window->OnMButtonUp(0, {150, 150});
    EXPECT_EQ(OperatorName(), "HOpCameraZoomEx");
}

TEST_F(ViewWindowTest, MiddleButtonWithoutOperatorPansAndLeavesNone)
{
    ASSERT_EQ(view->GetOperator(), nullptr);
    window->OnMButtonDown(MK_MBUTTON, {150, 150});
    EXPECT_EQ(OperatorName(), "HOpCameraPanEx");
    window->OnMButtonUp(0, {150, 150});
    EXPECT_EQ(view->GetOperator(), nullptr);
}

TEST_F(ViewWindowTest, DeleteKeyGoesToTheListenersWithItsFlags)
{
    std::vector<int> received;
    window->LocalSetOperator(new RecordingOperator(view.get(), "Recorder", &received));
    ListenerLog listener;
    view->GetEventManager()->RegisterHandler(&listener);
    port.keysDown = {VK_SHIFT};

    window->OnKeyDown(VK_DELETE, 3, 0x2000);
    ASSERT_EQ(listener.events.size(), 1u);
    const HEventInfo& event = listener.events[0];
    EXPECT_EQ(event.GetType(), HE_KeyDown);
    EXPECT_EQ(event.GetChar(), 0x2Eu);
    EXPECT_EQ(event.GetRepCount(), 3u);
    EXPECT_EQ(event.GetFlags(), MVO_SHIFT | 1u | 8u);
    EXPECT_TRUE(received.empty());  // not the operator

    window->OnKeyDown(VK_DELETE, 1, 0);
    EXPECT_EQ(listener.events.back().GetFlags(), MVO_SHIFT | 1u);

    // Any other key takes the base path: listeners and operator.
    window->OnKeyDown('A', 1, 0x2000);
    EXPECT_EQ(listener.events.back().GetChar(), static_cast<unsigned int>('A'));
    EXPECT_EQ(listener.events.back().GetFlags(), MVO_SHIFT);
    EXPECT_EQ(received, std::vector<int>{HE_KeyDown});
    view->GetEventManager()->UnRegisterHandler(&listener);
}

TEST_F(ViewWindowTest, RightButtonUpAndDoubleClickGoToTheOperator)
{
    std::vector<int> received;
    window->LocalSetOperator(new RecordingOperator(view.get(), "Recorder", &received));
    window->OnRButtonUp(0, {10, 10});
    window->OnRButtonDblClk(MK_RBUTTON, {10, 10});
    EXPECT_EQ(received, (std::vector<int>{HE_RButtonUp, HE_RButtonDblClk}));
}

TEST_F(ViewWindowTest, SeventyTwoRightArrowsBringTheOrbitCameraBack)
{
    Run(kCmdOrbitCamera);
    view->SetViewMode(HViewIsoSE, false, true);
    const HCamera before = Camera();
    for (int i = 0; i < 72; ++i)
        window->OnKeyDown(VK_RIGHT, 1, 0);
    ExpectSameCamera(Camera(), before, 1e-3f);
    window->OnKeyDown(VK_RIGHT, 1, 0);
    EXPECT_GT(std::abs(Camera().position.x - before.position.x), 1e-3f);
}

TEST_F(ViewWindowTest, ZoomInThenOutLeavesTheFieldTimesPoint9975)
{
    Run(kCmdZoomCamera);
    const HCamera before = Camera();
    window->OnKeyDown(0x6B, 1, 0);
    window->OnKeyDown(0x6D, 1, 0);
    EXPECT_NEAR(Camera().field_width, before.field_width * 0.9975f, 1e-4f * before.field_width);
    EXPECT_NEAR(Camera().field_height, before.field_height * 0.9975f, 1e-4f * before.field_height);
}

TEST_F(ViewWindowTest, OtherKeysReachOnlyTheBaseOperator)
{
    for (unsigned int command : {kCmdOrbitCamera, kCmdPanCamera, kCmdZoomCamera, kCmdZoomWindow}) {
        Run(command);
        const HCamera before = Camera();
        const unsigned int changes = view->GetCameraChangeCount();
        for (unsigned int key : {static_cast<unsigned int>('A'), 0x20u, 0x0Du, 0x24u})
            window->OnKeyDown(key, 1, 0);
        ExpectSameCamera(Camera(), before, 0.0f);
        EXPECT_EQ(view->GetCameraChangeCount(), changes) << command;
    }
}

TEST_F(ViewWindowTest, HandlersWithoutAViewDoNothing)
{
    window->SetHoopsViewEx(nullptr);
    for (unsigned int id : window->Commands().Ids()) {
        if (id == kCmdCopy || id == kCmdPrint || id == kCmdPrintDirect || id == kCmdPrintPreview)
            continue;  // these render; nothing to render without a view
        window->OnCommand(id);
        CCmdUI ui(id);
        window->OnUpdateCommand(id, ui);
    }
    window->OnLButtonDown(MK_LBUTTON, {1, 1});
    window->OnMButtonDown(MK_MBUTTON, {1, 1});
    window->OnMouseMove(MK_MBUTTON, {2, 2});
    window->OnMButtonUp(0, {2, 2});
    window->OnRButtonDown(MK_RBUTTON, {1, 1});
    window->OnRButtonUp(0, {1, 1});
    window->OnKeyDown(VK_DELETE, 1, 0);
    window->OnPaint();
    EXPECT_EQ(window->GetHoopsViewEx(), nullptr);
    EXPECT_TRUE(port.Called("TrackPopupMenu"));  // the menu itself needs no view
}
