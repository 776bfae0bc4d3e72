// CHoopsView: a window that shows one HBaseView. A toolkit skin calls the On... message
// handlers with window messages (pixel points with the origin at the upper left, Windows
// MK_ flags, virtual-key codes); the handlers turn them into HEventInfo events for the view's
// current operator and mouse listeners. Copy and print render the view and hand the picture
// to the port.
//
// Ownership: the window owns its view unless told otherwise (SetHoopsView's takeOwnership),
// and deletes an owned view in its destructor. The document is not owned.
#pragma once

#include "platform/mvo/HEventInfo.h"
#include "platform/window/CWnd.h"

typedef long HC_KEY;

class CHoopsDoc;
class HBaseView;

// Windows message flags (wParam of mouse messages).
enum : unsigned int {
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
    MK_MBUTTON = 0x0010,
};

// Virtual-key codes the window layer names.
enum : unsigned int {
    VK_LBUTTON = 0x01,
    VK_RBUTTON = 0x02,
    VK_MBUTTON = 0x04,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,  // Alt
    VK_ESCAPE = 0x1B,
    VK_RETURN = 0x0D,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
};

class CHoopsView : public CWnd {
public:
    // Timer id the window uses to drive the view layer's timer manager (HTManager).
    static constexpr unsigned int kTimerManagerTimer = 0x4B54;
    static constexpr unsigned int kTimerManagerPeriodMs = 10;

    explicit CHoopsView(ketra::window::WindowPort* port = nullptr);
    ~CHoopsView() override;

    // Shows `view` (null: none). With takeOwnership the window deletes it when it is replaced
    // or the window is destroyed; without, the caller keeps it alive while it is set. A
    // previous owned view (other than `view`) is deleted.
    void SetHoopsView(HBaseView* view, bool takeOwnership = true);
    HBaseView* GetHoopsView() const { return m_pHView; }
    bool OwnsHoopsView() const { return m_ownsView; }
    CHoopsDoc* GetDocument() const { return m_pDocument; }
    void SetDocument(CHoopsDoc* document) { m_pDocument = document; }

    // The view's keys, or -1 while no view is set.
    HC_KEY GetViewKey() const;
    HC_KEY GetSceneKey() const;

    // Window message flags to the view layer's event flags. Buttons, Shift and Control keep
    // their values; Alt is read from the keyboard (the port) since mouse messages lack it.
    virtual unsigned int MapFlags(unsigned long flags);
    // The keyboard and buttons held now, as message flags (MK_...), read through the port.
    unsigned long KeyboardStateFlags();
    // The key-state function installed in the view (HBaseView::SetKeyStateCallback).
    bool IsKeyDown(unsigned int virtualKey) { return Port().IsKeyDown(virtualKey); }

    // --- window messages (a skin calls these)
    virtual void OnInitialUpdate();
    virtual void OnSize(unsigned int type, int cx, int cy);
    // Redraws the view (a skin calls this when the window is exposed, not from its own
    // drawing callback).
    virtual void OnPaint();
    virtual void OnLButtonDown(unsigned int nFlags, CPoint point);
    virtual void OnLButtonUp(unsigned int nFlags, CPoint point);
    virtual void OnLButtonDblClk(unsigned int nFlags, CPoint point);
    virtual void OnMButtonDown(unsigned int nFlags, CPoint point);
    virtual void OnMButtonUp(unsigned int nFlags, CPoint point);
    virtual void OnMButtonDblClk(unsigned int nFlags, CPoint point);
    virtual void OnRButtonDown(unsigned int nFlags, CPoint point);
    virtual void OnRButtonUp(unsigned int nFlags, CPoint point);
    virtual void OnRButtonDblClk(unsigned int nFlags, CPoint point);
    virtual void OnMouseMove(unsigned int nFlags, CPoint point);
    // zDelta: 120 per notch, positive away from the user. `point` is in client pixels.
    virtual bool OnMouseWheel(unsigned int nFlags, short zDelta, CPoint point);
    virtual void OnKeyDown(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags);
    // A key-down whose typed character the toolkit knows (0: none): OnKeyDown, with the
    // character carried on the view's event (HEventInfo::GetTyped).
    void OnKeyDownTyped(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags, char32_t typed);
    virtual void OnKeyUp(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags);
    virtual void OnTimer(unsigned int nIDEvent);
    // Returns true when the window set the cursor itself.
    virtual bool OnSetCursor(unsigned int hitTest, unsigned int message);
    virtual void OnMouseLeave();

    // Puts the view's picture (at the window size) on the clipboard; false when nothing could
    // be rendered or the clipboard refused it.
    virtual bool OnEditCopy();
    // Prints the view's picture through the port.
    virtual bool OnFilePrint(const ketra::window::PrintRequest& request);

    // Renders what the view shows at width x height (the window size when either is 0).
    bool RenderPicture(ketra::render::Image& out, int width = 0, int height = 0);

    // Last pixel point a mouse message carried.
    CPoint GetLastMousePoint() const { return m_lastPoint; }

protected:
    // Builds the event the base handlers send: type, pixel point and mapped flags.
    HEventInfo MakeMouseEvent(HEventType type, unsigned int nFlags, CPoint point);
    // Sends an event to the view (mouse listeners, then the current operator), taking and
    // releasing the mouse as the operator asks. Returns the operator's result.
    int SendToView(HEventInfo& event);

    HBaseView* m_pHView = nullptr;
    bool m_ownsView = false;
    CHoopsDoc* m_pDocument = nullptr;
    CPoint m_lastPoint;
    // The character of the key-down OnKeyDownTyped is passing on.
    char32_t m_typed = 0;
    bool m_hasTyped = false;
};
