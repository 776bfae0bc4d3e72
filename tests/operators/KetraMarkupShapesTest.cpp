// The circle, rectangle and freehand markup operators driven by synthetic events.
#include "annotation/NoteFixture.h"
#include "operators/HOpKetraMarkupCircle.h"
#include "operators/HOpKetraMarkupFreehand.h"
#include "operators/HOpKetraMarkupRectangle.h"
#include "operators/KetraMarkupSettings.h"
#include "operators/MarkupTools.h"
#include "platform/mvo/HMarkupManager.h"

using namespace notetest;
using namespace ketra::operators;

namespace {

class MarkupShapesTest : public NoteTest {
protected:
    // The polylines of the current layer's subsegment `name`.
    std::vector<std::vector<HPoint>> Strokes(const char* name)
    {
        std::vector<std::vector<HPoint>> out;
        HMarkupManager* manager = view->GetMarkupManager();
        const long layer = manager->GetCurrentLayerKey();
        if (layer == -1)
            return out;
        HC_Open_Segment_By_Key(layer);
        if (HC_QShow_Existence(name, "self") > 0) {
            HC_Open_Segment(name);
            HC_Begin_Contents_Search(".", "polylines");
            char type[64];
            long key;
            while (HC_Find_Contents(type, &key)) {
                int count = 0;
                HC_Show_Polyline_Count(key, &count);
                std::vector<HPoint> points(static_cast<size_t>(count));
                HC_Show_Polyline(key, &count, points.data());
                out.push_back(points);
            }
            HC_End_Contents_Search();
            HC_Close_Segment();
        }
        HC_Close_Segment();
        return out;
    }
    float Weight(const char* name)
    {
        float weight = 0;
        HC_Open_Segment_By_Key(view->GetMarkupManager()->GetCurrentLayerKey());
        HC_Open_Segment(name);
        HC_Show_Line_Weight(&weight);
        HC_Close_Segment();
        HC_Close_Segment();
        return weight;
    }
    void Drag(float x0, float y0, float x1, float y1)
    {
        Mouse(HE_LButtonDown, x0, y0, MVO_LBUTTON);
        Mouse(HE_MouseMove, (x0 + x1) / 2, (y0 + y1) / 2, MVO_LBUTTON);
        Mouse(HE_MouseMove, x1, y1, MVO_LBUTTON);
        Mouse(HE_LButtonUp, x1, y1, 0);
    }
};

} // namespace

TEST(MarkupSettings, StringsAreBuiltFromTheAnnotationSettings)
{
    const auto font = CAppSettings::AnnotationFontColor;
    const auto background = CAppSettings::AnnotationBackgroundColor;
    const auto weight = CAppSettings::AnnotationLineWeight;
    CAppSettings::AnnotationFontColor = 0x0000FF;
    CAppSettings::AnnotationBackgroundColor = 0x336699;
    EXPECT_EQ(MarkupColorString(), "text = (r=1 g=0 b=0), line = (r=1 g=0 b=0), "
                                   "faces = (r=0.6 g=0.4 b=0.2)");
    CAppSettings::AnnotationLineWeight = L"2.000";
    EXPECT_EQ(MarkupLineWeight(), 2);
    CAppSettings::AnnotationLineWeight = L"3.7";
    EXPECT_EQ(MarkupLineWeight(), 3);
    CAppSettings::AnnotationFontColor = font;
    CAppSettings::AnnotationBackgroundColor = background;
    CAppSettings::AnnotationLineWeight = weight;
    EXPECT_EQ(MarkupTextFontString(), "name = Arial, size = 8.0 pts");
}

TEST_F(MarkupShapesTest, ACircleIsDrawnOnlyAfterADrag)
{
    ASSERT_TRUE(InstallMarkupOperator(window.get(), MarkupTool::Circle));
    EXPECT_STREQ(view->GetOperator()->GetName(), "HOpKetraMarkupCircle");
    Mouse(HE_LButtonDown, 0.1f, 0.1f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.1f, 0.1f, 0);
    EXPECT_TRUE(Strokes("HOpKetraMarkupCircle").empty());
    const unsigned int before = view->GetMarkupManager()->GetNotificationCount();
    Drag(0.1f, 0.1f, 0.3f, 0.1f);
    const auto strokes = Strokes("HOpKetraMarkupCircle");
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].size(), 65u);
    EXPECT_NEAR(strokes[0].front().x, strokes[0].back().x, 1e-5f);
    EXPECT_NEAR(strokes[0].front().z, strokes[0].back().z, 1e-5f);
    // Centred where pressed, through where released, on the screen plane.
    const HPoint centre = view->WindowToWorld(HPoint(0.1f, 0.1f, 0));
    const HPoint rim = view->WindowToWorld(HPoint(0.3f, 0.1f, 0));
    const float radius = std::hypot(rim.x - centre.x, rim.z - centre.z);
    for (const HPoint& p : strokes[0])
        EXPECT_NEAR(std::hypot(p.x - centre.x, p.z - centre.z), radius, 1e-3f);
    EXPECT_FLOAT_EQ(Weight("HOpKetraMarkupCircle"), 2.0f);
    EXPECT_GT(view->GetMarkupManager()->GetNotificationCount(), before);
}

TEST_F(MarkupShapesTest, AVerticalOnlyRectangleIsDrawnAndAClickIsNot)
{
    InstallMarkupOperator(window.get(), MarkupTool::Rectangle);
    Mouse(HE_LButtonDown, 0.2f, 0.2f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.2f, 0.2f, 0);
    EXPECT_TRUE(Strokes("HOpKetraMarkupRectangle").empty());
    Drag(0.2f, -0.2f, 0.2f, 0.4f);
    const auto strokes = Strokes("HOpKetraMarkupRectangle");
    ASSERT_EQ(strokes.size(), 1u);
    ASSERT_EQ(strokes[0].size(), 5u);
    // On the plane through the camera target (y = 0 in the front view).
    for (const HPoint& p : strokes[0])
        EXPECT_NEAR(p.y, 0.0f, 1e-3f);
    EXPECT_NEAR(strokes[0][1].z - strokes[0][0].z, view->WindowToWorld(HPoint(0, 0.4f, 0)).z -
                                                       view->WindowToWorld(HPoint(0, -0.2f, 0)).z,
                1e-3f);
    CAppSettings::AnnotationLineWeight = L"2.000";
    EXPECT_FLOAT_EQ(Weight("HOpKetraMarkupRectangle"), 2.0f);
}

TEST_F(MarkupShapesTest, AFreehandStrokeBecomesAWorldPolyline)
{
    InstallMarkupOperator(window.get(), MarkupTool::Freehand);
    Mouse(HE_LButtonDown, -0.5f, 0.0f, MVO_LBUTTON);
    Mouse(HE_MouseMove, -0.4f, 0.1f, MVO_LBUTTON);
    Mouse(HE_MouseMove, -0.3f, 0.0f, MVO_LBUTTON);
    // While drawn the stroke is ink in the window-space segment.
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("HOpKetraMarkupFreehand", "polylines"), 1);
    HC_Close_Segment();
    EXPECT_EQ(Mouse(HE_LButtonUp, -0.3f, 0.0f, 0), HOP_READY);
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    EXPECT_EQ(HC_QShow_Existence("HOpKetraMarkupFreehand", "polylines"), 0);
    HC_Close_Segment();
    const auto strokes = Strokes("HOpKetraMarkupFreehand");
    ASSERT_EQ(strokes.size(), 1u);
    ASSERT_EQ(strokes[0].size(), 3u);
    const HPoint expected = view->WindowToWorld(HPoint(-0.4f, 0.1f, 0));
    EXPECT_NEAR(strokes[0][1].x, expected.x, 1e-3f);
    EXPECT_NEAR(strokes[0][1].z, expected.z, 1e-3f);
    char pattern[64] = "";
    HC_Open_Segment_By_Key(view->GetMarkupManager()->GetCurrentLayerKey());
    HC_Open_Segment("HOpKetraMarkupFreehand");
    HC_Show_Line_Pattern(pattern);
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_STREQ(pattern, "(----)");
    EXPECT_FLOAT_EQ(Weight("HOpKetraMarkupFreehand"), 2.0f);
    // Without a markup manager nothing is drawn.
    HPoint p[2] = {{0, 0, 0}, {1, 0, 0}};
    EXPECT_EQ(HOpKetraMarkupFreehand::CreateMarkupFreehand(nullptr, "x", 2, p, true), -1);
}
