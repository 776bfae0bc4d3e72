#include "platform/mvo/HOpCameraOrbit.h"

#include "platform/hc/CameraMath.h"
#include "platform/mvo/HBaseView.h"

namespace cm = ketra::hc::CameraMath;

HOpCameraOrbit::HOpCameraOrbit(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpCameraOrbit::GetName() { return "HOpCameraOrbit"; }

HBaseOperator* HOpCameraOrbit::Clone() { return new HOpCameraOrbit(*this); }

int HOpCameraOrbit::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    return HOP_OK;
}

int HOpCameraOrbit::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    const HPoint now = event.GetMouseWindowPos();
    const float dx = now.x - m_ptNew.x;
    const float dy = now.y - m_ptNew.y;
    m_ptNew = now;
    if (dx == 0.0f && dy == 0.0f)
        return HOP_OK;
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return HOP_OK;
    cm::Camera c;
    c.position = {camera.position.x, camera.position.y, camera.position.z};
    c.target = {camera.target.x, camera.target.y, camera.target.z};
    c.up = {camera.up_vector.x, camera.up_vector.y, camera.up_vector.z};
    c.width = camera.field_width;
    c.height = camera.field_height;
    // The model follows the cursor, so the camera moves the other way.
    const cm::Camera moved = cm::Orbit(c, -dx * kDegreesPerUnit, -dy * kDegreesPerUnit);
    camera.position.Set(float(moved.position.x), float(moved.position.y), float(moved.position.z));
    camera.up_vector.Set(float(moved.up.x), float(moved.up.y), float(moved.up.z));
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpCameraOrbit::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_pView->CameraPositionChanged(true, true);
    return HOP_READY;
}
