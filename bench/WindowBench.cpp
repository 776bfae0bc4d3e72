// Orbiting a generated plant in the viewer's own window: `ketra view` (ViewerApp) on an X
// server, OpenGL in the window (llvmpipe on Xvfb), its drawing area sized 1280 x 1024 like
// InteractiveBench's headless view, so the two compare. A left drag is sent as a mouse would
// send it (a move every 10 ms, 4 pixels each) for kDragSeconds, then the button is let go.
// Each frame is timed where the window shows it: from the start of the drawing area's paint
// to its picture on screen, with the renderer's own walk and draw inside.
//
// Counters: `moving_median_ms` and `moving_p90_ms` (intervals between shown frames while
// dragging), `moving_fps`, `render_ms` and `paint_ms` (medians per moving frame; the interval
// less the paint is the event handling between frames), `show_only_ms` (a repaint showing the
// kept frame again: the window's own cost per frame), `moving_level` (the median level of
// detail while moving), `full_after_release_ms` (release to the full-detail frame shown),
// `full_ms` (that frame's own walk and draw) and `first_picture_s`. Without a display the
// program runs itself under `xvfb-run -a` with a screen large enough.
//
// The second argument, 1, opens View > Overview beside the drawing area (the drawing area
// keeps its size; the screen is wide enough for both).
//
//   ./build/bench/WindowBench
#include "ViewerApp.h"
#include "host/ModelGenerator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/render/Renderer.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/ui/HoopsViewSurface.h"
#include "platform/window/CHoopsView.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kDragSeconds = 4.0;
constexpr int kWidth = 1280, kHeight = 1024;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

bool Spin(const std::function<bool()>& done, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// One frame as the window showed it.
struct Shown {
    Clock::time_point at;
    double paintMs = 0;   // the drawing area's paint event: the renderer's frame, its copy
                          // into the window and the swap
    double renderMs = 0;  // of that, the renderer's walk and draw
    int level = 0;        // the motion's level of detail (0: full detail)
};

// Watches the drawing area: times its paint events up to the picture on screen.
class FrameClock : public QObject {
public:
    FrameClock(ketra::ui::HoopsViewSurface& surface, const HConstantFrameRate* rate)
        : m_key(surface.ViewWindow()->GetViewKey()), m_rate(rate) {
        surface.Widget()->installEventFilter(this);
        surface.SetShownListener([this] { Painted(); });
    }
    std::vector<Shown> frames;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) m_paintStart = Clock::now();
        return false;
    }

private:
    void Painted() {
        Shown s;
        s.at = Clock::now();
        s.paintMs = Ms(s.at - m_paintStart);
        if (const auto* t = ketra::render::DisplayFrameTimings(m_key); t && t->frame != m_lastFrame) {
            m_lastFrame = t->frame;
            s.renderMs = (t->walkSeconds + t->drawSeconds) * 1e3;
        }
        s.level = m_rate->GetDetailLevel();
        frames.push_back(s);
    }
    long m_key;
    const HConstantFrameRate* m_rate;
    std::uint64_t m_lastFrame = 0;
    Clock::time_point m_paintStart;
};

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButtons buttons, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void BM_WindowOrbitGeneratedPlant(benchmark::State& state) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ketra_window_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path model = folder / "generated.json";
    {
        std::ofstream out(model);
        ketra::host::GenerateModel(out, static_cast<int>(state.range(0)));
    }
    // A settings store of its own: the user's window layout and docks stay out of it.
    setenv("KETRA_REGISTRY", (folder / "registry.reg").c_str(), 1);

    for (auto _ : state) {
        const auto start = Clock::now();
        ketra::app::ViewerApp app(ketra::app::ViewerOptions{});
        std::string error;
        if (!app.OpenFile(model.string(), &error, true)) {
            state.SkipWithError(error.c_str());
            break;
        }
        app.Show();
        ketra::ui::HoopsViewSurface* surface = app.Frame().Surface();
        if (!surface || !surface->IsOpenGL()) {
            state.SkipWithError("the viewer does not draw with OpenGL in the window here");
            break;
        }
        if (state.range(1) != 0) {
            // View > Overview: a second view of the whole plant, following the main camera.
            QAction* overview = nullptr;
            for (QAction* a : app.Frame().findChildren<QAction*>())
                if (a->shortcut() == QKeySequence("Ctrl+Shift+V")) overview = a;
            if (!overview) {
                state.SkipWithError("no View > Overview command");
                break;
            }
            overview->trigger();
        }
        QWidget* gl = surface->Widget();
        // The drawing area at the headless benchmark's size.
        QWidget* frame = &app.Frame();
        frame->resize(frame->width() + kWidth - gl->width(), frame->height() + kHeight - gl->height());
        FrameClock clock(*surface, surface->ViewWindow()->GetHoopsView()->GetConstantFrameRateObject());
        // The first picture: the first frame at the final size, and the window quiet after it.
        Spin([&] { return !clock.frames.empty() && gl->width() == kWidth && gl->height() == kHeight; }, 120);
        Spin([] { return false; }, 1.0);
        const double first = std::chrono::duration<double>(Clock::now() - start).count() - 1.0;

        // Showing a frame without drawing one: repaints of the unchanged picture (exposes,
        // which the widget answers with the framebuffer it kept), so the window's own cost.
        std::vector<double> showOnly;
        for (int i = 0; i < 20; ++i) {
            const size_t before = clock.frames.size();
            const auto asked = Clock::now();
            gl->update();
            if (!Spin([&] { return clock.frames.size() > before; }, 5)) break;
            showOnly.push_back(Ms(clock.frames.back().at - asked));
            Spin([] { return false; }, 0.02);
        }

        // The drag.
        clock.frames.clear();
        QPoint at(kWidth / 2 - 300, kHeight / 2);
        Mouse(gl, QEvent::MouseButtonPress, Qt::LeftButton, at);
        QTimer mover;
        QObject::connect(&mover, &QTimer::timeout, [&] {
            at.rx() += 4;
            Mouse(gl, QEvent::MouseMove, Qt::LeftButton, at);
        });
        mover.start(10);
        Spin([] { return false; }, kDragSeconds);
        mover.stop();
        std::vector<Shown> moving = clock.frames;
        clock.frames.clear();
        const auto released = Clock::now();
        Mouse(gl, QEvent::MouseButtonRelease, Qt::NoButton, at);
        auto full = [&] {
            for (const Shown& s : clock.frames)
                if (s.level == 0) return &s;
            return static_cast<const Shown*>(nullptr);
        };
        Spin([&] { return full() != nullptr; }, 30);

        // Frames of the motion itself: the first shows the press's full-detail picture.
        std::vector<double> intervals, render, paint;
        for (size_t i = 1; i < moving.size(); ++i) {
            intervals.push_back(Ms(moving[i].at - moving[i - 1].at));
            render.push_back(moving[i].renderMs);
            paint.push_back(moving[i].paintMs);
        }
        std::vector<double> levels;
        for (const Shown& s : moving) levels.push_back(s.level);
        state.counters["first_picture_s"] = first;
        state.counters["moving_frames"] = static_cast<double>(moving.size());
        state.counters["moving_median_ms"] = Percentile(intervals, 0.5);
        state.counters["moving_p90_ms"] = Percentile(intervals, 0.9);
        state.counters["moving_fps"] =
            moving.size() > 1 ? 1e3 * static_cast<double>(moving.size() - 1) / Ms(moving.back().at - moving.front().at) : 0;
        state.counters["render_ms"] = Percentile(render, 0.5);
        state.counters["paint_ms"] = Percentile(paint, 0.5);
        state.counters["show_only_ms"] = Percentile(showOnly, 0.5);
        state.counters["moving_level"] = Percentile(levels, 0.5);
        if (const Shown* f = full()) {
            state.counters["full_after_release_ms"] = Ms(f->at - released);
            state.counters["full_ms"] = f->renderMs;
        } else {
            state.SkipWithError("no full-detail frame within 30 s of the release");
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
// The second argument opens the overview dock beside the view.
BENCHMARK(BM_WindowOrbitGeneratedPlant)->Args({20000, 0})->Args({20000, 1})->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    // Qt needs a display: without one, run again under a virtual X server large enough for
    // the frame around a 1280 x 1024 drawing area.
    if (!std::getenv("DISPLAY") && !std::getenv("KETRA_BENCH_UNDER_XVFB")) {
        setenv("KETRA_BENCH_UNDER_XVFB", "1", 1);
        std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                const_cast<char*>("-s"), const_cast<char*>("-screen 0 2400x1400x24")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::perror("xvfb-run");
        return 1;
    }
    // As `ketra view` starts: one GL share group for every view.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
