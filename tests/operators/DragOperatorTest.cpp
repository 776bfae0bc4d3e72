#include "OperatorFixture.h"

#include <cstring>
#include <string>

#include "operators/HSOpCameraDrag.h"
#include "operators/HSOpCameraWalk.h"
#include "platform/render/Renderer.h"

using optest::ExpectNear;
using optest::InsertBox;
using optest::OperatorTest;

namespace {

struct Pointer {
    int lines = 0, markers = 0;
    HPoint lineStart, lineEnd, marker;
};

// What "camerapointer" of a view's scene holds.
Pointer ReadPointer(HBaseView& view) {
    Pointer pointer;
    HC_Open_Segment_By_Key(view.GetSceneKey());
    HC_Begin_Contents_Search("camerapointer", "lines, markers");
    char type[64];
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key)) {
        if (std::string(type) == "line") {
            ++pointer.lines;
            HC_Show_Line(key, &pointer.lineStart.x, &pointer.lineStart.y, &pointer.lineStart.z,
                         &pointer.lineEnd.x, &pointer.lineEnd.y, &pointer.lineEnd.z);
        } else if (std::string(type) == "marker") {
            ++pointer.markers;
            HC_Show_Marker(key, &pointer.marker.x, &pointer.marker.y, &pointer.marker.z);
        }
    }
    HC_End_Contents_Search();
    HC_Close_Segment();
    return pointer;
}

std::string PointerAttribute(HBaseView& view, const char* what, const char* which) {
    char value[256] = "";
    HC_Open_Segment_By_Key(view.GetSceneKey());
    HC_Open_Segment("camerapointer");
    const std::string kind = what;
    if (kind == "visibility")
        HC_Show_One_Visibility(which, value);
    else if (kind == "selectability")
        HC_Show_One_Selectability(which, value);
    else if (kind == "callback")
        HC_Show_One_Callback(which, value);
    HC_Close_Segment();
    HC_Close_Segment();
    std::string out;
    for (char c : std::string(value))
        if (c != ' ')
            out.push_back(c);
    return out;
}

// A main view walking at (0, -20, 2) towards the origin; an overview of the same model seen
// from the top, its operator the drag operator.
class DragTest : public OperatorTest {
protected:
    void SetUp() override {
        OperatorTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox({-50, -50, -1}, {50, 50, 0});
        HC_Close_Segment();
        optest::SetCamera(*view, {0, -20, 2}, {0, 0, 2});
        overview = NewView();
        optest::SetCamera(*overview, {0, 0, 100}, {0, 0, 0}, {0, 1, 0}, 120.0f);
        drag = new HSOpCameraDrag(overview.get(), view.get());
        overview->SetOperator(drag);
    }
    void TearDown() override {
        overview.reset();
        OperatorTest::TearDown();
    }
    int OverviewMouse(HEventType type, float x, float y, unsigned int flags = 0) {
        return optest::Mouse(*overview, type, x, y, flags);
    }
    std::unique_ptr<HBaseView> overview;
    HSOpCameraDrag* drag = nullptr;
};

} // namespace

TEST_F(DragTest, PointerShowsTheTrackedCamera) {
    const Pointer pointer = ReadPointer(*overview);
    ASSERT_EQ(pointer.lines, 1);
    ASSERT_EQ(pointer.markers, 1);
    ExpectNear(pointer.lineStart, {0, -20, 2});
    ExpectNear(pointer.lineEnd, {0, 0, 2});
    ExpectNear(pointer.marker, {0, -20, 2});
    EXPECT_EQ(PointerAttribute(*overview, "visibility", "markers"), "off");
    EXPECT_EQ(PointerAttribute(*overview, "visibility", "lines"), "on");
    EXPECT_EQ(PointerAttribute(*overview, "selectability", "markers"), "on!");
    EXPECT_EQ(PointerAttribute(*overview, "selectability", "lines"), "off");
    EXPECT_EQ(PointerAttribute(*overview, "callback", "draw dc polyline"),
              "HUtilityAnnotation_draw_line_with_arrow");
    // Rebuilding replaces the pointer, it does not add a second one; the tracked field is
    // left alone.
    const HCamera before = optest::CameraOf(*view);
    drag->BuildCameraPointer();
    EXPECT_EQ(ReadPointer(*overview).lines, 1);
    EXPECT_FLOAT_EQ(optest::CameraOf(*view).field_width, before.field_width);
}

TEST_F(DragTest, DragPutsTheTrackedEyeUnderTheCursor) {
    const HPoint start = overview->WorldToWindow({0, -20, 2});
    EXPECT_EQ(OverviewMouse(HE_LButtonDown, start.x, start.y, MVO_LBUTTON), HOP_OK);
    const unsigned int changes = view->GetCameraChangeCount();
    OverviewMouse(HE_MouseMove, 0.5f, 0.25f, MVO_LBUTTON);
    const HCamera moved = optest::CameraOf(*view);
    const HPoint eyeInOverview = overview->WorldToWindow(moved.position);
    EXPECT_NEAR(eyeInOverview.x, 0.5f, 1e-4f);
    EXPECT_NEAR(eyeInOverview.y, 0.25f, 1e-4f);
    EXPECT_NEAR(moved.position.z, 2.0f, 1e-3f); // the eye keeps its height
    ExpectNear(moved.target - moved.position, {0, 20, 0}, 1e-3f);
    EXPECT_GT(view->GetCameraChangeCount(), changes);
    ExpectNear(ReadPointer(*overview).lineStart, moved.position, 1e-3f);
    EXPECT_EQ(OverviewMouse(HE_LButtonUp, 0.5f, 0.25f), HOP_OK);
    EXPECT_FALSE(drag->OperatorStarted());
    // A move without a press moves nothing.
    OverviewMouse(HE_MouseMove, -0.5f, -0.5f, 0);
    ExpectNear(optest::CameraOf(*view).position, moved.position);
}

TEST_F(DragTest, PointerFollowsTheTrackedCameraWithinOneTimerPeriod) {
    optest::SetCamera(*view, {10, 10, 3}, {20, 10, 3});
    view->CameraPositionChanged();
    EXPECT_TRUE(drag->GetCameraChanged());
    ExpectNear(ReadPointer(*overview).lineStart, {0, -20, 2}); // not yet
    AdvanceSeconds(HSOpCameraDrag::kTimerSeconds);
    EXPECT_FALSE(drag->GetCameraChanged());
    const Pointer pointer = ReadPointer(*overview);
    ExpectNear(pointer.lineStart, {10, 10, 3});
    ExpectNear(pointer.lineEnd, {20, 10, 3});
    // The overview's own camera moves do not count.
    overview->CameraPositionChanged();
    EXPECT_FALSE(drag->GetCameraChanged());
}

// An overview whose frames are slow is not redrawn while the tracked view keeps moving (it
// would stall that view's frames), but as soon as a timer period passes without a move.
TEST_F(DragTest, SlowOverviewWaitsForTheTrackedViewToRest) {
    ketra::render::FrameTimings slow;
    slow.drawSeconds = 0.3;
    ketra::render::NoteDisplayFrame(overview->GetViewKey(), slow);
    for (int step = 1; step <= 3; ++step) {
        optest::SetCamera(*view, {10.0f + step, 10, 3}, {20, 10, 3});
        view->CameraPositionChanged();
        AdvanceSeconds(HSOpCameraDrag::kTimerSeconds);
        EXPECT_TRUE(drag->GetCameraChanged()) << step;
        ExpectNear(ReadPointer(*overview).lineStart, {0, -20, 2}); // as it was
    }
    AdvanceSeconds(HSOpCameraDrag::kTimerSeconds); // a period at rest
    EXPECT_FALSE(drag->GetCameraChanged());
    ExpectNear(ReadPointer(*overview).lineStart, {13, 10, 3});
}

TEST_F(DragTest, DestroyedTrackedViewIsNeverTouchedAgain) {
    // Run under AddressSanitizer: any touch of the dead view is reported there.
    optest::SetCamera(*view, {5, 5, 5}, {6, 5, 5});
    view->CameraPositionChanged(); // a rebuild is pending when the view dies
    view.reset();
    EXPECT_EQ(drag->GetTrackedView(), nullptr);
    EXPECT_FALSE(drag->GetCameraChanged());
    AdvanceSeconds(1.0f);
    drag->BuildCameraPointer();
    EXPECT_EQ(OverviewMouse(HE_LButtonDown, 0, 0, MVO_LBUTTON), HOP_OK);
    OverviewMouse(HE_MouseMove, 0.5f, 0.5f, MVO_LBUTTON);
    EXPECT_EQ(OverviewMouse(HE_LButtonUp, 0.5f, 0.5f), HOP_OK);
    // The last pointer stays as it was.
    ExpectNear(ReadPointer(*overview).lineStart, {0, -20, 2});
    overview.reset(); // deletes the operator
    AdvanceSeconds(1.0f);
}

TEST_F(DragTest, OperatorStopsListeningWhenItGoes) {
    const std::size_t tracked = view->GetEventManager()->UpdateListenerCount();
    const std::size_t clients = HTManager::Instance()->ClientCount();
    std::unique_ptr<HBaseOperator> copy(drag->Clone());
    EXPECT_STREQ(copy->GetName(), "HSOpCameraDrag");
    EXPECT_EQ(view->GetEventManager()->UpdateListenerCount(), tracked + 1);
    EXPECT_EQ(HTManager::Instance()->ClientCount(), clients + 1);
    copy.reset();
    EXPECT_EQ(view->GetEventManager()->UpdateListenerCount(), tracked);
    EXPECT_EQ(HTManager::Instance()->ClientCount(), clients);
    // The overview going first takes its operator with it; the tracked view then no
    // longer calls it.
    overview.reset();
    EXPECT_EQ(view->GetEventManager()->UpdateListenerCount(), tracked - 1);
    optest::SetCamera(*view, {1, 1, 1}, {2, 2, 1});
    view->CameraPositionChanged();
    AdvanceSeconds(1.0f);
}

TEST_F(DragTest, OperatorHeldByTheHostOutlivesBothViews) {
    // The host keeps its own operator on the overview; both views go first.
    auto held = std::make_unique<HSOpCameraDrag>(overview.get(), view.get());
    overview.reset();
    view.reset();
    EXPECT_EQ(held->GetView(), nullptr);
    EXPECT_EQ(held->GetTrackedView(), nullptr);
    HEventInfo event(nullptr);
    event.SetPoint(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    EXPECT_EQ(held->OnLButtonDown(event), HOP_NOT_HANDLED);
    AdvanceSeconds(1.0f);
    held.reset();
}

TEST_F(DragTest, PointerFollowsAWalkInTheTrackedView) {
    Install(new HSOpCameraWalk(view.get()));
    keysDown = {'W'};
    Advance(64);
    keysDown.clear();
    const HPoint eye = optest::CameraOf(*view).position;
    EXPECT_GT(eye.y, -20.0f + 1.0f);
    AdvanceSeconds(HSOpCameraDrag::kTimerSeconds);
    ExpectNear(ReadPointer(*overview).lineStart, eye);
}

TEST_F(DragTest, FrameOutlinesWhatTheTrackedViewShows) {
    // Looking along +y at (0, 0, 2) with a 10 x 10 field: a window twice as wide as high
    // shows 20 across (x) and 10 up (z).
    HCamera camera = optest::CameraOf(*view);
    HPoint corners[4];
    ASSERT_TRUE(HSOpCameraDrag::FrameCorners(camera, 200, 100, corners));
    ExpectNear(corners[0], {-10, 0, -3});
    ExpectNear(corners[2], {10, 0, 7});
    // A tall window widens the height instead; a stretched camera keeps its field.
    ASSERT_TRUE(HSOpCameraDrag::FrameCorners(camera, 100, 200, corners));
    ExpectNear(corners[2], {5, 0, 12});
    std::strcpy(camera.projection, "stretched");
    ASSERT_TRUE(HSOpCameraDrag::FrameCorners(camera, 100, 200, corners));
    ExpectNear(corners[2], {5, 0, 7});
    camera.target = camera.position;
    EXPECT_FALSE(HSOpCameraDrag::FrameCorners(camera, 100, 200, corners));

    // The overview holds the frame, moved with the tracked camera.
    optest::SetCamera(*view, {30, -20, 2}, {30, 0, 2});
    drag->BuildCameraPointer();
    HC_Open_Segment_By_Key(overview->GetSceneKey());
    HC_Begin_Contents_Search(HSOpCameraDrag::kFrameSegment, "polylines");
    char type[64];
    HC_KEY key = -1;
    ASSERT_TRUE(HC_Find_Contents(type, &key));
    HC_End_Contents_Search();
    HC_Close_Segment();
    int count = 0;
    HPoint points[5];
    HC_Show_Polyline(key, &count, points);
    ASSERT_EQ(count, 5);
    EXPECT_NEAR((points[0].x + points[2].x) / 2, 30.0f, 1e-3f);
    ExpectNear(points[4], points[0]);
}
