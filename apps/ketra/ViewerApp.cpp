#include "ViewerApp.h"

#include "platform/ui/pages/OptionsDialog.h"
#include "plotter/ElementCommands.h"
#include "operators/HSOpCameraDrag.h"
#include "operators/WalkCommand.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/sys/Registry.h"
#include "platform/render/Renderer.h"
#include "platform/ui/CSegmentDialogBar.h"
#include "platform/ui/CommandHelp.h"
#include "platform/ui/PropertiesPanel.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/ui/HoopsViewSurface.h"
#include "platform/ui/KeysAndMouseDialog.h"
#include "platform/ui/OverviewDock.h"
#include "platform/ui/WalkNavigationPanel.h"
#include "view/window/CHoopsViewEx.h"
#include "view/HMyBaseView.h"
#include "view/window/ViewCommands.h"
#include "operators/MarkupTools.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QStatusBar>
#include <QTreeWidget>

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>

namespace ketra::app {
namespace {

using namespace ketra::view;

QByteArray ToBytes(const std::vector<unsigned char>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()));
}

std::vector<unsigned char> FromBytes(const QByteArray& bytes) {
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// Every kind of file OpenFile reads (the model is recognised by its content).
const char* const kOpenFilter = "Models and scene files (*.json *.pcf *.hsf *.hmf);;"
                                "Piping models (*.json);;PCF files (*.pcf);;"
                                "Scene files (*.hsf *.hmf);;All files (*)";

// The recent-file list names a file wherever the viewer is started from: absolute, links and
// "..", "." resolved.
std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    if (!error)
        return canonical.string();
    return std::filesystem::absolute(path, error).lexically_normal().string();
}

// Stores the settings when the frame closes (before the docks go).
class CloseWatcher final : public QObject {
public:
    CloseWatcher(QObject* parent, std::function<void()> onClose)
        : QObject(parent), m_onClose(std::move(onClose)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && m_onClose)
            m_onClose();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onClose;
};

} // namespace

ViewerApp::ViewerApp(ViewerOptions options)
    : m_document(options), m_recent(ViewerSettings::LoadRecentFiles()), m_startResults(std::move(options.results)) {
    m_frame = std::make_unique<ketra::ui::HoopsMainWindow>(std::make_unique<CHoopsViewEx>());
    m_panes = std::make_unique<ViewerPanes>(*m_frame);

    m_browser = new ketra::ui::CSegmentDialogBar(m_frame.get());
    m_overview = new ketra::ui::OverviewDock(m_frame.get());
    m_navigation = new ketra::ui::WalkNavigationPanel(m_frame.get());
    m_frame->addDockWidget(Qt::LeftDockWidgetArea, m_browser);
    m_frame->addDockWidget(Qt::RightDockWidgetArea, m_overview);
    m_frame->addDockWidget(Qt::RightDockWidgetArea, m_navigation);
    // The browser names elements and their kinds as the model does.
    m_browser->SetDescriber([this](HC_KEY segment) {
        CSegmentBrowserDlg::Description words;
        if (m_elementCommands)
            ketra::plotter::BrowserDescription(m_document.Plotter(), segment, &words.name, &words.lines);
        return words;
    });
    m_browser->hide();
    m_overview->hide();
    m_navigation->hide();
    m_frame->RegisterPanel(kWalkNavigationPanel, m_navigation);
    m_frame->RegisterPanel("overview", m_overview);
    m_frame->RegisterPanel("segment browser", m_browser);
    // A walk in progress follows the panel's settings at once.
    m_navigation->changed = [this] {
        HBaseView* view = MainWindow().GetHoopsView();
        HBaseOperator* op = view ? view->GetOperator() : nullptr;
        if (op && op->GetName() && std::strcmp(op->GetName(), "HOpCameraWalk") == 0)
            MainWindow().OnCommand(kCmdWalk);
    };
    // The overview is built when first shown: a hidden one would draw for nothing.
    QObject::connect(m_overview, &QDockWidget::visibilityChanged, m_overview, [this](bool shown) {
        if (shown && !m_overview->Pane())
            BuildOverview();
    });
    QObject::connect(m_browser, &QDockWidget::visibilityChanged, m_browser, [this](bool shown) {
        if (shown && !m_browser->Browser()->GetView() && m_document.HasModel())
            m_browser->SetView(&m_document.View(), m_document.Title());
    });
    m_frame->installEventFilter(new CloseWatcher(m_frame.get(), [this] { SaveSettings(); }));
    RegisterCommands();
    SetAccelerators();
    m_results = std::make_unique<ResultsPanel>(*m_frame, MainWindow(), m_document);
    m_frame->UpdateCommandActions();
}

bool ViewerApp::OpenStartResults(std::string* error) {
    return m_startResults.empty() || m_results->Open(m_startResults, error, true);
}

void ViewerApp::SetAccelerators() {
    // Each key sequence on one action only: a second action with the same keys would make
    // both silent (the tool bar's second SE Isometric id shares the menu's keys).
    std::set<std::string> bound;
    for (const ketra::ui::CommandHelp& help : ketra::ui::CommandHelps()) {
        if (!*help.keys || bound.count(help.keys))
            continue;
        // The menu bar's item only: a second action with the same keys would make both silent.
        const QList<QAction*> actions = m_frame->CommandActions(help.id);
        if (actions.isEmpty() || !actions.front()->shortcut().isEmpty())
            continue;
        actions.front()->setShortcut(QKeySequence(QString::fromUtf8(help.keys)));
        bound.insert(help.keys);
        actions.front()->setShortcutContext(Qt::WindowShortcut);
    }
}

ViewerApp::~ViewerApp() {
    DetachViews();
    m_results.reset();
    m_panes.reset();
    m_frame.reset();
}

CHoopsViewEx& ViewerApp::MainWindow() {
    return *static_cast<CHoopsViewEx*>(m_frame->ViewWindow());
}

void ViewerApp::RegisterCommands() {
    CommandMap& map = MainWindow().Commands();
    map.Add(kCmdAppFileOpen, [this] { OpenWithDialog(); });
    for (unsigned int i = 0; i < kRecentFileCount; ++i) {
        map.Add(
            kCmdAppRecentFile1 + i,
            [this, i] {
                if (i >= m_recent.Paths().size())
                    return;
                const std::string path = m_recent.Paths()[i];
                if (!QFileInfo::exists(QString::fromStdString(path))) {
                    // A file gone since: say so and forget it.
                    MainWindow().Port().MessageBox(path + ": no such file", "Ketra",
                                                   ketra::window::MB_OK |
                                                       ketra::window::MB_ICONERROR);
                    m_recent.Remove(path);
                    ViewerSettings::SaveRecentFiles(m_recent);
                    return;
                }
                OpenFile(path);
            },
            [this, i](CCmdUI& ui) {
                const auto& paths = m_recent.Paths();
                if (i < paths.size()) {
                    const std::string text =
                        "&" + std::to_string(i + 1) + " " +
                        QFileInfo(QString::fromStdString(paths[i])).fileName().toStdString();
                    ui.SetText(text.c_str());
                    ui.Enable(true);
                } else {
                    ui.SetText(i == 0 ? "Recent File" : "");
                    ui.Enable(false);
                }
            });
    }
    map.Add(kCmdAppExit, [this] { m_frame->close(); });
    map.Add(
        kCmdAppSegmentBrowser, [this] { ToggleDock(m_browser); },
        [this](CCmdUI& ui) { ui.SetCheck(m_browser->isVisible()); });
    map.Add(
        kCmdAppOverview, [this] { ToggleDock(m_overview); },
        [this](CCmdUI& ui) { ui.SetCheck(m_overview->isVisible()); });
    map.Add(
        kCmdAppNavigation, [this] { ToggleDock(m_navigation); },
        [this](CCmdUI& ui) { ui.SetCheck(m_navigation->isVisible()); });
    map.Add(
        kCmdAppOptions, [this] { ShowOptions(); },
        [this](CCmdUI& ui) { ui.Enable(m_document.HasModel()); });
    map.Add(kCmdAppKeysAndMouse, [this] { ShowKeysAndMouse(); });

    // The markup group and the Measure tool: operators of the component that the host installs.
    using ketra::operators::MarkupTool;
    const struct {
        unsigned int id;
        MarkupTool tool;
    } markup[] = {
        {kCmdAppMarkupCircle, MarkupTool::Circle},
        {kCmdAppMarkupRectangle, MarkupTool::Rectangle},
        {kCmdAppMarkupFreehand, MarkupTool::Freehand},
        {kCmdAppMarkupNote, MarkupTool::Annotate},
        {kCmdAppMarkupFloatingNote, MarkupTool::FloatingText},
        {kCmdAppMarkupTypedNote, MarkupTool::TypedNote},
        {kCmdAppMeasure, MarkupTool::Measure},
    };
    for (const auto& entry : markup) {
        const MarkupTool tool = entry.tool;
        map.Add(
            entry.id, [this, tool] { ketra::operators::InstallMarkupOperator(&MainWindow(), tool); },
            [this, tool](CCmdUI& ui) {
                HBaseView* view = MainWindow().GetHoopsView();
                HBaseOperator* op = view ? view->GetOperator() : nullptr;
                ui.Enable(view != nullptr);
                ui.SetCheck(op && op->GetName() &&
                            std::strcmp(op->GetName(), ketra::operators::MarkupToolOperatorName(tool)) == 0);
            });
    }
}

void ViewerApp::ToggleDock(QDockWidget* dock) {
    dock->setVisible(!dock->isVisible());
    if (!dock->isVisible())
        return;
    dock->raise();
    // The browser is opened to be used: the tree takes the keys. The other panels are
    // looked at: the keys stay with the view.
    if (dock == m_browser)
        m_browser->Tree()->setFocus();
    else if (m_frame->Surface())
        m_frame->Surface()->Widget()->setFocus();
}

bool ViewerApp::OpenFile(const std::string& path, std::string* error, bool quiet) {
    std::string message;
    bool opened = false;
    {
        // Drawing the new model updates its view before a window shows it: offscreen.
        ketra::ui::OffscreenRendering offscreen;
        opened = m_document.Open(path, &message, [this] { DetachViews(); });
    }
    if (!opened) {
        if (error)
            *error = message;
        // Views were let go only when the file parsed; give them back whatever is shown now.
        if (!m_document.HasModel() || MainWindow().GetHoopsView() == nullptr)
            AttachViews();
        if (!quiet)
            MainWindow().Port().MessageBox(message, "Ketra",
                                           ketra::window::MB_OK | ketra::window::MB_ICONERROR);
        return false;
    }
    AttachViews();
    m_recent.Add(CanonicalPath(path));
    ViewerSettings::SaveRecentFiles(m_recent);
    m_frame->UpdateCommandActions();
    return true;
}

void ViewerApp::OpenWithDialog() {
    QString folder;
    if (!m_document.Path().empty())
        folder = QFileInfo(QString::fromStdString(m_document.Path())).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(m_frame.get(), "Open Piping Model", folder, kOpenFilter);
    if (!path.isEmpty())
        OpenFile(path.toStdString());
}

void ViewerApp::DetachViews() {
    if (m_results)
        m_results->Drop();
    m_elementCommands.reset();
    if (!m_frame)
        return;
    m_frame->SetUnitsText("");
    // Back to one view first: the extra panes show the model that is about to go.
    if (m_panes && m_panes->IsFour())
        MainWindow().OnCommand(kCmdFourViews);
    m_overview->ClearPane();
    m_browser->SetView(nullptr, "");
    MainWindow().SetHoopsViewEx(nullptr, false);
    if (m_panes)
        m_panes->SetModel(nullptr, nullptr);
}

void ViewerApp::AttachViews() {
    if (!m_document.HasModel()) {
        m_frame->setWindowTitle("Ketra");
        return;
    }
    HMyBaseView& view = m_document.View();
    CHoopsViewEx& window = MainWindow();
    // The updates below come before the window is the view's target: none draws headless.
    std::optional<ketra::render::DeferOffscreenFrames> paintedByTheWindow(std::in_place);
    window.SetPlotConfig(&m_document.Plotter().Config());
    // The project is the model's file: Save image suggests its name as a TIFF beside it.
    std::string project = m_document.Path();
    view.SetCurrentProject(nullptr, project.data());
    window.SetHoopsViewEx(&view, false);
    window.SetDocument(&m_document);
    m_elementCommands = std::make_unique<ketra::plotter::ElementCommands>(window, m_document.Plotter());
    m_elementCommands->SetPropertiesPanel([this](const std::vector<ketra::plotter::ElementInfo>& infos) {
        std::vector<ketra::ui::PropertySection> sections;
        for (const ketra::plotter::ElementInfo& info : infos) {
            sections.push_back({ketra::plotter::InfoTitle(info), info.lines});
            sections.back().lines.insert(sections.back().lines.end(), info.extra.begin(), info.extra.end());
        }
        if (!m_properties)
            m_properties = new ketra::ui::PropertiesPanel(m_frame.get());
        m_properties->ShowSections(sections);
    });
    // In any pane: each picks in its own view of the model.
    m_frame->SetHoverText([this](CHoopsView* window, int x, int y) {
        HBaseView* view = window ? window->GetHoopsView() : nullptr;
        return m_elementCommands && view ? ketra::plotter::HoverTextAt(m_document.Plotter(), *view, x, y)
                                         : std::string();
    });
    m_frame->SetDoubleClickHandler([this](CHoopsView* window, int x, int y) {
        HBaseView* view = window ? window->GetHoopsView() : nullptr;
        if (m_elementCommands && view)
            m_elementCommands->PropertiesAt(*view, x, y);
    });
    m_frame->SetUnitsText(m_document.UnitsText());
    // Left drag orbits until the user picks another tool, as the Orbit command sets it up.
    if (!view.GetOperator())
        window.OnCommand(kCmdOrbitCamera);
    window.StartConstantFrameRate();
    m_panes->SetModel(&m_document.Plotter().Model(), &m_document.Plotter().Config());
    // The window draws the new view from here on; the Update below asks it to paint.
    if (m_frame->Surface())
        m_frame->Surface()->RefreshTarget();
    if (m_browser->isVisible())
        m_browser->SetView(&view, m_document.Title());
    if (m_overview->isVisible())
        BuildOverview();
    m_frame->setWindowTitle(QString::fromStdString(m_document.Title()) + " - Ketra");
    paintedByTheWindow.reset();
    view.Update();
}

void ViewerApp::BuildOverview() {
    if (!m_document.HasModel())
        return;
    HMyBaseView& main = m_document.View();
    ketra::ui::OffscreenRendering offscreen;
    ketra::render::DeferOffscreenFrames paintedByTheDock;  // the dock's window draws it
    auto view = std::make_unique<HMyBaseView>(&m_document.Plotter().Model(), nullptr, nullptr,
                                              nullptr, 0, 0);
    view->Init();
    view->SetViewMode(HViewIsoSE, false, true);
    auto window = std::make_unique<CHoopsViewEx>();
    window->SetPlotConfig(&m_document.Plotter().Config());
    HMyBaseView* overview = view.release();
    window->SetHoopsViewEx(overview, true);
    window->LocalSetOperator(new HSOpCameraDrag(overview, &main));
    m_overview->SetWindow(std::move(window));
}

void ViewerApp::ShowOptions() {
    if (!m_document.HasModel())
        return;
    std::vector<HBaseView*> views;
    for (CHoopsView* window : m_panes->Windows())
        if (window && window->GetHoopsView())
            views.push_back(window->GetHoopsView());
    if (ketra::ui::ViewPane* pane = m_overview->Pane(); pane && pane->Window()->GetHoopsView())
        views.push_back(pane->Window()->GetHoopsView());
    if (ketra::ui::ShowOptionsDialog(m_frame.get(), m_document.Plotter().Config(), views))
        m_frame->statusBar()->showMessage("Options applied", 3000);
}

void ViewerApp::ShowKeysAndMouse() {
    ketra::ui::KeysAndMouseDialog dialog(m_frame.get());
    dialog.exec();
}

void ViewerApp::Show() {
    const std::vector<unsigned char> geometry = ViewerSettings::LoadBlob(ViewerSettings::kGeometry);
    if (!geometry.empty())
        m_frame->restoreGeometry(ToBytes(geometry));
    const std::vector<unsigned char> state = ViewerSettings::LoadBlob(ViewerSettings::kState);
    if (!state.empty())
        m_frame->restoreState(ToBytes(state));
    m_frame->show();
}

void ViewerApp::SaveSettings() {
    ketra::sys::RegistryTransaction transaction;
    ViewerSettings::SaveBlob(ViewerSettings::kGeometry, FromBytes(m_frame->saveGeometry()));
    ViewerSettings::SaveBlob(ViewerSettings::kState, FromBytes(m_frame->saveState()));
    ViewerSettings::SaveRecentFiles(m_recent);
    transaction.Commit();
}

} // namespace ketra::app
