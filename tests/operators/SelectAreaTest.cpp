#include "OperatorFixture.h"

#include <algorithm>
#include <string>
#include <vector>

#include "operators/HOpKetraSelectArea.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HSelectionSet.h"

using optest::InsertBox;
using optest::OperatorTest;

namespace {

// Seen from the front: object segment "left" around x = -2, object segment "right" around
// x = +2, and a box in no object segment between them at x = 0.
class SelectAreaTest : public OperatorTest {
protected:
    void SetUp() override {
        OperatorTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        left = HC_Open_Segment("left");
        leftShell = InsertBox({-3, -1, -1}, {-1, 1, 1});
        HC_Close_Segment();
        right = HC_Open_Segment("right");
        rightShell = InsertBox({1, -1, -1}, {3, 1, 1});
        HC_Close_Segment();
        HC_Open_Segment("loose");
        looseShell = InsertBox({-0.5f, -1, -0.5f}, {0.5f, 1, 0.5f});
        HC_Close_Segment();
        HC_Close_Segment();
        HObjectManager::SetHObjectSegment(left, "Part");
        HObjectManager::SetHObjectSegment(right, "Part");
        view->SetViewMode(HViewFront, false, true);
        selection = view->GetSelection();
        selection->SetSelectionLevel(HSelectLevelEntity);
        op = new HOpKetraSelectArea(view.get());
        Install(op);
        leftX = view->WorldToWindow({-2, 0, 0}).x;
        rightX = view->WorldToWindow({2, 0, 0}).x;
        top = view->WorldToWindow({0, 0, 1.5f}).y;
        bottom = view->WorldToWindow({0, 0, -1.5f}).y;
    }
    // A left drag from (x0, y0) to (x1, y1) with the given modifiers; returns the release's
    // result.
    int Drag(float x0, float y0, float x1, float y1, unsigned int modifiers = 0) {
        Mouse(HE_LButtonDown, x0, y0, MVO_LBUTTON | modifiers);
        Mouse(HE_MouseMove, (x0 + x1) / 2, (y0 + y1) / 2, MVO_LBUTTON | modifiers);
        Mouse(HE_MouseMove, x1, y1, MVO_LBUTTON | modifiers);
        return Mouse(HE_LButtonUp, x1, y1, modifiers);
    }
    // Around the left box only, around both boxes (and the loose one), around the right one.
    int DragLeft(unsigned int modifiers = 0) {
        return Drag(leftX - 0.2f, top, leftX + 0.2f, bottom, modifiers);
    }
    int DragAll(unsigned int modifiers = 0) { return Drag(-0.99f, top, 0.99f, bottom, modifiers); }
    int DragRight(unsigned int modifiers = 0) {
        return Drag(rightX - 0.2f, top, rightX + 0.2f, bottom, modifiers);
    }
    std::vector<HC_KEY> Selected() const {
        std::vector<HC_KEY> keys;
        for (unsigned int i = 0; i < selection->GetSize(); ++i)
            keys.push_back(selection->GetAt(i));
        std::sort(keys.begin(), keys.end());
        return keys;
    }
    static std::vector<HC_KEY> Sorted(std::vector<HC_KEY> keys) {
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    HC_KEY left = -1, right = -1, leftShell = -1, rightShell = -1, looseShell = -1;
    float leftX = 0, rightX = 0, top = 0, bottom = 0;
    HSelectionSet* selection = nullptr;
    HOpKetraSelectArea* op = nullptr;
};

} // namespace

TEST_F(SelectAreaTest, ObjectsUnderLongNamesAreSelected) {
    for (const size_t length : {6000u, 100000u}) {
        // The object segment lies above the long name, so finding it passes through it.
        HC_Open_Segment_By_Key(model->GetModelKey());
        const HC_KEY part = HC_Open_Segment("part");
        HC_Open_Segment(std::string(length, 'n').c_str());
        const HC_KEY shell = InsertBox({-0.5f, -1, 1.1f}, {0.5f, 1, 1.4f});
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
        HObjectManager::SetHObjectSegment(part, "Part");
        DragAll();
        const std::vector<HC_KEY> selected = Selected();
        EXPECT_NE(std::find(selected.begin(), selected.end(), shell), selected.end());
        selection->DeSelectAll();
        HC_Delete_By_Key(part);
    }
}

TEST_F(SelectAreaTest, RectangleDrawnEitherWaySelectsTheSameItems) {
    view->SetGeometryChanged(false);
    EXPECT_EQ(DragAll(), HOP_READY);
    EXPECT_TRUE(view->GetGeometryChanged());
    const std::vector<HC_KEY> forwards = Selected();
    EXPECT_EQ(forwards, Sorted({leftShell, rightShell})); // never the loose box
    selection->DeSelectAll();
    EXPECT_EQ(Drag(0.99f, bottom, -0.99f, top), HOP_READY);
    EXPECT_EQ(Selected(), forwards);
    selection->DeSelectAll();
    EXPECT_EQ(Drag(-0.99f, bottom, 0.99f, top), HOP_READY);
    EXPECT_EQ(Selected(), forwards);
    EXPECT_EQ(view->GetOperator(), op);
    EXPECT_GE(selection->GetEmittedMessageCount(), 2u);
}

TEST_F(SelectAreaTest, NoModifierReplacesControlAddsShiftRemoves) {
    DragLeft();
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{leftShell});
    DragRight();
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{rightShell});
    DragLeft(MVO_CONTROL);
    EXPECT_EQ(Selected(), Sorted({leftShell, rightShell}));
    DragLeft(MVO_CONTROL); // selected already: not twice
    EXPECT_EQ(selection->GetSize(), 2u);
    DragLeft(MVO_SHIFT);
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{rightShell});
    DragAll(MVO_SHIFT); // removing what is not selected does nothing
    EXPECT_TRUE(Selected().empty());
}

TEST_F(SelectAreaTest, ShiftRemovesAtSegmentLevel) {
    selection->SetSelectionLevel(HSelectLevelSegment);
    DragAll();
    EXPECT_EQ(Selected(), Sorted({left, right}));
    DragLeft(MVO_SHIFT);
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{right});
}

TEST_F(SelectAreaTest, SegmentTreeLevelTestsTheSegmentFourLevelsUp) {
    // plant / unit / line / element / shell, all in the object segment "plant".
    HC_KEY plant = -1, element = -1;
    HC_Open_Segment_By_Key(model->GetModelKey());
    plant = HC_Open_Segment("plant");
    HC_Open_Segment("unit");
    HC_Open_Segment("line");
    element = HC_Open_Segment("element");
    InsertBox({-0.5f, -1, 2}, {0.5f, 1, 3});
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    HObjectManager::SetHObjectSegment(plant, "Part");
    view->SetViewMode(HViewFront, false, true);
    selection->SetSelectionLevel(HSelectLevelSegmentTree);
    const float up = view->WorldToWindow({0, 0, 3.5f}).y;
    const float down = view->WorldToWindow({0, 0, 1.5f}).y;
    const float x = view->WorldToWindow({0, 0, 0}).x;

    Drag(x - 0.05f, up, x + 0.05f, down);
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{element}); // stored as its segment
    selection->DeSelectAll();
    selection->Select(plant, 0, nullptr);
    Drag(x - 0.05f, up, x + 0.05f, down, MVO_CONTROL); // the plant counts as selected
    EXPECT_EQ(Selected(), std::vector<HC_KEY>{plant});
}

TEST_F(SelectAreaTest, AClickSelectsAsTheSingleClickOperatorAndStaysInstalled) {
    const float y = view->WorldToWindow({0, 0, 0}).y;
    Mouse(HE_LButtonDown, leftX, y, MVO_LBUTTON);
    EXPECT_EQ(Mouse(HE_LButtonUp, leftX, y), HOP_READY);
    const std::vector<HC_KEY> clicked = Selected();
    EXPECT_EQ(view->GetOperator(), op);
    EXPECT_FALSE(op->OperatorStarted());

    // The same click with the single-click operator.
    selection->DeSelectAll();
    HOpSelectAperture aperture(view.get());
    HEventInfo event(view.get());
    event.SetPoint(HE_LButtonDown, leftX, y, MVO_LBUTTON);
    aperture.OnLButtonDown(event);
    EXPECT_EQ(Selected(), clicked);
    EXPECT_EQ(clicked, std::vector<HC_KEY>{leftShell});

    // Its modifiers too: Control adds.
    Mouse(HE_LButtonDown, rightX, y, MVO_LBUTTON | MVO_CONTROL);
    Mouse(HE_LButtonUp, rightX, y, MVO_CONTROL);
    EXPECT_EQ(Selected(), Sorted({leftShell, rightShell}));
}

TEST_F(SelectAreaTest, ReleaseWithoutPressSelectsNothing) {
    Mouse(HE_LButtonUp, leftX, top);
    EXPECT_TRUE(Selected().empty());
    HEventInfo event(view.get());
    event.SetPoint(HE_RButtonUp, 0, 0, 0);
    EXPECT_EQ(op->OnRButtonUp(event), HOP_READY);
}

TEST_F(SelectAreaTest, SelectionHeuristicsOnlyForTheSearch) {
    // A scene that limits related selections would cut the rectangle to one item.
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Set_Heuristics("related selection limit = 0");
    HC_Close_Segment();
    DragAll();
    EXPECT_EQ(Selected(), Sorted({leftShell, rightShell}));
    char value[256] = "";
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_One_Heuristic("related selection limit", value);
    EXPECT_EQ(HC_Show_Existence("heuristics = selection sorting"), 0);
    HC_Close_Segment();
    EXPECT_EQ(std::string(value), "0");
}
