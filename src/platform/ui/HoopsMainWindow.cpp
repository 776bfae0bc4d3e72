#include "platform/ui/HoopsMainWindow.h"

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/ui/CommandHelp.h"
#include "platform/ui/QtMenuBuilder.h"
#include "platform/ui/ToolBarIcons.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/CMenu.h"
#include "platform/window/ResourceModule.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace ketra::ui {
namespace {

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
        const QString tip = QString::fromStdString(CommandToolTip(item.id, PlainText(item.text).toStdString()));
        action->setToolTip(tip);
        action->setStatusTip(tip);
        action->setIcon(ToolBarIcon(item.id));
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
    m_hoverTimer->stop();
    if (m_surfaceWidget)
        m_surfaceWidget->removeEventFilter(this);
    m_surfaceWidget = nullptr;
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
    m_modeLabel->setObjectName("modeLabel");
    statusBar()->addPermanentWidget(m_modeLabel);
    m_unitsLabel = new QLabel(this);
    m_unitsLabel->setObjectName("unitsLabel");
    m_unitsLabel->setVisible(false);
    statusBar()->addPermanentWidget(m_unitsLabel);
    m_hoverTimer = new QTimer(this);
    m_hoverTimer->setSingleShot(true);
    m_hoverTimer->setInterval(kHoverDelayMs);
    connect(m_hoverTimer, &QTimer::timeout, this,
            [this] { ShowHoverText(m_hoverAt.x(), m_hoverAt.y(), m_hoverWindow); });
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
    if (m_window)
        m_window->Commands().Add(kAboutCommand, [this] {
            QMessageBox::about(this, "About Ketra",
                               QString("<h3>Ketra %1</h3><p>3D plots of piping models: pipe runs, bends, "
                                       "supports, steel and their results.</p><p>Built with Qt %2.</p>")
                                   .arg(KETRA_VERSION, qVersion()));
        });
    m_updateTimer = new QTimer(this);
    connect(m_updateTimer, &QTimer::timeout, this, [this] {
        UpdateToolBar();
        UpdateStatus();
    });
    m_updateTimer->start(kUpdateIntervalMs);
    LoadCommandBars();
    // Wide enough for the tool bar's one row where the screen allows.
    const int available = screen() ? screen()->availableGeometry().width() : 1280;
    resize(std::min(1280, available), 800);
    if (m_window)
        m_window->OnInitialUpdate();
    UpdateStatus();
}

void HoopsMainWindow::SetSurface(HoopsViewSurface* surface) {
    m_surface = surface;
    m_port->SetSurface(surface);
    surface->SetFrameListener([this] { NoteFrame(m_window.get()); });
    setCentralWidget(surface->Widget());
    // Moves without a button held reach the view (and the hover text) too.
    if (m_surfaceWidget)
        m_surfaceWidget->removeEventFilter(this);
    m_surfaceWidget = surface->Widget();
    m_surfaceWidget->setMouseTracking(true);
    m_surfaceWidget->installEventFilter(this);
    surface->Widget()->setFocus();
}

void HoopsMainWindow::FallBack(const QString& why) {
    std::fprintf(stderr, "viewer: drawing offscreen into the window (%s)\n",
                 why.toLocal8Bit().constData());
    // The failed widget lets go of the window before its replacement registers for the
    // view's repaints; it is deleted later, outside the call that reported its failure.
    if (m_surface)
        m_surface->Detach();
    if (m_surfaceWidget)
        m_surfaceWidget->removeEventFilter(this);
    m_surfaceWidget = nullptr;
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
    if (id == kFrameRateCommand || id == kAboutCommand)  // the frame's own, registered on its window
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
    AddAboutItem();
    for (QAction* action : menuBar()->findChildren<QAction*>())
        ConnectCommand(action);
    if (tools.GetMenuItemCount() > 0) {
        m_toolBar = addToolBar("Tools");
        m_toolBar->setObjectName("commandToolBar");
        m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        m_toolBar->setIconSize(QSize(kToolBarIconSize, kToolBarIconSize));
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

void HoopsMainWindow::AddAboutItem() {
    for (QAction* top : menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (!menu || top->text().remove('&') != "Help")
            continue;
        menu->addSeparator();
        menu->addAction(MakeCommandAction(menu, "&About Ketra", kAboutCommand));
        return;
    }
}

void HoopsMainWindow::WatchPointer(QWidget* area, CHoopsView* window) {
    if (!area || !window)
        return;
    area->setMouseTracking(true);
    area->installEventFilter(this);
    m_paneAreas.emplace_back(area, window);
}

bool HoopsMainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Compared by address only: a drawing area being destroyed is not asked anything.
    CHoopsView* window = nullptr;
    QWidget* area = nullptr;
    if (m_surface && watched == m_surfaceWidget) {
        window = m_window.get();
        area = m_surfaceWidget;
    } else {
        for (const auto& [pane, shown] : m_paneAreas)
            if (pane && watched == pane.data()) {
                window = shown;
                area = pane.data();
            }
    }
    if (!window)
        return QMainWindow::eventFilter(watched, event);
    const qreal ratio = area->devicePixelRatioF();
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_hoverTimer->stop();
        if (mouse->buttons() == Qt::NoButton) {
            m_hoverWindow = window;
            m_hoverAt = QPoint(static_cast<int>(mouse->position().x() * ratio),
                               static_cast<int>(mouse->position().y() * ratio));
            m_hoverTimer->start();
        }
        break;
    }
    case QEvent::MouseButtonPress:
        m_hoverTimer->stop();
        break;
    case QEvent::Leave:  // what the pointer rested on is no longer under it
        m_hoverTimer->stop();
        statusBar()->clearMessage();
        break;
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_doubleClick) {
            const QPoint at(static_cast<int>(mouse->position().x() * ratio),
                            static_cast<int>(mouse->position().y() * ratio));
            // After the window has had the double-click itself.
            QTimer::singleShot(0, this, [this, at, window] {
                if (m_doubleClick && Knows(window))
                    m_doubleClick(window, at.x(), at.y());
            });
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool HoopsMainWindow::Knows(CHoopsView* window) const {
    if (window && window == m_window.get())
        return true;
    for (const auto& [pane, shown] : m_paneAreas)
        if (pane && shown == window)
            return true;
    return false;
}

void HoopsMainWindow::ShowHoverText(int x, int y, CHoopsView* window) {
    if (!window)
        window = m_window.get();
    if (!Knows(window))
        return;
    const std::string text = m_hoverText ? m_hoverText(window, x, y) : std::string();
    if (!text.empty()) {
        statusBar()->showMessage(QString::fromStdString(text));
        return;
    }
    CHoopsView* target = window;
    HBaseView* view = target ? target->GetHoopsView() : nullptr;
    HBaseOperator* op = view ? view->GetOperator() : nullptr;
    statusBar()->showMessage(QString::fromUtf8(DescribeTool(op ? op->GetName() : nullptr).hint));
}

void HoopsMainWindow::SetUnitsText(const std::string& text) {
    m_unitsLabel->setText(QString::fromStdString(text));
    m_unitsLabel->setVisible(!text.empty());
}

QString HoopsMainWindow::ModeText() const {
    CHoopsView* target = CommandTarget(0);
    HBaseView* view = target ? target->GetHoopsView() : nullptr;
    if (!view)
        return {};
    HBaseOperator* op = view->GetOperator();
    const ToolWords tool = DescribeTool(op ? op->GetName() : nullptr);
    return QString("%1 · %2").arg(QString::fromUtf8(tool.word), RenderModeWord(view->GetRenderMode()));
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
    m_modeLabel->setText(ModeText());
    if (m_showFrameRate)
        m_frameRateLabel->setText(FrameRateText());  // cleared once the motion stops
}

} // namespace ketra::ui
