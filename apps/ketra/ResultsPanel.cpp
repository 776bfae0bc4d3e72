#include "ResultsPanel.h"

#include "ViewerDocument.h"
#include "analysis/AnalyseModel.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/sys/AtomicFile.h"
#include "platform/ui/HoopsMainWindow.h"
#include "results/NodeNumbers.h"
#include "view/HMyBaseView.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <filesystem>

namespace ketra::app {

using namespace ketra::view;

// Moves the displaced shape on the view layer's timer manager, which the window ticks.
class ResultsPanel::Animation final : public HTClient {
public:
    explicit Animation(ResultsPanel& panel)
        : HTClient(1.0f / 30, HTCS_PeriodicSkip), m_panel(panel), m_start(HUtility::GetTime()) {
        HTManager::Instance()->RegisterClient(this);
    }
    bool Tick(float, float now) override {
        const results::LoadCase* c = m_panel.m_display ? m_panel.m_display->Current() : nullptr;
        if (c && m_panel.m_display->SetPhase(results::AnimationPhase(*c, now - m_start)))
            m_panel.Redraw();
        return true;
    }

private:
    ResultsPanel& m_panel;
    float m_start;
};

// Escape stops the animation, whatever tool has the keys.
class ResultsPanel::EscapeKey final : public HMouseListener {
public:
    explicit EscapeKey(ResultsPanel& panel) : m_panel(panel) {}
    int OnKeyDown(HEventInfo& event) override {
        if (event.GetChar() == VK_ESCAPE && m_panel.Animating())
            m_panel.StopAnimation();
        return 0;
    }

private:
    ResultsPanel& m_panel;
};

ResultsPanel::ResultsPanel(ketra::ui::HoopsMainWindow& frame, CHoopsViewEx& window, ViewerDocument& document)
    : m_frame(frame), m_window(window), m_document(document), m_escape(std::make_unique<EscapeKey>(*this)) {
    BuildDock();
    BuildMenu();
    RegisterCommands();
}

ResultsPanel::~ResultsPanel() { Drop(); }

void ResultsPanel::BuildDock() {
    m_dock = new QDockWidget("Results", &m_frame);
    m_dock->setObjectName("results");
    auto* body = new QWidget(m_dock);
    auto* layout = new QVBoxLayout(body);
    m_file = new QLabel("No results: File > Open Results...", body);
    m_file->setWordWrap(true);
    layout->addWidget(m_file);
    m_cases = new QListWidget(body);
    m_cases->setObjectName("resultsCases");
    layout->addWidget(m_cases, 1);
    auto* form = new QFormLayout;
    m_colours = new QComboBox(body);
    m_colours->setObjectName("resultsColours");
    m_colours->addItems({"Stress ratio", "Stress", "None"});
    form->addRow("Colours", m_colours);
    m_scale = new QDoubleSpinBox(body);
    m_scale->setObjectName("resultsScale");
    m_scale->setRange(0, 1e7);
    m_scale->setDecimals(2);
    m_scale->setSpecialValueText("Auto");
    m_scale->setKeyboardTracking(false);
    form->addRow("Scale", m_scale);
    layout->addLayout(form);
    m_displaced = new QCheckBox("Displaced shape", body);
    m_displaced->setChecked(true);
    m_loads = new QCheckBox("Support loads", body);
    m_animate = new QPushButton("Animate", body);
    m_animate->setObjectName("resultsAnimate");
    m_animate->setCheckable(true);
    for (QWidget* w : {static_cast<QWidget*>(m_displaced), static_cast<QWidget*>(m_loads),
                       static_cast<QWidget*>(m_animate)})
        layout->addWidget(w);
    m_dock->setWidget(body);
    m_frame.addDockWidget(Qt::RightDockWidgetArea, m_dock);
    m_dock->hide();

    QObject::connect(m_cases, &QListWidget::currentTextChanged, m_dock, [this](const QString& name) {
        if (!m_filling && !name.isEmpty())
            ShowCase(name.toStdString());
    });
    auto reshow = [this] {
        if (!m_filling)
            Reshow();
    };
    QObject::connect(m_colours, &QComboBox::currentIndexChanged, m_dock, reshow);
    QObject::connect(m_displaced, &QCheckBox::toggled, m_dock, reshow);
    QObject::connect(m_loads, &QCheckBox::toggled, m_dock, reshow);
    QObject::connect(m_scale, &QDoubleSpinBox::valueChanged, m_dock, reshow);
    QObject::connect(m_animate, &QPushButton::clicked, m_dock, [this] { m_window.OnCommand(kCmdCollaborate); });
    // The legend is laid out in the view's pixels: a view that changed size gets it again.
    auto* resize = new QTimer(m_dock);
    QObject::connect(resize, &QTimer::timeout, m_dock, [this] {
        int width = 0, height = 0;
        if (m_display && m_document.HasModel())
            m_document.View().GetWindowSizeInPixels(width, height);
        if (width > 0 && (width != m_legendWidth || height != m_legendHeight)) {
            m_legendWidth = width;
            m_legendHeight = height;
            m_display->FitLegend();
            Redraw();
        }
    });
    resize->start(250);
}

void ResultsPanel::BuildMenu() {
    QMenu* menu = new QMenu("Res&ults", &m_frame);
    menu->setObjectName("resultsMenu");
    QAction* open = menu->addAction("Open &Results...", [this] { OpenWithDialog(); });
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_caseMenu = menu->addMenu("Load &Case");
    m_caseMenu->setEnabled(false);
    menu->addSeparator();
    m_animateAction = menu->addAction("&Animate", [this] { m_window.OnCommand(kCmdCollaborate); });
    m_animateAction->setCheckable(true);
    QAction* loads = menu->addAction("Support &Loads", [this] { m_window.OnCommand(kCmdForces); });
    loads->setCheckable(true);
    menu->addSeparator();
    menu->addAction("&Node Numbers: All", [this] { ShowAllNodeNumbers(); });
    menu->addAction("Node Numbers: &Selection", [this] { ShowSelectedNodeNumbers(); });
    menu->addAction("&Hide Node Numbers", [this] { HideNodeNumbers(); });
    menu->addSeparator();
    m_saveAction = menu->addAction("Sa&ve Results As...", [this] {
        QString folder;
        if (!m_document.Path().empty())
            folder = QFileInfo(QString::fromStdString(m_document.Path())).absolutePath();
        const QString base = QFileInfo(QString::fromStdString(m_document.Path())).completeBaseName();
        const QString path = QFileDialog::getSaveFileName(&m_frame, "Save Results As", folder + "/" + base + "-results.json",
                                                          "Results files (*.json)");
        std::string why;
        if (path.isEmpty())
            return;
        if (SaveResults(path.toStdString(), &why))
            m_frame.statusBar()->showMessage("Wrote " + path);
        else
            m_window.Port().MessageBox(why, "Ketra", ketra::window::MB_OK | ketra::window::MB_ICONERROR);
    });
    m_saveAction->setEnabled(false);
    menu->addAction(m_dock->toggleViewAction());
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this, loads] {
        m_animateAction->setEnabled(HasResults());
        m_animateAction->setChecked(Animating());
        loads->setEnabled(HasResults());
        loads->setChecked(LoadsShown());
    });
    // Before Help, as a host's own menus go.
    QAction* help = nullptr;
    for (QAction* a : m_frame.menuBar()->actions())
        if (a->menu() && a->text().remove('&') == "Help")
            help = a;
    m_frame.menuBar()->insertMenu(help, menu);
    // Analysis > Run: the built-in solver, its results shown at once.
    QMenu* analysis = new QMenu("&Analysis", &m_frame);
    analysis->setObjectName("analysisMenu");
    QAction* run = analysis->addAction("&Run", [this] { RunAnalysis(); });
    run->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    run->setStatusTip("Analyse the model: operating, sustained and expansion stresses, and its lowest modes");
    m_frame.menuBar()->insertMenu(menu->menuAction(), analysis);
    // File > Open Results..., after Open...
    const QList<QAction*> opens = m_frame.CommandActions(kCmdAppFileOpen);
    for (QAction* a : m_frame.menuBar()->actions()) {
        if (!a->menu() || opens.isEmpty() || !a->menu()->actions().contains(opens.front()))
            continue;
        const QList<QAction*> items = a->menu()->actions();
        const int at = int(items.indexOf(opens.front()));
        a->menu()->insertAction(at + 1 < items.size() ? items[at + 1] : nullptr, open);
    }
    QToolBar* bar = m_frame.addToolBar("Results");
    bar->setObjectName("resultsToolBar");
    QAction* animate = bar->addAction("Animate", [this] { m_window.OnCommand(kCmdCollaborate); });
    animate->setObjectName("resultsAnimateTool");
    animate->setToolTip("Animate the displaced shape (Escape stops)");
}

void ResultsPanel::RegisterCommands() {
    CommandMap& map = m_window.Commands();
    map.Add(
        kCmdForces, [this] { SetLoadsShown(!LoadsShown()); },
        [this](CCmdUI& ui) {
            ui.Enable(HasResults() && !m_display->Current()->supports.empty());
            ui.SetCheck(LoadsShown());
        });
    map.Add(
        kCmdCollaborate, [this] { ToggleAnimation(); },
        [this](CCmdUI& ui) {
            ui.Enable(HasResults() && !m_display->Current()->displacements.empty());
            ui.SetCheck(Animating());
        });
}

bool ResultsPanel::Fail(const std::string& message, std::string* error, bool quiet) {
    if (error)
        *error = message;
    if (!quiet)
        m_window.Port().MessageBox(message, "Ketra", ketra::window::MB_OK | ketra::window::MB_ICONERROR);
    return false;
}

bool ResultsPanel::Open(const std::string& path, std::string* error, bool quiet) {
    const host::PipingModel* model = m_document.HasModel() ? m_document.Plotter().DrawnModel() : nullptr;
    if (!model)
        return Fail(path + ": results need a piping model (a scene file has no node numbers)", error, quiet);
    results::ResultsLoad load = results::LoadResults(path, *model);
    if (!load.ok)
        return Fail(load.error, error, quiet);
    const QString program = QString::fromStdString(load.results.program.empty() ? "results" : load.results.program);
    Show(std::move(load.results), path, QFileInfo(QString::fromStdString(path)).fileName() + " (" + program + ")");
    return true;
}

bool ResultsPanel::RunAnalysis(int modes, std::string* error, bool quiet) {
    const host::PipingModel* model = m_document.HasModel() ? m_document.Plotter().DrawnModel() : nullptr;
    const std::string name = m_document.Path().empty() ? "model" : m_document.Path();
    if (!model)
        return Fail(name + ": only a piping model can be analysed (a scene file has no analysis data)", error, quiet);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const analysis::ModelAnalysis result = analysis::AnalyseModel(*model, name, analysis::CaseChoice{}, modes);
    QApplication::restoreOverrideCursor();
    if (!result.ok)
        return Fail(result.error, error, quiet);
    const std::string note = result.modesError.empty() ? std::string() : " No modes: " + result.modesError;
    const std::string modelName = std::filesystem::path(name).filename().string();
    std::string text = analysis::ResultsJson(result.piping, result.cases, "ketra " KETRA_VERSION, modelName);
    // Read back as any results file is: what is shown is what Save Results As writes.
    results::ResultsLoad load = results::ParseResults(text, modelName + " (analysis)", *model);
    if (!load.ok)
        return Fail(load.error, error, quiet);
    Show(std::move(load.results), std::string(), QString::fromStdString("Analysis of " + modelName));
    m_runText = std::move(text);
    m_saveAction->setEnabled(true);
    std::string said = "Analysed " + modelName + ": " + std::to_string(m_results.cases.size()) + " cases.";
    for (const std::string& w : result.warnings)
        said += " " + w + ".";
    m_frame.statusBar()->showMessage(QString::fromStdString(said + note));
    return true;
}

bool ResultsPanel::SaveResults(const std::string& path, std::string* error) {
    std::string why = "no analysis has been run";
    if (!m_runText.empty() && sys::WriteFileAtomically(path, m_runText, &why)) {
        m_path = path;
        return true;
    }
    if (error)
        *error = why;
    return false;
}

void ResultsPanel::Show(results::Results results, const std::string& path, const QString& label) {
    Drop();
    m_results = std::move(results);
    m_path = path;
    const host::PipingModel* model = m_document.Plotter().DrawnModel();
    m_display = std::make_unique<results::ResultsDisplay>(m_document.Plotter(), *model, m_results);
    m_document.View().GetEventManager()->RegisterHandler(m_escape.get());
    FillCases();
    m_file->setText(label);
    m_dock->show();
    ShowCase(m_results.cases.front().name);
}

void ResultsPanel::OpenWithDialog() {
    QString folder;
    if (!m_document.Path().empty())
        folder = QFileInfo(QString::fromStdString(m_document.Path())).absolutePath();
    const QString path = QFileDialog::getOpenFileName(&m_frame, "Open Results", folder,
                                                      "Results files (*.json);;All files (*)");
    if (!path.isEmpty())
        Open(path.toStdString());
}

void ResultsPanel::Drop() {
    StopAnimation();
    if (!m_display)
        return;
    m_display.reset(); // clears what it showed
    if (m_document.HasModel())
        m_document.View().GetEventManager()->UnRegisterHandler(m_escape.get());
    m_results = {};
    m_path.clear();
    m_runText.clear();
    if (m_saveAction)
        m_saveAction->setEnabled(false);
    m_filling = true;
    m_cases->clear();
    m_filling = false;
    m_caseMenu->clear();
    m_caseMenu->setEnabled(false);
    m_file->setText("No results: File > Open Results...");
}

void ResultsPanel::FillCases() {
    m_filling = true;
    m_cases->clear();
    m_caseMenu->clear();
    auto* group = new QActionGroup(m_caseMenu);
    for (const results::LoadCase& c : m_results.cases) {
        QString text = QString::fromStdString(c.name);
        m_cases->addItem(text);
        QAction* a = m_caseMenu->addAction(text + "\t" + results::CaseKindName(c.kind),
                                           [this, name = c.name] { ShowCase(name); });
        a->setCheckable(true);
        a->setData(text);
        group->addAction(a);
    }
    m_caseMenu->setEnabled(true);
    m_filling = false;
}

bool ResultsPanel::ShowCase(const std::string& name) {
    if (!m_display || !m_results.Find(name))
        return false;
    const bool animating = Animating();
    StopAnimation();
    m_filling = true;
    const QString text = QString::fromStdString(name);
    const QList<QListWidgetItem*> items = m_cases->findItems(text, Qt::MatchExactly);
    if (!items.isEmpty())
        m_cases->setCurrentItem(items.front());
    for (QAction* a : m_caseMenu->actions())
        a->setChecked(a->data().toString() == text);
    m_filling = false;
    results::DisplayOptions options;
    options.colours = m_colours->currentIndex() != 2;
    options.measure = m_colours->currentIndex() == 1 ? results::StressMeasure::Stress : results::StressMeasure::Ratio;
    options.displaced = m_displaced->isChecked();
    options.loads = m_loads->isChecked();
    options.scale = m_scale->value();
    m_display->Show(name, options);
    m_frame.statusBar()->showMessage(QString::fromStdString(m_display->LegendLines().front()), 4000);
    if (animating)
        ToggleAnimation();
    Redraw();
    return true;
}

void ResultsPanel::Reshow() {
    if (m_display && m_display->Current())
        ShowCase(m_display->Current()->name);
}

bool ResultsPanel::LoadsShown() const { return m_display && m_display->Current() && m_display->Options().loads; }

void ResultsPanel::SetLoadsShown(bool shown) {
    m_loads->setChecked(shown); // shows the case again through the check box
}

bool ResultsPanel::Animating() const { return m_animation != nullptr; }

void ResultsPanel::ToggleAnimation() {
    if (Animating()) {
        StopAnimation();
        return;
    }
    if (!m_display || !m_display->Current() || m_display->Current()->displacements.empty())
        return;
    if (!m_displaced->isChecked())
        m_displaced->setChecked(true); // the animation moves the displaced shape
    m_animation = std::make_unique<Animation>(*this);
    m_animate->setChecked(true);
    m_frame.statusBar()->showMessage("Animating the displaced shape: Animate or Escape stops", 4000);
}

void ResultsPanel::StopAnimation() {
    if (!m_animation)
        return;
    m_animation.reset(); // unregisters from the timer manager
    m_animate->setChecked(false);
    if (m_display && m_display->SetPhase(1)) // the full displaced shape, as before
        Redraw();
}

void ResultsPanel::Redraw() {
    if (m_document.HasModel())
        m_document.View().Update();
}

void ResultsPanel::ShowAllNodeNumbers() {
    if (const host::PipingModel* model = m_document.HasModel() ? m_document.Plotter().DrawnModel() : nullptr) {
        results::ShowNodeNumbers(m_document.Plotter(), *model);
        Redraw();
    }
}

void ResultsPanel::ShowSelectedNodeNumbers() {
    const host::PipingModel* model = m_document.HasModel() ? m_document.Plotter().DrawnModel() : nullptr;
    if (!model)
        return;
    std::vector<long> keys;
    if (HSelectionSet* selection = m_document.View().GetSelection())
        for (unsigned int i = 0; i < selection->GetSize(); ++i)
            keys.push_back(selection->GetAt(i));
    const std::vector<int> nodes = results::NodesOf(m_document.Plotter(), keys);
    if (nodes.empty()) {
        m_frame.statusBar()->showMessage("Node numbers: nothing selected", 4000);
        results::HideNodeNumbers(m_document.Plotter());
    } else {
        results::ShowNodeNumbers(m_document.Plotter(), *model, nodes);
    }
    Redraw();
}

void ResultsPanel::HideNodeNumbers() {
    if (m_document.HasModel()) {
        results::HideNodeNumbers(m_document.Plotter());
        Redraw();
    }
}

} // namespace ketra::app
