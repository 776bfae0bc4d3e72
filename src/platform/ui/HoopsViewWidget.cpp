#include "platform/ui/HoopsViewWidget.h"

#include "platform/render/Renderer.h"
#include "platform/window/CHoopsView.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QTimer>
#include <QWindow>

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
    // Frames come when the view asks for them; none waits for the display's refresh.
    format.setSwapInterval(0);
    return format;
}

HoopsViewWidget::HoopsViewWidget(CHoopsView* window, QWidget* parent, SurfaceFailed onFailure)
    : SurfaceWidget(window, parent), m_onFailure(std::move(onFailure)) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

HoopsViewWidget::~HoopsViewWidget() {
    Detach();
    FreeGl();
}

bool HoopsViewWidget::event(QEvent* e) {
    // The native window is made (again, when Qt moves the widget to another top-level window)
    // as a raster surface: it is drawn with OpenGL.
    if (e->type() == QEvent::WinIdChange && windowHandle()) {
        windowHandle()->setSurfaceType(QSurface::OpenGLSurface);
        windowHandle()->setFormat(WantedFormat());
    }
    return SurfaceWidget::event(e);
}

bool HoopsViewWidget::MakeCurrent(std::string* error) {
    QWindow* surface = windowHandle();
    if (!surface) {
        *error = "the drawing area has no native window";
        return false;
    }
    if (surface->surfaceType() != QSurface::OpenGLSurface)
        surface->setSurfaceType(QSurface::OpenGLSurface);
    if (!m_context) {
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(WantedFormat());
        // With Qt::AA_ShareOpenGLContexts (the viewer sets it) every view's context is in one
        // group, and the panes of four views draw the model's faces from one set of buffers.
        context->setShareContext(QOpenGLContext::globalShareContext());
        if (!context->create()) {
            *error = "Qt cannot make an OpenGL context for the window";
            return false;
        }
        m_context = std::move(context);
    }
    if (!m_context->makeCurrent(surface)) {
        *error = "Qt cannot make its OpenGL context current on the window";
        return false;
    }
    if (!m_renderer) {
        m_renderer = std::make_unique<ketra::render::WindowRenderer>();
        m_renderer->SetShareGroup(m_context->shareGroup());
    }
    return true;
}

bool HoopsViewWidget::DrawFrame(std::string* error) {
    CHoopsView* window = ViewWindow();
    if (!window || window->GetViewKey() == -1) {
        *error = "no view";
        return false;
    }
    const QSize size(PixelWidth(), PixelHeight());
    if (!m_frame || m_frame->size() != size) {
        m_frame.reset();
        m_frame = std::make_unique<QOpenGLFramebufferObject>(
            size, QOpenGLFramebufferObject::CombinedDepthStencil);
        if (!m_frame->isValid()) {
            m_frame.reset();
            *error = "cannot make a framebuffer of " + std::to_string(size.width()) + " x " +
                     std::to_string(size.height()) + " pixels";
            return false;
        }
    }
    m_holds.reset();
    const ketra::render::DisplayStamp showing = Showing();
    if (!m_renderer->Draw(window->GetViewKey(), size.width(), size.height(), m_frame->handle(),
                          error))
        return false;
    m_holds = showing;
    if (!m_drawn) {
        m_drawn = true;
        const QSurfaceFormat f = m_context->format();
        const char* renderer =
            reinterpret_cast<const char*>(m_context->functions()->glGetString(GL_RENDERER));
        std::fprintf(stderr, "viewer: drawing with OpenGL in the window (OpenGL %d.%d %s, %s)\n",
                     f.majorVersion(), f.minorVersion(),
                     f.profile() == QSurfaceFormat::CoreProfile ? "core" : "compatibility",
                     renderer ? renderer : "unknown renderer");
    }
    return true;
}

void HoopsViewWidget::Present() {
    QOpenGLFunctions* gl = m_context->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, m_context->defaultFramebufferObject());
    // The renderer leaves the state of its last layer (a subwindow's scissor box, say),
    // which would clip the copy.
    gl->glDisable(GL_SCISSOR_TEST);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glViewport(0, 0, PixelWidth(), PixelHeight());
    gl->glClearColor(1, 1, 1, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    if (m_frame) {
        const QRect all(QPoint(0, 0), m_frame->size());
        QOpenGLFramebufferObject::blitFramebuffer(nullptr, all, m_frame.get(), all);
    }
    m_context->swapBuffers(windowHandle());
}

void HoopsViewWidget::paintEvent(QPaintEvent*) {
    BeginPaint();
    if (m_failed)
        return;
    std::string error;
    if (!MakeCurrent(&error)) {
        Failed(error);
        return;
    }
    // An expose with nothing changed since the last frame: the framebuffer object still holds
    // it (a large plant's frame takes seconds; Qt exposes the window right after showing it).
    const bool keep = PaintIsExposure() && m_frame && m_holds == Showing() &&
                      m_frame->size() == QSize(PixelWidth(), PixelHeight());
    const bool drawn = keep || DrawFrame(&error);
    Present();
    EndPaint(drawn && !keep);
    if (!drawn && error != "no view")
        Failed(error);
}

QImage HoopsViewWidget::Grab() {
    std::string error;
    SetGrabbing(true);
    const bool drawn = !m_failed && MakeCurrent(&error) && DrawFrame(&error);
    SetGrabbing(false);
    if (!drawn)
        return QImage();
    // The colours as drawn: what the frame's alpha says is no part of the picture.
    QImage rows(m_frame->size(), QImage::Format_RGBX8888);
    QOpenGLFunctions* gl = m_context->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, m_frame->handle());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, rows.width(), rows.height(), GL_RGBA, GL_UNSIGNED_BYTE, rows.bits());
    QImage picture = rows.mirrored().convertToFormat(QImage::Format_RGB32);  // GL rows run bottom up
    picture.setDevicePixelRatio(devicePixelRatioF());
    return picture;
}

void HoopsViewWidget::Failed(const std::string& error) {
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

void HoopsViewWidget::FreeGl() {
    if (!m_context)
        return;
    // GL objects are deleted in the context that made them; the window may be gone already.
    QOffscreenSurface surface;
    surface.setFormat(m_context->format());
    surface.create();
    m_context->makeCurrent(&surface);
    m_frame.reset();
    m_renderer.reset();
    m_context->doneCurrent();
    m_context.reset();
}

} // namespace ketra::ui
