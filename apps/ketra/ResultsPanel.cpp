#include "ResultsPanel.h"

#include "ViewerDocument.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/ui/HoopsMainWindow.h"
#include "results/NodeNumbers.h"
#include "view/HMyBaseView.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"

#include <QAction>
#include <QActionGroup>
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
#include <QToolBar>
#include <QVBoxLayout>

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

bool ResultsPanel::Open(const std::string& path, std::string* error, bool quiet) {
    const host::PipingModel* model = m_document.HasModel() ? m_document.Plotter().DrawnModel() : nullptr;
    std::string message;
    results::ResultsLoad load;
    if (!model) {
        message = path + ": results need a piping model (a scene file has no node numbers)";
    } else {
        load = results::LoadResults(path, *model);
        message = load.error;
    }
    if (!model || !load.ok) {
        if (error)
            *error = message;
        if (!quiet)
            m_window.Port().MessageBox(message, "Ketra", ketra::window::MB_OK | ketra::window::MB_ICONERROR);
        return false;
    }
    Drop();
    m_results = std::move(load.results);
    m_path = path;
    plotter::Plotter& plotter = m_document.Plotter();
    m_display = std::make_unique<results::ResultsDisplay>(plotter, *model, m_results);
    m_document.View().GetEventManager()->RegisterHandler(m_escape.get());
    FillCases();
    m_file->setText(QFileInfo(QString::fromStdString(path)).fileName() + " (" +
                    QString::fromStdString(m_results.program.empty() ? "results" : m_results.program) + ")");
    ShowCase(m_results.cases.front().name);
    m_dock->show();
    return true;
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
