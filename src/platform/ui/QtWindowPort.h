// QtWindowPort: the WindowPort of a view window shown with Qt. It only shows and asks:
// popup menus built from CMenu, message boxes, file dialogs (with the optional size fields),
// the note-text dialog, the colour chooser, clipboard, printing, and it delivers posted
// commands and timers to the window from the event loop. Everything the window decides stays
// in the window (CHoopsView and the classes built on it).
//
// Wiring: SetWindow names the window that receives posted commands and timers; SetSurface the
// drawing area (coordinates, capture, repaint, key state); the main window (HoopsMainWindow)
// sets both and registers its docks with RegisterPanel. Any of them may be missing: calls
// that need it then answer as a window without it would (no point mapping, nothing held,
// ShowPanel false).
#pragma once

#include "platform/window/WindowPort.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CHoopsView;
class QLabel;
class QMainWindow;
class QMenu;
class QTimer;
class QWidget;

namespace ketra::ui {

class HoopsViewSurface;

class QtWindowPort final : public QObject, public ketra::window::WindowPort {
    Q_OBJECT
public:
    explicit QtWindowPort(QObject* parent = nullptr);
    ~QtWindowPort() override;

    // The window that receives posted commands and timers (not owned; null: none).
    void SetWindow(CHoopsView* window);
    CHoopsView* Window() const { return m_window; }
    // The drawing area (not owned; its widget is watched, so deleting it is safe).
    void SetSurface(HoopsViewSurface* surface);
    HoopsViewSurface* Surface() const;
    // The frame whose status bar and title the port sets (watched).
    void SetFrame(QMainWindow* frame);
    // A named tool panel (a dock or any widget) that ShowPanel opens and closes (watched).
    void RegisterPanel(const std::string& name, QWidget* panel);

    // The Qt menu TrackPopupMenu shows for `menu`, owned by the caller (for tests and for
    // hosts that want to show it themselves).
    static std::unique_ptr<QMenu> BuildPopup(const CMenu& menu, QWidget* parent = nullptr);

    unsigned int TrackPopupMenu(const CMenu& menu, CPoint screen, unsigned int flags) override;
    CPoint ClientToScreen(CPoint client) override;
    CSize ClientSize() override;
    int MessageBox(const std::string& text, const std::string& caption,
                   unsigned int style) override;
    ketra::window::FileDialogResult
    FileDialog(const ketra::window::FileDialogRequest& request) override;
    bool NoteTextDialog(std::string& text, const std::string& title) override;
    bool ChooseColor(unsigned int& rgb) override;
    void PostCommand(unsigned int id) override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void TrackMouseLeave() override;
    void SetTimer(unsigned int id, unsigned int milliseconds) override;
    void KillTimer(unsigned int id) override;
    void Invalidate() override;
    bool SetClipboardImage(const ketra::render::Image& image) override;
    bool Print(const ketra::render::Image& image,
               const ketra::window::PrintRequest& request) override;
    // The frame's splitter: SetSplitterPanes(n) calls `layout` with 1 or 4. Without one
    // (an empty function, the default) HasSplitter is false and SetSplitterPanes does nothing.
    void SetSplitter(std::function<void(int panes)> layout) { m_splitter = std::move(layout); }
    bool HasSplitter() override { return static_cast<bool>(m_splitter); }
    void SetSplitterPanes(int panes) override {
        if (m_splitter)
            m_splitter(panes);
    }
    void SetStatusText(int pane, const std::string& text) override;
    void SetTitle(const std::string& title) override;
    bool IsKeyDown(unsigned int virtualKey) override;
    bool ShowPanel(const std::string& name, bool show) override;

    // Ids of the timers running now (for tests).
    bool HasTimer(unsigned int id) const { return m_timers.count(id) != 0; }

private:
    QWidget* SurfaceWidget() const { return m_surfaceWidget.data(); }
    // Parent for dialogs: the surface's top-level window, or none.
    QWidget* DialogParent() const;

    CHoopsView* m_window = nullptr;
    HoopsViewSurface* m_surface = nullptr;
    QPointer<QWidget> m_surfaceWidget;
    QPointer<QMainWindow> m_frame;
    std::map<std::string, QPointer<QWidget>> m_panels;
    std::map<int, QPointer<QLabel>> m_statusPanes;
    std::map<unsigned int, QTimer*> m_timers; // children of the port
    std::function<void(int)> m_splitter;
};

} // namespace ketra::ui
