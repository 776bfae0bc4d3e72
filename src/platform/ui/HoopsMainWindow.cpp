#include "platform/ui/HoopsMainWindow.h"

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/ui/QtMenuBuilder.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/CMenu.h"
#include "platform/window/ResourceModule.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <chrono>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <chrono>
#include <cstdio>

namespace ketra::ui {
namespace {

const char* RenderModeName(HRenderMode mode) {
    switch (mode) {
    case HRenderWireframe:
        return "Wireframe";
    case HRenderSilhouette:
        return "Two Line";
    case HRenderHiddenLine:
    case HRenderHiddenLineFast:
    case HRenderBRepHiddenLine:
    case HRenderBRepHiddenLineFast:
        return "Hidden Lines";
    case HRenderGouraud:
    case HRenderGouraudWithEdges:
        return "Gouraud Shading";
    case HRenderFlat:
    case HRenderFlatWithEdges:
        return "Flat Shading";
    case HRenderMarkers:
        return "Markers";
    default:
        return "Shaded";
    }
}

// Tool tips show no mnemonics and no accelerator text.
QString PlainText(const std::string& text) {
    QString plain = QtItemText(text);
    const int tab = plain.indexOf('\t');
    if (tab >= 0)
        plain.truncate(tab);
    plain.replace("&&", QString(QChar(0xE000)));
    plain.remove('&');
    plain.replace(QChar(0xE000), "&");
    return plain;
}

void FillToolBar(QToolBar& bar, const CMenu& menu) {
    for (const CMenu::Item& item : menu.Items()) {
        if (item.separator) {
            bar.addSeparator();
            continue;
        }
        if (item.popup) {
            auto* sub = new QMenu(PlainText(item.text), &bar);
            FillQMenu(*sub, *item.popup);
            auto* button = new QToolButton(&bar);
            button->setText(PlainText(item.text));
            button->setToolTip(PlainText(item.text));
            button->setMenu(sub);
            button->setPopupMode(QToolButton::InstantPopup);
            bar.addWidget(button);
            continue;
        }
        QAction* action = MakeCommandAction(&bar, item.text.c_str(), item.id);
        action->setToolTip(PlainText(item.text));
        action->setCheckable(item.checked || item.radio);
        action->setChecked(item.checked);
        if (item.radio)
            SetRadioMark(*action, bar, true);
        action->setEnabled(!item.grayed);
        bar.addAction(action);
    }
}

void CollectCommandActions(const QList<QAction*>& actions, unsigned int id, QList<QAction*>& out) {
    for (QAction* action : actions) {
        if (QMenu* sub = action->menu())
            CollectCommandActions(sub->actions(), id, out);
        else if (CommandId(*action) == id)
            out << action;
    }
}

} // namespace

HoopsMainWindow::HoopsMainWindow(std::unique_ptr<CHoopsView> window, QWidget* parent)
    : QMainWindow(parent), m_port(std::make_unique<QtWindowPort>()), m_window(std::move(window)) {
    Init(ChooseSurface());
}

HoopsMainWindow::HoopsMainWindow(std::unique_ptr<CHoopsView> window, const SurfaceChoice& choice,
                                 QWidget* parent)
    : QMainWindow(parent), m_port(std::make_unique<QtWindowPort>()), m_window(std::move(window)) {
    Init(choice);
}

HoopsMainWindow::~HoopsMainWindow() {
    m_updateTimer->stop();
    // The drawing area goes first: it refers to the window until it is destroyed.
    m_port->SetSurface(nullptr);
    delete takeCentralWidget();
    m_surface = nullptr;
    m_window.reset();
    m_port->SetWindow(nullptr);
}

void HoopsMainWindow::Init(const SurfaceChoice& choice) {
    m_port->SetFrame(this);
    m_port->SetWindow(m_window.get());
    if (m_window)
        m_window->SetPort(m_port.get());
    if (choice.openGL)
        SetSurface(CreateViewSurface(choice, m_window.get(), this,
                                     [this](const QString& why) { FallBack(why); }));
    else
        FallBack(choice.why);

    m_modeLabel = new QLabel(this);
    statusBar()->addPermanentWidget(m_modeLabel);
    m_frameRateLabel = new QLabel(this);
    m_frameRateLabel->setObjectName("frameRateLabel");
    m_frameRateLabel->setVisible(false);
    statusBar()->addPermanentWidget(m_frameRateLabel);
    if (m_window)
        m_window->Commands().Add(
            kFrameRateCommand,
            [this] {
                m_showFrameRate = !m_showFrameRate;
                m_frameRate.Reset();
                m_frameRateLabel->clear();
                m_frameRateLabel->setVisible(m_showFrameRate);
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_showFrameRate); });
    m_updateTimer = new QTimer(this);
    connect(m_updateTimer, &QTimer::timeout, this, [this] {
        UpdateToolBar();
        UpdateStatus();
    });
    m_updateTimer->start(kUpdateIntervalMs);
    LoadCommandBars();
    resize(1100, 800);
    if (m_window)
        m_window->OnInitialUpdate();
    UpdateStatus();
}

void HoopsMainWindow::SetSurface(HoopsViewSurface* surface) {
    m_surface = surface;
    m_port->SetSurface(surface);
    surface->SetFrameListener([this] { NoteFrame(m_window.get()); });
    setCentralWidget(surface->Widget());
    surface->Widget()->setFocus();
}

void HoopsMainWindow::FallBack(const QString& why) {
    std::fprintf(stderr, "viewer: drawing offscreen into the window (%s)\n",
                 why.toLocal8Bit().constData());
    // The failed widget lets go of the window before its replacement registers for the
    // view's repaints; it is deleted later, outside the call that reported its failure.
    if (m_surface)
        m_surface->Detach();
    m_port->SetSurface(nullptr);
    if (QWidget* failed = takeCentralWidget())
        failed->deleteLater();
    SurfaceChoice raster;
    raster.why = why;
    SetSurface(CreateViewSurface(raster, m_window.get(), this, {}));
    if (m_surface)
        m_surface->Input().Resize(m_surface->PixelWidth(), m_surface->PixelHeight());
}

void HoopsMainWindow::ConnectCommand(QAction* action) {
    const unsigned int id = CommandId(*action);
    if (id == 0)
        return;
    connect(action, &QAction::triggered, this, [this, id] {
        if (CHoopsView* target = CommandTarget(id))
            target->OnCommand(id);
    });
}

CHoopsView* HoopsMainWindow::CommandTarget(unsigned int id) const {
    if (id == kFrameRateCommand)  // the frame's own, registered on its window
        return m_window.get();
    if (m_router)
        if (CHoopsView* routed = m_router(id))
            return routed;
    return m_window.get();
}

bool HoopsMainWindow::LoadCommandBars(const char* moduleName) {
    const QList<QAction*> previous = menuBar()->actions();
    menuBar()->clear();
    for (QAction* action : previous)
        delete action->menu();
    if (m_toolBar) {
        removeToolBar(m_toolBar);
        delete m_toolBar;
        m_toolBar = nullptr;
    }
    CMenu bar;
    CMenu tools;
    const ketra::window::ResourceModule* module = ketra::window::LoadResourceModule(moduleName);
    if (module) {
        ketra::window::ScopedResourceHandle handle(module);
        bar.LoadMenu(kMenuBarId);
        tools.LoadMenu(kToolBarId);
    }
    if (bar.GetMenuItemCount() == 0) {
        BuildMinimalMenu();
        return false;
    }
    for (const CMenu::Item& item : bar.Items()) {
        if (item.separator) {
            menuBar()->addSeparator();
        } else if (item.popup) {
            QMenu* menu = menuBar()->addMenu(QtItemText(item.text));
            FillQMenu(*menu, *item.popup);
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                if (m_window)
                    UpdateMenuActions(*menu, [this](unsigned int id) -> CWnd* { return CommandTarget(id); });
            });
        } else {
            QAction* action = MakeCommandAction(menuBar(), item.text.c_str(), item.id);
            action->setEnabled(!item.grayed);
            menuBar()->addAction(action);
        }
    }
    AddFrameRateItem();
    for (QAction* action : menuBar()->findChildren<QAction*>())
        ConnectCommand(action);
    if (tools.GetMenuItemCount() > 0) {
        m_toolBar = addToolBar("Tools");
        m_toolBar->setObjectName("commandToolBar");
        FillToolBar(*m_toolBar, tools);
        QList<QAction*> actions = m_toolBar->findChildren<QAction*>();
        for (QAction* action : actions)
            ConnectCommand(action);
    }
    UpdateCommandActions();
    return true;
}

void HoopsMainWindow::AddFrameRateItem() {
    for (QAction* top : menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (!menu || top->text().remove('&') != "View")
            continue;
        menu->addSeparator();
        QAction* action = MakeCommandAction(menu, "Frame &Rate", kFrameRateCommand);
        action->setCheckable(true);
        menu->addAction(action);
        return;
    }
}

void HoopsMainWindow::NoteFrame(CHoopsView* window) {
    HBaseView* view = window ? window->GetHoopsView() : nullptr;
    if (!m_showFrameRate || !view)
        return;
    HCamera camera;
    view->GetCamera(camera);
    // In four views the frames come from the pane being moved; another's frame starts over.
    const bool moving = m_frameWindow == window && m_frameCamera.valid && camera.CameraDifferent(m_frameCamera);
    m_frameCamera = camera;
    m_frameWindow = window;
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    m_frameRate.Frame(now, moving);
    m_frameRateLabel->setText(FrameRateText());
}

QString HoopsMainWindow::FrameRateText() const {
    if (!m_showFrameRate)
        return {};
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return QString::fromStdString(m_frameRate.Text(now));
}

void HoopsMainWindow::BuildMinimalMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Copy Picture", this, [this] {
        if (m_window)
            m_window->OnEditCopy();
    });
    file->addAction("&Print...", this, [this] {
        if (m_window)
            m_window->OnFilePrint(ketra::window::PrintRequest{});
    });
    file->addSeparator();
    file->addAction("E&xit", this, [this] { close(); });
}

void HoopsMainWindow::UpdateCommandActions() {
    if (!m_window)
        return;
    for (QAction* action : menuBar()->actions()) {
        if (QMenu* menu = action->menu())
            UpdateMenuActions(*menu, [this](unsigned int id) -> CWnd* { return CommandTarget(id); });
        else
            UpdateCommandAction(*action, *CommandTarget(CommandId(*action)));
    }
    UpdateToolBar();
}

void HoopsMainWindow::UpdateToolBar() {
    if (!m_window || !m_toolBar)
        return;
    for (QAction* action : m_toolBar->findChildren<QAction*>()) {
        if (QMenu* menu = qobject_cast<QMenu*>(action->parent()); menu && menu->isVisible())
            continue; // an open drop-down is left alone while the user reads it
        UpdateCommandAction(*action, *CommandTarget(CommandId(*action)));
    }
}

QList<QAction*> HoopsMainWindow::CommandActions(unsigned int id) const {
    QList<QAction*> found;
    CollectCommandActions(menuBar()->actions(), id, found);
    if (m_toolBar)
        CollectCommandActions(m_toolBar->findChildren<QAction*>(), id, found);
    return found;
}

void HoopsMainWindow::UpdateStatus() {
    // The tool and mode of the pane the user works in.
    CHoopsView* target = CommandTarget(0);
    HBaseView* view = target ? target->GetHoopsView() : nullptr;
    if (!view) {
        m_modeLabel->clear();
        return;
    }
    HBaseOperator* op = view->GetOperator();
    const QString tool =
        op && op->GetName() ? QString::fromUtf8(op->GetName()) : QString("no tool");
    m_modeLabel->setText(QString("%1 · %2").arg(tool, RenderModeName(view->GetRenderMode())));
    if (m_showFrameRate)
        m_frameRateLabel->setText(FrameRateText());  // cleared once the motion stops
}

} // namespace ketra::ui
