#include "ViewerSurface.h"

#include "platform/mvo/HEventInfo.h"
#include "platform/render/Renderer.h"
#include "view/HMyBaseView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPainter>
#include <QResizeEvent>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace ketra::app {

namespace {

// The renderer draws with OpenGL 3.3 core entry points.
QSurfaceFormat WantedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    return format;
}

// What both surfaces share: the view's window follows the widget's size, and mouse, wheel
// and keys go to the view (and through it to the current operator) as the view's events.
template <class Base>
class ViewWidget : public Base, public ViewSurface {
public:
    explicit ViewWidget(HMyBaseView& view) : m_view(view) {
        Base::setMinimumSize(320, 240);
        Base::setFocusPolicy(Qt::StrongFocus);
        Base::setMouseTracking(false);
    }

    QWidget* Widget() override { return this; }

protected:
    HMyBaseView& View() { return m_view; }
    int PixelWidth() const { return std::max(1, static_cast<int>(Base::width() * Base::devicePixelRatioF())); }
    int PixelHeight() const { return std::max(1, static_cast<int>(Base::height() * Base::devicePixelRatioF())); }

    void resizeEvent(QResizeEvent* e) override {
        m_view.SetWindowSizeInPixels(PixelWidth(), PixelHeight());
        Base::resizeEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override { Send(e, Press(e->button()), e->buttons()); }
    void mouseReleaseEvent(QMouseEvent* e) override { Send(e, Release(e->button()), e->buttons() | e->button()); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            Send(e, HE_LButtonDblClk, e->buttons());
    }
    void mouseMoveEvent(QMouseEvent* e) override { Send(e, HE_MouseMove, e->buttons()); }
    void wheelEvent(QWheelEvent* e) override {
        HEventInfo info(&m_view);
        const QPointF p = e->position();
        float x = static_cast<float>(2.0 * p.x() / Base::width() - 1.0);
        float y = static_cast<float>(1.0 - 2.0 * p.y() / Base::height());
        info.SetMouseWheel(x, y, static_cast<float>(e->angleDelta().y()), Flags(e->buttons(), e->modifiers()));
        m_view.InjectEvent(info);
        Base::update();
    }
    void keyPressEvent(QKeyEvent* e) override {
        HEventInfo info(&m_view);
        unsigned key = e->text().isEmpty() ? static_cast<unsigned>(e->key()) : e->text().at(0).unicode();
        info.SetKey(HE_KeyDown, key, e->isAutoRepeat() ? 2u : 1u, Flags(Qt::NoButton, e->modifiers()));
        m_view.InjectEvent(info);
        Base::update();
    }

private:
    static HEventType Press(Qt::MouseButton b) {
        return b == Qt::LeftButton ? HE_LButtonDown : b == Qt::MiddleButton ? HE_MButtonDown : HE_RButtonDown;
    }
    static HEventType Release(Qt::MouseButton b) {
        return b == Qt::LeftButton ? HE_LButtonUp : b == Qt::MiddleButton ? HE_MButtonUp : HE_RButtonUp;
    }
    static unsigned Flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
        unsigned f = 0;
        if (buttons & Qt::LeftButton)
            f |= MVO_LBUTTON;
        if (buttons & Qt::MiddleButton)
            f |= MVO_MBUTTON;
        if (buttons & Qt::RightButton)
            f |= MVO_RBUTTON;
        if (mods & Qt::ShiftModifier)
            f |= MVO_SHIFT;
        if (mods & Qt::ControlModifier)
            f |= MVO_CONTROL;
        if (mods & Qt::AltModifier)
            f |= MVO_ALT;
        return f;
    }
    void Send(QMouseEvent* e, HEventType type, Qt::MouseButtons buttons) {
        HEventInfo info(&m_view);
        const QPointF p = e->position();
        const qreal ratio = Base::devicePixelRatioF();
        info.SetPixelPoint(type, static_cast<int>(p.x() * ratio), static_cast<int>(p.y() * ratio),
                           Flags(buttons, e->modifiers()));
        m_view.InjectEvent(info);
        Base::update();
    }

    HMyBaseView& m_view;
};

// The fallback: each frame is rendered offscreen at the widget's pixel size and painted.
class RasterSurface final : public ViewWidget<QWidget> {
public:
    explicit RasterSurface(HMyBaseView& view) : ViewWidget(view) { setAttribute(Qt::WA_OpaquePaintEvent); }

    QImage Grab() override { return grab().toImage(); }

protected:
    void paintEvent(QPaintEvent*) override {
        ketra::render::FrameSettings settings;
        settings.width = PixelWidth();
        settings.height = PixelHeight();
        settings.samples = 1;
        ketra::render::Image image;
        std::string error;
        bool drawn = false;
        {
            OffscreenRendering offscreen;
            drawn = ketra::render::RenderToImage(View().GetViewKey(), settings, image, &error);
        }
        QPainter painter(this);
        if (!drawn) {
            painter.fillRect(rect(), Qt::black);
            painter.setPen(Qt::white);
            painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString("cannot draw: " + error));
            return;
        }
        QImage frame(image.rgba.data(), image.width, image.height, QImage::Format_RGBA8888);
        frame.setDevicePixelRatio(devicePixelRatioF());
        painter.drawImage(0, 0, frame);
    }
};

// OpenGL in the window: paintGL draws the view into the widget's framebuffer object.
class GlSurface final : public ViewWidget<QOpenGLWidget> {
public:
    GlSurface(HMyBaseView& view, SurfaceFailed onFailure) : ViewWidget(view), m_onFailure(std::move(onFailure)) {
        setFormat(WantedFormat());
    }
    ~GlSurface() override { FreeRenderer(); }

    QImage Grab() override {
        QImage picture = grabFramebuffer();
        return m_failed ? QImage() : picture;
    }

protected:
    void initializeGL() override {
        // A new context (the first, or after the widget moved to another window): the old
        // renderer's GL objects went with the old one.
        FreeRenderer();
        m_renderer = std::make_unique<ketra::render::WindowRenderer>();
        connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { FreeRenderer(); });
    }

    void paintGL() override {
        if (m_failed || !m_renderer)
            return;
        std::string error;
        if (m_renderer->Draw(View().GetViewKey(), PixelWidth(), PixelHeight(), defaultFramebufferObject(), &error)) {
            if (!m_drawn) {
                m_drawn = true;
                const QSurfaceFormat f = context()->format();
                const char* renderer = reinterpret_cast<const char*>(
                    context()->functions()->glGetString(GL_RENDERER));
                std::fprintf(stderr, "viewer: drawing with OpenGL in the window (OpenGL %d.%d %s, %s)\n",
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
            QTimer::singleShot(0, this, [this, why = QString::fromStdString(error)] { m_onFailure(why); });
    }

private:
    void FreeRenderer() {
        if (!m_renderer)
            return;
        // GL objects are deleted in the context that made them.
        makeCurrent();
        m_renderer.reset();
        doneCurrent();
    }

    std::unique_ptr<ketra::render::WindowRenderer> m_renderer;
    SurfaceFailed m_onFailure;
    bool m_drawn = false;
    bool m_failed = false;
    bool m_reported = false;
};

// Whether Qt can make the OpenGL 3.3 core context the window surface needs; the reason if not.
bool CanMakeCoreContext(QString* why) {
    QOpenGLContext context;
    context.setFormat(WantedFormat());
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

OffscreenRendering::OffscreenRendering() {
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
}

// The renderer hands its headless context back after each frame.
OffscreenRendering::~OffscreenRendering() = default;

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

ViewSurface* MakeGlSurface(HMyBaseView& view, SurfaceFailed onFailure) {
    return new GlSurface(view, std::move(onFailure));
}

ViewSurface* MakeRasterSurface(HMyBaseView& view) { return new RasterSurface(view); }

} // namespace ketra::app
