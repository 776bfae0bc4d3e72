#include "platform/mvo/HOpCameraPan.h"

#include "platform/mvo/HBaseView.h"

HOpCameraPan::HOpCameraPan(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpCameraPan::GetName() { return "HOpCameraPan"; }

HBaseOperator* HOpCameraPan::Clone() { return new HOpCameraPan(*this); }

int HOpCameraPan::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWorldPos();
    return HOP_OK;
}

int HOpCameraPan::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    // The event's world position was computed through the camera as already moved, so
    // shifting by the difference puts the grabbed point back under the cursor.
    m_ptNew = event.GetMouseWorldPos();
    const HPoint delta = m_ptNew - m_ptFirst;
    if (delta == HPoint())
        return HOP_OK;
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_OK;
    camera.position -= delta;
    camera.target -= delta;
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpCameraPan::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_pView->CameraPositionChanged(true, true);
    return HOP_READY;
}
