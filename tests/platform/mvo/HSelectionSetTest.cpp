#include "ViewFixture.h"

#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HSelectionSet.h"

using mvotest::InsertBox;
using mvotest::ViewTest;

namespace {

class SelectionTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        segment = HC_Open_Segment("pipe 10-20");
        shell = InsertBox({0, 0, 0}, {1, 1, 1});
        line = HC_Insert_Line(0, 0, 0, 1, 1, 1);
        HC_Close_Segment();
        HC_Close_Segment();
        selection = view->GetSelection();
    }
    int StyleCount(HC_KEY key)
    {
        HC_Open_Segment_By_Key(key);
        const int n = HC_Show_Existence("styles");
        HC_Close_Segment();
        return n;
    }
    HC_KEY segment = -1, shell = -1, line = -1;
    HSelectionSet* selection = nullptr;
};

} // namespace

TEST_F(SelectionTest, SegmentLevelPromotesGeometryToItsSegment)
{
    selection->SetSelectionLevel(HSelectLevelSegment);
    selection->Select(shell, 0, nullptr);
    selection->Select(line, 0, nullptr);  // same segment: not added twice
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), segment);
    EXPECT_TRUE(selection->IsSelected(segment));
    EXPECT_EQ(selection->GetSelectionSegment(), segment);
    EXPECT_EQ(StyleCount(segment), 1);  // highlighted
    EXPECT_TRUE(selection->DeSelect(line));  // deselecting any item of it removes the segment
    EXPECT_EQ(selection->GetSize(), 0u);
    EXPECT_EQ(StyleCount(segment), 0);

    // Geometry in a part of an object (a symbol's subsegment) selects the whole object.
    HC_Open_Segment_By_Key(segment);
    HC_Open_Segment("part");
    const HC_KEY partLine = HC_Insert_Line(0, 0, 0, 0, 0, 1);
    HC_Close_Segment();
    HC_Close_Segment();
    HObjectManager::SetHObjectSegment(segment, "Element");
    selection->Select(partLine, 0, nullptr);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), segment);
    EXPECT_EQ(StyleCount(segment), 1);
}

TEST_F(SelectionTest, EntityAndSubentityLevelsKeepTheItem)
{
    for (HSelectLevel level : {HSelectLevelEntity, HSelectLevelSubentity}) {
        selection->SetSelectionLevel(level);
        selection->Select(shell, nullptr, 0, 0);
        ASSERT_EQ(selection->GetSize(), 1u);
        EXPECT_EQ(selection->GetSelectionItemAt(0), shell);
        EXPECT_FALSE(selection->IsSelected(segment));
        selection->DeSelectAll();
        EXPECT_EQ(selection->GetSize(), 0u);
    }
    selection->SetAllowEntitySelection(true);
    EXPECT_TRUE(selection->GetAllowEntitySelection());
    selection->SetAllowSubentitySelection(true);
    EXPECT_TRUE(selection->GetAllowSubentitySelection());
    EXPECT_FALSE(selection->GetAllowEntitySelection());
}

TEST_F(SelectionTest, IncludePathsTellSelectionsOfOneItemApart)
{
    selection->SetSelectionLevel(HSelectLevelEntity);
    const HC_KEY pathA[] = {101, 102};
    const HC_KEY pathB[] = {201};
    selection->Select(shell, 2, pathA, true);
    selection->Select(shell, 1, pathB, true);
    selection->Select(shell, 2, pathA, true);
    EXPECT_EQ(selection->GetSize(), 2u);
    EXPECT_EQ(selection->GetIncludePath(0), (std::vector<HC_KEY>{101, 102}));
    EXPECT_TRUE(selection->IsSelected(shell, 1, pathB));
    EXPECT_TRUE(selection->DeSelect(shell, 1, pathB, true));
    EXPECT_FALSE(selection->IsSelected(shell, 1, pathB));
    EXPECT_TRUE(selection->IsSelected(shell, 2, pathA));
    EXPECT_EQ(selection->GetEmittedMessageCount(), 3u);
}

TEST_F(SelectionTest, StaleAndOutOfRangeKeysAreHarmless)
{
    HC_Delete_By_Key(line);
    selection->Select(line, 0, nullptr);
    EXPECT_EQ(selection->GetSize(), 0u);
    EXPECT_FALSE(selection->DeSelect(line));
    EXPECT_EQ(selection->GetAt(5), -1);
    EXPECT_EQ(selection->GetSelectionSegment(), -1);
    selection->Select(shell, -3, nullptr);  // a negative count is no path
    EXPECT_EQ(selection->GetSize(), 1u);
}

TEST_F(SelectionTest, DestroyingTheViewRemovesHighlights)
{
    selection->SetSelectionLevel(HSelectLevelSegment);
    selection->Select(segment, 0, nullptr);
    EXPECT_EQ(StyleCount(segment), 1);
    view.reset();
    EXPECT_EQ(StyleCount(segment), 0);
}
