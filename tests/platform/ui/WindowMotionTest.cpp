// A drag in the viewer's OpenGL window on the sample plant: the motion frames are drawn
// coarser but still show the plant in its colours, and letting go of the button brings the
// full-detail frame at once, not after the view's rest countdown.
#include "UiTestSupport.h"

#include "ViewerApp.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/ui/HoopsViewSurface.h"
#include "view/window/CHoopsViewEx.h"

#include <QMouseEvent>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

using uitest::WaitFor;

namespace {

using Clock = std::chrono::steady_clock;

// Pixels of each hue (in steps of 20 degrees) among the clearly coloured ones (not grey, not
// white): a lit face and an unlit line of one colour count alike.
std::map<int, long> Hues(const QImage& image) {
    std::map<int, long> count;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (c.hsvSaturationF() >= 0.25f && c.valueF() >= 0.2f)
                ++count[c.hsvHue() / 20];
        }
    return count;
}

TEST(WindowMotion, MotionFramesKeepThePlantsColoursAndLettingGoDrawsFullDetailAtOnce) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ketra_motion_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    setenv("KETRA_REGISTRY", (folder / "registry.reg").c_str(), 1);
    {
        ketra::app::ViewerApp app(ketra::app::ViewerOptions{});
        ASSERT_TRUE(app.OpenFile(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json"));
        app.Show();
        ketra::ui::HoopsViewSurface* surface = app.Frame().Surface();
        ASSERT_NE(surface, nullptr);
        if (!surface->IsOpenGL())
            GTEST_SKIP() << "no OpenGL in the window here";
        HBaseView* view = app.MainWindow().GetHoopsView();
        HConstantFrameRate* rate = view->GetConstantFrameRateObject();
        // Every painted frame is too slow for this target: the drag coarsens at once.
        rate->SetTargetFrameRate(2000.0f);
        QImage rest;
        ASSERT_TRUE(WaitFor([&] { return !(rest = app.Frame().Picture()).isNull(); }));
        const std::map<int, long> restHues = Hues(rest);

        int shown = 0;
        Clock::time_point lastShown;
        surface->SetShownListener([&] {
            ++shown;
            lastShown = Clock::now();
        });
        QWidget* area = surface->Widget();
        auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, int atX) {
            const QPointF at(atX, 150);
            QMouseEvent event(type, at, area->mapToGlobal(at), button, held, {});
            QApplication::sendEvent(area, &event);
        };
        // Presses at `x` and moves right, each motion frame shown, until the motion coarsens.
        auto drag = [&](int& x) {
            send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, x);
            for (int i = 0; i < 4 && rate->GetDetailLevel() == 0; ++i) {
                const int before = shown;
                send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, x += 6);
                ASSERT_TRUE(WaitFor([&] { return shown > before; }));
            }
            ASSERT_GT(rate->GetDetailLevel(), 0);
        };
        int x = 100;
        drag(x);
        const QImage moving = app.Frame().Picture();  // drawn at the motion's detail
        ASSERT_FALSE(moving.isNull());

        // Each colour the plant shows at rest is still there while it moves: pipes, supports
        // and steel keep their colours instead of one flat colour or nothing.
        const std::map<int, long> movingHues = Hues(moving);
        int hues = 0;
        for (const auto& [hue, pixels] : restHues) {
            if (pixels < 200)
                continue;  // a few pixels: edges blended with the background
            ++hues;
            const auto found = movingHues.find(hue);
            EXPECT_GT(found == movingHues.end() ? 0 : found->second, pixels / 20)
                << "hue " << hue * 20 << " covers " << pixels << " pixels at rest";
        }
        EXPECT_GE(hues, 2);

        // Letting go after the last motion frame was shown: full detail now.
        send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, x);
        EXPECT_EQ(rate->GetDetailLevel(), 0);
        const int rested = shown;
        ASSERT_TRUE(WaitFor([&] { return shown > rested; }));

        // Letting go before the last motion frame was shown: full detail right after it, well
        // before the rest countdown (which starts when that frame is shown) could end it.
        drag(x);
        const int before = shown;
        send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, x += 6);
        send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, x);
        ASSERT_GT(rate->GetDetailLevel(), 0);
        ASSERT_TRUE(WaitFor([&] { return shown > before; }));
        ASSERT_TRUE(WaitFor([&] { return rate->GetDetailLevel() == 0; }));
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - lastShown).count(),
                  HBaseView::kMotionRestSeconds);
        surface->SetShownListener({});
    }
    unsetenv("KETRA_REGISTRY");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace
