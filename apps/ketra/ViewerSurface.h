// The drawing area of the viewer window. It comes in two forms that behave the same towards
// the user: OpenGL drawn straight into the window (a QOpenGLWidget that the renderer draws into
// with a WindowRenderer), and the fallback that renders each frame offscreen (EGL) and paints
// the picture into a raster widget. ChooseSurface decides which one a session gets.
#pragma once

#include <QImage>
#include <QString>

#include <functional>

class HMyBaseView;
class QWidget;

namespace ketra::app {

class ViewSurface {
public:
    virtual ~ViewSurface() = default;

    // The widget itself (the window's central widget; Qt owns it).
    virtual QWidget* Widget() = 0;
    // The picture the area shows now, in device pixels, drawn afresh. Null when it cannot
    // draw (the OpenGL surface after its renderer failed).
    virtual QImage Grab() = 0;
};

// Called once when the OpenGL surface cannot draw its first frame, with the renderer's
// message; the window then replaces it with the raster surface. It is queued, never called
// from inside a paint.
using SurfaceFailed = std::function<void(const QString& why)>;

// Which surface to use, and why not OpenGL when not. Needs the QApplication.
struct SurfaceChoice {
    bool openGL = false;
    QString why;  // the reason for the raster surface; empty with openGL
};
SurfaceChoice ChooseSurface();

// Renders offscreen (RenderToImage, FileOutput) on the GUI thread while it lives. The GL
// dispatch lets one window-system API at a time have a context current on a thread: this gives
// up Qt's (GLX) context on entry; the renderer gives up its (EGL) context after each frame, so
// neither side finds the other's context in the way.
class OffscreenRendering {
public:
    OffscreenRendering();
    ~OffscreenRendering();
    OffscreenRendering(const OffscreenRendering&) = delete;
    OffscreenRendering& operator=(const OffscreenRendering&) = delete;
};

ViewSurface* MakeGlSurface(HMyBaseView& view, SurfaceFailed onFailure);
ViewSurface* MakeRasterSurface(HMyBaseView& view);

} // namespace ketra::app
