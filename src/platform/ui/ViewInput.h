// ViewInput: Qt's input events as the window messages a CHoopsView takes. Both drawing areas
// (HoopsViewWidget and its raster fallback) pass their mouse, wheel, key, resize and leave
// events here; the translation lives in one place so the two behave the same.
//
// Translation: pixel points are device pixels from the upper left corner; mouse flags are the
// Windows MK_ values of the buttons held after the event plus Shift and Control; the wheel
// gives 120 per notch; keys become Windows virtual-key codes (VirtualKeyFromQt), and keys
// without a code are not forwarded.
#pragma once

#include <Qt>
#include <QtGlobal>

#include <set>

class CHoopsView;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace ketra::ui {

// Key-message flags (high word of a Windows key message's lParam).
enum : unsigned int {
    kKeyFlagExtended = 0x0100, // a navigation key of the extended block
    kKeyFlagAltDown = 0x2000,  // context code: Alt held
    kKeyFlagRepeat = 0x4000,   // the key was already down (auto-repeat)
};

// The Windows virtual-key code of a Qt key, 0 for keys that have none here. Letters give
// 'A'-'Z', digits '0'-'9' (the keypad's 0x60-0x69), '+' 0x6B, '=' 0x3D, '-' 0x6D, '*' 0x6A,
// arrows 0x25-0x28, Delete 0x2E, F1-F12 0x70-0x7B.
unsigned int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// MK_LBUTTON, MK_MBUTTON, MK_RBUTTON, MK_SHIFT and MK_CONTROL of Qt's state.
unsigned int MessageFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

class ViewInput {
public:
    // The window the events go to (not owned; null: events are dropped).
    void SetWindow(CHoopsView* window) { m_window = window; }
    CHoopsView* Window() const { return m_window; }

    // `ratio` is the widget's device pixel ratio: points are scaled to device pixels.
    void MousePress(const QMouseEvent& event, qreal ratio);
    void MouseRelease(const QMouseEvent& event, qreal ratio);
    void MouseDoubleClick(const QMouseEvent& event, qreal ratio);
    void MouseMove(const QMouseEvent& event, qreal ratio);
    // False when the event carries no vertical wheel movement.
    bool Wheel(const QWheelEvent& event, qreal ratio);
    // False when the key has no virtual-key code (the event is then left to Qt).
    bool KeyPress(const QKeyEvent& event);
    bool KeyRelease(const QKeyEvent& event);
    // The window's size in device pixels changed.
    void Resize(int pixelWidth, int pixelHeight);
    // The pointer left the widget: one OnMouseLeave per RequestLeaveNotice.
    void Leave();
    void RequestLeaveNotice() { m_leaveWanted = true; }
    // Focus went elsewhere: releases never arrive for keys held now, so forget them.
    void ForgetKeys() { m_keysHeld.clear(); }

    // Whether a key (virtual-key code) was pressed in the widget and not yet released.
    bool IsKeyHeld(unsigned int virtualKey) const { return m_keysHeld.count(virtualKey) != 0; }

private:
    // Hit-test code and mouse messages a set-cursor message carries.
    static constexpr unsigned int kHitClient = 1;
    static constexpr unsigned int kMouseMoveMessage = 0x0200;
    static constexpr unsigned int kLButtonDownMessage = 0x0201;
    static constexpr unsigned int kRButtonDownMessage = 0x0204;
    static constexpr unsigned int kMButtonDownMessage = 0x0207;
    // Asks the window about the cursor before a move or press (Windows' WM_SETCURSOR).
    void SetCursor(unsigned int message);

    CHoopsView* m_window = nullptr;
    std::set<unsigned int> m_keysHeld;
    bool m_leaveWanted = false;
};

} // namespace ketra::ui
