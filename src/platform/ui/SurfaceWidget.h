// SurfaceWidget: the event handling both drawing areas share, over their Qt base class
// (QOpenGLWidget or QWidget). Internal to platform/ui.
#pragma once

#include "platform/ui/HoopsViewSurface.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

namespace ketra::ui {

template <class Base> class SurfaceWidget : public Base, public HoopsViewSurface {
public:
    SurfaceWidget(CHoopsView* window, QWidget* parent) : Base(parent), HoopsViewSurface(window) {
        Base::setMinimumSize(320, 240);
        Base::setFocusPolicy(Qt::StrongFocus);
        // Windows reports moves without buttons too (hover, tool tips, walk).
        Base::setMouseTracking(true);
    }

    QWidget* Widget() override { return this; }

protected:
    qreal Ratio() const { return Base::devicePixelRatioF(); }

    void resizeEvent(QResizeEvent* e) override {
        Input().Resize(PixelWidth(), PixelHeight());
        Base::resizeEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override { Input().MousePress(*e, Ratio()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Input().MouseRelease(*e, Ratio());
        if (e->buttons() == Qt::NoButton)
            ButtonsReleased();
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Input().MouseDoubleClick(*e, Ratio()); }
    void mouseMoveEvent(QMouseEvent* e) override { Input().MouseMove(*e, Ratio()); }
    void wheelEvent(QWheelEvent* e) override {
        if (!Input().Wheel(*e, Ratio()))
            e->ignore();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (!Input().KeyPress(*e))
            Base::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (!Input().KeyRelease(*e))
            Base::keyReleaseEvent(e);
    }
    void leaveEvent(QEvent* e) override {
        Input().Leave();
        Base::leaveEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override {
        Input().ForgetKeys();
        Base::focusOutEvent(e);
    }
    // Tab and Backtab are keys of the view, not focus moves.
    bool focusNextPrevChild(bool) override { return false; }
};

} // namespace ketra::ui
