#include "platform/ui/HoopsViewSurface.h"

#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/render/Renderer.h"
#include "platform/render/WindowContextRelease.h"
#include "platform/ui/HoopsRasterWidget.h"
#include "platform/ui/HoopsViewWidget.h"
#include "platform/window/CHoopsView.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace ketra::ui {

HoopsViewSurface::HoopsViewSurface(CHoopsView* window) {
    m_input.SetWindow(window);
    RefreshTarget();
}

void HoopsViewSurface::RefreshTarget() {
    CHoopsView* window = ViewWindow();
    const long key = window ? window->GetViewKey() : -1;
    if (key == m_targetKey)
        return;
    if (m_targetKey != -1)
        ketra::render::SetWindowTarget(m_targetKey, {});
    m_targetKey = key;
    if (m_targetKey != -1)
        ketra::render::SetWindowTarget(m_targetKey, [this] { RequestRepaint(); });
}

HoopsViewSurface::~HoopsViewSurface() {
    Detach();
}

void HoopsViewSurface::Detach() {
    if (m_targetKey != -1)
        ketra::render::SetWindowTarget(m_targetKey, {});
    m_targetKey = -1;
    m_input.SetWindow(nullptr);
}

int HoopsViewSurface::PixelWidth() {
    QWidget* w = Widget();
    return std::max(1, static_cast<int>(w->width() * w->devicePixelRatioF()));
}

int HoopsViewSurface::PixelHeight() {
    QWidget* w = Widget();
    return std::max(1, static_cast<int>(w->height() * w->devicePixelRatioF()));
}

void HoopsViewSurface::RequestRepaint() {
    // The view window answers an exposure with a forced redraw of its view (OnPaint). The
    // exposure's own paint has drawn the scene already: unless OnPaint changed what shows,
    // drawing it again would only cost a frame (seconds on a large plant).
    if (m_answeringExposure && Showing() == m_exposed)
        return;
    m_repaintRequested = true;
    Widget()->update();
}

ketra::render::DisplayStamp HoopsViewSurface::Showing() const {
    return m_targetKey == -1 ? ketra::render::DisplayStamp{} : ketra::render::StampOf(m_targetKey);
}

void HoopsViewSurface::ScheduleOnPaint() {
    m_onPaintAnswersExposure = false;  // asked for: the forced redraw happens
    QueueOnPaint();
}

void HoopsViewSurface::QueueOnPaint() {
    if (m_onPaintQueued)
        return;
    m_onPaintQueued = true;
    QTimer::singleShot(0, Widget(), [this] {
        m_onPaintQueued = false;
        m_answeringExposure = m_onPaintAnswersExposure;
        m_onPaintAnswersExposure = false;
        if (CHoopsView* window = ViewWindow())
            window->OnPaint();
        m_answeringExposure = false;
    });
}

bool HoopsViewSurface::MotionDetailReduced() const {
    const CHoopsView* window = ViewWindow();
    HBaseView* view = window ? window->GetHoopsView() : nullptr;
    const HConstantFrameRate* rate = view ? view->GetConstantFrameRateObject() : nullptr;
    return rate && rate->GetActive() && rate->GetDetailLevel() > 0;
}

void HoopsViewSurface::ButtonsReleased() {
    m_restAfterPaint = false;
    if (!MotionDetailReduced())
        return;
    // The camera rests where the last Update put it: with that frame shown, this Update
    // ends the motion and asks for the full-detail frame.
    ViewWindow()->GetHoopsView()->Update();
    m_restAfterPaint = MotionDetailReduced();
}

void HoopsViewSurface::EndPaint(bool drawn) {
    if (m_grabbing)
        return;
    if (m_shownListener)
        m_shownListener();
    if (!m_restAfterPaint || !drawn)
        return;
    m_restAfterPaint = false;
    // Not from inside the paint: the Update asks for the next one.
    QTimer::singleShot(0, Widget(), [this] {
        if (MotionDetailReduced())
            ViewWindow()->GetHoopsView()->Update();
    });
}

void HoopsViewSurface::BeginPaint() {
    m_paintIsExposure = false;
    if (m_grabbing)
        return;
    ++m_paints;
    if (m_frameListener)
        m_frameListener();
    RefreshTarget();
    // A paint the view did not ask for means the window was exposed (shown, uncovered,
    // resized by Qt): the view window hears of it once, after this paint.
    m_paintIsExposure = !m_repaintRequested;
    if (!m_repaintRequested) {
        m_exposed = Showing();
        if (!m_onPaintQueued)
            m_onPaintAnswersExposure = true;
        QueueOnPaint();
    }
    m_repaintRequested = false;
}

namespace {

std::thread::id g_guiThread;

// Qt's context current on the GUI thread (a view widget's, or the one its window composes
// with) is given up; Qt makes it current again before it next draws. Other threads (the
// renderer prepares its context on one of its own) hold no Qt context.
void ReleaseQtContext() {
    if (std::this_thread::get_id() != g_guiThread)
        return;
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
}

// Whether Qt can make the OpenGL 3.3 core context the window form needs; the reason if not.
bool CanMakeCoreContext(QString* why) {
    QOpenGLContext context;
    context.setFormat(HoopsViewWidget::WantedFormat());
    if (!context.create()) {
        *why = "Qt cannot make an OpenGL context";
        return false;
    }
    if (context.isOpenGLES()) {
        *why = "Qt offers OpenGL ES only";
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        *why = "Qt cannot make its OpenGL context current";
        return false;
    }
    const QSurfaceFormat made = context.format();
    context.doneCurrent();
    if (made.version() < qMakePair(3, 3) || made.profile() != QSurfaceFormat::CoreProfile) {
        *why = QString("Qt offers OpenGL %1.%2 %3, not 3.3 core")
                   .arg(made.majorVersion())
                   .arg(made.minorVersion())
                   .arg(made.profile() == QSurfaceFormat::CoreProfile ? "core" : "compatibility");
        return false;
    }
    return true;
}

} // namespace

SurfaceChoice ChooseSurface() {
    SurfaceChoice choice;
    const char* forced = std::getenv("KETRA_VIEWER_RASTER");
    if (forced && *forced && std::strcmp(forced, "0") != 0) {
        choice.why = "KETRA_VIEWER_RASTER is set";
        return choice;
    }
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") {
        choice.why = QString("the Qt platform \"%1\" has no OpenGL windows").arg(platform);
        return choice;
    }
    choice.openGL = CanMakeCoreContext(&choice.why);
    return choice;
}

HoopsViewSurface* CreateViewSurface(const SurfaceChoice& choice, CHoopsView* window,
                                    QWidget* parent, SurfaceFailed onFailure) {
    // Pictures the window's commands render offscreen (saved, copied, printed) come while a
    // widget's GLX context is current.
    g_guiThread = std::this_thread::get_id();
    ketra::render::SetWindowContextRelease(&ReleaseQtContext);
    if (choice.openGL)
        return new HoopsViewWidget(window, parent, std::move(onFailure));
    return new HoopsRasterWidget(window, parent);
}

OffscreenRendering::OffscreenRendering() {
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
}

} // namespace ketra::ui
