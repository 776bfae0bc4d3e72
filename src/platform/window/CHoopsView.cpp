#include "platform/window/CHoopsView.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/render/Renderer.h"

CHoopsView::CHoopsView(ketra::window::WindowPort* port) : CWnd(port) {}

CHoopsView::~CHoopsView()
{
    if (m_pHView) {
        m_pHView->SetKeyStateCallback({});
        if (m_ownsView)
            delete m_pHView;
    }
    Port().KillTimer(kTimerManagerTimer);
}

void CHoopsView::SetHoopsView(HBaseView* view, bool takeOwnership)
{
    if (m_pHView && m_pHView != view) {
        m_pHView->SetKeyStateCallback({});
        if (m_ownsView)
            delete m_pHView;
    }
    m_pHView = view;
    m_ownsView = view && takeOwnership;
    if (m_pHView)
        m_pHView->SetKeyStateCallback([this](unsigned int key) { return IsKeyDown(key); });
}

HC_KEY CHoopsView::GetViewKey() const
{
    return m_pHView ? m_pHView->GetViewKey() : -1;
}

HC_KEY CHoopsView::GetSceneKey() const
{
    return m_pHView ? m_pHView->GetSceneKey() : -1;
}

unsigned int CHoopsView::MapFlags(unsigned long flags)
{
    unsigned int mapped = 0;
    if (flags & MK_LBUTTON)
        mapped |= MVO_LBUTTON;
    if (flags & MK_RBUTTON)
        mapped |= MVO_RBUTTON;
    if (flags & MK_MBUTTON)
        mapped |= MVO_MBUTTON;
    if (flags & MK_SHIFT)
        mapped |= MVO_SHIFT;
    if (flags & MK_CONTROL)
        mapped |= MVO_CONTROL;
    if (Port().IsKeyDown(VK_MENU))
        mapped |= MVO_ALT;
    return mapped;
}

unsigned long CHoopsView::KeyboardStateFlags()
{
    ketra::window::WindowPort& port = Port();
    unsigned long flags = 0;
    if (port.IsKeyDown(VK_LBUTTON))
        flags |= MK_LBUTTON;
    if (port.IsKeyDown(VK_RBUTTON))
        flags |= MK_RBUTTON;
    if (port.IsKeyDown(VK_MBUTTON))
        flags |= MK_MBUTTON;
    if (port.IsKeyDown(VK_SHIFT))
        flags |= MK_SHIFT;
    if (port.IsKeyDown(VK_CONTROL))
        flags |= MK_CONTROL;
    return flags;
}

void CHoopsView::OnInitialUpdate()
{
    if (m_pHView)
        m_pHView->SetKeyStateCallback([this](unsigned int key) { return IsKeyDown(key); });
    Port().SetTimer(kTimerManagerTimer, kTimerManagerPeriodMs);
}

void CHoopsView::OnSize(unsigned int, int cx, int cy)
{
    if (!m_pHView || cx <= 0 || cy <= 0)
        return;
    m_pHView->SetWindowSizeInPixels(cx, cy);
    m_pHView->AdjustAxisWindowEx();
    m_pHView->Update();
}

void CHoopsView::OnPaint()
{
    if (m_pHView)
        m_pHView->Update();
}

HEventInfo CHoopsView::MakeMouseEvent(HEventType type, unsigned int nFlags, CPoint point)
{
    m_lastPoint = point;
    HEventInfo event(m_pHView);
    event.SetPixelPoint(type, point.x, point.y, MapFlags(nFlags));
    return event;
}

int CHoopsView::SendToView(HEventInfo& event)
{
    if (!m_pHView)
        return HOP_NOT_HANDLED;
    const HEventType type = event.GetType();
    const bool press = type == HE_LButtonDown || type == HE_MButtonDown || type == HE_RButtonDown;
    const bool release = type == HE_LButtonUp || type == HE_MButtonUp || type == HE_RButtonUp;
    if (press) {
        const HBaseOperator* op = m_pHView->GetOperator();
        if (op && op->GetDoCapture())
            Port().SetCapture();
    }
    const int result = m_pHView->InjectEvent(event);
    if (release)
        Port().ReleaseCapture();
    return result;
}

void CHoopsView::OnLButtonDown(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_LButtonDown, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnLButtonUp(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_LButtonUp, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnLButtonDblClk(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_LButtonDblClk, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnMButtonDown(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_MButtonDown, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnMButtonUp(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_MButtonUp, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnMButtonDblClk(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_MButtonDblClk, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnRButtonDown(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_RButtonDown, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnRButtonUp(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_RButtonUp, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnRButtonDblClk(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_RButtonDblClk, nFlags, point);
    SendToView(event);
}

void CHoopsView::OnMouseMove(unsigned int nFlags, CPoint point)
{
    HEventInfo event = MakeMouseEvent(HE_MouseMove, nFlags, point);
    SendToView(event);
}

bool CHoopsView::OnMouseWheel(unsigned int nFlags, short zDelta, CPoint point)
{
    if (!m_pHView)
        return false;
    m_lastPoint = point;
    // The wheel event carries the cursor in local window coordinates; the pixel point's
    // conversion is the one mouse events use.
    HEventInfo located(m_pHView);
    located.SetPixelPoint(HE_MouseMove, point.x, point.y, 0);
    HEventInfo event(m_pHView);
    event.SetMouseWheel(located.GetMouseWindowPos().x, located.GetMouseWindowPos().y,
                        static_cast<float>(zDelta), MapFlags(nFlags));
    SendToView(event);
    return true;
}

void CHoopsView::OnKeyDown(unsigned int nChar, unsigned int nRepCnt, unsigned int)
{
    if (!m_pHView)
        return;
    HEventInfo event(m_pHView);
    event.SetKey(HE_KeyDown, nChar, nRepCnt, MapFlags(KeyboardStateFlags()));
    if (m_hasTyped)
        event.SetTyped(m_typed);
    SendToView(event);
}

void CHoopsView::OnKeyDownTyped(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags, char32_t typed)
{
    m_typed = typed;
    m_hasTyped = true;
    OnKeyDown(nChar, nRepCnt, nFlags);
    m_hasTyped = false;
    m_typed = 0;
}

void CHoopsView::OnKeyUp(unsigned int nChar, unsigned int nRepCnt, unsigned int)
{
    if (!m_pHView)
        return;
    HEventInfo event(m_pHView);
    event.SetKey(HE_KeyUp, nChar, nRepCnt, MapFlags(KeyboardStateFlags()));
    SendToView(event);
}

void CHoopsView::OnTimer(unsigned int nIDEvent)
{
    if (nIDEvent == kTimerManagerTimer) {
        HTManager::Instance()->Tick();
        return;
    }
    if (!m_pHView)
        return;
    HEventInfo event(m_pHView);
    event.SetTimer(HUtility::GetTime());
    SendToView(event);
}

bool CHoopsView::OnSetCursor(unsigned int, unsigned int)
{
    return false;
}

void CHoopsView::OnMouseLeave() {}

bool CHoopsView::RenderPicture(ketra::render::Image& out, int width, int height)
{
    if (!m_pHView)
        return false;
    if (width <= 0 || height <= 0)
        m_pHView->GetWindowSizeInPixels(width, height);
    if (width <= 0 || height <= 0)
        return false;
    ketra::render::FrameSettings settings;
    settings.width = width;
    settings.height = height;
    settings.samples = 4;
    return ketra::render::RenderToImage(m_pHView->GetViewKey(), settings, out);
}

bool CHoopsView::OnEditCopy()
{
    ketra::render::Image image;
    if (!RenderPicture(image))
        return false;
    return Port().SetClipboardImage(image);
}

bool CHoopsView::OnFilePrint(const ketra::window::PrintRequest& request)
{
    ketra::render::Image image;
    if (!RenderPicture(image))
        return false;
    return Port().Print(image, request);
}
