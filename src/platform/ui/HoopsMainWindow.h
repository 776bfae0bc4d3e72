// HoopsMainWindow: the frame of a view window. Its central widget is the window's drawing
// area (HoopsViewSurface, OpenGL or the raster fallback), its menu bar and tool bar are built
// from the component's command menus, and its QtWindowPort is the view window's port.
//
// Command bars: menu 128 of a resource module is the menu bar, menu 129 the tool bar (each
// item a button whose text is also its tool tip; separators stay separators). Choosing an item
// calls the view window's OnCommand(id); check marks, radio marks, greying and text come from
// its OnUpdateCommand(id, CCmdUI&), asked before a menu opens and on a short timer for the
// tool bar. Without those menus the frame has a minimal File menu (Copy Picture, Print, Exit).
//
// Ownership: the frame owns the view window and the port; the port outlives the window, and
// the drawing area is removed before the window goes.
#pragma once

#include "platform/mvo/HCamera.h"
#include "platform/ui/FrameRateMeter.h"
#include "platform/ui/HoopsViewSurface.h"
#include "platform/ui/QtWindowPort.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CHoopsView;
class QLabel;
class QToolBar;
class QTimer;

namespace ketra::ui {

class HoopsMainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The component's resource module and its command menus.
    static constexpr const char* kResourceModule = "HOOPS_KETRA1918_vc90U.dll";
    static constexpr unsigned int kMenuBarId = 128;
    static constexpr unsigned int kToolBarId = 129;
    // How often the tool bar and status bar ask the window for their state.
    static constexpr int kUpdateIntervalMs = 250;
    // The View menu's "Frame Rate" toggle: frames per second in the status bar while the
    // camera moves. The frame's own command, added to the window's command map; its id is
    // none of the window's or the application's (view/window/ViewCommands.h).
    static constexpr unsigned int kFrameRateCommand = 33120;
    // Help > About Ketra: the frame's own command, like the frame-rate toggle.
    static constexpr unsigned int kAboutCommand = 33121;
    // How long the pointer rests on the drawing area before the hover text is asked for.
    static constexpr int kHoverDelayMs = 150;

    // Shows `window` (its port becomes this frame's port). The drawing area is chosen with
    // ChooseSurface unless `choice` is given. Calls the window's OnInitialUpdate.
    explicit HoopsMainWindow(std::unique_ptr<CHoopsView> window, QWidget* parent = nullptr);
    HoopsMainWindow(std::unique_ptr<CHoopsView> window, const SurfaceChoice& choice,
                    QWidget* parent = nullptr);
    ~HoopsMainWindow() override;

    CHoopsView* ViewWindow() const { return m_window.get(); }
    // Where menu and tool-bar command `id` goes, and whose state its item shows: by default
    // the frame's own window; a frame split into panes routes view commands to the pane the
    // user works in. A router returning null means the frame's window.
    using CommandRouter = std::function<CHoopsView*(unsigned int id)>;
    void SetCommandRouter(CommandRouter router) { m_router = std::move(router); }
    CHoopsView* CommandTarget(unsigned int id) const;
    QtWindowPort& Port() { return *m_port; }
    HoopsViewSurface* Surface() const { return m_surface; }

    // Builds the menu bar and tool bar from menus 128 and 129 of `moduleName` (replacing
    // what was there). False when the module or its menu 128 is missing: the minimal File
    // menu is shown instead.
    bool LoadCommandBars(const char* moduleName = kResourceModule);
    // Asks the window about every command action (menu bar and tool bar) now.
    void UpdateCommandActions();
    QToolBar* CommandToolBar() const { return m_toolBar; }
    // Command actions bound to `id` (menu bar first, then tool bar).
    QList<QAction*> CommandActions(unsigned int id) const;
    // A dock or tool panel that the window's ShowPanel(name) opens and closes.
    void RegisterPanel(const std::string& name, QWidget* panel) {
        m_port->RegisterPanel(name, panel);
    }

    bool FrameRateShown() const { return m_showFrameRate; }
    // A frame of `window` (this frame's or a further pane's) was shown: fed to the frame-rate
    // meter with whether its camera moved since that window's previous frame.
    void NoteFrame(CHoopsView* window);
    // The status bar's frame-rate text now ("" at rest or with the toggle off).
    QString FrameRateText() const;

    // What the status bar says about device pixel (x, y) of the drawing area of `window` (the
    // main view window, or one watched with WatchPointer) when the pointer rests there with no
    // button held; "" for nothing (the status bar then shows that window's tool's hint).
    // Empty function: no hover text.
    using HoverText = std::function<std::string(CHoopsView* window, int x, int y)>;
    void SetHoverText(HoverText hoverText) { m_hoverText = std::move(hoverText); }
    // Called after a left double-click at device pixel (x, y) of the drawing area of `window`.
    using PointHandler = std::function<void(CHoopsView* window, int x, int y)>;
    void SetDoubleClickHandler(PointHandler handler) { m_doubleClick = std::move(handler); }
    // A further drawing area (a pane of four views) that shows `window`: a resting pointer and
    // a double-click there reach the handlers above as the main area's do. Forgotten when
    // `area` is destroyed.
    void WatchPointer(QWidget* area, CHoopsView* window);
    // The model's units as the status bar shows them ("Units: mm"); "" hides them.
    void SetUnitsText(const std::string& text);
    // The status bar's tool and render-mode text now ("Orbit · Shaded").
    QString ModeText() const;
    // Asks for the hover text at (x, y) of `window`'s drawing area (null: the main one) now and
    // shows it, as a resting pointer does.
    void ShowHoverText(int x, int y, CHoopsView* window = nullptr);

    // The drawing area's picture now; null while it cannot draw.
    QImage Picture() { return m_surface ? m_surface->Grab() : QImage(); }

private:
    void Init(const SurfaceChoice& choice);
    void SetSurface(HoopsViewSurface* surface);
    // Draws offscreen into a raster widget from now on; says why once.
    void FallBack(const QString& why);
    void BuildMinimalMenu();
    void ConnectCommand(QAction* action);
    void UpdateToolBar();
    void UpdateStatus();
    void AddFrameRateItem();
    void AddAboutItem();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Declared first: destroyed after the window, which uses it until its destructor ends.
    std::unique_ptr<QtWindowPort> m_port;
    std::unique_ptr<CHoopsView> m_window;
    HoopsViewSurface* m_surface = nullptr; // the central widget
    QWidget* m_surfaceWidget = nullptr;    // its widget, whose events the frame watches
    QToolBar* m_toolBar = nullptr;
    QLabel* m_modeLabel = nullptr;
    QLabel* m_frameRateLabel = nullptr;
    QLabel* m_unitsLabel = nullptr;
    QTimer* m_hoverTimer = nullptr;
    // Whether `window` is the main view window or a watched pane's that still has its area.
    bool Knows(CHoopsView* window) const;
    QPoint m_hoverAt;  // device pixels
    CHoopsView* m_hoverWindow = nullptr; // whose drawing area m_hoverAt is in
    std::vector<std::pair<QPointer<QWidget>, CHoopsView*>> m_paneAreas;
    HoverText m_hoverText;
    PointHandler m_doubleClick;
    QTimer* m_updateTimer = nullptr;
    CommandRouter m_router;
    bool m_showFrameRate = false;
    FrameRateMeter m_frameRate;
    HCamera m_frameCamera;  // the camera of the last frame shown
    const CHoopsView* m_frameWindow = nullptr;  // whose it was
};

} // namespace ketra::ui
