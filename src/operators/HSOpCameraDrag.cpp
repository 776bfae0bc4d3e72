#include "operators/HSOpCameraDrag.h"

#include <cstring>
#include <string>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HTManager.h"
#include "platform/render/Renderer.h"

namespace {

bool DragTimerTick(float, float, void* drag) {
    static_cast<HSOpCameraDrag*>(drag)->UpdateTimer();
    return true;
}

} // namespace

HSOpCameraDrag::HSOpCameraDrag(HBaseView* own, HBaseView* tracked, int doRepeat, int doCapture)
    : HBaseOperator(own, doRepeat, doCapture), m_trackedView(tracked) {
    m_timer = std::make_unique<HTClient>(kTimerSeconds, HTCS_PeriodicSkip, DragTimerTick, this);
    HTManager::Instance()->RegisterClient(m_timer.get());
    Listen(m_pView);
    if (m_trackedView != m_pView)
        Listen(m_trackedView);
    BuildCameraPointer();
}

HSOpCameraDrag::~HSOpCameraDrag() {
    HTManager::Instance()->UnRegisterClient(m_timer.get());
    StopListening(m_pView);
    if (m_trackedView != m_pView)
        StopListening(m_trackedView);
}

const char* HSOpCameraDrag::GetName() {
    return "HSOpCameraDrag";
}

HBaseOperator* HSOpCameraDrag::Clone() {
    return new HSOpCameraDrag(m_pView, m_trackedView, m_doRepeat, m_doCapture);
}

void HSOpCameraDrag::Listen(HBaseView* view) {
    if (view)
        view->GetEventManager()->RegisterHandler(static_cast<HUpdateListener*>(this));
}

void HSOpCameraDrag::StopListening(HBaseView* view) {
    if (view)
        view->GetEventManager()->UnRegisterHandler(static_cast<HUpdateListener*>(this));
}

int HSOpCameraDrag::CameraChangedEvent(HBaseView* view) {
    if (view && view == m_trackedView)
        m_cameraChanged = m_movedSinceTick = true;
    return 0;
}

int HSOpCameraDrag::ViewDestroyedEvent(HBaseView* view) {
    // The dying view's event manager goes with it: forget the view, nothing to unregister.
    if (!view)
        return 0;
    if (view == m_trackedView) {
        m_trackedView = nullptr;
        m_cameraChanged = false;
    }
    if (view == m_pView) {
        m_pView = nullptr;
        m_bOpStarted = false;
    }
    return 0;
}

void HSOpCameraDrag::UpdateTimer() {
    const bool moving = m_movedSinceTick;
    m_movedSinceTick = false;
    if (!m_trackedView || !m_cameraChanged)
        return;
    // While the tracked view moves, an overview whose frames are slow (a large plant) waits for
    // it to rest: its frame would stall the moving view's for as long.
    if (moving && m_pView) {
        const ketra::render::FrameTimings* last = ketra::render::DisplayFrameTimings(m_pView->GetViewKey());
        if (last && last->walkSeconds + last->drawSeconds > kBusyFrameSeconds)
            return;
    }
    m_cameraChanged = false;
    BuildCameraPointer();
    if (m_pView)
        m_pView->Update();
}

void HSOpCameraDrag::BuildCameraPointer() {
    if (!m_trackedView || !m_pView)
        return;
    HCamera tracked;
    m_trackedView->GetCamera(tracked);
    // The tracked view's field is left alone: the pointer only shows the camera.
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    HC_Open_Segment(kPointerSegment);
    HC_Flush_Contents(".", "geometry, segments");
    HC_Set_Heuristics("quick moves, no polygon handedness");
    HC_Set_Color("faces = white");
    const HPoint& eye = tracked.position;
    const HPoint& target = tracked.target;
    HC_Insert_Line(eye.x, eye.y, eye.z, target.x, target.y, target.z);
    HC_Insert_Marker(eye.x, eye.y, eye.z);
    // The eye stays pickable while its marker is hidden: the arrow is what the user sees.
    HC_Set_Selectability("markers = on!, lines = off");
    HC_Set_Visibility("markers = off");
    HC_Set_Callback((std::string("draw dc polyline = ") + kArrowCallback).c_str());
    HC_Set_Visibility("lines = on");
    HC_Close_Segment();
    HC_Open_Segment(kFrameSegment);
    HC_Flush_Contents(".", "geometry");
    int width = 0, height = 0;
    m_trackedView->GetWindowSizeInPixels(width, height);
    HPoint corners[5];
    if (FrameCorners(tracked, width, height, corners)) {
        corners[4] = corners[0];
        HC_Insert_Polyline(5, corners);
    }
    HC_Set_Color("lines = red");
    HC_Set_Line_Weight(2);
    HC_Set_Visibility("lines = on");
    HC_Set_Selectability("everything = off");
    HC_Close_Segment();
    HC_Close_Segment();
    // Only the overview changed; the tracked view need not redraw for it.
    HC_Control_Update_By_Key(m_trackedView->GetViewKey(), "unset redraw");
}

bool HSOpCameraDrag::FrameCorners(const HCamera& camera, int width, int height, HPoint corners[4]) {
    const HPoint sight = camera.target - camera.position;
    const HPoint right = HCross(sight, camera.up_vector);
    if (HLength(sight) <= 0 || HLength(right) <= 0 || !(camera.field_width > 0) ||
        !(camera.field_height > 0))
        return false;
    float w = camera.field_width, h = camera.field_height;
    if (width > 0 && height > 0 && std::strcmp(camera.projection, "stretched") != 0) {
        const float aspect = static_cast<float>(width) / static_cast<float>(height);
        if (aspect > w / h)
            w = h * aspect;
        else
            h = w / aspect;
    }
    const HPoint across = HNormalized(right) * (w / 2);
    const HPoint up = HNormalized(HCross(right, sight)) * (h / 2);
    corners[0] = camera.target - across - up;
    corners[1] = camera.target + across - up;
    corners[2] = camera.target + across + up;
    corners[3] = camera.target - across + up;
    return true;
}

int HSOpCameraDrag::OnLButtonDown(HEventInfo& event) {
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    return HBaseOperator::OnLButtonDown(event);
}

int HSOpCameraDrag::OnLButtonDownAndMove(HEventInfo& event) {
    if (!m_bOpStarted || !m_pView || !m_trackedView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    HCamera camera;
    m_trackedView->GetCamera(camera);
    // The eye goes under the cursor at the depth it has in the overview, so it follows the
    // cursor exactly whatever the overview's projection.
    const float depth = m_pView->WorldToWindow(camera.position).z;
    const HPoint eye = m_pView->WindowToWorld(HPoint(m_ptNew.x, m_ptNew.y, depth));
    const HPoint offset = eye - camera.position;
    camera.position = eye;
    camera.target += offset;
    m_trackedView->SetCamera(camera);
    m_trackedView->CameraPositionChanged(true, false);
    m_trackedView->Update();
    BuildCameraPointer();
    m_cameraChanged = false; // the pointer is current already
    m_pView->Update();
    return HOP_OK;
}

int HSOpCameraDrag::OnLButtonUp(HEventInfo& event) {
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_pView->CameraPositionChanged(true, true);
    m_pView->Update();
    m_bOpStarted = false;
    return HOP_OK;
}
