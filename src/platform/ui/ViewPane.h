// ViewPane: one view window shown in a widget of its own, with its own QtWindowPort and
// drawing area: a pane of the four-view splitter or the overview dock. The drawing area is
// OpenGL when Qt offers it and falls back to offscreen frames (as HoopsMainWindow does) when
// the first OpenGL frame fails.
//
// Ownership: the pane owns the window, the port and the container widget (until a Qt parent
// takes the widget; the pane then deletes it itself on destruction, before the window).
#pragma once

#include "platform/ui/HoopsViewSurface.h"
#include "platform/ui/QtWindowPort.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class CHoopsView;

namespace ketra::ui {

class ViewPane {
public:
    // Shows `window` (its port becomes the pane's) and calls its OnInitialUpdate.
    explicit ViewPane(std::unique_ptr<CHoopsView> window, QWidget* parent = nullptr);
    ~ViewPane();
    ViewPane(const ViewPane&) = delete;
    ViewPane& operator=(const ViewPane&) = delete;

    QWidget* Widget() const { return m_container.data(); }
    CHoopsView* Window() const { return m_window.get(); }
    QtWindowPort& Port() { return *m_port; }
    HoopsViewSurface* Surface() const { return m_surface; }
    // The drawing area's picture now; null while it cannot draw.
    QImage Picture() { return m_surface ? m_surface->Grab() : QImage(); }
    // Called on each paint of the drawing area (whichever form it takes).
    void SetFrameListener(std::function<void()> listener);

private:
    void SetSurface(HoopsViewSurface* surface);
    void FallBack(const QString& why);

    std::unique_ptr<QtWindowPort> m_port; // outlives the window
    std::unique_ptr<CHoopsView> m_window;
    QPointer<QWidget> m_container;
    HoopsViewSurface* m_surface = nullptr;
    std::function<void()> m_frameListener;
};

} // namespace ketra::ui
