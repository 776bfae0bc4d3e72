// The drawing areas under a real X server: Qt input reaches the view window as Windows
// messages with the right flags and pixel points, keys map to virtual-key codes, the view's
// updates repaint the widget without loops, and both forms draw the model.
#include "UiTestSupport.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseView.h"
#include "platform/render/Renderer.h"
#include "platform/ui/HoopsRasterWidget.h"
#include "platform/ui/HoopsViewWidget.h"
#include "platform/ui/QtWindowPort.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QMainWindow>
#include <QSplitter>
#include <QScreen>
#include <QWheelEvent>

#include <memory>

using ketra::ui::HoopsRasterWidget;
using ketra::ui::HoopsViewSurface;
using ketra::ui::HoopsViewWidget;
using ketra::ui::QtWindowPort;
using ketra::ui::VirtualKeyFromQt;
using uitest::RecordingView;

namespace {

TEST(VirtualKeyFromQt, MapsTheKeysTheOperatorsAndCommandsRead) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        unsigned int vk;
    };
    const Case cases[] = {
        {Qt::Key_Left, {}, 0x25},
        {Qt::Key_Up, {}, 0x26},
        {Qt::Key_Right, {}, 0x27},
        {Qt::Key_Down, {}, 0x28},
        {Qt::Key_Delete, {}, 0x2E},
        {Qt::Key_A, {}, 0x41},
        {Qt::Key_W, Qt::ShiftModifier, 0x57},
        {Qt::Key_Z, {}, 0x5A},
        {Qt::Key_0, {}, 0x30},
        {Qt::Key_9, {}, 0x39},
        {Qt::Key_5, Qt::KeypadModifier, 0x65},
        {Qt::Key_Plus, {}, 0x6B},
        {Qt::Key_Plus, Qt::KeypadModifier, 0x6B},
        {Qt::Key_Equal, {}, 0x3D},
        {Qt::Key_Minus, {}, 0x6D},
        {Qt::Key_Minus, Qt::KeypadModifier, 0x6D},
        {Qt::Key_Asterisk, {}, 0x6A},
        {Qt::Key_Escape, {}, 0x1B},
        {Qt::Key_Return, {}, 0x0D},
        {Qt::Key_Enter, Qt::KeypadModifier, 0x0D},
        {Qt::Key_Shift, {}, 0x10},
        {Qt::Key_Control, {}, 0x11},
        {Qt::Key_Alt, {}, 0x12},
        {Qt::Key_Space, {}, 0x20},
        {Qt::Key_F1, {}, 0x70},
        {Qt::Key_F12, {}, 0x7B},
        {Qt::Key_Home, {}, 0x24},
        {Qt::Key_PageDown, {}, 0x22},
        // Keys without a code here are left to Qt.
        {Qt::Key_VolumeUp, {}, 0},
        {Qt::Key_Launch0, {}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VirtualKeyFromQt(c.key, c.modifiers), c.vk) << "Qt key 0x" << std::hex << c.key;
}

// A drawing area of each form around a recording window, shown on the X server.
class SurfaceInputTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        window = std::make_unique<RecordingView>(&port);
        if (GetParam())
            surface = new HoopsViewWidget(window.get());
        else
            surface = new HoopsRasterWidget(window.get());
        widget.reset(surface->Widget());
        port.SetWindow(window.get());
        port.SetSurface(surface);
        widget->resize(400, 300);
        widget->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
        widget->activateWindow();
        widget->setFocus();
        window->messages.clear();
        window->setCursors.clear();
    }
    void TearDown() override {
        widget.reset();
        window.reset();
    }

    void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at,
               Qt::KeyboardModifiers modifiers = {}) {
        QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                          modifiers);
        QApplication::sendEvent(widget.get(), &event);
    }
    void Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
             bool repeat = false) {
        QKeyEvent event(type, key, modifiers, QString(), repeat);
        QApplication::sendEvent(widget.get(), &event);
    }

    QtWindowPort port;
    std::unique_ptr<RecordingView> window;
    HoopsViewSurface* surface = nullptr;
    std::unique_ptr<QWidget> widget;
};

TEST_P(SurfaceInputTest, MouseButtonsAndMovesCarryTheHeldButtonsShiftAndControl) {
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {10, 20}, Qt::ShiftModifier);
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton | Qt::MiddleButton, {30, 40},
          Qt::ControlModifier);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::MiddleButton, {31, 41});
    Mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, {32, 42});
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {5, 6});
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {5, 6});
    Mouse(QEvent::MouseButtonDblClick, Qt::RightButton, Qt::RightButton, {5, 6});
    Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {7, 8});
    Mouse(QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton | Qt::RightButton,
          {399, 299});
    Mouse(QEvent::MouseButtonDblClick, Qt::MiddleButton, Qt::MiddleButton, {1, 1});
    Mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, {0, 0});
    // Buttons Windows has no message for are dropped.
    Mouse(QEvent::MouseButtonPress, Qt::BackButton, Qt::BackButton, {2, 2});

    const std::vector<std::string> expected = {
        "LButtonDown 0x5 10,20",  "MouseMove 0x19 30,40",  "LButtonUp 0x10 31,41",
        "MButtonUp 0x0 32,42",    "RButtonDown 0x2 5,6",   "RButtonUp 0x0 5,6",
        "RButtonDblClk 0x2 5,6",  "LButtonDblClk 0x1 7,8", "MButtonDown 0x12 399,299",
        "MButtonDblClk 0x10 1,1", "MouseMove 0x0 0,0",
    };
    EXPECT_EQ(window->messages, expected);
    // The window is asked about the cursor before each move and press (client area, message).
    using Asked = std::pair<unsigned int, unsigned int>;
    EXPECT_EQ(window->setCursors,
              (std::vector<Asked>{{1, 0x201}, {1, 0x200}, {1, 0x204}, {1, 0x207}, {1, 0x200}}));
}

TEST_P(SurfaceInputTest, WheelGivesOneHundredTwentyPerNotchAtTheCursor) {
    QWheelEvent down(QPointF(50, 60), QPointF(widget->mapToGlobal(QPoint(50, 60))), QPoint(),
                     QPoint(0, -240), Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget.get(), &down);
    QWheelEvent sideways(QPointF(50, 60), QPointF(widget->mapToGlobal(QPoint(50, 60))), QPoint(),
                         QPoint(120, 0), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget.get(), &sideways);
    EXPECT_EQ(window->messages, std::vector<std::string>{"MouseWheel -240 0x4 50,60"});
}

TEST_P(SurfaceInputTest, KeysArriveAsVirtualKeysWithAltRepeatAndExtendedFlags) {
    Key(QEvent::KeyPress, Qt::Key_Right);
    Key(QEvent::KeyPress, Qt::Key_Right, {}, true);
    Key(QEvent::KeyRelease, Qt::Key_Right, {}, true); // Windows has no key-up for repeats
    Key(QEvent::KeyRelease, Qt::Key_Right);
    Key(QEvent::KeyPress, Qt::Key_A, Qt::AltModifier);
    Key(QEvent::KeyPress, Qt::Key_Plus);
    Key(QEvent::KeyPress, Qt::Key_Delete);
    Key(QEvent::KeyPress, Qt::Key_VolumeUp);
    const std::vector<std::string> expected = {
        "KeyDown 0x27 1 0x100",  "KeyDown 0x27 1 0x4100", "KeyUp 0x27 1 0x100",
        "KeyDown 0x41 1 0x2000", "KeyDown 0x6b 1 0x0",    "KeyDown 0x2e 1 0x100",
    };
    EXPECT_EQ(window->messages, expected);
}

TEST_P(SurfaceInputTest, PortReportsKeysHeldInTheWidgetUntilReleasedOrFocusIsLost) {
    EXPECT_FALSE(port.IsKeyDown('W'));
    Key(QEvent::KeyPress, Qt::Key_W);
    Key(QEvent::KeyPress, Qt::Key_Up);
    EXPECT_TRUE(port.IsKeyDown('W'));
    EXPECT_TRUE(port.IsKeyDown(VK_UP));
    Key(QEvent::KeyRelease, Qt::Key_W);
    EXPECT_FALSE(port.IsKeyDown('W'));
    EXPECT_TRUE(port.IsKeyDown(VK_UP));
    QFocusEvent lost(QEvent::FocusOut);
    QApplication::sendEvent(widget.get(), &lost);
    EXPECT_FALSE(port.IsKeyDown(VK_UP));
    // Nothing real is held on the virtual display.
    EXPECT_FALSE(port.IsKeyDown(VK_SHIFT));
    EXPECT_FALSE(port.IsKeyDown(VK_LBUTTON));
}

TEST_P(SurfaceInputTest, ResizeLeaveAndTimersReachTheWindow) {
    widget->resize(500, 320);
    QTest::qWait(50);
    ASSERT_FALSE(window->Only("Size").empty());
    EXPECT_EQ(window->Only("Size").back(), "Size 500x320");
    EXPECT_EQ(port.ClientSize(), (CSize{500, 320}));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget.get(), &leave);
    EXPECT_TRUE(window->Only("MouseLeave").empty() && window->messages.back() != "MouseLeave");
    port.TrackMouseLeave();
    QApplication::sendEvent(widget.get(), &leave);
    QApplication::sendEvent(widget.get(), &leave);
    EXPECT_EQ(std::count(window->messages.begin(), window->messages.end(), "MouseLeave"), 1);

    port.SetTimer(7, 10);
    QTest::qWait(120);
    EXPECT_TRUE(port.HasTimer(7));
    EXPECT_GE(window->Only("Timer").size(), 2u);
    port.KillTimer(7);
    EXPECT_FALSE(port.HasTimer(7));
    window->messages.clear();
    QTest::qWait(60);
    EXPECT_TRUE(window->Only("Timer").empty());
}

TEST_P(SurfaceInputTest, ClientPointsMapToTheScreenThroughTheWidget) {
    const QPoint global = widget->mapToGlobal(QPoint(12, 34));
    EXPECT_EQ(port.ClientToScreen(CPoint(12, 34)), CPoint(global.x(), global.y()));
}

INSTANTIATE_TEST_SUITE_P(BothForms, SurfaceInputTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "OpenGL" : "Raster"; });

// A real view with a box in it, shown in each form of drawing area.
class SurfaceDrawingTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        model = std::make_unique<HBaseModel>();
        model->Init();
        HC_Open_Segment_By_Key(model->GetModelKey());
        const float points[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
        const int faces[] = {4, 0, 1, 2, 3};
        HC_Insert_Shell(4, points, 5, faces);
        HC_Set_Color("faces=red");
        HC_Close_Segment();
        view = new HBaseView(model.get());
        view->Init();
        view->SetWindowSizeInPixels(300, 200);
        window = std::make_unique<RecordingView>(&port);
        window->SetHoopsView(view, true);
        view->ZoomToExtents();
        if (GetParam())
            surface = new HoopsViewWidget(window.get());
        else
            surface = new HoopsRasterWidget(window.get());
        widget.reset(surface->Widget());
        port.SetWindow(window.get());
        port.SetSurface(surface);
        widget->resize(300, 200);
        widget->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
        QTest::qWait(200);
    }
    void TearDown() override {
        widget.reset();
        window.reset();
        model.reset();
    }

    QtWindowPort port;
    std::unique_ptr<HBaseModel> model;
    HBaseView* view = nullptr; // owned by the window
    std::unique_ptr<RecordingView> window;
    HoopsViewSurface* surface = nullptr;
    std::unique_ptr<QWidget> widget;
};

TEST_P(SurfaceDrawingTest, DrawsTheViewAndRepaintsOnUpdatesWithoutLooping) {
    const QImage picture = surface->Grab().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());
    const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_GT(centre.red(), 150);
    EXPECT_LT(centre.green(), 100);
    EXPECT_NE(picture.pixelColor(0, 0), centre);

    // Settled: nothing paints on its own, so painting does not feed itself.
    const int paints = surface->PaintCount();
    const int onPaints = window->paints;
    EXPECT_GE(onPaints, 1); // the first expose reached the window
    QTest::qWait(300);
    EXPECT_EQ(surface->PaintCount(), paints);
    EXPECT_EQ(window->paints, onPaints);

    // Several updates in a row give one repaint.
    for (int i = 0; i < 5; ++i) {
        HC_Open_Segment_By_Key(model->GetModelKey());
        HC_Set_Color(i % 2 ? "faces=blue" : "faces=green");
        HC_Close_Segment();
        view->Update();
    }
    QTest::qWait(200);
    EXPECT_EQ(surface->PaintCount(), paints + 1);
    EXPECT_EQ(window->paints, onPaints);

    // Invalidate asks the window once, later, however often it is called.
    port.Invalidate();
    port.Invalidate();
    EXPECT_EQ(window->paints, onPaints);
    QTest::qWait(100);
    EXPECT_EQ(window->paints, onPaints + 1);
}

// Qt exposes the OpenGL form (shown, uncovered) with paints of its own. The framebuffer keeps
// the last frame, so an expose with nothing changed since shows it without drawing the scene
// again, and the view window's answer to the expose (a forced redraw) asks for no frame.
TEST_P(SurfaceDrawingTest, AnExposeWithNothingChangedShowsTheLastFrameWithoutDrawing) {
    if (!GetParam())
        GTEST_SKIP() << "the raster form draws every paint";
    const auto frame = [&] { return ketra::render::DisplayFrameTimings(view->GetViewKey())->frame; };
    ASSERT_NE(ketra::render::DisplayFrameTimings(view->GetViewKey()), nullptr);
    const std::uint64_t drawn = frame();
    const int paints = surface->PaintCount();
    const int onPaints = window->paints;
    widget->update();  // an expose: not asked for by the view
    QTest::qWait(200);
    EXPECT_EQ(surface->PaintCount(), paints + 1);
    EXPECT_EQ(window->paints, onPaints + 1);
    EXPECT_EQ(frame(), drawn);
    const QImage shown = widget->screen()->grabWindow(widget->winId()).toImage();
    const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    EXPECT_GT(centre.red(), 150);
    EXPECT_LT(centre.green(), 100);
    // Changed since: the expose draws.
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Orbit_Camera(20, 0);
    HC_Close_Segment();
    widget->update();
    QTest::qWait(200);
    EXPECT_GT(frame(), drawn);
}

// Moved into another window (as into the four views' splitter), the OpenGL form gets a new
// context; it draws once, at the size its new layout gives it, not first at its old size.
TEST_P(SurfaceDrawingTest, MovingToAnotherWindowDrawsOnceAtTheNewSize) {
    if (!GetParam())
        GTEST_SKIP() << "the raster form has no context to remake";
    const auto frame = [&] { return ketra::render::DisplayFrameTimings(view->GetViewKey())->frame; };
    ASSERT_NE(ketra::render::DisplayFrameTimings(view->GetViewKey()), nullptr);
    auto host = std::make_unique<QMainWindow>();
    host->resize(400, 300);
    QWidget* moved = widget.release();
    host->setCentralWidget(moved);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    QTest::qWait(200);
    const std::uint64_t drawn = frame();
    host->takeCentralWidget();
    auto* splitter = new QSplitter(host.get());
    splitter->addWidget(moved);
    auto* beside = new QWidget(splitter);
    beside->setMinimumWidth(150);
    splitter->addWidget(beside);
    host->setCentralWidget(splitter);
    QTest::qWait(300);
    EXPECT_EQ(frame(), drawn + 1);
    const QImage picture = surface->Grab().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), moved->width() * moved->devicePixelRatio());
    const QColor centre = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    EXPECT_GT(centre.red(), 150);
    EXPECT_LT(centre.green(), 100);
    widget.reset(moved);
    moved->setParent(nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothForms, SurfaceDrawingTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "OpenGL" : "Raster"; });

} // namespace
