// The base view window: window messages become view-layer events with the right type,
// position and flags; the mouse is captured for capturing operators; the view's key state and
// timers come from the port; copy renders the view; ownership of the view.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/RecordingPort.h"

namespace {

struct Seen {
    HEventType type;
    HPoint window;
    unsigned flags;
    unsigned key;
    float wheel;
};

class RecordingOperator : public HBaseOperator {
public:
    RecordingOperator(HBaseView* view, std::vector<Seen>& seen, int capture)
        : HBaseOperator(view, 0, capture), m_seen(seen)
    {
    }
    int Record(HEventInfo& e)
    {
        m_seen.push_back({e.GetType(), e.GetMouseWindowPos(), e.GetFlags(), e.GetChar(),
                          e.GetMouseWheelDelta()});
        return HOP_OK;
    }
    int OnLButtonDown(HEventInfo& e) override { return Record(e); }
    int OnLButtonUp(HEventInfo& e) override { return Record(e); }
    int OnMButtonDown(HEventInfo& e) override { return Record(e); }
    int OnRButtonDblClk(HEventInfo& e) override { return Record(e); }
    int OnLButtonDownAndMove(HEventInfo& e) override { return Record(e); }
    int OnNoButtonDownAndMove(HEventInfo& e) override { return Record(e); }
    int OnMouseWheel(HEventInfo& e) override { return Record(e); }
    int OnKeyDown(HEventInfo& e) override { return Record(e); }
    int OnKeyUp(HEventInfo& e) override { return Record(e); }
    int OnTimer(HEventInfo& e) override { return Record(e); }

private:
    std::vector<Seen>& m_seen;
};

class CHoopsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        model = std::make_unique<HBaseModel>();
        model->Init();
        window = std::make_unique<CHoopsView>(&port);
        view = new HBaseView(model.get());
        view->Init();
        window->SetHoopsView(view);
        window->OnSize(0, 200, 100);
    }
    void TearDown() override
    {
        window.reset();
        model.reset();
    }

    ketra::window::RecordingPort port;
    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<CHoopsView> window;
    HBaseView* view = nullptr;  // owned by the window
    std::vector<Seen> seen;
};

TEST_F(CHoopsViewTest, MouseMessagesReachTheOperatorAsEvents)
{
    view->SetOperator(new RecordingOperator(view, seen, 1));
    int width = 0, height = 0;
    view->GetWindowSizeInPixels(width, height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);

    window->OnLButtonDown(MK_LBUTTON | MK_SHIFT, CPoint(0, 0));
    EXPECT_TRUE(port.captured);
    window->OnMouseMove(MK_LBUTTON | MK_CONTROL, CPoint(199, 99));
    window->OnLButtonUp(0, CPoint(100, 50));
    EXPECT_FALSE(port.captured);
    window->OnMouseMove(0, CPoint(100, 50));
    window->OnRButtonDblClk(MK_RBUTTON, CPoint(10, 10));

    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].type, HE_LButtonDown);
    EXPECT_NEAR(seen[0].window.x, -1.0f + 1.0f / 200, 1e-5);  // pixel centres
    EXPECT_NEAR(seen[0].window.y, 1.0f - 1.0f / 100, 1e-5);
    EXPECT_EQ(seen[0].flags, static_cast<unsigned>(MVO_LBUTTON | MVO_SHIFT));
    EXPECT_EQ(seen[1].type, HE_MouseMove);
    EXPECT_EQ(seen[1].flags, static_cast<unsigned>(MVO_LBUTTON | MVO_CONTROL));
    EXPECT_NEAR(seen[1].window.x, 1.0f - 1.0f / 200, 1e-5);
    EXPECT_NEAR(seen[1].window.y, -1.0f + 1.0f / 100, 1e-5);
    EXPECT_EQ(seen[2].type, HE_LButtonUp);
    EXPECT_EQ(seen[3].type, HE_MouseMove);  // no button: OnNoButtonDownAndMove
    EXPECT_EQ(seen[4].type, HE_RButtonDblClk);
    EXPECT_EQ(window->GetLastMousePoint(), CPoint(10, 10));
}

TEST_F(CHoopsViewTest, NonCapturingOperatorsLeaveTheMouseFree)
{
    view->SetOperator(new RecordingOperator(view, seen, 0));
    window->OnMButtonDown(MK_MBUTTON, CPoint(5, 5));
    EXPECT_FALSE(port.Called("SetCapture"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].flags, static_cast<unsigned>(MVO_MBUTTON));
}

TEST_F(CHoopsViewTest, AltComesFromTheKeyboardState)
{
    view->SetOperator(new RecordingOperator(view, seen, 1));
    port.keysDown = {VK_MENU, VK_SHIFT};
    EXPECT_EQ(window->MapFlags(MK_LBUTTON), static_cast<unsigned>(MVO_LBUTTON | MVO_ALT));
    EXPECT_EQ(window->KeyboardStateFlags(), static_cast<unsigned long>(MK_SHIFT));
    window->OnKeyDown('W', 3, 0);
    window->OnKeyUp('W', 1, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].type, HE_KeyDown);
    EXPECT_EQ(seen[0].key, static_cast<unsigned>('W'));
    EXPECT_EQ(seen[0].flags, static_cast<unsigned>(MVO_SHIFT | MVO_ALT));
    EXPECT_EQ(seen[1].type, HE_KeyUp);
}

TEST_F(CHoopsViewTest, WheelCarriesDeltaAndCursor)
{
    view->SetOperator(new RecordingOperator(view, seen, 1));
    EXPECT_TRUE(window->OnMouseWheel(MK_CONTROL, -240, CPoint(150, 25)));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, HE_MouseWheel);
    EXPECT_FLOAT_EQ(seen[0].wheel, -240.0f);
    EXPECT_NEAR(seen[0].window.x, 0.505f, 1e-4);
    EXPECT_NEAR(seen[0].window.y, 0.49f, 1e-4);
    EXPECT_EQ(seen[0].flags, static_cast<unsigned>(MVO_CONTROL));
}

TEST_F(CHoopsViewTest, KeyStateAndTimersComeThroughThePort)
{
    port.keysDown = {'W'};
    EXPECT_TRUE(view->GetKeyState('W'));
    EXPECT_FALSE(view->GetKeyState('S'));

    window->OnInitialUpdate();
    ASSERT_EQ(port.timers.count(CHoopsView::kTimerManagerTimer), 1u);
    struct Counter : HTClient {
        int ticks = 0;
        Counter() : HTClient(0.001f) {}
        bool Tick(float, float) override { ++ticks; return true; }
    } client;
    HUtility::GetTime();  // starts the clock the window's ticks read
    HTManager::Instance()->RegisterClient(&client);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    window->OnTimer(CHoopsView::kTimerManagerTimer);
    HTManager::Instance()->UnRegisterClient(&client);
    EXPECT_GE(client.ticks, 1);

    view->SetOperator(new RecordingOperator(view, seen, 1));
    window->OnTimer(7);  // other timers are events for the operator
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, HE_Timer);

    window.reset();  // the window's timer stops with it
    EXPECT_EQ(port.timers.count(CHoopsView::kTimerManagerTimer), 0u);
}

TEST_F(CHoopsViewTest, ViewsOwnedOrLent)
{
    // Replacing an owned view deletes it: its display segment goes away.
    const HC_KEY oldKey = view->GetViewKey();
    HBaseView lent(model.get());
    lent.Init();
    window->SetHoopsView(&lent, false);
    char type[64] = "";
    HC_Show_Key_Type(oldKey, type);
    EXPECT_STRNE(type, "segment");
    EXPECT_EQ(window->GetViewKey(), lent.GetViewKey());
    window->SetHoopsView(nullptr);
    EXPECT_EQ(window->GetViewKey(), -1);
    EXPECT_EQ(window->GetSceneKey(), -1);
    EXPECT_FALSE(lent.GetKeyState('W'));  // the window's key state left with it

    // Without a view every message is ignored.
    window->OnLButtonDown(MK_LBUTTON, CPoint(1, 1));
    window->OnKeyDown(VK_LEFT, 1, 0);
    EXPECT_FALSE(window->OnMouseWheel(0, 120, CPoint(1, 1)));
    window->OnTimer(3);
    window->OnPaint();
    EXPECT_FALSE(window->OnEditCopy());
}

TEST_F(CHoopsViewTest, CopyPutsThePictureOnTheClipboard)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const float points[] = {-1, -1, 0, 1, 1, 0};
    HC_Insert_Line(points[0], points[1], points[2], points[3], points[4], points[5]);
    HC_Close_Segment();
    window->OnSize(0, 64, 48);
    ASSERT_TRUE(window->OnEditCopy());
    EXPECT_EQ(port.clipboardImages, 1);
    EXPECT_TRUE(port.Called("SetClipboardImage 64x48"));
    port.clipboardOk = false;
    EXPECT_FALSE(window->OnEditCopy());
    ketra::window::PrintRequest request;
    request.grayscale = true;
    EXPECT_TRUE(window->OnFilePrint(request));
    EXPECT_TRUE(port.lastPrint.grayscale);
}

} // namespace
