#include "ViewerPanes.h"

#include "platform/render/Renderer.h"
#include "platform/ui/FourViewSplitter.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/ui/ViewPane.h"
#include "platform/mvo/HSelectionSet.h"
#include "view/window/CHoopsViewEx.h"
#include "view/HMyBaseView.h"
#include "view/window/ViewCommands.h"

#include <QApplication>

namespace ketra::app {

const std::array<ViewMode, 4> ViewerPanes::kPaneViews = {HViewRight, HViewFront, HViewTop,
                                                         HViewIsoSE};

namespace {

constexpr int kTitleIntervalMs = 250;

// The view's selection as the main view's: the same level (whole elements) and colours.
void ShareSelectionSettings(HBaseView* from, HBaseView* to) {
    HSelectionSet* source = from ? from->GetSelection() : nullptr;
    HSelectionSet* target = to ? to->GetSelection() : nullptr;
    if (!source || !target)
        return;
    target->SetSelectionLevel(source->GetSelectionLevel());
    target->SetHighlightColor(source->GetHighlightColor().c_str());
}

} // namespace

QString ViewerPanes::ViewName(ViewMode mode) {
    switch (mode) {
    case HViewFront: return "Front";
    case HViewBack: return "Back";
    case HViewTop: return "Top";
    case HViewBottom: return "Bottom";
    case HViewLeft: return "Left";
    case HViewRight: return "Right";
    case HViewIso:
    case HViewIsoSE: return "SE Isometric";
    case HViewIsoNW: return "NW Isometric";
    case HViewIsoSW: return "SW Isometric";
    case HViewIsoNE: return "NE Isometric";
    case HViewXY: return "XY";
    case HViewYX: return "YX";
    case HViewXZ: return "XZ";
    case HViewZX: return "ZX";
    case HViewYZ: return "YZ";
    case HViewZY: return "ZY";
    default: return "View";
    }
}

void ViewerPanes::UpdateTitles() {
    if (!m_widget)
        return;
    const std::vector<CHoopsView*> windows = Windows();
    for (size_t i = 0; i < windows.size() && i < 4; ++i) {
        HBaseView* view = windows[i] ? windows[i]->GetHoopsView() : nullptr;
        m_widget->SetTitle(static_cast<int>(i), ViewName(view ? view->GetViewMode() : HViewNone));
    }
}

ViewerPanes::ViewerPanes(ketra::ui::HoopsMainWindow& frame) : m_frame(frame) {
    m_splitter.onLayout = [this](int panes) { Layout(panes); };
    m_frame.Port().SetSplitter([this](int panes) { SetPanes(panes); });
    m_frame.SetCommandRouter([this](unsigned int id) -> CHoopsView* {
        if (ketra::view::IsApplicationCommand(id) || id == ketra::view::kCmdFourViews)
            return nullptr;
        return ActiveWindow();
    });
    // A click or the keyboard given to a pane makes it the active one.
    // Titles follow the panes' views (a standard view chosen in a pane renames it).
    m_titleTimer.setInterval(kTitleIntervalMs);
    QObject::connect(&m_titleTimer, &QTimer::timeout, [this] { UpdateTitles(); });
    m_focusWatch = QObject::connect(qApp, &QApplication::focusChanged, &m_frame,
                                    [this](QWidget*, QWidget* now) {
                                        const int pane = PaneOf(now);
                                        if (pane >= 0)
                                            Activate(pane);
                                    });
}

ViewerPanes::~ViewerPanes() {
    QObject::disconnect(m_focusWatch);
    m_frame.SetCommandRouter({});
    m_frame.Port().SetSplitter({});
    m_splitter.onLayout = nullptr;
    for (auto& pane : m_extra)
        pane.reset();
}

void ViewerPanes::SetModel(HBaseModel* model, HOpConfig* config) {
    m_model = model;
    m_config = config;
}

void ViewerPanes::SetPanes(int panes) {
    const bool four = panes == 4;
    if (four == m_splitter.GetFourViews())
        return;
    if (four && !m_model)
        return;
    m_splitter.ToggleFourViews();
}

ketra::ui::ViewPane* ViewerPanes::Pane(int index) const {
    if (index < 1 || index > 3)
        return nullptr;
    return m_extra[static_cast<size_t>(index - 1)].get();
}

std::vector<CHoopsView*> ViewerPanes::Windows() const {
    std::vector<CHoopsView*> windows{m_frame.ViewWindow()};
    for (const auto& pane : m_extra)
        if (pane)
            windows.push_back(pane->Window());
    return windows;
}

CHoopsView* ViewerPanes::ActiveWindow() const {
    const int active = m_splitter.GetFourViews() ? m_splitter.GetActivePane() : 0;
    if (active >= 1 && active <= 3 && m_extra[static_cast<size_t>(active - 1)])
        return m_extra[static_cast<size_t>(active - 1)]->Window();
    return m_frame.ViewWindow();
}

void ViewerPanes::Activate(int index) {
    if (!m_splitter.GetFourViews())
        index = 0;
    if (index == m_splitter.GetActivePane())
        return;
    m_splitter.SetActivePane(index);
    if (m_widget)
        m_widget->SetCurrent(index);
    m_frame.UpdateCommandActions();
}

int ViewerPanes::PaneOf(const QWidget* widget) const {
    if (!widget)
        return -1;
    QWidget* mainArea = m_frame.Surface() ? m_frame.Surface()->Widget() : nullptr;
    if (mainArea && (widget == mainArea || mainArea->isAncestorOf(widget)))
        return 0;
    for (size_t i = 0; i < m_extra.size(); ++i)
        if (m_extra[i]) {
            QWidget* pane = m_extra[i]->Widget();
            if (pane && (widget == pane || pane->isAncestorOf(widget)))
                return static_cast<int>(i) + 1;
        }
    return -1;
}

void ViewerPanes::Layout(int panes) {
    QWidget* mainArea = m_frame.Surface() ? m_frame.Surface()->Widget() : nullptr;
    if (panes == 4 && !m_widget && mainArea && m_model) {
        // The main window's drawing area moves into the splitter (its GL context is made
        // afresh there); the splitter becomes the frame's client area.
        // New views update before their panes show them: offscreen meanwhile.
        ketra::ui::OffscreenRendering offscreen;
        m_frame.takeCentralWidget();
        m_widget = new ketra::ui::FourViewSplitter(&m_frame);
        std::array<QWidget*, 4> widgets{mainArea, nullptr, nullptr, nullptr};
        // Each pane paints its view once shown: no headless frame of the model before that.
        ketra::render::DeferOffscreenFrames paintedByThePanes;
        for (int i = 0; i < 3; ++i) {
            auto view = std::make_unique<HMyBaseView>(m_model, nullptr, nullptr, nullptr, 0, 0);
            view->Init();
            auto window = std::make_unique<CHoopsViewEx>();
            window->SetPlotConfig(m_config);
            window->SetHoopsViewEx(view.release(), true);
            CHoopsViewEx* shown = window.get();
            m_extra[static_cast<size_t>(i)] =
                std::make_unique<ketra::ui::ViewPane>(std::move(window), m_widget);
            m_extra[static_cast<size_t>(i)]->SetFrameListener([this, shown] { m_frame.NoteFrame(shown); });
            // Hover text and Properties on a double-click, as in the main pane.
            if (ketra::ui::HoopsViewSurface* surface = m_extra[static_cast<size_t>(i)]->Surface())
                m_frame.WatchPointer(surface->Widget(), shown);
            if (HBaseView* paneView = shown->GetHoopsView()) {
                paneView->SetViewMode(kPaneViews[static_cast<size_t>(i + 1)], false, true);
                ShareSelectionSettings(m_frame.ViewWindow()->GetHoopsView(), paneView);
            }
            shown->OnCommand(ketra::view::kCmdOrbitCamera);
            shown->StartConstantFrameRate();
            widgets[static_cast<size_t>(i + 1)] = m_extra[static_cast<size_t>(i)]->Widget();
        }
        m_widget->SetPanes(widgets);
        m_widget->SetCurrent(m_splitter.GetActivePane());
        m_frame.setCentralWidget(m_widget);
        if (HBaseView* mainView = m_frame.ViewWindow()->GetHoopsView()) {
            mainView->SetViewMode(kPaneViews[0], false, true);
            mainView->Update();
        }
        UpdateTitles();
        m_titleTimer.start();
    } else if (panes == 1 && m_widget) {
        // Hidden while it comes apart: its views are not drawn at the sizes it passes through.
        m_titleTimer.stop();
        m_widget->hide();
        for (auto& pane : m_extra)
            pane.reset();
        // Setting the drawing area back as the client area deletes the (now empty) splitter.
        if (mainArea)
            m_frame.setCentralWidget(mainArea);
        m_widget = nullptr;
        m_splitter.SetActivePane(0);
    }
    // Shown in its new place, the drawing area paints and its window hears of the exposure
    // (OnPaint): no forced redraw of its own, which would draw the plant a second time.
    if (mainArea) {
        mainArea->show();
        mainArea->setFocus();
    }
}

} // namespace ketra::app
