// HoopsViewSurface: the drawing area of a view window, in one of two forms that behave the
// same towards the user. HoopsViewWidget draws with OpenGL straight into the window (a
// QOpenGLWidget and ketra::render::WindowRenderer); HoopsRasterWidget renders each frame
// offscreen (EGL) and paints the picture, for platforms without OpenGL windows. Both forward
// their input to the CHoopsView through a ViewInput.
//
// Repainting: the surface registers itself as the window target of the view's driver segment,
// so an update of the view (HC_Update_Display) asks it to repaint; Qt coalesces those requests.
// A paint nobody asked for (the window was exposed) and WindowPort::Invalidate queue one
// CHoopsView::OnPaint from the event loop, never from inside a paint, so painting cannot loop.
#pragma once

#include "platform/render/Renderer.h"
#include "platform/ui/ViewInput.h"

#include <QImage>
#include <QString>

#include <functional>

class CHoopsView;
class QWidget;

namespace ketra::ui {

class HoopsViewSurface {
public:
    virtual ~HoopsViewSurface();
    HoopsViewSurface(const HoopsViewSurface&) = delete;
    HoopsViewSurface& operator=(const HoopsViewSurface&) = delete;

    // The widget itself (Qt owns it through its parent).
    virtual QWidget* Widget() = 0;
    // The picture the area shows, drawn afresh, in device pixels; null when it cannot draw.
    virtual QImage Grab() = 0;
    virtual bool IsOpenGL() const = 0;

    CHoopsView* ViewWindow() const { return m_input.Window(); }
    ViewInput& Input() { return m_input; }
    // Size of the drawing area in device pixels (at least 1 x 1).
    int PixelWidth();
    int PixelHeight();

    // A view update wants a new frame (coalesced by Qt).
    void RequestRepaint();
    // Queues one OnPaint of the view window (coalesced until it has run).
    void ScheduleOnPaint();
    // Paints so far (for tests and diagnostics).
    int PaintCount() const { return m_paints; }
    // Called at the start of every paint shown in the window (not of pictures taken with
    // Grab): the frame's frame-rate meter.
    void SetFrameListener(std::function<void()> listener) { m_frameListener = std::move(listener); }
    // Called at the end of every paint shown in the window, once its picture is on screen.
    void SetShownListener(std::function<void()> listener) { m_shownListener = std::move(listener); }

    // Every mouse button is up again: a drag that moved the camera has ended, so the view
    // draws its full-detail frame now instead of after its rest countdown. When the last
    // motion frame is still to be painted, that happens once it is (the view judges a
    // motion over only after its last frame was shown).
    void ButtonsReleased();

    // Follows the window's current view: repaints are asked for by that view's updates. Runs
    // at construction and before each paint, so a view set on the window later is picked up
    // by the next expose; call it after changing the window's view to pick it up at once.
    void RefreshTarget();
    // Stops repaints from the view and drops the window (before the widget goes away, or
    // when a replacement takes over the window).
    void Detach();

protected:
    // Shows `window` (not owned; it must outlive the surface or be detached with Detach).
    explicit HoopsViewSurface(CHoopsView* window);
    // Called by the widget at the start of each paint event.
    void BeginPaint();
    // Called by the widget at the end of each paint event; `drawn`: it drew a new frame of
    // the view (not one kept from before).
    void EndPaint(bool drawn);
    // Paints made to take a picture (Grab) are no exposes: call around them.
    void SetGrabbing(bool on) { m_grabbing = on; }
    // Whether the paint that BeginPaint started is an expose (not asked for by the view).
    bool PaintIsExposure() const { return m_paintIsExposure; }

    // What a frame of the view drawn now would show (render::StampOf).
    ketra::render::DisplayStamp Showing() const;

private:
    void QueueOnPaint();
    // Whether the view is drawing a motion frame at reduced detail.
    bool MotionDetailReduced() const;

    ViewInput m_input;
    long m_targetKey = -1;
    bool m_repaintRequested = false;
    bool m_onPaintQueued = false;
    bool m_onPaintAnswersExposure = false;  // the queued OnPaint follows an exposure only
    bool m_answeringExposure = false;       // that OnPaint is running
    ketra::render::DisplayStamp m_exposed;  // what the exposure's paint drew
    bool m_grabbing = false;
    bool m_paintIsExposure = false;
    bool m_restAfterPaint = false;  // the buttons went up before the last motion frame showed
    int m_paints = 0;
    std::function<void()> m_frameListener;
    std::function<void()> m_shownListener;
};

// Which form to use, and why not OpenGL when not. Needs the QApplication.
struct SurfaceChoice {
    bool openGL = false;
    QString why; // the reason for the raster form; empty with openGL
};
// OpenGL unless KETRA_VIEWER_RASTER is set (and not "0"), the Qt platform is "offscreen" or
// "minimal", or Qt cannot make an OpenGL 3.3 core context.
SurfaceChoice ChooseSurface();

// Called once, queued, when the OpenGL form cannot draw its first frame, with the renderer's
// message; the owner then replaces it with the raster form.
using SurfaceFailed = std::function<void(const QString& why)>;

// Makes a surface of the chosen form as a child of `parent`.
HoopsViewSurface* CreateViewSurface(const SurfaceChoice& choice, CHoopsView* window,
                                    QWidget* parent, SurfaceFailed onFailure);

// Renders offscreen (RenderToImage, FileOutput) on the GUI thread while it lives. The GL
// dispatch lets one window-system API at a time have a context current on a thread: this gives
// up Qt's (GLX) context on entry; the renderer gives up its (EGL) context after each frame.
class OffscreenRendering {
public:
    OffscreenRendering();
    ~OffscreenRendering() = default;
    OffscreenRendering(const OffscreenRendering&) = delete;
    OffscreenRendering& operator=(const OffscreenRendering&) = delete;
};

} // namespace ketra::ui
