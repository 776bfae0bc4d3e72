// The pages' port, preview widget and colour button.
#include "platform/ui/pages/PageSupport.h"

#include "platform/ui/pages/ColourNames.h"

#include "platform/render/Renderer.h"
#include "config/pages/CPropertyPage.h"

#include <QColorDialog>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace ketra::ui {

namespace {

ColorChooser& Chooser() {
    static ColorChooser chooser;
    return chooser;
}

QIcon Swatch(unsigned long color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(ToQColor(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

// The palette pop-up: the 20 shared colours, most recently used first, then Qt's dialog.
bool PaletteChooser(QWidget* parent, unsigned int& rgb) {
    QMenu menu(parent);
    CColorBtn button(rgb);
    int chosen = -2;
    for (int index : CColorBtn::IndexesByUse()) {
        const unsigned long color = CColorBtn::Colors()[static_cast<size_t>(index)];
        QAction* action = menu.addAction(Swatch(color), QString::fromStdString(ColourName(color)));
        QObject::connect(action, &QAction::triggered, [&chosen, index] { chosen = index; });
    }
    menu.addSeparator();
    QAction* other = menu.addAction("Other Colours...");
    QObject::connect(other, &QAction::triggered, [&chosen] { chosen = -1; });
    menu.exec(QCursor::pos());
    if (chosen >= 0) {
        button.ChoosePalette(chosen);
    } else if (chosen == -1) {
        const QColor color = QColorDialog::getColor(ToQColor(rgb), parent, "Color");
        if (!color.isValid())
            return false;
        button.ChooseOther(FromQColor(color));
    } else {
        return false;
    }
    rgb = static_cast<unsigned int>(button.GetColor());
    return true;
}

} // namespace

QColor ToQColor(unsigned long color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

unsigned long FromQColor(const QColor& color) {
    return static_cast<unsigned long>(color.red()) |
           (static_cast<unsigned long>(color.green()) << 8) |
           (static_cast<unsigned long>(color.blue()) << 16);
}

void SetColorChooser(ColorChooser chooser) {
    Chooser() = std::move(chooser);
}

bool ChooseColor(QWidget* parent, unsigned int& rgb) {
    if (Chooser())
        return Chooser()(parent, rgb);
    return PaletteChooser(parent, rgb);
}

// ---- port ------------------------------------------------------------------------------

PagePort::~PagePort() {
    for (auto& [id, timer] : m_timers)
        delete timer;
}

CSize PagePort::ClientSize() {
    return {m_widget->width(), m_widget->height()};
}

int PagePort::MessageBox(const std::string& text, const std::string& caption, unsigned int style) {
    using namespace ketra::window;
    const QString title = QString::fromStdString(caption.empty() ? "Options" : caption);
    const QString body = QString::fromStdString(text);
    if ((style & 0xF) == MB_YESNO || (style & 0xF) == MB_YESNOCANCEL)
        return QMessageBox::question(m_widget, title, body) == QMessageBox::Yes ? IDYES : IDNO;
    QMessageBox::information(m_widget, title, body);
    return IDOK;
}

bool PagePort::ChooseColor(unsigned int& rgb) {
    return ketra::ui::ChooseColor(m_widget, rgb);
}

void PagePort::SetTimer(unsigned int id, unsigned int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer();
        QObject::connect(timer, &QTimer::timeout, [this, id] {
            if (m_page)
                m_page->OnTimer(id);
            Invalidate();
        });
    }
    timer->start(static_cast<int>(milliseconds));
}

void PagePort::KillTimer(unsigned int id) {
    const auto it = m_timers.find(id);
    if (it != m_timers.end() && it->second)
        it->second->stop();
}

void PagePort::Invalidate() {
    if (m_preview)
        m_preview->update();
    m_widget->update();
}

// ---- preview -----------------------------------------------------------------------------

PreviewWidget::PreviewWidget(std::function<PagePreview*()> preview, QWidget* parent)
    : QWidget(parent), m_preview(std::move(preview)) {
    setMinimumSize(240, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

PreviewWidget::~PreviewWidget() {
    if (m_attached != -1)
        ketra::render::SetWindowTarget(m_attached, {});
}

void PreviewWidget::Attach() {
    PagePreview* preview = m_preview();
    if (!preview)
        return;
    if (m_attached != -1)
        ketra::render::SetWindowTarget(m_attached, {});
    m_attached = preview->GetViewKey();
    ketra::render::SetWindowTarget(m_attached, [this] { update(); });
}

void PreviewWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PagePreview* preview = m_preview();
    if (!preview) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const int width = std::max(1, static_cast<int>(this->width() * ratio));
    const int height = std::max(1, static_cast<int>(this->height() * ratio));
    preview->SetSize(width, height);
    // The headless renderer uses its own (EGL) context: give up Qt's (GLX) one first.
    if (QOpenGLContext* current = QOpenGLContext::currentContext())
        current->doneCurrent();
    ketra::render::Image image;
    std::string error;
    if (!ketra::render::RenderToImage(preview->GetViewKey(), {width, height, 1}, image, &error)) {
        painter.fillRect(rect(), Qt::black);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString("cannot draw: " + error));
        return;
    }
    m_last = QImage(image.rgba.data(), image.width, image.height, QImage::Format_RGBA8888).copy();
    m_last.setDevicePixelRatio(ratio);
    painter.drawImage(0, 0, m_last);
}

// ---- colour button -------------------------------------------------------------------------

ColorButton::ColorButton(QWidget* parent) : QToolButton(parent) {
    setText("Color...");
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(this, &QToolButton::clicked, this, [this] { Choose(); });
    Paint();
}

void ColorButton::SetColor(unsigned long color) {
    m_button.SetColor(color);
    Paint();
}

void ColorButton::Choose() {
    unsigned int rgb = static_cast<unsigned int>(m_button.GetColor());
    if (!ChooseColor(this, rgb))
        return;
    SetColor(rgb);
    if (onChanged)
        onChanged(rgb);
}

void ColorButton::Paint() {
    setIcon(Swatch(m_button.GetColor()));
}

} // namespace ketra::ui
