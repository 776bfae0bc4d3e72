#include "platform/ui/QtWindowPort.h"

#include "platform/render/Renderer.h"
#include "platform/ui/HoopsViewSurface.h"
#include "platform/ui/QtDialogs.h"
#include "platform/ui/QtMenuBuilder.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/CMenu.h"

#include <QAction>
#include <QClipboard>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

namespace ketra::ui {

QtWindowPort::QtWindowPort(QObject* parent) : QObject(parent) {}

QtWindowPort::~QtWindowPort() = default;

void QtWindowPort::SetWindow(CHoopsView* window) {
    m_window = window;
}

void QtWindowPort::SetSurface(HoopsViewSurface* surface) {
    m_surface = surface;
    m_surfaceWidget = surface ? surface->Widget() : nullptr;
}

HoopsViewSurface* QtWindowPort::Surface() const {
    return m_surfaceWidget ? m_surface : nullptr;
}

void QtWindowPort::SetFrame(QMainWindow* frame) {
    m_frame = frame;
}

void QtWindowPort::RegisterPanel(const std::string& name, QWidget* panel) {
    m_panels[name] = panel;
}

QWidget* QtWindowPort::DialogParent() const {
    if (QWidget* widget = SurfaceWidget())
        return widget->window();
    return m_frame.data();
}

std::unique_ptr<QMenu> QtWindowPort::BuildPopup(const CMenu& menu, QWidget* parent) {
    auto popup = std::make_unique<QMenu>(parent);
    FillQMenu(*popup, menu);
    return popup;
}

unsigned int QtWindowPort::TrackPopupMenu(const CMenu& menu, CPoint screen, unsigned int) {
    // Both return modes give the id back here; CMenu::TrackPopupMenu sends it to the owner
    // when TPM_RETURNCMD is not set.
    std::unique_ptr<QMenu> popup = BuildPopup(menu, SurfaceWidget());
    const qreal ratio = SurfaceWidget() ? SurfaceWidget()->devicePixelRatioF() : 1.0;
    QAction* chosen =
        popup->exec(QPoint(static_cast<int>(screen.x / ratio), static_cast<int>(screen.y / ratio)));
    return chosen ? CommandId(*chosen) : 0;
}

CPoint QtWindowPort::ClientToScreen(CPoint client) {
    QWidget* widget = SurfaceWidget();
    if (!widget)
        return client;
    const qreal ratio = widget->devicePixelRatioF();
    const QPointF global = widget->mapToGlobal(QPointF(client.x / ratio, client.y / ratio));
    return CPoint(qRound(global.x() * ratio), qRound(global.y() * ratio));
}

CSize QtWindowPort::ClientSize() {
    if (HoopsViewSurface* surface = Surface())
        return CSize{surface->PixelWidth(), surface->PixelHeight()};
    return CSize{0, 0};
}

int QtWindowPort::MessageBox(const std::string& text, const std::string& caption,
                             unsigned int style) {
    return RunMessageBox(DialogParent(), text, caption, style);
}

ketra::window::FileDialogResult
QtWindowPort::FileDialog(const ketra::window::FileDialogRequest& request) {
    return RunFileDialog(DialogParent(), request);
}

bool QtWindowPort::NoteTextDialog(std::string& text, const std::string& title) {
    return RunNoteTextDialog(DialogParent(), text, title);
}

bool QtWindowPort::ChooseColor(unsigned int& rgb) {
    const QColor initial(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(initial, DialogParent());
    if (!chosen.isValid())
        return false;
    rgb = static_cast<unsigned int>(chosen.red()) |
          (static_cast<unsigned int>(chosen.green()) << 8) |
          (static_cast<unsigned int>(chosen.blue()) << 16);
    return true;
}

void QtWindowPort::PostCommand(unsigned int id) {
    // The window is looked up at delivery: one replaced or removed meanwhile gets nothing.
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            if (m_window)
                m_window->OnCommand(id);
        },
        Qt::QueuedConnection);
}

void QtWindowPort::SetCapture() {
    if (QWidget* widget = SurfaceWidget(); widget && widget->isVisible())
        widget->grabMouse();
}

void QtWindowPort::ReleaseCapture() {
    if (QWidget* widget = SurfaceWidget(); widget && QWidget::mouseGrabber() == widget)
        widget->releaseMouse();
}

void QtWindowPort::TrackMouseLeave() {
    if (HoopsViewSurface* surface = Surface())
        surface->Input().RequestLeaveNotice();
}

void QtWindowPort::SetTimer(unsigned int id, unsigned int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] {
            if (m_window)
                m_window->OnTimer(id);
        });
    }
    // Windows replaces the period of a timer set again under the same id.
    timer->start(static_cast<int>(milliseconds));
}

void QtWindowPort::KillTimer(unsigned int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

void QtWindowPort::Invalidate() {
    if (HoopsViewSurface* surface = Surface()) {
        surface->ScheduleOnPaint();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_window)
                m_window->OnPaint();
        },
        Qt::QueuedConnection);
}

bool QtWindowPort::SetClipboardImage(const ketra::render::Image& image) {
    if (image.Empty())
        return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setImage(ToQImage(image));
    return true;
}

bool QtWindowPort::Print(const ketra::render::Image& image,
                         const ketra::window::PrintRequest& request) {
    if (image.Empty())
        return false;
    return PrintPicture(DialogParent(), ToQImage(image), request);
}

void QtWindowPort::SetStatusText(int pane, const std::string& text) {
    if (!m_frame)
        return;
    const QString message = QString::fromUtf8(text.c_str());
    if (pane == 0) {
        m_frame->statusBar()->showMessage(message);
        return;
    }
    QPointer<QLabel>& label = m_statusPanes[pane];
    if (!label) {
        label = new QLabel(m_frame->statusBar());
        m_frame->statusBar()->addPermanentWidget(label);
    }
    label->setText(message);
}

void QtWindowPort::SetTitle(const std::string& title) {
    QWidget* top =
        m_frame ? m_frame.data() : (SurfaceWidget() ? SurfaceWidget()->window() : nullptr);
    if (top)
        top->setWindowTitle(QString::fromUtf8(title.c_str()));
}

bool QtWindowPort::IsKeyDown(unsigned int virtualKey) {
    switch (virtualKey) {
    case VK_SHIFT:
        return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    case VK_CONTROL:
        return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    case VK_MENU:
        return QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
    case VK_LBUTTON:
        return QGuiApplication::mouseButtons() & Qt::LeftButton;
    case VK_RBUTTON:
        return QGuiApplication::mouseButtons() & Qt::RightButton;
    case VK_MBUTTON:
        return QGuiApplication::mouseButtons() & Qt::MiddleButton;
    default:
        break;
    }
    HoopsViewSurface* surface = Surface();
    return surface && surface->Input().IsKeyHeld(virtualKey);
}

bool QtWindowPort::ShowPanel(const std::string& name, bool show) {
    auto it = m_panels.find(name);
    if (it == m_panels.end() || !it->second)
        return false;
    it->second->setVisible(show);
    return true;
}

} // namespace ketra::ui
