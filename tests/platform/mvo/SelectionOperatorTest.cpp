#include "ViewFixture.h"

#include "platform/mvo/HOpConstructCircle.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HOpSelectArea.h"
#include "platform/mvo/HSelectionSet.h"

using mvotest::InsertBox;
using mvotest::ViewTest;

namespace {

// Two boxes side by side, seen from the front: left one around window x = -0.5, right one
// around x = +0.5.
class SelectionOperatorTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        left = HC_Open_Segment("left");
        leftShell = InsertBox({-3, -1, -1}, {-1, 1, 1});
        HC_Close_Segment();
        right = HC_Open_Segment("right");
        InsertBox({1, -1, -1}, {3, 1, 1});
        HC_Close_Segment();
        HC_Close_Segment();
        view->SetViewMode(HViewFront, false, true);
        selection = view->GetSelection();
        selection->SetSelectionLevel(HSelectLevelSegment);
        leftX = view->WorldToWindow({-2, 0, 0}).x;
        rightX = view->WorldToWindow({2, 0, 0}).x;
    }
    void Install(HBaseOperator* op) { delete view->GetOperator(); view->SetOperator(op); }
    HC_KEY left = -1, right = -1, leftShell = -1;
    float leftX = 0, rightX = 0;
    HSelectionSet* selection = nullptr;
};

} // namespace

TEST_F(SelectionOperatorTest, ClickSelectsTheItemUnderTheCursor)
{
    Install(new HOpSelectAperture(view.get()));
    Mouse(HE_LButtonDown, leftX, 0, MVO_LBUTTON);
    Mouse(HE_LButtonUp, leftX, 0);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), left);  // promoted from the shell at segment level
    Mouse(HE_LButtonDown, rightX, 0, MVO_LBUTTON | MVO_CONTROL);
    EXPECT_EQ(selection->GetSize(), 2u);
    Mouse(HE_LButtonDown, leftX, 0, MVO_LBUTTON | MVO_SHIFT);  // toggles off
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), right);
    Mouse(HE_LButtonDown, 0, 0.95f, MVO_LBUTTON);  // a miss clears
    EXPECT_EQ(selection->GetSize(), 0u);
}

TEST_F(SelectionOperatorTest, EntityLevelSelectsTheShellItself)
{
    selection->SetSelectionLevel(HSelectLevelEntity);
    Install(new HOpSelectAperture(view.get()));
    Mouse(HE_LButtonDown, leftX, 0, MVO_LBUTTON);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), leftShell);
}

TEST_F(SelectionOperatorTest, AreaSelectsWhatLiesInsideAndShiftRemoves)
{
    Install(new HOpSelectArea(view.get()));
    EXPECT_EQ(Drag(rightX + 0.3f, 0.5f, leftX - 0.3f, -0.5f), HOP_READY);
    EXPECT_EQ(selection->GetSize(), 2u);
    EXPECT_TRUE(selection->IsSelected(left));
    EXPECT_TRUE(selection->IsSelected(right));
    // Only the right box, with Shift: removed.
    Mouse(HE_LButtonDown, rightX - 0.25f, -0.5f, MVO_LBUTTON | MVO_SHIFT);
    Mouse(HE_MouseMove, rightX + 0.3f, 0.5f, MVO_LBUTTON | MVO_SHIFT);
    Mouse(HE_LButtonUp, rightX + 0.3f, 0.5f, MVO_SHIFT);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), left);
    // A new rectangle without modifiers replaces the selection.
    Drag(rightX - 0.25f, -0.5f, rightX + 0.3f, 0.5f);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), right);
}

TEST_F(SelectionOperatorTest, AreaClickSelectsNothing)
{
    Install(new HOpSelectArea(view.get()));
    Mouse(HE_LButtonDown, leftX, 0, MVO_LBUTTON);
    Mouse(HE_LButtonUp, leftX, 0);
    EXPECT_EQ(selection->GetSize(), 0u);
}

TEST_F(SelectionOperatorTest, ConstructedCircleHasItsRadiusInViewpointUnits)
{
    Install(new HOpConstructCircle(view.get(), 0, 1, true));
    const HPoint centre = view->WorldToViewpoint(view->WindowToWorld({0, 0, 0}));
    const HPoint edge = view->WorldToViewpoint(view->WindowToWorld({0.5f, 0, 0}));
    EXPECT_EQ(Drag(0, 0, 0.5f, 0), HOP_READY);
    auto* op = static_cast<HOpConstructCircle*>(view->GetOperator());
    EXPECT_NEAR(op->GetRadius(), edge.x - centre.x, 1e-3f);
    // The circle was inserted into the model; the rubber band is gone.
    HC_Open_Segment_By_Key(model->GetModelKey());
    EXPECT_EQ(HC_Show_Existence("polylines"), 1);
    HC_Close_Segment();
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("construct circle", "self"), 0);
    HC_Close_Segment();
}
