#include "platform/ui/HoopsViewWidget.h"

#include "platform/render/Renderer.h"
#include "platform/window/CHoopsView.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>

#include <cstdio>
#include <string>

namespace ketra::ui {

QSurfaceFormat HoopsViewWidget::WantedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    return format;
}

HoopsViewWidget::HoopsViewWidget(CHoopsView* window, QWidget* parent, SurfaceFailed onFailure)
    : SurfaceWidget(window, parent), m_onFailure(std::move(onFailure)) {
    setFormat(WantedFormat());
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);  // the last frame stays for exposes
}

HoopsViewWidget::~HoopsViewWidget() {
    Detach();
    FreeRenderer();
}

QImage HoopsViewWidget::Grab() {
    QImage picture = grabFramebuffer();
    return m_failed ? QImage() : picture;
}

void HoopsViewWidget::initializeGL() {
    // A new context (the first, or after the widget moved to another window): the renderer
    // let go of the old one's GL objects when it went, and keeps its meshes.
    m_holds.reset();
    if (!m_renderer)
        m_renderer = std::make_unique<ketra::render::WindowRenderer>();
    // With Qt::AA_ShareOpenGLContexts (the viewer sets it) every widget's context is in one
    // group, and the panes of four views draw the model's faces from one set of buffers.
    m_renderer->SetShareGroup(context()->shareGroup());
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { ReleaseGl(); });
}

bool HoopsViewWidget::event(QEvent* e) {
    // Moving to another parent (into or out of the four views' splitter), QOpenGLWidget
    // makes its new context and paints at once (on the internal event that says its window
    // changed), at the size it had: a plant's frame drawn for nothing, since the new layout
    // resizes it and it paints again. That paint is left blank; the one after the layout draws.
    if (e->type() != QEvent::ParentChange && e->type() != QEvent::WindowChangeInternal)
        return SurfaceWidget::event(e);
    m_reparenting = true;
    const bool handled = SurfaceWidget::event(e);
    m_reparenting = false;
    update();
    return handled;
}

void HoopsViewWidget::paintEvent(QPaintEvent* e) {
    BeginPaint();
    QOpenGLWidget::paintEvent(e);
}

void HoopsViewWidget::paintGL() {
    CHoopsView* window = ViewWindow();
    if (m_failed || !m_renderer || !window || window->GetViewKey() == -1 || m_reparenting)
        return;
    // An expose with nothing changed since the last frame: the framebuffer still holds it
    // (a large plant's frame takes seconds; Qt exposes the window right after showing it).
    const ketra::render::DisplayStamp showing = Showing();
    if (PaintIsExposure() && m_holds == showing && m_holdsWidth == PixelWidth() && m_holdsHeight == PixelHeight())
        return;
    m_holds.reset();
    std::string error;
    if (m_renderer->Draw(window->GetViewKey(), PixelWidth(), PixelHeight(),
                         defaultFramebufferObject(), &error)) {
        m_holds = showing;
        m_holdsWidth = PixelWidth();
        m_holdsHeight = PixelHeight();
        if (!m_drawn) {
            m_drawn = true;
            const QSurfaceFormat f = context()->format();
            const char* renderer =
                reinterpret_cast<const char*>(context()->functions()->glGetString(GL_RENDERER));
            std::fprintf(stderr,
                         "viewer: drawing with OpenGL in the window (OpenGL %d.%d %s, %s)\n",
                         f.majorVersion(), f.minorVersion(),
                         f.profile() == QSurfaceFormat::CoreProfile ? "core" : "compatibility",
                         renderer ? renderer : "unknown renderer");
        }
        return;
    }
    if (m_drawn) {
        // It drew before: a passing fault (the view's segment gone while closing). Say it
        // once and keep the window.
        if (!m_reported)
            std::fprintf(stderr, "viewer: cannot draw: %s\n", error.c_str());
        m_reported = true;
        return;
    }
    m_failed = true;
    if (m_onFailure)
        QTimer::singleShot(0, this,
                           [this, why = QString::fromStdString(error)] { m_onFailure(why); });
}

void HoopsViewWidget::ReleaseGl() {
    if (!m_renderer)
        return;
    makeCurrent();
    m_renderer->ReleaseGl();
    doneCurrent();
}

void HoopsViewWidget::FreeRenderer() {
    if (!m_renderer)
        return;
    // GL objects are deleted in the context that made them.
    makeCurrent();
    m_renderer.reset();
    doneCurrent();
}

} // namespace ketra::ui
