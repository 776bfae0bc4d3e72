#include "platform/mvo/HOpCameraZoomBox.h"

#include <cmath>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"

HOpCameraZoomBox::HOpCameraZoomBox(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpCameraZoomBox::GetName() { return "HOpCameraZoomBox"; }

HBaseOperator* HOpCameraZoomBox::Clone() { return new HOpCameraZoomBox(*this); }

void HOpCameraZoomBox::ClearRubberBand()
{
    RemoveRubberBand("zoombox");
}

int HOpCameraZoomBox::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    return HOP_OK;
}

int HOpCameraZoomBox::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    if (m_pView->GetWindowspaceKey() == -1)
        return HOP_OK;
    const HPoint a = m_ptFirst, b = m_ptNew;
    const HPoint outline[5] = {{a.x, a.y, 0}, {b.x, a.y, 0}, {b.x, b.y, 0}, {a.x, b.y, 0}, {a.x, a.y, 0}};
    ShowRubberBand("zoombox", 5, outline);
    m_pView->Update();
    return HOP_OK;
}

int HOpCameraZoomBox::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_ptNew = event.GetMouseWindowPos();
    ClearRubberBand();
    const HPoint a = m_ptFirst, b = m_ptNew;
    if (std::fabs(b.x - a.x) < kMinSize && std::fabs(b.y - a.y) < kMinSize) {
        m_pView->Update();
        return HOP_READY;
    }
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_READY;
    // World extents of the rectangle on the target plane, measured along the camera axes.
    const HPoint worldA = m_pView->WindowToWorld(HPoint(a.x, a.y, 0));
    const HPoint worldB = m_pView->WindowToWorld(HPoint(b.x, b.y, 0));
    const HPoint center = m_pView->WindowToWorld(HPoint((a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, 0));
    const HPoint forward = camera.ViewDirection();
    const HPoint right = HNormalized(HCross(forward, camera.up_vector));
    const HPoint up = HCross(right, forward);
    float width = std::fabs(HDot(worldB - worldA, right));
    float height = std::fabs(HDot(worldB - worldA, up));
    // A rectangle flat in one direction keeps the window's proportions in that direction.
    const float aspect = static_cast<float>(m_pView->GetWindowAspect());
    if (width <= 0.0f)
        width = height * aspect;
    if (height <= 0.0f)
        height = width / aspect;
    const HPoint shift = center - camera.target;
    camera.target = center;
    camera.position += shift;
    camera.field_width = width;
    camera.field_height = height;
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged(true, true);
    m_pView->Update();
    return HOP_READY;
}

int HOpCameraZoomBox::OnLButtonDblClk(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_NOT_HANDLED;
    const HPoint point = event.GetMouseWorldPos();
    const HPoint shift = point - camera.target;
    camera.target = point;
    camera.position += shift;
    camera.field_width *= 0.5f;
    camera.field_height *= 0.5f;
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged(true);
    m_pView->Update();
    return HOP_READY;
}
