#include "platform/mvo/HOpCameraWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/hc/CameraMath.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"

namespace cm = ketra::hc::CameraMath;

namespace {

bool WalkTick(float request, float actual, void* data)
{
    return static_cast<HOpCameraWalk*>(data)->OnWalk(request, actual);
}

float DeadZone(float value) { return std::fabs(value) < HOpCameraWalk::kDeadZone ? 0.0f : value; }

} // namespace

HOpCameraWalk::HOpCameraWalk(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
    m_timer = new HTClient(0.01f, HTCS_PeriodicSkip, WalkTick, this);
    HTManager::Instance()->RegisterClient(m_timer);
}

HOpCameraWalk::~HOpCameraWalk()
{
    HTManager::Instance()->UnRegisterClient(m_timer);
    delete m_timer;
}

const char* HOpCameraWalk::GetName() { return "HOpCameraWalk"; }

HBaseOperator* HOpCameraWalk::Clone()
{
    auto* copy = new HOpCameraWalk(m_pView, m_doRepeat, m_doCapture);
    copy->m_keyboardWalk = m_keyboardWalk;
    copy->m_collision = m_collision;
    copy->m_snapToFloor = m_snapToFloor;
    copy->m_avatarHeight = m_avatarHeight;
    copy->m_stepUp = m_stepUp;
    copy->m_stepDown = m_stepDown;
    return copy;
}

float HOpCameraWalk::CalculateExtents()
{
    m_speed = 0.0f;
    if (!m_pView)
        return 0.0f;
    HPoint minimum, maximum;
    const HC_KEY link = m_pView->GetIncludeLinkKey();
    if (link == -1 || HC_Show_Existence_By_Key(link, "self") == 0 ||
        !HC_Compute_Circumcuboid_By_Key(link, &minimum, &maximum))
        return 0.0f;
    const HPoint size = maximum - minimum;
    m_speed = std::max({0.0f, size.x, size.y, size.z});
    return m_speed;
}

float HOpCameraWalk::DistanceTo(const HPoint& eye, const HPoint& direction) const
{
    // Pick through a narrow camera at the eye looking along `direction`, then put the view's
    // camera back. Nothing is drawn in between.
    HCamera saved;
    m_pView->GetCamera(saved);
    HCamera probe = saved;
    const float reach = std::max(m_speed, 1.0f);
    probe.position = eye;
    probe.target = eye + HNormalized(direction) * reach;
    HPoint up = std::fabs(HNormalized(direction).z) > 0.9f ? HPoint(0, 1, 0) : HPoint(0, 0, 1);
    probe.up_vector = up;
    probe.field_width = probe.field_height = reach * 0.01f;
    std::snprintf(probe.projection, sizeof(probe.projection), "%s", "orthographic");
    m_pView->SetCamera(probe);
    float distance = -1.0f;
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection(".", "./scene/model", "v", 0.0, 0.0) > 0) {
        float wx, wy, wz;
        HPoint hit;
        HC_Show_Selection_Position(&wx, &wy, &wz, &hit.x, &hit.y, &hit.z);
        const float along = HDot(hit - eye, HNormalized(direction));
        if (along >= 0.0f)
            distance = along;
    }
    HC_Close_Segment();
    m_pView->SetCamera(saved);
    return distance;
}

bool HOpCameraWalk::OnWalk(float, float actualTime)
{
    if (!m_pView)
        return false;
    if (actualTime < 0.0f)
        actualTime = HUtility::GetTime();
    const float dt = m_lastTime < 0.0f ? 0.01f : std::clamp(actualTime - m_lastTime, 0.0f, 0.1f);
    m_lastTime = actualTime;
    if (m_speed <= 0.0f)
        CalculateExtents();
    float forward = 0.0f, turn = 0.0f;
    if (m_bOpStarted) {
        forward = DeadZone(m_ptNew.y - m_ptFirst.y) * m_speed / 4.0f;
        turn = DeadZone(m_ptNew.x - m_ptFirst.x) * kTurnDegreesPerSecond;
    }
    if (m_keyboardWalk) {
        forward += (m_keyForward ? 1.0f : 0.0f) * m_speed / 16.0f - (m_keyBack ? 1.0f : 0.0f) * m_speed / 16.0f;
        turn += (m_keyRight ? 1.0f : 0.0f) * kTurnDegreesPerSecond * 0.5f -
                (m_keyLeft ? 1.0f : 0.0f) * kTurnDegreesPerSecond * 0.5f;
    }
    if (forward == 0.0f && turn == 0.0f)
        return false;
    HCamera camera;
    m_pView->GetCamera(camera);
    if (!camera.valid)
        return false;
    const HPoint gaze = camera.target - camera.position;
    if (turn != 0.0f) {
        // Turn about the vertical through the eye; positive turns to the right.
        const cm::Vec3 turned = cm::RotateAbout({gaze.x, gaze.y, gaze.z}, {0, 0, 1}, -turn * dt);
        camera.target = camera.position + HPoint(float(turned.x), float(turned.y), float(turned.z));
        const cm::Vec3 up = cm::RotateAbout({camera.up_vector.x, camera.up_vector.y, camera.up_vector.z},
                                            {0, 0, 1}, -turn * dt);
        camera.up_vector.Set(float(up.x), float(up.y), float(up.z));
    }
    HPoint heading(camera.target.x - camera.position.x, camera.target.y - camera.position.y, 0.0f);
    if (HLength(heading) < 1e-6f)
        heading = HPoint(0, 1, 0);
    heading = HNormalized(heading);
    const float step = forward * dt;
    HPoint move = heading * step;
    if (step != 0.0f && m_collision) {
        const HPoint direction = step > 0.0f ? heading : -heading;
        const float free = DistanceTo(camera.position, direction);
        if (free >= 0.0f && free < std::fabs(step) + m_avatarHeight * 0.25f)
            move = HPoint();
    }
    if (move != HPoint() && m_snapToFloor) {
        const HPoint eye = camera.position + move;
        const float below = DistanceTo(eye + HPoint(0, 0, m_stepUp), HPoint(0, 0, -1));
        if (below >= 0.0f) {
            const float floorZ = eye.z + m_stepUp - below;
            const float feet = camera.position.z - m_avatarHeight;
            if (floorZ - feet > m_stepUp + 1e-6f)
                move = HPoint();  // too high a step
            else
                move.z = floorZ + m_avatarHeight - camera.position.z;
        }
    }
    camera.position += move;
    camera.target += move;
    m_pView->SetCamera(camera);
    m_pView->CameraPositionChanged();
    m_pView->Update();
    return true;
}

int HOpCameraWalk::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    if (!m_bOpStarted && CalculateExtents() <= 0.0f)
        return HOP_CANCEL;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    m_lastTime = -1.0f;
    return HOP_OK;
}

int HOpCameraWalk::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    return HOP_OK;
}

int HOpCameraWalk::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_pView->CameraPositionChanged(true, false);
    return HOP_READY;
}

int HOpCameraWalk::OnKeyDown(HEventInfo& event)
{
    if (!m_keyboardWalk)
        return HBaseOperator::OnKeyDown(event);
    switch (event.GetChar()) {
    case 0x26: case 'W': case 'w': m_keyForward = true; break;
    case 0x28: case 'S': case 's': m_keyBack = true; break;
    case 0x25: case 'A': case 'a': m_keyLeft = true; break;
    case 0x27: case 'D': case 'd': m_keyRight = true; break;
    default: return HBaseOperator::OnKeyDown(event);
    }
    if (m_speed <= 0.0f)
        CalculateExtents();
    return HOP_OK;
}

int HOpCameraWalk::OnKeyUp(HEventInfo& event)
{
    switch (event.GetChar()) {
    case 0x26: case 'W': case 'w': m_keyForward = false; break;
    case 0x28: case 'S': case 's': m_keyBack = false; break;
    case 0x25: case 'A': case 'a': m_keyLeft = false; break;
    case 0x27: case 'D': case 'd': m_keyRight = false; break;
    default: return HBaseOperator::OnKeyUp(event);
    }
    return HOP_OK;
}
