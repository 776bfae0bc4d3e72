#include "platform/ui/HoopsRasterWidget.h"

#include "platform/render/Renderer.h"
#include "platform/window/CHoopsView.h"

#include <QPainter>

#include <string>

namespace ketra::ui {

HoopsRasterWidget::HoopsRasterWidget(CHoopsView* window, QWidget* parent)
    : SurfaceWidget(window, parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

HoopsRasterWidget::~HoopsRasterWidget() {
    Detach();
}

QImage HoopsRasterWidget::Grab() {
    SetGrabbing(true);
    QImage picture = grab().toImage();
    SetGrabbing(false);
    return picture;
}

void HoopsRasterWidget::paintEvent(QPaintEvent*) {
    BeginPaint();
    CHoopsView* window = ViewWindow();
    ketra::render::FrameSettings settings;
    settings.width = PixelWidth();
    settings.height = PixelHeight();
    settings.samples = 1;
    ketra::render::Image image;
    std::string error = "no view";
    bool drawn = false;
    if (window && window->GetViewKey() != -1) {
        OffscreenRendering offscreen;
        drawn = ketra::render::RenderToImage(window->GetViewKey(), settings, image, &error);
    }
    QPainter painter(this);
    if (!drawn) {
        painter.fillRect(rect(), Qt::black);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString("cannot draw: " + error));
        EndPaint(false);
        return;
    }
    QImage frame(image.rgba.data(), image.width, image.height, QImage::Format_RGBA8888);
    frame.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(0, 0, frame);
    EndPaint(true);
}

} // namespace ketra::ui
