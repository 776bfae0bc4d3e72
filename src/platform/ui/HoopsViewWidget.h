// HoopsViewWidget: a view window's drawing area with OpenGL in the window. paintGL draws the
// view's driver segment with ketra::render::WindowRenderer into the widget's framebuffer;
// input goes to the CHoopsView (HoopsViewSurface, ViewInput).
#pragma once

#include "platform/ui/SurfaceWidget.h"

#include <QOpenGLWidget>
#include <QSurfaceFormat>

#include <memory>
#include <optional>

namespace ketra::render {
class WindowRenderer;
}

namespace ketra::ui {

class HoopsViewWidget final : public SurfaceWidget<QOpenGLWidget> {
public:
    // `window` is not owned and must outlive the widget. `onFailure` is called (queued) when
    // the first frame cannot be drawn; the widget then stays blank.
    HoopsViewWidget(CHoopsView* window, QWidget* parent = nullptr, SurfaceFailed onFailure = {});
    ~HoopsViewWidget() override;

    QImage Grab() override;
    bool IsOpenGL() const override { return true; }

    // The context the renderer needs: OpenGL 3.3 core with depth and stencil.
    static QSurfaceFormat WantedFormat();

protected:
    void initializeGL() override;
    void paintEvent(QPaintEvent* e) override;
    void paintGL() override;
    bool event(QEvent* e) override;

private:
    void FreeRenderer();
    void ReleaseGl();

    std::unique_ptr<ketra::render::WindowRenderer> m_renderer;
    SurfaceFailed m_onFailure;
    bool m_drawn = false;
    // What the framebuffer holds (kept between paints): an expose that would draw the same
    // picture shows it as it is.
    std::optional<ketra::render::DisplayStamp> m_holds;
    int m_holdsWidth = 0, m_holdsHeight = 0;
    bool m_failed = false;
    bool m_reported = false;
    bool m_reparenting = false;  // in the paint QOpenGLWidget makes when it changes parent
};

} // namespace ketra::ui
