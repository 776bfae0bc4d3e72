#include "platform/ui/ViewInput.h"

#include "platform/window/CHoopsView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace ketra::ui {
namespace {

CPoint PixelPoint(const QPointF& position, qreal ratio) {
    return CPoint(static_cast<int>(std::floor(position.x() * ratio)),
                  static_cast<int>(std::floor(position.y() * ratio)));
}

bool IsExtendedKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier)
        return qtKey == Qt::Key_Enter || qtKey == Qt::Key_Slash;
    switch (qtKey) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

unsigned int KeyFlags(const QKeyEvent& event) {
    unsigned int flags = 0;
    if (event.modifiers() & Qt::AltModifier)
        flags |= kKeyFlagAltDown;
    if (event.isAutoRepeat())
        flags |= kKeyFlagRepeat;
    if (IsExtendedKey(event.key(), event.modifiers()))
        flags |= kKeyFlagExtended;
    return flags;
}

} // namespace

unsigned int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 0x41 + static_cast<unsigned int>(qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (keypad ? 0x60u : 0x30u) + static_cast<unsigned int>(qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 0x70 + static_cast<unsigned int>(qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return VK_MENU;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Asterisk:
        return 0x6A;
    case Qt::Key_Plus:
        return 0x6B;
    case Qt::Key_Equal:
        return 0x3D;
    case Qt::Key_Minus:
        return 0x6D;
    case Qt::Key_Period:
        return keypad ? 0x6E : 0xBE;
    case Qt::Key_Slash:
        return keypad ? 0x6F : 0xBF;
    case Qt::Key_Comma:
        return 0xBC;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    default:
        return 0;
    }
}

unsigned int MessageFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned int flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

// Qt reports the buttons held after the event in buttons(): after a press it includes the
// pressed button and after a release it no longer does, as Windows' message flags say.
void ViewInput::MousePress(const QMouseEvent& event, qreal ratio) {
    if (!m_window)
        return;
    const unsigned int flags = MessageFlags(event.buttons(), event.modifiers());
    const CPoint point = PixelPoint(event.position(), ratio);
    switch (event.button()) {
    case Qt::LeftButton:
        SetCursor(kLButtonDownMessage);
        m_window->OnLButtonDown(flags, point);
        break;
    case Qt::MiddleButton:
        SetCursor(kMButtonDownMessage);
        m_window->OnMButtonDown(flags, point);
        break;
    case Qt::RightButton:
        SetCursor(kRButtonDownMessage);
        m_window->OnRButtonDown(flags, point);
        break;
    default:
        break;
    }
}

namespace {

// The window's handler for each button of one kind of message (left, middle, right).
using ButtonHandler = void (CHoopsView::*)(unsigned int, CPoint);
struct ButtonHandlers {
    ButtonHandler left, middle, right;
};

ButtonHandler HandlerFor(Qt::MouseButton button, const ButtonHandlers& handlers) {
    switch (button) {
    case Qt::LeftButton: return handlers.left;
    case Qt::MiddleButton: return handlers.middle;
    case Qt::RightButton: return handlers.right;
    default: return nullptr;
    }
}

} // namespace

void ViewInput::MouseRelease(const QMouseEvent& event, qreal ratio) {
    static constexpr ButtonHandlers kUp{&CHoopsView::OnLButtonUp, &CHoopsView::OnMButtonUp,
                                        &CHoopsView::OnRButtonUp};
    if (!m_window)
        return;
    if (const ButtonHandler handler = HandlerFor(event.button(), kUp))
        (m_window->*handler)(MessageFlags(event.buttons(), event.modifiers()),
                             PixelPoint(event.position(), ratio));
}

// Qt sends press, release, double click, release for a double click: the same sequence as
// Windows' down, up, double click, up, so the double click replaces the second press.
void ViewInput::MouseDoubleClick(const QMouseEvent& event, qreal ratio) {
    static constexpr ButtonHandlers kDouble{&CHoopsView::OnLButtonDblClk,
                                            &CHoopsView::OnMButtonDblClk,
                                            &CHoopsView::OnRButtonDblClk};
    if (!m_window)
        return;
    if (const ButtonHandler handler = HandlerFor(event.button(), kDouble))
        (m_window->*handler)(MessageFlags(event.buttons(), event.modifiers()),
                             PixelPoint(event.position(), ratio));
}

void ViewInput::MouseMove(const QMouseEvent& event, qreal ratio) {
    if (!m_window)
        return;
    SetCursor(kMouseMoveMessage);
    m_window->OnMouseMove(MessageFlags(event.buttons(), event.modifiers()),
                          PixelPoint(event.position(), ratio));
}

bool ViewInput::Wheel(const QWheelEvent& event, qreal ratio) {
    const int delta = event.angleDelta().y();
    if (!m_window || delta == 0)
        return false;
    m_window->OnMouseWheel(MessageFlags(event.buttons(), event.modifiers()),
                           static_cast<short>(std::clamp(delta, -32768, 32767)),
                           PixelPoint(event.position(), ratio));
    return true;
}

bool ViewInput::KeyPress(const QKeyEvent& event) {
    const unsigned int key = VirtualKeyFromQt(event.key(), event.modifiers());
    // The character the key types under the keyboard layout (none for Shift or arrows), so
    // that typed notes take text as the user typed it. A key without a key code of its own
    // ("!", "?") still types its character.
    const QList<uint> text = event.text().toUcs4();
    const char32_t typed = text.isEmpty() || text.front() < 0x20 ? 0 : char32_t(text.front());
    if (key == 0 && typed == 0)
        return false;
    if (key != 0)
        m_keysHeld.insert(key);
    if (m_window)
        m_window->OnKeyDownTyped(key, 1, KeyFlags(event), typed);
    return true;
}

// Windows sends no key-up for auto-repeat; Qt does, marked as repeats.
bool ViewInput::KeyRelease(const QKeyEvent& event) {
    const unsigned int key = VirtualKeyFromQt(event.key(), event.modifiers());
    if (key == 0)
        return false;
    if (event.isAutoRepeat())
        return true;
    m_keysHeld.erase(key);
    if (m_window)
        m_window->OnKeyUp(key, 1, KeyFlags(event));
    return true;
}

void ViewInput::SetCursor(unsigned int message) {
    // Windows asks while the mouse is not captured. A window that leaves the cursor alone
    // keeps the widget's own.
    if (!QWidget::mouseGrabber() && m_window)
        m_window->OnSetCursor(kHitClient, message);
}

void ViewInput::Resize(int pixelWidth, int pixelHeight) {
    if (m_window && pixelWidth > 0 && pixelHeight > 0)
        m_window->OnSize(0, pixelWidth, pixelHeight);
}

void ViewInput::Leave() {
    if (!m_leaveWanted)
        return;
    m_leaveWanted = false;
    if (m_window)
        m_window->OnMouseLeave();
}

} // namespace ketra::ui
