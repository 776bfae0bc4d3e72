// HEventInfo: one mouse, keyboard, wheel or timer event as the operators of a view see it.
// The window position is in "local window" coordinates (x and y from -1 to 1 across the
// window, +y up). SetPoint derives the world and viewpoint positions from the view's camera:
// the world position is the point under the cursor on the plane through the camera target,
// facing the camera (window z = 0), so a drag can compare world positions directly.
#pragma once

#include "platform/mvo/HPoint.h"

class HBaseView;

// Event types. The numbers are fixed: the view window compares them (mouse move 10,
// right button 7 to 9, key down 15).
enum HEventType {
    HE_NoEvent = 0,
    HE_LButtonDown = 1,
    HE_LButtonUp = 2,
    HE_LButtonDblClk = 3,
    HE_MButtonDown = 4,
    HE_MButtonUp = 5,
    HE_MButtonDblClk = 6,
    HE_RButtonDown = 7,
    HE_RButtonUp = 8,
    HE_RButtonDblClk = 9,
    HE_MouseMove = 10,
    HE_MouseWheel = 11,
    HE_Timer = 12,
    HE_SetCursor = 13,
    HE_MouseLeave = 14,
    HE_KeyDown = 15,
    HE_KeyUp = 16,
};

// Event flags: buttons held and modifier keys (the values of the Windows MK_ flags, so a
// host's message flags can be passed through unchanged).
enum HEventFlags : unsigned int {
    MVO_LBUTTON = 0x0001,
    MVO_RBUTTON = 0x0002,
    MVO_SHIFT = 0x0004,
    MVO_CONTROL = 0x0008,
    MVO_MBUTTON = 0x0010,
    MVO_ALT = 0x0020,
};

class HEventInfo {
public:
    // view may be null; then world and viewpoint positions equal the window position.
    explicit HEventInfo(HBaseView* view = nullptr);

    // A mouse event at window position (x, y) in local window coordinates.
    void SetPoint(HEventType type, float x, float y, unsigned int flags);
    // A mouse event at pixel (px, py) of the view's window (origin upper left, y down).
    void SetPixelPoint(HEventType type, int px, int py, unsigned int flags);
    // A key event: the key code (as GetChar returns it), repeat count and flags.
    void SetKey(HEventType type, unsigned int character, unsigned int repeatCount,
                unsigned int flags);
    // A wheel event at window position (x, y); delta in wheel notches (120 per notch on
    // Windows hosts; operators only use the sign).
    void SetMouseWheel(float x, float y, float delta, unsigned int flags);
    void SetTimer(float seconds);
    // The character a key-down types, as the keyboard layout and modifiers give it (0: the
    // key types nothing, such as Shift or an arrow). Windows that know it set it; without it
    // HasTyped is false and operators that type fall back to the key code.
    void SetTyped(char32_t typed) {
        m_typed = typed;
        m_hasTyped = true;
    }

    HBaseView* GetView() const { return m_view; }
    HEventType GetType() const { return m_type; }
    unsigned int GetFlags() const { return m_flags; }
    const HPoint& GetMouseWindowPos() const { return m_windowPos; }
    const HPoint& GetMouseWorldPos() const { return m_worldPos; }
    const HPoint& GetMouseViewpointPos() const { return m_viewpointPos; }
    // Pixel position of the event (only meaningful for mouse events).
    const HPoint& GetMousePixelPos() const { return m_pixelPos; }
    unsigned int GetChar() const { return m_char; }
    bool HasTyped() const { return m_hasTyped; }
    char32_t GetTyped() const { return m_typed; }
    unsigned int GetRepCount() const { return m_repeatCount; }
    float GetMouseWheelDelta() const { return m_wheelDelta; }
    float GetTime() const { return m_time; }
    bool GetShift() const { return (m_flags & MVO_SHIFT) != 0; }
    bool GetControl() const { return (m_flags & MVO_CONTROL) != 0; }
    bool GetAlt() const { return (m_flags & MVO_ALT) != 0; }
    bool IsLeftButtonDown() const { return (m_flags & MVO_LBUTTON) != 0; }
    bool IsMiddleButtonDown() const { return (m_flags & MVO_MBUTTON) != 0; }
    bool IsRightButtonDown() const { return (m_flags & MVO_RBUTTON) != 0; }

private:
    void ComputePositions();

    HBaseView* m_view = nullptr;
    HEventType m_type = HE_NoEvent;
    unsigned int m_flags = 0;
    HPoint m_windowPos;
    HPoint m_worldPos;
    HPoint m_viewpointPos;
    HPoint m_pixelPos;
    unsigned int m_char = 0;
    char32_t m_typed = 0;
    bool m_hasTyped = false;
    unsigned int m_repeatCount = 0;
    float m_wheelDelta = 0.0f;
    float m_time = 0.0f;
};
