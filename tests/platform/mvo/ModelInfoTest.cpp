#include "ViewFixture.h"

#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HModelInfo.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/render/Renderer.h"

using mvotest::InsertBox;
using mvotest::ViewTest;

TEST_F(ViewTest, ModelInfoCountsThroughIncludes)
{
    const HC_KEY library = HC_Open_Segment("/include library/model info symbol");
    InsertBox({0, 0, 0}, {1, 1, 1});  // 6 quads = 12 triangles
    HC_Insert_Text(0, 0, 0, "10");
    HC_Close_Segment();
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("a");
    HC_Include_Segment_By_Key(library);
    HC_Close_Segment();
    HC_Open_Segment("b");
    HC_Include_Segment_By_Key(library);
    const HPoint line[3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    HC_Insert_Polyline(3, line);
    HC_Insert_Line(0, 0, 0, 0, 0, 1);
    HC_Insert_Marker(0, 0, 0);
    HC_Close_Segment();
    HC_Close_Segment();

    HModelInfo info;
    info.ComputeModelInfo(model->GetModelKey());
    EXPECT_EQ(info.GetShellCount(), 2);
    EXPECT_EQ(info.GetTriangleCount(), 24);
    EXPECT_EQ(info.GetTextCount(), 2);
    EXPECT_EQ(info.GetPolylineCount(), 2);
    EXPECT_EQ(info.GetMarkerCount(), 1);
    EXPECT_EQ(info.GetIncludeCount(), 2);
    EXPECT_EQ(info.GetSegmentCount(), 5);  // model, a, b and the library twice
    info.ComputeModelInfo(-1);
    EXPECT_EQ(info.GetSegmentCount(), 0);
    HC_Delete_By_Key(library);
}

TEST_F(ViewTest, ObjectSegmentsAreFoundFromAnyItemBelowThem)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const HC_KEY note = HC_Open_Segment("note");
    HC_Open_Segment("body");
    const HC_KEY text = HC_Insert_Text(0, 0, 0, "hello");
    HC_Close_Segment();
    HC_Close_Segment();
    const HC_KEY plain = HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    const char* info = "Line 1, with = and (brackets) %";
    ASSERT_TRUE(HObjectManager::SetHObjectSegment(note, "Annotation", info));
    char kind[256];
    EXPECT_EQ(HObjectManager::FindHObjectSegment(text, kind), note);
    EXPECT_STREQ(kind, "Annotation");
    EXPECT_EQ(HObjectManager::GetHObjectInfo(note), info);
    EXPECT_EQ(HObjectManager::FindHObjectSegment(plain, kind), -1);
    EXPECT_STREQ(kind, "");
    EXPECT_FALSE(HObjectManager::SetHObjectSegment(text, "Annotation"));  // not a segment
    EXPECT_FALSE(HObjectManager::SetHObjectSegment(note, ""));
    HObjectManager::UnSetHObjectSegment(note);
    EXPECT_EQ(HObjectManager::FindHObjectSegment(text), -1);
}

TEST_F(ViewTest, ConstantFrameRateTradesDetailOnlyWhileActive)
{
    HConstantFrameRate* rate = view->GetConstantFrameRateObject();
    rate->SetTargetFrameRate(20.0f);  // 50 ms budget
    EXPECT_EQ(rate->Watch(1.0f), 0);  // inactive: nothing changes
    rate->Start();
    // Up one level per slow frame, down one per fast frame.
    EXPECT_EQ(rate->Watch(0.2f), 1);
    EXPECT_EQ(rate->Watch(0.2f), 2);
    EXPECT_EQ(rate->Watch(0.2f), 3);
    EXPECT_EQ(rate->Watch(0.2f), HConstantFrameRate::kMaxLevel);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_GT(HC_Show_Existence("rendering options = lodo"), 0);
    HC_Close_Segment();
    // The deepest level is the one below it at half the resolution, a renderer setting.
    EXPECT_TRUE(ketra::render::GetReducedResolution(view->GetViewKey()));
    // Every finer level was just seen too slow: fast frames do not go back to them.
    EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel);
    // A new motion knows nothing yet. A frame of many budgets skips the levels in between;
    // fast frames then step back down.
    rate->EndMotion();
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    EXPECT_FALSE(ketra::render::GetReducedResolution(view->GetViewKey()));
    EXPECT_EQ(rate->Watch(0.3f), HConstantFrameRate::kMaxLevel);
    EXPECT_TRUE(ketra::render::GetReducedResolution(view->GetViewKey()));
    EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 1);
    EXPECT_FALSE(ketra::render::GetReducedResolution(view->GetViewKey()));
    EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 2);
    // At level 1 a frame of six budgets: the motion stays at level 2 while it is fast, and
    // tries level 1 again only after `wait` frames.
    auto tooSlowAtLevelOneThenRetriedAfter = [&](int wait) {
        EXPECT_EQ(rate->Watch(0.3f), HConstantFrameRate::kMaxLevel);
        EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 1);
        for (int i = 0; i < wait - 2; ++i)
            ASSERT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 1) << i;
        EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 2);
    };
    tooSlowAtLevelOneThenRetriedAfter(HConstantFrameRate::kRetryFrames);
    // Too slow again: the next try waits twice as long.
    tooSlowAtLevelOneThenRetriedAfter(2 * HConstantFrameRate::kRetryFrames);
    // A new motion starts from the shortest wait.
    rate->EndMotion();
    EXPECT_EQ(rate->Watch(0.3f), HConstantFrameRate::kMaxLevel);
    EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 1);
    EXPECT_EQ(rate->Watch(0.01f), HConstantFrameRate::kMaxLevel - 2);
    tooSlowAtLevelOneThenRetriedAfter(HConstantFrameRate::kRetryFrames);
    rate->Stop();
    EXPECT_FALSE(ketra::render::GetReducedResolution(view->GetViewKey()));
    EXPECT_FALSE(rate->GetActive());
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_EQ(HC_Show_Existence("rendering options = lodo"), 0);
    HC_Close_Segment();
}

TEST_F(ViewTest, AFinerLevelWhoseFirstFrameDrawsFarTooSlowlyIsLeftAtOnce)
{
    HConstantFrameRate* rate = view->GetConstantFrameRateObject();
    rate->SetTargetFrameRate(10.0f);  // 100 ms budget
    EXPECT_EQ(rate->WatchFirstAtLevel(10.0f), 0);  // inactive
    rate->Start();
    EXPECT_EQ(rate->Watch(0.5f), HConstantFrameRate::kMaxLevel);
    // Entered going coarser: the first frame there pays for the change and is not judged.
    EXPECT_EQ(rate->WatchFirstAtLevel(10.0f), HConstantFrameRate::kMaxLevel);
    EXPECT_EQ(rate->Watch(0.01f), 2);
    // Entered going finer: drawing of two budgets may be the new buffers' upload; of
    // unknown length, nothing is known.
    EXPECT_EQ(rate->WatchFirstAtLevel(0.2f), 2);
    EXPECT_EQ(rate->WatchFirstAtLevel(-1.0f), 2);
    EXPECT_EQ(rate->Watch(0.01f), 1);
    // Drawing alone of more than three budgets: back to where it came from at once...
    EXPECT_EQ(rate->WatchFirstAtLevel(0.35f), 2);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    char options[256] = "";
    HC_Show_One_Rendering_Option("lodo", options);
    HC_Close_Segment();
    EXPECT_STREQ(options, "(clamp = 2)");
    // ...and level 1 counts as seen too slow: fast frames stay at 2 until the retry.
    for (int i = 0; i < HConstantFrameRate::kRetryFrames - 1; ++i)
        ASSERT_EQ(rate->Watch(0.01f), 2) << i;
    EXPECT_EQ(rate->Watch(0.01f), 1);
    rate->Stop();
}

// A full-detail frame of many budgets tells that the level next to it would miss too: the
// motion does not try it until the retry, while the levels in between are tried as usual.
TEST_F(ViewTest, ALevelNextToOneFarTooSlowIsNotTried)
{
    HConstantFrameRate* rate = view->GetConstantFrameRateObject();
    rate->SetTargetFrameRate(10.0f);  // 100 ms budget
    rate->Start();
    EXPECT_EQ(rate->Watch(1.0f), HConstantFrameRate::kMaxLevel);  // level 0 at ten budgets
    EXPECT_EQ(rate->Watch(0.01f), 2);
    for (int i = 0; i < HConstantFrameRate::kRetryFrames - 2; ++i)
        ASSERT_EQ(rate->Watch(0.01f), 2) << i;
    EXPECT_EQ(rate->Watch(0.01f), 1);  // the retry
    EXPECT_EQ(rate->Watch(0.01f), 0);
    rate->Stop();
    // Level 0 at under eight budgets: level 1 is tried at once.
    rate->Start();
    EXPECT_EQ(rate->Watch(0.7f), HConstantFrameRate::kMaxLevel);
    EXPECT_EQ(rate->Watch(0.01f), 2);
    EXPECT_EQ(rate->Watch(0.01f), 1);
    rate->Stop();
}

// The window paints each frame some time after the Update that asked for it (no display
// driver draws here): this stands for that paint, taking `seconds`.
static void Paint(HBaseView& view, double seconds)
{
    ketra::render::NoteDisplayFrame(view.GetViewKey(), {.drawSeconds = seconds});
}

// The view's constant-frame-rate object started at 10 frames a second, after a first Update
// whose frame the window paints in `firstFrameSeconds`.
static HConstantFrameRate* StartedAtTenFramesASecond(HBaseView& view, double firstFrameSeconds)
{
    HConstantFrameRate* rate = view.GetConstantFrameRateObject();
    rate->SetTargetFrameRate(10.0f);
    rate->Start();
    view.Update();
    Paint(view, firstFrameSeconds);
    return rate;
}

static void Orbit(HBaseView& view)
{
    HC_Open_Segment_By_Key(view.GetSceneKey());
    HC_Orbit_Camera(10, 0);
    HC_Close_Segment();
    view.Update();
}

// Update feeds each frame's time while the camera moves; the first frame at rest is drawn at
// full detail again, and the object stays active for the next motion.
TEST_F(ViewTest, MovingUpdatesLowerTheDetailAndAFrameAtRestRestoresIt)
{
    HConstantFrameRate* rate = StartedAtTenFramesASecond(*view, 0.5);
    EXPECT_EQ(rate->GetDetailLevel(), 0);  // nothing moved yet
    Orbit(*view);  // five budgets: the deepest level at once
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    Paint(*view, 0.5);
    Orbit(*view);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_GT(HC_Show_Existence("rendering options = lodo"), 0);
    HC_Close_Segment();
    Paint(*view, 0.5);
    view->Update();  // at rest
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    EXPECT_TRUE(rate->GetActive());
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_EQ(HC_Show_Existence("rendering options = lodo"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lod"), 0);  // as before the motion
    HC_Close_Segment();
    rate->Stop();
    Paint(*view, 0.5);
    Orbit(*view);  // stopped: motion changes nothing
    EXPECT_EQ(rate->GetDetailLevel(), 0);
}

// A window's frames come after the Updates: each is judged by the Update that follows its
// paint, and an Update between two motion events with no frame painted since (an exposure)
// neither judges nor ends the motion.
TEST_F(ViewTest, FramesPaintedAfterTheUpdateAreJudgedAndAnExposureIsNoRest)
{
    HConstantFrameRate* rate = StartedAtTenFramesASecond(*view, 0.02);
    Orbit(*view);  // judges the fast frame at rest
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    Orbit(*view);  // before the window painted: nothing to judge
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    Paint(*view, 0.6);
    Orbit(*view);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    view->Update();  // exposed before the motion frame was painted
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    Paint(*view, 0.03);
    view->Update();  // the camera rests where the painted frame shows it
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    rate->Stop();
}

// A window's exposure at rest makes an Update that takes in the full-detail frame: the next
// motion still judges that frame before drawing its first, so a slow full frame makes the
// first motion frame coarse, and a fast one leaves it at full detail.
TEST_F(ViewTest, AFullFrameTakenInAtRestJudgesTheFirstFrameOfTheNextMotion)
{
    HConstantFrameRate* rate = StartedAtTenFramesASecond(*view, 0.5);
    view->Update();  // an exposure at rest
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    Orbit(*view);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    Paint(*view, 0.02);
    view->Update();  // at rest: the coarse motion frame is no full frame
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    Orbit(*view);
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    Paint(*view, 0.02);
    view->Update();
    Paint(*view, 0.03);  // the full frame at rest, fast
    view->Update();
    Orbit(*view);
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    rate->Stop();
}

// When motion frames simply stop coming, the view's timer asks for the full-detail frame:
// kMotionRestSeconds after the last motion frame, postponed by every further one.
TEST_F(ViewTest, AFrameAtRestFollowsTheLastMotionFrameWithoutFurtherInput)
{
    HTManager* timers = HTManager::Instance();
    // Ahead of the real clock, which the view arms its countdown by when that is later.
    const float t0 = HUtility::GetTime() + 100.0f;
    timers->SetCurrentTime(t0);
    const std::size_t clientsBefore = timers->ClientCount();
    HConstantFrameRate* rate = view->GetConstantFrameRateObject();
    rate->SetTargetFrameRate(1.0e9f);  // every frame is too slow: the deepest level
    rate->Start();
    view->Update();
    auto orbit = [&] {
        Orbit(*view);
        Paint(*view, 1.0);
    };
    auto lodo = [&] {
        HC_Open_Segment_By_Key(view->GetSceneKey());
        const bool set = HC_Show_Existence("rendering options = lodo") > 0;
        HC_Close_Segment();
        return set;
    };
    orbit();
    orbit();
    ASSERT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    EXPECT_EQ(timers->ClientCount(), clientsBefore + 1);
    const float rest = HBaseView::kMotionRestSeconds;
    timers->Tick(t0 + rest * 0.5f);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);  // not yet
    orbit();  // another motion frame: the countdown starts again from this tick
    timers->Tick(t0 + rest * 1.2f);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    EXPECT_TRUE(lodo());
    timers->Tick(t0 + rest * 1.6f);
    EXPECT_EQ(rate->GetDetailLevel(), 0);  // the frame at rest was drawn
    EXPECT_FALSE(lodo());
    EXPECT_EQ(timers->ClientCount(), clientsBefore);
    timers->Tick(t0 + rest * 4.0f);
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    // A window that paints the motion frame late: the countdown starts again when it is shown.
    orbit();
    orbit();
    ASSERT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    Orbit(*view);
    timers->Tick(t0 + rest * 4.8f);
    Paint(*view, 1.0);
    timers->Tick(t0 + rest * 5.2f);
    EXPECT_EQ(rate->GetDetailLevel(), HConstantFrameRate::kMaxLevel);
    timers->Tick(t0 + rest * 5.9f);
    EXPECT_EQ(rate->GetDetailLevel(), 0);
    // Without the constant-frame-rate object no timer is armed.
    rate->Stop();
    orbit();
    EXPECT_EQ(timers->ClientCount(), clientsBefore);
}
