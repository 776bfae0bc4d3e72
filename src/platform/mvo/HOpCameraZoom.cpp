#include "platform/mvo/HOpCameraZoom.h"

#include <cmath>

#include "platform/mvo/HBaseView.h"

HOpCameraZoom::HOpCameraZoom(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpCameraZoom::GetName() { return "HOpCameraZoom"; }

HBaseOperator* HOpCameraZoom::Clone() { return new HOpCameraZoom(*this); }

int HOpCameraZoom::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    m_startWidth = camera.field_width;
    m_startHeight = camera.field_height;
    return HOP_OK;
}

int HOpCameraZoom::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    const float factor = std::pow(kFactorPerUnit, -(m_ptNew.y - m_ptFirst.y));
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_OK;
    camera.field_width = m_startWidth * factor;
    camera.field_height = m_startHeight * factor;
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpCameraZoom::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_pView->CameraPositionChanged(true, true);
    return HOP_READY;
}
