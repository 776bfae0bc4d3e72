// HoopsRasterWidget: a view window's drawing area without OpenGL in the window. Each frame
// is rendered offscreen (EGL) at the widget's pixel size and painted; used where Qt offers no
// OpenGL 3.3 core windows (ChooseSurface) or the OpenGL form failed its first frame.
#pragma once

#include "platform/ui/SurfaceWidget.h"

#include <QWidget>

namespace ketra::ui {

class HoopsRasterWidget final : public SurfaceWidget<QWidget> {
public:
    // `window` is not owned and must outlive the widget.
    explicit HoopsRasterWidget(CHoopsView* window, QWidget* parent = nullptr);
    ~HoopsRasterWidget() override;

    QImage Grab() override;
    bool IsOpenGL() const override { return false; }

protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace ketra::ui
