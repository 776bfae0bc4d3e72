// HoopsViewWidget: a view window's drawing area with OpenGL in the window. It is a native
// child window with an OpenGL context of its own: each paint draws the view's driver segment
// with ketra::render::WindowRenderer into a framebuffer object the size of the area, copies
// that into the window and swaps, so the rest of the frame (menus, tool bar, docks) is not
// composed again with every frame. Input goes to the CHoopsView (HoopsViewSurface, ViewInput).
#pragma once

#include "platform/ui/SurfaceWidget.h"

#include <QSurfaceFormat>
#include <QWidget>

#include <memory>
#include <optional>

class QOpenGLContext;
class QOpenGLFramebufferObject;

namespace ketra::render {
class WindowRenderer;
}

namespace ketra::ui {

class HoopsViewWidget final : public SurfaceWidget<QWidget> {
public:
    // `window` is not owned and must outlive the widget. `onFailure` is called (queued) when
    // the first frame cannot be drawn; the widget then stays blank.
    HoopsViewWidget(CHoopsView* window, QWidget* parent = nullptr, SurfaceFailed onFailure = {});
    ~HoopsViewWidget() override;

    QImage Grab() override;
    bool IsOpenGL() const override { return true; }

    // The context the renderer needs: OpenGL 3.3 core with depth and stencil.
    static QSurfaceFormat WantedFormat();

    // Qt paints nothing here: the widget draws on screen with OpenGL.
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;

private:
    // Makes the context current on the widget's window (creating it the first time); false
    // with a message when it cannot.
    bool MakeCurrent(std::string* error);
    // Draws the view into m_frame at the area's size; false with the renderer's message.
    bool DrawFrame(std::string* error);
    // Copies m_frame into the window and shows it.
    void Present();
    // After a frame could not be drawn: reported once, or the failure handed to the owner.
    void Failed(const std::string& error);
    void FreeGl();

    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<ketra::render::WindowRenderer> m_renderer;
    // The last frame drawn (kept between paints): an expose that would draw the same picture
    // shows it as it is.
    std::unique_ptr<QOpenGLFramebufferObject> m_frame;
    std::optional<ketra::render::DisplayStamp> m_holds;
    SurfaceFailed m_onFailure;
    bool m_drawn = false;
    bool m_failed = false;
    bool m_reported = false;
};

} // namespace ketra::ui
