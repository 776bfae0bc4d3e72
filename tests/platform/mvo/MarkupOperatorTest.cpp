#include "ViewFixture.h"

#include <cmath>
#include <vector>

#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpMarkup.h"

using mvotest::InsertBox;
using mvotest::ViewTest;

namespace {

class MarkupTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox({-1, -1, -1}, {1, 1, 1});
        HC_Close_Segment();
        view->SetViewMode(HViewFront, false, true);
        markup = view->GetMarkupManager();
    }
    void Install(HBaseOperator* op) { delete view->GetOperator(); view->SetOperator(op); }
    // Items of one type in the current layer's subsegment `name`.
    std::vector<HC_KEY> Items(const char* name, const char* type)
    {
        std::vector<HC_KEY> keys;
        if (markup->GetCurrentLayerKey() == -1)
            return keys;
        HC_Open_Segment_By_Key(markup->GetCurrentLayerKey());
        if (HC_QShow_Existence(name, "self") > 0) {
            HC_Open_Segment(name);
            HC_Begin_Contents_Search(".", type);
            char t[64];
            HC_KEY k;
            while (HC_Find_Contents(t, &k))
                keys.push_back(k);
            HC_End_Contents_Search();
            HC_Close_Segment();
        }
        HC_Close_Segment();
        return keys;
    }
    std::vector<HPoint> Points(HC_KEY polyline)
    {
        int count = 0;
        HC_Show_Polyline_Count(polyline, &count);
        std::vector<HPoint> points(static_cast<size_t>(count));
        HC_Show_Polyline(polyline, &count, points.data());
        return points;
    }
    HMarkupManager* markup = nullptr;
};

} // namespace

TEST_F(MarkupTest, CircleIsDrawnRoundInTheCurrentLayer)
{
    Install(new HOpMarkupCircle(view.get()));
    EXPECT_EQ(markup->GetCurrentLayerKey(), -1);
    Drag(0, 0, 0.4f, 0.3f);
    ASSERT_NE(markup->GetCurrentLayerKey(), -1);  // a layer was opened for it
    const auto lines = Items("HOpMarkupCircle", "polylines");
    ASSERT_EQ(lines.size(), 1u);
    const auto points = Points(lines[0]);
    ASSERT_EQ(points.size(), 65u);
    const HPoint centre = view->WindowToWorld({0, 0, 0});
    const float radius = HLength(points[0] - centre);
    EXPECT_GT(radius, 0.0f);
    for (const HPoint& p : points)
        EXPECT_NEAR(HLength(p - centre), radius, radius * 1e-3f);
    EXPECT_GE(markup->GetNotificationCount(), 1u);
}

TEST_F(MarkupTest, RectangleNeedsADragAndAVerticalOneCounts)
{
    Install(new HOpMarkupRectangle(view.get()));
    Mouse(HE_LButtonDown, 0.2f, 0.2f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.2f, 0.2f);
    EXPECT_TRUE(Items("HOpMarkupRectangle", "polylines").empty());
    Drag(0.2f, 0.2f, 0.2f, -0.4f);
    const auto lines = Items("HOpMarkupRectangle", "polylines");
    ASSERT_EQ(lines.size(), 1u);
    const auto points = Points(lines[0]);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0], points[4]);
}

TEST_F(MarkupTest, FreehandStrokeMovesFromWindowSpaceIntoTheLayer)
{
    Install(new HOpMarkupFreehand(view.get()));
    Mouse(HE_LButtonDown, -0.5f, 0, MVO_LBUTTON);
    Mouse(HE_MouseMove, -0.2f, 0.1f, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0.1f, 0.3f, MVO_LBUTTON);
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("HOpMarkupFreehand", "self"), 1);
    HC_Close_Segment();
    EXPECT_EQ(Mouse(HE_LButtonUp, 0.1f, 0.3f), HOP_READY);
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("HOpMarkupFreehand", "self"), 0);
    HC_Close_Segment();
    const auto lines = Items("HOpMarkupFreehand", "polylines");
    ASSERT_EQ(lines.size(), 1u);
    const auto points = Points(lines[0]);
    ASSERT_EQ(points.size(), 3u);
    mvotest::ExpectNear(view->WorldToWindow(points[2]), {0.1f, 0.3f, 0}, 1e-3f);
}

TEST_F(MarkupTest, NoteHasALeaderToThePickedPointAndTakesTypedText)
{
    auto* op = new HOpMarkupAnnotate(view.get());
    Install(op);
    Drag(0, 0, 0.6f, 0.6f);
    const HC_KEY note = op->GetNoteKey();
    ASSERT_NE(note, -1);
    char kind[256];
    EXPECT_EQ(HObjectManager::FindHObjectSegment(note, kind), note);
    EXPECT_STREQ(kind, "Annotation");
    HC_Open_Segment_By_Key(note);
    EXPECT_EQ(HC_Show_Existence("lines"), 1);
    EXPECT_EQ(HC_Show_Existence("heuristics = quick moves"), 0);
    HC_Close_Segment();
    HEventInfo key(view.get());
    for (unsigned int c : {65u, 66u, 8u, 67u}) {
        key.SetKey(HE_KeyDown, c, 1, 0);
        view->InjectEvent(key);
    }
    EXPECT_EQ(op->GetNoteText(), "AC");
    key.SetKey(HE_KeyDown, 13, 1, 0);
    EXPECT_EQ(view->InjectEvent(key), HOP_READY);
    EXPECT_EQ(op->GetNoteKey(), -1);
    HC_Open_Segment_By_Key(note);
    HC_Begin_Contents_Search(".", "text");
    char type[64];
    HC_KEY text = -1;
    ASSERT_TRUE(HC_Find_Contents(type, &text));
    HC_End_Contents_Search();
    HC_Close_Segment();
    char value[64] = "";
    float x, y, z;
    HC_Show_Text(text, &x, &y, &z, value);
    EXPECT_STREQ(value, "AC");
}

TEST_F(MarkupTest, PostItHasNoLeader)
{
    auto* op = new HOpMarkupPostIt(view.get());
    Install(op);
    EXPECT_STREQ(op->GetName(), "HOpMarkupPostIt");
    Drag(0.8f, 0.8f, 0.5f, 0.5f);
    HC_Open_Segment_By_Key(op->GetNoteKey());
    EXPECT_EQ(HC_Show_Existence("lines"), 0);
    EXPECT_EQ(HC_Show_Existence("text"), 1);
    HC_Close_Segment();
}

TEST_F(MarkupTest, LayersRememberTheirCamera)
{
    const HC_KEY first = markup->OpenLayer("review 1");
    const HCamera camera = Camera();
    view->SetViewMode(HViewTop);
    const HC_KEY second = markup->OpenLayer("review 2");
    EXPECT_NE(first, second);
    EXPECT_EQ(markup->OpenLayer("review 1"), first);
    EXPECT_FALSE(camera.CameraDifferent(Camera()));
    EXPECT_EQ(markup->GetCurrentLayerName(), "review 1");
    EXPECT_EQ(markup->GetLayerNames().size(), 2u);
    EXPECT_TRUE(markup->DeleteLayer("review 1"));
    EXPECT_EQ(markup->GetCurrentLayerKey(), -1);
    EXPECT_FALSE(markup->DeleteLayer("review 1"));
}
